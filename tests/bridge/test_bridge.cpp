// The bridge in-process between HART-IP clients on loopback and the simulated
// meter on a pty: routing of replies to the session and sequence that asked,
// burst frames to every session, requests the loop does not answer, the line lost and back, bad frames and
// messages, the session limit. What reached the loop is read from the meter's
// own request log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "bridge/bridge.h"
#include "link/driver/portmap.h"
#include "tests/link/hartip/hartip_client.h"
#include "tools/sim_process.h"

namespace bridge {
namespace {

using namespace std::chrono_literals;
using hartip::ErrorCode;
using hartip::MessageId;
using hartip::MessageType;
using testsupport::Bytes;
using testsupport::RawHartIpClient;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t countLines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// A request frame for the meter at polling address 0 (short) or by its unique id (long).
std::vector<uint8_t> shortRequest(uint8_t command, std::vector<uint8_t> data = {}, uint8_t polling = 0) {
    return wendrel::encodeFrame(wendrel::makeRequestShort(polling, command, std::move(data)), 0);
}

struct BridgeTest : ::testing::Test {
    std::filesystem::path dir;
    std::string linePath;  // our own link to the meter's pty, so a new meter can take the old one's place
    std::string simLog;
    std::string bridgeLog;
    tools::SimProcess sim;
    std::unique_ptr<Bridge> bridge;
    std::mutex logMutex;
    std::vector<std::string> stderrLines;
    std::array<uint8_t, 5> uniqueId{};

