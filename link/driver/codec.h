// Data-type codecs of the frame driver: the field encodings HART carries in a
// frame's data bytes. Every call takes the buffer and a byte offset; multi-byte
// values are most significant byte first unless a flag says otherwise. The
// caller checks that the field lies inside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace wendrel {

// IEEE 754 single, most significant byte first.
float PickFloat(const uint8_t* buffer, int offset);
void PutFloat(uint8_t* buffer, int offset, float value);

// Unsigned reads. A nonzero lsbFirst reads least significant byte first.
uint32_t PickInt8(const uint8_t* buffer, int offset);
uint32_t PickInt16(const uint8_t* buffer, int offset, int lsbFirst = 0);
uint32_t PickInt24(const uint8_t* buffer, int offset, int lsbFirst = 0);
uint32_t PickInt32(const uint8_t* buffer, int offset, int lsbFirst = 0);
// Writes, most significant byte first; higher bits of value are dropped.
void PutInt16(uint8_t* buffer, int offset, uint32_t value);
void PutInt24(uint8_t* buffer, int offset, uint32_t value);
void PutInt32(uint8_t* buffer, int offset, uint32_t value);

// HART Packed ASCII: four 6-bit characters in three bytes.
// Unpacks byteCount bytes from start: (byteCount / 3) * 4 characters, plus the
// characters a trailing partial group of 1 or 2 bytes holds completely (1 for
// one byte, 2 for two bytes). Trailing blanks are kept.
std::string PickPackedASCII(const uint8_t* buffer, int byteCount, int start);
// Packs text into byteCount bytes at offset: upper-cased, characters outside
// 0x20..0x5F become '?', padded with blanks or cut to the characters that fit.
// The text is UTF-8: every character takes one place, so one outside the set
// ("°", "é") is a single '?' and the rest keeps its places. A byte that starts
// no valid UTF-8 sequence counts as one character of its own.
void PutPackedASCII(const std::string& text, uint8_t* buffer, int offset, int byteCount);

// Plain characters. PickString stops at the first NUL byte; PutString writes the
// text's bytes and pads the rest of the field with NUL bytes, cutting a longer text.
std::string PickString(const uint8_t* buffer, int offset, int count);
void PutString(const std::string& text, uint8_t* buffer, int offset, int count);

// Text of a HART engineering unit code, from the standard unit table.
// Codes the table does not name give "Unknown (<code>)"; 250..253 give their
// HART meanings ("Not Used", "None", "Unknown", "Special").
std::string GetHartUnit(int code);
// Name of a HART manufacturer identification code; unnamed codes give
// "Unknown (<code>)".
std::string GetHartVendor(int code);

// One row of the unit and manufacturer tables.
struct CodeText {
    int code;
    const char* text;
};
// Text of `code` in `table` (sorted by code), or "Unknown (<code>)".
std::string LookupCodeText(std::span<const CodeText> table, int code);
// What LookupCodeText needs of a table; checked at compile time.
constexpr bool CodesStrictlyAscending(std::span<const CodeText> table) {
    for (size_t i = 1; i < table.size(); ++i) {
        if (table[i - 1].code >= table[i].code) return false;
    }
    return true;
}

// Binary digits of the low `bits` bits of value, most significant first: IntToBin(10) = "00001010".
std::string IntToBin(uint32_t value, int bits = 8);
// Two upper-case hexadecimal digits of a byte: HexToText(0x3A) = "3A".
std::string HexToText(uint32_t byte);

}  // namespace wendrel
