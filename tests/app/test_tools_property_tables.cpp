// Property tables: export from the simulated meter to a file, import from a
// file into a second meter, the file layout, the transfer order and the
// refusals of files that cannot be stored.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProgressBar>
#include <QLocale>
#include <QTemporaryDir>

#include "app/tools/file_dialogs.h"
#include "app/tools/frmPropertyTables.h"
#include "app/reports/property_tables.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;
using corvane::sim::PropertyTables;

class PropertyTablesTest : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        FormsTest::TearDown();
    }

    std::unique_ptr<app::frmPropertyTables> open() { return std::make_unique<app::frmPropertyTables>(window.get()); }

    // Runs the transfer the form started, one tick after another. The busy
    // pointer and the progress bar show from its start to its end, the bar
    // never going back; after it both are gone.
    void runTransfer(app::frmPropertyTables& form, void (app::frmPropertyTables::*tick)()) {
        auto* bar = child<QProgressBar>(form, "prgTransfer");
        int before = 0;
        for (int ticks = 0; form.transferring() && ticks < 2000; ++ticks) {
            EXPECT_TRUE(bar->isVisibleTo(&form));
            EXPECT_TRUE(ui.busyPointerShowing());
            (form.*tick)();
            if (form.transferring()) {
                EXPECT_FALSE(form.isEnabled());
                EXPECT_GE(bar->value(), before);
                EXPECT_LE(bar->value(), bar->maximum());
                before = bar->value();
            }
        }
        EXPECT_FALSE(form.transferring());
        EXPECT_TRUE(form.isEnabled());
        EXPECT_FALSE(bar->isVisibleTo(&form));
        EXPECT_EQ(ui.busyDepth(), 0);
    }

    // Exports the meter's tables as `name` (the dialog adds ".csv"); what
    // the meter received meanwhile, as sentDuring lists it.
    std::vector<std::string> exportAs(const QString& name) {
        auto form = open();
        ui.queueDialog([this, name](QDialog& dialog) {
            auto& save = dynamic_cast<app::frmBrowseSave&>(dialog);
            ASSERT_TRUE(save.setDirectory(dir.path()));
            type(save, "txtFilename", name);
            click(save, "OKButton");
        });
        return sentDuring([&] {
            click(*form, "btnExportPropertyTable");
            runTransfer(*form, &app::frmPropertyTables::tmrReadInfo_Timer);
        });
    }
    // Imports `file` of the test directory.
    std::vector<std::string> importFrom(const QString& file) {
        auto form = open();
        ui.queueDialog([this, file](QDialog& dialog) {
            auto& browse = dynamic_cast<app::frmBrowse&>(dialog);
            ASSERT_TRUE(browse.setDirectory(dir.path()));
            auto* files = child<QListWidget>(browse, "fileList");
            const auto found = files->findItems(file, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1);
            found[0]->setSelected(true);
            click(browse, "OKButton");
        });
        return sentDuring([&] {
            click(*form, "btnImportPropertyTable");
            runTransfer(*form, &app::frmPropertyTables::tmrWriteInfo_Timer);
        });
    }

    QByteArray fileBytes(const QString& name) const {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return file.readAll();
    }
    QStringList fileLines(const QString& name) const {
        QStringList lines = QString::fromLatin1(fileBytes(name)).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.last(), "");  // every line ends with CR LF
        lines.removeLast();
        return lines;
    }
    void writeFile(const QString& name, const QStringList& lines) const {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((lines.join("\r\n") + "\r\n").toLatin1());
    }
    // The entries of `sent` of these commands, the data cut to `bytes`.
    static std::vector<std::string> only(const std::vector<std::string>& sent, std::initializer_list<int> commands,
                                         size_t bytes = 2) {
        std::vector<std::string> kept;
        for (const std::string& entry : sent)
            for (int command : commands)
                if (entry.starts_with(std::to_string(command))) kept.push_back(entry.substr(0, 4 + 2 * bytes));
        return kept;
    }
    const PropertyTables& tables() const { return sim->meter.state().tables; }

    QTemporaryDir dir;
};

TEST_F(PropertyTablesTest, FormShowsTheMetersTable) {
    connectTo("gas_insertion");
    auto form = open();
    EXPECT_EQ(form->windowTitle(), "  Property Tables");
    EXPECT_EQ(text(*form, "txtPropertyTableName").trimmed(), "COMPRESSED GAS");
    EXPECT_EQ(text(*form, "txtPropertyTableVersionNumber"), "3");
    QAction* entry = child<QAction>(*window, "mnuPropertyTables");
    EXPECT_TRUE(entry->isEnabled());
}

