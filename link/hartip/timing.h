// How long our HART-IP client waits and how often it speaks, shared with the
// servers that must answer inside it (and the simulated meter's "late" fault,
// which must miss it).
#pragma once

namespace hartip {

// A gateway answers a pass-through only after its own transaction on the loop
// (a request, the device's turnaround, the reply, perhaps its own retries at
// 1200 bit/s): a second or more. With the default two retries, three waits
// still end a request to an address where nothing answers inside 10 s.
inline constexpr int kReplyWaitMs = 2500;
// The inactivity time-out our client asks for, and how long it stays idle
// before a keep-alive: well inside it, so a lost keep-alive is not the end.
inline constexpr unsigned kInactivityMs = 60000;
inline constexpr int kKeepAliveMs = 20000;
// A TCP connection that is neither made nor refused by then is given up.
inline constexpr int kConnectTimeoutMs = 3000;

}  // namespace hartip
