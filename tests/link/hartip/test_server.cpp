// The HART-IP server on loopback, over UDP and over TCP, with a bare client
// that sends exact bytes: sessions, keep-alive, pass-through to the frame
// handler, publish, malformed messages, inactivity and the server's end.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "link/driver/frame.h"
#include "link/hartip/server.h"
#include "tests/link/hartip/hartip_client.h"

namespace hartip {
namespace {

using testsupport::Bytes;
using testsupport::RawHartIpClient;

const std::vector<uint8_t> kRequest = Bytes("02 80 00 00 82");                  // command 0, address 0
const std::vector<uint8_t> kReply = Bytes("06 80 00 02 00 00 84");              // its (short) answer

struct HartIpServer : ::testing::TestWithParam<bool> {
    std::mutex mutex;
    std::vector<PassThroughRequest> handled;
    std::atomic<bool> answer{true};
    int delayMs = 0;
    std::unique_ptr<Server> server;

    void start(ServerOptions options = {}) {
        Endpoint e;
        e.tcp = GetParam();
        e.host = "127.0.0.1";
        std::string error;
        server = Server::start(
            e,
            [this](const PassThroughRequest& r) {
                {
                    std::lock_guard lock(mutex);
                    handled.push_back(r);
                }
                if (answer) server->respond(r, kReply, delayMs);
            },
            &error, options);
        ASSERT_TRUE(server) << error;
        ASSERT_NE(server->endpoint().port, 0);
    }
    std::unique_ptr<RawHartIpClient> client() {
        auto c = std::make_unique<RawHartIpClient>(server->endpoint());
        EXPECT_TRUE(c->connected());
        return c;
    }
    // Initiates a session and checks the answer.
    void initiate(RawHartIpClient& c, uint16_t sequence = 1, uint8_t master = kPrimaryMaster) {
        c.send(sessionInitiateRequest(sequence, master, 30000));
        const auto m = c.receive();
        ASSERT_TRUE(m);
        ASSERT_TRUE(m->is(MessageType::Response, MessageId::SessionInitiate));
        EXPECT_EQ(m->header.status, status::kSuccess);
        EXPECT_EQ(m->header.sequence, sequence);
    }
    size_t handledCount() {
        std::lock_guard lock(mutex);
        return handled.size();
    }
};

TEST_P(HartIpServer, ASessionCarriesKeepAlivesAndPassThroughsUntilClosed) {
    start();
    auto c = client();
    initiate(*c, 1, kSecondaryMaster);
    EXPECT_EQ(server->sessionCount(), 1u);

    c->send(keepAliveRequest(2));
    auto m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(wendrel::toHex(encode(*m)), "01 01 02 00 00 02 00 08");

    c->send(passThroughRequest(0xBEEF, kRequest));
    m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->is(MessageType::Response, MessageId::PassThrough));
    EXPECT_EQ(m->header.sequence, 0xBEEF);
    EXPECT_EQ(m->body, kReply);
    ASSERT_EQ(handledCount(), 1u);
    EXPECT_EQ(handled[0].frame, kRequest);
    EXPECT_EQ(handled[0].masterType, kSecondaryMaster);

    c->send(sessionCloseRequest(4));
    m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->is(MessageType::Response, MessageId::SessionClose));
    EXPECT_EQ(server->sessionCount(), 0u);
    // Without a session nothing passes: the client is told to initiate again.
    c->send(passThroughRequest(5, kRequest));
    m = c->receive(500);
    if (GetParam()) {
        EXPECT_FALSE(m);  // TCP: the connection went with the session
    } else {
        ASSERT_TRUE(m);
        EXPECT_EQ(m->header.type, MessageType::Error);
        EXPECT_EQ(errorCodeOf(*m), ErrorCode::SessionClosed);
    }
    EXPECT_EQ(handledCount(), 1u);
}

TEST_P(HartIpServer, AnInactivityTimeOutOutsideTheLimitsIsSetToTheNearestAndAnnounced) {
    ServerOptions options;
    options.shortestInactivityMs = 5000;
    options.longestInactivityMs = 20000;
    start(options);
    auto c = client();
    c->send(sessionInitiateRequest(1, kPrimaryMaster, 0));
    auto m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.status, status::kSetToNearest);
    EXPECT_EQ(decodeSessionInitiate(m->body)->inactivityMs, 5000u);
    // Initiating again in the same session changes it.
    c->send(sessionInitiateRequest(2, kPrimaryMaster, 90000));
    m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(decodeSessionInitiate(m->body)->inactivityMs, 20000u);
    EXPECT_EQ(server->sessionCount(), 1u);
}

