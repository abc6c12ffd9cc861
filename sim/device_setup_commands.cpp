// Device-specific commands of the meter's setup: mode and access, build
// records, base conditions, flow computation, pulse output, totalizer, LCD,
// process condition sources, alarm level and atmospheric pressure.
#include <array>
#include <cmath>

#include "sim/commands.h"

namespace corvane::sim {

namespace {

constexpr uint8_t kPresentPassword = 0;
constexpr uint8_t kSetPassword = 1;
constexpr uint8_t kPasswordAccessLevel = 1;
constexpr uint8_t kHighestPulseMode = kPulseDisabled;

// Limits of the written values (units as the commands carry them).
constexpr float kLowestTemperatureF = -459.67f;
constexpr float kHighestBaseTemperatureF = 1000;
constexpr float kHighestUserTemperatureF = 2000;
constexpr float kHighestPressurePsi = 10000;
constexpr float kHighestBasePressurePsi = 1500;
constexpr float kLowestAtmosphericPsi = 1;
constexpr float kHighestAtmosphericPsi = 20;
constexpr float kHighestCutoffHz = 1000;
constexpr float kHighestFrequencyHz = 10000;
constexpr float kHighestKFactor = 1e6f;
constexpr float kHighestPipeInches = 200;
constexpr float kHighestViscosityCp = 1e5f;
constexpr float kHighestDensityLbFt3 = 1000;
constexpr float kLowestRollOver = 1;
constexpr float kHighestRollOver = 1e37f;
constexpr float kLowestMultiplier = 1e-12f;
constexpr float kHighestMultiplier = 1e12f;

// 0 when 0 < value <= highest, else the response code.
uint8_t positiveCode(float value, float highest) {
    if (std::isnan(value) || value > highest) return rc::kValueTooLarge;
    if (value <= 0) return rc::kValueTooSmall;
    return rc::kSuccess;
}

CommandReply floatReply(float value) { return CommandReply::ok(ReplyWriter().f32(value).take()); }
CommandReply byteReply(uint8_t value) { return CommandReply::ok({value}); }

// Writes the request's float into `field` when it lies within [lowest, highest].
CommandReply writeFloat(CommandContext& c, float& field, float lowest, float highest) {
    const float value = c.request.f32(0);
    if (const auto code = rangeCode(value, lowest, highest)) return CommandReply::error(code);
    field = value;
    return floatReply(value);
}

CommandReply writePositiveFloat(CommandContext& c, float& field, float highest) {
    const float value = c.request.f32(0);
    if (const auto code = positiveCode(value, highest)) return CommandReply::error(code);
    field = value;
    return floatReply(value);
}

// --- mode and access -------------------------------------------------------

CommandReply setMode(CommandContext& c) {
    auto& r = c.state.runtime;
    const uint8_t mode = c.request.u8(0);
    if (mode == kModeInService) {
        r.inService = true;
        r.accessLevel = 0;
        r.fixedCurrent = 0;  // a meter in service measures
    } else if (mode == kModeEdit) {
        if (r.passwordProtected && r.accessLevel == 0) return CommandReply::error(rc::kAccessRestricted);
        r.inService = false;
    } else {
        return CommandReply::error(rc::kInvalidSelection);
    }
    return byteReply(mode);
}

CommandReply readStatus(CommandContext& c) {
    const auto& s = c.state;
    return CommandReply::ok(ReplyWriter()
                                .u8(s.runtime.inService ? kModeInService : kModeEdit)
                                .u8(s.burstMode ? 1 : 0)
                                .u8(s.burstCommand)
                                .u8(0)  // reserved
                                .u8(s.runtime.accessLevel)
                                .u8(s.runtime.passwordProtected ? 1 : 0)
                                .take());
}

std::string requestPassword(const CommandContext& c) { return c.request.packed(1, kPasswordBytes); }

CommandReply password(CommandContext& c) {
    auto& r = c.state.runtime;
    const uint8_t function = c.request.u8(0);
    if (function == kPresentPassword) {
        if (requestPassword(c) != r.password) return CommandReply::error(rc::kAccessRestricted);
        r.passwordProtected = false;
        r.accessLevel = std::max(r.accessLevel, kPasswordAccessLevel);
        r.inService = false;
    } else if (function == kSetPassword) {
        // A protected meter takes a new password only from someone let in.
        if (r.passwordProtected && r.accessLevel == 0) return CommandReply::error(rc::kAccessRestricted);
        r.password = requestPassword(c);
        r.passwordProtected = true;
    } else {
        return CommandReply::error(rc::kInvalidSelection);
    }
    // The password itself is not sent back.
    return CommandReply::ok({function, r.accessLevel, static_cast<uint8_t>(r.passwordProtected ? 1 : 0)});
}

CommandReply requestAccessLevel(CommandContext& c) {
    auto& r = c.state.runtime;
    const uint8_t level = c.request.u8(0);
    if (level == 0) {
        r.accessLevel = 0;
    } else if (level == kServiceAccessLevel) {
        if (requestPassword(c) != c.state.serviceAccessCode) return CommandReply::error(rc::kAccessRestricted);
        r.accessLevel = kServiceAccessLevel;
        r.inService = false;  // service access works on a meter out of service
    } else {
        return CommandReply::error(rc::kInvalidSelection);
    }
    return byteReply(r.accessLevel);
}

// --- identity and build ----------------------------------------------------

CommandReply selectPrimaryVariable(CommandContext& c) {
    auto& s = c.state;
    const uint8_t code = c.request.u8(0);
    if (!isVariableCode(code)) return CommandReply::error(rc::kInvalidSelection);
    const auto variable = static_cast<Variable>(code);
    if (variable != s.primaryVariable) {
        // The old range means nothing for another variable: span its sensor limits.
        s.primaryVariable = variable;
        s.upperRangeValue = s.pv().upperSensorLimit;
        s.lowerRangeValue = s.pv().lowerSensorLimit;
        s.runtime.total = 0;  // the count may change its quantity
        if (s.primaryVariable != s.totalizedVariable() && (s.lcdMode == kLcdTotalizer || s.lcdMode == kLcdPvAndTotalizer))
            s.lcdMode = 0;
    }
    return byteReply(code);
}

CommandReply readModelNumber(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().packed(c.state.build.modelNumber, kModelNumberBytes).take());
}

CommandReply readTopLevelRevision(CommandContext& c) { return byteReply(c.state.build.topLevelRevision); }

CommandReply readModelDeviation(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().packed(c.state.build.modelDeviation, kModelDeviationBytes).take());
}

