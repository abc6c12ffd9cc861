#include "app/reports/property_table_file.h"

#include <QFile>
#include <algorithm>

#include "app/commands/format.h"

namespace app {

namespace {

constexpr int kMaxRevision = 255;  // travels as one byte
// A table file is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxTableFileBytes = 1 << 20;

// Digit patterns of the file: temperatures and column headings "0.##",
// viscosities "0.000####", densities "0.#######".
QString TemperatureText(float value) { return FilePatternText(value, 0, 2); }
QString ViscosityText(float value) { return FilePatternText(value, 3, 7); }
QString DensityText(float value) { return FilePatternText(value, 0, 7); }

// Reads a file's lines the way the import walks them: a read past the end
// leaves the line as it was.
class LineReader {
public:
    explicit LineReader(const QStringList& lines) : lines_(lines) {}
    bool atEnd() const { return at_ >= lines_.size(); }
    const QString& line() const { return lines_[at_]; }
    int number() const { return static_cast<int>(at_) + 1; }
    QString field(int n) const { return FieldOf(line(), n); }
    QString key() const { return keyOf(line()); }
    // The key of the next line; empty at the last one.
    QString nextKey() const { return at_ + 1 < lines_.size() ? keyOf(lines_[at_ + 1]) : QString(); }
    // Moves to the next line; false (staying put) at the last one.
    bool next() {
        if (at_ + 1 >= lines_.size()) return false;
        ++at_;
        return true;
    }
    void skip() { ++at_; }

    // Field n as a number; a missing field or text gives the reason.
    std::optional<QString> number(int n, float& value) const {
        if (line().split(u',').size() < n || !ParseFileNumber(field(n), value))
            return QStringLiteral("Line %1: a number is expected in field %2.").arg(number()).arg(n);
        return std::nullopt;
    }
    std::optional<QString> whole(int n, int low, int high, const QString& what, int& value) const {
        bool ok = false;
        const int parsed = field(n).toInt(&ok);
        if (!ok || parsed < low || parsed > high)
            return QStringLiteral("Line %1: the %2 must be a whole number from %3 to %4.")
                .arg(number())
                .arg(what)
                .arg(low)
                .arg(high);
        value = parsed;
        return std::nullopt;
    }
    QString endsEarly(const QString& what) const {
        return QStringLiteral("Line %1: the file ends inside the %2.").arg(number()).arg(what);
    }

private:
    // A line's key: its first field in lower case.
    static QString keyOf(const QString& line) { return FieldOf(line, 1).toLower(); }

