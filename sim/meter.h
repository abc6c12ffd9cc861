// The simulated Corvane vortex meter as a HART slave, seen from its own side:
// it takes request frames and gives reply frames. Byte timing, faults and the
// line live in MeterLine (sim/meter_line.h).
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/driver/frame.h"
#include "sim/commands.h"
#include "sim/meter_state.h"
#include "sim/process.h"

namespace corvane::sim {

struct LoggedRequest {
    uint8_t command = 0;
    std::vector<uint8_t> data;
    double time = 0;  // seconds on the meter's clock
    std::chrono::system_clock::time_point received;
};

// What the meter reads at one moment.
struct Readings {
    std::array<float, kVariableCount> values{};  // each in its variable's unit
    LoopOutput output;
};

class Meter {
public:
    // Seconds on any monotonic scale; drives the process values.
    using Clock = std::function<double()>;

    Meter();  // the default liquid meter on the steady clock
    explicit Meter(Clock clock);

    // Profile file or single "key = value" setting (keys in sim/README.md).
    // On failure nothing changes and `error` says why.
    bool loadProfile(const std::string& path, std::string* error);
    bool setValue(const std::string& key, const std::string& value, std::string* error);

    // True when the request's address is this meter's (polling address, unique
    // id, or the broadcast address with command 11). Only STX frames count.
    bool isAddressedTo(const wendrel::Frame& request) const;
    // The reply to a request, or nullopt when the meter stays silent.
    std::optional<wendrel::Frame> handle(const wendrel::Frame& request);
    // The meter is busy: reply with response code 32 without running the
    // command (nullopt when it would be silent anyway).
    std::optional<wendrel::Frame> replyBusy(const wendrel::Frame& request);
    // In burst mode: a BACK frame with the burst command's reply.
    std::optional<wendrel::Frame> burstFrame();

    int responsePreambles() const { return state_.preambles; }
    Readings readings();
    uint8_t fieldDeviceStatus(const LoopOutput& output) const;

    const std::vector<LoggedRequest>& requestLog() const { return log_; }
    void clearRequestLog() { log_.clear(); }

    MeterState& state() { return state_; }
    const MeterState& state() const { return state_; }
    // The saved (command 39) and factory (command 42) configurations. Loading a
    // profile or setting a value makes the result both.
    const NonVolatileMemory& memory() const { return memory_; }
    void setClock(Clock clock);

private:
    enum class Run { Execute, Busy };
    std::optional<wendrel::Frame> respond(const wendrel::Frame& request, Run run);
    bool isBroadcastIdentify(const wendrel::Frame& request) const;
    CommandReply execute(uint8_t command, const std::vector<uint8_t>& data);
    void afterProfileChange();
    void advanceTotalizer(double from, double to);

    Clock clock_;
    MeterState state_;
    NonVolatileMemory memory_;
    std::array<const CommandEntry*, 256> commands_{};
    std::vector<LoggedRequest> log_;
    // First-order damping of the flow.
    bool sampled_ = false;
    double lastSampleTime_ = 0;
    double dampedFlow_ = 0;
};

}  // namespace corvane::sim