CommandReply readPartNumberAndOptions(CommandContext& c) {
    const auto& s = c.state;
    return CommandReply::ok(ReplyWriter()
                                .packed(s.build.partNumber, kPartNumberBytes)
                                .u8(static_cast<uint8_t>(s.meterType))
                                .u8(static_cast<uint8_t>(s.meterStyle))
                                .u8(s.build.sensorOption)
                                .u8(s.build.displayOption)
                                .take());
}

CommandReply readSimulationMode(CommandContext& c) {
    return CommandReply::ok({0 /* simulation off */, c.state.diagnostics.simulationMode});
}

CommandReply readStrutSize(CommandContext& c) { return floatReply(c.state.build.strutSize); }

// --- flow computation ------------------------------------------------------

CommandReply writeBaseTemperature(CommandContext& c) {
    return writeFloat(c, c.state.baseTemperature, kLowestTemperatureF, kHighestBaseTemperatureF);
}
CommandReply readBaseTemperature(CommandContext& c) { return floatReply(c.state.baseTemperature); }
CommandReply writeBasePressure(CommandContext& c) {
    return writePositiveFloat(c, c.state.basePressure, kHighestBasePressurePsi);
}
CommandReply readBasePressure(CommandContext& c) { return floatReply(c.state.basePressure); }
CommandReply writeLowFlowCutoff(CommandContext& c) {
    return writeFloat(c, c.state.lowFlowCutoff, 0, kHighestCutoffHz);
}
CommandReply readLowFlowCutoff(CommandContext& c) { return floatReply(c.state.lowFlowCutoff); }
CommandReply readKFactor(CommandContext& c) { return floatReply(c.state.kFactor); }
CommandReply writeKFactor(CommandContext& c) { return writePositiveFloat(c, c.state.kFactor, kHighestKFactor); }
CommandReply readPipeInsideDiameter(CommandContext& c) { return floatReply(c.state.pipeInsideDiameter); }
CommandReply writePipeInsideDiameter(CommandContext& c) {
    return writePositiveFloat(c, c.state.pipeInsideDiameter, kHighestPipeInches);
}

