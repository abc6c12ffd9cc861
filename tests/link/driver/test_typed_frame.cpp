#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"
#include "link/driver/typed_frame.h"

namespace wendrel {
namespace {

const uint8_t kNoId[5] = {0, 0, 0, 0, 0};
const uint8_t kMeterId[5] = {0x26, 0x4E, 0x01, 0x02, 0x03};

// The request of a command text as hex, or "invalid".
std::string RequestHex(const std::string& text, const uint8_t* id = kMeterId) {
    const auto request = ParseCommandText(text, id, 0);
    if (!request) return "invalid";
    return HexToText(request->command) + " | " + toHex(request->data);
}

std::string FrameHex(const std::string& text, const uint8_t* id, int pollAddress) {
    const std::string numbers = DataSyntaxToBuffer(text, id, pollAddress);
    const auto bytes = NumStrToBytes(numbers);
    return bytes ? toHex(*bytes) : "invalid";
}

TEST(TypedFrame, MenuTemplatesGiveTheirRequests) {
    EXPECT_EQ(RequestHex("0,0"), "00 | ");
    EXPECT_EQ(RequestHex("16,0"), "10 | ");
    EXPECT_EQ(RequestHex("19,3,dec24,1234567"), "13 | 12 D6 87");

    const auto message = ParseCommandText("17,24,pca24,32_CHAR_MESSAGE_________________", kMeterId, 0);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->command, 17);
    ASSERT_EQ(message->data.size(), 24u);
    EXPECT_EQ(PickPackedASCII(message->data.data(), 24, 0), "32_CHAR_MESSAGE_________________");

    const auto tag = ParseCommandText("18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101", kMeterId, 0);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->command, 18);
    ASSERT_EQ(tag->data.size(), 21u);
    EXPECT_EQ(toHex(tag->data.data(), 6), "50 11 DF 38 13 45");  // TAG_NAME packed
    EXPECT_EQ(PickPackedASCII(tag->data.data(), 12, 6), "16_CHAR_DESCR.__");
    EXPECT_EQ(toHex(tag->data.data() + 18, 3), "1B 03 65");
}

TEST(TypedFrame, FrameTextIsAWholeFrameLongOrShort) {
    // Unknown identifier: a short frame to the polling address, primary master.
    EXPECT_EQ(DataSyntaxToBuffer("19,3,dec24,1234567", kNoId, 0), "2,128,19,3,18,214,135,209");
    EXPECT_EQ(FrameHex("1,0", kNoId, 5), "02 85 01 00 86");
    // Known identifier: a long frame, master bit over the manufacturer bits.
    EXPECT_EQ(FrameHex("1,0", kMeterId, 5), "82 A6 4E 01 02 03 01 00 " + HexToText(0x82 ^ 0xA6 ^ 0x4E ^ 0x01 ^ 0x02 ^ 0x03 ^ 0x01));
}

TEST(TypedFrame, GrammarBeyondTheTemplates) {
    EXPECT_EQ(RequestHex("0x22, 4, flt, 12.5"), "22 | 41 48 00 00");
    EXPECT_EQ(RequestHex("34,4,FLT32,-1"), "22 | BF 80 00 00");
    EXPECT_EQ(RequestHex("130,7,dec8,255,dec16,-2,dec32,0x01020304"), "82 | FF FF FE 01 02 03 04");
    EXPECT_EQ(RequestHex("131,5,str5,ab"), "83 | 61 62 00 00 00");
    EXPECT_EQ(RequestHex("132,3,hex3,0a1B2c"), "84 | 0A 1B 2C");
    EXPECT_EQ(RequestHex("133,2,0x0A,  7 "), "85 | 0A 07");
    // Quotes carry commas and blanks; a doubled quote is one quote.
    EXPECT_EQ(RequestHex("134,6,str6,\" a,\"\"b\" "), "86 | 20 61 2C 22 62 00");
    const auto quoted = ParseCommandText("17,3,pca3,\"a,B\"", kMeterId, 0);
    ASSERT_TRUE(quoted);
    EXPECT_EQ(PickPackedASCII(quoted->data.data(), 3, 0), "A,B ");
    EXPECT_EQ(RequestHex("17,3,pca3,a,b"), "invalid");  // unquoted, the comma ends the text
    const auto lower = ParseCommandText("17,3,Pca3,ab_c", kMeterId, 0);
    ASSERT_TRUE(lower);
    EXPECT_EQ(PickPackedASCII(lower->data.data(), 3, 0), "AB_C");
    // An empty text after pca is blanks.
    EXPECT_EQ(RequestHex("17,3,pca3,"), "11 | 82 08 20");
}

TEST(TypedFrame, MalformedTextsGiveNoFrame) {
    const char* bad[] = {
        "", "   ", "1", "1,", "abc,0", "-1,0", "256,0", "1,256", "1,0x",
        "1,1", "1,0,5", "1,2,5", "1,1,5 6", "1,1,\"5\"", "1,1,0x100", "1,1,-1",
        "1,1,5,", "1,0,,",
        "17,24,pca24,32_CHAR_MESSAGE__________________",  // 33 characters
        "17,3,pca3,ab~",                                  // not in Packed ASCII
        "17,3,pca3,\"abc",                                // unterminated quote
        "17,3,pca3,\"abc\"d",                             // text after the quote
        "17,6,pca6",                                      // keyword without its text
        "17,0,pca0,",
        "19,3,dec24,16777216", "19,3,dec24,-8388609", "19,2,dec24,5", "19,3,dec12,5", "19,5,dec40,5",
        "19,1,dec,5", "19,3,dec24,12a", "19,3,dec24,\"5\"",
        "34,4,flt,abc", "34,4,flt,1.5x", "34,4,flt16,1", "34,4,flt,",
        "35,2,str1,ab", "35,2,hex2,0A1", "35,2,hex2,0A1G", "35,1,hex,0A",
        "1,1,decimal,5", "1,1,pcaX,5",
    };
    for (const char* text : bad) {
        EXPECT_EQ(DataSyntaxToBuffer(text, kMeterId, 0), "") << text;
        EXPECT_FALSE(ParseCommandText(text, kNoId, 0)) << text;
    }
    // More than a frame carries.
    std::string tooLong = "1,255";
    for (int i = 0; i < 256; ++i) tooLong += ",1";
    EXPECT_EQ(DataSyntaxToBuffer(tooLong, kMeterId, 0), "");
    EXPECT_TRUE(ParseCommandText("1,0", nullptr, 0));  // no identifier at all: a short frame
}

