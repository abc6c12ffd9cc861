// The HART-IP bridge over the paced simulated meter at 19200 bit/s:
//   1. added latency: N transactions of command 3 one after another, straight
//      through the driver and then through the bridge from one UDP client;
//      the difference of the means is what the bridge adds (goal < 2 ms);
//   2. throughput: transactions per second the line carries when the driver
//      has a queue of them, and what the bridge serves to 10 UDP clients that
//      each keep one request outstanding (goal: within 5% of the line's own).
//
//   bench-bridge [N]      (default 100 transactions in each part)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge.h"
#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "link/hartip/message.h"
#include "tools/reply_inbox.h"
#include "tools/sim_process.h"

using namespace wendrel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMode = 2;  // 19200 bit/s
constexpr int kClients = 10;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A blocking HART-IP client over UDP on loopback.
class UdpClient {
public:
    explicit UdpClient(uint16_t port) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    ~UdpClient() { close(fd_); }
    std::optional<hartip::Message> exchange(const std::vector<uint8_t>& bytes) {
        send(fd_, bytes.data(), bytes.size(), 0);
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) return std::nullopt;
            uint8_t buffer[2048];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return std::nullopt;
            auto d = hartip::decode(buffer, static_cast<size_t>(n));
            if (d.status != hartip::DecodeStatus::Ok) return std::nullopt;
            if (d.message.header.type == hartip::MessageType::Publish) continue;
            return d.message;
        }
    }
    bool initiate() {
        auto m = exchange(hartip::sessionInitiateRequest(0, hartip::kPrimaryMaster, 60000));
        return m && m->header.type == hartip::MessageType::Response && m->header.status == 0;
    }
    // A pass-through answered with a reply frame.
    bool transact(uint16_t sequence, const std::vector<uint8_t>& frame) {
        auto m = exchange(hartip::passThroughRequest(sequence, frame));
        return m && m->header.type == hartip::MessageType::Response && m->header.sequence == sequence;
    }

private:
    int fd_ = -1;
};

struct Line {
    tools::SimProcess sim;
    std::array<uint8_t, 5> uniqueId{};
};

bool startMeter(Line& line) {
    std::string error;
    if (!line.sim.start(tools::besideSelf("corvane-meter-sim"), {"--pace", "--mode", std::to_string(kMode)}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    SetPortPath(1, line.sim.linkPath());
    return true;
}

// Straight through the driver: N transactions one after another (mean
// seconds each), then N queued at once (transactions per second).
struct Direct {
    double meanSeconds = 0;
    double perSecond = 0;
    int answered = 0;
};

std::optional<Direct> direct(Line& line, int n) {
    tools::ReplyInbox inbox;
    DriverRegistration reg;
    reg.window = &inbox;
    reg.port = 1;
    reg.mode = kMode;
    int32_t handle = -1;
    if (HART_RegisterDriver(&reg, &handle) == -1) return std::nullopt;
    uint8_t data[300];
    auto collect = [&] {
        const auto [key, status] = inbox.next();
        HartReply reply;
        reply.data = data;
        int16_t tag;
        return HART_ReceiveRequest(handle, static_cast<int32_t>(key), &reply, &tag) &&
               (status & 0xFFFF) != kNoDeviceResponse;
    };
    HartRequest request;
    HART_SendRequest(handle, &request, 0);
    if (!collect()) {
        std::fprintf(stderr, "the simulated meter did not answer command 0\n");
        HART_UnRegisterDriver(handle);
        return std::nullopt;
    }
    line.uniqueId = {static_cast<uint8_t>(data[1] & 0x3F), data[2], data[9], data[10], data[11]};
    request.addressKind = kAddressUniqueId;
    std::copy(line.uniqueId.begin(), line.uniqueId.end(), request.uniqueId);
    request.command = 3;

    Direct d;
    auto start = Clock::now();
    for (int i = 0; i < n; ++i) {
        HART_SendRequest(handle, &request, 0);
        d.answered += collect() ? 1 : 0;
    }
    d.meanSeconds = secondsSince(start) / n;
    start = Clock::now();
    for (int i = 0; i < n; ++i) HART_SendRequest(handle, &request, 0);
    for (int i = 0; i < n; ++i) d.answered += collect() ? 1 : 0;
    d.perSecond = n / secondsSince(start);
    HART_UnRegisterDriver(handle);
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100;
    Line line;
    if (!startMeter(line)) return 1;
    const auto d = direct(line, n);
    if (!d) return 1;

    bridge::BridgeOptions options;
    options.port = 1;
    options.mode = kMode;
    options.listen = {hartip::Endpoint{false, "127.0.0.1", 0}};
    options.maxSessions = kClients + 1;
    std::string error;
    auto running = bridge::Bridge::start(options, &error);
    if (!running || !running->lineOpen()) {
        std::fprintf(stderr, "bridge: %s\n", running ? "the line did not open" : error.c_str());
        return 1;
    }
    const uint16_t port = running->endpoints()[0].port;
    const auto frame = encodeFrame(makeRequestLong(line.uniqueId, 3, {}), 0);

    // 1. One client, one transaction at a time.
    UdpClient one(port);
    if (!one.initiate()) return 1;
    int answeredOne = 0;
    auto start = Clock::now();
    for (int i = 0; i < n; ++i) answeredOne += one.transact(static_cast<uint16_t>(i), frame) ? 1 : 0;
    const double bridgedMean = secondsSince(start) / n;

    // 2. Ten clients, each with one request outstanding all the time.
    std::atomic<int> answeredMany{0};
    const int each = std::max(1, n / kClients);
    std::vector<std::thread> clients;
    start = Clock::now();
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&] {
            UdpClient client(port);
            if (!client.initiate()) return;
            for (int i = 0; i < each; ++i) answeredMany += client.transact(static_cast<uint16_t>(i), frame) ? 1 : 0;
        });
    }
    for (auto& t : clients) t.join();
    const double servedPerSecond = answeredMany / secondsSince(start);
    running.reset();

    std::printf("19200 bit/s, command 3: direct %.2f ms a transaction, through the bridge %.2f ms (%d of %d answered)\n",
                d->meanSeconds * 1000, bridgedMean * 1000, answeredOne, n);
    std::printf("line's own limit %.2f transactions/s; served to %d clients %.2f transactions/s (%d of %d answered)\n",
                d->perSecond, kClients, servedPerSecond, answeredMany.load(), each * kClients);
    std::printf("added latency %.3f ms; served / line limit %.3f\n", (bridgedMean - d->meanSeconds) * 1000,
                servedPerSecond / d->perSecond);
    return answeredOne == n && answeredMany == each * kClients && d->answered == 2 * n ? 0 : 1;
}