    void SetUp() override {
        dir = std::filesystem::path(testing::TempDir()) /
              ("bridge-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        linePath = (dir / "line").string();
        simLog = (dir / "meter.log").string();
        bridgeLog = (dir / "bridge.log").string();
    }
    void TearDown() override {
        bridge.reset();
        sim.stop();
        wendrel::SetPortPath(1, "");
        std::filesystem::remove_all(dir);
    }

    void startMeter(std::vector<std::string> args = {}) {
        // 1200 bit/s: the driver waits 300 ms for a reply, which the meter
        // (not paced) meets even on a loaded machine, so no request is repeated.
        args.insert(args.end(), {"--mode", "0", "--log", simLog});
        std::string error;
        ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, args, &error)) << error;
        const auto next = dir / "line.next";
        std::filesystem::remove(next);
        std::filesystem::create_symlink(sim.linkPath(), next);
        std::filesystem::rename(next, linePath);  // atomic: the bridge sees the old meter or the new one
    }
    void startBridge(BridgeOptions o = {}) {
        o.portPath = linePath;
        o.mode = 0;
        hartip::Endpoint udp{false, "127.0.0.1", 0}, tcp{true, "127.0.0.1", 0};
        if (o.listen.empty()) o.listen = {udp, tcp};
        o.requestLogPath = bridgeLog;
        o.reopenIntervalMs = 100;
        o.log = [this](const std::string& line) {
            std::lock_guard lock(logMutex);
            stderrLines.push_back(line);
        };
        std::string error;
        bridge = Bridge::start(o, &error);
        ASSERT_TRUE(bridge) << error;
    }
    bool logged(const std::string& part) {
        std::lock_guard lock(logMutex);
        return std::any_of(stderrLines.begin(), stderrLines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    std::unique_ptr<RawHartIpClient> session(size_t listener, uint16_t sequence = 1) {
        auto c = std::make_unique<RawHartIpClient>(bridge->endpoints().at(listener));
        EXPECT_TRUE(c->connected());
        c->send(hartip::sessionInitiateRequest(sequence, hartip::kPrimaryMaster, 30000));
        const auto m = c->receive();
        EXPECT_TRUE(m && m->is(MessageType::Response, MessageId::SessionInitiate) && m->header.status == 0);
        return c;
    }
    // A pass-through and its answer (the next message from the bridge).
    std::optional<hartip::Message> ask(RawHartIpClient& c, uint16_t sequence, const std::vector<uint8_t>& frame,
                                       int timeoutMs = 5000) {
        c.send(hartip::passThroughRequest(sequence, frame));
        return c.receive(timeoutMs);
    }
    // Reads the meter's identity over the bridge for long-address requests.
    void identify(RawHartIpClient& c) {
        const auto m = ask(c, 100, shortRequest(0));
        ASSERT_TRUE(m && m->is(MessageType::Response, MessageId::PassThrough));
        const auto reply = Bytes(wendrel::toHex(m->body));
        ASSERT_GE(reply.size(), 6u + 12u);
        const uint8_t* data = reply.data() + 6;  // delimiter, address, command, count, two status bytes
        uniqueId = {static_cast<uint8_t>(data[1] & 0x3F), data[2], data[9], data[10], data[11]};
    }
    std::vector<uint8_t> longRequest(uint8_t command, std::vector<uint8_t> data = {}) {
        return wendrel::encodeFrame(wendrel::makeRequestLong(uniqueId, command, std::move(data)), 0);
    }
};

// The answer to a request the loop did not answer: a pass-through response
// without frame whose status says so.
::testing::AssertionResult saysNoDeviceResponse(const std::optional<hartip::Message>& m) {
    if (!m) return ::testing::AssertionFailure() << "no answer";
    if (m->is(MessageType::Response, MessageId::PassThrough) && m->header.status == hartip::status::kNoDeviceResponse &&
        m->body.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wendrel::toHex(hartip::encode(*m));
}

// The reply frame in a pass-through response, parsed; fails the test when it is none.
wendrel::Frame replyIn(const hartip::Message& m) {
    wendrel::Frame found;
    int frames = 0;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) {
        EXPECT_EQ(f.error, wendrel::FrameError::None);
        found = f.frame;
        ++frames;
    });
    parser.feed(Bytes("FF FF"));
    parser.feed(m.body);
    parser.gapTimeout();
    EXPECT_EQ(frames, 1) << wendrel::toHex(m.body);
    EXPECT_EQ(found.type, wendrel::FrameType::Ack);
    return found;
}

TEST_F(BridgeTest, AUdpAndATcpClientAtOnceEachGetExactlyTheirOwnReplies) {
    startMeter();
    startBridge();
    auto udp = session(0);
    auto tcp = session(1);
    identify(*udp);
    EXPECT_EQ(bridge->sessionCount(), 2u);

    // Each client sends its mix back to back, both at once; the same sequence
    // numbers carry other commands in the other session, so a reply routed to
    // the wrong session or sequence shows as the wrong command.
    struct Sent { uint8_t command; bool longAddress; };
    const std::vector<Sent> mix = {{0, false}, {3, true}, {13, true}, {1, true}, {12, true}, {48, true}, {2, false}};
    constexpr int kEach = 14;
    auto run = [&](RawHartIpClient& c, size_t shift, std::map<uint16_t, uint8_t>& asked,
                   std::vector<hartip::Message>& got) {
        for (int i = 0; i < kEach; ++i) {
            const Sent& s = mix[(static_cast<size_t>(i) + shift) % mix.size()];
            const auto frame = s.longAddress ? longRequest(s.command) : shortRequest(s.command);
            asked[static_cast<uint16_t>(i)] = s.command;
            c.send(hartip::passThroughRequest(static_cast<uint16_t>(i), frame));
        }
        for (int i = 0; i < kEach; ++i) {
            auto m = c.receive(10000);
            if (!m) return;
            got.push_back(std::move(*m));
        }
    };
    std::map<uint16_t, uint8_t> askedUdp, askedTcp;
    std::vector<hartip::Message> gotUdp, gotTcp;
    std::thread other([&] { run(*tcp, 3, askedTcp, gotTcp); });
    run(*udp, 0, askedUdp, gotUdp);
    other.join();

    for (auto [asked, got] : {std::pair{&askedUdp, &gotUdp}, std::pair{&askedTcp, &gotTcp}}) {
        ASSERT_EQ(got->size(), static_cast<size_t>(kEach));
        std::set<uint16_t> sequences;
        for (const auto& m : *got) {
            ASSERT_TRUE(m.is(MessageType::Response, MessageId::PassThrough)) << wendrel::toHex(hartip::encode(m));
            EXPECT_EQ(m.header.status, hartip::status::kSuccess);
            sequences.insert(m.header.sequence);
            const auto f = replyIn(m);
            EXPECT_EQ(f.command, asked->at(m.header.sequence)) << "sequence " << m.header.sequence;
            EXPECT_EQ(f.responseCode(), 0);
            EXPECT_TRUE(f.fromPrimaryMaster());
        }
        EXPECT_EQ(sequences.size(), static_cast<size_t>(kEach));  // each its own, none twice
        // Replies come in the order the requests went onto the one line.
        for (size_t i = 1; i < got->size(); ++i) EXPECT_LT((*got)[i - 1].header.sequence, (*got)[i].header.sequence);
    }
    EXPECT_FALSE(udp->receive(200));
    EXPECT_FALSE(tcp->receive(0));

    // The loop saw each request once: the identification and the two mixes.
    EXPECT_EQ(countLines(readFile(simLog)), 1u + 2 * kEach) << readFile(simLog) << readFile(bridgeLog);
    const std::string requests = readFile(bridgeLog);
    EXPECT_EQ(countLines(requests), 1u + 2 * kEach);
    EXPECT_EQ(requests.find("no device response"), std::string::npos) << requests;
}

TEST_F(BridgeTest, RepliesAreTheDevicesOwnFrameWithTheClientsMasterBit) {
    startMeter();
    startBridge();
    auto c = session(0);
    identify(*c);
    // A secondary master's request: the loop hears the bridge (primary), the
    // client gets the reply addressed to the master it is.
    auto m = ask(*c, 7, wendrel::encodeFrame(wendrel::makeRequestLong(uniqueId, 1, {}, false), 0));
    ASSERT_TRUE(m);
    auto f = replyIn(*m);
    EXPECT_FALSE(f.fromPrimaryMaster());
    EXPECT_EQ(f.command, 1);
    // Command 11 goes to the broadcast address; the meter answers with its own
    // long address, which the client gets unchanged.
    m = ask(*c, 8, longRequest(13));
    ASSERT_TRUE(m);
    const auto reply13 = replyIn(*m).payload();
    ASSERT_GE(reply13.size(), 6u);
    const std::vector<uint8_t> packedTag(reply13.begin(), reply13.begin() + 6);
    m = ask(*c, 9, wendrel::encodeFrame(wendrel::makeRequestLong({0, 0, 0, 0, 0}, 11, packedTag), 0));
    ASSERT_TRUE(m);
    f = replyIn(*m);
    EXPECT_EQ(f.command, 11);
    EXPECT_EQ(f.address[1], uniqueId[1]);
    EXPECT_EQ(f.address[4], uniqueId[4]);
}

TEST_F(BridgeTest, ASilentDeviceIsAnsweredAtOnceAndTheSessionStays) {
    startMeter();
    BridgeOptions o;
    o.retries = 1;
    startBridge(o);
    auto c = session(0);
    // Nobody at polling address 5.
    const auto m = ask(*c, 3, shortRequest(0, {}, 5));
    EXPECT_TRUE(saysNoDeviceResponse(m));
    EXPECT_EQ(m->header.sequence, 3);
    const auto next = ask(*c, 4, shortRequest(0));
    ASSERT_TRUE(next);
    EXPECT_EQ(replyIn(*next).command, 0);
    EXPECT_NE(readFile(bridgeLog).find("no device response"), std::string::npos);
}

TEST_F(BridgeTest, BurstFramesReachEverySessionAndRequestsStillGetTheirTurn) {
    startMeter({"--burst"});
    startBridge();
    auto udp = session(0);
    auto tcp = session(1);
    for (auto* c : {udp.get(), tcp.get()}) {
        const auto m = c->receive(3000);
        ASSERT_TRUE(m);
        EXPECT_TRUE(m->is(MessageType::Publish, MessageId::PassThrough));
        ASSERT_FALSE(m->body.empty());
        EXPECT_EQ(m->body[0] & 0x07, 1) << wendrel::toHex(m->body);  // a BACK frame
    }
    // A request between the bursts: its answer among the publish messages.
    udp->send(hartip::passThroughRequest(42, shortRequest(0)));
    std::optional<hartip::Message> answer;
    for (int i = 0; i < 50 && !answer; ++i) {
        auto m = udp->receive(3000);
        ASSERT_TRUE(m);
        if (m->header.type == MessageType::Response) answer = m;
    }
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->header.sequence, 42);
    EXPECT_TRUE(replyIn(*answer).burstBit());
}

TEST_F(BridgeTest, TheLineLostAnswersEveryWaitingRequestAtOnceAndServesAgainWhenBack) {
    // A meter that never answers keeps the first request on the line through
    // its retries while the others wait.
    startMeter({"--no-answer", "1"});
    BridgeOptions o;
    o.retries = 10;
    startBridge(o);
    ASSERT_TRUE(bridge->lineOpen());
    auto udp = session(0);
    auto tcp = session(1);
    udp->send(hartip::passThroughRequest(1, shortRequest(0)));
    udp->send(hartip::passThroughRequest(2, shortRequest(1)));
    tcp->send(hartip::passThroughRequest(1, shortRequest(2)));
    std::this_thread::sleep_for(100ms);
    const auto pulled = std::chrono::steady_clock::now();
    sim.kill();
    for (auto [c, count] : {std::pair{udp.get(), 2}, std::pair{tcp.get(), 1}}) {
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(saysNoDeviceResponse(c->receive(5000)));
        }
    }
    // Far sooner than the 11 tries of the first request would have taken.
    EXPECT_LT(std::chrono::steady_clock::now() - pulled, 3s);
    for (int i = 0; i < 100 && bridge->lineOpen(); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(bridge->lineOpen());
    EXPECT_TRUE(logged("line lost"));

    // While it is down: an answer at once, and the sessions hold (keep-alives answered).
    auto m = ask(*udp, 3, shortRequest(0));
    EXPECT_TRUE(saysNoDeviceResponse(m));
    tcp->send(hartip::keepAliveRequest(2));
    m = tcp->receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->is(MessageType::Response, MessageId::KeepAlive));

