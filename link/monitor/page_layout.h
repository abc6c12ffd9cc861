// The page-style text layout the bus monitor shares between its log files,
// frame files and printouts: every text line is indented by 10 blanks and
// wrapped near 60 characters at a field separator, continuation lines
// indented by 6 more. Plain text in, plain text out; no files, no Qt.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace fenwire::busview {

inline constexpr int kPageIndent = 10;          // blanks before every output line
inline constexpr int kContinuationIndent = 6;   // more blanks before a continuation
inline constexpr int kLinesPerPage = 58;        // body lines of one printed page
inline constexpr const char* kLineEnd = "\r\n";

// "          Busview: Monday, 07.Dec.2026 / 12:51:37": day and month names in
// English whatever the process locale, so files read the same everywhere.
std::string HeaderLine(const std::tm& localTime);
// "12:51:37"
std::string TimeOfDay(const std::tm& localTime);
std::tm LocalTimeNow();

// The pieces one text line (without its line end) is output as, before the
// 10-blank indent: a line of up to 64 characters whole; a longer one as its
// first 50 characters, extended up to and including a blank, "|" or "/" found
// within the next 11, then the rest the same way, each continuation after 6
// blanks. An empty line gives no piece.
std::vector<std::string> WrapLine(std::string_view line);

// Splits text into lines at "\r\n", "\r" or "\n" (the breaks dropped).
std::vector<std::string> SplitLines(std::string_view text);

// Every line of `text` wrapped and indented: the output lines without their ends.
std::vector<std::string> LayoutLines(std::string_view text);

// What a log file receives for one displayed frame line (which may itself
// hold line breaks): the time stamp line, then the laid-out line, each ended
// by "\r\n".
std::string LogEntry(std::string_view frameLine, const std::tm& localTime);
// The start of a log or frame file: the header line and an empty line.
std::string FileHeader(const std::tm& localTime);

// A printed page: its top line and its body lines.
struct PrintPage {
    std::string header;  // the header line, ", Page n"
    std::vector<std::string> lines;
};
// The pages of a printout of `text`: 58 body lines a page, the last one
// holding the rest; at least one page.
std::vector<PrintPage> PaginateForPrint(std::string_view text, const std::tm& localTime);

}  // namespace fenwire::busview