// --- pulse output ----------------------------------------------------------

CommandReply readPulseOutputMode(CommandContext& c) { return byteReply(c.state.pulseOutputMode); }

CommandReply writePulseOutputMode(CommandContext& c) {
    const uint8_t mode = c.request.u8(0);
    if (mode > kHighestPulseMode) return CommandReply::error(rc::kInvalidSelection);
    c.state.pulseOutputMode = mode;
    return byteReply(mode);
}

CommandReply readUpperRangeFrequency(CommandContext& c) { return floatReply(c.state.upperRangeFrequency); }
CommandReply writeUpperRangeFrequency(CommandContext& c) {
    return writePositiveFloat(c, c.state.upperRangeFrequency, kHighestFrequencyHz);
}

CommandReply readPulseOutputFrequency(CommandContext& c) {
    return floatReply(static_cast<float>(
        pulseOutputFrequency(c.state, c.valueOf(Variable::Frequency), c.output.percentOfRange)));
}

CommandReply readUserFrequency(CommandContext& c) { return floatReply(c.state.userFrequency); }
CommandReply writeUserFrequency(CommandContext& c) {
    return writeFloat(c, c.state.userFrequency, 0, kHighestFrequencyHz);
}

// --- analog pressure input -------------------------------------------------

CommandReply writeAnalogInputRange(CommandContext& c) {
    const float upper = c.request.f32(0);
    const float lower = c.request.f32(4);
    for (float value : {upper, lower})
        if (const auto code = rangeCode(value, 0, kHighestPressurePsi)) return CommandReply::error(code);
    if (!(upper > lower)) return CommandReply::error(rc::kUpperRangeTooLow);
    c.state.inputUpperPressure = upper;
    c.state.inputLowerPressure = lower;
    return CommandReply::ok(ReplyWriter().f32(upper).f32(lower).take());
}

// --- totalizer -------------------------------------------------------------

std::vector<uint8_t> totalizerPayload(const MeterState& s) {
    const uint8_t unit = totalUnitOf(s.variable(s.totalizedVariable()).unit);
    double count = fromBaseUnit(s.runtime.total, unit) / s.totalizerMultiplier;
    count = std::fmod(count, static_cast<double>(s.totalizerRollOver));
    return ReplyWriter()
        .u8(unit)
        .f32(static_cast<float>(count))
        .u8(s.runtime.totalizerRunning ? 1 : 0)
        .take();
}

CommandReply readTotalizer(CommandContext& c) { return CommandReply::ok(totalizerPayload(c.state)); }

CommandReply runTotalizer(CommandContext& c) {
    const uint8_t run = c.request.u8(0);
    if (run > 1) return CommandReply::error(rc::kInvalidSelection);
    c.state.runtime.totalizerRunning = run == 1;
    return byteReply(run);
}

CommandReply zeroTotalizer(CommandContext& c) {
    c.state.runtime.total = 0;
    return CommandReply::ok(totalizerPayload(c.state));
}

std::vector<uint8_t> totalizerSettingsPayload(const MeterState& s) {
    return ReplyWriter()
        .f32(s.totalizerRollOver)
        .f32(s.totalizerMultiplier)
        .packed(s.totalizerUnit, kTotalizerUnitBytes)
        .take();
}

CommandReply readTotalizerSettings(CommandContext& c) { return CommandReply::ok(totalizerSettingsPayload(c.state)); }

CommandReply writeTotalizerSettings(CommandContext& c) {
    const float rollOver = c.request.f32(0);
    const float multiplier = c.request.f32(4);
    if (const auto code = rangeCode(rollOver, kLowestRollOver, kHighestRollOver)) return CommandReply::error(code);
    if (const auto code = rangeCode(multiplier, kLowestMultiplier, kHighestMultiplier))
        return CommandReply::error(code);
    c.state.totalizerRollOver = rollOver;
    c.state.totalizerMultiplier = multiplier;
    c.state.totalizerUnit = c.request.packedText(8, kTotalizerUnitBytes);
    return CommandReply::ok(totalizerSettingsPayload(c.state));
}