    // A meter comes back on the same line.
    sim.stop();
    std::filesystem::remove(simLog);
    startMeter();
    for (int i = 0; i < 250 && !bridge->lineOpen(); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(bridge->lineOpen());
    EXPECT_TRUE(logged("line back"));
    for (auto* c : {udp.get(), tcp.get()}) {
        m = ask(*c, 10, shortRequest(0));
        ASSERT_TRUE(m);
        ASSERT_EQ(m->header.type, MessageType::Response) << wendrel::toHex(hartip::encode(*m));
        EXPECT_EQ(replyIn(*m).command, 0);
    }
    EXPECT_EQ(countLines(readFile(simLog)), 2u);
    EXPECT_EQ(bridge->sessionCount(), 2u);
}

TEST_F(BridgeTest, BadFramesAndMessagesAreRefusedAndChangeNothingForOtherSessions) {
    startMeter();
    startBridge();
    auto good = session(0);
    auto bad = session(1);
    // The good session's requests are on their way while the bad one sends rubbish.
    for (uint16_t s = 0; s < 5; ++s) good->send(hartip::passThroughRequest(s, shortRequest(0)));
    struct Case { const char* frame; uint8_t status; };
    for (const Case& k : {
             Case{"02 80 00 00 83", hartip::status::kInvalidSelection},        // bad checksum
             Case{"02 80 00 05 01", hartip::status::kTooFewDataBytes},         // shorter than its byte count
             Case{"06 80 00 02 00 00 84", hartip::status::kInvalidSelection},  // a reply, not a request
             Case{"02 80 00 00 82 00", hartip::status::kInvalidSelection},     // a byte after the frame
             Case{"02 94 00 00 96", hartip::status::kInvalidSelection},        // polling address 20
             Case{"22 80 00 00 00 A2", hartip::status::kInvalidSelection},     // an expansion byte
             Case{"00 11 22", hartip::status::kInvalidSelection},              // no frame at all
         }) {
        const auto m = ask(*bad, 9, Bytes(k.frame));
        ASSERT_TRUE(m) << k.frame;
        EXPECT_EQ(m->header.type, MessageType::Nak) << k.frame;
        EXPECT_EQ(m->header.sequence, 9);
        EXPECT_EQ(m->header.status, k.status) << k.frame;
    }
    // Broken HART-IP headers on the same connection.
    bad->send(Bytes("01 00 03 00 00 0A FF FF"));  // a byte count beyond any message
    auto m = bad->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.status, hartip::status::kTooLarge);
    bad->send(Bytes("01 00 09 00 00 0B 00 08"));  // an unknown message id
    m = bad->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.status, hartip::status::kNotImplemented);

    for (uint16_t s = 0; s < 5; ++s) {
        m = good->receive(5000);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->header.sequence, s);
        EXPECT_EQ(replyIn(*m).command, 0);
    }
    // The bad session is still served, and none of the rubbish reached the loop.
    m = ask(*bad, 12, shortRequest(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Response);
    EXPECT_EQ(countLines(readFile(simLog)), 6u);
    EXPECT_EQ(bridge->sessionCount(), 2u);
}

