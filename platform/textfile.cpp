#include "platform/textfile.h"

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

bool WriteTextFileWhole(const QString& path, const QStringList& lines, QString* why) {
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (qsizetype i = 0; written && i < lines.size(); ++i) {
        const QByteArray bytes = ansiLine(lines[i]);
        written = file.write(bytes) == bytes.size();
    }
    if (written) written = file.commit();
    if (!written) {
        if (why) *why = file.errorString();
        file.cancelWriting();
    }
    return written;
}

}  // namespace platform
