#include "platform/ini.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <climits>

#include "platform/textfile.h"

namespace platform::ini {

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// Our files are UTF-8; files from elsewhere may be in a single-byte code page.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

int digitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

bool hasLineBreak(const QString& s) { return s.contains('\n') || s.contains('\r'); }

// Cuts to at most `count` characters without splitting a surrogate pair.
QString cut(QString s, int count) {
    if (count <= 0) return QString();
    if (s.size() > count) {
        s.truncate(count);
        if (s.back().isHighSurrogate()) s.chop(1);
    }
    return s;
}

}  // namespace

Document::Line Document::readLine(const QByteArray& raw) {
    const QString text = decode(raw).trimmed();
    Line line;
    line.raw = raw;
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        line.kind = Kind::Section;
        line.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    } else if (!text.startsWith(';')) {
        const qsizetype eq = text.indexOf('=');
        if (eq >= 0) {
            line.kind = Kind::Key;
            line.name = text.left(eq).trimmed();
            line.value = text.mid(eq + 1).trimmed();
        }
    }
    return line;
}

Document Document::load(const QString& path) { return tryLoad(path).value_or(Document()); }

std::optional<Document> Document::tryLoad(const QString& path) {
    QFile file(path);
    if (!file.exists()) return Document();
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return parse(file.readAll());
}

Document Document::parse(const QByteArray& content) {
    Document doc;
    QByteArray body = content;
    if (body.startsWith(kUtf8Bom)) {
        doc.bom_ = kUtf8Bom;
        body.remove(0, kUtf8Bom.size());
    }
    const qsizetype firstBreak = body.indexOf('\n');
    if (firstBreak > 0 && body.at(firstBreak - 1) == '\r') doc.lineEnd_ = "\r\n";
    if (body.isEmpty()) return doc;
    doc.endsWithLineEnd_ = body.endsWith('\n');
    QList<QByteArray> parts = body.split('\n');
    if (doc.endsWithLineEnd_) parts.removeLast();
    for (QByteArray& part : parts) {
        if (part.endsWith('\r')) part.chop(1);
        doc.lines_.append(readLine(part));
    }
    return doc;
}

QByteArray Document::serialize() const {
    QByteArray out = bom_;
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        if (i > 0) out += lineEnd_;
        out += lines_[i].raw;
    }
    if (!lines_.isEmpty() && endsWithLineEnd_) out += lineEnd_;
    return out;
}

bool Document::save(const QString& path) const { return WriteFileWhole(path, serialize()); }

