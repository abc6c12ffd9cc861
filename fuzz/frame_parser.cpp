// The frame receiver fed an arbitrary byte stream. The first two input bytes
// say after how many stream bytes the line falls silent each time (0: never,
// up to 32767); the rest is the stream. When the top bit of the second byte is
// set, three more bytes follow before the stream: a run of 0xFF bytes of the
// length in the first two (little-endian, up to 65535) goes into the stream
// after as many stream bytes as the third says, so inputs of a few bytes
// reach preamble runs far longer than any count a frame keeps.
//
// Every frame reported must be one the line really carried: its raw bytes
// appear in the stream, in order, after the previous frame's; a good frame
// encodes back to exactly those bytes; a reply carries its status bytes.
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/driver/frame.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t bytesPerSilence = size_t{data[0]} | size_t{data[1] & 0x7Fu} << 8;
    const bool withRun = (data[1] & 0x80) != 0;
    const size_t header = withRun ? 5 : 2;
    if (size < header) return 0;
    std::vector<uint8_t> line(data + header, data + size);
    if (withRun) {
        const size_t runLength = size_t{data[2]} | size_t{data[3]} << 8;
        const size_t at = std::min<size_t>(data[4], line.size());
        line.insert(line.begin() + static_cast<long>(at), runLength, 0xFF);
    }
    const uint8_t* stream = line.data();
    const size_t streamSize = line.size();

    const uint8_t* cursor = stream;  // just past the last frame reported
    const uint8_t* fed = stream;     // just past the last byte fed
    FrameParser parser([&](const ParsedFrame& p) {
        FUZZ_CHECK(p.preambles >= 2 && p.preambles <= kMaxCountedPreambles);
        FUZZ_CHECK(p.raw.size() > static_cast<size_t>(p.preambles));
        // Reported the moment its last byte came, after the previous frame.
        FUZZ_CHECK(p.raw.size() <= static_cast<size_t>(fed - cursor));
        FUZZ_CHECK(std::equal(p.raw.begin(), p.raw.end(), fed - p.raw.size()));
        cursor = fed;
        FUZZ_CHECK(isValidDelimiter(p.raw[static_cast<size_t>(p.preambles)]));
        FUZZ_CHECK(p.frame.data.size() <= kMaxDataBytes);
        FUZZ_CHECK(p.frame.expansion.size() <= 3);
        switch (p.error) {
        case FrameError::None:
            FUZZ_CHECK(encodeFrame(p.frame, p.preambles) == p.raw);
            FUZZ_CHECK(!p.frame.isReply() || p.frame.data.size() >= 2);
            break;
        case FrameError::BadChecksum: {
            const std::vector<uint8_t> good = encodeFrame(p.frame, p.preambles);
            FUZZ_CHECK(good.size() == p.raw.size());
            FUZZ_CHECK(std::equal(good.begin(), good.end() - 1, p.raw.begin()));
            FUZZ_CHECK(good.back() != p.raw.back());
            break;
        }
        case FrameError::Malformed:
            FUZZ_CHECK(p.frame.isReply() && p.frame.data.size() < 2);
            FUZZ_CHECK(encodeFrame(p.frame, p.preambles) == p.raw);
            break;
        case FrameError::Truncated:
            FUZZ_CHECK(p.raw.size() < encodeFrame(p.frame, p.preambles).size());
            break;
        }
    });

    // Byte by byte, so a frame's end is known exactly; feeding a read whole
    // is the same loop inside the parser.
    for (size_t at = 0; at < streamSize; ++at) {
        fed = stream + at + 1;
        parser.feed(stream + at, 1);
        if (bytesPerSilence != 0 && (at + 1) % bytesPerSilence == 0) {
            parser.gapTimeout();
            FUZZ_CHECK(!parser.inFrame());
            FUZZ_CHECK(!parser.lineBusy());
        }
    }
    parser.gapTimeout();
    FUZZ_CHECK(!parser.lineBusy());
    return 0;
}
