// The property-table import on arbitrary file content. A file that is read
// holds 0..16 points, rows and columns and a revision of one byte; a refused
// file gives its reason and leaves the table as it was. A table that is read
// writes a file that reads back, and that file is written again unchanged
// (the numbers at the file's precision after the first writing).
#include <QByteArray>
#include <algorithm>
#include <cstdio>

#include "app/reports/property_table_file.h"
#include "fuzz/fuzz_check.h"

using app::kMaxTableEntries;
using app::PropertyTableSet;

namespace {

bool inTable(int count) { return count >= 0 && count <= kMaxTableEntries; }

bool sameTable(const PropertyTableSet& a, const PropertyTableSet& b) {
    auto points = [](const auto& x, const auto& y) {
        for (size_t i = 0; i < x.size(); ++i)
            if (x[i].temperature != y[i].temperature || x[i].value != y[i].value) return false;
        return true;
    };
    return a.name == b.name && a.revision == b.revision && a.phase == b.phase &&
           a.viscosityCount == b.viscosityCount && a.densityCount == b.densityCount &&
           a.gasColumns == b.gasColumns && a.gasRows == b.gasRows && points(a.viscosity, b.viscosity) &&
           points(a.density, b.density);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = app::SplitTableFile(content);
    for (const QString& line : lines) FUZZ_CHECK(!line.contains(u'\n'));

    PropertyTableSet set;
    set.name = QStringLiteral("before");
    set.viscosityCount = 2;
    set.viscosity[0] = {1.5f, 2.5f};
    const PropertyTableSet before = set;
    if (const auto error = app::ParseTableFile(lines, set)) {
        FUZZ_CHECK(!error->isEmpty());
        FUZZ_CHECK(sameTable(set, before));
        return 0;
    }
    FUZZ_CHECK(inTable(set.viscosityCount) && inTable(set.densityCount));
    FUZZ_CHECK(inTable(set.gasColumns) && inTable(set.gasRows));
    FUZZ_CHECK(set.revision >= -1 && set.revision <= 255);

    // An export always has the meter's revision.
    if (set.revision < 0) set.revision = 0;
    const QStringList written = app::TableFileLines(set, set.name);
    PropertyTableSet reread;
    const auto error = app::ParseTableFile(written, reread);
    if (error) std::fprintf(stderr, "%s\n", qPrintable(*error));
    FUZZ_CHECK(!error);
    const QStringList again = app::TableFileLines(reread, reread.name);
    for (qsizetype i = 0; i < std::min(again.size(), written.size()); ++i)
        if (again[i] != written[i])
            std::fprintf(stderr, "line %lld: %s / %s\n", static_cast<long long>(i + 1), qPrintable(written[i]),
                         qPrintable(again[i]));
    FUZZ_CHECK(again == written);
    return 0;
}