// The name an earlier read stored is not shown as the table of a meter that
// does not answer.
TEST_F(PropertyTablesTest, FormShowsNoTableWhenTheMeterDoesNotName) {
    connectTo("gas_insertion");
    open().reset();
    sim->silent = true;
    auto form = open();
    EXPECT_EQ(text(*form, "txtPropertyTableName"), "");
    EXPECT_EQ(text(*form, "txtPropertyTableVersionNumber"), "");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

// The layout line for line, in a locale with a decimal comma too.
TEST_F(PropertyTablesTest, LiquidExportWritesTheLayoutWithDecimalPoints) {
    connectTo("liquid_wafer");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto sent = exportAs("water.csv");
    const QStringList expected = {
        "Name,WATER",   "Revision,1",      "Phase,Liquid", "Viscosity,",  "Data Points,3",
        "32.,1.790",    "68.,1.000",       "212.,0.280",   "Density,",    "Data Points,3",
        "32.,62.42",    "68.,62.32",       "212.,59.83",
    };
    EXPECT_EQ(fileLines("water.csv.csv"), expected);  // a typed ".csv" gets the extension again
    ASSERT_EQ(ui.messageBoxes().size(), 1u) << boxTexts().join('|').toStdString();
    EXPECT_EQ(ui.messageBoxes()[0].text, "Configuration export completed Successfully!");
    EXPECT_EQ(ui.messageBoxes()[0].title, "Success");
    EXPECT_EQ(ui.messageBoxes()[0].icon, platform::vbInformation);
    // One command per step: header, the four sizes, then the points in order.
    EXPECT_EQ(sent, (std::vector<std::string>{"216", "218 00", "218 01", "218 02", "218 03", "221 00", "221 01",
                                              "221 02", "223 00", "223 01", "223 02"}));
}

TEST_F(PropertyTablesTest, CancelledSaveWritesNothing) {
    connectTo("liquid_wafer");
    auto form = open();
    ui.queueDialogResult(QDialog::Rejected);
    click(*form, "btnExportPropertyTable");
    runTransfer(*form, &app::frmPropertyTables::tmrReadInfo_Timer);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

// A table of 1 and one of 16 points (a full table) reach a second meter whole.
TEST_F(PropertyTablesTest, LiquidTablesTravelValueForValue) {
    QStringList sixteen;
    for (int p = 0; p < 16; ++p) sixteen << QStringLiteral("%1:%2").arg(10 + p * 12.25).arg(1.5 - p * 0.0625);
    const std::pair<std::string, std::string> cases[] = {{"68:1.002", "68:62.3"},
                                                         {sixteen.join(',').toStdString(), "4:62.43, 104.5:61.93"}};
    for (const auto& [viscosity, density] : cases) {
        connectTo("liquid_wafer", {{"table.name", "BRINE 20"},
                                   {"table.version", "7"},
                                   {"table.viscosity", viscosity},
                                   {"table.density", density}});
        exportAs("brine");
        const PropertyTables exported = tables();

        connectTo("liquid_wafer", {{"mode", "edit"}});
        ui.queueAnswer(platform::vbYes);
        importFrom("brine.csv");
        ASSERT_EQ(ui.messageBoxes().size(), 1u) << boxTexts().join('|').toStdString();
        EXPECT_EQ(ui.messageBoxes()[0].text, "Configuration import completed successfully!");
        const PropertyTables& imported = tables();
        EXPECT_EQ(imported.name, exported.name);
        EXPECT_EQ(imported.version, 7);
        ASSERT_EQ(imported.viscosityPoints, exported.viscosityPoints);
        ASSERT_EQ(imported.densityPoints, exported.densityPoints);
        for (size_t p = 0; p < exported.viscosityPoints; ++p) {
            EXPECT_EQ(imported.viscosity[p].temperature, exported.viscosity[p].temperature) << p;
            EXPECT_EQ(imported.viscosity[p].value, exported.viscosity[p].value) << p;
        }
        for (size_t p = 0; p < exported.densityPoints; ++p) {
            EXPECT_EQ(imported.density[p].temperature, exported.density[p].temperature) << p;
            EXPECT_EQ(imported.density[p].value, exported.density[p].value) << p;
        }
    }
}

TEST_F(PropertyTablesTest, FullGasGridTravelsValueForValue) {
    QStringList pressures, temperatures, rows;
    for (int i = 0; i < 16; ++i) {
        pressures << QString::number(14.7 + i * 25);
        temperatures << QString::number(-40 + i * 17.5);
    }
    for (int r = 0; r < 16; ++r) {
        QStringList row;
        for (int c = 0; c < 16; ++c) row << QString::number(0.05 + r * 0.125 - c * 0.0015625, 'g', 7);
        rows << row.join(',');
    }
    connectTo("gas_insertion", {{"table.gas_pressures", pressures.join(',').toStdString()},
                                {"table.gas_temperatures", temperatures.join(',').toStdString()},
                                {"table.gas_density", rows.join(';').toStdString()}});
    exportAs("air");
    const QStringList lines = fileLines("air.csv");
    ASSERT_GE(lines.size(), 7 + 16);
    const qsizetype grid = lines.indexOf("Columns,16");
    ASSERT_GT(grid, 3);
    EXPECT_EQ(lines[2], "Phase,Gas");
    EXPECT_EQ(lines.mid(grid - 1, 3), (QStringList{"Density,", "Columns,16", "Rows,16"}));
    EXPECT_TRUE(lines[grid + 2].startsWith("P\\T,-40.,-22.5,-5.,12.5,")) << lines[grid + 2].toStdString();
    EXPECT_TRUE(lines[grid + 3].startsWith("14.7,0.05,0.0484375,")) << lines[grid + 3].toStdString();
    EXPECT_EQ(lines.size(), grid + 3 + 16);
    const PropertyTables exported = tables();

    connectTo("liquid_wafer");
    ui.queueAnswer(platform::vbYes);  // enter edit mode
    importFrom("air.csv");
    const PropertyTables& imported = tables();
    ASSERT_EQ(imported.gasRows, 16);
    ASSERT_EQ(imported.gasColumns, 16);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(imported.rowPressures[i], exported.rowPressures[i]) << i;
        EXPECT_EQ(imported.columnTemperatures[i], exported.columnTemperatures[i]) << i;
        for (size_t c = 0; c < 16; ++c) EXPECT_EQ(imported.gasDensity[i][c], exported.gasDensity[i][c]) << i << c;
    }
    EXPECT_EQ(imported.name, exported.name);
}

// Both directions walk the grid column by column, each column from the first row.
TEST_F(PropertyTablesTest, GridTravelsColumnByColumn) {
    connectTo("gas_insertion", {{"table.gas_pressures", "50,100,150"},
                                {"table.gas_temperatures", "32,100"},
                                {"table.gas_density", "0.3,0.26;0.6,0.53;0.9,0.79"}});
    EXPECT_EQ(only(exportAs("grid"), {225, 227}), (std::vector<std::string>{"225 0000", "225 0001", "225 0100", "225 0101", "225 0102",
                                               "227 0000", "227 0100", "227 0200", "227 0001", "227 0101",
                                               "227 0201"}));

    connectTo("gas_insertion", {{"mode", "edit"}});
    const auto sent = importFrom("grid.csv");
    // The meter's density table (3 points) travels too, beside the grid.
    EXPECT_EQ(only(sent, {219, 224, 226}),
              (std::vector<std::string>{"219 0003", "219 0103", "219 0203", "219 0302", "224 0000", "224 0001", "224 0100",
                                        "224 0101", "224 0102", "226 0000", "226 0100", "226 0200", "226 0001",
                                        "226 0101", "226 0201"}));
    EXPECT_EQ(only(sent, {217}, 0), std::vector<std::string>{"217 "});
    EXPECT_EQ(tables().gasDensity[2][1], 0.79f);
    EXPECT_EQ(tables().gasDensity[1][0], 0.6f);
}

TEST_F(PropertyTablesTest, FileKeysIgnoreCaseAndBlanksAndTakeTheLastField) {
    EXPECT_EQ(app::FieldOf("a, b ,c", 2), "b");
    EXPECT_EQ(app::FieldOf("a, b ,c", 9), "c");
    EXPECT_EQ(app::FieldOf("name", 2), "name");
    app::PropertyTableSet set;
    ASSERT_FALSE(app::ParseTableFile({" NAME ,  abc  ", "ReVision, 4", "PHASE,LIQUID", "DENSITY,",
                                      " data POINTS , 2", " 10 , 62.5", "20.,62.25"},
                                     set));
    EXPECT_EQ(set.name, "abc");
    EXPECT_EQ(set.revision, 4);
    EXPECT_EQ(set.phase, "liquid");
    EXPECT_EQ(set.densityCount, 2);
    EXPECT_EQ(set.density[0].temperature, 10.0f);
    EXPECT_EQ(set.density[1].value, 62.25f);
    // A name without a table is no table file, and changes nothing.
    EXPECT_TRUE(app::ParseTableFile({"name"}, set));
    EXPECT_EQ(set.name, "abc");
    // Unknown keys, and a density block under a phase not known, are
    // skipped; with nothing else the file holds no table.
    ASSERT_FALSE(app::ParseTableFile(
        {"Comment,x", "Phase,Steam", "Density,", "Phase,Liquid", "Viscosity,", "Data Points,1", "10,1.5"}, set));
    EXPECT_EQ(set.densityCount, 0);
    EXPECT_EQ(set.viscosityCount, 1);
    EXPECT_EQ(app::ParseTableFile({"Comment,x", "Phase,Steam", "Density,", "Columns,2"}, set),
              QStringLiteral("It holds no table line."));
    EXPECT_EQ(set.viscosityCount, 1) << "a refused file changes nothing";
}

// A gas set that also holds a density table: the export writes the table as
// points before the grid, and the file reads back whole.
TEST_F(PropertyTablesTest, GasSetWithADensityTableReadsBackWhole) {
    app::PropertyTableSet set;
    set.name = QStringLiteral("AIR");
    set.revision = 3;
    set.densityCount = 2;
    set.density[0] = {10.0f, 0.5f};
    set.density[1] = {20.0f, 0.25f};
    set.gasColumns = 2;
    set.gasRows = 1;
    set.columnHeadings = {0.0f, 100.0f};
    set.rowHeadings[0] = 14.5f;
    set.gasDensity[0][0] = 0.0625f;
    set.gasDensity[0][1] = 0.125f;
    const QStringList written = app::TableFileLines(set, set.name);
    app::PropertyTableSet read;
    ASSERT_FALSE(app::ParseTableFile(written, read));
    EXPECT_EQ(read.densityCount, 2);
    EXPECT_EQ(read.density[1].value, 0.25f);
    EXPECT_EQ(read.gasColumns, 2);
    EXPECT_EQ(read.gasRows, 1);
    EXPECT_EQ(read.gasDensity[0][1], 0.125f);
    EXPECT_EQ(app::TableFileLines(read, read.name), written);
}

// Files that cannot be stored are refused, naming the line, before anything is sent.
TEST_F(PropertyTablesTest, ImportRefusesFilesThatCannotBeStored) {
    QStringList seventeen = {"Name,BIG", "Revision,1", "Phase,Liquid", "Viscosity,", "Data Points,17"};
    for (int p = 0; p < 17; ++p) seventeen << QStringLiteral("%1,1.0").arg(p);
    const std::pair<QStringList, QString> files[] = {
        {seventeen, "Line 5: the number of points must be a whole number from 0 to 16."},
        {{"Name,G", "Revision,1", "Phase,Gas", "Density,", "Columns,17", "Rows,2"},
         "Line 5: the number of columns must be a whole number from 0 to 16."},
        {{"Name,G", "Phase,Gas", "Density,", "Columns,1", "Rows,40"},
         "Line 5: the number of rows must be a whole number from 0 to 16."},
        {{"Name,L", "Revision,1", "Phase,Liquid", "Density,", "Data Points,2", "10,62.5", "20,abc"},
         "Line 7: a number is expected in field 2."},
        {{"Name,L", "Revision,one", "Phase,Liquid"}, "Line 2: the revision must be a whole number from 0 to 255."},
        {{"Name,L", "Phase,Liquid", "Viscosity,", "Data Points,3", "10,1.5", "20,1.25"},
         "Line 6: the file ends inside the viscosity table."},
        {{"Name,G", "Phase,Gas", "Density,", "Columns,2", "Rows,1", "P\\T,10,20", "50,0.3"},
         "Line 7: a number is expected in field 3."},
    };
    connectTo("liquid_wafer", {{"mode", "edit"}});
    const PropertyTables before = tables();
    for (const auto& [lines, reason] : files) {
        writeFile("bad.csv", lines);
        ui.clear();
        const auto sent = importFrom("bad.csv");
        expectOnlyError("The file " + dir.filePath("bad.csv") + " is not a property table file. " + reason);
        EXPECT_TRUE(sent.empty()) << lines.join('|').toStdString();
    }
    EXPECT_EQ(tables().name, before.name);
    EXPECT_EQ(tables().viscosityPoints, before.viscosityPoints);
}

// An empty, binary or huge file, or one holding only a name, is no table:
// the meter keeps its own, and no success is shown.
TEST_F(PropertyTablesTest, ImportRefusesFilesThatHoldNoTable) {
    connectTo("liquid_wafer", {{"mode", "edit"}});
    const PropertyTables before = tables();
    const QString noTable = QStringLiteral(" is not a property table file. It holds no table line.");
    const auto writeBytes = [this](const QString& name, const QByteArray& bytes, qint64 size) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.resize(size));  // the rest are zero bytes
    };
    writeBytes("empty.csv", {}, 0);
    writeBytes("binary.csv", QByteArray("\x7f" "ELF\x02\x01\x00\x00\r\n\xff\xfe,\x00", 14), 14);
    writeBytes("huge.csv", "Name,HUGE\r\n", 2 << 20);
    writeBytes("name-only.csv", "Name,WATER\r\nRevision,3\r\nPhase,Liquid\r\n", 38);
    // Tables without a point, and a density grid under a phase it does not know: nothing to write.
    const QByteArray noPoints = "Name,WATER\r\nRevision,3\r\nPhase,Liquid\r\nViscosity,\r\nData Points,0\r\n";
    writeBytes("no-points.csv", noPoints, noPoints.size());
    const QByteArray unknownPhase =
        "Name,AIR\r\nRevision,3\r\nPhase,Plasma\r\nDensity,\r\nColumns,2\r\nRows,1\r\nP\\T,0,100\r\n14.7,0.08,0.06\r\n";
    writeBytes("unknown-phase.csv", unknownPhase, unknownPhase.size());
    const std::pair<QString, QString> files[] = {
        {"empty.csv", "The file " + dir.filePath("empty.csv") + noTable},
        {"binary.csv", "The file " + dir.filePath("binary.csv") + noTable},
        {"name-only.csv", "The file " + dir.filePath("name-only.csv") + noTable},
        {"no-points.csv", "The file " + dir.filePath("no-points.csv") + noTable},
        {"unknown-phase.csv", "The file " + dir.filePath("unknown-phase.csv") + noTable},
        {"huge.csv", "The file " + dir.filePath("huge.csv") +
                         " could not be read: it is too large to be a property table file"},
    };
    for (const auto& [name, error] : files) {
        ui.clear();
        const auto sent = importFrom(name);
        expectOnlyError(error);
        EXPECT_TRUE(sent.empty()) << name.toStdString();
    }
    EXPECT_EQ(tables().name, before.name);
    EXPECT_EQ(tables().viscosityPoints, before.viscosityPoints);
}