// --- LCD -------------------------------------------------------------------

CommandReply readLcdMode(CommandContext& c) { return byteReply(c.state.lcdMode); }

CommandReply writeLcdMode(CommandContext& c) {
    const uint8_t mode = c.request.u8(0);
    if (mode > kHighestLcdMode) return CommandReply::error(rc::kInvalidSelection);
    // A total is shown only where it means something: the PV is a flow.
    const bool showsTotal = mode == kLcdTotalizer || mode == kLcdPvAndTotalizer;
    if (showsTotal && c.state.totalizedVariable() != c.state.primaryVariable)
        return CommandReply::error(rc::kInvalidSelection);
    c.state.lcdMode = mode;
    return byteReply(mode);
}

// --- process conditions ----------------------------------------------------

CommandReply readDensities(CommandContext& c) {
    const Conditions now = meteredConditions(c.state, c.time);
    return CommandReply::ok(ReplyWriter()
                                .f32(static_cast<float>(now.density / kPoundsPerCubicFootInKgPerM3))
                                .f32(static_cast<float>(c.state.process.standardDensity / kPoundsPerCubicFootInKgPerM3))
                                .f32(static_cast<float>(now.viscosity))
                                .take());
}

CommandReply readUserDensity(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().f32(c.state.userViscosity).f32(c.state.userDensity).take());
}

CommandReply writeUserDensity(CommandContext& c) {
    const float viscosity = c.request.f32(0);
    const float density = c.request.f32(4);
    if (const auto code = positiveCode(viscosity, kHighestViscosityCp)) return CommandReply::error(code);
    if (const auto code = positiveCode(density, kHighestDensityLbFt3)) return CommandReply::error(code);
    c.state.userViscosity = viscosity;
    c.state.userDensity = density;
    return readUserDensity(c);
}

CommandReply readDensitySource(CommandContext& c) { return byteReply(c.state.densitySource); }

CommandReply writeDensitySource(CommandContext& c) {
    const uint8_t source = c.request.u8(0);
    if (!c.state.densitySourceAvailable(source)) return CommandReply::error(rc::kInvalidSelection);
    c.state.densitySource = source;
    return byteReply(source);
}

CommandReply readTemperatureSource(CommandContext& c) { return byteReply(c.state.temperatureSource); }

CommandReply writeTemperatureSource(CommandContext& c) {
    const uint8_t source = c.request.u8(0);
    if (!c.state.temperatureSourceAvailable(source)) return CommandReply::error(rc::kInvalidSelection);
    c.state.temperatureSource = source;
    return byteReply(source);
}

CommandReply readUserTemperature(CommandContext& c) { return floatReply(c.state.userTemperature); }
CommandReply writeUserTemperature(CommandContext& c) {
    return writeFloat(c, c.state.userTemperature, kLowestTemperatureF, kHighestUserTemperatureF);
}

CommandReply readPressureSource(CommandContext& c) { return byteReply(c.state.pressureSource); }

CommandReply writePressureSource(CommandContext& c) {
    const uint8_t source = c.request.u8(0);
    if (!c.state.pressureSourceAvailable(source)) return CommandReply::error(rc::kInvalidSelection);
    c.state.pressureSource = source;
    return byteReply(source);
}

CommandReply readUserPressure(CommandContext& c) { return floatReply(c.state.userPressure); }
CommandReply writeUserPressure(CommandContext& c) {
    // Gauge pressure: no lower than a vacuum.
    return writeFloat(c, c.state.userPressure, -c.state.atmosphericPressure, kHighestPressurePsi);
}

CommandReply readAtmosphericPressure(CommandContext& c) { return floatReply(c.state.atmosphericPressure); }
CommandReply writeAtmosphericPressure(CommandContext& c) {
    return writeFloat(c, c.state.atmosphericPressure, kLowestAtmosphericPsi, kHighestAtmosphericPsi);
}

// --- alarm -----------------------------------------------------------------

CommandReply readAlarmLevel(CommandContext& c) { return byteReply(c.state.alarmSelection); }

CommandReply writeAlarmLevel(CommandContext& c) {
    const uint8_t level = c.request.u8(0);
    if (level > 1) return CommandReply::error(rc::kInvalidSelection);
    c.state.alarmSelection = level;
    return byteReply(level);
}

