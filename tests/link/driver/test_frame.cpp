#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "link/driver/frame.h"
#include "tests/support/pipe_harness.h"

using namespace wendrel;
using testsupport::hex;

namespace {

std::vector<ParsedFrame> parseAll(const std::vector<uint8_t>& bytes, bool thenSilence = false) {
    std::vector<ParsedFrame> out;
    FrameParser parser([&](const ParsedFrame& f) { out.push_back(f); });
    parser.feed(bytes);
    if (thenSilence) parser.gapTimeout();
    return out;
}

}  // namespace

TEST(FrameEncode, ShortAndLongRequestsByteExact) {
    EXPECT_EQ(toHex(encodeFrame(makeRequestShort(0, 0, {}), 5)), "FF FF FF FF FF 02 80 00 00 82");
    EXPECT_EQ(toHex(encodeFrame(makeRequestShort(1, 0, {}, false), 2)), "FF FF 02 01 00 00 03");
    // Manufacturer bits are masked to six bits; the master bit sits above them.
    EXPECT_EQ(toHex(encodeFrame(makeRequestLong({0xFD, 0x01, 0x0A, 0x1B, 0x2C}, 3, {}), 3)),
              "FF FF FF 82 BD 01 0A 1B 2C 03 00 00");
    // Command 11 to the broadcast address with a packed tag.
    EXPECT_EQ(toHex(encodeFrame(makeRequestLong({0, 0, 0, 0, 0}, 11, hex("04 20 C4 04 20 C4")), 0)),
              "82 80 00 00 00 00 0B 06 04 20 C4 04 20 C4 0F");
}

TEST(FrameEncode, ReplyEchoesAddressAndCarriesStatusBytes) {
    const Frame request = makeRequestLong({0x3D, 0x01, 0x0A, 0x1B, 0x2C}, 3, {});
    Frame reply = makeReply(request, 0, 0, hex("41 48 00 00 11 42 C8 00 00 20 41 B0 00 00 27 44 7A 00 00 07 3F 80 00 00"));
    EXPECT_EQ(toHex(encodeFrame(reply, 0)),
              "86 BD 01 0A 1B 2C 03 1A 00 00 41 48 00 00 11 42 C8 00 00 20 41 B0 00 00 27 44 7A 00 00 07 3F 80 00 00 FC");
    EXPECT_EQ(reply.responseCode(), 0);
    EXPECT_EQ(reply.payload().size(), 24u);
}

TEST(FrameEncode, DataBeyond255BytesIsCutToTheByteCount) {
    const auto wire = encodeFrame(makeRequestShort(0, 200, std::vector<uint8_t>(300, 0x11)), 0);
    ASSERT_EQ(wire.size(), 1u + 1 + 1 + 1 + 255 + 1);
    EXPECT_EQ(wire[3], 255);
}

TEST(FrameParse, FindsShortLongAndBurstFrames) {
    auto bytes = hex("FF FF FF FF FF 06 80 00 0E 00 00 FE 3D 01 05 05 01 0A 08 00 0A 1B 2C 74"
                     "FF FF 81 FD 01 0A 1B 2C 01 07 00 40 11 42 C8 00 00 9D");
    auto frames = parseAll(bytes);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].error, FrameError::None);
    EXPECT_EQ(frames[0].frame.type, FrameType::Ack);
    EXPECT_FALSE(frames[0].frame.longAddress);
    EXPECT_EQ(frames[0].preambles, 5);
    EXPECT_EQ(frames[0].frame.payload().size(), 12u);
    EXPECT_EQ(frames[0].raw.size(), 24u);
    EXPECT_EQ(frames[1].frame.type, FrameType::Back);
    EXPECT_TRUE(frames[1].frame.longAddress);
    EXPECT_TRUE(frames[1].frame.burstBit());
    EXPECT_TRUE(frames[1].frame.fromPrimaryMaster());
    EXPECT_EQ(frames[1].frame.deviceStatus(), 0x40);
    EXPECT_EQ(toHex(frames[1].frame.payload()), "11 42 C8 00 00");
}

