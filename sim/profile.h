// Profiles: text files of "key = value" lines ('#' starts a comment) that set
// any value of the meter state. sim/README.md lists the keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/meter_state.h"

namespace corvane::sim {

// Sets one value; on a bad key or value leaves the state as it was, fills
// `error` and returns false.
bool applySetting(MeterState& state, std::string_view key, std::string_view value, std::string* error);

// Checks what single settings cannot: range and limits in order, units that
// fit their variables. Returns an empty text when the state is sound.
std::string inconsistency(const MeterState& state);

// Applies a profile file on top of `state`; all or nothing. Errors name the
// file and line.
bool applyProfile(const std::string& path, MeterState& state, std::string* error);

std::vector<std::string> profileKeys();

}  // namespace corvane::sim
