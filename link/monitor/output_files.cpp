#include "link/monitor/output_files.h"

#include <QFileInfo>

#include "link/monitor/page_layout.h"
#include "platform/textfile.h"

namespace fenwire::busview {

namespace {

// A save dialog left cancelled still holds its pattern ("*.flg"): no file is
// created under such a name.
bool creatable(const std::string& path) { return !path.empty() && path.find('*') == std::string::npos; }

std::FILE* create(const std::string& path) { return creatable(path) ? std::fopen(path.c_str(), "wb") : nullptr; }

bool writeAll(std::FILE* file, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

}  // namespace

bool LogFile::open(const std::string& path, const std::tm& localTime) {
    close();
    if (!creatable(path)) return false;
    const std::string header = FileHeader(localTime);
    const QString name = QString::fromStdString(path);
    std::FILE* file = nullptr;
    if (QFileInfo(name).isFile()) {
        // An earlier log is replaced only once the new header is on disk:
        // a full disk leaves it as it was, not emptied.
        if (!platform::WriteFileWhole(name, QByteArray(header.data(), static_cast<qsizetype>(header.size()))))
            return false;
        file = std::fopen(path.c_str(), "ab");
        if (file == nullptr) return false;
    } else {
        file = create(path);
        if (file == nullptr) return false;
        if (!writeAll(file, header) || std::fflush(file) != 0) {
            std::fclose(file);
            return false;
        }
    }
    file_ = file;
    path_ = path;
    return true;
}

bool LogFile::append(std::string_view frameLine, const std::tm& localTime) {
    if (file_ == nullptr) return true;
    // Flushed per frame: a log is read while it grows, and must survive a crash.
    const bool written = writeAll(file_, LogEntry(frameLine, localTime));
    return std::fflush(file_) == 0 && written;
}

void LogFile::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    path_.clear();
}

std::string LogFile::name() const {
    const size_t slash = path_.find_last_of('/');
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

// Written beside the target and put in its place only when every byte is on
// disk: a full disk leaves the file that stood there as it was, not cut short.
bool WriteFrameFile(const std::string& path, std::string_view selection, const std::tm& localTime) {
    if (!creatable(path)) return false;
    std::string text(FileHeader(localTime));
    for (const std::string& line : LayoutLines(selection)) text.append(line).append(kLineEnd);
    return platform::WriteFileWhole(QString::fromStdString(path),
                                    QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

std::string CouldNotOpenMessage(const std::string& name) { return "File " + name + " could not be opened!"; }
std::string CouldNotWriteMessage(const std::string& name) { return "File " + name + " could not be written!"; }

}  // namespace fenwire::busview