TEST_P(HartIpServer, MalformedMessagesGetANakWithTheReasonAndTheSessionStays) {
    start();
    auto c = client();
    initiate(*c);
    struct Case { const char* sent; const char* nak; };
    for (const Case& k : {
             Case{"02 00 02 00 00 11 00 08", "01 0F 02 02 00 11 00 08"},          // another version
             Case{"01 00 07 00 00 12 00 08", "01 0F 07 40 00 12 00 08"},          // unknown message id
             Case{"01 01 02 00 00 13 00 08", "01 0F 02 02 00 13 00 08"},          // a response sent to the server
             Case{"01 00 00 00 00 14 00 0A 01 00", "01 0F 00 05 00 14 00 08"},    // initiate body too short
             Case{"01 00 00 00 00 15 00 0D 07 00 00 75 30", "01 0F 00 02 00 15 00 08"},  // no such master type
             Case{"01 00 03 00 00 16 00 08", "01 0F 03 05 00 16 00 08"},          // pass-through without frame
             Case{"01 00 02 00 00 17 00 03", "01 0F 02 05 00 17 00 08"},          // byte count below the header
             Case{"01 00 03 00 00 18 FF FF", "01 0F 03 03 00 18 00 08"},          // byte count beyond any message
         }) {
        c->send(Bytes(k.sent));
        const auto m = c->receive();
        ASSERT_TRUE(m) << k.sent;
        EXPECT_EQ(wendrel::toHex(encode(*m)), k.nak) << k.sent;
    }
    if (!GetParam()) {
        // A datagram shorter than a header, or cut short against its byte count.
        c->send(Bytes("01 00 02"));
        auto m = c->receive();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->header.type, MessageType::Nak);
        EXPECT_EQ(m->header.status, status::kTooFewDataBytes);
        c->send(Bytes("01 00 03 00 00 19 00 0D 02 80"));
        m = c->receive();
        ASSERT_TRUE(m);
        EXPECT_EQ(wendrel::toHex(encode(*m)), "01 0F 03 05 00 19 00 08");
    }
    EXPECT_EQ(server->sessionCount(), 1u);
    EXPECT_EQ(handledCount(), 0u);
    c->send(passThroughRequest(0x20, kRequest));
    const auto m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.sequence, 0x20);
    EXPECT_EQ(m->body, kReply);
}

TEST_P(HartIpServer, SeveralSessionsEachGetTheirOwnAnswersAndEveryPublish) {
    ServerOptions options;
    options.maxSessions = 2;
    start(options);
    auto a = client();
    auto b = client();
    initiate(*a);
    initiate(*b, 1, kSecondaryMaster);
    EXPECT_EQ(server->sessionCount(), 2u);
    auto refused = client();
    refused->send(sessionInitiateRequest(1, kPrimaryMaster, 30000));
    auto m = refused->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Error);
    EXPECT_EQ(errorCodeOf(*m), ErrorCode::ServiceUnavailable);
    EXPECT_EQ(server->sessionCount(), 2u);

    b->send(passThroughRequest(77, kRequest));
    m = b->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.sequence, 77);
    EXPECT_FALSE(a->receive(200));  // the answer went to b only

    const auto burst = Bytes("81 A6 4E 00 00 01 01 07 00 00 20 41 20 00 00 49");
    server->publish(burst);
    server->publish(burst);
    for (auto* c : {a.get(), b.get()}) {
        for (uint16_t sequence : {0, 1}) {
            m = c->receive();
            ASSERT_TRUE(m);
            EXPECT_TRUE(m->is(MessageType::Publish, MessageId::PassThrough));
            EXPECT_EQ(m->header.sequence, sequence);
            EXPECT_EQ(m->body, burst);
        }
    }
    EXPECT_FALSE(refused->receive(200));  // no session, no publish
}

TEST_P(HartIpServer, UnansweredAndDelayedRequests) {
    start();
    auto c = client();
    initiate(*c);
    answer = false;
    c->send(passThroughRequest(1, kRequest));
    EXPECT_FALSE(c->receive(300));  // a silent device: nothing comes back
    answer = true;
    delayMs = 300;
    const auto sent = std::chrono::steady_clock::now();
    c->send(passThroughRequest(2, kRequest));
    const auto m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.sequence, 2);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(250));
    // A keep-alive is answered at once while a pass-through waits.
    c->send(passThroughRequest(3, kRequest));
    c->send(keepAliveRequest(4));
    auto first = c->receive();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->header.id, MessageId::KeepAlive);
    c->send(sessionCloseRequest(5));  // the late answer is not sent into an ended session
    auto closeAnswer = c->receive();
    ASSERT_TRUE(closeAnswer);
    EXPECT_EQ(closeAnswer->header.id, MessageId::SessionClose);
    EXPECT_FALSE(c->receive(500));
}

