// The HART-IP message codec: bytes as the format lays them out, both ways.
#include <gtest/gtest.h>

#include <string_view>

#include "link/driver/frame.h"
#include "link/hartip/message.h"
#include "link/hartip/url.h"
#include "tests/link/hartip/hartip_client.h"

namespace hartip {
namespace {

using testsupport::Bytes;

std::string Hex(const std::vector<uint8_t>& bytes) { return wendrel::toHex(bytes); }

TEST(HartIpEncode, RequestsOfEveryKind) {
    // Primary master, a minute of inactivity.
    EXPECT_EQ(Hex(sessionInitiateRequest(0x0102, kPrimaryMaster, 60000)),
              "01 00 00 00 01 02 00 0D 01 00 00 EA 60");
    EXPECT_EQ(Hex(sessionInitiateRequest(7, kSecondaryMaster, 0xFFFFFFFF)),
              "01 00 00 00 00 07 00 0D 00 FF FF FF FF");
    EXPECT_EQ(Hex(sessionCloseRequest(0xFFFF)), "01 00 01 00 FF FF 00 08");
    EXPECT_EQ(Hex(keepAliveRequest(3)), "01 00 02 00 00 03 00 08");
    // Command 0 to polling address 0, without preambles.
    EXPECT_EQ(Hex(passThroughRequest(4, Bytes("02 80 00 00 82"))), "01 00 03 00 00 04 00 0D 02 80 00 00 82");
}

TEST(HartIpEncode, AnswersEchoIdAndSequence) {
    Header request;
    request.id = MessageId::PassThrough;
    request.sequence = 0x1234;
    EXPECT_EQ(Hex(response(request, status::kSuccess, Bytes("06 80 00 02 00 00 84"))),
              "01 01 03 00 12 34 00 0F 06 80 00 02 00 00 84");
    EXPECT_EQ(Hex(nak(request, status::kTooFewDataBytes)), "01 0F 03 05 12 34 00 08");
    EXPECT_EQ(Hex(errorMessage(request, ErrorCode::ServiceUnavailable)), "01 03 03 00 12 34 00 09 02");
    EXPECT_EQ(Hex(publish(9, Bytes("81 A6 4E 00 00 01 01 07 00 00 20 41 20 00 00 00"))).substr(0, 23),
              "01 02 03 00 00 09 00 18");
}

TEST(HartIpEncode, ABodyBeyondTheLimitIsCutAndCountedAsSent) {
    Message m;
    m.body.assign(kMaxBodySize + 10, 0xAB);
    const auto bytes = encode(m);
    ASSERT_EQ(bytes.size(), kMaxMessageSize);
    EXPECT_EQ(decode(bytes).status, DecodeStatus::Ok);
    EXPECT_EQ(decode(bytes).message.body.size(), kMaxBodySize);
}

TEST(HartIpDecode, AWholeMessageAndWhatFollowsIt) {
    // A stream: a response, then the first bytes of the next message.
    const auto bytes = Bytes("01 01 00 08 00 05 00 0D 01 00 00 75 30  01 01 02");
    const Decoded d = decode(bytes);
    ASSERT_EQ(d.status, DecodeStatus::Ok);
    EXPECT_EQ(d.consumed, 13u);
    EXPECT_TRUE(d.message.is(MessageType::Response, MessageId::SessionInitiate));
    EXPECT_EQ(d.message.header.status, status::kSetToNearest);
    EXPECT_EQ(d.message.header.sequence, 5);
    const auto body = decodeSessionInitiate(d.message.body);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->masterType, kPrimaryMaster);
    EXPECT_EQ(body->inactivityMs, 30000u);

