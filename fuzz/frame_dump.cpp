// FrameDump on arbitrary frames, one after another through the same record as
// the bus monitor feeds them. The first input byte holds the display options
// (real data, symbolic names, decimal, binary status, origin), the second the
// time step between frames in milliseconds; the rest is a series of frames,
// each a length byte and that many line bytes, held in a buffer of exactly
// that size so that a read beyond the frame is caught.
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/driver/frame_dump.h"

using namespace wendrel;

namespace {

CommandTexts namedTexts() {
    CommandTexts texts;
    texts[3] = "Read Dynamic Variables";
    texts[129] = "Read Meter Status, a longer name than most";
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const CommandTexts requestTexts = namedTexts();
    static const CommandTexts replyTexts{};
    FrameText text;
    const uint8_t options = data[0];
    text.realData = options & 1;
    text.symbolic = (options >> 1) & 1;
    text.decimal = (options >> 2) & 1;
    text.rsp2Binary = (options >> 3) & 1;
    uint32_t timeMs = 0;
    size_t at = 2;
    while (at < size) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        const std::vector<uint8_t> frame(data + at + 1, data + at + 1 + length);
        at += 1 + length;
        text.origin = (options >> 4) & 1;
        timeMs += data[1] * 20u;
        FrameDump(frame.data(), static_cast<int>(frame.size()), text, requestTexts, replyTexts, timeMs);
        FUZZ_CHECK(text.error == DumpErrorNone || text.error == DumpErrorChecksum ||
                   text.error == DumpErrorTruncated || text.error == DumpErrorNoStatus ||
                   text.error == DumpErrorNoDelimiter || text.error == DumpErrorDeviceNotPresent);
        FUZZ_CHECK(text.kind >= FrameKindRequest && text.kind <= FrameKindReply);
        FUZZ_CHECK(text.command >= -1 && text.command <= 255);
        FUZZ_CHECK(text.masterType >= -1 && text.masterType <= 1);
        for (const std::string& column : text.t) FUZZ_CHECK(column.size() < 4096);
    }
    return 0;
}
