#include "sim/process.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace corvane::sim {

namespace {

constexpr double kNoiseSlotSeconds = 0.1;
constexpr double kCubicFoot = 0.028316846592;
constexpr double kInch = 0.0254;

// Repeatable pseudo-random value in [-1, 1] for a time slot and a channel.
double noiseAt(double t, uint64_t channel) {
    uint64_t x = static_cast<uint64_t>(static_cast<int64_t>(std::floor(t / kNoiseSlotSeconds)));
    x ^= channel * 0x9E3779B97F4A7C15ull;
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

double wave(double t, double period, double phase = 0) {
    if (!(period > 0)) return 0;
    return std::sin(2 * std::numbers::pi * t / period + phase);
}

}  // namespace

double rawVolumeFlow(const ProcessSetup& p, double t) {
    // Two slow waves so the flow does not look like a metronome, plus noise.
    const double variation =
        p.flowVariation * (0.75 * wave(t, p.flowPeriod) + 0.25 * wave(t, p.flowPeriod * 0.37, 1.0));
    const double m3h = p.flow * (1 + variation + p.noise * noiseAt(t, 1));
    return std::max(0.0, m3h) / 3600.0;
}

std::array<double, kVariableCount> deviceVariables(const ProcessSetup& p, double volumeFlow, double t) {
    std::array<double, kVariableCount> v{};
    const double radius = p.pipeInsideDiameter * kInch / 2;
    const double area = std::numbers::pi * radius * radius;
    v[static_cast<size_t>(Variable::VolumeFlow)] = volumeFlow;
    v[static_cast<size_t>(Variable::MassFlow)] = volumeFlow * p.density;
    v[static_cast<size_t>(Variable::StandardFlow)] =
        p.standardDensity > 0 ? volumeFlow * p.density / p.standardDensity : 0;
    v[static_cast<size_t>(Variable::Velocity)] = area > 0 ? volumeFlow / area : 0;
    v[static_cast<size_t>(Variable::Temperature)] =
        273.15 + p.temperature + p.temperatureVariation * wave(t, p.flowPeriod * 3.1) + 0.02 * noiseAt(t, 2);
    v[static_cast<size_t>(Variable::Pressure)] =
        1e5 * (p.pressure + p.pressureVariation * wave(t, p.flowPeriod * 1.7, 2.0) + 0.001 * noiseAt(t, 3));
    v[static_cast<size_t>(Variable::Frequency)] = p.kFactor * volumeFlow / kCubicFoot;
    return v;
}

LoopOutput loopOutput(const MeterState& state, float pv) {
    LoopOutput out;
    const auto& limits = state.pv();
    out.pvOutOfLimits = !(pv >= limits.lowerSensorLimit && pv <= limits.upperSensorLimit);
    const double span = static_cast<double>(state.upperRangeValue) - state.lowerRangeValue;
    const double percent = span > 0 ? (pv - state.lowerRangeValue) / span * 100.0 : 0.0;
    out.percentOfRange = static_cast<float>(percent);

    double current = 4.0 + 16.0 * percent / 100.0;
    if (!(current >= kLowestCurrent && current <= kHighestCurrent)) {  // NaN saturates low
        out.saturated = true;
        current = current > kHighestCurrent ? kHighestCurrent : kLowestCurrent;
    }
    if (state.multidrop()) {
        out.fixed = true;
        out.saturated = false;
        current = kMultidropCurrent;
    } else if (state.fixedCurrent != 0) {
        out.fixed = true;
        out.saturated = false;
        current = state.fixedCurrent;
    }
    // Trim corrections: zeroTrim at 4 mA, gainTrim at 20 mA, straight line between.
    current += state.zeroTrim + (current - 4.0) / 16.0 * (state.gainTrim - state.zeroTrim);
    out.current = static_cast<float>(current);
    return out;
}

}  // namespace corvane::sim
