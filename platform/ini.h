// Profile-style INI files (busvw.ini, Commands.ini, scripts, the registry
// file), read and written as the classic profile functions do: section and
// key names match without regard to case; a value is the raw text after the
// first '=' with surrounding blanks trimmed, commas, quotes and backslashes
// kept; CR LF and LF line ends are read; writing one key keeps every other
// line of the file as it was.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace platform::ini {

// A whole file held as its lines, so a change touches only its own lines.
class Document {
public:
    // A missing or unreadable file gives an empty document.
    static Document load(const QString& path);
    // Empty for a missing file, nothing for one that exists but cannot be read.
    static std::optional<Document> tryLoad(const QString& path);
    static Document parse(const QByteArray& content);
    QByteArray serialize() const;
    // Writes the file whole through a temporary file, so a failed write
    // leaves the old file intact.
    bool save(const QString& path) const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    QStringList sections() const;
    QStringList keys(const QString& section) const;
    // Every key of the section with its value, in file order, in one pass
    // (a lookup per key walks the section each time).
    QList<std::pair<QString, QString>> entries(const QString& section) const;

    // False when a name or the value could not be stored as one line
    // (line breaks, a key with '=' or starting with '[' or ';', a section with
    // ']'), or would not read back as written (text a line's code page lacks).
    bool setValue(const QString& section, const QString& key, const QString& value);
    void removeKey(const QString& section, const QString& key);
    void removeSection(const QString& section);

private:
    enum class Kind { Other, Section, Key };
    // A line with what it reads as, worked out once when the line is set:
    // lookups walk the lines without decoding them again.
    struct Line {
        QByteArray raw;  // without its line end
        Kind kind = Kind::Other;
        QString name;   // section or key name, trimmed
        QString value;  // a key's value, trimmed
    };
    static Line readLine(const QByteArray& raw);
    struct Span {
        int header;  // index of the [section] line
        int end;     // one past its last line
    };
    std::optional<Span> findSection(const QString& section) const;
    int findKey(const Span& span, const QString& key) const;
    int lastContentLine(const Span& span) const;

    QList<Line> lines_;
    QByteArray lineEnd_ = "\n";
    bool endsWithLineEnd_ = true;
    QByteArray bom_;
};

// Reads a value like the profile API with a buffer of `bufferSize`
// characters: at most bufferSize - 1 characters come back (the last place
// holds the terminator). A missing file, section or key gives `fallback`,
// cut to the same length.
QString readString(const QString& file, const QString& section, const QString& key,
                   const QString& fallback = QString(), int bufferSize = 500);
// The leading whole number of the value (decimal, or hex after "0x"), its
// trailing text ignored; `fallback` when the key is missing or holds no number.
int readInt(const QString& file, const QString& section, const QString& key, int fallback);
// The same reading of a value already looked up in a Document.
int intOf(const std::optional<QString>& text, int fallback);
// Creates the file, section and key as needed; false when it cannot be written.
bool writeString(const QString& file, const QString& section, const QString& key, const QString& value);
bool removeKey(const QString& file, const QString& section, const QString& key);
bool removeSection(const QString& file, const QString& section);

}  // namespace platform::ini
