// Diagnostics, status codes and the configuration report against the
// simulated meter: what each read sends and shows, the report lines by
// software revision, and where a report goes (text file, printer, nowhere).
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/tools/frmConfigReport.h"
#include "app/tools/frmDiagnostics.h"
#include "platform/printing.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

// A meter whose process stands still, so every figure of a report is known.
Settings steady(Settings more = {}) {
    Settings settings = {{"process.flow", "0"},
                         {"process.noise", "0"},
                         {"process.temperature_variation", "0"},
                         {"process.pressure_variation", "0"}};
    settings.insert(settings.end(), more.begin(), more.end());
    return settings;
}

// Report lines as one text, so a failed comparison prints them readably.
std::string joined(const QStringList& lines) { return lines.join('\n').toStdString(); }

// Compares report lines; an expected "<n>" stands for a figure that the
// simulated process moves by a hair between reads (its sensor noise).
void expectLines(const QStringList& actual, const QStringList& expected) {
    ASSERT_EQ(actual.size(), expected.size()) << joined(actual);
    for (qsizetype i = 0; i < actual.size(); ++i) {
        QStringList parts = expected[i].split(QStringLiteral("<n>"));
        for (QString& part : parts) part = QRegularExpression::escape(part);
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(parts.join(QStringLiteral("-?[0-9.]+"))));
        EXPECT_TRUE(pattern.match(actual[i]).hasMatch())
            << "line " << i + 1 << ": \"" << actual[i].toStdString() << "\", expected \"" << expected[i].toStdString() << '"';
    }
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::vector<std::string> kDiagnosticsReads = {"180", "132", "135", "133", "178", "179", "208", "210",
                                                    "149", "182", "183", "129", "229", "137", "199", "170"};

class Reports : public FormsTest {
protected:
    std::unique_ptr<app::frmDiagnostics> diagnostics() {
        return std::make_unique<app::frmDiagnostics>(window.get());
    }
    std::unique_ptr<app::frmConfigReport> configReport() {
        return std::make_unique<app::frmConfigReport>(window.get());
    }
    QTemporaryDir dir;
};

// ---- status codes ---------------------------------------------------------------

TEST(StatusCodes, ListTheTextsOfTheSetBitsFromBitZeroUp) {
    EXPECT_EQ(app::StatusCodeTexts(0x0021), (QStringList{"Can Not Rough Tune Carrier", "Renolds Out of Range"}));
    EXPECT_EQ(app::StatusCodeTexts(0x8000), QStringList{"EEPROM Write Failure"});
    EXPECT_EQ(app::StatusCodeTexts(0), QStringList{});
    const QStringList all = app::StatusCodeTexts(0xFFFF);
    ASSERT_EQ(all.size(), 16);
    EXPECT_EQ(all[2], "RF Gain limited");
    EXPECT_EQ(all[9], "Display TimeOut");
    EXPECT_EQ(all[12], "Temperature Sensor Failure");
}

TEST_F(Reports, StatusAndFaultLogButtonsDecodeTheirWordInTheirOwnWindow) {
    connectTo("liquid_wafer", steady({{"software_revision", "10"},
                                      {"diagnostics.status_codes", "0x8000"},
                                      {"diagnostics.fault_log", "0x0021"}}));
    auto form = diagnostics();
    EXPECT_EQ(text(*form, "txtStatusCodes"), "-32768");
    QStringList listed;
    auto readList = [&listed](QDialog& codes) {
        listed.clear();
        auto* list = child<QListWidget>(codes, "lstMeaning");
        for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    };
    ui.queueDialog(readList);
    click(*form, "btnStatus");
    EXPECT_EQ(listed, QStringList{"EEPROM Write Failure"});
    EXPECT_EQ(form->CodeList, "Carrier Status");
    ui.queueDialog(readList);
    click(*form, "btnFlault_Log");
    EXPECT_EQ(listed, (QStringList{"Can Not Rough Tune Carrier", "Renolds Out of Range"}));
    EXPECT_EQ(form->CodeList, "Fault Log");
    ASSERT_EQ(ui.dialogs().size(), 2u);
    EXPECT_EQ(ui.dialogs()[0].title, "Status Codes");
    EXPECT_EQ(ui.dialogs()[1].title, "Fault Log Codes");
    EXPECT_EQ(ui.dialogs()[1].objectName, "frmStatus_Codes");
}

