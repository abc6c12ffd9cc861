// Which device path stands behind "COM n". Defaults, in port order:
//   COM 1..8    /dev/ttyUSB0..7   USB HART modems with a serial converter chip
//   COM 9..16   /dev/ttyACM0..7   USB HART modems of the CDC class
//   COM 17..32  /dev/ttyS0..15    on-board serial ports
// The environment variable WENDREL_PORTS overrides single ports:
//   WENDREL_PORTS="1=/dev/pts/4,2=/dev/ttyUSB0"
// A port may also be a HART-IP device or gateway, over UDP or TCP:
//   WENDREL_PORTS="3=hartip://127.0.0.1,4=hartip+tcp://[::1]:5094"
// and SetPortPath overrides them from a host (it wins over the environment).
#pragma once

#include <string>

namespace wendrel {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 32;

// The device path of a port 1..32; "" outside that range.
std::string PortPath(int port);
// Host override of one port; an empty path removes the override.
void SetPortPath(int port, const std::string& path);

}  // namespace wendrel
