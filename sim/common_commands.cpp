// Common-practice commands: damping, range, non-volatile memory, fixed current
// and trims, units, variable assignments, preambles and burst mode.
#include <algorithm>
#include <array>
#include <cmath>

#include "sim/commands.h"

namespace corvane::sim {

namespace {

constexpr float kZeroTrimPoint = 4.0f;
constexpr float kGainTrimPoint = 20.0f;
constexpr float kZeroTrimTolerance = 1.5f;  // mA a reading may stray from the trim point
constexpr float kGainTrimTolerance = 2.5f;
constexpr std::array<uint8_t, 3> kBurstCommands{1, 2, 3};

constexpr uint8_t kSaveConfiguration = 0;
constexpr uint8_t kRestoreConfiguration = 1;

// Changes a variable's unit, carrying its limits (and the range, for the PV)
// over to the new unit so they keep their meaning.
void changeUnit(MeterState& s, Variable v, uint8_t unit) {
    auto& setup = s.variable(v);
    const uint8_t from = setup.unit;
    auto convert = [&](float& value) { value = static_cast<float>(convertUnit(value, from, unit)); };
    convert(setup.lowerSensorLimit);
    convert(setup.upperSensorLimit);
    // A span is a difference: no offset.
    setup.minimumSpan = static_cast<float>(convertUnit(setup.minimumSpan, from, unit) -
                                           convertUnit(0, from, unit));
    if (v == s.primaryVariable) {
        convert(s.upperRangeValue);
        convert(s.lowerRangeValue);
    }
    setup.unit = unit;
}

CommandReply writeDamping(CommandContext& c) {
    const float damping = c.request.f32(0);
    if (const auto code = rangeCode(damping, 0, kMaximumDamping)) return CommandReply::error(code);
    c.state.damping = damping;
    return CommandReply::ok(ReplyWriter().f32(damping).take());
}

CommandReply writeRangeValues(CommandContext& c) {
    auto& s = c.state;
    const uint8_t unit = c.request.u8(0);
    if (!isUnitOf(unit, variableInfo(s.primaryVariable).quantity))
        return CommandReply::error(rc::kInvalidSelection);
    const float upperGiven = c.request.f32(1);
    const float lowerGiven = c.request.f32(5);
    const auto& pv = s.pv();
    const float upper = static_cast<float>(convertUnit(upperGiven, unit, pv.unit));
    const float lower = static_cast<float>(convertUnit(lowerGiven, unit, pv.unit));

    // Written so that NaN counts as "too high".
    const bool lowerTooHigh = !(lower <= pv.upperSensorLimit);
    const bool lowerTooLow = lower < pv.lowerSensorLimit;
    const bool upperTooHigh = !(upper <= pv.upperSensorLimit);
    const bool upperTooLow = upper < pv.lowerSensorLimit;
    if ((lowerTooHigh || lowerTooLow) && (upperTooHigh || upperTooLow))
        return CommandReply::error(rc::kBothRangeValuesOutOfLimits);
    if (lowerTooHigh) return CommandReply::error(rc::kLowerRangeTooHigh);
    if (lowerTooLow) return CommandReply::error(rc::kLowerRangeTooLow);
    if (upperTooHigh) return CommandReply::error(rc::kUpperRangeTooHigh);
    // The output acts directly only: an upper value at or below the lower one is too low.
    if (upperTooLow || !(upper > lower)) return CommandReply::error(rc::kUpperRangeTooLow);

    s.upperRangeValue = upper;
    s.lowerRangeValue = lower;
    auto reply = CommandReply::ok(ReplyWriter().u8(unit).f32(upperGiven).f32(lowerGiven).take());
    if (upper - lower < pv.minimumSpan) reply.code = rc::kSpanTooSmall;
    return reply;
}

CommandReply resetConfigurationChanged(CommandContext& c) {
    c.state.configChanged = false;
    return CommandReply::ok({});
}

CommandReply controlNonVolatileMemory(CommandContext& c) {
    const uint8_t action = c.request.u8(0);
    if (action == kSaveConfiguration) {
        c.memory.saved = c.state;
    } else if (action == kRestoreConfiguration) {
        restoreConfiguration(c.state, c.memory.saved);
    } else {
        return CommandReply::error(rc::kInvalidSelection);
    }
    c.state.configChanged = false;  // working and saved configuration agree now
    return CommandReply::ok({action});
}

// The meter resets to its factory configuration, in working and in
// non-volatile memory alike; a reset also ends a fixed current.
CommandReply restoreFactoryConfiguration(CommandContext& c) {
    restoreConfiguration(c.state, c.memory.factory);
    c.state.runtime.fixedCurrent = 0;
    c.state.configChanged = false;
    c.memory.saved = c.state;
    return CommandReply::ok({});
}

// Leaving fixed current is always allowed; entering it is a loop test that
// needs edit mode.
CommandReply enterFixedCurrent(CommandContext& c) {
    const float level = c.request.f32(0);
    if (level != 0) {
        if (!c.state.acceptsConfiguration()) return CommandReply::error(rc::kInWriteProtectMode);
        if (c.state.multidrop()) return CommandReply::error(rc::kInMultidropMode);
        if (const auto code = rangeCode(level, kLowestFixedCurrent, kHighestFixedCurrent))
            return CommandReply::error(code);
    }
    c.state.runtime.fixedCurrent = level;
    return CommandReply::ok(ReplyWriter().f32(level).take());
}

CommandReply writePrimaryVariableUnit(CommandContext& c) {
    const uint8_t unit = c.request.u8(0);
    if (!isUnitOf(unit, variableInfo(c.state.primaryVariable).quantity))
        return CommandReply::error(rc::kInvalidSelection);
    changeUnit(c.state, c.state.primaryVariable, unit);
    return CommandReply::ok({unit});
}

// A trim takes the multimeter reading at the trim point and shifts the
// output by the difference from then on.
CommandReply trim(CommandContext& c, float point, float tolerance, float& correction) {
    const float reading = c.request.f32(0);
    if (const auto code = rangeCode(reading, point - tolerance, point + tolerance))
        return CommandReply::error(code);
    correction += point - reading;
    return CommandReply::ok(ReplyWriter().f32(reading).take());
}

CommandReply trimZero(CommandContext& c) { return trim(c, kZeroTrimPoint, kZeroTrimTolerance, c.state.zeroTrim); }

CommandReply trimGain(CommandContext& c) { return trim(c, kGainTrimPoint, kGainTrimTolerance, c.state.gainTrim); }

CommandReply readAdditionalStatus(CommandContext& c) {
    constexpr uint8_t kFirstAnalogOutput = 0x01;
    ReplyWriter w;
    for (uint8_t b : c.state.deviceSpecificStatus) w.u8(b);
    w.u8(0).u8(0);  // operational modes
    w.u8(c.output.saturated ? kFirstAnalogOutput : 0).u8(0).u8(0);
    w.u8(c.output.fixed ? kFirstAnalogOutput : 0).u8(0).u8(0);
    return CommandReply::ok(w.take());
}

CommandReply readVariableAssignments(CommandContext& c) {
    ReplyWriter w;
    for (Variable v : c.state.dynamicVariables()) w.u8(static_cast<uint8_t>(v));
    return CommandReply::ok(w.take());
}

CommandReply writeVariableUnit(CommandContext& c) {
    const uint8_t code = c.request.u8(0);
    const uint8_t unit = c.request.u8(1);
    if (!isVariableCode(code)) return CommandReply::error(rc::kInvalidSelection);
    const auto variable = static_cast<Variable>(code);
    if (!isUnitOf(unit, variableInfo(variable).quantity)) return CommandReply::error(rc::kInvalidSelection);
    changeUnit(c.state, variable, unit);
    return CommandReply::ok({code, unit});
}

CommandReply writePreambles(CommandContext& c) {
    const uint8_t count = c.request.u8(0);
    if (const auto code = rangeCode(count, kFewestPreambles, kMostPreambles)) return CommandReply::error(code);
    c.state.preambles = count;
    return CommandReply::ok({count});
}

CommandReply writeBurstCommand(CommandContext& c) {
    const uint8_t command = c.request.u8(0);
    if (std::find(kBurstCommands.begin(), kBurstCommands.end(), command) == kBurstCommands.end())
        return CommandReply::error(rc::kInvalidSelection);
    c.state.burstCommand = command;
    return CommandReply::ok({command});
}

CommandReply writeBurstMode(CommandContext& c) {
    const uint8_t mode = c.request.u8(0);
    if (mode > 1) return CommandReply::error(rc::kInvalidSelection);
    c.state.burstMode = mode == 1;
    return CommandReply::ok({mode});
}

constexpr std::array kCommonPractice{
    CommandEntry{34, 4, Access::Configure, writeDamping},
    CommandEntry{35, 9, Access::Configure, writeRangeValues},
    CommandEntry{38, 0, Access::Operate, resetConfigurationChanged},
    CommandEntry{39, 1, Access::Memory, controlNonVolatileMemory},
    CommandEntry{40, 4, Access::Operate, enterFixedCurrent},
    CommandEntry{42, 0, Access::Memory, restoreFactoryConfiguration},
    CommandEntry{44, 1, Access::Configure, writePrimaryVariableUnit},
    CommandEntry{45, 4, Access::Configure, trimZero},
    CommandEntry{46, 4, Access::Configure, trimGain},
    CommandEntry{48, 0, Access::Read, readAdditionalStatus},
    CommandEntry{50, 0, Access::Read, readVariableAssignments},
    CommandEntry{53, 2, Access::Configure, writeVariableUnit},
    CommandEntry{59, 1, Access::Configure, writePreambles},
    CommandEntry{108, 1, Access::Configure, writeBurstCommand},
    CommandEntry{109, 1, Access::Configure, writeBurstMode},
};

}  // namespace

uint8_t rangeCode(float value, float lowest, float highest) {
    if (value < lowest) return rc::kValueTooSmall;
    if (!(value <= highest)) return rc::kValueTooLarge;
    return rc::kSuccess;
}

std::span<const CommandEntry> commonPracticeCommands() { return kCommonPractice; }

}  // namespace corvane::sim
