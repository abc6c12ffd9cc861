// The meters on the line: bytes in, bytes out with their timing, and faults.
// One line may carry several meters (a multi-drop loop), each answering at its
// own polling address and unique id; faults belong to the line. Used
// in-process by tests and by the corvane-meter-sim program alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
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
    bool burst = false;      // start the line's first meter in burst mode
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

// Why these meters cannot share one line (two at the same polling address),
// or an empty text when they can.
std::string lineConflict(const std::vector<const Meter*>& meters);

class MeterLine {
public:
    using Transmission = corvane::sim::Transmission;

    MeterLine(Meter& meter, FaultOptions faults = {}, int lineMode = 0);
    // Several meters on one line, in the order given; none may be null.
    MeterLine(std::vector<Meter*> meters, FaultOptions faults = {}, int lineMode = 0);

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
    // The next burst frame of a meter in burst mode (in turn when several
    // are), to go out after delayMs of quiet line.
    std::optional<Transmission> nextBurst();
    bool anyBursting() const;
    const std::vector<Meter*>& meters() const { return meters_; }

    int lineMode() const { return lineMode_; }
    int turnaroundMs() const;
    int lateDelayMs() const;
    const FaultCounts& faultCounts() const { return counts_; }

private:
    bool draw(double probability);
    std::optional<Transmission> answer(Meter& meter, const wendrel::Frame& request);

    std::vector<Meter*> meters_;
    size_t nextBurster_ = 0;
    FaultOptions faults_;
    int lineMode_;
    std::mt19937 random_;
    wendrel::FrameParser parser_;
    std::vector<wendrel::ParsedFrame> completed_;
    FaultCounts counts_;
};

}  // namespace corvane::sim
