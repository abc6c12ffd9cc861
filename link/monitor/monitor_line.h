// The bus monitor's line of a frame, without any window: a frame seen on the
// line becomes a compact record (MonitorFrame) that keeps everything its line
// is rendered from, and the line itself (text and coloured pieces) is built
// from that record whenever it is wanted. The monitor window, its log file
// and any other reader of frames (a capture file, a command line) call the
// same two functions, so a frame reads the same everywhere:
//
//   MonitorLineBuilder builder(texts);
//   for each frame on the line, in order:
//       MonitorFrame frame = builder.take(bytes, count, origin, timeMs, options);
//       MonitorText line = RenderFrameLine(frame, texts);
//
// No Qt here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/driver/frame_dump.h"

namespace fenwire {

// Colours by role; colourRgb turns them into RGB for a background.
enum class MonitorColour : uint8_t {
    Text,       // blue, the default
    Time,       // maroon: T12, T13
    Kind,       // navy: T9
    Highlight,  // yellow on grey, olive on white: a highlighted T9
    Field,      // black: command and data
    Remark,     // yellow on grey, olive on white: status meaning, error mark
    Alarm,      // red: errors, comments, the Stopped banner
};
// RGB as 0xRRGGBB.
uint32_t colourRgb(MonitorColour colour, bool whiteBackground);
// RGB of the text area's background.
uint32_t backgroundRgb(bool whiteBackground);

struct ColourRun {
    size_t start = 0;  // in bytes of the text
    size_t length = 0;
    MonitorColour colour = MonitorColour::Text;
    bool operator==(const ColourRun&) const = default;
};

// A line as the monitor shows it: "\r\n" ends it (and separates the parts of
// a frame shown on more than one line); the coloured pieces, the rest Text.
struct MonitorText {
    std::string text;
    std::vector<ColourRun> runs;
};

// Names of commands beside their numbers, as "Commands.ini" gives them: for
// requests ("Cmd%03ds") and replies ("Cmd%03dr"); empty ones fall back to
// the built-in names.
struct CommandTextTables {
    wendrel::CommandTexts request;
    wendrel::CommandTexts reply;
};

// The View menu's choices a line is built with.
struct LineOptions {
    bool preambles = false;        // T1
    bool addressing = false;       // T2, T3
    bool timing = false;           // T12, T13
    bool decimal = true;           // command, byte count, response code in decimal
    bool symbolic = true;          // command names
    bool realData = true;          // universal commands' data decoded
    bool response2Binary = false;  // field device status in binary

    // Packed into one byte, as each kept frame stores them.
    uint8_t bits() const;
    static LineOptions fromBits(uint8_t bits);
    bool operator==(const LineOptions&) const = default;
};

// One frame as the monitor keeps it: its bytes and the little context its
// line depends on (the frame before it, the request it answers, whether it
// was the first after a stop, the options at its arrival).
struct MonitorFrame {
    std::string bytes;            // line bytes as seen, preambles included
    int64_t timeUs = 0;           // when the monitor saw it: microseconds since 1970-01-01 UTC
    uint32_t timeMs = 0;          // the driver's clock
    int32_t previousTimeMs = -1;  // the frame before it; -1 none
    int16_t command = -1;         // -1 unknown (a frame cut before its command)
    int8_t previousKind = wendrel::FrameKindRequest;
    int8_t previousMasterType = -1;
    uint8_t origin = 0;           // 0 sent by this driver, 1 received
    uint8_t mismatch = 0;         // 1 master types differ from the request's, 2 commands differ
    uint8_t options = 0;          // LineOptions::bits
    uint8_t linePort = 0;         // the line's port number (COM n); 0 unknown
    bool sequenceStart = false;   // the first frame after a stop: its gap reads "00000"
};

// The frame record filled as FrameDump fills it for `frame`, with the
// monitor's additions: mismatch comments, trimmed columns, the sequence
// start, the timing columns emptied when Timing is off.
wendrel::FrameText DumpMonitorFrame(const MonitorFrame& frame, const CommandTextTables& texts);

// The line of a filled record under `options`: columns in order, separators
// and colours.
MonitorText BuildLine(const wendrel::FrameText& record, const LineOptions& options);

// The line of a kept frame: DumpMonitorFrame, then BuildLine.
MonitorText RenderFrameLine(const MonitorFrame& frame, const CommandTextTables& texts);

// Frames in line order become records: carries the state from frame to frame
// (the previous frame's kind, master and time; the last request's command
// and master type) and checks each reply against its request.
class MonitorLineBuilder {
public:
    // `texts` is read for every frame: it must outlive the builder.
    explicit MonitorLineBuilder(const CommandTextTables& texts) : texts_(texts) {}

    // The record of the next frame; `sequenceStart` marks the first frame
    // after a stop.
    MonitorFrame take(const uint8_t* bytes, int count, int origin, uint32_t timeMs, const LineOptions& options,
                      bool sequenceStart = false);
    // The last frame taken, filled as DumpMonitorFrame fills it: what filters
    // and triggers look at, and what BuildLine builds its line from.
    const wendrel::FrameText& record() const { return state_; }

private:
    const CommandTextTables& texts_;
    wendrel::FrameText state_;  // the last frame's record; its carried fields lead to the next
};

}  // namespace fenwire