TEST(FrameParse, DamagedAndIncompleteFramesAreReportedNotDropped) {
    // Wrong checksum.
    auto frames = parseAll(hex("FF FF 06 80 01 07 00 00 11 42 C8 00 00 1C"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].error, FrameError::BadChecksum);
    // The line falls silent in the middle of the data.
    frames = parseAll(hex("FF FF 06 80 01 07 00 00 11"), true);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].error, FrameError::Truncated);
    EXPECT_EQ(toHex(frames[0].raw), "FF FF 06 80 01 07 00 00 11");
    // A reply that cannot hold its two status bytes.
    frames = parseAll(hex("FF FF 06 80 01 01 00 86"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].error, FrameError::Malformed);
}

TEST(FrameParse, NoiseAndSinglePreamblesDoNotStartFrames) {
    // Noise, one 0xFF before a delimiter (too few), an invalid delimiter, then a good frame.
    auto frames = parseAll(hex("13 37 FF 06 55 FF FF 07 00 FF FF FF 02 80 01 00 83"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].error, FrameError::None);
    EXPECT_EQ(frames[0].frame.type, FrameType::Stx);
    EXPECT_EQ(frames[0].frame.command, 1);
    EXPECT_EQ(frames[0].preambles, 3);
}

TEST(FrameParse, ByteAtATimeGivesTheSameFrameAndSilenceBetweenIsHarmless) {
    const auto bytes = hex("FF FF FF 82 BD 01 0A 1B 2C 03 00 00");
    std::vector<ParsedFrame> out;
    FrameParser parser([&](const ParsedFrame& f) { out.push_back(f); });
    parser.gapTimeout();
    for (uint8_t b : bytes) {
        EXPECT_TRUE(out.empty());
        parser.feed(&b, 1);
    }
    parser.gapTimeout();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].error, FrameError::None);
    EXPECT_EQ(out[0].raw, bytes);
    EXPECT_FALSE(parser.lineBusy());
}

TEST(FrameParse, RoundTripsEveryEncodedShape) {
    for (FrameType type : {FrameType::Stx, FrameType::Ack, FrameType::Back}) {
        for (bool longAddress : {false, true}) {
            Frame f;
            f.type = type;
            f.longAddress = longAddress;
            f.address = {0xC5, 0x11, 0x22, 0x33, 0x44};
            if (!longAddress) f.address = {0x85, 0, 0, 0, 0};
            f.command = 0xFF;  // a 0xFF command byte inside a frame is data, not a preamble
            f.data = {0x00, 0x00, 0xFF, 0xFF, 0x02};
            auto frames = parseAll(encodeFrame(f, 5));
            ASSERT_EQ(frames.size(), 1u);
            EXPECT_EQ(frames[0].error, FrameError::None);
            EXPECT_EQ(frames[0].frame.command, 0xFF);
            EXPECT_EQ(frames[0].frame.data, f.data);
            EXPECT_EQ(frames[0].frame.address, f.address);
        }
    }
}

namespace {

// The peak resident memory of this process in KiB; -1 where the kernel does not tell it.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}
// Starts the peak afresh from the present size, so earlier tests do not count.
long restartedPeakKiB() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return peakKiB();
}

}  // namespace

// A line that sends 0xFF without a gap costs no memory: counts above 255 are
// not kept, and the frame that ends the run holds its last 255 preambles.
TEST(FrameParse, AnEndlessPreambleRunKeepsMemoryFlat) {
    std::vector<ParsedFrame> frames;
    FrameParser parser([&](const ParsedFrame& f) { frames.push_back(f); });
    const std::vector<uint8_t> run(64 * 1024, 0xFF);
    const auto frame = hex("02 80 01 00 83");
    const long before = restartedPeakKiB();
    if (before < 0) GTEST_SKIP() << "no peak memory figure in /proc";
    for (int i = 0; i < 1024; ++i) parser.feed(run);  // 64 MiB
    EXPECT_TRUE(parser.lineBusy());
    parser.feed(frame);
    EXPECT_LT(peakKiB() - before, 1024);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].error, FrameError::None);
    EXPECT_EQ(frames[0].preambles, kMaxCountedPreambles);
    EXPECT_EQ(frames[0].raw.size(), 255u + frame.size());
    EXPECT_EQ(frames[0].frame.command, 1);
    // A run just short of the cap is counted whole.
    frames.clear();
    parser.feed(std::vector<uint8_t>(254, 0xFF));
    parser.feed(frame);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].preambles, 254);
}

TEST(HexText, RejectsOddAndForeignDigits) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(fromHex("0a Ff", out));
    EXPECT_EQ(toHex(out, false), "0AFF");
    EXPECT_FALSE(fromHex("0A F", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(fromHex("0G", out));
}