TEST(TypedFrame, LargestFrameFits) {
    std::string text = "1,255";
    for (int i = 0; i < 255; ++i) text += "," + std::to_string(i);
    const auto request = ParseCommandText(text, kMeterId, 0);
    ASSERT_TRUE(request);
    ASSERT_EQ(request->data.size(), 255u);
    EXPECT_EQ(request->data[254], 254);
}

TEST(NumberList, ValuesRangesAndSeparators) {
    uint8_t buffer[16] = {};
    EXPECT_EQ(NumStrToBuffer("0, 1, 3, 12-16", buffer, 16), 8);
    EXPECT_EQ(toHex(buffer, 8), "00 01 03 0C 0D 0E 0F 10");
    EXPECT_EQ(NumStrToBuffer(" 0x1F;2 3\t255 ", buffer, 16), 4);
    EXPECT_EQ(toHex(buffer, 4), "1F 02 03 FF");
    EXPECT_EQ(NumStrToBuffer("7 - 7", buffer, 16), 1);
    EXPECT_EQ(NumStrToBuffer("", buffer, 16), 0);
    EXPECT_EQ(NumStrToBuffer("  ", nullptr, 0), 0);
    EXPECT_EQ(NumStrToBytes("0-255")->size(), 256u);
}

TEST(NumberList, InvalidListsAndFullBuffersWriteNothingBeyond) {
    for (const char* text : {"1,,2", "16-12", "256", "1,", ",1", "12x", "-", "1 -", "1-", "0x", "1.5", "+1", "1,2;;3"}) {
        uint8_t buffer[8] = {};
        EXPECT_EQ(NumStrToBuffer(text, buffer, 8), -1) << text;
        EXPECT_FALSE(NumStrToBytes(text)) << text;
    }
    uint8_t guarded[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(NumStrToBuffer("1 2 3 4", guarded + 1, 4), 4);
    EXPECT_EQ(toHex(guarded, 6), "EE 01 02 03 04 EE");
    EXPECT_EQ(NumStrToBuffer("1-5", guarded + 1, 4), -1);
    EXPECT_EQ(NumStrToBuffer("9 9 9 9 9", guarded + 1, 4), -1);
    EXPECT_EQ(guarded[5], 0xEE);
    EXPECT_EQ(NumStrToBuffer("1", nullptr, 4), -1);
    EXPECT_EQ(NumStrToBuffer("1", guarded, -1), -1);
}

TEST(TypedFrame, RequestOfFrameBytesFollowsTheDelimiterAndStaysInside) {
    // A short frame with more than 7 bytes is read as short.
    std::vector<uint8_t> shortFrame;
    ASSERT_TRUE(fromHex("02 80 22 04 41 48 00 00 00", shortFrame));
    const auto request = RequestOfFrameBytes(shortFrame.data(), static_cast<int>(shortFrame.size()));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->command, 0x22);
    EXPECT_EQ(toHex(request->data), "41 48 00 00");
    // A byte count that claims more than the bytes hold, and frames too short.
    std::vector<uint8_t> lying;
    ASSERT_TRUE(fromHex("82 A6 4E 01 02 03 22 09 41 48", lying));
    EXPECT_FALSE(RequestOfFrameBytes(lying.data(), static_cast<int>(lying.size())));
    EXPECT_FALSE(RequestOfFrameBytes(shortFrame.data(), 3));
    EXPECT_FALSE(RequestOfFrameBytes(lying.data(), 7));
    EXPECT_FALSE(RequestOfFrameBytes(nullptr, 5));
    // Without its checksum a frame still gives its data.
    EXPECT_TRUE(RequestOfFrameBytes(shortFrame.data(), 8));
}

TEST(TextHelpers, GetHexValAndCutPieceTrim) {
    EXPECT_EQ(GetHexVal("1F"), 0x1F);
    EXPECT_EQ(GetHexVal(" 0xaB "), 0xAB);
    EXPECT_EQ(GetHexVal("7FFFFFFF"), 0x7FFFFFFF);
    for (const char* bad : {"", "0x", "G", "1 2", "-1", "80000000", "123456789ABCDEF01"}) EXPECT_EQ(GetHexVal(bad), -1) << bad;

    std::string rest = " 18 , 21,pca6 ,";
    EXPECT_EQ(CutPieceTrim(rest), "18");
    EXPECT_EQ(CutPieceTrim(rest), "21");
    EXPECT_EQ(CutPieceTrim(rest), "pca6");
    EXPECT_EQ(rest, "");
    EXPECT_EQ(CutPieceTrim(rest), "");
    rest = "a|b";
    EXPECT_EQ(CutPieceTrim(rest, '|'), "a");
    EXPECT_EQ(CutPieceTrim(rest, '|'), "b");
}

}  // namespace
}  // namespace wendrel
