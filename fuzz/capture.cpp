// The capture reader fed any bytes, as a file chosen in Open Capture gives
// them: it refuses with a message or reads a capture whole; what it reads
// encodes back to exactly the input; nothing is read beyond the input; the
// frames read render as the monitor renders them.
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "link/monitor/capture.h"

using namespace fenwire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const CaptureRead read = ReadCapture(bytes, "capture.pcapng");
    if (!read.ok) {
        FUZZ_CHECK(!read.error.empty());
        FUZZ_CHECK(read.capture.frames.empty());
        return 0;
    }
    FUZZ_CHECK(read.error.empty());
    FUZZ_CHECK(EncodeCapture(read.capture) == bytes);
    static const CommandTextTables texts;
    for (const MonitorFrame& frame : MonitorFramesOf(read.capture.frames, texts, LineOptions{}))
        FUZZ_CHECK(!RenderFrameLine(frame, texts).text.empty());
    return 0;
}
