#include "platform/ini.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <climits>

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

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    QString name;   // section or key name, trimmed
    QString value;  // trimmed
};

Parsed classify(const QByteArray& raw) {
    const QString text = decode(raw).trimmed();
    Parsed p;
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        p.kind = Kind::Section;
        p.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    } else if (!text.startsWith(';')) {
        const qsizetype eq = text.indexOf('=');
        if (eq >= 0) {
            p.kind = Kind::Key;
            p.name = text.left(eq).trimmed();
            p.value = text.mid(eq + 1).trimmed();
        }
    }
    return p;
}

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
        doc.lines_.append({part});
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

bool Document::save(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = serialize();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<Document::Span> Document::findSection(const QString& section) const {
    for (int i = 0; i < lines_.size(); ++i) {
        const Parsed p = classify(lines_[i].raw);
        if (p.kind != Kind::Section || !sameName(p.name, section.trimmed())) continue;
        int end = i + 1;
        while (end < lines_.size() && classify(lines_[end].raw).kind != Kind::Section) ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

int Document::findKey(const Span& span, const QString& key) const {
    for (int i = span.header + 1; i < span.end; ++i) {
        const Parsed p = classify(lines_[i].raw);
        if (p.kind == Kind::Key && sameName(p.name, key.trimmed())) return i;
    }
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
    return classify(lines_[line].raw).value;
}

QStringList Document::sections() const {
    QStringList names;
    for (const Line& line : lines_) {
        const Parsed p = classify(line.raw);
        if (p.kind == Kind::Section) names.append(p.name);
    }
    return names;
}

QStringList Document::keys(const QString& section) const {
    QStringList names;
    const auto span = findSection(section);
    if (!span) return names;
    for (int i = span->header + 1; i < span->end; ++i) {
        const Parsed p = classify(lines_[i].raw);
        if (p.kind == Kind::Key) names.append(p.name);
    }
    return names;
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
    const auto readsBack = [&](const QByteArray& raw, const QString& name) {
        const Parsed p = classify(raw);
        return p.kind == Kind::Key && sameName(p.name, name) && p.value == value.trimmed();
    };
    const auto span = findSection(sectionName);
    if (!span) {
        const QByteArray header = "[" + sectionName.toUtf8() + "]";
        const QByteArray keyLine = keyName.toUtf8() + "=" + value.toUtf8();
        const Parsed p = classify(header);
        if (p.kind != Kind::Section || !sameName(p.name, sectionName) || !readsBack(keyLine, keyName))
            return false;
        endsWithLineEnd_ = true;
        lines_.append({header});
        lines_.append({keyLine});
        return true;
    }
    const int line = findKey(*span, keyName);
    if (line >= 0) {
        // The key keeps its spelling, spacing and code page; only the value changes.
        QByteArray& raw = lines_[line].raw;
        const QByteArray keyPart = raw.left(raw.indexOf('=') + 1);
        const QString storedName = classify(raw).name;
        for (const QByteArray& encoded : {value.toUtf8(), value.toLatin1()}) {
            if (!readsBack(keyPart + encoded, storedName)) continue;
            raw = keyPart + encoded;
            endsWithLineEnd_ = true;
            return true;
        }
        return false;
    }
    const QByteArray keyLine = keyName.toUtf8() + "=" + value.toUtf8();
    if (!readsBack(keyLine, keyName)) return false;
    endsWithLineEnd_ = true;
    lines_.insert(lastContentLine(*span) + 1, {keyLine});
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
    const auto text = Document::load(file).value(section, key);
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
