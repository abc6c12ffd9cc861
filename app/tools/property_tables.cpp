#include "app/tools/property_tables.h"

#include <functional>

#include "app/commands/SendHART.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/forms/configuration_form.h"

namespace app {

namespace {

// Table selectors of commands 218 and 219, heading kinds of 224 and 225.
constexpr uint8_t kViscosityTable = 0;
constexpr uint8_t kDensityTable = 1;
constexpr uint8_t kGasRowTable = 2;
constexpr uint8_t kGasColumnTable = 3;
constexpr uint8_t kColumnHeading = 0;
constexpr uint8_t kRowHeading = 1;
constexpr int kMaxRevision = 255;  // travels as one byte

// Digit patterns of the file: temperatures and column headings "0.##",
// viscosities "0.000####", densities "0.#######".
QString TemperatureText(float value) { return FilePatternText(value, 0, 2); }
QString ViscosityText(float value) { return FilePatternText(value, 3, 7); }
QString DensityText(float value) { return FilePatternText(value, 0, 7); }

// A size the meter reports: 1 to 16 entries are a table, anything else none.
int TableCount(int reported) { return reported >= 1 && reported <= kMaxTableEntries ? reported : 0; }

// Runs a transaction; false when the meter did not answer or refused it.
bool Took(const std::function<void()>& send) { return MeterTook(send); }

// Reads a file's lines the way the import walks them: a read past the end
// leaves the line as it was.
class LineReader {
public:
    explicit LineReader(const QStringList& lines) : lines_(lines) {}
    bool atEnd() const { return at_ >= lines_.size(); }
    const QString& line() const { return lines_[at_]; }
    int number() const { return static_cast<int>(at_) + 1; }
    QString field(int n) const { return FieldOf(line(), n); }
    QString key() const { return field(1).toLower(); }
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
        } else if (key == QStringLiteral("density") && read.phase == QStringLiteral("gas")) {
            error = ParseGrid(in, read);
        } else if (key == QStringLiteral("density") && read.phase == QStringLiteral("liquid")) {
            error = ParsePoints(in, read.density, read.densityCount, QStringLiteral("density table"));
        }
        if (error) return error;
    }
    set = read;
    return std::nullopt;
}

// ---- export --------------------------------------------------------------------

void PropertyTableTransfer::BeginExport() {
    set_.revision = set_.viscosityCount = set_.densityCount = set_.gasColumns = set_.gasRows = -1;
    set_.name = QStringLiteral("!");
    cursor_ = {};
}

PropertyTableTransfer::Step PropertyTableTransfer::ExportStep(QString& status) {
    auto sent = [](bool took) { return took ? Step::Sent : Step::Failed; };
    auto readSize = [&](int& count, uint8_t table, const char* text) {
        status = QString::fromLatin1(text);
        const bool took = Took([&] { SendCmd218(table); });
        if (took) count = TableCount(TableSize);
        return sent(took);
    };
    PropertyTableSet& s = set_;
    Cursors& c = cursor_;

    if (s.revision == -1) {
        status = QStringLiteral("Reading: property table revision");
        const bool took = Took([] { SendCmd216(); });
        if (took) {
            s.revision = PropertyTableVersion;
            s.name = PropertyTableName;
        }
        return sent(took);
    }
    if (s.viscosityCount == -1)
        return readSize(s.viscosityCount, kViscosityTable, "Reading: temperature-viscosity table size");
    if (s.densityCount == -1)
        return readSize(s.densityCount, kDensityTable, "Reading: temperature-density table size");
    if (s.gasRows == -1) return readSize(s.gasRows, kGasRowTable, "Reading: gas row table size");
    if (s.gasColumns == -1) return readSize(s.gasColumns, kGasColumnTable, "Reading: gas column table size");

    if (c.viscosity < s.viscosityCount) {
        status = QStringLiteral("Reading: viscosity point %1").arg(c.viscosity + 1);
        if (!Took([&] { SendCmd221(c.viscosity); })) return Step::Failed;
        s.viscosity[c.viscosity++] = {ViscosityPointTemperature, ViscosityPointValue};
        return Step::Sent;
    }
    if (c.density < s.densityCount) {
        status = QStringLiteral("Reading: density point %1").arg(c.density + 1);
        if (!Took([&] { SendCmd223(c.density); })) return Step::Failed;
        s.density[c.density++] = {DensityPointTemperature, DensityPointValue};
        return Step::Sent;
    }
    if (c.columnHeading < s.gasColumns) {
        status = QStringLiteral("Reading: gas column %1").arg(c.columnHeading + 1);
        if (!Took([&] { SendCmd225(kColumnHeading, c.columnHeading); })) return Step::Failed;
        s.columnHeadings[c.columnHeading++] = GasAxisValue;
        return Step::Sent;
    }
    if (c.rowHeading < s.gasRows) {
        status = QStringLiteral("Reading: gas row %1").arg(c.rowHeading + 1);
        if (!Took([&] { SendCmd225(kRowHeading, c.rowHeading); })) return Step::Failed;
        s.rowHeadings[c.rowHeading++] = GasAxisValue;
        return Step::Sent;
    }
    // The grid column by column, each column from the first row to the last.
    if (s.isGas() && c.gridColumn < s.gasColumns) {
        if (c.gridRow >= s.gasRows) {
            c.gridRow = 0;
            ++c.gridColumn;
            return Step::Sent;
        }
        status = QStringLiteral("Reading: gas density Row: %1, Column: %2").arg(c.gridRow + 1).arg(c.gridColumn + 1);
        if (!Took([&] { SendCmd227(c.gridRow, c.gridColumn); })) return Step::Failed;
        s.gasDensity[c.gridRow][c.gridColumn] = GasDensityValue;
        ++c.gridRow;
        return Step::Sent;
    }
    return Step::Finished;
}

