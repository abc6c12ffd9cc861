// HART data-link frames: building them for the wire and finding them in a byte
// stream. This file knows nothing of ports, timing or commands; both the master
// (the frame driver) and the slave (the simulated meter) use it.
//
//   preambles | delimiter | address | [expansion] | command | count | data | checksum
//
// For ACK and BACK frames the first two data bytes are the status bytes
// (response code, field device status); Frame::data holds them like any other
// data byte, and the helpers below split them off.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

enum class FrameType : uint8_t {
    Back = 1,  // burst frame, slave to everyone
    Stx = 2,   // master to slave
    Ack = 6,   // slave to master
};

inline constexpr uint8_t kPrimaryMasterBit = 0x80;
inline constexpr uint8_t kBurstBit = 0x40;
inline constexpr uint8_t kLongFrameBit = 0x80;
inline constexpr size_t kMaxDataBytes = 255;
// Preambles counted and kept before a delimiter: a longer run of 0xFF is
// still one frame's start, but only its last 255 bytes are held, so a line
// that sends 0xFF without end costs no memory.
inline constexpr int kMaxCountedPreambles = 255;

struct Frame {
    FrameType type = FrameType::Stx;
    bool longAddress = false;
    // Short form: address[0] only (master bit, burst bit, polling address 0..15).
    // Long form: all five bytes; byte 0 carries master and burst bits over the
    // manufacturer identification in bits 5-0.
    std::array<uint8_t, 5> address{};
    std::vector<uint8_t> expansion;  // 0..3 expansion bytes; empty in practice
    uint8_t command = 0;
    std::vector<uint8_t> data;  // everything between byte count and checksum

    bool isReply() const { return type == FrameType::Ack || type == FrameType::Back; }
    bool fromPrimaryMaster() const { return (address[0] & kPrimaryMasterBit) != 0; }
    bool burstBit() const { return (address[0] & kBurstBit) != 0; }
    uint8_t delimiter() const;

    // Status bytes and payload of an ACK/BACK frame; 0 and empty when absent.
    uint8_t responseCode() const { return isReply() && data.size() >= 1 ? data[0] : 0; }
    uint8_t deviceStatus() const { return isReply() && data.size() >= 2 ? data[1] : 0; }
    std::vector<uint8_t> payload() const;
};

// XOR of every byte given (delimiter through last data byte).
uint8_t checksum(const uint8_t* bytes, size_t count);

// Wire bytes of a frame: `preambles` 0xFF bytes, then the frame and its checksum.
// Data beyond 255 bytes is not representable and is cut (the byte count is one byte).
std::vector<uint8_t> encodeFrame(const Frame& frame, int preambles);

// Builders for the common shapes.
Frame makeRequestShort(uint8_t pollAddress, uint8_t command, std::vector<uint8_t> data,
                       bool primaryMaster = true);
Frame makeRequestLong(const std::array<uint8_t, 5>& uniqueId, uint8_t command,
                      std::vector<uint8_t> data, bool primaryMaster = true);
// A reply (ACK) or burst frame (BACK) to `request`'s address: status bytes, then payload.
Frame makeReply(const Frame& request, uint8_t responseCode, uint8_t deviceStatus,
                const std::vector<uint8_t>& payload);

bool isValidDelimiter(uint8_t delimiter);

enum class FrameError : uint8_t {
    None = 0,
    BadChecksum = 1,
    Truncated = 2,   // the line fell silent inside a frame (gap time-out)
    Malformed = 3,   // a reply too short to carry its two status bytes
};

struct ParsedFrame {
    Frame frame;               // as far as it could be read
    FrameError error = FrameError::None;
    int preambles = 0;         // 0xFF bytes seen before the delimiter, at most kMaxCountedPreambles
    std::vector<uint8_t> raw;  // the bytes as they came off the line, the counted preambles included
};

// Fed bytes as they come off the line; emits every frame it finds to the sink.
// Start detection: at least two 0xFF followed by a valid delimiter. Anything
// else between frames is noise and is skipped.
class FrameParser {
public:
    using Sink = std::function<void(const ParsedFrame&)>;
    explicit FrameParser(Sink sink);

    void feed(const uint8_t* bytes, size_t count);
    void feed(const std::vector<uint8_t>& bytes) { feed(bytes.data(), bytes.size()); }
    // The line has been silent longer than the inter-character gap: a frame
    // that is half read ends as Truncated, and preamble counting starts afresh.
    void gapTimeout();
    // True between a delimiter and the end of its frame.
    bool inFrame() const { return state_ != State::Hunt; }
    // True when 0xFF bytes are being counted or a frame is being read: the line is busy.
    bool lineBusy() const { return inFrame() || preambleRun_ > 0; }
    void reset();

private:
    enum class State { Hunt, Address, Expansion, Command, Count, Data, Checksum };
    void begin(uint8_t delimiter);
    void finish(FrameError error);
    void take(uint8_t byte);

    Sink sink_;
    State state_ = State::Hunt;
    int preambleRun_ = 0;
    ParsedFrame current_;
    size_t addressNeeded_ = 0;
    size_t expansionNeeded_ = 0;
    size_t dataNeeded_ = 0;
    size_t addressRead_ = 0;
};

// Hex text helpers for logs and tests: "82 A6 4E" or "82A64E" (blanks ignored).
std::string toHex(const uint8_t* bytes, size_t count, bool spaced = true);
inline std::string toHex(const std::vector<uint8_t>& bytes, bool spaced = true) {
    return toHex(bytes.data(), bytes.size(), spaced);
}
// Returns false (and leaves `out` empty) on a character that is not a hex digit
// or an odd number of digits.
bool fromHex(std::string_view text, std::vector<uint8_t>& out);

}  // namespace wendrel
