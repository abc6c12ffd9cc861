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

std::string lineConflict(const std::vector<const Meter*>& meters) {
    for (size_t i = 0; i < meters.size(); ++i)
        for (size_t j = 0; j < i; ++j) {
            const std::string pair = "devices " + std::to_string(j + 1) + " and " + std::to_string(i + 1);
            if (meters[i]->state().pollingAddress == meters[j]->state().pollingAddress)
                return pair + " both answer at polling address " + std::to_string(meters[i]->state().pollingAddress);
            // Both would answer every request by long address.
            if (meters[i]->state().uniqueId() == meters[j]->state().uniqueId())
                return pair + " have the same unique identifier (manufacturer, device type and device_id)";
        }
    return {};
}

MeterLine::MeterLine(Meter& meter, FaultOptions faults, int lineMode)
    : MeterLine(std::vector<Meter*>{&meter}, faults, lineMode) {}

MeterLine::MeterLine(std::vector<Meter*> meters, FaultOptions faults, int lineMode)
    : meters_(std::move(meters)),
      faults_(faults),
      lineMode_(lineMode >= 0 && lineMode <= 2 ? lineMode : 0),
      random_(faults.seed),
      parser_([this](const wendrel::ParsedFrame& frame) { completed_.push_back(frame); }) {
    if (faults_.burst && !meters_.empty()) meters_.front()->state().burstMode = true;
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
        // Every meter hears every frame; normally only one is addressed.
        for (Meter* meter : meters_)
            if (auto transmission = answer(*meter, parsed.frame)) out.push_back(std::move(*transmission));
    }
    return out;
}

std::optional<MeterLine::Transmission> MeterLine::answer(Meter& meter, const wendrel::Frame& request) {
    if (!meter.isAddressedTo(request)) return std::nullopt;
    const bool noAnswer = draw(faults_.noAnswer);
    const bool busy = draw(faults_.busy);
    const bool badChecksum = draw(faults_.badChecksum);
    const bool late = draw(faults_.late);
    const bool noise = draw(faults_.noise);

    std::optional<wendrel::Frame> reply;
    if (noAnswer) {
        if (meter.handle(request)) ++counts_.noAnswer;
        return std::nullopt;
    }
    reply = busy ? meter.replyBusy(request) : meter.handle(request);
    if (!reply) return std::nullopt;
    if (busy) ++counts_.busy;

    Transmission t{wendrel::encodeFrame(*reply, meter.responsePreambles()), turnaroundMs()};
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

bool MeterLine::anyBursting() const {
    for (const Meter* meter : meters_)
        if (meter->state().burstMode) return true;
    return false;
}

std::optional<MeterLine::Transmission> MeterLine::nextBurst() {
    for (size_t tried = 0; tried < meters_.size(); ++tried) {
        Meter& meter = *meters_[nextBurster_];
        nextBurster_ = (nextBurster_ + 1) % meters_.size();
        if (auto frame = meter.burstFrame())
            return Transmission{wendrel::encodeFrame(*frame, meter.responsePreambles()),
                                static_cast<int>(std::lround(kBurstQuietChars * characterTimeMs(lineMode_)))};
    }
    return std::nullopt;
}

}  // namespace corvane::sim
