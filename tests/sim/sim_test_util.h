// Helpers for the meter's tests: frames go in and come out as hex text.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <optional>
#include <string>
#include <vector>

#include "link/driver/frame.h"
#include "sim/meter.h"

namespace corvane::sim::test {

inline std::vector<uint8_t> bytes(const std::string& hex) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(wendrel::fromHex(hex, out)) << hex;
    return out;
}

// The frames found in wire bytes (preambles optional in `hex`: two are added).
inline std::vector<wendrel::ParsedFrame> parseAll(const std::vector<uint8_t>& wire) {
    std::vector<wendrel::ParsedFrame> frames;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) { frames.push_back(f); });
    parser.feed(wire);
    return frames;
}

inline wendrel::Frame frame(const std::string& hex) {
    auto wire = bytes("FF FF " + hex);
    auto frames = parseAll(wire);
    EXPECT_EQ(frames.size(), 1u) << hex;
    if (frames.empty()) return {};
    EXPECT_EQ(frames[0].error, wendrel::FrameError::None) << hex;
    return frames[0].frame;
}

// A frame without preambles as hex ("86 BD ... F3").
inline std::string hexOf(const wendrel::Frame& f) {
    auto wire = wendrel::encodeFrame(f, 0);
    return wendrel::toHex(wire);
}

inline constexpr std::array<uint8_t, 5> kDefaultId{0x3D, 0x01, 0x0A, 0x1B, 0x2C};

// A long-address request from the primary master to the default meter.
inline wendrel::Frame request(uint8_t command, const std::string& dataHex = "") {
    return wendrel::makeRequestLong(kDefaultId, command, bytes(dataHex));
}

// The reply frame's hex, or "" when the meter stays silent.
inline std::string ask(Meter& meter, const wendrel::Frame& req) {
    auto reply = meter.handle(req);
    return reply ? hexOf(*reply) : std::string();
}

inline float floatAt(const std::vector<uint8_t>& payload, size_t offset) {
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i) bits = bits << 8 | payload.at(offset + i);
    return std::bit_cast<float>(bits);
}

inline std::string floatHex(float value) {
    const auto bits = std::bit_cast<uint32_t>(value);
    std::vector<uint8_t> b{static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
                           static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
    return wendrel::toHex(b);
}

// A meter on a test clock that stands still unless moved.
struct TestMeter {
    double now = 0;
    Meter meter{[this] { return now; }};

    // Sends a command; returns response code, status and payload.
    struct Answer {
        bool answered = false;
        uint8_t code = 0;
        uint8_t status = 0;
        std::vector<uint8_t> payload;
    };
    Answer send(uint8_t command, const std::string& dataHex = "") {
        auto reply = meter.handle(request(command, dataHex));
        if (!reply) return {};
        return {true, reply->responseCode(), reply->deviceStatus(), reply->payload()};
    }
};

}  // namespace corvane::sim::test
