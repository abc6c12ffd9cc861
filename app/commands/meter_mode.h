// The meter's modes as command 128 sets and command 129 reports them, and
// the question a write asks when the meter is in service.
#pragma once

namespace app {

inline constexpr int kEditModeCode = 241;
inline constexpr int kInServiceCode = 240;

inline constexpr char kNotInEditModeQuestion[] = "Meter is not in Edit Mode.  Enter edit mode now?";
inline constexpr char kNotInEditModeTitle[] = "Not in Edit Mode";
inline constexpr char kIncorrectPassword[] = "Incorrect Password";

}  // namespace app
