// Universal commands 0..19 with their HART revision 5 layouts.
#include <array>

#include "sim/commands.h"

namespace corvane::sim {

namespace {

constexpr uint8_t kExpandedIdentityMarker = 254;

CommandReply readIdentity(CommandContext& c) { return CommandReply::ok(identityPayload(c.state)); }

CommandReply readPrimaryVariable(CommandContext& c) {
    return CommandReply::ok(
        ReplyWriter().u8(c.state.pv().unit).f32(c.valueOf(c.state.primaryVariable)).take());
}

CommandReply readCurrentAndPercent(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().f32(c.output.current).f32(c.output.percentOfRange).take());
}

CommandReply readDynamicVariables(CommandContext& c) {
    ReplyWriter w;
    w.f32(c.output.current);
    for (Variable v : c.state.dynamicVariables()) w.u8(c.state.variable(v).unit).f32(c.valueOf(v));
    return CommandReply::ok(w.take());
}

CommandReply writePollingAddress(CommandContext& c) {
    const uint8_t address = c.request.u8(0);
    if (address > kHighestPollingAddress) return CommandReply::error(rc::kInvalidSelection);
    c.state.pollingAddress = address;
    // Multidrop parks the loop at 4 mA; a fixed current does not survive it.
    if (c.state.multidrop()) c.state.runtime.fixedCurrent = 0;
    return CommandReply::ok({address});
}

CommandReply readIdentityByTag(CommandContext& c) {
    if (c.request.size() < kTagBytes) return CommandReply::none();
    const auto ownTag = packAscii(c.state.tag, kTagBytes);
    for (size_t i = 0; i < kTagBytes; ++i)
        if (c.request.u8(i) != ownTag[i]) return CommandReply::none();
    return CommandReply::ok(identityPayload(c.state));
}

std::vector<uint8_t> messagePayload(const MeterState& s) {
    return ReplyWriter().packed(s.message, kMessageBytes).take();
}

std::vector<uint8_t> tagDescriptorDatePayload(const MeterState& s) {
    return ReplyWriter()
        .packed(s.tag, kTagBytes)
        .packed(s.descriptor, kDescriptorBytes)
        .u8(s.date.day)
        .u8(s.date.month)
        .u8(s.date.yearSince1900)
        .take();
}

CommandReply readMessage(CommandContext& c) { return CommandReply::ok(messagePayload(c.state)); }

CommandReply readTagDescriptorDate(CommandContext& c) {
    return CommandReply::ok(tagDescriptorDatePayload(c.state));
}

CommandReply readSensorInformation(CommandContext& c) {
    const auto& pv = c.state.pv();
    return CommandReply::ok(ReplyWriter()
                                .u24(c.state.sensorSerialNumber)
                                .u8(pv.unit)
                                .f32(pv.upperSensorLimit)
                                .f32(pv.lowerSensorLimit)
                                .f32(pv.minimumSpan)
                                .take());
}

CommandReply readOutputInformation(CommandContext& c) {
    const auto& s = c.state;
    return CommandReply::ok(ReplyWriter()
                                .u8(s.alarmSelection)
                                .u8(s.transferFunction)
                                .u8(s.pv().unit)
                                .f32(s.upperRangeValue)
                                .f32(s.lowerRangeValue)
                                .f32(s.damping)
                                .u8(s.acceptsConfiguration() ? 0 : 1)  // write protect
                                .u8(s.manufacturerId)  // private label distributor: the maker itself
                                .take());
}

CommandReply readFinalAssemblyNumber(CommandContext& c) {
    return CommandReply::ok(ReplyWriter().u24(c.state.finalAssemblyNumber).take());
}

CommandReply writeMessage(CommandContext& c) {
    c.state.message = c.request.packedText(0, kMessageBytes);
    return CommandReply::ok(messagePayload(c.state));
}

CommandReply writeTagDescriptorDate(CommandContext& c) {
    auto& s = c.state;
    s.tag = c.request.packedText(0, kTagBytes);
    s.descriptor = c.request.packedText(kTagBytes, kDescriptorBytes);
    const size_t dateAt = kTagBytes + kDescriptorBytes;
    s.date = {c.request.u8(dateAt), c.request.u8(dateAt + 1), c.request.u8(dateAt + 2)};
    return CommandReply::ok(tagDescriptorDatePayload(s));
}

CommandReply writeFinalAssemblyNumber(CommandContext& c) {
    c.state.finalAssemblyNumber = c.request.u24(0);
    return CommandReply::ok(ReplyWriter().u24(c.state.finalAssemblyNumber).take());
}

constexpr std::array kUniversal{
    CommandEntry{0, 0, Access::Read, readIdentity},
    CommandEntry{1, 0, Access::Read, readPrimaryVariable},
    CommandEntry{2, 0, Access::Read, readCurrentAndPercent},
    CommandEntry{3, 0, Access::Read, readDynamicVariables},
    CommandEntry{6, 1, Access::Configure, writePollingAddress},
    CommandEntry{11, 0, Access::Read, readIdentityByTag},  // a short tag cannot match: silent
    CommandEntry{12, 0, Access::Read, readMessage},
    CommandEntry{13, 0, Access::Read, readTagDescriptorDate},
    CommandEntry{14, 0, Access::Read, readSensorInformation},
    CommandEntry{15, 0, Access::Read, readOutputInformation},
    CommandEntry{16, 0, Access::Read, readFinalAssemblyNumber},
    CommandEntry{17, kMessageBytes, Access::Configure, writeMessage},
    CommandEntry{18, kTagBytes + kDescriptorBytes + 3, Access::Configure, writeTagDescriptorDate},
    CommandEntry{19, 3, Access::Configure, writeFinalAssemblyNumber},
};

}  // namespace

std::vector<uint8_t> identityPayload(const MeterState& s) {
    return ReplyWriter()
        .u8(kExpandedIdentityMarker)
        .u8(s.manufacturerId)
        .u8(s.deviceType())
        .u8(s.preambles)
        .u8(s.universalRevision)
        .u8(s.deviceRevision)
        .u8(s.softwareRevision)
        .u8(s.hardwareRevision)
        .u8(s.flags)
        .u24(s.deviceId)
        .take();
}

std::span<const CommandEntry> universalCommands() { return kUniversal; }

}  // namespace corvane::sim
