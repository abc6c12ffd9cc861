// The HART-IP bridge at 19200 bit/s:
//   1. added latency: N transactions of command 3 one after another, straight
//      through the driver and then through the bridge from one UDP client,
//      against the simulated meter in-process on the driver's in-memory line
//      (so the time the wire takes does not drown the difference); the
//      difference of the medians is what the bridge adds (goal < 2 ms);
//   2. throughput, against the paced simulated meter on a pty: transactions
//      per second the line carries when the driver has a queue of them, and
//      what the bridge serves to 10 UDP clients that each keep one request
//      outstanding (goal: within 5% of the line's own).
//
//   bench-bridge [N]      (default 100 transactions in each part; 5 N in the first)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
#include "tests/support/sim_on_pipe.h"
#include "tools/reply_inbox.h"
#include "tools/sim_process.h"

using namespace wendrel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMode = 2;  // 19200 bit/s
constexpr int kClients = 10;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The median of the times taken: a machine shared with other work stalls a few now and then.
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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

// Counts the requests the paced meter received: what went onto the wire.
struct RequestLog {
    std::string path;
    long lines() const {
        FILE* f = std::fopen(path.c_str(), "r");
        if (!f) return 0;
        long n = 0;
        for (int c; (c = std::fgetc(f)) != EOF;) n += c == '\n';
        std::fclose(f);
        return n;
    }
};

// A registration of the driver on port 1 with a blocking wait for each reply.
class DirectLine {
public:
    bool open() {
        DriverRegistration reg;
        reg.window = &inbox_;
        reg.port = 1;
        reg.mode = kMode;
        return HART_RegisterDriver(&reg, &handle_) != -1;
    }
    ~DirectLine() {
        if (handle_ != -1) HART_UnRegisterDriver(handle_);
    }
    void send(const HartRequest& r) { HART_SendRequest(handle_, &r, 0); }
    bool collect() {
        const auto [key, status] = inbox_.next();
        HartReply reply;
        reply.data = data_;
        int16_t tag;
        return HART_ReceiveRequest(handle_, static_cast<int32_t>(key), &reply, &tag) &&
               (status & 0xFFFF) != kNoDeviceResponse;
    }
    // Command 3 by the unique id the meter gives in its answer to command 0.
    std::optional<HartRequest> command3() {
        HartRequest r;
        send(r);
        if (!collect()) return std::nullopt;
        r.addressKind = kAddressUniqueId;
        const uint8_t id[5] = {static_cast<uint8_t>(data_[1] & 0x3F), data_[2], data_[9], data_[10], data_[11]};
        std::copy(id, id + 5, r.uniqueId);
        r.command = 3;
        return r;
    }

private:
    tools::ReplyInbox inbox_;
    int32_t handle_ = -1;
    uint8_t data_[300] = {};
};

std::unique_ptr<bridge::Bridge> startBridge() {
    bridge::BridgeOptions options;
    options.port = 1;
    options.mode = kMode;
    options.listen = {hartip::Endpoint{false, "127.0.0.1", 0}};
    options.maxSessions = kClients + 1;
    std::string error;
    auto running = bridge::Bridge::start(options, &error);
    if (!running || !running->lineOpen()) {
        std::fprintf(stderr, "bridge: %s\n", running ? "the line did not open" : error.c_str());
        return nullptr;
    }
    return running;
}

std::vector<uint8_t> frameOf(const HartRequest& r) {
    std::array<uint8_t, 5> id{};
    std::copy(r.uniqueId, r.uniqueId + 5, id.begin());
    return encodeFrame(makeRequestLong(id, static_cast<uint8_t>(r.command), {}), 0);
}

struct Latency {
    double direct = 0, bridged = 0;  // median seconds a transaction
    bool allAnswered = false;
};

