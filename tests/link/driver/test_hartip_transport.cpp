// The frame driver on HART-IP ports, over UDP and TCP on loopback: against the
// simulated meter behind a HART-IP server, and against a scripted server that
// answers out of turn, refuses, publishes, or goes away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "link/driver/frame.h"
#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "link/hartip/server.h"
#include "tests/support/recording_target.h"
#include "tests/support/sim_on_hartip.h"

using namespace wendrel;
using testsupport::RecordingTarget;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> withoutPreambles(const std::vector<uint8_t>& wire) {
    size_t i = 0;
    while (i < wire.size() && wire[i] == 0xFF) ++i;
    return {wire.begin() + static_cast<long>(i), wire.end()};
}

// A port on loopback where nothing listens (bound for a moment, then freed).
uint16_t freePort(bool tcp) {
    const int fd = ::socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

struct Driver {
    RecordingTarget client;
    RecordingTarget monitor;
    int32_t handle = -1;
    std::mutex logMutex;
    std::vector<std::string> logLines;

    Driver() {
        SetLogSink([this](const std::string& line) {
            std::lock_guard lock(logMutex);
            logLines.push_back(line);
        });
    }
    ~Driver() {
        if (handle != -1) HART_UnRegisterDriver(handle);
        SetLogSink(nullptr);
    }
    bool open(int port = 1, int replyTimeoutMs = 0) {
        DriverRegistration reg;
        reg.window = &client;
        reg.port = port;
        if (HART_RegisterDriver(&reg, &handle) == -1) return false;
        RegisterLLMonitor(handle, &monitor, WM_HART_MONITOR);
        if (replyTimeoutMs > 0) {
            DriverConfig c;
            HART_GetConfiguration(handle, &c);
            c.replyTimeout = replyTimeoutMs;
            HART_SetConfiguration(handle, &c);
        }
        return true;
    }
    void setMasterType(int type) {
        DriverConfig c;
        HART_GetConfiguration(handle, &c);
        c.masterType = type;
        HART_SetConfiguration(handle, &c);
    }
    void send(int command, std::vector<uint8_t> data = {}) {
        HartRequest r;
        r.command = command;
        r.data = data.data();
        r.length = static_cast<int32_t>(data.size());
        HART_SendRequest(handle, &r, 0);
    }
    // The status word of the next reply, and the reply itself.
    intptr_t transact(int command, HartReply* out = nullptr, int timeoutMs = 12000) {
        send(command);
        auto done = client.take(WM_HART_REPLY, timeoutMs);
        EXPECT_TRUE(done);
        if (!done) return -1;
        uint8_t data[300];
        HartReply reply;
        reply.data = out && out->data ? out->data : data;
        int16_t tag;
        HART_ReceiveRequest(handle, static_cast<int32_t>(done->wParam), &reply, &tag);
        if (out) *out = reply;
        return done->lParam;
    }
    std::vector<int> notifications() {
        std::vector<int> out;
        for (const auto& p : client.peek(WM_HART_NOTIFY)) out.push_back(static_cast<int>(p.wParam));
        return out;
    }
    std::string log() {
        std::lock_guard lock(logMutex);
        std::string all;
        for (const auto& l : logLines) all += l + "\n";
        return all;
    }
};

struct HartIpPort : ::testing::TestWithParam<bool> {
    bool tcp() const { return GetParam(); }
};

TEST_P(HartIpPort, TheMeterAnswersAsOnALineAndTheMonitorSeesBothFrames) {
    testsupport::SimOnHartIp sim(tcp());
    Driver driver;
    ASSERT_TRUE(driver.open());
    EXPECT_GE(GetComPortHandle(driver.handle), 0);
    HartReply reply;
    const intptr_t status = driver.transact(0, &reply);
    EXPECT_EQ(status & 0xFFFF, 12);  // identity: 12 data bytes
    EXPECT_EQ(reply.response1, 0);
    EXPECT_EQ(sim.commandsSeen(), std::vector<int>{0});

    // The monitor shows the request as sent and the reply as a frame off the line.
    ASSERT_TRUE(driver.monitor.waitForCount(WM_HART_MONITOR, 2));
    const auto records = driver.monitor.peek(WM_HART_MONITOR);
    const MonitorRecord sent = ReadMonitorRecord(records[0].lParam);
    const MonitorRecord received = ReadMonitorRecord(records[1].lParam);
    EXPECT_EQ(records[0].wParam, OriginSent);
    EXPECT_EQ(records[1].wParam, OriginReceived);
    EXPECT_EQ(toHex(withoutPreambles({sent.bytes, sent.bytes + sent.count})), "02 80 00 00 82");
    EXPECT_EQ(received.error, 0);
    EXPECT_EQ(received.bytes[received.preambles], 0x06);  // an ACK with a short address

    // A secondary master opens a secondary session; its frames carry the bit.
    driver.setMasterType(0);
    EXPECT_EQ(driver.transact(1) & 0xFFFF, 5);
    EXPECT_EQ(sim.commandsSeen(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(driver.notifications().empty());

    // Unregistering closes the session.
    EXPECT_EQ(sim.network->sessionCount(), 1u);
    HART_UnRegisterDriver(driver.handle);
    driver.handle = -1;
    for (int i = 0; i < 100 && sim.network->sessionCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(sim.network->sessionCount(), 0u);
}

TEST_P(HartIpPort, LostRepliesBadChecksumsAndBusyRepliesAreRetriedAsOnALine) {
    corvane::sim::FaultOptions faults;
    faults.noAnswer = 1;
    {
        testsupport::SimOnHartIp sim(tcp(), faults);
        Driver driver;
        ASSERT_TRUE(driver.open(1, 300));
        EXPECT_EQ(driver.transact(0) & 0xFFFF, kNoDeviceResponse);
        EXPECT_EQ(sim.commandsSeen(), (std::vector<int>{0, 0, 0}));  // the request and two retries
    }
    faults = {};
    faults.badChecksum = 1;
    {
        testsupport::SimOnHartIp sim(tcp(), faults);
        Driver driver;
        ASSERT_TRUE(driver.open(1, 300));
        EXPECT_EQ(driver.transact(0) & 0xFFFF, kNoDeviceResponse);
        EXPECT_EQ(sim.commandsSeen().size(), 3u);
        // The damaged frames reach the monitor as damaged.
        ASSERT_TRUE(driver.monitor.waitForCount(WM_HART_MONITOR, 6));
        EXPECT_EQ(ReadMonitorRecord(driver.monitor.peek(WM_HART_MONITOR)[1].lParam).error,
                  static_cast<int>(FrameError::BadChecksum));
    }
    faults = {};
    faults.busy = 1;
    {
        testsupport::SimOnHartIp sim(tcp(), faults);
        Driver driver;
        ASSERT_TRUE(driver.open(1, 300));
        HartReply reply;
        EXPECT_EQ(driver.transact(0, &reply) & 0xFFFF, 0);
        EXPECT_EQ(reply.response1, 32);
        EXPECT_EQ(sim.commandsSeen().size(), 3u);  // heard three times, busy each time
        EXPECT_EQ(sim.faultCounts().busy, 3);
    }
}

// A server whose answers a test scripts.
struct ScriptedServer {
    std::unique_ptr<hartip::Server> server;
    std::function<void(hartip::Server&, const hartip::PassThroughRequest&)> onRequest;
    std::atomic<int> requests{0};

    ScriptedServer(bool tcp, const hartip::ServerOptions& options = {}, int port = 1) {
        hartip::Endpoint e;
        e.tcp = tcp;
        e.host = "127.0.0.1";
        std::string error;
        server = hartip::Server::start(
            e,
            [this](const hartip::PassThroughRequest& r) {
                ++requests;
                if (onRequest) onRequest(*server, r);
            },
            &error, options);
        EXPECT_TRUE(server) << error;
        SetTransportFactory(nullptr);
        SetPortPath(port, server->endpoint().url());
    }
    ~ScriptedServer() { SetPortPath(1, ""); }
};

// The meter's identity reply to a request frame, with a chosen device id byte.
std::vector<uint8_t> identityReply(const std::vector<uint8_t>& requestFrame, uint8_t lastIdByte) {
    std::vector<uint8_t> wire = {0xFF, 0xFF};
    wire.insert(wire.end(), requestFrame.begin(), requestFrame.end());
    std::optional<Frame> request;
    FrameParser parser([&](const ParsedFrame& p) { request = p.frame; });
    parser.feed(wire);
    EXPECT_TRUE(request);
    const Frame reply = makeReply(*request, 0, 0, {254, 0x26, 0x4E, 5, 5, 1, 1, 1, 0, 0x11, 0x22, lastIdByte});
    return withoutPreambles(encodeFrame(reply, 0));
}

TEST_P(HartIpPort, AnAnswerWithAnotherSequenceNumberIsDropped) {
    ScriptedServer s(tcp());
    s.onRequest = [](hartip::Server& server, const hartip::PassThroughRequest& r) {
        hartip::PassThroughRequest stale = r;
        stale.sequence = static_cast<uint16_t>(r.sequence - 1);  // the answer to an earlier request
        server.respond(stale, identityReply(r.frame, 0xEE));
        server.respond(r, identityReply(r.frame, 0x33), 50);
    };
    Driver driver;
    ASSERT_TRUE(driver.open());
    uint8_t data[300] = {};
    HartReply reply;
    reply.data = data;
    EXPECT_EQ(driver.transact(0, &reply) & 0xFFFF, 12);
    EXPECT_EQ(data[11], 0x33);
    EXPECT_EQ(s.requests, 1);
}

TEST_P(HartIpPort, ANakEndsTheRequestAtOnceAndSaysSo) {
    ScriptedServer s(tcp());
    s.onRequest = [](hartip::Server& server, const hartip::PassThroughRequest& r) {
        server.reject(r, hartip::status::kNotImplemented);
    };
    Driver driver;
    ASSERT_TRUE(driver.open());
    const auto start = Clock::now();
    EXPECT_EQ(driver.transact(0) & 0xFFFF, kNoDeviceResponse);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));  // no reply wait, no retries
    EXPECT_EQ(s.requests, 1);
    EXPECT_EQ(driver.notifications(), std::vector<int>{NotifyRequestRefused});
    EXPECT_NE(driver.log().find("NAK"), std::string::npos) << driver.log();
    // The session stays: the next request is carried.
    s.onRequest = [](hartip::Server& server, const hartip::PassThroughRequest& r) {
        server.respond(r, identityReply(r.frame, 1));
    };
    EXPECT_EQ(driver.transact(0) & 0xFFFF, 12);
}

TEST_P(HartIpPort, ASessionTheServerRefusesFailsTheOpeningWithTheReason) {
    hartip::ServerOptions full;
    full.maxSessions = 0;
    ScriptedServer s(tcp(), full);
    Driver driver;
    EXPECT_FALSE(driver.open());
    EXPECT_NE(driver.log().find("no session: service unavailable"), std::string::npos) << driver.log();
    EXPECT_EQ(s.requests, 0);
}

TEST_P(HartIpPort, AServerThatGoesAwayIsALostPortReportedOnce) {
    auto sim = std::make_unique<testsupport::SimOnHartIp>(tcp());
    Driver driver;
    ASSERT_TRUE(driver.open());
    EXPECT_EQ(driver.transact(0) & 0xFFFF, 12);
    sim->stop();
    ASSERT_TRUE(driver.client.take(WM_HART_NOTIFY, 5000));
    EXPECT_EQ(driver.notifications(), std::vector<int>{});  // taken: it was the only one
    EXPECT_EQ(GetComPortHandle(driver.handle), -1);
    // Later requests end at once, without another notice.
    const auto start = Clock::now();
    EXPECT_EQ(driver.transact(0) & 0xFFFF, kNoDeviceResponse);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(driver.notifications().empty());
}

TEST_P(HartIpPort, PublishedBurstFramesReachTheMonitorAndTheBurstNotice) {
    ScriptedServer s(tcp());
    Driver driver;
    ASSERT_TRUE(driver.open());
    // A request first, so the session is surely up before the publish.
    s.onRequest = [](hartip::Server& server, const hartip::PassThroughRequest& r) {
        server.respond(r, identityReply(r.frame, 1));
    };
    ASSERT_EQ(driver.transact(0) & 0xFFFF, 12);
    Frame burst = makeReply(makeRequestShort(0, 1, {}), 0, 0, {0x20, 0x41, 0x20, 0x00, 0x00});
    burst.type = FrameType::Back;
    burst.address[0] |= kBurstBit;
    s.server->publish(withoutPreambles(encodeFrame(burst, 0)));
    auto note = driver.client.take(WM_HART_NOTIFY, 3000);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->wParam, NotifyBurstDevice);
    ASSERT_TRUE(driver.monitor.waitForCount(WM_HART_MONITOR, 3));
    const MonitorRecord r = ReadMonitorRecord(driver.monitor.peek(WM_HART_MONITOR)[2].lParam);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(toHex(withoutPreambles({r.bytes, r.bytes + r.count})), toHex(encodeFrame(burst, 0)));
    // Requests still go out while the device bursts: a network has no link grant.
    EXPECT_EQ(driver.transact(0) & 0xFFFF, 12);
}

TEST_P(HartIpPort, KeepAlivesHoldTheSessionInsideTheTimeOutTheServerGranted) {
    hartip::ServerOptions shortLived;
    shortLived.shortestInactivityMs = 100;
    shortLived.longestInactivityMs = 600;  // the client asks for more and is told so
    testsupport::SimOnHartIp sim(tcp(), {}, 1, shortLived);
    Driver driver;
    ASSERT_TRUE(driver.open());
    EXPECT_EQ(driver.transact(0) & 0xFFFF, 12);
    std::this_thread::sleep_for(std::chrono::milliseconds(1800));  // three time-outs of silence
    EXPECT_EQ(sim.network->sessionCount(), 1u);
    EXPECT_EQ(driver.transact(0) & 0xFFFF, 12);
    EXPECT_TRUE(driver.notifications().empty());
}

TEST_P(HartIpPort, AnAddressWhereNothingAnswersEndsTheRequestWithinTenSeconds) {
    if (tcp()) {
        // A refused TCP connection fails the opening, with the reason.
        SetTransportFactory(nullptr);
        SetPortPath(1, "hartip+tcp://127.0.0.1:" + std::to_string(freePort(true)));
        Driver driver;
        EXPECT_FALSE(driver.open());
        EXPECT_NE(driver.log().find("connection refused"), std::string::npos) << driver.log();
        SetPortPath(1, "");
        return;
    }
    SetTransportFactory(nullptr);
    SetPortPath(1, "hartip://127.0.0.1:" + std::to_string(freePort(false)));
    Driver driver;
    ASSERT_TRUE(driver.open());  // a datagram socket cannot know
    const auto start = Clock::now();
    EXPECT_EQ(driver.transact(0, nullptr, 15000) & 0xFFFF, kNoDeviceResponse);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(driver.notifications().empty());
    SetPortPath(1, "");
}

INSTANTIATE_TEST_SUITE_P(Transports, HartIpPort, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Udp"; });

TEST(HartIpPortMap, AMalformedAddressFailsTheOpeningWithTheReason) {
    SetTransportFactory(nullptr);
    SetPortPath(1, "hartip://[::1");
    Driver driver;
    EXPECT_FALSE(driver.open());
    EXPECT_NE(driver.log().find("closing bracket"), std::string::npos) << driver.log();
    SetPortPath(1, "");
}

}  // namespace
