// The rows the bus monitor keeps: the frames it showed and its own notes
// (the Stopped and Trigger banners), oldest first, at most `capacity` of
// them; when a row comes to a full store the oldest drops out and is
// counted. Frames are kept as records, not text: a row's line is rendered
// when it is wanted (RenderRow). Each row knows the screen lines it covers,
// so a view finds the row under any line without rendering. No Qt here.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/monitor/monitor_line.h"

namespace fenwire {

struct MonitorRow {
    enum class Kind : uint8_t {
        Frame,      // a frame: `frame` holds it
        Note,       // a note of the monitor's own, in the default colour
        AlarmNote,  // a note in red
    };
    MonitorFrame frame;  // a note keeps its text in frame.bytes
    Kind kind = Kind::Frame;
    uint8_t lines = 1;      // screen lines the row covers
    int64_t firstLine = 0;  // its first screen line, counted since the store was last emptied
};

class MonitorRows {
public:
    explicit MonitorRows(size_t capacity);

    size_t capacity() const { return capacity_; }
    // At least 1; rows beyond a smaller capacity drop out, oldest first.
    void setCapacity(size_t capacity);

    // A frame and its line as rendered, which gives the screen lines it covers.
    void appendFrame(MonitorFrame frame, std::string_view line);
    void appendNote(std::string text, bool alarm);
    // Empties the store and sets the counts (rows, lines, dropped) back to 0.
    void clear();

    // Rows are numbered from 0 since the store was last emptied; those kept
    // are firstId() .. endId() - 1.
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    uint64_t firstId() const { return appended_ - rows_.size(); }
    uint64_t endId() const { return appended_; }
    const MonitorRow& row(uint64_t id) const { return rows_[static_cast<size_t>(id - firstId())]; }

    // Screen lines of the kept rows: firstLine() .. endLine() - 1.
    int64_t firstLine() const { return rows_.empty() ? endLine_ : rows_.front().firstLine; }
    int64_t endLine() const { return endLine_; }
    int64_t lineCount() const { return endLine() - firstLine(); }
    // The row covering a kept screen line (clamped into the kept ones).
    uint64_t rowAtLine(int64_t line) const;

    // Characters (bytes) of the longest screen line appended since the store was last emptied.
    size_t widestLine() const { return widestLine_; }

    // Frames that dropped out since the store was last emptied.
    uint64_t droppedFrames() const { return droppedFrames_; }

private:
    void append(MonitorRow row, std::string_view text);
    void dropOldest();

    std::deque<MonitorRow> rows_;
    size_t capacity_;
    uint64_t appended_ = 0;
    int64_t endLine_ = 0;
    uint64_t droppedFrames_ = 0;
    size_t widestLine_ = 0;
};

// The line of a row: a frame's rendered line, or a note's text.
MonitorText RenderRow(const MonitorRow& row, const CommandTextTables& texts);

// What Find looks for: text in a row's line, without regard to case, or a
// frame of one of the listed command numbers.
struct FindQuery {
    bool byCommand = false;
    std::string text;               // when not by command
    std::vector<uint8_t> commands;  // when by command
};
// The query for what was typed: a command list as the filter reads it
// ("3", "0x82", "1, 3, 12-16"); nullopt when that is not a command list.
std::optional<FindQuery> CommandQuery(const std::string& typed);

struct FindResult {
    std::optional<uint64_t> row;  // the row found
    bool wrapped = false;         // found only after running past the newest (or oldest) row
};
// The next row after `from` (forward) or before it that matches, going round
// the kept rows once; without `from` the search starts at the oldest row
// (forward) or the newest. The row `from` itself is found only when nothing
// else matches.
FindResult FindRow(const MonitorRows& rows, const CommandTextTables& texts, const FindQuery& query,
                   std::optional<uint64_t> from, bool forward);

}  // namespace fenwire
