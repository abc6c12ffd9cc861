// Byte layouts of the meter's side of the link: big-endian integers, IEEE 754
// single floats and HART Packed ASCII. Written here on purpose rather than
// shared with the driver, so an offset mistake on one side is not mirrored on
// the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::sim {

// Appends fields to a reply payload in wire order.
class ReplyWriter {
public:
    ReplyWriter& u8(uint8_t value);
    ReplyWriter& u16(uint16_t value);
    ReplyWriter& u24(uint32_t value);
    ReplyWriter& i32(int32_t value);
    ReplyWriter& f32(float value);
    // `text` packed into exactly `bytes` bytes (4 characters per 3 bytes),
    // blank padded or cut.
    ReplyWriter& packed(const std::string& text, size_t bytes);
    ReplyWriter& raw(const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// Reads fields of a request by offset. Callers check the length first (the
// command table does); reads past the end return 0 rather than crash.
class RequestReader {
public:
    explicit RequestReader(const std::vector<uint8_t>& data) : data_(data) {}
    size_t size() const { return data_.size(); }
    uint8_t u8(size_t offset) const;
    uint32_t u24(size_t offset) const;
    float f32(size_t offset) const;
    std::string packed(size_t offset, size_t bytes) const;
    // The same without the blanks that pad it on the right.
    std::string packedText(size_t offset, size_t bytes) const;

private:
    const std::vector<uint8_t>& data_;
};

// Packed ASCII of `text` in `bytes` bytes: upper-cased, characters outside
// 0x20..0x5F become '?', blank padded, cut to 4 * bytes / 3 characters.
std::vector<uint8_t> packAscii(const std::string& text, size_t bytes);
std::string unpackAscii(const uint8_t* bytes, size_t count);

}  // namespace corvane::sim
