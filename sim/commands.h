// The meter's command catalogue as data: command number -> handler. Each
// family of commands lives in its own file and contributes one table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/bytes.h"
#include "sim/meter_state.h"
#include "sim/process.h"

namespace corvane::sim {

// HART response codes the meter uses.
namespace rc {
inline constexpr uint8_t kSuccess = 0;
inline constexpr uint8_t kInvalidSelection = 2;
inline constexpr uint8_t kValueTooLarge = 3;
inline constexpr uint8_t kValueTooSmall = 4;
inline constexpr uint8_t kTooFewDataBytes = 5;
inline constexpr uint8_t kInWriteProtectMode = 7;  // in service, or the write-protect jumper
inline constexpr uint8_t kLowerRangeTooHigh = 9;
inline constexpr uint8_t kLowerRangeTooLow = 10;
inline constexpr uint8_t kUpperRangeTooHigh = 11;
inline constexpr uint8_t kInMultidropMode = 11;  // command 40
inline constexpr uint8_t kUpperRangeTooLow = 12;
inline constexpr uint8_t kBothRangeValuesOutOfLimits = 13;
inline constexpr uint8_t kSpanTooSmall = 14;  // warning: the range is taken
inline constexpr uint8_t kAccessRestricted = 16;  // password, access level or access code
inline constexpr uint8_t kBusy = 32;
inline constexpr uint8_t kCommandNotImplemented = 64;
// Warnings still carry the reply data and still count as a change.
bool isWarning(uint8_t code);
}  // namespace rc

// What a handler sees: the state to read or change, the request data, and
// the meter's present readings (taken just before the handler runs).
struct CommandContext {
    MeterState& state;
    NonVolatileMemory& memory;
    RequestReader request;
    double time;  // seconds on the meter's clock
    // Present value of every device variable, in its unit.
    const std::array<float, kVariableCount>& values;
    const LoopOutput& output;

    float valueOf(Variable v) const { return values[static_cast<size_t>(v)]; }
};

struct CommandReply {
    uint8_t code = rc::kSuccess;
    std::vector<uint8_t> payload;
    bool silent = false;  // no reply at all (command 11 with another tag)

    static CommandReply ok(std::vector<uint8_t> payload) { return {rc::kSuccess, std::move(payload), false}; }
    static CommandReply error(uint8_t code) { return {code, {}, false}; }
    static CommandReply none() { return {rc::kSuccess, {}, true}; }
};

using CommandHandler = CommandReply (*)(CommandContext&);

// What a command may do, and so when the meter runs it.
enum class Access : uint8_t {
    Read,       // runs in any mode
    Operate,    // runs in any mode and is not a configuration change (mode,
                // password, totalizer, flow profiling, fixed current)
    Configure,  // edit mode only (else response code 7); success sets the
                // configuration changed flag
    Memory,     // edit mode only; saves or restores the whole configuration
};

struct CommandEntry {
    uint8_t number;
    size_t requestBytes;   // fewer gets response code 5
    Access access;
    CommandHandler handler;
};

std::span<const CommandEntry> universalCommands();
std::span<const CommandEntry> commonPracticeCommands();
std::span<const CommandEntry> deviceSetupCommands();    // 128 to 170, 187, 188, 205 to 215, 232 to 253
std::span<const CommandEntry> propertyTableCommands();  // 216 to 227
std::span<const CommandEntry> serviceCommands();        // 178 to 199, 229 to 231

// A float taken from a request: 0 when lowest <= value <= highest, else the
// response code (NaN is too large).
uint8_t rangeCode(float value, float lowest, float highest);

// Reply layouts shared by several commands.
std::vector<uint8_t> identityPayload(const MeterState& state);  // commands 0 and 11

}  // namespace corvane::sim