std::optional<Document::Span> Document::findSection(const QString& section) const {
    const QString name = section.trimmed();
    for (int i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::Section || !sameName(lines_[i].name, name)) continue;
        int end = i + 1;
        while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

int Document::findKey(const Span& span, const QString& key) const {
    const QString name = key.trimmed();
    for (int i = span.header + 1; i < span.end; ++i)
        if (lines_[i].kind == Kind::Key && sameName(lines_[i].name, name)) return i;
    return -1;
}

int Document::lastContentLine(const Span& span) const {
    int last = span.header;
    for (int i = span.header + 1; i < span.end; ++i)
        if (!lines_[i].raw.trimmed().isEmpty()) last = i;
    return last;
}

std::optional<QString> Document::value(const QString& section, const QString& key) const {
    const auto span = findSection(section);
    if (!span) return std::nullopt;
    const int line = findKey(*span, key);
    if (line < 0) return std::nullopt;
    return lines_[line].value;
}

QStringList Document::sections() const {
    QStringList names;
    for (const Line& line : lines_)
        if (line.kind == Kind::Section) names.append(line.name);
    return names;
}

QStringList Document::keys(const QString& section) const {
    QStringList names;
    const auto span = findSection(section);
    if (!span) return names;
    for (int i = span->header + 1; i < span->end; ++i)
        if (lines_[i].kind == Kind::Key) names.append(lines_[i].name);
    return names;
}

QList<std::pair<QString, QString>> Document::entries(const QString& section) const {
    QList<std::pair<QString, QString>> found;
    const auto span = findSection(section);
    if (!span) return found;
    for (int i = span->header + 1; i < span->end; ++i)
        if (lines_[i].kind == Kind::Key) found.append({lines_[i].name, lines_[i].value});
    return found;
}

bool Document::setValue(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || hasLineBreak(sectionName) || sectionName.contains(']')) return false;
    if (keyName.isEmpty() || hasLineBreak(keyName) || keyName.contains('=') || keyName.startsWith('[') ||
        keyName.startsWith(';'))
        return false;
    if (hasLineBreak(value)) return false;

    // Lines are decoded one by one (UTF-8, else a single-byte code page): a
    // line is written only if it reads back as the key and value written.
    const auto readsBack = [&](const Line& line, const QString& name) {
        return line.kind == Kind::Key && sameName(line.name, name) && line.value == value.trimmed();
    };
    const auto span = findSection(sectionName);
    if (!span) {
        const Line header = readLine("[" + sectionName.toUtf8() + "]");
        const Line keyLine = readLine(keyName.toUtf8() + "=" + value.toUtf8());
        if (header.kind != Kind::Section || !sameName(header.name, sectionName) || !readsBack(keyLine, keyName))
            return false;
        endsWithLineEnd_ = true;
        lines_.append(header);
        lines_.append(keyLine);
        return true;
    }
    const int found = findKey(*span, keyName);
    if (found >= 0) {
        // The key keeps its spelling, spacing and code page; only the value changes.
        Line& stored = lines_[found];
        const QByteArray keyPart = stored.raw.left(stored.raw.indexOf('=') + 1);
        for (const QByteArray& encoded : {value.toUtf8(), value.toLatin1()}) {
            Line changed = readLine(keyPart + encoded);
            if (!readsBack(changed, stored.name)) continue;
            stored = std::move(changed);
            endsWithLineEnd_ = true;
            return true;
        }
        return false;
    }
    const Line keyLine = readLine(keyName.toUtf8() + "=" + value.toUtf8());
    if (!readsBack(keyLine, keyName)) return false;
    endsWithLineEnd_ = true;
    lines_.insert(lastContentLine(*span) + 1, keyLine);
    return true;
}

void Document::removeKey(const QString& section, const QString& key) {
    const auto span = findSection(section);
    if (!span) return;
    const int line = findKey(*span, key);
    if (line >= 0) lines_.removeAt(line);
}

void Document::removeSection(const QString& section) {
    while (const auto span = findSection(section)) {
        const int last = lastContentLine(*span);
        lines_.remove(span->header, last - span->header + 1);
    }
}

QString readString(const QString& file, const QString& section, const QString& key, const QString& fallback,
                   int bufferSize) {
    return cut(Document::load(file).value(section, key).value_or(fallback), bufferSize - 1);
}

int readInt(const QString& file, const QString& section, const QString& key, int fallback) {
    return intOf(Document::load(file).value(section, key), fallback);
}

int intOf(const std::optional<QString>& text, int fallback) {
    if (!text) return fallback;
    const QString& s = *text;
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int base = 10;
    bool anyDigit = false;
    if (s.mid(i, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0) {
        base = 16;
        i += 2;
        anyDigit = true;  // the '0' of the prefix: "0x" alone reads 0
    }
    long long magnitude = 0;
    for (; i < s.size(); ++i) {
        const int digit = digitValue(s[i]);
        if (digit < 0 || digit >= base) break;
        anyDigit = true;
        magnitude = std::min<long long>(magnitude * base + digit, static_cast<long long>(INT_MAX) + 1);
    }
    if (!anyDigit) return fallback;
    const long long v = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

// Writes change a file only if it could be read whole: an unreadable file is
// not replaced by the one key being written.
bool writeString(const QString& file, const QString& section, const QString& key, const QString& value) {
    auto doc = Document::tryLoad(file);
    return doc && doc->setValue(section, key, value) && doc->save(file);
}

bool removeKey(const QString& file, const QString& section, const QString& key) {
    if (!QFile::exists(file)) return true;
    auto doc = Document::tryLoad(file);
    if (!doc) return false;
    doc->removeKey(section, key);
    return doc->save(file);
}

bool removeSection(const QString& file, const QString& section) {
    if (!QFile::exists(file)) return true;
    auto doc = Document::tryLoad(file);
    if (!doc) return false;
    doc->removeSection(section);
    return doc->save(file);
}

}  // namespace platform::ini