// ---- diagnostics ----------------------------------------------------------------

TEST_F(Reports, DiagnosticsReadsSixteenCommandsInOrderAndReportsFortyOneLines) {
    connectTo("liquid_wafer", steady({{"software_revision", "17"}}));
    QAction* entry = child<QAction>(*window, "mnuDiagnostics");
    ASSERT_TRUE(entry->isEnabled());
    ui.queueDialogResult(QDialog::Rejected);
    EXPECT_EQ(sentDuring([&] { entry->trigger(); }), kDiagnosticsReads);
    EXPECT_EQ(ui.dialogs().back().title, "  Diagnostics");

    std::unique_ptr<app::frmDiagnostics> form;
    EXPECT_EQ(sentDuring([&] { form = diagnostics(); }), kDiagnosticsReads);
    const QStringList expected = {
        "Software Revision: 17",
        "Hardware Revision: 8",
        "Manufacturer Revision: 61",
        "Manufacturer's Device Type: Liquid Flow Meter",
        "Model Number: VX2-W02-L   ",  // packed ASCII keeps its padding
        "Device ID: 662316",
        "Part Number: VX2-02-WL-T1-N  ",
        "Meter Type: Liquid",
        "Meter Style: Wafer",
        "Sensor Option: Temperature",
        "Display Option: None",
        "Top Level Revision: 3",
        "Model Deviation: none",
        "AGC Voltage: 2.15",
        "Audio p-p Voltage: 1.2",
        "Audio DC Voltage: 2.48",
        "Ultrasonic p-p Voltage: 0.85",
        "Ultrasonic DC Voltage: 2.51",
        "VCC Voltage: 4.98",
        "Loop Voltage: 18.6",
        "Status Codes: 0",
        "Missing pulses: 0",
        "Reynolds: 0",
        "Strouhal: 0",
        "WDRS: 12",
        "MTE: 95",
        "MPE: 60",
        "Modification Date: 20/9/2001",
        "Low Flow Cutoff: 3",
        "Pipe ID: 2.07",
        "Strut Size: 0.6",
        "Side Band: Lower",
        "Low Xmt Power: No",
        "FCF: 1200",
        "BCF: 2600",
        "CSP: 45",
        "CFV: 2650",
        "Calibration Date: 12/3/1999",
        "Password Protection: No",
        "Blockage Factor: 1",
        "Modification: :2",
    };
    EXPECT_EQ(joined(form->ReportLines()), joined(expected));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(Reports, DiagnosticsShowsTheFaultLogFromRevisionTenAndMapsEveryCode) {
    connectTo("gas_insertion", steady({{"software_revision", "9"}, {"diagnostics.fault_log", "5"}}));
    auto form = diagnostics();
    EXPECT_FALSE(child<QWidget>(*form, "txtFault_Log")->isVisibleTo(form.get()));
    EXPECT_FALSE(child<QWidget>(*form, "btnFlault_Log")->isVisibleTo(form.get()));
    EXPECT_TRUE(text(*form, "txtFault_Log").isEmpty());
    form.reset();  // a child of the window that goes

    connectTo("gas_insertion", steady({{"software_revision", "10"},
                                       {"diagnostics.fault_log", "5"},
                                       {"carrier.mode", "2"},
                                       {"carrier.low_power", "1"},
                                       {"modification_number", "258"},
                                       {"model_deviation", "SPECIAL FLANGE"},
                                       {"password_protection", "on"}}));
    form = diagnostics();
    for (const char* name : {"lblFault_Log", "txtFault_Log", "btnFlault_Log"})
        EXPECT_TRUE(child<QWidget>(*form, name)->isVisibleTo(form.get())) << name;
    EXPECT_EQ(text(*form, "txtFault_Log"), "5");
    EXPECT_EQ(child<QCheckBox>(*form, "chkFixedCarrier")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(text(*form, "txtSideband"), "Upper Side Band");
    EXPECT_TRUE(child<QCheckBox>(*form, "chkLowXmtPower")->isChecked());
    EXPECT_EQ(text(*form, "txtModificationNumber"), "258");
    EXPECT_EQ(text(*form, "txtManufacturersDeviceType"), "Gas Flow Meter");
    EXPECT_EQ(text(*form, "txtMeterType"), "Gas");
    EXPECT_EQ(text(*form, "txtMeterStyle"), "Insertion");
    const QStringList lines = form->ReportLines();
    ASSERT_EQ(lines.size(), 41);
    EXPECT_TRUE(lines[12].startsWith("Model Deviation: SPECIAL FLANGE"));
    EXPECT_EQ(lines[31], "Side Band: Upper");
    EXPECT_EQ(lines[32], "Low Xmt Power: Yes");
    EXPECT_EQ(lines[38], "Password Protection: Yes");
    EXPECT_EQ(lines[40], "Modification: :258");
}

// A report never shows figures the meter did not send for it.
TEST_F(Reports, AMeterThatStopsAnsweringLeavesTheBoxesEmptyAndIsReportedOnce) {
    connectTo("liquid_wafer", steady());
    auto form = diagnostics();
    EXPECT_EQ(text(*form, "txtAGCVoltage"), "2.15");
    sim->silent = true;
    click(*form, "btnRead");
    sim->silent = false;
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
    for (const char* name : {"txtMissingPulses", "txtAGCVoltage", "txtStatusCodes", "txtPartNumber", "txtCBW"})
        EXPECT_TRUE(text(*form, name).isEmpty()) << name;
    EXPECT_EQ(form->ReportLines()[13], "AGC Voltage: ");
    EXPECT_EQ(ui.busyDepth(), 0);
}

// ---- configuration report -------------------------------------------------------

struct RevisionCase {
    const char* profile;
    const char* revision;
    int maximum;
    bool kFactor;
    bool totalizerSettings;
};

TEST_F(Reports, ConfigurationReportFollowsTheSoftwareRevision) {
    const RevisionCase cases[] = {
        {"older_meter", "8", 26, false, false},
        {"liquid_wafer", "17", 27, true, false},
        {"steam", "18", 28, true, true},
    };
    for (const RevisionCase& c : cases) {
        SCOPED_TRACE(c.revision);
        connectTo(c.profile, steady({{"software_revision", c.revision}}));
        auto form = configReport();
        auto* progress = child<QProgressBar>(*form, "ReadProgress");
        EXPECT_EQ(progress->maximum(), c.maximum);
        EXPECT_EQ(child<QWidget>(*form, "txtKFactor")->isVisibleTo(form.get()), c.kFactor);
        EXPECT_EQ(child<QWidget>(*form, "lblCustomTotalizerUnit")->isVisibleTo(form.get()), c.totalizerSettings);
        EXPECT_FALSE(child<QWidget>(*form, "frameDownLoadingData")->isVisibleTo(form.get()));

        std::vector<std::string> expected = {"137", "50", "2", "3", "15", "235", "233", "241", "239", "184", "205",
                                             "214", "216", "212", "164", "208", "145", "147", "252"};
        if (c.kFactor) expected.push_back("167");
        for (const char* command : {"149", "152", "154", "156", "150", "149"}) expected.push_back(command);
        if (c.totalizerSettings) expected.push_back("188");
        expected.push_back("160");
        EXPECT_EQ(sentDuring([&] { click(*form, "btnRead"); }), expected);
        EXPECT_EQ(progress->value(), c.maximum);
        EXPECT_FALSE(child<QWidget>(*form, "frameDownLoadingData")->isVisibleTo(form.get()));
        EXPECT_TRUE(enabled(*form, "btnRead") && enabled(*form, "btnPrint") && enabled(*form, "btnOK"));

        const QStringList lines = form->ReportLines();
        EXPECT_EQ(lines.size(), c.totalizerSettings ? 43 : 40);
        EXPECT_EQ(lines[32] == "K-Factor: ", !c.kFactor) << lines[32].toStdString();
        // The diagnostics report is the same 41 lines on every revision.
        const QStringList diagnosticsLines = diagnostics()->ReportLines();
        EXPECT_EQ(diagnosticsLines.size(), 41);
        EXPECT_EQ(diagnosticsLines[0], QStringLiteral("Software Revision: ") + c.revision);
        EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    }
}

TEST_F(Reports, ConfigurationReportLinesOfARevisionEighteenMeter) {
    connectTo("steam", steady({{"totalizer.multiplier", "10"},
                               {"totalizer.unit", "KLB10"},
                               {"totalizer.total", "12345678"},
                               {"totalizer.running", "on"}}));
    auto form = configReport();
    click(*form, "btnRead");
    const QStringList expected = {
        "Device ID: 802126",
        "Tag: FT-301  ",
        "Model Number: VX2-W04-S   ",
        "Part Number: VX2-04-WS-T1-L  ",
        "Primary Variable Type: Mass Flow",
        "Primary Variable: 0 kg/hr",
        "Loop Current: 4 mA",
        "Analog Output Range: 0 to 5000 kg/hr",
        "Process Temperature: <n> Deg C",
        "Temperature Source: Integrated RTD",
        "User Specified Temperature: 68 F",
        "Shedding Frequency: 0 Hz",
        "Process Pressure: <n> Bar",
        "Pressure Source: Steam Table",
        "User Specified Pressure: 28.8 PSI",
        "Analog Input Range: 0 to 300 PSI",
        "Analig Input Current: <n> mA",
        "Analog Input Pressure: <n> PSI",
        "Process Density: <n> lb/cft",
        "Process Viscosity: 0.015 cP",
        "Standard Density: 0.050192lb/cft",
        "Density and Viscosity Source: Steam Table",
        "Property Table: SATURATED STEAM          Ver: 2",
        "User Specified Density: 62.299999 lb/cft",
        "User Specified Viscosity: 1 cP",
        "Damping Value: 2 Seconds",
        "LCD Display Setting: Primary Variable",
        "Pipe ID: 4.026 Inches",
        "Alarm Current: High (21.75mA)",
        "Standard Temperature: 60 F",
        "Standard Pressure: 14.696 PSI",
        "Atmospheric Pressure: 14.696 PSI",
        "K-Factor: 30",
        "Low Flow Cutoff: 5 Hz",
        "Pulse Output Mode: Shedding Frequency",
        "Pulse Output Frequency: 0 Hz",
        "Pulse Output Upper Range Frequency: 1000 Hz",
        "Pulse Output User Specified Frequency: 100 Hz",
        // A multiplier other than 1: the custom unit names the count.
        "Totalizer Value: 1.234568e6 KLB10   ",
        "Totalizer Mode: Running",
        "Totalizer Rollover Value: 1E+09",
        "Totalizer Multiplier: 10",
        "Custom Totalizer Unit: KLB10   ",
    };
    expectLines(form->ReportLines(), expected);
}

TEST_F(Reports, ConfigurationReportLinesOfARevisionEightMeter) {
    connectTo("older_meter", steady());
    auto form = configReport();
    click(*form, "btnRead");
    const QStringList expected = {
        "Device ID: 127651",
        "Tag: FT-017  ",  // the boxes show packed ASCII with its padding
        "Model Number: VX1-W03-L   ",
        "Part Number: VX1-03-WL-N     ",
        "Primary Variable Type: Volume Flow",
        "Primary Variable: 0 US Gal / Min",
        "Loop Current: 4 mA",
        "Analog Output Range: 0 to 250 US Gal / Min",
        "Process Temperature: 70 Deg F",
        "Temperature Source: User Specified",
        "User Specified Temperature: 70 F",
        "Shedding Frequency: 0 Hz",
        "Process Pressure: 43.496 PSI",
        "Pressure Source: User Specified",
        "User Specified Pressure: 28.8 PSI",
        "Analog Input Range: 0 to 300 PSI",
        "Analig Input Current: <n> mA",
        "Analog Input Pressure: <n> PSI",
        "Process Density: 62.285416 lb/cft",
        "Process Viscosity: 0.99 cP",
        "Standard Density: 62.371777lb/cft",
        "Density and Viscosity Source: Property Table",
        "Property Table: WATER                    Ver: 1",
        "User Specified Density: 62.299999 lb/cft",  // 62.3 as a float, to 6 decimals
        "User Specified Viscosity: 1 cP",
        "Damping Value: 1 Seconds",
        "LCD Display Setting: Primary Variable",
        "Pipe ID: 3.068 Inches",
        "Alarm Current: High (21.75mA)",
        "Standard Temperature: 60 F",
        "Standard Pressure: 14.696 PSI",
        "Atmospheric Pressure: 14.696 PSI",
        "K-Factor: ",
        "Low Flow Cutoff: 3 Hz",
        "Pulse Output Mode: Shedding Frequency",
        "Pulse Output Frequency: 0 Hz",
        "Pulse Output Upper Range Frequency: 1000 Hz",
        "Pulse Output User Specified Frequency: 100 Hz",
        "Totalizer Value: 0e0 Gallons",
        "Totalizer Mode: Stopped",
    };
    expectLines(form->ReportLines(), expected);
}

// ---- report output --------------------------------------------------------------

TEST_F(Reports, AReportGoesToATextFileWithCrLfOrNowhereWhenCancelled) {
    connectTo("liquid_wafer", steady());
    auto form = diagnostics();
    const QString path = dir.filePath("diagnostics.txt");

    ui.queueAnswer(platform::vbYes);
    ui.queueSaveFileName(path);
    click(*form, "btnPrint");
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    const auto& question = ui.messageBoxes()[0];
    EXPECT_EQ(question.text, "Do you want to print to a file?");
    EXPECT_EQ(question.title, "Printing Option");
    EXPECT_EQ(question.buttons, platform::vbYesNo);
    EXPECT_EQ(question.icon, platform::vbQuestion);
    ASSERT_EQ(ui.saveDialogs().size(), 1u);
    EXPECT_EQ(ui.saveDialogs()[0].filter, "Text (*.txt)");
    EXPECT_EQ(fileBytes(path), (form->ReportLines().join("\r\n") + "\r\n").toLatin1());

    // Cancelled: nothing written, nothing said.
    ui.clear();
    ui.queueAnswer(platform::vbYes);
    click(*form, "btnPrint");
    EXPECT_EQ(ui.saveDialogs().size(), 1u);
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"diagnostics.txt"});

    // A file that cannot be written says so and leaves nothing behind.
    ui.clear();
    ui.queueAnswer(platform::vbYes);
    ui.queueSaveFileName(dir.filePath("no/such/dir/report.txt"));
    click(*form, "btnPrint");
    ASSERT_EQ(ui.messageBoxes().size(), 2u);
    EXPECT_TRUE(ui.messageBoxes()[1].text.startsWith("The report was not written to ")) << ui.messageBoxes()[1].text.toStdString();
    EXPECT_EQ(ui.messageBoxes()[1].icon, platform::vbCritical);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"diagnostics.txt"});
}

