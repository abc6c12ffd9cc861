// What the meter measures and what it puts on the loop, as functions of time
// and state. Values are pure functions of the time in seconds (noise comes
// from a hash of the time slot, not from a generator), so a test clock gives
// repeatable readings.
#pragma once

#include <array>

#include "sim/meter_state.h"

namespace corvane::sim {

// Undamped actual volume flow in m3/s at time t.
double rawVolumeFlow(const ProcessSetup& process, double t);

// All device variables in their base units (m3/s, kg/s, m/s, K, Pa, Hz) for a
// (damped) volume flow at time t.
std::array<double, kVariableCount> deviceVariables(const ProcessSetup& process, double volumeFlow,
                                                   double t);

struct LoopOutput {
    float percentOfRange = 0;
    float current = 4;           // mA, trims applied
    bool fixed = false;          // fixed by command 40 or by multidrop
    bool saturated = false;      // the PV drove it past 3.8 or 20.5 mA
    bool pvOutOfLimits = false;  // the PV is outside its sensor limits
};

inline constexpr float kMultidropCurrent = 4.0f;
inline constexpr float kLowestCurrent = 3.8f;
inline constexpr float kHighestCurrent = 20.5f;

// The loop output for a primary variable value `pv` (in its unit).
LoopOutput loopOutput(const MeterState& state, float pv);

}  // namespace corvane::sim
