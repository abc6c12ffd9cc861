// FrameDump: the text columns and facts of frames given as hex, one record
// fed frame after frame as the monitor does.
#include <gtest/gtest.h>

#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"
#include "link/driver/frame_dump.h"

namespace {

using namespace wendrel;

enum { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10, T11, T12, T13, T14, T15 };

struct Dumper {
    FrameText f;
    CommandTexts requestTexts{};
    CommandTexts replyTexts{};
    const FrameText& dump(const char* hex, uint32_t timeMs = 0) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(fromHex(hex, bytes)) << hex;
        FrameDump(bytes.data(), static_cast<int>(bytes.size()), f, requestTexts, replyTexts, timeMs);
        return f;
    }
};

constexpr char kRequest0[] = "FF FF FF FF FF 02 80 00 00 82";
constexpr char kReply0[] = "FF FF FF FF FF 06 80 00 0E 00 00 FE 26 0C 05 05 05 03 08 00 00 01 02 51";
constexpr char kRequest1[] = "FF FF FF FF FF 82 A6 0C 00 01 02 01 00 2A";
constexpr char kReply1[] = "FF FF FF FF FF 86 A6 0C 00 01 02 01 07 00 00 39 41 48 00 00 19";
constexpr char kReply1Status[] = "FF FF FF FF FF 86 A6 0C 00 01 02 01 07 20 50 39 41 48 00 00 69";
constexpr char kBurst3[] = "FF FF FF FF FF 81 E6 0C 00 01 02 03 0B 00 00 40 80 00 00 39 41 48 00 00 90";
constexpr char kRequest1Secondary[] = "FF FF FF FF FF 82 26 0C 00 01 02 01 00 AA";

TEST(FrameDump, RequestColumnsInDecimalWithNames) {
    Dumper d;
    const auto& f = d.dump(kRequest1, 1000);
    EXPECT_EQ(f.t[T1], "FF FF FF FF FF");
    EXPECT_EQ(f.t[T2], "82");
    EXPECT_EQ(f.t[T3], "A6 0C 00 01 02");
    EXPECT_EQ(f.t[T4], "  1 Read Primary Variable");
    EXPECT_EQ(f.t[T5], "  0");
    EXPECT_EQ(f.t[T6], "");
    EXPECT_EQ(f.t[T7], "");
    EXPECT_EQ(f.t[T8], "2A");
    EXPECT_EQ(f.t[T9], "STX>P");
    EXPECT_EQ(f.t[T12], "00000");
    EXPECT_EQ(f.t[T13], "t=1.000 s");
    EXPECT_EQ(f.error, DumpErrorNone);
    EXPECT_EQ(f.kind, FrameKindRequest);
    EXPECT_EQ(f.command, 1);
    EXPECT_EQ(f.masterType, 1);
    EXPECT_EQ(f.highlight, 0);
}

TEST(FrameDump, ReplyDecodedOrRawHexAndStatusInEveryNotation) {
    Dumper d;
    d.f.realData = 1;
    auto f = d.dump(kReply1Status);
    EXPECT_EQ(f.kind, FrameKindReply);
    EXPECT_EQ(f.t[T9], "ACK<P");
    EXPECT_EQ(f.t[T5], "  7");
    EXPECT_EQ(f.t[T6], " 32 50      ");  // padded to the widest form; the monitor trims it
    EXPECT_EQ(f.t[T7], "PV 12.5 " + GetHartUnit(0x39));
    EXPECT_EQ(f.t[T14], "Busy; Configuration changed, More status available");

    d.f.realData = 0;
    d.f.decimal = 0;
    d.f.rsp2Binary = 1;
    d.f.symbolic = 0;
    f = d.dump(kReply1Status);
    EXPECT_EQ(f.t[T4], "01");
    EXPECT_EQ(f.t[T5], "07");
    EXPECT_EQ(f.t[T6], "20 01010000 ");
    EXPECT_EQ(f.t[T7], "39 41 48 00 00");
}

TEST(FrameDump, UniversalCommandZeroAndThreeDecoded) {
    Dumper d;
    auto f = d.dump(kReply0);
    EXPECT_EQ(f.t[T3], "80            ");
    EXPECT_NE(f.t[T7].find("Type 12, Preambles 5"), std::string::npos) << f.t[T7];
    EXPECT_NE(f.t[T7].find("Dev ID 00 01 02"), std::string::npos) << f.t[T7];
    f = d.dump("FF FF FF FF FF 86 A6 0C 00 01 02 03 0B 00 00 40 80 00 00 39 41 48 00 00 D7");
    EXPECT_EQ(f.t[T7], "Current 4 mA, PV 12.5 " + GetHartUnit(0x39));
}

