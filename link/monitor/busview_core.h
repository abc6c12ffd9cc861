// The bus monitor without its window: turns each frame seen on the line into
// a coloured text line, filters, keeps the ring of the last 20 frames, checks
// replies against their requests and fires the trigger. It writes through a
// MonitorOutput, the window's text area or a test's recorder, and knows
// nothing of Qt.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/driver/frame_dump.h"
#include "link/monitor/busview_settings.h"

namespace fenwire {

// Colours by role; the window turns them into RGB for its background.
enum class MonitorColour {
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

struct ColourRun {
    size_t start = 0;
    size_t length = 0;
    MonitorColour colour = MonitorColour::Text;
    bool operator==(const ColourRun&) const = default;
};

// Text to append, "\r\n" ending lines, with its coloured pieces (the rest is Text).
struct MonitorText {
    std::string text;
    std::vector<ColourRun> runs;
};

class MonitorOutput {
public:
    virtual ~MonitorOutput() = default;
    virtual void append(const MonitorText& text) = 0;
    // Recording switched; the window locks its text area while recording.
    virtual void recordingChanged(bool /*on*/) {}
    virtual void statusChanged() {}
};

enum FilterMode { FilterShowListed = 0, FilterHideListed = 1, FilterTriggerEventsOnly = 2 };

inline constexpr int kRingSize = 20;

class BusviewCore {
public:
    BusviewCore(MonitorOutput& output, const BusviewSettings& settings, CommandTextTables texts);

    BusviewSettings& settings() { return settings_; }
    const BusviewSettings& settings() const { return settings_; }

    // One frame from the driver: its line bytes, origin (0 sent, 1 received) and time stamp.
    void onFrame(const uint8_t* bytes, int count, int origin, uint32_t timeMs);

    bool recording() const { return recording_; }
    // Off appends the Stopped banner when a frame came since the last start
    // and sets the sequence counter back to 0.
    void setRecording(bool on);
    // New: recording on again (the window clears its text).
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

    // The line of a filled record, as the view options say.
    MonitorText buildLine(const wendrel::FrameText& frame) const;

    // Frames since the counter was last set back, shared by every monitor of the process.
    static int sequenceCounter();

    struct RingSlot {
        wendrel::FrameText frame;
        bool used = false;
    };
    const std::array<RingSlot, kRingSize>& ring() const { return ring_; }
    int ringIndex() const { return ringIndex_; }

private:
    bool shown(const wendrel::FrameText& frame) const;
    bool triggered(const wendrel::FrameText& frame) const;
    void checkPair(wendrel::FrameText& frame);
    void showTriggerHistory();

    MonitorOutput& output_;
    BusviewSettings settings_;
    CommandTextTables texts_;
    wendrel::FrameText current_;
    bool recording_ = true;
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
