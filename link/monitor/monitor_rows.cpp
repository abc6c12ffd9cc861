#include "link/monitor/monitor_rows.h"

#include <algorithm>

#include "link/driver/typed_frame.h"

namespace fenwire {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string s) {
    for (char& c : s) c = lower(c);
    return s;
}

bool matches(const MonitorRow& row, const CommandTextTables& texts, const FindQuery& query,
             const std::string& loweredText) {
    if (query.byCommand) {
        return row.kind == MonitorRow::Kind::Frame && row.frame.command >= 0 &&
               std::find(query.commands.begin(), query.commands.end(), row.frame.command) != query.commands.end();
    }
    if (loweredText.empty()) return false;
    return lowered(RenderRow(row, texts).text).find(loweredText) != std::string::npos;
}

}  // namespace

MonitorRows::MonitorRows(size_t capacity) : capacity_(std::max<size_t>(1, capacity)) {}

void MonitorRows::setCapacity(size_t capacity) {
    capacity_ = std::max<size_t>(1, capacity);
    while (rows_.size() > capacity_) dropOldest();
}

void MonitorRows::dropOldest() {
    if (rows_.front().kind == MonitorRow::Kind::Frame) ++droppedFrames_;
    rows_.pop_front();
}

void MonitorRows::append(MonitorRow row, std::string_view text) {
    // The screen lines of the text: "\r\n" separates them and ends the last.
    int lines = 0;
    for (size_t from = 0; from < text.size() || lines == 0;) {
        size_t end = text.find("\r\n", from);
        if (end == std::string_view::npos) end = text.size();
        widestLine_ = std::max(widestLine_, end - from);
        ++lines;
        from = end + 2;
    }
    if (rows_.size() >= capacity_) dropOldest();
    row.lines = static_cast<uint8_t>(std::min(lines, 255));
    row.firstLine = endLine_;
    endLine_ += row.lines;
    rows_.push_back(std::move(row));
    ++appended_;
}

void MonitorRows::appendFrame(MonitorFrame frame, std::string_view line) {
    MonitorRow row;
    row.frame = std::move(frame);
    append(std::move(row), line);
}

void MonitorRows::appendNote(std::string text, bool alarm) {
    MonitorRow row;
    row.kind = alarm ? MonitorRow::Kind::AlarmNote : MonitorRow::Kind::Note;
    row.frame.bytes = text;
    append(std::move(row), text);
}

void MonitorRows::clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    appended_ = 0;
    endLine_ = 0;
    droppedFrames_ = 0;
    widestLine_ = 0;
}

uint64_t MonitorRows::rowAtLine(int64_t line) const {
    if (rows_.empty()) return appended_;
    // The last row starting at or before the line.
    auto after = std::upper_bound(rows_.begin(), rows_.end(), line,
                                  [](int64_t l, const MonitorRow& r) { return l < r.firstLine; });
    if (after == rows_.begin()) return firstId();
    return firstId() + static_cast<uint64_t>(std::distance(rows_.begin(), after) - 1);
}

MonitorText RenderRow(const MonitorRow& row, const CommandTextTables& texts) {
    if (row.kind == MonitorRow::Kind::Frame) return RenderFrameLine(row.frame, texts);
    MonitorText note;
    note.text = row.frame.bytes;
    if (row.kind == MonitorRow::Kind::AlarmNote && !note.text.empty())
        note.runs.push_back({0, note.text.size(), MonitorColour::Alarm});
    return note;
}

std::optional<FindQuery> CommandQuery(const std::string& typed) {
    auto commands = wendrel::NumStrToBytes(typed);
    if (!commands || commands->empty()) return std::nullopt;
    FindQuery query;
    query.byCommand = true;
    query.commands = std::move(*commands);
    return query;
}

FindResult FindRow(const MonitorRows& rows, const CommandTextTables& texts, const FindQuery& query,
                   std::optional<uint64_t> from, bool forward) {
    FindResult result;
    if (rows.empty()) return result;
    const std::string text = lowered(query.text);
    const uint64_t first = rows.firstId();
    const uint64_t end = rows.endId();
    auto test = [&](uint64_t id) { return matches(rows.row(id), texts, query, text); };

    // Forward: the rows after `from`, then round from the oldest up to `from`.
    // Backward the same way down.
    if (forward) {
        const uint64_t start = from ? std::max(first, *from + 1) : first;
        for (uint64_t id = start; id < end; ++id)
            if (test(id)) return {id, false};
        if (!from) return result;
        for (uint64_t id = first; id < start; ++id)
            if (test(id)) return {id, true};
    } else {
        const uint64_t stop = from ? std::min(end, *from) : end;  // rows below `stop` come first
        for (uint64_t id = stop; id > first; --id)
            if (test(id - 1)) return {id - 1, false};
        if (!from) return result;
        for (uint64_t id = end; id > std::max(stop, first); --id)
            if (test(id - 1)) return {id - 1, true};
    }
    return result;
}

}  // namespace fenwire
