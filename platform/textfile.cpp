#include "platform/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

QByteArray ansiLine(const QString& line) {
    QByteArray bytes;
    bytes.reserve(line.size() + 2);
    for (QChar c : line) bytes.append(c.unicode() < 256 ? char(c.unicode()) : '?');
    bytes.append("\r\n");
    return bytes;
}

}  // namespace

QByteArray TextFileBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += ansiLine(line);
    return bytes;
}

bool WriteTextFileWhole(const QString& path, const QStringList& lines, QString* why) {
    return WriteFileWhole(path, TextFileBytes(lines), why);
}

bool WriteFileWhole(const QString& path, const QByteArray& bytes, QString* why) {
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // Renaming a temporary file over a device or pipe would put a plain file in its place.
        QFile device(path);
        const bool written = device.open(QIODevice::WriteOnly) && device.write(bytes) == bytes.size() && device.flush();
        if (!written && why) *why = device.errorString();
        return written;
    }
    QSaveFile file(path);
    // Flushed before the commit: a commit puts a cut-short file in place when
    // only its own final flush fails (a full disk).
    bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    if (written) written = file.commit();
    if (!written) {
        if (why) *why = file.errorString();
        file.cancelWriting();
    }
    return written;
}

}  // namespace platform
