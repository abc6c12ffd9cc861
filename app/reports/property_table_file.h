// The comma-separated file of a fluid property table set: the liquid
// viscosity and density tables and the gas density grid over pressure (rows)
// and temperature (columns). Writing and reading the file live here, apart
// from the transfer to the meter, so any reader of these files (the import,
// the fuzz target) goes through the one parser.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace app {

inline constexpr int kMaxTableEntries = 16;  // points, rows or columns

struct PropertyTableSet {
    struct Point {
        float temperature = 0;
        float value = 0;
    };
    QString name;
    int revision = -1;  // export: not read yet; import: header already written
    int viscosityCount = -1;
    int densityCount = -1;
    int gasColumns = -1;  // temperatures
    int gasRows = -1;     // pressures
    QString phase;
    std::array<Point, kMaxTableEntries> viscosity{};  // position 1 is [0]
    std::array<Point, kMaxTableEntries> density{};
    std::array<float, kMaxTableEntries> columnHeadings{};
    std::array<float, kMaxTableEntries> rowHeadings{};
    std::array<std::array<float, kMaxTableEntries>, kMaxTableEntries> gasDensity{};  // [row][column]

    bool isGas() const { return gasColumns >= 1 && gasRows >= 1; }
};

// The table's name as shown and written to the first line of its file: the
// meter pads it with blanks to its full length.
QString ShownTableName(const QString& name);

// Field n (from 1) of a comma-separated line, blanks around it removed; the
// last field runs to the end of the line, and a field beyond it is the last.
QString FieldOf(const QString& line, int n);

// The file's lines (without line ends) for `set`; the first line names the
// table `shownName`.
QStringList TableFileLines(const PropertyTableSet& set, const QString& shownName);

// Reads a table file's lines into `set` (its counts reset to 0 first; name,
// revision and phase as the file gives them). Nothing is changed and the
// reason, naming the line, is returned when the file declares more than 16
// entries, has text where a number must stand, or ends inside a table; and a
// reason when no line starts a table (an empty or binary file, or a name alone).
std::optional<QString> ParseTableFile(const QStringList& lines, PropertyTableSet& set);

// A file's content as lines without their line ends (CR LF or LF); the
// bytes are read as Latin-1, so every byte is one character.
QStringList SplitTableFile(const QByteArray& content);

// A table file's lines; nullopt with the reason in `why` when it cannot be
// read or is far too large to be one (it is then not read into memory).
std::optional<QStringList> ReadTableFileLines(const QString& path, QString& why);

}  // namespace app
