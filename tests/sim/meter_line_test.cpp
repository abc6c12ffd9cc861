// The meter on the line: wire bytes, timing and injected faults.
#include "sim/meter_line.h"

#include "sim_test_util.h"

namespace corvane::sim::test {
namespace {

std::vector<uint8_t> wire(const wendrel::Frame& f, int preambles = 5) { return wendrel::encodeFrame(f, preambles); }

TEST(MeterLine, RepliesWithPreamblesAfterTheTurnaround) {
    TestMeter t;
    MeterLine line(t.meter, {}, 0);
    auto out = line.receive(bytes("FF FF FF FF FF 02 80 00 00 82"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(wendrel::toHex(out[0].bytes),
              "FF FF FF FF FF 06 80 00 0E 00 00 FE 3D 01 05 05 01 0C 08 00 0A 1B 2C 72");
    EXPECT_EQ(out[0].delayMs, 18);  // two characters at 1200 bit/s
    EXPECT_EQ(MeterLine(t.meter, {}, 2).turnaroundMs(), 1);
    EXPECT_NEAR(characterTimeMs(1), 1.1458, 1e-3);

    // Byte by byte works the same; a bad checksum and a cut-off frame get silence.
    const auto request = bytes("FF FF FF FF FF 02 80 00 00 82");
    size_t replies = 0;
    for (uint8_t b : request) replies += line.receive(&b, 1).size();
    EXPECT_EQ(replies, 1u);
    EXPECT_TRUE(line.receive(bytes("FF FF FF FF FF 02 80 00 00 83")).empty());
    EXPECT_TRUE(line.receive(bytes("FF FF FF 02 80 00")).empty());
    line.lineSilent();
    EXPECT_FALSE(line.lineBusy());
    EXPECT_EQ(line.receive(bytes("FF FF 02 80 00 00 82")).size(), 1u);
    EXPECT_EQ(t.meter.requestLog().size(), 3u);
}

TEST(MeterLine, ReplyPreamblesFollowCommand59) {
    TestMeter t;
    MeterLine line(t.meter);
    ASSERT_EQ(line.receive(wire(request(59, "08"))).size(), 1u);
    auto out = line.receive(wire(request(0)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(wendrel::toHex(std::vector<uint8_t>(out[0].bytes.begin(), out[0].bytes.begin() + 9)),
              "FF FF FF FF FF FF FF FF 86");
}

TEST(MeterLine, FaultRatesFollowTheSeed) {
    TestMeter t;
    FaultOptions faults;
    faults.noAnswer = 0.1;
    faults.busy = 0.1;
    faults.badChecksum = 0.2;
    faults.late = 0.15;
    faults.noise = 0.3;
    faults.seed = 7;
    MeterLine line(t.meter, faults, 0);
    const int requests = 200;
    int replies = 0, busy = 0, badChecksum = 0, late = 0, withNoise = 0;
    for (int i = 0; i < requests; ++i) {
        auto out = line.receive(wire(request(1)));
        if (out.empty()) continue;
        ++replies;
        ASSERT_EQ(out.size(), 1u);
        if (out[0].bytes[0] != 0xFF) ++withNoise;
        if (out[0].delayMs > 302) ++late;
        // Noise never breaks the frame out of the bytes.
        auto frames = parseAll(out[0].bytes);
        ASSERT_EQ(frames.size(), 1u);
        if (frames[0].error == wendrel::FrameError::BadChecksum) ++badChecksum;
        else ASSERT_EQ(frames[0].error, wendrel::FrameError::None);
        if (frames[0].frame.responseCode() == 32) {
            ++busy;
            EXPECT_TRUE(frames[0].frame.payload().empty());
        }
    }
    const auto& counts = line.faultCounts();
    EXPECT_EQ(requests - replies, counts.noAnswer);
    EXPECT_EQ(busy, counts.busy);
    EXPECT_EQ(badChecksum, counts.badChecksum);
    EXPECT_EQ(late, counts.late);
    EXPECT_EQ(withNoise, counts.noise);
    // Roughly the rates asked for (binomial, 200 draws).
    EXPECT_NEAR(counts.noAnswer, 20, 12);
    EXPECT_NEAR(counts.busy, 18, 12);
    EXPECT_NEAR(counts.badChecksum, 36, 15);
    EXPECT_NEAR(counts.late, 27, 14);
    EXPECT_NEAR(counts.noise, 54, 18);
    EXPECT_EQ(t.meter.requestLog().size(), static_cast<size_t>(requests));

    // The same seed gives the same faults.
    TestMeter again;
    MeterLine repeat(again.meter, faults, 0);
    for (int i = 0; i < requests; ++i) repeat.receive(wire(request(1)));
    EXPECT_EQ(repeat.faultCounts().noise, counts.noise);
    EXPECT_EQ(repeat.faultCounts().noAnswer, counts.noAnswer);
}

TEST(MeterLine, BusyDoesNotRunTheCommandButALostReplyDoes) {
    TestMeter t;
    FaultOptions busy;
    busy.busy = 1;
    MeterLine busyLine(t.meter, busy);
    auto out = busyLine.receive(wire(request(34, floatHex(5))));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(parseAll(out[0].bytes).at(0).frame.responseCode(), 32);
    EXPECT_FLOAT_EQ(t.meter.state().damping, 1.0f);
    // Busy does not answer a command 11 for another tag.
    EXPECT_TRUE(busyLine.receive(wire(request(11, "61 98 20 82 08 20"))).empty());

    FaultOptions lost;
    lost.noAnswer = 1;
    MeterLine lostLine(t.meter, lost);
    EXPECT_TRUE(lostLine.receive(wire(request(34, floatHex(5)))).empty());
    EXPECT_FLOAT_EQ(t.meter.state().damping, 5.0f);
}

TEST(MeterLine, LateRepliesMissTheMastersWait) {
    TestMeter t;
    FaultOptions late;
    late.late = 1;
    late.lateMs = 10;  // too short to be late: raised past the master's wait
    for (int mode : {0, 1, 2}) {
        MeterLine line(t.meter, late, mode);
        auto out = line.receive(wire(request(0)));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_GT(out[0].delayMs, kMasterReplyWaitChars * characterTimeMs(mode)) << mode;
    }
}

TEST(MeterLine, BurstFramesOnlyInBurstMode) {
    TestMeter t;
    MeterLine quiet(t.meter, {}, 0);
    EXPECT_FALSE(quiet.nextBurst());
    FaultOptions burst;
    burst.burst = true;
    MeterLine line(t.meter, burst, 0);
    auto b = line.nextBurst();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->delayMs, 147);  // 16 characters at 1200 bit/s
    auto frames = parseAll(b->bytes);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].error, wendrel::FrameError::None);
    EXPECT_EQ(frames[0].frame.delimiter(), 0x81);
    EXPECT_EQ(frames[0].frame.command, 1);
    // Another device's burst frame on the line is not a request.
    EXPECT_TRUE(line.receive(b->bytes).empty());
}

// ---- several meters on one line ---------------------------------------------

struct Loop {
    TestMeter at0, at3, at12;
    Loop() {
        setUp(at0, "0", "0x000100", "LOOP-00");
        setUp(at3, "3", "0x000103", "LOOP-03");
        setUp(at12, "12", "0x00010C", "LOOP-12");
    }
    static void setUp(TestMeter& t, const char* address, const char* id, const char* tag) {
        std::string error;
        EXPECT_TRUE(t.meter.setValue("polling_address", address, &error)) << error;
        EXPECT_TRUE(t.meter.setValue("device_id", id, &error)) << error;
        EXPECT_TRUE(t.meter.setValue("tag", tag, &error)) << error;
    }
    std::vector<Meter*> meters() { return {&at0.meter, &at3.meter, &at12.meter}; }
};

// The one frame the line answers with, or nullopt for silence.
std::optional<wendrel::Frame> onlyReply(MeterLine& line, const wendrel::Frame& request) {
    auto out = line.receive(wire(request));
    if (out.empty()) return std::nullopt;
    EXPECT_EQ(out.size(), 1u);
    auto frames = parseAll(out[0].bytes);
    EXPECT_EQ(frames.size(), 1u);
    if (frames.empty()) return std::nullopt;
    return frames[0].frame;
}

TEST(MultiDropLine, EachMeterAnswersOnlyItsOwnAddressAndIdentifier) {
    Loop loop;
    MeterLine line(loop.meters(), {}, 0);
    for (uint8_t address = 0; address <= 15; ++address) {
        auto reply = onlyReply(line, wendrel::makeRequestShort(address, 0, {}));
        const bool present = address == 0 || address == 3 || address == 12;
        ASSERT_EQ(reply.has_value(), present) << int(address);
        if (!present) continue;
        EXPECT_EQ(reply->address[0] & 0x0F, address);
        // Its own identity: device id in bytes 9..11 of command 0.
        EXPECT_EQ(reply->payload().at(11), 0x00 + address) << int(address);
    }
    // By long address only the owner answers, with its own state.
    auto tag = onlyReply(line, wendrel::makeRequestLong({0x3D, 0x01, 0x00, 0x01, 0x03}, 13, {}));
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->address[4], 0x03);
    EXPECT_EQ(loop.at3.meter.requestLog().size(), 2u);
    EXPECT_EQ(loop.at0.meter.requestLog().size(), 1u);
    EXPECT_EQ(loop.at12.meter.requestLog().size(), 1u);
    EXPECT_FALSE(onlyReply(line, wendrel::makeRequestLong({0x3D, 0x01, 0x00, 0x01, 0x04}, 13, {})));

    // Command 11 by broadcast: only the meter whose tag matches answers.
    auto byTag = onlyReply(line, wendrel::makeRequestLong({0, 0, 0, 0, 0}, 11, bytes("30 F3 D0 B7 1C A0")));  // "LOOP-12"
    ASSERT_TRUE(byTag);
    EXPECT_EQ(byTag->address[4], 0x0C);
    EXPECT_FALSE(onlyReply(line, wendrel::makeRequestLong({0, 0, 0, 0, 0}, 11, bytes("38 F0 8F 11 98 20"))));  // "NOBODY"

    // A write changes only the meter it was sent to.
    ASSERT_TRUE(onlyReply(line, wendrel::makeRequestShort(3, 34, bytes(floatHex(7)))));
    EXPECT_FLOAT_EQ(loop.at3.meter.state().damping, 7.0f);
    EXPECT_NE(loop.at0.meter.state().damping, 7.0f);
}

TEST(MultiDropLine, ABurstMeterBurstsWhileTheOthersAnswer) {
    Loop loop;
    FaultOptions faults;
    faults.burst = true;  // the first meter given
    MeterLine line(loop.meters(), faults, 0);
    EXPECT_TRUE(loop.at0.meter.state().burstMode);
    EXPECT_FALSE(loop.at3.meter.state().burstMode);
    for (int i = 0; i < 3; ++i) {
        auto burst = line.nextBurst();
        ASSERT_TRUE(burst);
        auto frames = parseAll(burst->bytes);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].frame.delimiter(), 0x81);
        EXPECT_EQ(frames[0].frame.address[4], 0x00);  // always the burst meter's own
    }
    auto reply = onlyReply(line, wendrel::makeRequestShort(3, 0, {}));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->address[0] & 0x40, 0);  // no burst bit: that one is not bursting
    EXPECT_EQ(onlyReply(line, wendrel::makeRequestShort(0, 0, {}))->address[0] & 0x40, 0x40);
}

TEST(MultiDropLine, MetersThatCannotShareALineAreNamed) {
    Loop loop;
    EXPECT_EQ(lineConflict({&loop.at0.meter, &loop.at3.meter, &loop.at12.meter}), "");
    std::string error;
    ASSERT_TRUE(loop.at12.meter.setValue("polling_address", "3", &error)) << error;
    EXPECT_EQ(lineConflict({&loop.at0.meter, &loop.at3.meter, &loop.at12.meter}),
              "devices 2 and 3 both answer at polling address 3");
    ASSERT_TRUE(loop.at12.meter.setValue("polling_address", "5", &error)) << error;
    ASSERT_TRUE(loop.at12.meter.setValue("device_id", "0x000100", &error)) << error;
    EXPECT_EQ(lineConflict({&loop.at0.meter, &loop.at3.meter, &loop.at12.meter}),
              "devices 1 and 3 have the same unique identifier (manufacturer, device type and device_id)");
}

}  // namespace
}  // namespace corvane::sim::test