    const Decoded rest = decode(bytes.data() + d.consumed, bytes.size() - d.consumed);
    EXPECT_EQ(rest.status, DecodeStatus::NeedMore);
    EXPECT_EQ(rest.consumed, 0u);
}

TEST(HartIpDecode, BrokenHeadersAreToldApart) {
    struct Case { const char* hex; DecodeStatus status; size_t consumed; };
    for (const Case& c : {
             Case{"", DecodeStatus::NeedMore, 0},
             Case{"01 00 02 00 00 01 00", DecodeStatus::NeedMore, 0},                // 7 header bytes
             Case{"01 00 03 00 00 01 00 0D 02 80", DecodeStatus::NeedMore, 0},       // body not all there
             Case{"01 00 02 00 00 01 00 07", DecodeStatus::BadLength, 8},            // count below the header
             Case{"01 00 02 00 00 01 00 00", DecodeStatus::BadLength, 8},
             Case{"01 00 03 00 00 01 04 09", DecodeStatus::BadLength, 8},            // 1033: beyond the limit
             Case{"02 00 02 00 00 01 00 09 AA", DecodeStatus::BadVersion, 9},        // whole, but not ours
         }) {
        const Decoded d = decode(Bytes(c.hex));
        EXPECT_EQ(d.status, c.status) << c.hex;
        EXPECT_EQ(d.consumed, c.consumed) << c.hex;
    }
    // The largest message taken is exactly at the limit.
    std::vector<uint8_t> largest = Bytes("01 00 03 00 00 01 04 08");
    largest.resize(kMaxMessageSize, 0x00);
    EXPECT_EQ(decode(largest).status, DecodeStatus::Ok);
}

TEST(HartIpDecode, UnknownTypesAndIdsKeepTheirValues) {
    const Decoded d = decode(Bytes("01 07 09 00 00 02 00 08"));
    ASSERT_EQ(d.status, DecodeStatus::Ok);
    EXPECT_EQ(static_cast<int>(d.message.header.type), 7);
    EXPECT_EQ(static_cast<int>(d.message.header.id), 9);
    EXPECT_EQ(describe(d.message.header.id), "message id 9");
}

TEST(HartIpDecode, SessionInitiateAndErrorBodies) {
    EXPECT_FALSE(decodeSessionInitiate(Bytes("01 00 00 EA")));
    EXPECT_EQ(decodeSessionInitiate(Bytes("00 00 00 EA 60 FF"))->inactivityMs, 60000u);

    const Decoded error = decode(Bytes("01 03 03 00 00 0A 00 09 01"));
    ASSERT_EQ(error.status, DecodeStatus::Ok);
    EXPECT_EQ(errorCodeOf(error.message), ErrorCode::PrimarySessionUnavailable);
    EXPECT_EQ(describe(*errorCodeOf(error.message)), "primary session unavailable");
    EXPECT_FALSE(errorCodeOf(decode(Bytes("01 03 03 00 00 0A 00 08")).message));  // no code
    EXPECT_FALSE(errorCodeOf(decode(Bytes("01 01 03 00 00 0A 00 09 01")).message));  // not an error
}

TEST(HartIpUrl, FormsThePortMapAndTheSimulatorTake) {
    struct Case { const char* text; bool tcp; const char* host; int port; };
    for (const Case& c : {Case{"hartip://127.0.0.1", false, "127.0.0.1", 5094},
                          Case{"hartip://localhost:20004", false, "localhost", 20004},
                          Case{"hartip+tcp://127.0.0.1:0/", true, "127.0.0.1", 0},
                          Case{"hartip+tcp://[::1]:5095", true, "::1", 5095},
                          Case{"hartip://[fe80::1]", false, "fe80::1", 5094}}) {
        std::string error;
        const auto e = parseUrl(c.text, &error);
        ASSERT_TRUE(e) << c.text << ": " << error;
        EXPECT_EQ(e->tcp, c.tcp) << c.text;
        EXPECT_EQ(e->host, c.host) << c.text;
        EXPECT_EQ(e->port, c.port) << c.text;
        EXPECT_EQ(parseUrl(e->url())->url(), e->url());
    }
    EXPECT_EQ(parseUrl("hartip+tcp://[::1]:5095")->url(), "hartip+tcp://[::1]:5095");
    for (const char* bad : {"/dev/ttyUSB0", "hartip://", "hartip://:5094", "hartip://host:", "hartip://host:65536",
                            "hartip://host:50x4", "hartip://::1", "hartip://[::1", "hartip://[::1]x",
                            "hartip://user@host", "hartip+udp://host"}) {
        std::string error;
        EXPECT_FALSE(parseUrl(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_TRUE(isUrl("hartip+tcp://x"));
    EXPECT_FALSE(isUrl("/dev/pts/3"));
}

}  // namespace
}  // namespace hartip
