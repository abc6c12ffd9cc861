// The bus monitor's log file (every displayed frame while it is open) and
// frame files (a selection on demand), laid out as page_layout.h says.
// Files are written as bytes, lines ended by CR LF.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace fenwire::busview {

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Closes any open log, then creates or replaces `path` and writes the
    // header. False (and nothing open, no name) when the file cannot be
    // created; an earlier file of that name then stays as it was.
    bool open(const std::string& path, const std::tm& localTime);
    // Appends one displayed frame line with its time stamp; nothing when
    // closed. False when the log is open and the line did not reach the file.
    bool append(std::string_view frameLine, const std::tm& localTime);
    void close();

    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }
    // The name the title shows: the path's last part.
    std::string name() const;

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// Creates or replaces `path` with the header and the laid-out text, whole or
// not at all. False (any earlier file untouched) when it cannot be written.
bool WriteFrameFile(const std::string& path, std::string_view selection, const std::tm& localTime);

// "File <name> could not be opened!", the message for both kinds of file.
std::string CouldNotOpenMessage(const std::string& name);
// "File <name> could not be written!", when an open log stops taking lines.
std::string CouldNotWriteMessage(const std::string& name);
inline constexpr const char* kSaveToFileTitle = "Save to File";

}  // namespace fenwire::busview
