#include "link/monitor/busview_core.h"

#include "link/driver/typed_frame.h"

#include <algorithm>
#include <ctime>

namespace fenwire {

namespace {

enum Column { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10, T11, T12, T13, T14, T15 };

constexpr char kStoppedBanner[] = "\r\n========*** Stopped ***========";
constexpr char kMasterMismatch[] = "Master types did not match!";
constexpr char kCommandMismatch[] = "Commands did not match!";

int sequence = 0;  // one counter for every monitor of the process

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void addComment(std::string& comment, const char* text) {
    comment += comment.empty() ? text : std::string(" / ") + text;
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

std::string localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &parts);
    return text;
}

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

std::vector<uint8_t> parseCommandList(const std::string& text) {
    return wendrel::NumStrToBytes(text).value_or(std::vector<uint8_t>{});
}

BusviewCore::BusviewCore(MonitorOutput& output, const BusviewSettings& settings, CommandTextTables texts)
    : output_(output), settings_(settings), texts_(std::move(texts)) {
    commandList_ = parseCommandList(settings_.cmdList);
}

int BusviewCore::sequenceCounter() { return sequence; }

void BusviewCore::setRecording(bool on) {
    if (on == recording_) return;
    recording_ = on;
    if (on) {
        framesSinceStart_ = false;
    } else if (framesSinceStart_) {
        Painter p;
        p.add(kStoppedBanner, MonitorColour::Alarm);
        p.add("\r\n\r\n", MonitorColour::Alarm);
        output_.append(p.out);
        sequence = 0;
        framesSinceStart_ = false;
    }
    output_.recordingChanged(on);
    output_.statusChanged();
}

void BusviewCore::restart() { setRecording(true); }

void BusviewCore::setFilterOn(bool on) {
    filterOn_ = on;
    output_.statusChanged();
}

void BusviewCore::setFilter(const std::string& commandListText, int mode) {
    settings_.cmdList = commandListText;
    settings_.filterMode = std::clamp(mode, 0, 2);
    commandList_ = parseCommandList(commandListText);
}

void BusviewCore::setTriggerOn(bool on) {
    triggerOn_ = on;
    output_.statusChanged();
}

std::string BusviewCore::statusLine(int32_t driverHandle) const {
    if (driverHandle == -1) return " Driver not active!";
    std::string s = recording_ ? " Recording..." : " Not Recording!";
    if (scriptCancelRequested) s += ", Running Script Canceled!";
    else if (scriptRunning) s += ", Running Script...";
    if (triggerOn_) s += ", # Trigger #";
    if (filterOn_) s += ", # Filter #";
    return s;
}

void BusviewCore::checkPair(wendrel::FrameText& f) {
    if (f.kind == wendrel::FrameKindReply) {
        if (f.masterType >= 0 && f.lastRequestMasterType >= 0 && f.masterType != f.lastRequestMasterType) {
            addComment(f.t[T15], kMasterMismatch);
            f.mismatch |= 1;
        }
        if (f.command >= 0 && f.lastRequestCommand >= 0 && f.command != f.lastRequestCommand) {
            addComment(f.t[T15], kCommandMismatch);
            f.mismatch |= 2;
        }
    } else if (f.kind == wendrel::FrameKindRequest) {
        if (f.command >= 0) f.lastRequestCommand = f.command;
        if (f.masterType >= 0) f.lastRequestMasterType = f.masterType;
    }
}

void BusviewCore::onFrame(const uint8_t* bytes, int count, int origin, uint32_t timeMs) {
    if (count < 1 || !bytes || !recording_) return;
    wendrel::FrameText& f = current_;
    f.realData = settings_.realDat;
    f.symbolic = settings_.symbCmd;
    f.rsp2Binary = settings_.rsp2Bin;
    f.decimal = settings_.decimal;
    f.origin = origin;
    wendrel::FrameDump(bytes, count, f, texts_.request, texts_.reply, timeMs);
    checkPair(f);
    if (!(settings_.noPreambles && settings_.noAddress)) {
        f.t[T3] = trimmed(f.t[T3]);
        f.t[T6] = trimmed(f.t[T6]);
    }
    if (sequence == 0) f.t[T12] = "00000";
    ++sequence;
    framesSinceStart_ = true;
    if (settings_.noTiming) {
        f.t[T12].clear();
        f.t[T13].clear();
    }

    if (shown(f)) output_.append(buildLine(f));
    ringIndex_ = (ringIndex_ + 1) % kRingSize;
    ring_[static_cast<size_t>(ringIndex_)] = {f, true};

    if (!triggered(f)) return;
    if (settings_.stopOnTrigger) {
        setRecording(false);
        if (scriptRunning && onTriggerStop) onTriggerStop();
    }
    if (filterOn_ && settings_.filterMode == FilterTriggerEventsOnly && ring_[static_cast<size_t>(ringIndex_)].used)
        showTriggerHistory();
}

bool BusviewCore::shown(const wendrel::FrameText& f) const {
    if (!filterOn_) return true;
    const bool listed = std::find(commandList_.begin(), commandList_.end(), f.command) != commandList_.end();
    switch (settings_.filterMode) {
    case FilterShowListed: return commandList_.empty() || listed;
    case FilterHideListed: return !listed;
    default: return false;
    }
}

bool BusviewCore::triggered(const wendrel::FrameText& f) const {
    if (!triggerOn_) return false;
    return (settings_.trigOnNoMatchCmd && (f.mismatch & 2)) || (settings_.trigOnNoMatchMaster && (f.mismatch & 1)) ||
           (settings_.trigOnDevNotPresent && f.error == wendrel::DumpErrorDeviceNotPresent) ||
           (settings_.trigOnAllErr && f.error != wendrel::DumpErrorNone &&
            f.error != wendrel::DumpErrorDeviceNotPresent);
}

void BusviewCore::showTriggerHistory() {
    Painter banner;
    banner.add("<<<<< Trigger: " + localTime() + " >>>>>\r\n");
    output_.append(banner.out);
    for (int step = 1; step <= kRingSize; ++step) {
        auto& slot = ring_[static_cast<size_t>((ringIndex_ + step) % kRingSize)];
        if (!slot.used) continue;
        output_.append(buildLine(slot.frame));
        slot.used = false;
    }
}

MonitorText BusviewCore::buildLine(const wendrel::FrameText& f) const {
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
    if (settings_.noPreambles == 0 || f.error == wendrel::DumpErrorTruncated || f.error == wendrel::DumpErrorNoStatus)
        sep(T1);
    // Each column is considered only when the one before it holds something,
    // shown or not.
    if (nonEmpty(T2)) {
        if (!settings_.noAddress) sep(T2);
        if (nonEmpty(T3)) {
            if (!settings_.noAddress) sep(T3);
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
