// Helpers for the meter's tests: frames go in and come out as hex text.
#pragma once

#include <gtest/gtest.h>

#include <array>
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

// Every command the meter knows, with a valid request for the default meter in
// edit mode (with a gas grid and service access level 2) and the length of
// its reply data.
struct CatalogueEntry {
    uint8_t command;
    const char* request;
    size_t replyBytes;
};

inline const std::vector<CatalogueEntry>& catalogue() {
    static const std::vector<CatalogueEntry> entries{
        {0, "", 12}, {1, "", 5}, {2, "", 8}, {3, "", 24}, {6, "00", 1},
        {11, "19 4B 71 C3 18 20", 12}, {12, "", 24}, {13, "", 21}, {14, "", 16}, {15, "", 17}, {16, "", 3},
        {17, "20 53 0C 3E 05 CF 48 C1 20 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20", 24},
        {18, "04 20 C4 14 61 C8 18 C3 D7 80 C2 4E 16 0C E0 82 08 20 0F 06 63", 21}, {19, "01 E2 40", 3},
        {34, "3F800000", 4}, {35, "10 437A0000 00000000", 9}, {38, "", 0}, {39, "00", 1},
        {40, "00000000", 4}, {42, "", 0}, {44, "10", 1}, {45, "40800000", 4}, {46, "41A00000", 4},
        {48, "", 14}, {50, "", 4}, {53, "04 21", 2}, {59, "05", 1}, {108, "01", 1}, {109, "00", 1},
        {128, "F1", 1}, {129, "", 6}, {130, "00", 1}, {132, "", 9}, {133, "", 1}, {135, "", 24}, {137, "", 16},
        {144, "42700000", 4}, {145, "", 4}, {146, "416B22D1", 4}, {147, "", 4}, {148, "40400000", 4},
        {149, "", 4}, {150, "", 1}, {151, "00", 1}, {152, "", 4}, {153, "447A0000", 4}, {154, "", 4},
        {155, "42C80000", 4}, {156, "", 4}, {158, "43960000 00000000", 8}, {160, "", 6}, {161, "00", 1},
        {162, "", 6}, {163, "00", 1}, {164, "", 1}, {167, "", 4}, {168, "435C0000", 4}, {170, "", 2},
        {178, "", 20}, {179, "", 16}, {180, "", 12}, {182, "", 8}, {183, "", 5}, {184, "", 16},
        {187, "4E6E6B28 3F800000 82 08 20 82 08 20", 14}, {188, "", 14}, {191, "05", 1}, {193, "02", 1},
        {195, "", 5}, {196, "", 4}, {197, "", 4}, {199, "", 3}, {205, "", 12}, {208, "", 4},
        {209, "400449BA", 4}, {210, "", 4}, {212, "", 8}, {213, "3F800000 42793333", 8}, {214, "", 1},
        {215, "00", 1}, {216, "", 19}, {217, "5C 15 05 4A 08 20 82 08 20 82 08 20 82 08 20 82 08 20 01", 19},
        {218, "00", 2}, {219, "00 03", 2}, {220, "00 42000000 3FE51EB8", 9}, {221, "00", 9},
        {222, "00 42000000 42794AE1", 9}, {223, "00", 9}, {224, "00 00 42000000", 6}, {225, "00 00", 6},
        {226, "00 00 3F000000", 6}, {227, "00 00", 6}, {229, "", 18},
        {230, "28 3C 43 56 52 4E 50 4F 54 53", 2}, {231, "", 7}, {232, "42880000", 4}, {233, "", 4},
        {234, "00", 1}, {235, "", 1}, {238, "41E66666", 4}, {239, "", 4}, {240, "01", 1}, {241, "", 1},
        {247, "00 C3 0C 30", 3}, {248, "02 DC B1 17", 1}, {250, "", 1}, {251, "00", 1}, {252, "", 4},
        {253, "416B22D1", 4},
    };
    return entries;
}

}  // namespace corvane::sim::test
