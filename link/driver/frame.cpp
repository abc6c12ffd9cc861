#include "link/driver/frame.h"

#include <algorithm>

namespace wendrel {

namespace {
constexpr uint8_t kFrameTypeMask = 0x07;
constexpr uint8_t kExpansionMask = 0x60;
constexpr uint8_t kPhysicalLayerMask = 0x18;
}  // namespace

uint8_t Frame::delimiter() const {
    uint8_t d = static_cast<uint8_t>(type);
    if (longAddress) d |= kLongFrameBit;
    d |= static_cast<uint8_t>((std::min<size_t>(expansion.size(), 3) & 0x03) << 5);
    return d;
}

std::vector<uint8_t> Frame::payload() const {
    if (!isReply() || data.size() <= 2) return {};
    return std::vector<uint8_t>(data.begin() + 2, data.end());
}

uint8_t checksum(const uint8_t* bytes, size_t count) {
    uint8_t x = 0;
    for (size_t i = 0; i < count; ++i) x ^= bytes[i];
    return x;
}

std::vector<uint8_t> encodeFrame(const Frame& frame, int preambles) {
    std::vector<uint8_t> out;
    const size_t dataCount = std::min(frame.data.size(), kMaxDataBytes);
    out.reserve(static_cast<size_t>(std::max(preambles, 0)) + 12 + dataCount);
    out.insert(out.end(), static_cast<size_t>(std::max(preambles, 0)), 0xFF);
    const size_t start = out.size();
    out.push_back(frame.delimiter());
    out.insert(out.end(), frame.address.begin(), frame.address.begin() + (frame.longAddress ? 5 : 1));
    out.insert(out.end(), frame.expansion.begin(),
               frame.expansion.begin() + static_cast<long>(std::min<size_t>(frame.expansion.size(), 3)));
    out.push_back(frame.command);
    out.push_back(static_cast<uint8_t>(dataCount));
    out.insert(out.end(), frame.data.begin(), frame.data.begin() + static_cast<long>(dataCount));
    out.push_back(checksum(out.data() + start, out.size() - start));
    return out;
}

Frame makeRequestShort(uint8_t pollAddress, uint8_t command, std::vector<uint8_t> data,
                       bool primaryMaster) {
    Frame f;
    f.type = FrameType::Stx;
    f.longAddress = false;
    f.address[0] = static_cast<uint8_t>((pollAddress & 0x0F) | (primaryMaster ? kPrimaryMasterBit : 0));
    f.command = command;
    f.data = std::move(data);
    return f;
}

Frame makeRequestLong(const std::array<uint8_t, 5>& uniqueId, uint8_t command,
                      std::vector<uint8_t> data, bool primaryMaster) {
    Frame f;
    f.type = FrameType::Stx;
    f.longAddress = true;
    f.address = uniqueId;
    f.address[0] = static_cast<uint8_t>((uniqueId[0] & 0x3F) | (primaryMaster ? kPrimaryMasterBit : 0));
    f.command = command;
    f.data = std::move(data);
    return f;
}

Frame makeReply(const Frame& request, uint8_t responseCode, uint8_t deviceStatus,
                const std::vector<uint8_t>& payload) {
    Frame f;
    f.type = FrameType::Ack;
    f.longAddress = request.longAddress;
    f.address = request.address;
    f.command = request.command;
    f.data.reserve(2 + payload.size());
    f.data.push_back(responseCode);
    f.data.push_back(deviceStatus);
    f.data.insert(f.data.end(), payload.begin(), payload.end());
    return f;
}

bool isValidDelimiter(uint8_t d) {
    const uint8_t type = d & kFrameTypeMask;
    if (type != 1 && type != 2 && type != 6) return false;
    // Only asynchronous FSK framing (physical layer type 0) is spoken here.
    return (d & kPhysicalLayerMask) == 0;
}

FrameParser::FrameParser(Sink sink) : sink_(std::move(sink)) {}

void FrameParser::reset() {
    state_ = State::Hunt;
    preambleRun_ = 0;
    current_ = ParsedFrame{};
}

void FrameParser::feed(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) take(bytes[i]);
}

void FrameParser::gapTimeout() {
    if (inFrame()) finish(FrameError::Truncated);
    preambleRun_ = 0;
}

void FrameParser::begin(uint8_t delimiter) {
    current_ = ParsedFrame{};
    current_.preambles = preambleRun_;
    current_.raw.assign(static_cast<size_t>(preambleRun_), 0xFF);
    current_.raw.push_back(delimiter);
    current_.frame.type = static_cast<FrameType>(delimiter & kFrameTypeMask);
    current_.frame.longAddress = (delimiter & kLongFrameBit) != 0;
    addressNeeded_ = current_.frame.longAddress ? 5 : 1;
    addressRead_ = 0;
    expansionNeeded_ = (delimiter & kExpansionMask) >> 5;
    preambleRun_ = 0;
    state_ = State::Address;
}

void FrameParser::finish(FrameError error) {
    ParsedFrame done = std::move(current_);
    done.error = error;
    if (error == FrameError::None && done.frame.isReply() && done.frame.data.size() < 2)
        done.error = FrameError::Malformed;
    state_ = State::Hunt;
    current_ = ParsedFrame{};
    if (sink_) sink_(done);
}

void FrameParser::take(uint8_t b) {
    switch (state_) {
    case State::Hunt:
        if (b == 0xFF) {
            if (preambleRun_ < kMaxCountedPreambles) ++preambleRun_;
        } else if (preambleRun_ >= 2 && isValidDelimiter(b)) {
            begin(b);
        } else {
            preambleRun_ = 0;  // noise
        }
        return;
    case State::Address:
        current_.raw.push_back(b);
        current_.frame.address[addressRead_++] = b;
        if (addressRead_ == addressNeeded_)
            state_ = expansionNeeded_ > 0 ? State::Expansion : State::Command;
        return;
    case State::Expansion:
        current_.raw.push_back(b);
        current_.frame.expansion.push_back(b);
        if (current_.frame.expansion.size() == expansionNeeded_) state_ = State::Command;
        return;
    case State::Command:
        current_.raw.push_back(b);
        current_.frame.command = b;
        state_ = State::Count;
        return;
    case State::Count:
        current_.raw.push_back(b);
        dataNeeded_ = b;
        current_.frame.data.reserve(b);
        state_ = dataNeeded_ > 0 ? State::Data : State::Checksum;
        return;
    case State::Data:
        current_.raw.push_back(b);
        current_.frame.data.push_back(b);
        if (current_.frame.data.size() == dataNeeded_) state_ = State::Checksum;
        return;
    case State::Checksum: {
        current_.raw.push_back(b);
        const size_t start = static_cast<size_t>(current_.preambles);
        const uint8_t expected =
            checksum(current_.raw.data() + start, current_.raw.size() - start - 1);
        finish(expected == b ? FrameError::None : FrameError::BadChecksum);
        return;
    }
    }
}

std::string toHex(const uint8_t* bytes, size_t count, bool spaced) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (spaced && i > 0) out.push_back(' ');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

bool fromHex(std::string_view text, std::vector<uint8_t>& out) {
    out.clear();
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        else { out.clear(); return false; }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0) { out.clear(); return false; }
    return true;
}

}  // namespace wendrel
