#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"

namespace wendrel {
namespace {

std::vector<uint8_t> Bytes(std::string_view hex) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(fromHex(hex, out)) << hex;
    return out;
}

std::string PackedHex(const std::string& text, int byteCount) {
    std::vector<uint8_t> field(static_cast<size_t>(byteCount), 0xEE);
    PutPackedASCII(text, field.data(), 0, byteCount);
    return toHex(field);
}

TEST(CodecFloat, KnownEncodingsBothWays) {
    struct Case { float value; const char* hex; };
    const float denormMin = std::numeric_limits<float>::denorm_min();
    for (const Case& c : {Case{12.5f, "41 48 00 00"}, Case{-1.0f, "BF 80 00 00"}, Case{0.0f, "00 00 00 00"},
                          Case{denormMin, "00 00 00 01"}, Case{-INFINITY, "FF 80 00 00"}}) {
        std::vector<uint8_t> buffer = Bytes("AA 00 00 00 00 BB");
        PutFloat(buffer.data(), 1, c.value);
        EXPECT_EQ(toHex(buffer), std::string("AA ") + c.hex + " BB");
        EXPECT_EQ(PickFloat(buffer.data(), 1), c.value) << c.hex;
    }
}

TEST(CodecFloat, NanKeepsItsBits) {
    const std::vector<uint8_t> nan = Bytes("7F C0 12 34");
    const float value = PickFloat(nan.data(), 0);
    EXPECT_TRUE(std::isnan(value));
    std::vector<uint8_t> out(4);
    PutFloat(out.data(), 0, value);
    EXPECT_EQ(toHex(out), "7F C0 12 34");
}

TEST(CodecInt, WidthsAndByteOrders) {
    const std::vector<uint8_t> b = Bytes("00 12 34 56 78 9A");
    EXPECT_EQ(PickInt8(b.data(), 5), 0x9Au);
    EXPECT_EQ(PickInt16(b.data(), 1), 0x1234u);
    EXPECT_EQ(PickInt16(b.data(), 1, 1), 0x3412u);
    EXPECT_EQ(PickInt24(b.data(), 1), 0x123456u);
    EXPECT_EQ(PickInt24(b.data(), 1, 1), 0x563412u);
    EXPECT_EQ(PickInt32(b.data(), 2), 0x3456789Au);
    EXPECT_EQ(PickInt32(b.data(), 2, 1), 0x9A785634u);
}

TEST(CodecInt, PutDropsHighBitsAndStaysInItsField) {
    std::vector<uint8_t> b = Bytes("EE EE EE EE EE EE");
    PutInt16(b.data(), 1, 0xABCD1234);
    EXPECT_EQ(toHex(b), "EE 12 34 EE EE EE");
    PutInt24(b.data(), 1, 0xABCD1234);
    EXPECT_EQ(toHex(b), "EE CD 12 34 EE EE");
    PutInt32(b.data(), 1, 0xABCD1234);
    EXPECT_EQ(toHex(b), "EE AB CD 12 34 EE");
}

TEST(CodecPackedAscii, PacksSixBitCharacters) {
    EXPECT_EQ(PackedHex("ABCD", 3), "04 20 C4");
    EXPECT_EQ(PackedHex("abcd", 3), "04 20 C4");             // upper-cased
    EXPECT_EQ(PackedHex("AB", 3), "04 28 20");               // padded with blanks
    EXPECT_EQ(PackedHex("", 6), "82 08 20 82 08 20");
    EXPECT_EQ(PackedHex("ABCDE", 3), "04 20 C4");            // cut
    EXPECT_EQ(PackedHex("a~\x7F\x1F", 3), "07 FF FF");       // outside 0x20..0x5F: '?'
    EXPECT_EQ(PackedHex("`{\xC4\x80", 3), "FF FF E0");     // U+0100 is one character: one '?'
}

TEST(CodecPackedAscii, EveryCharacterOfTheTextTakesOnePlace) {
    // UTF-8 characters outside the set take one place, so the rest keeps its places.
    EXPECT_EQ(PackedHex("25\xC2\xB0" "C ABC", 6), PackedHex("25?C ABC", 6));   // degree sign
    EXPECT_EQ(PackedHex("CAF\xC3\xA9 \xE2\x82\xAC" "1\xF0\x9F\x98\x80", 9), PackedHex("CAF? ?1?", 9));
    // A byte that starts no valid sequence is one character as well.
    EXPECT_EQ(PackedHex("25\xB0" "C ABC", 6), PackedHex("25?C ABC", 6));
    EXPECT_EQ(PackedHex("\xE2\x82" "AB", 3), PackedHex("??AB", 3));
    std::vector<uint8_t> b(6);
    PutPackedASCII("25\xC2\xB0" "C ABC", b.data(), 0, 6);
    EXPECT_EQ(PickPackedASCII(b.data(), 6, 0), "25?C ABC");
}

TEST(CodecPackedAscii, TagRoundTrip) {
    std::vector<uint8_t> b = Bytes("EE 00 00 00 00 00 00 EE");
    PutPackedASCII("ft-101 a", b.data(), 1, 6);
    EXPECT_EQ(toHex(b), "EE 19 4B 71 C3 18 01 EE");
    EXPECT_EQ(PickPackedASCII(b.data(), 6, 1), "FT-101 A");
    const std::vector<uint8_t> special = Bytes("00 0F DF");  // '@', '@', '?', '_'
    EXPECT_EQ(PickPackedASCII(special.data(), 3, 0), "@@?_");
}

TEST(CodecPackedAscii, PartialGroupsHoldWholeCharactersOnly) {
    const std::vector<uint8_t> b = Bytes("04 20 C4 14 52");
    EXPECT_EQ(PickPackedASCII(b.data(), 1, 0), "A");
    EXPECT_EQ(PickPackedASCII(b.data(), 2, 0), "AB");
    EXPECT_EQ(PickPackedASCII(b.data(), 4, 0), "ABCDE");
    EXPECT_EQ(PickPackedASCII(b.data(), 5, 0), "ABCDEE");
    // The bits left after the last whole character are a blank's, never a cut character's.
    EXPECT_EQ(PackedHex("A", 1), "06");
    EXPECT_EQ(PackedHex("ABC", 2), "04 28");
    EXPECT_EQ(PackedHex("ABCDE", 4), "04 20 C4 16");
}

TEST(CodecBounds, NegativeOffsetsAndCountsTouchNothing) {
    std::vector<uint8_t> b = Bytes("41 42 43 44");
    PutPackedASCII("ABCD", b.data(), 0, 0);
    PutPackedASCII("ABCD", b.data(), 0, -3);
    PutPackedASCII("ABCD", b.data(), -1, 3);
    PutString("XY", b.data(), 0, -1);
    PutString("XY", b.data(), -2, 2);
    PutInt32(b.data(), -1, 0);
    PutFloat(b.data(), -4, 1.0f);
    EXPECT_EQ(toHex(b), "41 42 43 44");
    EXPECT_EQ(PickPackedASCII(b.data(), -3, 0), "");
    EXPECT_EQ(PickPackedASCII(b.data(), 3, -1), "");
    EXPECT_EQ(PickString(b.data(), 0, -1), "");
    EXPECT_EQ(PickString(b.data(), -1, 2), "");
    EXPECT_EQ(PickInt32(b.data(), -1), 0u);
    EXPECT_EQ(PickFloat(nullptr, 0), 0.0f);
}

TEST(CodecString, StopsAtNulAndPadsWithNul) {
    const std::vector<uint8_t> b = Bytes("41 42 00 43 44");
    EXPECT_EQ(PickString(b.data(), 0, 5), "AB");
    EXPECT_EQ(PickString(b.data(), 3, 2), "CD");
    std::vector<uint8_t> out = Bytes("EE FF FF FF FF EE");
    PutString("AB", out.data(), 1, 4);
    EXPECT_EQ(toHex(out), "EE 41 42 00 00 EE");
    PutString("ABCDEF", out.data(), 1, 4);
    EXPECT_EQ(toHex(out), "EE 41 42 43 44 EE");
}

TEST(CodecTables, UnitsAndVendors) {
    EXPECT_EQ(GetHartUnit(1), "inH2O");
    EXPECT_EQ(GetHartUnit(32), "degC");
    EXPECT_EQ(GetHartUnit(43), "m3");
    EXPECT_EQ(GetHartUnit(250), "Not Used");
    EXPECT_EQ(GetHartUnit(251), "None");
    EXPECT_EQ(GetHartUnit(252), "Unknown");
    EXPECT_EQ(GetHartUnit(253), "Special");
    EXPECT_EQ(GetHartUnit(0), "Unknown (0)");
    EXPECT_EQ(GetHartUnit(254), "Unknown (254)");
    EXPECT_EQ(GetHartUnit(-1), "Unknown (-1)");
    EXPECT_EQ(GetHartVendor(0x3D), "Corvane");
    EXPECT_EQ(GetHartVendor(0x11), "Endress+Hauser");
    EXPECT_EQ(GetHartVendor(0), "Unknown (0)");
    EXPECT_EQ(GetHartVendor(255), "Unknown (255)");
}

TEST(CodecText, BinaryAndHexDigits) {
    EXPECT_EQ(IntToBin(10), "00001010");
    EXPECT_EQ(IntToBin(0x1F5, 4), "0101");
    EXPECT_EQ(IntToBin(0x80000001u, 32), "10000000000000000000000000000001");
    EXPECT_EQ(IntToBin(1, 40), IntToBin(1, 32));  // at most 32 digits
    EXPECT_EQ(IntToBin(7, 0), "");
    EXPECT_EQ(IntToBin(7, -5), "");
    EXPECT_EQ(HexToText(0x3A), "3A");
    EXPECT_EQ(HexToText(0x0F), "0F");
    EXPECT_EQ(HexToText(0x1AB), "AB");
}

}  // namespace
}  // namespace wendrel
