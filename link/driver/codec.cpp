// Data-type codecs of the frame driver. A negative offset or a null buffer
// cannot name a field, so reads give 0 (or an empty text) and writes do nothing;
// a count of zero or less is an empty field.
#include "link/driver/codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace wendrel {

namespace {

bool fieldUsable(const void* buffer, int offset) { return buffer != nullptr && offset >= 0; }

uint32_t pickUnsigned(const uint8_t* buffer, int offset, int width, bool lsbFirst) {
    if (!fieldUsable(buffer, offset)) return 0;
    uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        const int index = lsbFirst ? width - 1 - i : i;
        value = value << 8 | buffer[offset + index];
    }
    return value;
}

void putUnsignedMsbFirst(uint8_t* buffer, int offset, int width, uint32_t value) {
    if (!fieldUsable(buffer, offset)) return;
    for (int i = width - 1; i >= 0; --i) {
        buffer[offset + i] = static_cast<uint8_t>(value);
        value >>= 8;
    }
}

// Packed ASCII is a stream of 6-bit characters, each starting at bit 6 * i,
// bit 0 being the most significant bit of the first byte.
constexpr int kPackedBits = 6;

// Characters a field of byteCount bytes holds completely: four per three
// bytes, and one or two more for a trailing group of one or two bytes.
int64_t packedCharsThatFit(int byteCount) {
    const int64_t bits = int64_t{byteCount} * 8;
    return bits / kPackedBits;
}

uint8_t packedCode(uint32_t c) {
    if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
    if (c < 0x20 || c > 0x5F) c = '?';
    return static_cast<uint8_t>(c & 0x3F);
}

// The characters of a UTF-8 text, one code point each; a byte that starts no
// valid sequence is one character of its own.
std::vector<uint32_t> characters(const std::string& text) {
    std::vector<uint32_t> out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char lead = p[i];
        size_t extra = 0;  // continuation bytes the lead byte announces
        if (lead >= 0xC2 && lead <= 0xDF) extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) extra = 2;
        else if (lead >= 0xF0 && lead <= 0xF4) extra = 3;
        size_t k = 1;
        while (k <= extra && i + k < n && (p[i + k] & 0xC0) == 0x80) ++k;
        if (extra == 0 || k != extra + 1) {
            out.push_back(lead);
            ++i;
            continue;
        }
        uint32_t c = lead & (0x3F >> extra);
        for (size_t j = 1; j <= extra; ++j) c = c << 6 | (p[i + j] & 0x3F);
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

}  // namespace

float PickFloat(const uint8_t* buffer, int offset) {
    return std::bit_cast<float>(pickUnsigned(buffer, offset, 4, false));
}

void PutFloat(uint8_t* buffer, int offset, float value) {
    putUnsignedMsbFirst(buffer, offset, 4, std::bit_cast<uint32_t>(value));
}

uint32_t PickInt8(const uint8_t* buffer, int offset) { return pickUnsigned(buffer, offset, 1, false); }
uint32_t PickInt16(const uint8_t* buffer, int offset, int lsbFirst) {
    return pickUnsigned(buffer, offset, 2, lsbFirst != 0);
}
uint32_t PickInt24(const uint8_t* buffer, int offset, int lsbFirst) {
    return pickUnsigned(buffer, offset, 3, lsbFirst != 0);
}
uint32_t PickInt32(const uint8_t* buffer, int offset, int lsbFirst) {
    return pickUnsigned(buffer, offset, 4, lsbFirst != 0);
}

void PutInt16(uint8_t* buffer, int offset, uint32_t value) { putUnsignedMsbFirst(buffer, offset, 2, value); }
void PutInt24(uint8_t* buffer, int offset, uint32_t value) { putUnsignedMsbFirst(buffer, offset, 3, value); }
void PutInt32(uint8_t* buffer, int offset, uint32_t value) { putUnsignedMsbFirst(buffer, offset, 4, value); }

std::string PickPackedASCII(const uint8_t* buffer, int byteCount, int start) {
    std::string text;
    if (!fieldUsable(buffer, start) || byteCount <= 0) return text;
    const uint8_t* field = buffer + start;
    const int64_t chars = packedCharsThatFit(byteCount);
    text.reserve(static_cast<size_t>(chars));
    for (int64_t i = 0; i < chars; ++i) {
        uint8_t code = 0;
        for (int64_t bit = i * kPackedBits; bit < (i + 1) * kPackedBits; ++bit) {
            code = static_cast<uint8_t>(code << 1 | ((field[bit / 8] >> (7 - bit % 8)) & 1));
        }
        // Codes below 0x20 stand for 0x40..0x5F ('@', 'A'..'Z', ...).
        text.push_back(static_cast<char>(code < 0x20 ? code + 0x40 : code));
    }
    return text;
}

void PutPackedASCII(const std::string& text, uint8_t* buffer, int offset, int byteCount) {
    if (!fieldUsable(buffer, offset) || byteCount <= 0) return;
    uint8_t* field = buffer + offset;
    const int64_t fieldBits = int64_t{byteCount} * 8;
    const int64_t chars = packedCharsThatFit(byteCount);
    const std::vector<uint32_t> textChars = characters(text);
    std::memset(field, 0, static_cast<size_t>(byteCount));
    // Bits past the last whole character are those of a padding blank.
    for (int64_t i = 0; i * kPackedBits < fieldBits; ++i) {
        const bool fromText = i < chars && i < static_cast<int64_t>(textChars.size());
        const uint8_t code = packedCode(fromText ? textChars[static_cast<size_t>(i)] : ' ');
        for (int k = 0; k < kPackedBits; ++k) {
            const int64_t bit = i * kPackedBits + k;
            if (bit >= fieldBits) break;
            if ((code >> (kPackedBits - 1 - k)) & 1) field[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
    }
}

std::string PickString(const uint8_t* buffer, int offset, int count) {
    if (!fieldUsable(buffer, offset) || count <= 0) return {};
    const char* field = reinterpret_cast<const char*>(buffer + offset);
    const void* nul = std::memchr(field, 0, static_cast<size_t>(count));
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : static_cast<size_t>(count);
    return std::string(field, length);
}

void PutString(const std::string& text, uint8_t* buffer, int offset, int count) {
    if (!fieldUsable(buffer, offset) || count <= 0) return;
    const size_t fieldSize = static_cast<size_t>(count);
    const size_t written = std::min(text.size(), fieldSize);
    std::memcpy(buffer + offset, text.data(), written);
    std::memset(buffer + offset + written, 0, fieldSize - written);
}

std::string LookupCodeText(std::span<const CodeText> table, int code) {
    const auto row = std::lower_bound(table.begin(), table.end(), code,
                                      [](const CodeText& entry, int wanted) { return entry.code < wanted; });
    if (row != table.end() && row->code == code) return row->text;
    return "Unknown (" + std::to_string(code) + ")";
}

std::string IntToBin(uint32_t value, int bits) {
    bits = std::clamp(bits, 0, 32);
    std::string digits(static_cast<size_t>(bits), '0');
    for (int i = 0; i < bits; ++i) {
        if ((value >> (bits - 1 - i)) & 1) digits[static_cast<size_t>(i)] = '1';
    }
    return digits;
}

std::string HexToText(uint32_t byte) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(byte >> 4) & 0x0F], kDigits[byte & 0x0F]};
}

}  // namespace wendrel
