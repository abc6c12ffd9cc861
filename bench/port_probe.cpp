// How long the utility's port probe takes: registration on ports 1..24 where
// no modem answers to the name. Prints the time of the whole probe against
// the default port map and against 24 absent device paths.
#include <chrono>
#include <cstdio>
#include <string>

#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"

using namespace wendrel;

namespace {

double probeMs(int& opened) {
    opened = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int port = 1; port <= 24; ++port) {
        DriverRegistration reg;
        reg.port = port;
        int32_t handle = -1;
        if (HART_RegisterDriver(&reg, &handle) != -1) {
            ++opened;
            HART_UnRegisterDriver(handle);
        }
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    SetLogSink([](const std::string&) {});
    int opened = 0;
    const double defaults = probeMs(opened);
    std::printf("default port map: 24 ports probed in %.1f ms, %d opened\n", defaults, opened);
    for (int port = 1; port <= 24; ++port) SetPortPath(port, "/nonexistent/hart-modem-" + std::to_string(port));
    const double absent = probeMs(opened);
    std::printf("absent devices:   24 ports probed in %.1f ms, %d opened\n", absent, opened);
    std::printf("ratio %.3f\n", absent / 1000.0);  // of the one-second budget
    return 0;
}
