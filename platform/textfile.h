// Text files written whole or not at all: the lines go to a temporary file
// beside the target, which replaces the target only when every byte is on
// disk. A failed write leaves any earlier file as it was and no half file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// Writes `lines` to `path` as an ANSI (Latin-1) text file, each line ended
// by CR LF. Characters outside Latin-1 are written as '?'. Number formats
// (the "." decimal separator) are the caller's business. Returns false and
// sets `why` (when given) to a readable reason if the file was not written.
bool WriteTextFileWhole(const QString& path, const QStringList& lines, QString* why = nullptr);
// The bytes WriteTextFileWhole writes for `lines`.
QByteArray TextFileBytes(const QStringList& lines);

// Writes `bytes` to `path` whole through a temporary file, as above. A path
// that names a device or a pipe is written into, not replaced by a file.
bool WriteFileWhole(const QString& path, const QByteArray& bytes, QString* why = nullptr);

}  // namespace platform
