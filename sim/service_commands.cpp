// Service commands: signal-path and supply voltages, status word and fault
// log, flow figures, calibration and modification records, the analog
// pressure input, flow profiling, carrier settings and digital pots.
#include <array>

#include "sim/commands.h"

namespace corvane::sim {

namespace {

constexpr uint8_t kRestartProfiling = 2;
constexpr uint8_t kMostProfilingSamples = 100;
constexpr size_t kWritablePots = 2;  // unfiltered and filtered audio hysteresis
// Command 230 carries this code after the two pot values.
constexpr std::array<uint8_t, 8> kPotWriteCode{0x43, 0x56, 0x52, 0x4E, 0x50, 0x4F, 0x54, 0x53};

ReplyWriter& date(ReplyWriter& w, const DeviceDate& d) { return w.u8(d.day).u8(d.month).u8(d.yearSince1900); }

CommandReply readSignalVoltages(CommandContext& c) {
    const auto& d = c.state.diagnostics;
    return CommandReply::ok(ReplyWriter()
                                .f32(d.agcVoltage)
                                .f32(d.audioPeakVoltage)
                                .f32(d.audioDcVoltage)
                                .f32(d.ultrasonicPeakVoltage)
                                .f32(d.ultrasonicDcVoltage)
                                .take());
}

CommandReply readSupplyAndStatus(CommandContext& c) {
    const auto& d = c.state.diagnostics;
    return CommandReply::ok(ReplyWriter()
                                .f32(d.supplyVoltage)
                                .f32(d.loopVoltage)
                                .u16(d.statusCodes)
                                .f32(d.blockageFactor)
                                .u16(d.faultLog)
                                .take());
}

CommandReply readFlowFigures(CommandContext& c) {
    const auto& s = c.state;
    const double velocity = toBaseUnit(c.valueOf(Variable::Velocity), s.variable(Variable::Velocity).unit);
    const FlowFigures f = flowFigures(s, velocity, c.valueOf(Variable::Frequency), c.time);
    return CommandReply::ok(ReplyWriter()
                                .u16(s.diagnostics.missingPulses)
                                .f32(static_cast<float>(f.reynolds))
                                .f32(static_cast<float>(f.strouhal))
                                .u16(s.diagnostics.wdrs)
                                .take());
}

CommandReply readExtremes(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().f32(c.state.diagnostics.mte).f32(c.state.diagnostics.mpe).take());
}

CommandReply readModification(CommandContext& c) {
    ReplyWriter w;
    date(w, c.state.build.modificationDate).u16(c.state.build.modificationNumber);
    return CommandReply::ok(w.take());
}

CommandReply readAnalogInput(CommandContext& c) {
    const AnalogInput in = analogInput(c.state, c.time);
    return CommandReply::ok(ReplyWriter()
                                .f32(c.state.inputUpperPressure)
                                .f32(c.state.inputLowerPressure)
                                .f32(static_cast<float>(in.pressure))
                                .f32(static_cast<float>(in.current))
                                .take());
}

// --- flow profiling: one traverse of the pipe, sample by sample -----------

float velocityInItsUnit(const MeterState& s, double metresPerSecond) {
    return static_cast<float>(fromBaseUnit(metresPerSecond, s.variable(Variable::Velocity).unit));
}

void restartTraverse(MeterRuntime& r) {
    r.samplesTaken = 0;
    r.sampledVelocitySum = 0;
}

CommandReply setProfilingSamples(CommandContext& c) {
    const uint8_t samples = c.request.u8(0);
    if (samples == 0) return CommandReply::error(rc::kValueTooSmall);
    if (samples > kMostProfilingSamples) return CommandReply::error(rc::kValueTooLarge);
    c.state.runtime.profilingSamples = samples;
    restartTraverse(c.state.runtime);
    return CommandReply::ok({samples});
}

CommandReply controlProfiling(CommandContext& c) {
    const uint8_t action = c.request.u8(0);
    if (action != kRestartProfiling) return CommandReply::error(rc::kInvalidSelection);
    restartTraverse(c.state.runtime);
    return CommandReply::ok({action});
}

CommandReply takeProfilingSample(CommandContext& c) {
    auto& r = c.state.runtime;
    // The traverse has all its samples: a further one would skew the average.
    if (r.samplesTaken >= r.profilingSamples) return CommandReply::error(rc::kValueTooLarge);
    const float velocity = c.valueOf(Variable::Velocity);
    r.sampledVelocitySum += toBaseUnit(velocity, c.state.variable(Variable::Velocity).unit);
    ++r.samplesTaken;
    return CommandReply::ok(ReplyWriter().u8(r.samplesTaken).f32(velocity).take());
}

CommandReply readAverageVelocity(CommandContext& c) {
    const auto& r = c.state.runtime;
    const double average = r.samplesTaken ? r.sampledVelocitySum / r.samplesTaken : 0;
    return CommandReply::ok(ReplyWriter().f32(velocityInItsUnit(c.state, average)).take());
}

CommandReply readPresentVelocity(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().f32(c.valueOf(Variable::Velocity)).take());
}