TEST_F(BridgeTest, OneSessionCannotFillTheLinesQueue) {
    startMeter();
    BridgeOptions o;
    o.maxWaitingPerSession = 3;
    startBridge(o);
    auto greedy = session(1);
    auto other = session(0);
    for (uint16_t s = 0; s < 8; ++s) greedy->send(hartip::passThroughRequest(s, shortRequest(0)));
    std::this_thread::sleep_for(50ms);
    const auto m = ask(*other, 1, shortRequest(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Response);
    int answered = 0, busy = 0;
    for (int i = 0; i < 8; ++i) {
        const auto g = greedy->receive(5000);
        ASSERT_TRUE(g);
        if (g->header.type == MessageType::Response) ++answered;
        if (g->header.type == MessageType::Nak && g->header.status == 32) ++busy;
    }
    EXPECT_EQ(answered + busy, 8);
    EXPECT_GE(busy, 1);
    EXPECT_GE(answered, 3);
}

TEST_F(BridgeTest, TheSessionLimitRefusesMoreClientsWithServiceUnavailable) {
    startMeter();
    BridgeOptions o;
    o.maxSessions = 2;
    startBridge(o);
    auto a = session(0);
    auto b = session(0);
    RawHartIpClient third(bridge->endpoints()[0]);
    third.send(hartip::sessionInitiateRequest(1, hartip::kPrimaryMaster, 30000));
    auto m = third.receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Error);
    EXPECT_EQ(hartip::errorCodeOf(*m), ErrorCode::ServiceUnavailable);
    // The limit is each address's: the TCP listener still takes two.
    auto c = session(1);
    EXPECT_EQ(bridge->sessionCount(), 3u);
    // A closed session frees its place.
    a->send(hartip::sessionCloseRequest(2));
    ASSERT_TRUE(a->receive());
    third.send(hartip::sessionInitiateRequest(2, hartip::kPrimaryMaster, 30000));
    m = third.receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->is(MessageType::Response, MessageId::SessionInitiate));
    m = ask(third, 3, shortRequest(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Response);
    EXPECT_TRUE(logged("session refused"));
    EXPECT_TRUE(logged("opened by"));
    EXPECT_TRUE(logged("ended: closed by the client"));
}

TEST_F(BridgeTest, ALineThatIsNotThereYetIsOpenedWhenItAppears) {
    startBridge();
    EXPECT_FALSE(bridge->lineOpen());
    auto c = session(0);
    auto m = ask(*c, 1, shortRequest(0));
    EXPECT_TRUE(saysNoDeviceResponse(m));
    EXPECT_TRUE(logged("cannot be opened"));
    startMeter();
    for (int i = 0; i < 250 && !bridge->lineOpen(); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(bridge->lineOpen());
    m = ask(*c, 2, shortRequest(0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Response);
}

}  // namespace
}  // namespace bridge
