// The meter's commands seen from the link: request frames in, reply bytes out.
#include <cmath>
#include <random>

#include "sim_test_util.h"

namespace corvane::sim::test {
namespace {

TEST(MeterIdentity, Command0RepliesWithTheIdentityBytes) {
    TestMeter t;
    // Short address 0, primary master.
    EXPECT_EQ(ask(t.meter, frame("02 80 00 00 82")),
              "06 80 00 0E 00 00 FE 3D 01 05 05 01 0C 08 00 0A 1B 2C 72");
    // Long address: the reply echoes it.
    EXPECT_EQ(ask(t.meter, request(0)),
              "86 BD 01 0A 1B 2C 00 0E 00 00 FE 3D 01 05 05 01 0C 08 00 0A 1B 2C F3");
    ASSERT_TRUE(t.meter.setValue("meter_type", "steam", nullptr));
    auto steam = wendrel::makeRequestShort(0, 0, {});
    EXPECT_EQ(t.meter.handle(steam)->payload().at(2), 3);
}

TEST(MeterIdentity, AnswersOnlyItsOwnAddressAndGoodFrames) {
    TestMeter t;
    EXPECT_EQ(ask(t.meter, frame("02 81 00 00 83")), "");  // polling address 1
    EXPECT_EQ(ask(t.meter, wendrel::makeRequestLong({0x3D, 0x01, 0x0A, 0x1B, 0x2D}, 0, {})), "");
    EXPECT_EQ(ask(t.meter, wendrel::makeRequestLong({0x3D, 0x02, 0x0A, 0x1B, 0x2C}, 0, {})), "");
    // Broadcast address only with command 11.
    EXPECT_EQ(ask(t.meter, wendrel::makeRequestLong({0, 0, 0, 0, 0}, 0, {})), "");
    // Secondary master and a stray burst bit still match.
    auto secondary = wendrel::makeRequestLong(kDefaultId, 0, {}, false);
    secondary.address[0] |= wendrel::kBurstBit;
    auto reply = t.meter.handle(secondary);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->address[0], 0x3D);  // master bit echoed (clear), burst bit not in burst mode
    // A reply frame (ACK) is not a request.
    auto ack = request(0);
    ack.type = wendrel::FrameType::Ack;
    EXPECT_EQ(ask(t.meter, ack), "");
    EXPECT_EQ(t.meter.requestLog().size(), 1u);
}

TEST(MeterProcess, Commands1To3LayoutsAgree) {
    TestMeter t;
    t.now = 10;
    auto pv = t.send(1);
    ASSERT_EQ(pv.payload.size(), 5u);
    EXPECT_EQ(pv.payload[0], 16);  // US gal/min
    const float flow = floatAt(pv.payload, 1);
    EXPECT_NEAR(flow, 132.1, 10);  // 30 m3/h

    auto current = t.send(2);
    ASSERT_EQ(current.payload.size(), 8u);
    const float mA = floatAt(current.payload, 0);
    const float percent = floatAt(current.payload, 4);
    EXPECT_NEAR(percent, flow / 250 * 100, 1e-3);
    EXPECT_NEAR(mA, 4 + 16 * percent / 100, 1e-4);

    auto dynamic = t.send(3);
    ASSERT_EQ(dynamic.payload.size(), 24u);
    EXPECT_FLOAT_EQ(floatAt(dynamic.payload, 0), mA);
    EXPECT_EQ(dynamic.payload[4], 16);
    EXPECT_FLOAT_EQ(floatAt(dynamic.payload, 5), flow);
    EXPECT_EQ(dynamic.payload[9], 38);  // shedding frequency, Hz
    EXPECT_NEAR(floatAt(dynamic.payload, 10), 64.7, 6);
    EXPECT_EQ(dynamic.payload[14], 33);  // degF
    EXPECT_NEAR(floatAt(dynamic.payload, 15), 68, 2);
    EXPECT_EQ(dynamic.payload[19], 6);  // psi
    EXPECT_NEAR(floatAt(dynamic.payload, 20), 43.5, 2);

    EXPECT_EQ(wendrel::toHex(t.send(50).payload), "00 06 04 05");
}

TEST(MeterProcess, ValuesFollowTheClockRepeatably) {
    TestMeter a, b;
    ASSERT_TRUE(a.meter.setValue("damping", "0", nullptr));
    ASSERT_TRUE(b.meter.setValue("damping", "0", nullptr));
    a.now = b.now = 37.25;
    EXPECT_EQ(a.send(3).payload, b.send(3).payload);
    const float early = floatAt(a.send(1).payload, 1);
    a.now = 37.25 + 30;  // a quarter period of the slow variation later
    EXPECT_GT(std::fabs(floatAt(a.send(1).payload, 1) - early), 1.0f);
}

TEST(MeterTexts, WritesRoundTripThroughTheReads) {
    TestMeter t;
    const std::string message = "20 53 0C 3E 05 CF 48 C1 20 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20";
    EXPECT_EQ(wendrel::toHex(t.send(17, message).payload), message);
    EXPECT_EQ(wendrel::toHex(t.send(12).payload), message);
    EXPECT_EQ(t.meter.state().message, "HELLO WORLD");

    const std::string tagDescriptorDate = "04 20 C4 14 61 C8  18 C3 D7 80 C2 4E 16 0C E0 82 08 20  0F 06 63";
    auto written = t.send(18, tagDescriptorDate);
    EXPECT_EQ(written.payload, bytes(tagDescriptorDate));
    EXPECT_EQ(t.send(13).payload, bytes(tagDescriptorDate));
    EXPECT_EQ(t.meter.state().tag, "ABCDEFGH");
    EXPECT_EQ(t.meter.state().descriptor, "FLOW LINE 3");

    EXPECT_EQ(wendrel::toHex(t.send(19, "01 E2 40").payload), "01 E2 40");
    EXPECT_EQ(wendrel::toHex(t.send(16).payload), "01 E2 40");
    EXPECT_EQ(t.meter.state().finalAssemblyNumber, 123456u);
}

TEST(MeterTexts, Command11AnswersOnlyItsTag) {
    TestMeter t;
    const std::string ownTag = "19 4B 71 C3 18 20";  // FT-101
    auto own = t.send(11, ownTag);
    ASSERT_TRUE(own.answered);
    EXPECT_EQ(own.payload, t.send(0).payload);
    EXPECT_FALSE(t.send(11, "61 98 20 82 08 20").answered);  // XY
    EXPECT_FALSE(t.send(11, "19 4B 71").answered);            // too short to match

    // Broadcast: the reply carries the meter's own long address.
    auto broadcast = wendrel::makeRequestLong({0, 0, 0, 0, 0}, 11, bytes(ownTag));
    auto reply = t.meter.handle(broadcast);
    ASSERT_TRUE(reply);
    EXPECT_EQ(wendrel::toHex(reply->address.data(), 5), "BD 01 0A 1B 2C");
    broadcast.data = bytes("61 98 20 82 08 20");
    EXPECT_FALSE(t.meter.handle(broadcast));
}

TEST(MeterAddressing, PollingAddressMovesTheMeterAndFixesTheCurrent) {
    TestMeter t;
    auto changed = t.meter.handle(frame("02 80 06 01 05 80"));  // short address 0, new address 5
    ASSERT_TRUE(changed);
    EXPECT_EQ(hexOf(*changed), "06 80 06 03 00 48 05 CE");  // config changed and current fixed
    EXPECT_EQ(ask(t.meter, frame("02 80 00 00 82")), "");
    EXPECT_NE(ask(t.meter, frame("02 85 00 00 87")), "");

    auto current = t.send(2);
    EXPECT_FLOAT_EQ(floatAt(current.payload, 0), 4.0f);
    EXPECT_EQ(t.send(40, floatHex(12)).code, 11);  // multidrop: no fixed current
    EXPECT_EQ(t.send(6, "10").code, 2);             // 16 is no polling address
    EXPECT_EQ(t.send(6, "00").code, 0);
    EXPECT_EQ(t.send(2).status & 0x08, 0);
}

struct RangeCase {
    const char* what;
    uint8_t unit;
    float upper, lower;
    uint8_t code;
};

TEST(MeterRange, Command35ChecksAgainstTheSensorLimits) {
    // Sensor limits 0..260 US gal/min, minimum span 5, range 0..250.
    const RangeCase cases[] = {
        {"inside", 16, 200, 10, 0},
        {"lower above the upper limit", 16, 200, 270, 9},
        {"lower below the lower limit", 16, 200, -5, 10},
        {"upper above the upper limit", 16, 300, 0, 11},
        {"upper below the lower limit", 16, -1, 0, 12},
        {"upper below lower", 16, 50, 100, 12},
        {"upper equal to lower", 16, 100, 100, 12},
        {"both outside", 16, 300, -5, 13},
        {"span too small is taken", 16, 102, 100, 14},
        {"not a flow unit", 33, 200, 10, 2},
        {"NaN upper", 16, std::nanf(""), 0, 11},
    };
    for (const auto& c : cases) {
        TestMeter t;
        const auto request = wendrel::toHex(std::vector<uint8_t>{c.unit}) + floatHex(c.upper) + floatHex(c.lower);
        auto answer = t.send(35, request);
        EXPECT_EQ(answer.code, c.code) << c.what;
        const bool taken = c.code == 0 || c.code == 14;
        EXPECT_EQ(answer.payload.size(), taken ? 9u : 0u) << c.what;
        EXPECT_EQ((answer.status & 0x40) != 0, taken) << c.what;
        auto output = t.send(15).payload;
        EXPECT_FLOAT_EQ(floatAt(output, 3), taken ? c.upper : 250.0f) << c.what;
        EXPECT_FLOAT_EQ(floatAt(output, 7), taken ? c.lower : 0.0f) << c.what;
    }
    TestMeter t;
    EXPECT_EQ(t.send(35, "11" + floatHex(600) + floatHex(0)).code, 0);  // 600 l/min is 158.5 US gal/min
    EXPECT_NEAR(t.meter.state().upperRangeValue, 158.5, 0.1);
    EXPECT_EQ(t.send(35, "10 43480000").code, 5);
}

TEST(MeterOutput, FixedCurrentAndTrims) {
    TestMeter t;
    auto fixed = t.send(40, floatHex(12.5f));
    EXPECT_EQ(fixed.code, 0);
    EXPECT_EQ(fixed.status, 0x08);  // not a configuration change
    EXPECT_EQ(fixed.payload, bytes(floatHex(12.5f)));
    EXPECT_FLOAT_EQ(floatAt(t.send(2).payload, 0), 12.5f);
    EXPECT_EQ(t.send(40, floatHex(25)).code, 3);
    EXPECT_EQ(t.send(40, floatHex(1)).code, 4);
    EXPECT_EQ(t.send(40, floatHex(0)).status & 0x08, 0);

    // Multimeter reads 4.1 at 4 mA and 19.8 at 20 mA: the output moves down at 4 and up at 20.
    t.send(40, floatHex(4));
    EXPECT_EQ(t.send(45, floatHex(4.1f)).code, 0);
    EXPECT_NEAR(floatAt(t.send(2).payload, 0), 3.9, 1e-5);
    t.send(40, floatHex(20));
    EXPECT_EQ(t.send(46, floatHex(19.8f)).code, 0);
    EXPECT_NEAR(floatAt(t.send(2).payload, 0), 20.2, 1e-5);
    t.send(40, floatHex(12));
    EXPECT_NEAR(floatAt(t.send(2).payload, 0), 12.05, 1e-5);
    EXPECT_EQ(t.send(45, floatHex(6)).code, 3);
    EXPECT_EQ(t.send(46, floatHex(16)).code, 4);
    EXPECT_EQ(t.send(46, floatHex(std::nanf(""))).code, 3);
}

TEST(MeterOutput, CurrentSaturatesWithStatus) {
    TestMeter t;
    ASSERT_TRUE(t.meter.setValue("range.upper", "50", nullptr));  // flow ~132 US gal/min
    auto answer = t.send(2);
    EXPECT_FLOAT_EQ(floatAt(answer.payload, 0), 20.5f);
    EXPECT_EQ(answer.status, 0x04);
    ASSERT_TRUE(t.meter.setValue("volume_flow.upper_limit", "100", nullptr));
    EXPECT_EQ(t.send(1).status, 0x05);  // PV beyond its sensor limit too
}

TEST(MeterConfiguration, WritesChangeStateAndFlagTheChange) {
    TestMeter t;
    auto damping = t.send(34, floatHex(2.5f));
    EXPECT_EQ(damping.status & 0x40, 0x40);
    EXPECT_FLOAT_EQ(floatAt(t.send(15).payload, 11), 2.5f);
    EXPECT_EQ(t.send(34, floatHex(40)).code, 3);
    EXPECT_EQ(t.send(34, floatHex(-1)).code, 4);

    EXPECT_EQ(t.send(38).status & 0x40, 0);
    EXPECT_EQ(t.send(0).status & 0x40, 0);

    // PV unit to l/min: range and limits follow.
    EXPECT_EQ(wendrel::toHex(t.send(44, "11").payload), "11");
    auto sensor = t.send(14).payload;
    EXPECT_EQ(sensor[3], 17);
    EXPECT_NEAR(floatAt(sensor, 4), 984.2, 0.1);  // 260 US gal/min
    EXPECT_NEAR(t.meter.state().upperRangeValue, 946.4, 0.1);
    EXPECT_EQ(t.send(1).payload[0], 17);
    EXPECT_EQ(t.send(44, "21").code, 2);  // 33 degF is not a flow unit

    // Temperature to degC.
    EXPECT_EQ(wendrel::toHex(t.send(53, "04 20").payload), "04 20");
    auto dynamic = t.send(3).payload;
    EXPECT_EQ(dynamic[14], 32);
    EXPECT_NEAR(floatAt(dynamic, 15), 20, 1);
    EXPECT_FLOAT_EQ(t.meter.state().variable(Variable::Temperature).lowerSensorLimit, -40.0f);
    EXPECT_EQ(t.send(53, "07 20").code, 2);
    EXPECT_EQ(t.send(53, "05 20").code, 2);

    EXPECT_EQ(t.send(59, "0A").code, 0);
    EXPECT_EQ(t.meter.responsePreambles(), 10);
    EXPECT_EQ(t.send(0).payload[3], 10);
    EXPECT_EQ(t.send(59, "15").code, 3);
    EXPECT_EQ(t.send(59, "01").code, 4);
}

TEST(MeterConfiguration, BadRequestsGetResponseCodes) {
    TestMeter t;
    EXPECT_EQ(t.send(34, "3F80").code, 5);
    EXPECT_EQ(t.send(17, "0102").code, 5);
    auto unknown = t.send(200);
    EXPECT_EQ(unknown.code, 64);
    EXPECT_TRUE(unknown.payload.empty());
    EXPECT_EQ(t.send(7).code, 64);
    EXPECT_EQ(t.send(34, "").status & 0x40, 0);  // a refused write changes nothing
}

TEST(MeterBurst, BurstModeMarksRepliesAndMakesBurstFrames) {
    TestMeter t;
    EXPECT_FALSE(t.meter.burstFrame());
    EXPECT_EQ(t.send(108, "04").code, 2);
    EXPECT_EQ(t.send(108, "02").code, 0);
    EXPECT_EQ(t.send(109, "02").code, 2);

    auto on = t.meter.handle(request(109, "01"));
    ASSERT_TRUE(on);
    EXPECT_EQ(on->address[0], 0xFD);  // master and burst bits over 0x3D
    EXPECT_EQ(t.meter.handle(frame("02 80 00 00 82"))->address[0], 0xC0);

    auto burst = t.meter.burstFrame();
    ASSERT_TRUE(burst);
    EXPECT_EQ(burst->type, wendrel::FrameType::Back);
    EXPECT_EQ(burst->command, 2);
    EXPECT_EQ(wendrel::toHex(burst->address.data(), 5), "FD 01 0A 1B 2C");
    EXPECT_EQ(burst->payload().size(), 8u);

    t.send(109, "00");
    EXPECT_FALSE(t.meter.burstFrame());
    EXPECT_EQ(t.meter.handle(request(0))->address[0], 0xBD);
}

}  // namespace
}  // namespace corvane::sim::test

namespace corvane::sim::test {
namespace {

// Any command with any data: a well-formed reply or silence, never a crash,
// and error replies carry no data.
TEST(MeterRobustness, ArbitraryRequestsGetWellFormedReplies) {
    TestMeter t;
    std::mt19937 random(3);
    for (int round = 0; round < 3; ++round) {
        for (int command = 0; command < 256; ++command) {
            std::vector<uint8_t> data(random() % 30);
            for (auto& b : data) b = static_cast<uint8_t>(random());
            auto reply = t.meter.handle(wendrel::makeRequestLong(t.meter.state().uniqueId(),
                                                                 static_cast<uint8_t>(command), data));
            t.now += 0.25;
            if (!reply) {
                EXPECT_EQ(command, 11);
                continue;
            }
            EXPECT_EQ(reply->command, command);
            const uint8_t code = reply->responseCode();
            if (code != 0 && code != 14) {
                EXPECT_TRUE(reply->payload().empty()) << command;
            }
            EXPECT_LE(wendrel::encodeFrame(*reply, 0).size(), 8u + 2 + 255);
        }
    }
}

}  // namespace
}  // namespace corvane::sim::test
