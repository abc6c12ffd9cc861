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

double pipeArea(const MeterState& s) {
    const double radius = s.pipeInsideDiameter * kInch / 2;
    return std::numbers::pi * radius * radius;
}

double sheddingFrequency(const MeterState& s, double volumeFlow) { return s.kFactor * volumeFlow / kCubicFoot; }

// Linear interpolation in `points` (sorted by temperature or not: the two
// neighbours are searched), held flat beyond the ends.
template <typename X, typename Y>
double interpolate(size_t count, X xAt, Y yAt, double x) {
    if (count == 0) return 0;
    size_t below = count, above = count;
    for (size_t i = 0; i < count; ++i) {
        if (xAt(i) <= x && (below == count || xAt(i) > xAt(below))) below = i;
        if (xAt(i) >= x && (above == count || xAt(i) < xAt(above))) above = i;
    }
    if (below == count) return yAt(above);
    if (above == count || xAt(above) == xAt(below)) return yAt(below);
    const double f = (x - xAt(below)) / (xAt(above) - xAt(below));
    return yAt(below) + f * (yAt(above) - yAt(below));
}

double fromPointTable(const std::array<PropertyTables::Point, kMaxTableEntries>& points, uint8_t count,
                      double temperatureF) {
    return interpolate(
        count, [&](size_t i) { return static_cast<double>(points[i].temperature); },
        [&](size_t i) { return static_cast<double>(points[i].value); }, temperatureF);
}

// The gas grid: rows by pressure (psi), columns by temperature (degF).
double fromGasGrid(const PropertyTables& t, double pressurePsi, double temperatureF) {
    auto densityInRow = [&](size_t row) {
        return interpolate(
            t.gasColumns, [&](size_t c) { return static_cast<double>(t.columnTemperatures[c]); },
            [&](size_t c) { return static_cast<double>(t.gasDensity[row][c]); }, temperatureF);
    };
    return interpolate(
        t.gasRows, [&](size_t r) { return static_cast<double>(t.rowPressures[r]); }, densityInRow, pressurePsi);
}

}  // namespace

double kelvinFromFahrenheit(double degF) { return (degF + 459.67) * 5.0 / 9.0; }
double fahrenheitFromKelvin(double kelvin) { return kelvin * 9.0 / 5.0 - 459.67; }

double rawVolumeFlow(const ProcessSetup& p, double t) {
    // Two slow waves so the flow does not look like a metronome, plus noise.
    const double variation =
        p.flowVariation * (0.75 * wave(t, p.flowPeriod) + 0.25 * wave(t, p.flowPeriod * 0.37, 1.0));
    const double m3h = p.flow * (1 + variation + p.noise * noiseAt(t, 1));
    return std::max(0.0, m3h) / 3600.0;
}

double meteredVolumeFlow(const MeterState& s, double t) {
    const double flow = rawVolumeFlow(s.process, t);
    return sheddingFrequency(s, flow) < s.lowFlowCutoff ? 0.0 : flow;
}

Conditions trueConditions(const ProcessSetup& p, double t) {
    Conditions c;
    c.temperature =
        273.15 + p.temperature + p.temperatureVariation * wave(t, p.flowPeriod * 3.1) +
        0.02 * p.sensorNoise * noiseAt(t, 2);
    c.pressure = 1e5 * (p.pressure + p.pressureVariation * wave(t, p.flowPeriod * 1.7, 2.0) +
                        0.001 * p.sensorNoise * noiseAt(t, 3));
    c.density = p.density;
    c.viscosity = p.viscosity;
    return c;
}