std::optional<Latency> latency(int n) {
    testsupport::SimOnPipe line({}, kMode, 1);
    Latency l;
    std::vector<uint8_t> frame;
    int answered = 0;
    {
        DirectLine direct;
        if (!direct.open()) return std::nullopt;
        const auto request = direct.command3();
        if (!request) return std::nullopt;
        frame = frameOf(*request);
        std::vector<double> times;
        for (int i = 0; i < n; ++i) {
            const auto start = Clock::now();
            direct.send(*request);
            answered += direct.collect() ? 1 : 0;
            times.push_back(secondsSince(start));
        }
        l.direct = median(times);
    }
    auto running = startBridge();
    if (!running) return std::nullopt;
    UdpClient client(running->endpoints()[0].port);
    if (!client.initiate()) return std::nullopt;
    std::vector<double> times;
    for (int i = 0; i < n; ++i) {
        const auto start = Clock::now();
        answered += client.transact(static_cast<uint16_t>(i), frame) ? 1 : 0;
        times.push_back(secondsSince(start));
    }
    l.bridged = median(times);
    l.allAnswered = answered == 2 * n;
    return l;
}

struct Throughput {
    double line = 0, served = 0;  // transactions a second
    long lineOnWire = 0, servedOnWire = 0;
    int answered = 0, asked = 0;
};

std::optional<Throughput> throughput(int n) {
    RequestLog log;
    char name[] = "/tmp/bench-bridge-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    log.path = name;
    tools::SimProcess sim;
    std::string error;
    if (!sim.start(tools::besideSelf("corvane-meter-sim"), {"--pace", "--mode", std::to_string(kMode), "--log", log.path},
                   &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return std::nullopt;
    }
    SetPortPath(1, sim.linkPath());
    Throughput t;
    std::vector<uint8_t> frame;
    {
        DirectLine direct;
        if (!direct.open()) return std::nullopt;
        const auto request = direct.command3();
        if (!request) return std::nullopt;
        frame = frameOf(*request);
        const long seen = log.lines();
        const auto start = Clock::now();
        for (int i = 0; i < n; ++i) direct.send(*request);
        for (int i = 0; i < n; ++i) t.answered += direct.collect() ? 1 : 0;
        t.line = n / secondsSince(start);
        t.lineOnWire = log.lines() - seen;
        t.asked += n;
    }
    auto running = startBridge();
    if (!running) return std::nullopt;
    const uint16_t port = running->endpoints()[0].port;
    std::vector<std::unique_ptr<UdpClient>> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.push_back(std::make_unique<UdpClient>(port));
        if (!clients.back()->initiate()) return std::nullopt;
    }
    std::atomic<int> answered{0};
    const int each = std::max(1, n / kClients);
    const long seen = log.lines();
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (auto& c : clients)
        threads.emplace_back([&, client = c.get()] {
            for (int i = 0; i < each; ++i) answered += client->transact(static_cast<uint16_t>(i), frame) ? 1 : 0;
        });
    for (auto& th : threads) th.join();
    t.served = answered / secondsSince(start);
    t.servedOnWire = log.lines() - seen;
    t.answered += answered;
    t.asked += each * kClients;
    running.reset();
    SetPortPath(1, "");
    std::remove(log.path.c_str());
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100;
    const auto l = latency(5 * n);
    if (!l) return 1;
    std::printf("in-memory line at 19200 bit/s, command 3: %.3f ms a transaction straight through the driver, "
                "%.3f ms through the bridge (medians of %d)\n",
                l->direct * 1000, l->bridged * 1000, 5 * n);
    const auto t = throughput(n);
    if (!t) return 1;
    // Requests on the wire beyond one a transaction are the driver's repeats, not the bridge's.
    std::printf("paced line at 19200 bit/s: the line's own limit %.2f transactions/s (requests queued in the "
                "driver; %ld on the wire for %d); served to %d clients %.2f transactions/s (%ld on the wire for %d)\n",
                t->line, t->lineOnWire, n, kClients, t->served, t->servedOnWire, (n / kClients) * kClients);
    std::printf("added latency %.3f ms; served / line limit %.3f\n", (l->bridged - l->direct) * 1000,
                t->served / t->line);
    return l->allAnswered && t->answered == t->asked ? 0 : 1;
}
