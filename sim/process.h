// What the meter measures and what it puts on the loop, as functions of time
// and state. Values are pure functions of the time in seconds (noise comes
// from a hash of the time slot, not from a generator), so a test clock gives
// repeatable readings.
#pragma once

#include <array>

#include "sim/meter_state.h"

namespace corvane::sim {

// Undamped actual volume flow in m3/s at time t, as the process has it.
double rawVolumeFlow(const ProcessSetup& process, double t);
// The same as the meter sees it: 0 while the shedding frequency is below the
// low flow cutoff.
double meteredVolumeFlow(const MeterState& state, double t);

// Process conditions in base units.
struct Conditions {
    double temperature = 0;  // K
    double pressure = 0;     // Pa, absolute
    double density = 0;      // kg/m3
    double viscosity = 0;    // cP
};
// What the process really is (what a fitted sensor reads).
Conditions trueConditions(const ProcessSetup& process, double t);
// What the meter computes with: each condition from its configured source.
Conditions meteredConditions(const MeterState& state, double t);

// All device variables in their base units (m3/s, kg/s, m/s, K, Pa, Hz) for a
// (damped) volume flow at time t.
std::array<double, kVariableCount> deviceVariables(const MeterState& state, double volumeFlow, double t);

// Reynolds and Strouhal numbers of the flow (command 180).
struct FlowFigures {
    double reynolds = 0;
    double strouhal = 0;
};
FlowFigures flowFigures(const MeterState& state, double velocity /* m/s */, double frequency /* Hz */, double t);

// The analog pressure input (command 184): psi as the input reads it (gauge
// with the gauge source, else absolute) and its current.
struct AnalogInput {
    double pressure = 0;  // psi
    double current = 0;   // mA
};
AnalogInput analogInput(const MeterState& state, double t);

struct LoopOutput {
    float percentOfRange = 0;
    float current = 4;           // mA, trims applied
    bool fixed = false;          // fixed by command 40 or by multidrop
    bool saturated = false;      // the PV drove it past 3.8 or 20.5 mA
    bool pvOutOfLimits = false;  // the PV is outside its sensor limits
    bool alarm = false;          // a malfunction drives it to the alarm level
};

inline constexpr float kMultidropCurrent = 4.0f;
inline constexpr float kLowestCurrent = 3.8f;
inline constexpr float kHighestCurrent = 20.5f;

// The loop output for a primary variable value `pv` (in its unit).
LoopOutput loopOutput(const MeterState& state, float pv);

// The pulse output's present frequency for the present readings.
double pulseOutputFrequency(const MeterState& state, double sheddingFrequency, double percentOfRange);

// Conversions the meter's fixed-unit fields use.
inline constexpr double kPoundsPerCubicFootInKgPerM3 = 16.01846337;
inline constexpr double kPascalPerPsi = 6894.757293168;
double kelvinFromFahrenheit(double degF);
double fahrenheitFromKelvin(double kelvin);

}  // namespace corvane::sim
