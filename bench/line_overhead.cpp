// The master's overhead on the line: N transactions of command 3 against the
// paced simulated meter on a pty at 1200 bit/s. The floor is the time the bits
// need on the wire (11 bits a character, every frame both ways as the monitor
// saw it) plus the meter's turnaround; the last line prints measured / floor.
//
//   bench-line-overhead [N]      (default 20)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "sim/meter_line.h"
#include "tools/reply_inbox.h"
#include "tools/sim_process.h"

using namespace wendrel;

namespace {

using Inbox = tools::ReplyInbox;

bool transact(int32_t handle, Inbox& inbox, const HartRequest& request, uint8_t* data) {
    HART_SendRequest(handle, &request, 0);
    const auto [key, status] = inbox.next();
    HartReply reply;
    reply.data = data;
    int16_t tag;
    return HART_ReceiveRequest(handle, static_cast<int32_t>(key), &reply, &tag) &&
           (status & 0xFFFF) != kNoDeviceResponse;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    constexpr int kBitRate = 1200;
    tools::SimProcess sim;
    std::string error;
    if (!sim.start(tools::besideSelf("corvane-meter-sim"), {"--pace", "--mode", "0"}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    SetPortPath(1, sim.linkPath());
    Inbox inbox;
    DriverRegistration reg;
    reg.window = &inbox;
    reg.port = 1;
    reg.mode = 0;
    int32_t handle = -1;
    if (HART_RegisterDriver(&reg, &handle) == -1) return 1;
    RegisterLLMonitor(handle, &inbox, WM_HART_MONITOR);

    uint8_t data[300];
    HartRequest request;
    request.command = 0;
    if (!transact(handle, inbox, request, data)) {
        std::fprintf(stderr, "the simulated meter did not answer command 0\n");
        return 1;
    }
    request.addressKind = kAddressUniqueId;
    request.uniqueId[0] = data[1] & 0x3F;
    request.uniqueId[1] = data[2];
    std::memcpy(request.uniqueId + 2, data + 9, 3);
    request.command = 3;
    inbox.takeLineChars();

    const auto start = std::chrono::steady_clock::now();
    int answered = 0;
    for (int i = 0; i < n; ++i) answered += transact(handle, inbox, request, data) ? 1 : 0;
    const double measured = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    UnRegisterLLMonitor(handle);
    const long chars = inbox.takeLineChars();
    HART_UnRegisterDriver(handle);

    const double charSeconds = 11.0 / kBitRate;
    const double floor = (chars + static_cast<double>(n) * corvane::sim::kTurnaroundChars) * charSeconds;
    std::printf("transactions %d, answered %d\n", n, answered);
    std::printf("characters on the line %ld\n", chars);
    std::printf("measured %.3f s, wire-time floor %.3f s\n", measured, floor);
    std::printf("ratio %.3f\n", measured / floor);
    return answered == n ? 0 : 1;
}