// ---- import --------------------------------------------------------------------

void PropertyTableTransfer::BeginImport() { cursor_ = {}; }

PropertyTableTransfer::Step PropertyTableTransfer::ImportStep(QString& status) {
    PropertyTableSet& s = set_;
    Cursors& c = cursor_;
    auto sent = [](bool took) { return took ? Step::Sent : Step::Failed; };
    auto byte = [](int value) { return static_cast<uint8_t>(value); };

    if (s.revision >= 0) {
        status = QStringLiteral("Writing table name, revision, and sizes");
        // A count of 0 sends no size: the meter keeps the size it had.
        bool took = Took([&] { SendCmd217(s.name, byte(s.revision)); });
        if (took && s.viscosityCount > 0) took = Took([&] { SendCmd219(kViscosityTable, byte(s.viscosityCount)); });
        if (took && s.densityCount > 0) took = Took([&] { SendCmd219(kDensityTable, byte(s.densityCount)); });
        if (took && s.isGas()) took = Took([&] { SendCmd219(kGasRowTable, byte(s.gasRows)); });
        if (took && s.isGas()) took = Took([&] { SendCmd219(kGasColumnTable, byte(s.gasColumns)); });
        if (took) s.revision = -1;
        return sent(took);
    }
    if (c.viscosity < s.viscosityCount) {
        const auto& point = s.viscosity[c.viscosity];
        status = QStringLiteral("Writing: viscosity point %1").arg(c.viscosity + 1);
        if (!Took([&] { SendCmd220(c.viscosity, point.temperature, point.value); })) return Step::Failed;
        ++c.viscosity;
        return Step::Sent;
    }
    if (c.density < s.densityCount) {
        const auto& point = s.density[c.density];
        status = QStringLiteral("Writing: density point %1").arg(c.density + 1);
        if (!Took([&] { SendCmd222(c.density, point.temperature, point.value); })) return Step::Failed;
        ++c.density;
        return Step::Sent;
    }
    if (c.columnHeading < s.gasColumns) {
        status = QStringLiteral("Writing: temperature heading %1").arg(c.columnHeading + 1);
        if (!Took([&] { SendCmd224(kColumnHeading, c.columnHeading, s.columnHeadings[c.columnHeading]); }))
            return Step::Failed;
        ++c.columnHeading;
        return Step::Sent;
    }
    if (c.rowHeading < s.gasRows) {
        status = QStringLiteral("Writing: pressure heading %1").arg(c.rowHeading + 1);
        if (!Took([&] { SendCmd224(kRowHeading, c.rowHeading, s.rowHeadings[c.rowHeading]); })) return Step::Failed;
        ++c.rowHeading;
        return Step::Sent;
    }
    if (s.isGas() && c.gridColumn < s.gasColumns) {
        if (c.gridRow >= s.gasRows) {
            c.gridRow = 0;
            ++c.gridColumn;
            return Step::Sent;
        }
        status = QStringLiteral("Writing: gas density Column %1, Row %2").arg(c.gridColumn + 1).arg(c.gridRow + 1);
        if (!Took([&] { SendCmd226(c.gridRow, c.gridColumn, s.gasDensity[c.gridRow][c.gridColumn]); }))
            return Step::Failed;
        ++c.gridRow;
        return Step::Sent;
    }
    return Step::Finished;
}

}  // namespace app
