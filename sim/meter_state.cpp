#include "sim/meter_state.h"

namespace corvane::sim {

namespace {

constexpr std::array<VariableInfo, kVariableCount> kVariables{{
    {"volume_flow", Quantity::VolumeFlow},
    {"mass_flow", Quantity::MassFlow},
    {"standard_flow", Quantity::VolumeFlow},
    {"velocity", Quantity::Velocity},
    {"temperature", Quantity::Temperature},
    {"pressure", Quantity::Pressure},
    {"frequency", Quantity::Frequency},
}};

}  // namespace

const VariableInfo& variableInfo(Variable variable) { return kVariables[static_cast<size_t>(variable)]; }

bool isVariableCode(uint8_t code) { return code < kVariableCount; }

uint8_t MeterState::deviceType() const {
    switch (meterType) {
    case MeterType::Liquid: return 1;
    case MeterType::Gas: return 2;
    case MeterType::Steam: return 3;
    }
    return 1;
}

std::array<uint8_t, 5> MeterState::uniqueId() const {
    return {static_cast<uint8_t>(manufacturerId & 0x3F), deviceType(), static_cast<uint8_t>(deviceId >> 16),
            static_cast<uint8_t>(deviceId >> 8), static_cast<uint8_t>(deviceId)};
}

std::array<Variable, 4> MeterState::dynamicVariables() const {
    return {primaryVariable, Variable::Frequency, Variable::Temperature, Variable::Pressure};
}

MeterState defaultMeterState() {
    MeterState s;
    auto set = [&s](Variable v, uint8_t unit, float lower, float upper, float span) {
        s.variable(v) = {unit, lower, upper, span};
    };
    set(Variable::VolumeFlow, 16, 0, 260, 5);        // US gal/min
    set(Variable::MassFlow, 81, 0, 2200, 40);        // lb/min
    set(Variable::StandardFlow, 15, 0, 35, 1);       // ft3/min
    set(Variable::Velocity, 20, 0, 25, 1);           // ft/s
    set(Variable::Temperature, 33, -40, 500, 10);    // degF
    set(Variable::Pressure, 6, 0, 1500, 10);         // psi
    set(Variable::Frequency, kUnitHertz, 0, 500, 5);
    s.primaryVariable = Variable::VolumeFlow;
    s.upperRangeValue = 250;
    s.lowerRangeValue = 0;
    s.process = {
        .flow = 30,
        .flowVariation = 0.05,
        .flowPeriod = 120,
        .noise = 0.005,
        .temperature = 20,
        .temperatureVariation = 0.5,
        .pressure = 3,
        .pressureVariation = 0.05,
        .density = 998,
        .standardDensity = 999.1,
        .pipeInsideDiameter = 2.067,
        .kFactor = 220,
    };
    return s;
}

}  // namespace corvane::sim
