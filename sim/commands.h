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
inline constexpr uint8_t kLowerRangeTooHigh = 9;
inline constexpr uint8_t kLowerRangeTooLow = 10;
inline constexpr uint8_t kUpperRangeTooHigh = 11;
inline constexpr uint8_t kInMultidropMode = 11;  // command 40
inline constexpr uint8_t kUpperRangeTooLow = 12;
inline constexpr uint8_t kBothRangeValuesOutOfLimits = 13;
inline constexpr uint8_t kSpanTooSmall = 14;  // warning: the range is taken
inline constexpr uint8_t kBusy = 32;
inline constexpr uint8_t kCommandNotImplemented = 64;
// Warnings still carry the reply data and still count as a change.
bool isWarning(uint8_t code);
}  // namespace rc

// What a handler sees: the state to read or change, the request data, and
// the meter's present readings (taken just before the handler runs).
struct CommandContext {
    MeterState& state;
    RequestReader request;
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

struct CommandEntry {
    uint8_t number;
    size_t requestBytes;   // fewer gets response code 5
    bool changesConfiguration;  // success sets the configuration changed flag
    CommandHandler handler;
};

std::span<const CommandEntry> universalCommands();
std::span<const CommandEntry> commonPracticeCommands();

// Reply layouts shared by several commands.
std::vector<uint8_t> identityPayload(const MeterState& state);  // commands 0 and 11

}  // namespace corvane::sim