CommandReply readCalibrationDate(CommandContext& c) {
    ReplyWriter w;
    date(w, c.state.build.calibrationDate);
    return CommandReply::ok(w.take());
}

CommandReply readCarrier(CommandContext& c) {
    const auto& k = c.state.diagnostics.carrier;
    return CommandReply::ok(ReplyWriter()
                                .u8(k.mode)
                                .i32(k.bandwidth)
                                .i32(k.baseFrequency)
                                .i32(k.sweepPeriod)
                                .i32(k.fixedFrequency)
                                .u8(k.lowTransmitPower)
                                .take());
}

// Service access (level 2) and the fixed code both; the reply carries the
// two pots written, not the code.
CommandReply writeDigitalPots(CommandContext& c) {
    if (c.state.runtime.accessLevel < kServiceAccessLevel) return CommandReply::error(rc::kAccessRestricted);
    for (size_t i = 0; i < kPotWriteCode.size(); ++i)
        if (c.request.u8(kWritablePots + i) != kPotWriteCode[i]) return CommandReply::error(rc::kAccessRestricted);
    ReplyWriter w;
    for (size_t i = 0; i < kWritablePots; ++i) {
        c.state.digitalPots[i] = c.request.u8(i);
        w.u8(c.state.digitalPots[i]);
    }
    return CommandReply::ok(w.take());
}

CommandReply readDigitalPots(CommandContext& c) {
    ReplyWriter w;
    for (uint8_t pot : c.state.digitalPots) w.u8(pot);
    return CommandReply::ok(w.take());
}

constexpr std::array kService{
    CommandEntry{178, 0, Access::Read, readSignalVoltages},
    CommandEntry{179, 0, Access::Read, readSupplyAndStatus},
    CommandEntry{180, 0, Access::Read, readFlowFigures},
    CommandEntry{182, 0, Access::Read, readExtremes},
    CommandEntry{183, 0, Access::Read, readModification},
    CommandEntry{184, 0, Access::Read, readAnalogInput},
    CommandEntry{191, 1, Access::Operate, setProfilingSamples},
    CommandEntry{193, 1, Access::Operate, controlProfiling},
    CommandEntry{195, 0, Access::Operate, takeProfilingSample},
    CommandEntry{196, 0, Access::Read, readAverageVelocity},
    CommandEntry{197, 0, Access::Read, readPresentVelocity},
    CommandEntry{199, 0, Access::Read, readCalibrationDate},
    CommandEntry{229, 0, Access::Read, readCarrier},
    CommandEntry{230, kWritablePots + kPotWriteCode.size(), Access::Configure, writeDigitalPots},
    CommandEntry{231, 0, Access::Read, readDigitalPots},
};

}  // namespace

std::span<const CommandEntry> serviceCommands() { return kService; }

}  // namespace corvane::sim
