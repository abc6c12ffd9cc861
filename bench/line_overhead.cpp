// The master's overhead on the line: N transactions of command 3 against the
// paced simulated meter on a pty, at 1200, 9600 and 19200 bit/s. The floor is
// what the line itself takes for N transactions (11 bits a character): the
// request and the reply as the monitor saw them, the meter's turnaround, and
// the link grant time the master leaves to another master after each. Retries
// are counted and printed apart: their time is in the measurement, not in the
// floor. The last line prints measured / floor for each rate.
//
//   bench-line-overhead [N]      (default 20 at each rate)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "link/driver/link_master.h"
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

struct Overhead {
    int answered = 0;
    long requests = 0;  // put on the line: one a transaction, more with retries
    long chars = 0;     // of one request and its reply, N times
    double measured = 0;
    double floor = 0;
};

// One line mode (0: 1200, 1: 9600, 2: 19200 bit/s); nullopt when the meter
// could not be started or never answered.
std::optional<Overhead> measure(int mode, int bitRate, int n) {
    tools::SimProcess sim;
    std::string error;
    if (!sim.start(tools::besideSelf("corvane-meter-sim"), {"--pace", "--mode", std::to_string(mode)}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return std::nullopt;
    }
    SetPortPath(1, sim.linkPath());
    Inbox inbox;
    DriverRegistration reg;
    reg.window = &inbox;
    reg.port = 1;
    reg.mode = mode;
    int32_t handle = -1;
    if (HART_RegisterDriver(&reg, &handle) == -1) return std::nullopt;
    RegisterLLMonitor(handle, &inbox, WM_HART_MONITOR);

    uint8_t data[300];
    HartRequest request;
    request.command = 0;
    if (!transact(handle, inbox, request, data)) {
        std::fprintf(stderr, "the simulated meter did not answer command 0\n");
        HART_UnRegisterDriver(handle);
        return std::nullopt;
    }
    request.addressKind = kAddressUniqueId;
    request.uniqueId[0] = data[1] & 0x3F;
    request.uniqueId[1] = data[2];
    std::memcpy(request.uniqueId + 2, data + 9, 3);
    request.command = 3;
    inbox.takeLineCount();

    Overhead o;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) o.answered += transact(handle, inbox, request, data) ? 1 : 0;
    o.measured = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    UnRegisterLLMonitor(handle);
    const auto line = inbox.takeLineCount();
    HART_UnRegisterDriver(handle);
    if (line.sent.frames == 0 || line.received.frames == 0) {
        std::fprintf(stderr, "the monitor saw no transaction\n");
        return std::nullopt;
    }
    o.requests = line.sent.frames;
    // Every request alike and every reply alike: one of each per transaction.
    const double perTransaction = static_cast<double>(line.sent.chars) / static_cast<double>(line.sent.frames) +
                                  static_cast<double>(line.received.chars) / static_cast<double>(line.received.frames);
    o.chars = std::lround(perTransaction * n);
    const double charSeconds = 11.0 / bitRate;
    const double linkGrantSeconds = LinkTiming::forBitRate(bitRate, true, 0).linkGrantMs / 1000.0;
    o.floor = ((perTransaction + corvane::sim::kTurnaroundChars) * charSeconds + linkGrantSeconds) * n;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    constexpr int kBitRates[] = {1200, 9600, 19200};
    std::string ratios;
    bool allAnswered = true;
    for (int mode = 0; mode < 3; ++mode) {
        const int bitRate = kBitRates[mode];
        const auto o = measure(mode, bitRate, n);
        if (!o) return 1;
        std::printf("%d bit/s: transactions %d, answered %d, retries %ld, characters of the transactions %ld, "
                    "measured %.3f s, floor (wire, turnaround, link grant) %.3f s\n",
                    bitRate, n, o->answered, o->requests - n, o->chars, o->measured, o->floor);
        allAnswered = allAnswered && o->answered == n;
        char figure[64];
        std::snprintf(figure, sizeof figure, "%s%d bit/s %.3f", mode ? ", " : "", bitRate, o->measured / o->floor);
        ratios += figure;
    }
    std::printf("ratio %s\n", ratios.c_str());
    return allAnswered ? 0 : 1;
}
