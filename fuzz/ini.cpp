// The INI reader on arbitrary file content. Reading and writing back keeps
// the file's content (byte for byte when it uses one kind of line end
// throughout); the sections and keys listed can be read (a spread of them
// on a long file); a value written can be read back and leaves every other
// key as it was; removing takes out only what it names.
#include <QByteArray>
#include <QString>

#include "fuzz/fuzz_check.h"
#include "platform/ini.h"

using platform::ini::Document;

namespace {

// One kind of line end throughout and no carriage return elsewhere.
bool uniformLineEnds(const QByteArray& bytes) {
    const qsizetype lf = bytes.count('\n');
    const qsizetype cr = bytes.count('\r');
    return cr == 0 || (cr == lf && bytes.count("\r\n") == lf && !bytes.endsWith('\r'));
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

struct Entry {
    QString section, key, value;
    bool operator==(const Entry&) const = default;
};

// At most `n` names of a list: its first and last, so that a long file costs
// a bounded number of lookups (each walks the file) and both ends are seen.
QStringList spread(const QStringList& names, qsizetype n) {
    if (names.size() <= n) return names;
    return names.mid(0, n / 2) + names.mid(names.size() - n / 2);
}

// Listed keys with their values, spread over the file, except those named
// `section` and `key`.
QList<Entry> everyValue(const Document& doc, const QString& section = {}, const QString& key = {}) {
    constexpr qsizetype kSections = 4, kKeysPerSection = 4;
    QList<Entry> out;
    for (const QString& s : spread(doc.sections(), kSections))
        for (const QString& k : spread(doc.keys(s), kKeysPerSection)) {
            const auto v = doc.value(s, k);
            FUZZ_CHECK(v.has_value());
            if (!(sameName(s, section) && sameName(k, key))) out.append({s, k, *v});
        }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Document doc = Document::parse(content);
    const QByteArray written = doc.serialize();
    if (uniformLineEnds(content)) FUZZ_CHECK(written == content);
    // Otherwise the bytes may change (CR CR LF loses a CR), the content not.
    const Document reread = Document::parse(written);
    const QStringList sections = doc.sections();
    FUZZ_CHECK(reread.sections() == sections);
    FUZZ_CHECK(everyValue(reread) == everyValue(doc));
    if (sections.isEmpty()) return 0;

    // Write a key of the first section, then one of a section not there yet.
    const QString section = sections.first();
    const QStringList keys = doc.keys(section);
    const QString key = keys.isEmpty() ? QStringLiteral("Added") : keys.first();
    const QString value = QStringLiteral(" v=1;[x] \"q\" ");
    Document changed = doc;
    if (changed.setValue(section, key, value)) {
        FUZZ_CHECK(changed.value(section, key) == value.trimmed());
        FUZZ_CHECK(everyValue(changed, section, key) == everyValue(doc, section, key));
        FUZZ_CHECK(Document::parse(changed.serialize()).value(section, key) == value.trimmed());
    }
    if (changed.setValue(QStringLiteral("FuzzNew"), QStringLiteral("Key"), QStringLiteral("7")))
        FUZZ_CHECK(changed.value(QStringLiteral("fuzznew"), QStringLiteral("KEY")) == QStringLiteral("7"));

    Document removed = doc;
    if (!keys.isEmpty()) {
        removed.removeKey(section, key);
        FUZZ_CHECK(removed.keys(section).size() == keys.size() - 1);
    }
    removed.removeSection(section);
    FUZZ_CHECK(!removed.value(section, key).has_value());
    return 0;
}
