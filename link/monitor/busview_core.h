// The bus monitor without its window: takes each frame seen on the line,
// filters, keeps the rows shown (frames as records, up to the kept-frames
// capacity) and the ring of the last 20 frames, checks replies against their
// requests and fires the trigger. It tells a MonitorOutput, the window or a
// test's recorder, of every line it adds, and knows nothing of Qt.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/driver/frame_dump.h"
#include "link/monitor/busview_settings.h"
#include "link/monitor/monitor_line.h"
#include "link/monitor/monitor_rows.h"

namespace fenwire {

class MonitorOutput {
public:
    virtual ~MonitorOutput() = default;
    // A row was added to the kept rows; this is its line ("\r\n" ends it).
    virtual void append(const MonitorText& text) = 0;
    // Recording switched on or off.
    virtual void recordingChanged(bool /*on*/) {}
    virtual void statusChanged() {}
    // The kept rows were emptied.
    virtual void rowsCleared() {}
};

enum FilterMode { FilterShowListed = 0, FilterHideListed = 1, FilterTriggerEventsOnly = 2 };

inline constexpr int kRingSize = 20;

class BusviewCore {
public:
    BusviewCore(MonitorOutput& output, const BusviewSettings& settings, CommandTextTables texts);

    BusviewSettings& settings() { return settings_; }
    const BusviewSettings& settings() const { return settings_; }

    // One frame from the driver: its line bytes, origin (0 sent, 1 received),
    // the driver's time stamp and when the monitor saw it (microseconds since
    // 1970; below 0: now).
    void onFrame(const uint8_t* bytes, int count, int origin, uint32_t timeMs, int64_t seenUs = -1);
    // The port number of the line watched (COM n), kept with each frame; 0 unknown.
    int linePort = 0;

    // Shows frames read from a capture in place of the kept rows: recording
    // stops (without the Stopped banner) and the frames are read as the
    // monitor reads a live line, with the current View options. New, or
    // Monitor Frames, goes back to the line on an empty page.
    void showCapture(const std::vector<MonitorFrame>& frames, const std::string& name);
    bool showingCapture() const { return showingCapture_; }
    // The texts the lines are rendered with.
    const CommandTextTables& texts() const { return texts_; }

    bool recording() const { return recording_; }
    // Off appends the Stopped banner when a frame came since the last start
    // and sets the sequence counter back to 0.
    void setRecording(bool on);
    // New: recording on again, on an empty page.
    void restart();

    bool filterOn() const { return filterOn_; }
    void setFilterOn(bool on);
    // The filter dialog's OK: the list text and the mode.
    void setFilter(const std::string& commandListText, int mode);
    const std::vector<uint8_t>& commandList() const { return commandList_; }

    bool triggerOn() const { return triggerOn_; }
    void setTriggerOn(bool on);

    bool lsbFirst = false;

    // Called when the trigger stops recording: a running script is cancelled.
    std::function<void()> onTriggerStop;
    // For the status line: set by the script runner.
    bool scriptRunning = false;
    bool scriptCancelRequested = false;

    // The status line for a driver handle.
    std::string statusLine(int32_t driverHandle) const;

    // The rows shown, oldest first; how many the capacity keeps comes from
    // the settings ("KeptFrames").
    const MonitorRows& rows() const { return rows_; }
    void setKeptFrames(size_t capacity);
    // The line of a kept row.
    MonitorText rowText(const MonitorRow& row) const { return RenderRow(row, texts_); }
    // Find over the kept rows (monitor_rows.h).
    FindResult find(const FindQuery& query, std::optional<uint64_t> from, bool forward) const {
        return FindRow(rows_, texts_, query, from, forward);
    }
    // The options the next frame's line is built with.
    LineOptions lineOptions() const;

    // Frames since the counter was last set back, shared by every monitor of the process.
    static int sequenceCounter();

    struct RingSlot {
        MonitorFrame frame;
        bool used = false;
    };
    const std::array<RingSlot, kRingSize>& ring() const { return ring_; }
    int ringIndex() const { return ringIndex_; }

private:
    bool shown(const wendrel::FrameText& frame) const;
    bool triggered(const wendrel::FrameText& frame) const;
    void showTriggerHistory();
    void addFrameRow(MonitorFrame frame, const MonitorText& line);
    void addNote(const std::string& text, bool alarm);

    MonitorOutput& output_;
    BusviewSettings settings_;
    CommandTextTables texts_;
    MonitorLineBuilder builder_{texts_};
    MonitorRows rows_;
    bool recording_ = true;
    bool showingCapture_ = false;
    std::string captureName_;
    bool framesSinceStart_ = false;
    bool filterOn_ = false;
    bool triggerOn_ = false;
    std::vector<uint8_t> commandList_;
    std::array<RingSlot, kRingSize> ring_{};
    int ringIndex_ = kRingSize - 1;  // the newest slot; the first frame goes to slot 0
};

// The command list of the filter, a number list of the frame driver
// ("1, 3, 128-130"); a list it cannot read is empty.
std::vector<uint8_t> parseCommandList(const std::string& text);

}  // namespace fenwire