    const QStringList& lines_;
    qsizetype at_ = 0;
};

// "Data Points,<n>" and n lines of temperature and value.
std::optional<QString> ParsePoints(LineReader& in, std::array<PropertyTableSet::Point, kMaxTableEntries>& points,
                                   int& count, const QString& table) {
    if (!in.next() || in.key() != QStringLiteral("data points")) return std::nullopt;
    if (auto error = in.whole(2, 0, kMaxTableEntries, QStringLiteral("number of points"), count)) return error;
    for (int p = 0; p < count; ++p) {
        if (!in.next()) return in.endsEarly(table);
        if (auto error = in.number(1, points[static_cast<size_t>(p)].temperature)) return error;
        if (auto error = in.number(2, points[static_cast<size_t>(p)].value)) return error;
    }
    return std::nullopt;
}

// "Columns,<c>", "Rows,<r>", the heading line "P\T,<temperatures>" and r
// lines of pressure and densities.
std::optional<QString> ParseGrid(LineReader& in, PropertyTableSet& set) {
    if (in.next() && in.key() == QStringLiteral("columns"))
        if (auto error = in.whole(2, 0, kMaxTableEntries, QStringLiteral("number of columns"), set.gasColumns))
            return error;
    if (in.next() && in.key() == QStringLiteral("rows"))
        if (auto error = in.whole(2, 0, kMaxTableEntries, QStringLiteral("number of rows"), set.gasRows))
            return error;
    const QString grid = QStringLiteral("gas density table");
    if (!in.next()) {
        if (set.gasColumns > 0 || set.gasRows > 0) return in.endsEarly(grid);
        return std::nullopt;
    }
    for (int c = 0; c < set.gasColumns; ++c)
        if (auto error = in.number(c + 2, set.columnHeadings[static_cast<size_t>(c)])) return error;
    for (int r = 0; r < set.gasRows; ++r) {
        if (!in.next()) return in.endsEarly(grid);
        if (auto error = in.number(1, set.rowHeadings[static_cast<size_t>(r)])) return error;
        for (int c = 0; c < set.gasColumns; ++c)
            if (auto error = in.number(c + 2, set.gasDensity[static_cast<size_t>(r)][static_cast<size_t>(c)]))
                return error;
    }
    return std::nullopt;
}

}  // namespace

QString ShownTableName(const QString& name) {
    QString shown = name;
    while (shown.endsWith(u' ')) shown.chop(1);
    return shown;
}

QString FieldOf(const QString& line, int n) {
    const QStringList fields = line.split(u',');
    const qsizetype index = std::clamp<qsizetype>(n - 1, 0, fields.size() - 1);
    return fields[index].trimmed();
}

QStringList TableFileLines(const PropertyTableSet& set, const QString& shownName) {
    QStringList lines;
    lines << QStringLiteral("Name,") + shownName;
    lines << QStringLiteral("Revision,") + QString::number(set.revision);
    lines << QStringLiteral("Phase,") + (set.isGas() ? QStringLiteral("Gas") : QStringLiteral("Liquid"));
    auto points = [&](const char* title, const auto& table, int count, QString (*valueText)(float)) {
        if (count <= 0) return;
        lines << QString::fromLatin1(title) << QStringLiteral("Data Points,") + QString::number(count);
        for (int p = 0; p < count; ++p) {
            const auto& point = table[static_cast<size_t>(p)];
            lines << TemperatureText(point.temperature) + u',' + valueText(point.value);
        }
    };
    points("Viscosity,", set.viscosity, set.viscosityCount, &ViscosityText);
    points("Density,", set.density, set.densityCount, &DensityText);
    if (set.isGas()) {
        lines << QStringLiteral("Density,") << QStringLiteral("Columns,") + QString::number(set.gasColumns)
              << QStringLiteral("Rows,") + QString::number(set.gasRows);
        QString headings = QStringLiteral("P\\T");
        for (int c = 0; c < set.gasColumns; ++c)
            headings += u',' + TemperatureText(set.columnHeadings[static_cast<size_t>(c)]);
        lines << headings;
        for (int r = 0; r < set.gasRows; ++r) {
            QString row = FileNumberText(set.rowHeadings[static_cast<size_t>(r)]);
            for (int c = 0; c < set.gasColumns; ++c)
                row += u',' + DensityText(set.gasDensity[static_cast<size_t>(r)][static_cast<size_t>(c)]);
            lines << row;
        }
    }
    return lines;
}

std::optional<QString> ParseTableFile(const QStringList& lines, PropertyTableSet& set) {
    PropertyTableSet read = set;
    read.viscosityCount = read.densityCount = read.gasColumns = read.gasRows = 0;
    LineReader in(lines);
    for (; !in.atEnd(); in.skip()) {
        const QString key = in.key();
        std::optional<QString> error;
        if (key == QStringLiteral("name")) {
            read.name = in.field(2);
        } else if (key == QStringLiteral("revision")) {
            error = in.whole(2, 0, kMaxRevision, QStringLiteral("revision"), read.revision);
        } else if (key == QStringLiteral("phase")) {
            read.phase = in.field(2).toLower();
        } else if (key == QStringLiteral("viscosity")) {
            error = ParsePoints(in, read.viscosity, read.viscosityCount, QStringLiteral("viscosity table"));
        } else if (key == QStringLiteral("density") && read.phase == QStringLiteral("gas") &&
                   in.nextKey() != QStringLiteral("data points")) {
            error = ParseGrid(in, read);
        } else if (key == QStringLiteral("density") &&
                   (read.phase == QStringLiteral("liquid") || read.phase == QStringLiteral("gas"))) {
            // A gas set may also hold a density table: the export writes it
            // before the grid, as points, and it reads back as points.
            error = ParsePoints(in, read.density, read.densityCount, QStringLiteral("density table"));
        }
        if (error) return error;
    }
    // An empty or binary file, one with a name and no table, or one whose
    // tables hold no point (or a density table of no known phase) would
    // otherwise "import" as empty tables, reported as a success; and no file
    // could be written of it that reads back.
    if (read.viscosityCount <= 0 && read.densityCount <= 0 && !read.isGas())
        return QStringLiteral("It holds no table line.");
    set = read;
    return std::nullopt;
}

QStringList SplitTableFile(const QByteArray& content) {
    QStringList lines = QString::fromLatin1(content).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r')) line.chop(1);
    return lines;
}

std::optional<QStringList> ReadTableFileLines(const QString& path, QString& why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxTableFileBytes) {
        why = QStringLiteral("it is too large to be a property table file");
        return std::nullopt;
    }
    return SplitTableFile(file.readAll());
}

}  // namespace app
