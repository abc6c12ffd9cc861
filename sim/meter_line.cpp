#include "sim/meter_line.h"

#include <cmath>

namespace corvane::sim {

int lineBitRate(int lineMode) {
    switch (lineMode) {
    case 1: return 9600;
    case 2: return 19200;
    default: return 1200;
    }
}

double characterTimeMs(int lineMode) { return 1000.0 * kBitsPerCharacter / lineBitRate(lineMode); }

MeterLine::MeterLine(Meter& meter, FaultOptions faults, int lineMode)
    : meter_(meter),
      faults_(faults),
      lineMode_(lineMode >= 0 && lineMode <= 2 ? lineMode : 0),
      random_(faults.seed),
      parser_([this](const wendrel::ParsedFrame& frame) { completed_.push_back(frame); }) {
    if (faults_.burst) meter_.state().burstMode = true;
}

int MeterLine::turnaroundMs() const {
    return static_cast<int>(std::lround(kTurnaroundChars * characterTimeMs(lineMode_)));
}

int MeterLine::lateDelayMs() const {
    const int leastLate =
        static_cast<int>(std::ceil((kMasterReplyWaitChars + kLateExtraChars) * characterTimeMs(lineMode_)));
    return std::max(faults_.lateMs, leastLate);
}

bool MeterLine::draw(double probability) {
    // Always draw, so one fault's rate does not shift the others' sequence.
    const double x = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
    return x < probability;
}

std::vector<MeterLine::Transmission> MeterLine::receive(const uint8_t* bytes, size_t count) {
    parser_.feed(bytes, count);
    std::vector<Transmission> out;
    auto frames = std::move(completed_);
    completed_.clear();
    for (const auto& parsed : frames) {
        // A slave answers only what it read whole: bad checksums and cut-off
        // frames get silence, as do replies and burst frames of other slaves.
        if (parsed.error != wendrel::FrameError::None) continue;
        if (auto transmission = answer(parsed.frame)) out.push_back(std::move(*transmission));
    }
    return out;
}

std::optional<MeterLine::Transmission> MeterLine::answer(const wendrel::Frame& request) {
    if (!meter_.isAddressedTo(request)) return std::nullopt;
    const bool noAnswer = draw(faults_.noAnswer);
    const bool busy = draw(faults_.busy);
    const bool badChecksum = draw(faults_.badChecksum);
    const bool late = draw(faults_.late);
    const bool noise = draw(faults_.noise);

    std::optional<wendrel::Frame> reply;
    if (noAnswer) {
        if (meter_.handle(request)) ++counts_.noAnswer;
        return std::nullopt;
    }
    reply = busy ? meter_.replyBusy(request) : meter_.handle(request);
    if (!reply) return std::nullopt;
    if (busy) ++counts_.busy;

    Transmission t{wendrel::encodeFrame(*reply, meter_.responsePreambles()), turnaroundMs()};
    if (badChecksum) {
        t.bytes.back() ^= 0xFF;
        ++counts_.badChecksum;
    }
    if (late) {
        t.delayMs = lateDelayMs();
        ++counts_.late;
    }
    if (noise) {
        const int count = std::uniform_int_distribution<int>(1, 4)(random_);
        std::vector<uint8_t> junk;
        for (int i = 0; i < count; ++i)
            junk.push_back(static_cast<uint8_t>(std::uniform_int_distribution<int>(0x00, 0xFE)(random_)));
        t.bytes.insert(t.bytes.begin(), junk.begin(), junk.end());
        ++counts_.noise;
    }
    return t;
}

std::optional<MeterLine::Transmission> MeterLine::nextBurst() {
    auto frame = meter_.burstFrame();
    if (!frame) return std::nullopt;
    return Transmission{wendrel::encodeFrame(*frame, meter_.responsePreambles()),
                        static_cast<int>(std::lround(kBurstQuietChars * characterTimeMs(lineMode_)))};
}

}  // namespace corvane::sim
