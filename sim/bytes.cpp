#include "sim/bytes.h"

#include <bit>
#include <algorithm>
#include <cctype>

namespace corvane::sim {

ReplyWriter& ReplyWriter::u8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
}

ReplyWriter& ReplyWriter::u16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
    bytes_.push_back(static_cast<uint8_t>(value));
    return *this;
}

ReplyWriter& ReplyWriter::i32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<uint8_t>(bits >> shift));
    return *this;
}

ReplyWriter& ReplyWriter::u24(uint32_t value) {
    bytes_.push_back(static_cast<uint8_t>(value >> 16));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
    bytes_.push_back(static_cast<uint8_t>(value));
    return *this;
}

ReplyWriter& ReplyWriter::f32(float value) {
    const auto bits = std::bit_cast<uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<uint8_t>(bits >> shift));
    return *this;
}

ReplyWriter& ReplyWriter::packed(const std::string& text, size_t bytes) {
    const auto packedBytes = packAscii(text, bytes);
    bytes_.insert(bytes_.end(), packedBytes.begin(), packedBytes.end());
    return *this;
}

ReplyWriter& ReplyWriter::raw(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

uint8_t RequestReader::u8(size_t offset) const { return offset < data_.size() ? data_[offset] : 0; }

uint32_t RequestReader::u24(size_t offset) const {
    return static_cast<uint32_t>(u8(offset)) << 16 | static_cast<uint32_t>(u8(offset + 1)) << 8 |
           u8(offset + 2);
}

float RequestReader::f32(size_t offset) const {
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i) bits = bits << 8 | u8(offset + i);
    return std::bit_cast<float>(bits);
}

std::string RequestReader::packed(size_t offset, size_t bytes) const {
    if (offset >= data_.size()) return {};
    const size_t available = std::min(bytes, data_.size() - offset);
    return unpackAscii(data_.data() + offset, available);
}

std::string RequestReader::packedText(size_t offset, size_t bytes) const {
    std::string text = packed(offset, bytes);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::vector<uint8_t> packAscii(const std::string& text, size_t bytes) {
    const size_t characters = bytes / 3 * 4;
    std::vector<uint8_t> out(bytes, 0);
    // Six bits per character, most significant first, across byte boundaries.
    for (size_t i = 0; i < characters; ++i) {
        unsigned char c = i < text.size() ? static_cast<unsigned char>(text[i]) : ' ';
        c = static_cast<unsigned char>(std::toupper(c));
        if (c < 0x20 || c > 0x5F) c = '?';
        const unsigned sixBits = c & 0x3F;
        for (int bit = 5; bit >= 0; --bit) {
            const size_t position = i * 6 + static_cast<size_t>(5 - bit);
            if (sixBits >> bit & 1) out[position / 8] |= static_cast<uint8_t>(0x80 >> (position % 8));
        }
    }
    return out;
}

std::string unpackAscii(const uint8_t* bytes, size_t count) {
    const size_t characters = count * 8 / 6;
    std::string out;
    out.reserve(characters);
    for (size_t i = 0; i < characters; ++i) {
        unsigned sixBits = 0;
        for (size_t bit = 0; bit < 6; ++bit) {
            const size_t position = i * 6 + bit;
            sixBits = sixBits << 1 | ((bytes[position / 8] >> (7 - position % 8)) & 1);
        }
        out.push_back(static_cast<char>(sixBits < 0x20 ? sixBits + 0x40 : sixBits));
    }
    return out;
}

}  // namespace corvane::sim