TEST(FrameDump, CommandTextsFromTheTablesBeforeBuiltInNames) {
    Dumper d;
    d.requestTexts[1] = "RdPV";
    d.requestTexts[130] = "Read Totalizer";
    d.replyTexts[130] = "Totalizer";
    EXPECT_EQ(d.dump(kRequest1).t[T4], "  1 RdPV");
    EXPECT_EQ(d.dump(kReply1).t[T4], "  1 RdPV");  // no reply text: the request text
    EXPECT_EQ(d.dump("FF FF 82 A6 0C 00 01 02 82 00 A9").t[T4], "130 Read Totalizer");
    EXPECT_EQ(d.dump("FF FF 86 A6 0C 00 01 02 82 02 00 00 AF").t[T4], "130 Totalizer");
    EXPECT_EQ(d.dump("FF FF 82 A6 0C 00 01 02 83 00 A8").t[T4], "131");  // nothing to name it by
}

TEST(FrameDump, BurstFramesAreHighlightedAndNoReplyToARequest) {
    Dumper d;
    const auto& f = d.dump(kBurst3);
    EXPECT_EQ(f.kind, FrameKindBurst);
    EXPECT_EQ(f.t[T9], "BCK<P");
    EXPECT_EQ(f.highlight, 1);
    EXPECT_EQ(f.command, 3);
}

TEST(FrameDump, DamagedFramesNameTheirFault) {
    Dumper d;
    auto f = d.dump("FF FF FF FF FF 82 A6 0C 00 01 02 01 00 2B");
    EXPECT_EQ(f.error, DumpErrorChecksum);
    EXPECT_EQ(f.t[T10], "CHECKSUM");
    EXPECT_EQ(f.t[T11], "Checksum error: frame says 2B, bytes give 2A");

    f = d.dump("FF FF FF FF FF 86 A6 0C 00 01 02 01 07 00 00 39");  // the line fell silent
    EXPECT_EQ(f.error, DumpErrorTruncated);
    EXPECT_EQ(f.t[T7], "39");
    EXPECT_EQ(f.t[T8], "");

    f = d.dump("FF FF FF 86 A6 0C");  // not even a command
    EXPECT_EQ(f.error, DumpErrorTruncated);
    EXPECT_EQ(f.command, -1);
    EXPECT_EQ(f.masterType, 1);

    f = d.dump("FF FF FF FF FF 86 A6 0C 00 01 02 01 01 00 2F");
    EXPECT_EQ(f.error, DumpErrorNoStatus);

    f = d.dump("FF FF 13 37");
    EXPECT_EQ(f.error, DumpErrorNoDelimiter);
    EXPECT_EQ(f.t[T7], "13 37");
    EXPECT_EQ(f.command, -1);

    f = d.dump("FF FF FF");  // nothing but preambles
    EXPECT_EQ(f.error, DumpErrorNoDelimiter);

    f = d.dump("FF FF FF FF FF 86 A6 0C 00 01 02 01 02 88 00 A4");  // communication error reply
    EXPECT_EQ(f.error, DumpErrorNone);
    EXPECT_EQ(f.t[T14], "Communication error: Checksum error");
    EXPECT_EQ(f.t[T7], "");
}

TEST(FrameDump, ARepeatedRequestMeansTheDeviceDidNotAnswer) {
    Dumper d;
    EXPECT_EQ(d.dump(kRequest1).error, DumpErrorNone);
    auto f = d.dump(kRequest1);
    EXPECT_EQ(f.error, DumpErrorDeviceNotPresent);
    EXPECT_EQ(f.t[T15], "Device not present!");
    EXPECT_EQ(d.dump(kReply1).error, DumpErrorNone);
    EXPECT_EQ(d.dump(kRequest1).error, DumpErrorNone);  // the last one was answered
    // Another master's request after ours is no sign of an absent device.
    EXPECT_EQ(d.dump(kRequest1Secondary).error, DumpErrorNone);
}

TEST(FrameDump, TimingCountsFromThePreviousFrame) {
    Dumper d;
    d.dump(kRequest1, 5000);
    auto f = d.dump(kReply1, 5143);
    EXPECT_EQ(f.t[T12], "00143");
    EXPECT_EQ(f.t[T13], "");
    f = d.dump(kRequest1, 5143 + 250000);  // a long silence
    EXPECT_EQ(f.t[T12], "99999");
    EXPECT_EQ(f.t[T13], "t=255.143 s");
}

TEST(FrameDump, EmptyInputIsNoFrame) {
    Dumper d;
    FrameDump(nullptr, 0, d.f, d.requestTexts, d.replyTexts);
    EXPECT_EQ(d.f.error, DumpErrorNoDelimiter);
    EXPECT_EQ(d.f.command, -1);
}

}  // namespace
