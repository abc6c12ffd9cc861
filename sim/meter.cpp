#include "sim/meter.h"

#include <algorithm>
#include <cmath>

#include "sim/profile.h"

namespace corvane::sim {

namespace {

constexpr uint8_t kIdentifyByTag = 11;
constexpr uint8_t kStatusMalfunction = 0x80;
constexpr uint8_t kStatusConfigChanged = 0x40;
constexpr uint8_t kStatusCurrentFixed = 0x08;
constexpr uint8_t kStatusCurrentSaturated = 0x04;
constexpr uint8_t kStatusPvOutOfLimits = 0x01;
constexpr uint8_t kAddressFlagBits = wendrel::kPrimaryMasterBit | wendrel::kBurstBit;
// The totalizer integrates the flow in steps of at most this, and in no more
// steps than the second figure (a long jump of a test clock stays cheap).
constexpr double kTotalizerStepSeconds = 1.0;
constexpr double kMostTotalizerSteps = 3600;

Meter::Clock steadyClock() {
    const auto start = std::chrono::steady_clock::now();
    return [start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
}

}  // namespace

bool rc::isWarning(uint8_t code) {
    return code == 8 || code == 14 || (code >= 24 && code <= 27) || code == 30 || code == 31;
}

Meter::Meter() : Meter(steadyClock()) {}

Meter::Meter(Clock clock)
    : clock_(clock ? std::move(clock) : steadyClock()), state_(defaultMeterState()), memory_{state_, state_} {
    for (auto table : {universalCommands(), commonPracticeCommands(), deviceSetupCommands(), propertyTableCommands(),
                       serviceCommands()})
        for (const auto& entry : table) commands_[entry.number] = &entry;
}

void Meter::setClock(Clock clock) {
    clock_ = clock ? std::move(clock) : steadyClock();
    sampled_ = false;
}

bool Meter::loadProfile(const std::string& path, std::string* error) {
    if (!applyProfile(path, state_, error)) return false;
    afterProfileChange();
    return true;
}

bool Meter::setValue(const std::string& key, const std::string& value, std::string* error) {
    if (!applySetting(state_, key, value, error)) return false;
    afterProfileChange();
    return true;
}

void Meter::afterProfileChange() {
    memory_ = {state_, state_};
    sampled_ = false;
}

void Meter::advanceTotalizer(double from, double to) {
    if (!state_.runtime.totalizerRunning || !(to > from)) return;
    const auto index = static_cast<size_t>(state_.totalizedVariable());
    auto rate = [&](double t) { return deviceVariables(state_, meteredVolumeFlow(state_, t), t)[index]; };
    const double steps = std::clamp(std::ceil((to - from) / kTotalizerStepSeconds), 1.0, kMostTotalizerSteps);
    const double step = (to - from) / steps;
    // Trapezoids over the undamped flow, as the meter counts every vortex.
    double previous = rate(from);
    for (double i = 1; i <= steps; ++i) {
        const double next = rate(from + i * step);
        state_.runtime.total += (previous + next) / 2 * step;
        previous = next;
    }
}

Readings Meter::readings() {
    const double now = clock_();
    if (sampled_) advanceTotalizer(lastSampleTime_, now);
    const double raw = meteredVolumeFlow(state_, now);
    if (!sampled_ || !(state_.damping > 0)) {
        dampedFlow_ = raw;
    } else if (now > lastSampleTime_) {
        dampedFlow_ += (raw - dampedFlow_) * (1 - std::exp(-(now - lastSampleTime_) / state_.damping));
    }
    sampled_ = true;
    lastSampleTime_ = now;

    Readings r;
    const auto base = deviceVariables(state_, dampedFlow_, now);
    for (size_t i = 0; i < kVariableCount; ++i)
        r.values[i] = static_cast<float>(fromBaseUnit(base[i], state_.variables[i].unit));
    r.output = loopOutput(state_, r.values[static_cast<size_t>(state_.primaryVariable)]);
    return r;
}

uint8_t Meter::fieldDeviceStatus(const LoopOutput& output) const {
    uint8_t status = 0;
    if (state_.diagnostics.malfunction) status |= kStatusMalfunction;
    if (state_.configChanged) status |= kStatusConfigChanged;
    if (output.fixed) status |= kStatusCurrentFixed;
    if (output.saturated) status |= kStatusCurrentSaturated;
    if (output.pvOutOfLimits) status |= kStatusPvOutOfLimits;
    return status;
}

bool Meter::isBroadcastIdentify(const wendrel::Frame& request) const {
    if (!request.longAddress || request.command != kIdentifyByTag) return false;
    if (request.address[0] & ~kAddressFlagBits) return false;
    return request.address[1] == 0 && request.address[2] == 0 && request.address[3] == 0 &&
           request.address[4] == 0;
}

bool Meter::isAddressedTo(const wendrel::Frame& request) const {
    if (request.type != wendrel::FrameType::Stx) return false;
    if (!request.longAddress) return (request.address[0] & 0x0F) == state_.pollingAddress;
    if (isBroadcastIdentify(request)) return true;
    const auto own = state_.uniqueId();
    if ((request.address[0] & ~kAddressFlagBits) != own[0]) return false;
    return std::equal(own.begin() + 1, own.end(), request.address.begin() + 1);
}

CommandReply Meter::execute(uint8_t command, const std::vector<uint8_t>& data) {
    const CommandEntry* entry = commands_[command];
    if (!entry) return CommandReply::error(rc::kCommandNotImplemented);
    if (data.size() < entry->requestBytes) {
        // Command 11 stays silent on anything that is not its tag.
        if (command == kIdentifyByTag) return CommandReply::none();
        return CommandReply::error(rc::kTooFewDataBytes);
    }
    const bool changesConfiguration = entry->access == Access::Configure;
    if ((changesConfiguration || entry->access == Access::Memory) && !state_.acceptsConfiguration())
        return CommandReply::error(rc::kInWriteProtectMode);
    const Readings now = readings();
    CommandContext context{state_, memory_, RequestReader(data), lastSampleTime_, now.values, now.output};
    CommandReply reply = entry->handler(context);
    const bool taken = reply.code == rc::kSuccess || rc::isWarning(reply.code);
    if (!taken) reply.payload.clear();  // error replies carry the status bytes only
    if (taken && changesConfiguration) state_.configChanged = true;
    return reply;
}

std::optional<wendrel::Frame> Meter::handle(const wendrel::Frame& request) {
    return respond(request, Run::Execute);
}

std::optional<wendrel::Frame> Meter::replyBusy(const wendrel::Frame& request) {
    return respond(request, Run::Busy);
}

std::optional<wendrel::Frame> Meter::respond(const wendrel::Frame& request, Run run) {
    if (!isAddressedTo(request)) return std::nullopt;
    log_.push_back({request.command, request.data, clock_(), std::chrono::system_clock::now()});

    CommandReply reply;
    if (run == Run::Busy) {
        // Busy still cannot answer a command 11 meant for another tag.
        if (request.command == kIdentifyByTag &&
            execute(kIdentifyByTag, request.data).silent)  // command 11 changes nothing
            return std::nullopt;
        reply = CommandReply::error(rc::kBusy);
    } else {
        reply = execute(request.command, request.data);
        if (reply.silent) return std::nullopt;
    }

    // Status after the command ran, so a write shows its own effect.
    wendrel::Frame frame = wendrel::makeReply(request, reply.code, fieldDeviceStatus(readings().output),
                                              reply.payload);
    if (isBroadcastIdentify(request)) {
        const auto own = state_.uniqueId();
        std::copy(own.begin(), own.end(), frame.address.begin());
        frame.address[0] |= request.address[0] & wendrel::kPrimaryMasterBit;
    }
    frame.address[0] = static_cast<uint8_t>(frame.address[0] & ~wendrel::kBurstBit);
    if (state_.burstMode) frame.address[0] |= wendrel::kBurstBit;
    return frame;
}

std::optional<wendrel::Frame> Meter::burstFrame() {
    if (!state_.burstMode) return std::nullopt;
    const CommandReply reply = execute(state_.burstCommand, {});
    wendrel::Frame request = wendrel::makeRequestLong(state_.uniqueId(), state_.burstCommand, {});
    wendrel::Frame frame = wendrel::makeReply(request, reply.code, fieldDeviceStatus(readings().output),
                                              reply.payload);
    frame.type = wendrel::FrameType::Back;
    frame.address[0] |= wendrel::kBurstBit;
    return frame;
}

}  // namespace corvane::sim
