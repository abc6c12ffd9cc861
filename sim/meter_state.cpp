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

bool MeterState::hasTemperatureSensor() const {
    return build.sensorOption == kSensorTemperature || build.sensorOption == kSensorBoth;
}

bool MeterState::hasPressureSensor() const {
    return build.sensorOption == kSensorPressure || build.sensorOption == kSensorBoth;
}

bool MeterState::temperatureSourceAvailable(uint8_t source) const {
    switch (source) {
    case kTemperatureIntegratedRtd:
    case kTemperatureExternalRtd: return hasTemperatureSensor();
    case kTemperatureUserDefined: return true;
    case kTemperatureSteamTable: return meterType == MeterType::Steam;
    default: return false;
    }
}

bool MeterState::pressureSourceAvailable(uint8_t source) const {
    switch (source) {
    case kPressureAnalogAbsolute:
    case kPressureAnalogGauge: return hasPressureSensor();
    case kPressureUserDefined: return true;
    case kPressureSteamTable: return meterType == MeterType::Steam;
    default: return false;
    }
}

bool MeterState::densitySourceAvailable(uint8_t source) const {
    switch (source) {
    case kDensityPropertyTable:
    case kDensityUserDefined: return true;
    case kDensitySteamTable: return meterType == MeterType::Steam;
    default: return false;
    }
}

Variable MeterState::totalizedVariable() const {
    switch (primaryVariable) {
    case Variable::VolumeFlow:
    case Variable::MassFlow:
    case Variable::StandardFlow: return primaryVariable;
    default: return Variable::VolumeFlow;
    }
}

void restoreConfiguration(MeterState& state, const MeterState& from) {
    MeterState restored = from;
    restored.runtime = std::move(state.runtime);
    restored.diagnostics = state.diagnostics;
    restored.process = state.process;
    state = std::move(restored);
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
        .viscosity = 1.0,
    };
    s.kFactor = 220;
    s.pipeInsideDiameter = 2.067f;  // schedule 40
    s.lowFlowCutoff = 3;
    s.temperatureSource = kTemperatureIntegratedRtd;
    s.pressureSource = kPressureUserDefined;
    s.userPressure = 28.8f;  // 3 bar absolute
    s.userTemperature = 68;
    s.userDensity = 62.3f;
    s.userViscosity = 1.0f;

    s.build = {
        .modelNumber = "VX2-W02-L",
        .partNumber = "VX2-02-WL-T1-N",
        .topLevelRevision = 3,
        .modelDeviation = "",
        .sensorOption = kSensorTemperature,
        .displayOption = 0,
        .strutSize = 0.6f,
        .calibrationDate = {12, 3, 99},
        .modificationDate = {20, 9, 101},
        .modificationNumber = 2,
    };

    auto& t = s.tables;
    t.name = "WATER";
    t.version = 1;
    t.viscosityPoints = 3;
    t.viscosity[0] = {32, 1.79f};  // degF, cP
    t.viscosity[1] = {68, 1.00f};
    t.viscosity[2] = {212, 0.28f};
    t.densityPoints = 3;
    t.density[0] = {32, 62.42f};  // degF, lb/ft3
    t.density[1] = {68, 62.32f};
    t.density[2] = {212, 59.83f};

    s.digitalPots = {40, 60, 128, 128, 90, 200, 15};
    s.diagnostics = {
        .agcVoltage = 2.15f,
        .audioPeakVoltage = 1.20f,
        .audioDcVoltage = 2.48f,
        .ultrasonicPeakVoltage = 0.85f,
        .ultrasonicDcVoltage = 2.51f,
        .supplyVoltage = 4.98f,
        .loopVoltage = 18.6f,
        .statusCodes = 0,
        .blockageFactor = 1.0f,
        .faultLog = 0,
        .missingPulses = 0,
        .wdrs = 12,
        .mte = 95,
        .mpe = 60,
        .carrier = {.mode = 0, .bandwidth = 1200, .baseFrequency = 2600, .sweepPeriod = 45, .fixedFrequency = 2650,
                    .lowTransmitPower = 0},
        .simulationMode = 0,
        .malfunction = false,
    };
    return s;
}

}  // namespace corvane::sim
