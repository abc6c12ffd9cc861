#include "app/reports/property_tables.h"

#include <algorithm>

#include "app/commands/SendHART.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmComPort.h"

namespace app {

namespace {

// Table selectors of commands 218 and 219, heading kinds of 224 and 225.
constexpr uint8_t kViscosityTable = 0;
constexpr uint8_t kDensityTable = 1;
constexpr uint8_t kGasRowTable = 2;
constexpr uint8_t kGasColumnTable = 3;
constexpr uint8_t kColumnHeading = 0;
constexpr uint8_t kRowHeading = 1;

// A size the meter reports: 1 to 16 entries are a table, anything else none.
int TableCount(int reported) { return reported >= 1 && reported <= kMaxTableEntries ? reported : 0; }

// An export first reads the revision and the four table sizes; an import
// writes its header (name, revision and sizes) in one step.
constexpr int kExportHeaderSteps = 5;
constexpr int kImportHeaderSteps = 1;

int Known(int count) { return count < 0 ? 0 : count; }

}  // namespace

// ---- export --------------------------------------------------------------------

void PropertyTableTransfer::BeginExport() {
    set_.revision = set_.viscosityCount = set_.densityCount = set_.gasColumns = set_.gasRows = -1;
    set_.name = QStringLiteral("!");
    cursor_ = {};
    exporting_ = true;
}

PropertyTableTransfer::Step PropertyTableTransfer::ExportStep(QString& status) {
    auto sent = [](bool took) { return took ? Step::Sent : Step::Failed; };
    auto readSize = [&](int& count, uint8_t table, const char* text) {
        status = QString::fromLatin1(text);
        const bool took = MeterTook([&] { SendCmd218(table); });
        if (took) count = TableCount(TableSize);
        return sent(took);
    };
    PropertyTableSet& s = set_;
    Cursors& c = cursor_;

    if (s.revision == -1) {
        status = QStringLiteral("Reading: property table revision");
        const bool took = MeterTook([] { SendCmd216(); });
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
        if (!MeterTook([&] { SendCmd221(c.viscosity); })) return Step::Failed;
        s.viscosity[c.viscosity++] = {ViscosityPointTemperature, ViscosityPointValue};
        return Step::Sent;
    }
    if (c.density < s.densityCount) {
        status = QStringLiteral("Reading: density point %1").arg(c.density + 1);
        if (!MeterTook([&] { SendCmd223(c.density); })) return Step::Failed;
        s.density[c.density++] = {DensityPointTemperature, DensityPointValue};
        return Step::Sent;
    }
    if (c.columnHeading < s.gasColumns) {
        status = QStringLiteral("Reading: gas column %1").arg(c.columnHeading + 1);
        if (!MeterTook([&] { SendCmd225(kColumnHeading, c.columnHeading); })) return Step::Failed;
        s.columnHeadings[c.columnHeading++] = GasAxisValue;
        return Step::Sent;
    }
    if (c.rowHeading < s.gasRows) {
        status = QStringLiteral("Reading: gas row %1").arg(c.rowHeading + 1);
        if (!MeterTook([&] { SendCmd225(kRowHeading, c.rowHeading); })) return Step::Failed;
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
        if (!MeterTook([&] { SendCmd227(c.gridRow, c.gridColumn); })) return Step::Failed;
        s.gasDensity[c.gridRow][c.gridColumn] = GasDensityValue;
        ++c.gridRow;
        return Step::Sent;
    }
    return Step::Finished;
}

// ---- import --------------------------------------------------------------------

void PropertyTableTransfer::BeginImport() {
    cursor_ = {};
    exporting_ = false;
}

// ---- progress ------------------------------------------------------------------

int PropertyTableTransfer::ItemSteps() const {
    const PropertyTableSet& s = set_;
    return Known(s.viscosityCount) + Known(s.densityCount) + Known(s.gasColumns) + Known(s.gasRows) +
           (s.isGas() ? s.gasRows * s.gasColumns : 0);
}

int PropertyTableTransfer::StepsInAll() const {
    return (exporting_ ? kExportHeaderSteps : kImportHeaderSteps) + ItemSteps();
}

int PropertyTableTransfer::StepsDone() const {
    const PropertyTableSet& s = set_;
    const Cursors& c = cursor_;
    int done = 0;
    if (exporting_) {
        for (int read : {s.revision, s.viscosityCount, s.densityCount, s.gasRows, s.gasColumns})
            if (read != -1) ++done;
    } else if (s.revision < 0) {
        done = kImportHeaderSteps;
    }
    done += c.viscosity + c.density + c.columnHeading + c.rowHeading;
    if (s.isGas()) done += std::min<int>(c.gridColumn, s.gasColumns) * s.gasRows + (c.gridColumn < s.gasColumns ? c.gridRow : 0);
    return std::min(done, StepsInAll());
}

PropertyTableTransfer::Step PropertyTableTransfer::ImportStep(QString& status) {
    PropertyTableSet& s = set_;
    Cursors& c = cursor_;
    auto sent = [](bool took) { return took ? Step::Sent : Step::Failed; };
    auto byte = [](int value) { return static_cast<uint8_t>(value); };

    if (s.revision >= 0) {
        status = QStringLiteral("Writing table name, revision, and sizes");
        // A count of 0 sends no size: the meter keeps the size it had.
        bool took = MeterTook([&] { SendCmd217(s.name, byte(s.revision)); });
        if (took && s.viscosityCount > 0) took = MeterTook([&] { SendCmd219(kViscosityTable, byte(s.viscosityCount)); });
        if (took && s.densityCount > 0) took = MeterTook([&] { SendCmd219(kDensityTable, byte(s.densityCount)); });
        if (took && s.isGas()) took = MeterTook([&] { SendCmd219(kGasRowTable, byte(s.gasRows)); });
        if (took && s.isGas()) took = MeterTook([&] { SendCmd219(kGasColumnTable, byte(s.gasColumns)); });
        if (took) s.revision = -1;
        return sent(took);
    }
    if (c.viscosity < s.viscosityCount) {
        const auto& point = s.viscosity[c.viscosity];
        status = QStringLiteral("Writing: viscosity point %1").arg(c.viscosity + 1);
        if (!MeterTook([&] { SendCmd220(c.viscosity, point.temperature, point.value); })) return Step::Failed;
        ++c.viscosity;
        return Step::Sent;
    }
    if (c.density < s.densityCount) {
        const auto& point = s.density[c.density];
        status = QStringLiteral("Writing: density point %1").arg(c.density + 1);
        if (!MeterTook([&] { SendCmd222(c.density, point.temperature, point.value); })) return Step::Failed;
        ++c.density;
        return Step::Sent;
    }
    if (c.columnHeading < s.gasColumns) {
        status = QStringLiteral("Writing: temperature heading %1").arg(c.columnHeading + 1);
        if (!MeterTook([&] { SendCmd224(kColumnHeading, c.columnHeading, s.columnHeadings[c.columnHeading]); }))
            return Step::Failed;
        ++c.columnHeading;
        return Step::Sent;
    }
    if (c.rowHeading < s.gasRows) {
        status = QStringLiteral("Writing: pressure heading %1").arg(c.rowHeading + 1);
        if (!MeterTook([&] { SendCmd224(kRowHeading, c.rowHeading, s.rowHeadings[c.rowHeading]); })) return Step::Failed;
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
        if (!MeterTook([&] { SendCmd226(c.gridRow, c.gridColumn, s.gasDensity[c.gridRow][c.gridColumn]); }))
            return Step::Failed;
        ++c.gridRow;
        return Step::Sent;
    }
    return Step::Finished;
}

}  // namespace app