TEST_F(Reports, NoIsTheDefaultAnswerAndPrintsOneJobPerCopy) {
    connectTo("steam", steady());
    auto form = configReport();
    click(*form, "btnRead");

    ui.queuePrintDialog(3);
    click(*form, "btnPrint");  // the question keeps its default answer: No
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].answer, platform::vbNo);
    ASSERT_EQ(ui.printJobs().size(), 3u);
    for (const auto& job : ui.printJobs()) EXPECT_EQ(job.lines, form->ReportLines());
    EXPECT_TRUE(ui.saveDialogs().empty());

    ui.clear();
    click(*form, "btnPrint");  // the print dialog cancelled
    EXPECT_EQ(ui.printDialogs().size(), 1u);
    EXPECT_TRUE(ui.printJobs().empty());
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_TRUE(enabled(*form, "btnPrint"));
}

// Prints each report into a PDF in a fixed font. With CORVANE_REPORT_PDF_DIR
// set the files stay there (scripts/report_pdfs.sh renders them).
TEST_F(Reports, PrintedReportsArePdfPagesInAFixedFont) {
    EXPECT_TRUE(QFontInfo(platform::ReportFont()).fixedPitch());
    EXPECT_EQ(platform::ReportFont().pointSize(), 14);
    const QString outDir = qEnvironmentVariableIsSet("CORVANE_REPORT_PDF_DIR")
                               ? qEnvironmentVariable("CORVANE_REPORT_PDF_DIR")
                               : dir.path();
    connectTo("steam", steady());
    auto diagnosticsForm = diagnostics();
    auto report = configReport();
    click(*report, "btnRead");
    const std::pair<QDialog*, QString> prints[] = {{diagnosticsForm.get(), "diagnostics.pdf"},
                                                   {report.get(), "configuration-report.pdf"}};
    for (const auto& [form, name] : prints) {
        const QString pdf = QDir(outDir).filePath(name);
        QFile::remove(pdf);
        ui.queueAnswer(platform::vbNo);
        ui.queuePrintDialog(1, pdf);
        click(*form, "btnPrint");
        ASSERT_FALSE(ui.printJobs().empty());
        EXPECT_TRUE(ui.printJobs().back().printed);
        EXPECT_TRUE(fileBytes(pdf).startsWith("%PDF")) << pdf.toStdString();
    }
    EXPECT_EQ(ui.messageBoxes().size(), 2u) << boxTexts().join('|').toStdString();
}

}  // namespace
