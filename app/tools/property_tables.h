// The fluid property table set the property-table form moves between the
// meter and comma-separated files: the liquid viscosity and density tables
// and the gas density grid over pressure (rows) and temperature (columns).
// The file layout and the transfer steps live here; the form runs one step
// per timer tick and shows the step's status text.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
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

// Field n (from 1) of a comma-separated line, blanks around it removed; the
// last field runs to the end of the line, and a field beyond it is the last.
QString FieldOf(const QString& line, int n);

// The file's lines (without line ends) for `set`; the first line names the
// table `shownName`.
QStringList TableFileLines(const PropertyTableSet& set, const QString& shownName);

// Reads a table file's lines into `set` (its counts reset to 0 first; name,
// revision and phase as the file gives them). Nothing is changed and the
// reason, naming the line, is returned when the file declares more than 16
// entries, has text where a number must stand, or ends inside a table.
std::optional<QString> ParseTableFile(const QStringList& lines, PropertyTableSet& set);

// The steps of a transfer, one device command (or none) per call.
class PropertyTableTransfer {
public:
    enum class Step { Sent, Finished, Failed };

    PropertyTableSet& table() { return set_; }
    const PropertyTableSet& table() const { return set_; }

    // Export: everything unread, the cursors at the start.
    void BeginExport();
    // Reads the next open item; `status` gets the step's text (unchanged
    // for a step that sends nothing). Failed when the meter did not answer
    // or refused it.
    Step ExportStep(QString& status);

    // Import: the cursors at the start; the table comes from ParseTableFile.
    void BeginImport();
    Step ImportStep(QString& status);

private:
    struct Cursors {
        uint8_t viscosity = 0;
        uint8_t density = 0;
        uint8_t columnHeading = 0;
        uint8_t rowHeading = 0;
        uint8_t gridColumn = 0;
        uint8_t gridRow = 0;
    };
    PropertyTableSet set_;
    Cursors cursor_;
};

}  // namespace app