// A meter that stops answering ends the transfer: no file, no success claimed.
TEST_F(PropertyTablesTest, ExportStopsWhenTheMeterStopsAnswering) {
    connectTo("liquid_wafer");
    auto form = open();
    click(*form, "btnExportPropertyTable");
    for (int tick = 0; tick < 6; ++tick) form->tmrReadInfo_Timer();
    sim->silent = true;
    runTransfer(*form, &app::frmPropertyTables::tmrReadInfo_Timer);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_EQ(ui.dialogs().size(), 0u);  // no save dialog
    EXPECT_FALSE(boxTexts().contains("Configuration export completed Successfully!"));
    EXPECT_TRUE(boxTexts().contains("No Device Response !")) << boxTexts().join('|').toStdString();
    EXPECT_EQ(text(*form, "lblStatus"), "Export stopped: Reading: viscosity point 2");
}

TEST_F(PropertyTablesTest, ImportStopsWhenTheMeterRefusesAWrite) {
    connectTo("liquid_wafer", {{"mode", "edit"}});
    // Column headings of a grid without rows: the meter has no such column.
    writeFile("odd.csv", {"Name,ODD", "Phase,Gas", "Density,", "Columns,2", "Rows,0", "P\\T,10,20"});
    importFrom("odd.csv");
    EXPECT_FALSE(boxTexts().contains("Configuration import completed successfully!"))
        << boxTexts().join('|').toStdString();
}

}  // namespace