constexpr std::array kDeviceSetup{
    CommandEntry{128, 1, Access::Operate, setMode},
    CommandEntry{129, 0, Access::Read, readStatus},
    CommandEntry{130, 1, Access::Configure, selectPrimaryVariable},
    CommandEntry{132, 0, Access::Read, readModelNumber},
    CommandEntry{133, 0, Access::Read, readTopLevelRevision},
    CommandEntry{135, 0, Access::Read, readModelDeviation},
    CommandEntry{137, 0, Access::Read, readPartNumberAndOptions},
    CommandEntry{144, 4, Access::Configure, writeBaseTemperature},
    CommandEntry{145, 0, Access::Read, readBaseTemperature},
    CommandEntry{146, 4, Access::Configure, writeBasePressure},
    CommandEntry{147, 0, Access::Read, readBasePressure},
    CommandEntry{148, 4, Access::Configure, writeLowFlowCutoff},
    CommandEntry{149, 0, Access::Read, readLowFlowCutoff},
    CommandEntry{150, 0, Access::Read, readPulseOutputMode},
    CommandEntry{151, 1, Access::Configure, writePulseOutputMode},
    CommandEntry{152, 0, Access::Read, readUpperRangeFrequency},
    CommandEntry{153, 4, Access::Configure, writeUpperRangeFrequency},
    CommandEntry{154, 0, Access::Read, readPulseOutputFrequency},
    CommandEntry{155, 4, Access::Configure, writeUserFrequency},
    CommandEntry{156, 0, Access::Read, readUserFrequency},
    CommandEntry{158, 8, Access::Configure, writeAnalogInputRange},
    CommandEntry{160, 0, Access::Read, readTotalizer},
    CommandEntry{161, 1, Access::Operate, runTotalizer},
    CommandEntry{162, 0, Access::Operate, zeroTotalizer},
    CommandEntry{163, 1, Access::Configure, writeLcdMode},
    CommandEntry{164, 0, Access::Read, readLcdMode},
    CommandEntry{167, 0, Access::Read, readKFactor},
    CommandEntry{168, 4, Access::Configure, writeKFactor},
    CommandEntry{170, 0, Access::Read, readSimulationMode},
    CommandEntry{187, 14, Access::Configure, writeTotalizerSettings},
    CommandEntry{188, 0, Access::Read, readTotalizerSettings},
    CommandEntry{205, 0, Access::Read, readDensities},
    CommandEntry{208, 0, Access::Read, readPipeInsideDiameter},
    CommandEntry{209, 4, Access::Configure, writePipeInsideDiameter},
    CommandEntry{210, 0, Access::Read, readStrutSize},
    CommandEntry{212, 0, Access::Read, readUserDensity},
    CommandEntry{213, 8, Access::Configure, writeUserDensity},
    CommandEntry{214, 0, Access::Read, readDensitySource},
    CommandEntry{215, 1, Access::Configure, writeDensitySource},
    CommandEntry{232, 4, Access::Configure, writeUserTemperature},
    CommandEntry{233, 0, Access::Read, readUserTemperature},
    CommandEntry{234, 1, Access::Configure, writeTemperatureSource},
    CommandEntry{235, 0, Access::Read, readTemperatureSource},
    CommandEntry{238, 4, Access::Configure, writeUserPressure},
    CommandEntry{239, 0, Access::Read, readUserPressure},
    CommandEntry{240, 1, Access::Configure, writePressureSource},
    CommandEntry{241, 0, Access::Read, readPressureSource},
    CommandEntry{247, 1 + kPasswordBytes, Access::Operate, password},
    CommandEntry{248, 1 + kPasswordBytes, Access::Operate, requestAccessLevel},
    CommandEntry{250, 0, Access::Read, readAlarmLevel},
    CommandEntry{251, 1, Access::Configure, writeAlarmLevel},
    CommandEntry{252, 0, Access::Read, readAtmosphericPressure},
    CommandEntry{253, 4, Access::Configure, writeAtmosphericPressure},
};

}  // namespace

std::span<const CommandEntry> deviceSetupCommands() { return kDeviceSetup; }

}  // namespace corvane::sim