TEST_P(HartIpServer, ASilentClientLosesItsSessionAndIsTold) {
    ServerOptions options;
    options.shortestInactivityMs = 300;
    start(options);
    auto c = client();
    c->send(sessionInitiateRequest(1, kPrimaryMaster, 300));
    ASSERT_TRUE(c->receive());
    // Keep-alives inside the time-out hold the session.
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        c->send(keepAliveRequest(static_cast<uint16_t>(2 + i)));
        ASSERT_TRUE(c->receive());
    }
    EXPECT_EQ(server->sessionCount(), 1u);
    const auto m = c->receive(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->header.type, MessageType::Error);
    EXPECT_EQ(errorCodeOf(*m), ErrorCode::SessionClosed);
    EXPECT_EQ(server->sessionCount(), 0u);
    if (GetParam()) {
        EXPECT_FALSE(c->receive(1000));
        EXPECT_TRUE(c->closed());
    }
}

TEST_P(HartIpServer, StoppingTellsEveryClient) {
    start();
    auto c = client();
    initiate(*c);
    server.reset();
    const auto m = c->receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(errorCodeOf(*m), ErrorCode::SessionClosed);
}

INSTANTIATE_TEST_SUITE_P(Transports, HartIpServer, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Udp"; });

TEST(HartIpServerFlood, ConnectionsThatNeverInitiateCannotCrowdOutASession) {
    ServerOptions options;
    options.maxSessions = 1;
    Endpoint e{true, "127.0.0.1", 0};
    std::string error;
    auto server = Server::start(e, {}, &error, options);
    ASSERT_TRUE(server) << error;
    RawHartIpClient session(server->endpoint());
    session.send(sessionInitiateRequest(1, kPrimaryMaster, 30000));
    ASSERT_TRUE(session.receive());
    // Far more idle connections than the server keeps: the surplus is closed at once.
    std::vector<std::unique_ptr<RawHartIpClient>> flood;
    for (int i = 0; i < 24; ++i) flood.push_back(std::make_unique<RawHartIpClient>(server->endpoint()));
    int closed = 0;
    for (auto& c : flood) {
        c->receive(50);
        closed += c->closed() ? 1 : 0;
    }
    EXPECT_EQ(closed, 24 - 8);  // eight spare connections beside the session
    session.send(keepAliveRequest(2));
    const auto m = session.receive();
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->is(MessageType::Response, MessageId::KeepAlive));
}

TEST(HartIpServerWithoutSockets, EachDatagramIsAnsweredToItsSenderOrHandedOn) {
    std::vector<PassThroughRequest> handled;
    ServerOptions options;
    options.maxSessions = 1;
    const auto answers = answerDatagrams(
        {
            {0, sessionInitiateRequest(1, kPrimaryMaster, 30000)},
            {1, sessionInitiateRequest(1, kPrimaryMaster, 30000)},  // beyond the limit
            {0, passThroughRequest(2, kRequest)},                    // handed on
            {1, passThroughRequest(2, kRequest)},                    // no session
            {0, Bytes("01 00 03 00 00 03 00 09")},                   // cut short
            {0, sessionCloseRequest(4)},
        },
        options, [&](const PassThroughRequest& r) { handled.push_back(r); });
    ASSERT_EQ(answers.size(), 5u);
    const std::vector<std::pair<size_t, const char*>> expected = {
        {0, "01 01 00 00 00 01 00 0D 01 00 00 75 30"},
        {1, "01 03 00 00 00 01 00 09 02"},
        {3, "01 03 03 00 00 02 00 09 00"},
        {4, "01 0F 03 05 00 03 00 08"},
        {5, "01 01 01 00 00 04 00 08"},
    };
    for (size_t i = 0; i < answers.size(); ++i) {
        EXPECT_EQ(answers[i].datagram, expected[i].first);
        EXPECT_EQ(answers[i].peer, expected[i].first == 1 || expected[i].first == 3 ? 1 : 0);
        EXPECT_EQ(wendrel::toHex(answers[i].bytes), expected[i].second) << i;
    }
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].sequence, 2);
    EXPECT_EQ(handled[0].frame, kRequest);
}

TEST(HartIpServerStart, APortInUseIsRefusedWithTheReason) {
    Endpoint e;
    e.tcp = true;
    e.host = "127.0.0.1";
    std::string error;
    auto first = Server::start(e, {}, &error);
    ASSERT_TRUE(first) << error;
    auto second = Server::start(first->endpoint(), {}, &error);
    EXPECT_FALSE(second);
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
}

}  // namespace
}  // namespace hartip
