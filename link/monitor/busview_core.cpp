#include "link/monitor/busview_core.h"

#include "link/driver/typed_frame.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace fenwire {

namespace {

constexpr char kStoppedBanner[] = "\r\n========*** Stopped ***========\r\n\r\n";

int sequence = 0;  // one counter for every monitor of the process

std::string localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &parts);
    return text;
}

}  // namespace

std::vector<uint8_t> parseCommandList(const std::string& text) {
    return wendrel::NumStrToBytes(text).value_or(std::vector<uint8_t>{});
}

BusviewCore::BusviewCore(MonitorOutput& output, const BusviewSettings& settings, CommandTextTables texts)
    : output_(output), settings_(settings), texts_(std::move(texts)), rows_(settings_.keptFrames) {
    commandList_ = parseCommandList(settings_.cmdList);
}

void BusviewCore::setKeptFrames(size_t capacity) {
    rows_.setCapacity(capacity);
    settings_.keptFrames = rows_.capacity();
    output_.statusChanged();
}

LineOptions BusviewCore::lineOptions() const {
    LineOptions o;
    o.preambles = !settings_.noPreambles;
    o.addressing = !settings_.noAddress;
    o.timing = !settings_.noTiming;
    o.decimal = settings_.decimal;
    o.symbolic = settings_.symbCmd;
    o.realData = settings_.realDat;
    o.response2Binary = settings_.rsp2Bin;
    return o;
}

void BusviewCore::addFrameRow(MonitorFrame frame, const MonitorText& line) {
    rows_.appendFrame(std::move(frame), line.text);
    output_.append(line);
}

void BusviewCore::addNote(const std::string& text, bool alarm) {
    rows_.appendNote(text, alarm);
    MonitorText line;
    line.text = text;
    if (alarm) line.runs.push_back({0, text.size(), MonitorColour::Alarm});
    output_.append(line);
}

int BusviewCore::sequenceCounter() { return sequence; }

void BusviewCore::setRecording(bool on) {
    if (on == recording_) return;
    recording_ = on;
    if (on && showingCapture_) {
        // A capture is not continued by the line: the line starts on an empty page.
        showingCapture_ = false;
        rows_.clear();
        output_.rowsCleared();
    }
    if (on) {
        framesSinceStart_ = false;
    } else if (framesSinceStart_) {
        addNote(kStoppedBanner, true);
        sequence = 0;
        framesSinceStart_ = false;
    }
    output_.recordingChanged(on);
    output_.statusChanged();
}

void BusviewCore::restart() {
    setRecording(true);
    rows_.clear();
    output_.statusChanged();
}

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
    std::string s;
    if (showingCapture_) {
        s = " Capture " + captureName_ + " (read-only)";
    } else if (driverHandle == -1) {
        s = " Driver not active!";
    } else {
        s = recording_ ? " Recording..." : " Not Recording!";
        if (scriptCancelRequested) s += ", Running Script Canceled!";
        else if (scriptRunning) s += ", Running Script...";
        if (triggerOn_) s += ", # Trigger #";
        if (filterOn_) s += ", # Filter #";
    }
    // What the view lacks is said whatever the line does.
    if (rows_.droppedFrames() > 0) s += ", " + std::to_string(rows_.droppedFrames()) + " older frames dropped";
    return s;
}

void BusviewCore::showCapture(const std::vector<MonitorFrame>& frames, const std::string& name) {
    setRecording(false);
    rows_.clear();
    for (const MonitorFrame& frame : frames) rows_.appendFrame(frame, RenderFrameLine(frame, texts_).text);
    showingCapture_ = true;
    captureName_ = name;
    output_.rowsCleared();
    output_.statusChanged();
}

void BusviewCore::onFrame(const uint8_t* bytes, int count, int origin, uint32_t timeMs, int64_t seenUs) {
    if (count < 1 || !bytes || !recording_) return;
    if (seenUs < 0)
        seenUs = std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
    // While the sequence counter is 0 (the first frame of the process, or the
    // first after a stop) the gap column reads "00000".
    MonitorFrame frame = builder_.take(bytes, count, origin, timeMs, lineOptions(), sequence == 0);
    frame.timeUs = seenUs;
    frame.linePort = static_cast<uint8_t>(std::clamp(linePort, 0, 255));
    ++sequence;
    framesSinceStart_ = true;
    const wendrel::FrameText& f = builder_.record();

    ringIndex_ = (ringIndex_ + 1) % kRingSize;
    auto& slot = ring_[static_cast<size_t>(ringIndex_)];
    slot.frame = frame;
    slot.used = true;
    if (shown(f)) addFrameRow(std::move(frame), BuildLine(f, lineOptions()));

    if (!triggered(f)) return;
    if (settings_.stopOnTrigger) {
        setRecording(false);
        if (scriptRunning && onTriggerStop) onTriggerStop();
    }
    if (filterOn_ && settings_.filterMode == FilterTriggerEventsOnly && slot.used) showTriggerHistory();
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
    addNote("<<<<< Trigger: " + localTime() + " >>>>>\r\n", false);
    for (int step = 1; step <= kRingSize; ++step) {
        auto& slot = ring_[static_cast<size_t>((ringIndex_ + step) % kRingSize)];
        if (!slot.used) continue;
        addFrameRow(slot.frame, RenderFrameLine(slot.frame, texts_));
        slot.used = false;
    }
}

}  // namespace fenwire