Conditions meteredConditions(const MeterState& s, double t) {
    Conditions c = trueConditions(s.process, t);
    if (s.temperatureSource == kTemperatureUserDefined) c.temperature = kelvinFromFahrenheit(s.userTemperature);
    if (s.pressureSource == kPressureUserDefined)
        c.pressure = (static_cast<double>(s.userPressure) + s.atmosphericPressure) * kPascalPerPsi;
    const double temperatureF = fahrenheitFromKelvin(c.temperature);
    const auto& tables = s.tables;
    if (s.densitySource == kDensityUserDefined) {
        c.density = s.userDensity * kPoundsPerCubicFootInKgPerM3;
        c.viscosity = s.userViscosity;
    } else if (s.densitySource == kDensityPropertyTable) {
        if (s.meterType == MeterType::Gas) {
            if (tables.gasRows > 0 && tables.gasColumns > 0)
                c.density = fromGasGrid(tables, c.pressure / kPascalPerPsi, temperatureF) * kPoundsPerCubicFootInKgPerM3;
        } else if (tables.densityPoints > 0) {
            c.density = fromPointTable(tables.density, tables.densityPoints, temperatureF) * kPoundsPerCubicFootInKgPerM3;
        }
        if (tables.viscosityPoints > 0) c.viscosity = fromPointTable(tables.viscosity, tables.viscosityPoints, temperatureF);
    }
    return c;
}

std::array<double, kVariableCount> deviceVariables(const MeterState& s, double volumeFlow, double t) {
    const Conditions c = meteredConditions(s, t);
    const double area = pipeArea(s);
    std::array<double, kVariableCount> v{};
    v[static_cast<size_t>(Variable::VolumeFlow)] = volumeFlow;
    v[static_cast<size_t>(Variable::MassFlow)] = volumeFlow * c.density;
    v[static_cast<size_t>(Variable::StandardFlow)] =
        s.process.standardDensity > 0 ? volumeFlow * c.density / s.process.standardDensity : 0;
    v[static_cast<size_t>(Variable::Velocity)] = area > 0 ? volumeFlow / area : 0;
    v[static_cast<size_t>(Variable::Temperature)] = c.temperature;
    v[static_cast<size_t>(Variable::Pressure)] = c.pressure;
    v[static_cast<size_t>(Variable::Frequency)] = sheddingFrequency(s, volumeFlow);
    return v;
}

FlowFigures flowFigures(const MeterState& s, double velocity, double frequency, double t) {
    const Conditions c = meteredConditions(s, t);
    FlowFigures f;
    const double diameter = s.pipeInsideDiameter * kInch;
    if (c.viscosity > 0) f.reynolds = c.density * velocity * diameter / (c.viscosity * 1e-3);
    if (velocity > 0) f.strouhal = frequency * s.build.strutSize * kInch / velocity;
    return f;
}

AnalogInput analogInput(const MeterState& s, double t) {
    AnalogInput in;
    in.pressure = trueConditions(s.process, t).pressure / kPascalPerPsi;
    if (s.pressureSource == kPressureAnalogGauge) in.pressure -= s.atmosphericPressure;
    const double span = static_cast<double>(s.inputUpperPressure) - s.inputLowerPressure;
    const double current = span > 0 ? 4 + 16 * (in.pressure - s.inputLowerPressure) / span : 4;
    in.current = std::clamp(current, static_cast<double>(kLowestCurrent), static_cast<double>(kHighestCurrent));
    return in;
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
    } else if (state.runtime.fixedCurrent != 0) {
        out.fixed = true;
        out.saturated = false;
        current = state.runtime.fixedCurrent;
    } else if (state.diagnostics.malfunction) {
        out.alarm = true;
        out.saturated = false;
        current = state.alarmSelection == 0 ? kHighAlarmCurrent : kLowAlarmCurrent;
    }
    // Trim corrections: zeroTrim at 4 mA, gainTrim at 20 mA, straight line between.
    current += state.zeroTrim + (current - 4.0) / 16.0 * (state.gainTrim - state.zeroTrim);
    out.current = static_cast<float>(current);
    return out;
}

double pulseOutputFrequency(const MeterState& s, double sheddingFrequency, double percentOfRange) {
    switch (s.pulseOutputMode) {
    case kPulseSheddingFrequency: return sheddingFrequency;
    case kPulseScaledPv: return std::max(0.0, percentOfRange) / 100.0 * s.upperRangeFrequency;
    case kPulseUserFrequency: return s.userFrequency;
    default: return 0;
    }
}

}  // namespace corvane::sim
