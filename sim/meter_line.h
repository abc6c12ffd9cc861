// The meter on the line: bytes in, bytes out with their timing, and faults.
// Used in-process by tests and by the corvane-meter-sim program alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "link/driver/frame.h"
#include "sim/meter.h"

namespace corvane::sim {

inline constexpr int kBitsPerCharacter = 11;  // start, 8 data, odd parity, stop
inline constexpr int kTurnaroundChars = 2;    // the meter's pause before it answers
inline constexpr int kMasterReplyWaitChars = 33;  // a primary master's wait for a reply
inline constexpr int kBurstQuietChars = 16;   // quiet line before the next burst frame
inline constexpr int kLateExtraChars = 7;     // a late reply misses the master's wait by this

// Line modes: 0 = 1200, 1 = 9600, 2 = 19200 bit/s; other values count as 0.
int lineBitRate(int lineMode);
double characterTimeMs(int lineMode);

// Per-reply fault probabilities, drawn from a generator seeded with `seed`.
struct FaultOptions {
    double noAnswer = 0;     // the command runs, the reply is lost
    double badChecksum = 0;  // the reply's checksum byte is flipped
    double busy = 0;         // response code 32, command not run
    double late = 0;         // the reply starts after the master stopped waiting
    double noise = 0;        // a few random bytes on the line before the preambles
    int lateMs = 400;        // delay of a late reply; never less than the master's wait plus a margin
    bool burst = false;      // start in burst mode
    uint32_t seed = 1;
};

struct FaultCounts {
    int noAnswer = 0, badChecksum = 0, busy = 0, late = 0, noise = 0;
};

// Bytes the meter puts on the line, and when.
struct Transmission {
    std::vector<uint8_t> bytes;  // wire bytes, preambles included
    int delayMs = 0;             // from the end of the request (or, for a burst, of the last frame)
};

class MeterLine {
public:
    using Transmission = corvane::sim::Transmission;

    MeterLine(Meter& meter, FaultOptions faults = {}, int lineMode = 0);

    // Feeds bytes off the line; returns what the meter puts on the line in
    // answer to every complete request meant for it.
    std::vector<Transmission> receive(const uint8_t* bytes, size_t count);
    std::vector<Transmission> receive(const std::vector<uint8_t>& bytes) {
        return receive(bytes.data(), bytes.size());
    }
    // The line was silent longer than a character gap.
    void lineSilent() { parser_.gapTimeout(); }
    // Bytes of a frame (or its preambles) are being read.
    bool lineBusy() const { return parser_.lineBusy(); }
    // In burst mode: the next burst frame, to go out after delayMs of quiet line.
    std::optional<Transmission> nextBurst();

    int lineMode() const { return lineMode_; }
    int turnaroundMs() const;
    int lateDelayMs() const;
    const FaultCounts& faultCounts() const { return counts_; }

private:
    bool draw(double probability);
    std::optional<Transmission> answer(const wendrel::Frame& request);

    Meter& meter_;
    FaultOptions faults_;
    int lineMode_;
    std::mt19937 random_;
    wendrel::FrameParser parser_;
    std::vector<wendrel::ParsedFrame> completed_;
    FaultCounts counts_;
};

}  // namespace corvane::sim
