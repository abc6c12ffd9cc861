#include "link/monitor/monitor_line.h"

namespace fenwire {

namespace {

enum Column { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10, T11, T12, T13, T14, T15 };

constexpr char kMasterMismatch[] = "Master types did not match!";
constexpr char kCommandMismatch[] = "Commands did not match!";
constexpr char kSequenceStartGap[] = "00000";

enum OptionBit : uint8_t {
    kPreambles = 1,
    kAddressing = 2,
    kTiming = 4,
    kDecimal = 8,
    kSymbolic = 16,
    kRealData = 32,
    kResponse2Binary = 64,
};

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void addComment(std::string& comment, const char* text) {
    comment += comment.empty() ? text : std::string(" / ") + text;
}

// A reply's mismatches with its request, as comments in T15: master types first.
void addMismatchComments(wendrel::FrameText& f, int mismatch) {
    f.mismatch = mismatch;
    if (mismatch & 1) addComment(f.t[T15], kMasterMismatch);
    if (mismatch & 2) addComment(f.t[T15], kCommandMismatch);
}

// What the monitor does to a dumped frame before it builds the line.
void finishRecord(wendrel::FrameText& f, const LineOptions& options, bool sequenceStart) {
    if (options.preambles || options.addressing) {
        f.t[T3] = trimmed(f.t[T3]);
        f.t[T6] = trimmed(f.t[T6]);
    }
    if (sequenceStart) f.t[T12] = kSequenceStartGap;
    if (!options.timing) {
        f.t[T12].clear();
        f.t[T13].clear();
    }
}

void setDumpOptions(wendrel::FrameText& f, const LineOptions& options, int origin) {
    f.realData = options.realData ? 1 : 0;
    f.symbolic = options.symbolic ? 1 : 0;
    f.rsp2Binary = options.response2Binary ? 1 : 0;
    f.decimal = options.decimal ? 1 : 0;
    f.origin = origin;
}

// Builds a text and its coloured pieces.
class Painter {
public:
    void add(const std::string& piece, MonitorColour colour = MonitorColour::Text) {
        if (piece.empty()) return;
        if (colour != MonitorColour::Text) {
            if (!out.runs.empty() && out.runs.back().colour == colour &&
                out.runs.back().start + out.runs.back().length == out.text.size())
                out.runs.back().length += piece.size();
            else
                out.runs.push_back({out.text.size(), piece.size(), colour});
        }
        out.text += piece;
    }
    MonitorText out;
};

}  // namespace

uint32_t colourRgb(MonitorColour colour, bool white) {
    switch (colour) {
    case MonitorColour::Text: return 0x0000FF;
    case MonitorColour::Time: return 0x800000;
    case MonitorColour::Kind: return 0x000080;
    case MonitorColour::Field: return 0x000000;
    case MonitorColour::Alarm: return 0xFF0000;
    case MonitorColour::Highlight:
    case MonitorColour::Remark: return white ? 0x808000 : 0xFFFF00;
    }
    return 0x0000FF;
}

uint32_t backgroundRgb(bool white) { return white ? 0xFFFFFF : 0xC0C0C0; }

uint8_t LineOptions::bits() const {
    return static_cast<uint8_t>((preambles ? kPreambles : 0) | (addressing ? kAddressing : 0) |
                                (timing ? kTiming : 0) | (decimal ? kDecimal : 0) | (symbolic ? kSymbolic : 0) |
                                (realData ? kRealData : 0) | (response2Binary ? kResponse2Binary : 0));
}

LineOptions LineOptions::fromBits(uint8_t b) {
    LineOptions o;
    o.preambles = b & kPreambles;
    o.addressing = b & kAddressing;
    o.timing = b & kTiming;
    o.decimal = b & kDecimal;
    o.symbolic = b & kSymbolic;
    o.realData = b & kRealData;
    o.response2Binary = b & kResponse2Binary;
    return o;
}

wendrel::FrameText DumpMonitorFrame(const MonitorFrame& frame, const CommandTextTables& texts) {
    const LineOptions options = LineOptions::fromBits(frame.options);
    wendrel::FrameText f;
    f.previousTimeMs = frame.previousTimeMs;
    f.kind = frame.previousKind;
    f.masterType = frame.previousMasterType;
    setDumpOptions(f, options, frame.origin);
    wendrel::FrameDump(reinterpret_cast<const uint8_t*>(frame.bytes.data()), static_cast<int>(frame.bytes.size()), f,
                       texts.request, texts.reply, frame.timeMs);
    addMismatchComments(f, frame.mismatch);
    finishRecord(f, options, frame.sequenceStart);
    return f;
}

MonitorText RenderFrameLine(const MonitorFrame& frame, const CommandTextTables& texts) {
    return BuildLine(DumpMonitorFrame(frame, texts), LineOptions::fromBits(frame.options));
}

MonitorFrame MonitorLineBuilder::take(const uint8_t* bytes, int count, int origin, uint32_t timeMs,
                                      const LineOptions& options, bool sequenceStart) {
    wendrel::FrameText& f = state_;
    MonitorFrame frame;
    if (bytes != nullptr && count > 0) frame.bytes.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
    frame.timeMs = timeMs;
    frame.previousTimeMs = f.previousTimeMs;
    frame.previousKind = static_cast<int8_t>(f.kind);
    frame.previousMasterType = static_cast<int8_t>(f.masterType);
    frame.origin = static_cast<uint8_t>(origin);
    frame.options = options.bits();
    frame.sequenceStart = sequenceStart;

    setDumpOptions(f, options, origin);
    wendrel::FrameDump(bytes, count, f, texts_.request, texts_.reply, timeMs);
    // A reply is compared with the last request; a request becomes the last.
    int mismatch = 0;
    if (f.kind == wendrel::FrameKindReply) {
        if (f.masterType >= 0 && f.lastRequestMasterType >= 0 && f.masterType != f.lastRequestMasterType) mismatch |= 1;
        if (f.command >= 0 && f.lastRequestCommand >= 0 && f.command != f.lastRequestCommand) mismatch |= 2;
    } else if (f.kind == wendrel::FrameKindRequest) {
        if (f.command >= 0) f.lastRequestCommand = f.command;
        if (f.masterType >= 0) f.lastRequestMasterType = f.masterType;
    }
    addMismatchComments(f, mismatch);
    finishRecord(f, options, sequenceStart);
    frame.mismatch = static_cast<uint8_t>(mismatch);
    frame.command = static_cast<int16_t>(f.command);
    return frame;
}

MonitorText BuildLine(const wendrel::FrameText& f, const LineOptions& options) {
    const auto& t = f.t;
    Painter p;
    auto nonEmpty = [&](int c) { return !t[static_cast<size_t>(c)].empty(); };
    auto col = [&](int c) -> const std::string& { return t[static_cast<size_t>(c)]; };
    auto sep = [&](int c, MonitorColour colour = MonitorColour::Text) {
        if (!nonEmpty(c)) return;
        p.add("|");
        p.add(col(c), colour);
    };

    if (nonEmpty(T12)) {
        p.add(col(T12), MonitorColour::Time);
        p.add(">");
    }
    p.add(col(T9), f.highlight ? MonitorColour::Highlight : MonitorColour::Kind);
    if (options.preambles || f.error == wendrel::DumpErrorTruncated || f.error == wendrel::DumpErrorNoStatus) sep(T1);
    // Each column is considered only when the one before it holds something,
    // shown or not.
    if (nonEmpty(T2)) {
        if (options.addressing) sep(T2);
        if (nonEmpty(T3)) {
            if (options.addressing) sep(T3);
            if (nonEmpty(T4)) {
                sep(T4, MonitorColour::Field);
                sep(T5);
                sep(T6);
            }
        }
    }
    if (nonEmpty(T5)) {
        sep(T7, MonitorColour::Field);
        sep(T8);
    }
    if (nonEmpty(T10)) {
        p.add("?", MonitorColour::Remark);
        p.add(col(T10), MonitorColour::Remark);
    }
    if (nonEmpty(T14)) {
        p.add(" ");
        p.add(col(T14), MonitorColour::Remark);
    }
    if (nonEmpty(T13)) {
        if (!p.out.text.empty()) p.add("\r\n");
        p.add(col(T13), MonitorColour::Time);
        p.add("<");
    }
    if ((nonEmpty(T11) || nonEmpty(T15)) && !p.out.text.empty()) p.add("\r\n");
    if (nonEmpty(T11)) {
        p.add("  ");
        p.add(col(T11), MonitorColour::Alarm);
    }
    if (nonEmpty(T15)) {
        p.add("  ");
        p.add(col(T15), MonitorColour::Alarm);
    }
    p.add("\r\n");
    return p.out;
}

}  // namespace fenwire
