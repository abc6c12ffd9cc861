#include "link/monitor/page_layout.h"

#include <algorithm>
#include <cstdio>

namespace fenwire::busview {

namespace {

constexpr size_t kWholeUpTo = 64;       // lines up to this length are not wrapped
constexpr size_t kFirstCut = 50;        // a longer line is cut here first ...
constexpr size_t kSeparatorReach = 11;  // ... and extended to a separator found this soon

const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string twoDigits(int v) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", v);
    return text;
}

// Moves a cut back off UTF-8 continuation bytes, so no character is split.
size_t characterBoundary(std::string_view s, size_t at) {
    while (at > 0 && at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) --at;
    return at;
}

const std::string kIndent(kPageIndent, ' ');

}  // namespace

std::string TimeOfDay(const std::tm& t) {
    return twoDigits(t.tm_hour) + ":" + twoDigits(t.tm_min) + ":" + twoDigits(t.tm_sec);
}

std::string HeaderLine(const std::tm& t) {
    const char* day = kDays[std::clamp(t.tm_wday, 0, 6)];
    const char* month = kMonths[std::clamp(t.tm_mon, 0, 11)];
    return kIndent + "Busview: " + day + ", " + twoDigits(t.tm_mday) + "." + month + "." +
           std::to_string(t.tm_year + 1900) + " / " + TimeOfDay(t);
}

std::tm LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::vector<std::string> WrapLine(std::string_view line) {
    std::vector<std::string> pieces;
    const std::string continuation(kContinuationIndent, ' ');
    bool continued = false;
    while (!line.empty()) {
        const std::string lead = continued ? continuation : std::string();
        if (line.size() <= kWholeUpTo) {
            pieces.push_back(lead + std::string(line));
            break;
        }
        size_t cut = characterBoundary(line, kFirstCut);
        if (cut == 0) cut = kFirstCut;
        const size_t separator = line.substr(cut).find_first_of(" |/");
        if (separator < kSeparatorReach) cut += separator + 1;
        pieces.push_back(lead + std::string(line.substr(0, cut)));
        line.remove_prefix(cut);
        continued = true;
    }
    return pieces;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == '\r') ++start;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

std::vector<std::string> LayoutLines(std::string_view text) {
    std::vector<std::string> out;
    for (const std::string& line : SplitLines(text)) {
        for (std::string& piece : WrapLine(line)) out.push_back(kIndent + piece);
    }
    return out;
}

std::string LogEntry(std::string_view frameLine, const std::tm& localTime) {
    std::string entry = kIndent + TimeOfDay(localTime) + kLineEnd;
    for (const std::string& line : LayoutLines(frameLine)) entry += line + kLineEnd;
    return entry;
}

std::string FileHeader(const std::tm& localTime) { return HeaderLine(localTime) + kLineEnd + kLineEnd; }

std::vector<PrintPage> PaginateForPrint(std::string_view text, const std::tm& localTime) {
    const std::vector<std::string> body = LayoutLines(text);
    const std::string header = HeaderLine(localTime);
    std::vector<PrintPage> pages;
    size_t next = 0;
    do {
        PrintPage page;
        page.header = header + ", Page " + std::to_string(pages.size() + 1);
        const size_t end = std::min(body.size(), next + kLinesPerPage);
        page.lines.assign(body.begin() + static_cast<long>(next), body.begin() + static_cast<long>(end));
        pages.push_back(std::move(page));
        next = end;
    } while (next < body.size());
    return pages;
}

}  // namespace fenwire::busview
