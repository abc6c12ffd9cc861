// The command line: its arguments, its console platform backend, and every
// subcommand run as its own process against the simulated meter on a pty,
// with the meter's own request log as the record of what was sent.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <csignal>
#include <limits>

#include "app/cli/cli_options.h"
#include "app/cli/json_object.h"
#include "app/tools/frmConfigReport.h"
#include "app/tools/frmDiagnostics.h"
#include "link/monitor/capture.h"
#include "platform/console.h"
#include "tests/app/test_forms_fixture.h"
#include "tests/support/tshark.h"
#include "tools/sim_process.h"

namespace {

using cli::Options;
using cli::Subcommand;

std::optional<Options> parse(const QStringList& arguments, QString* why = nullptr) {
    QString reason;
    auto options = cli::ParseOptions(arguments, reason);
    if (why) *why = reason;
    return options;
}

// ---- arguments -----------------------------------------------------------------

TEST(CliOptions, ReadsEachSubcommandWithItsArgumentsAndTheGlobalOptions) {
    auto options = parse({"--port", "/dev/ttyUSB3", "--address", "15", "identify", "--json"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->subcommand, Subcommand::Identify);
    EXPECT_EQ(options->portPath, "/dev/ttyUSB3");
    EXPECT_EQ(options->address, 15);
    EXPECT_TRUE(options->json);

    options = parse({"values", "--port", "7"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->port, 7);
    EXPECT_TRUE(options->portPath.isEmpty());
    EXPECT_EQ(options->count, 1);  // once by default

    options = parse({"values", "--every", "250"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->everyMs, 250);
    EXPECT_EQ(options->count, 0);  // --every alone: until stopped
    options = parse({"values", "--every", "250", "--count", "3"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->count, 3);

    options = parse({"--port", "hartip://127.0.0.1:5094", "report", "diagnostics"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->subcommand, Subcommand::ReportDiagnostics);
    EXPECT_EQ(options->portPath, "hartip://127.0.0.1:5094");

    options = parse({"table", "import", "water.csv", "--yes"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->subcommand, Subcommand::TableImport);
    EXPECT_EQ(options->file, "water.csv");
    EXPECT_TRUE(options->yes);

    options = parse({"send", "18,21,pca6,\"A, B\",pca12,X,1,1,100"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->commandText, "18,21,pca6,\"A, B\",pca12,X,1,1,100");

    options = parse({"--capture", "line.pcapng", "monitor", "--seconds", "30"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->subcommand, Subcommand::Monitor);
    EXPECT_EQ(options->capturePath, "line.pcapng");
    EXPECT_EQ(options->seconds, 30);
    options = parse({"monitor"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->seconds, 0);  // until interrupted

    // --help and --version need no subcommand.
    options = parse({"--help"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->help);
}

TEST(CliOptions, RefusesWhatItCannotRunWithAReason) {
    const std::vector<std::pair<QStringList, QString>> refused = {
        {{}, "no subcommand"},
        {{"scan2"}, "unknown subcommand scan2"},
        {{"identify", "--verbose"}, "unknown option --verbose"},
        {{"identify", "extra"}, "usage: corvane-hart-cli identify"},
        {{"report"}, "report config|diagnostics"},
        {{"report", "everything"}, "report config|diagnostics"},
        {{"table", "export"}, "table export|import FILE"},
        {{"table", "copy", "x.csv"}, "table export|import FILE"},
        {{"send"}, "send \"Cmd"},
        {{"send", "34,4,flt"}, "not a command text: 34,4,flt"},
        {{"identify", "--port"}, "--port needs a value"},
        {{"identify", "--port", "0"}, "--port takes"},
        {{"identify", "--port", "33"}, "--port takes"},
        {{"identify", "--port", "COM1"}, "--port takes"},
        {{"identify", "--address", "64"}, "--address takes"},
        {{"identify", "--address", "-1"}, "--address takes"},
        {{"values", "--every", "0"}, "--every takes"},
        {{"values", "--count", "many"}, "--count takes"},
        {{"identify", "--count", "2"}, "go with values"},
        {{"table", "export", "x.csv", "--json"}, "--json goes with"},
        {{"scan", "3"}, "usage: corvane-hart-cli scan"},
        {{"show"}, "show FILE.pcapng"},
        {{"monitor", "now"}, "monitor [--seconds S]"},
        {{"monitor", "--seconds", "0"}, "--seconds takes"},
        {{"monitor", "--seconds", "1.5"}, "--seconds takes"},
        {{"identify", "--seconds", "5"}, "--seconds goes with monitor"},
        {{"identify", "--capture", ""}, "--capture needs a file name"},
        {{"--capture", "x.pcapng", "show", "y.pcapng"}, "show opens no port"},
    };
    for (const auto& [arguments, reason] : refused) {
        QString why;
        EXPECT_FALSE(parse(arguments, &why)) << arguments.join(' ').toStdString();
        EXPECT_TRUE(why.contains(reason)) << arguments.join(' ').toStdString() << ": " << why.toStdString();
    }
}

TEST(CliJson, EscapesWhatAStringCannotCarryAndWritesNumbersWithAPoint) {
    EXPECT_EQ(cli::JsonString(QStringLiteral("FT-101")), "\"FT-101\"");
    EXPECT_EQ(cli::JsonString(QStringLiteral("a\"b\\c\nd\x01")), "\"a\\\"b\\\\c\\nd\\u0001\"");
    const QString line = cli::JsonObject()
                             .text("tag", "T\"1")
                             .number("pv", 12.5f)
                             .number("bad", std::numeric_limits<float>::quiet_NaN())
                             .integer("device_id", 662316)
                             .toString();
    EXPECT_EQ(line, "{\"tag\": \"T\\\"1\", \"pv\": 12.5, \"bad\": null, \"device_id\": 662316}");
    // Whatever it holds, it reads back as the same object.
    const QJsonObject read = QJsonDocument::fromJson(line.toUtf8()).object();
    EXPECT_EQ(read.value("tag").toString(), "T\"1");
    EXPECT_DOUBLE_EQ(read.value("pv").toDouble(), 12.5);
    EXPECT_TRUE(read.value("bad").isNull());
}

// ---- the console backend ---------------------------------------------------------

TEST(ConsoleBackend, PrintsEveryMessageAndConfirmsAQuestionOnlyWhenTold) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    platform::ConsoleBackend console(out);
    {
        const platform::BackendGuard guard(console);
        EXPECT_EQ(platform::MsgBox("No Device Response !"), platform::vbOK);
        EXPECT_EQ(platform::MsgBox("Enter edit mode now?", platform::vbYesNo), platform::vbNo);
        EXPECT_EQ(platform::MsgBox("Retry?", platform::vbRetryCancel), platform::vbCancel);
        console.setConfirmQuestions(true);
        EXPECT_EQ(platform::MsgBox("Enter edit mode now?", platform::vbYesNo), platform::vbYes);
        EXPECT_EQ(platform::MsgBox("Proceed?", platform::vbOKCancel), platform::vbOK);
        // Nothing is ever waited for: a dialog is cancelled, a save chooses no file.
        QDialog dialog;
        EXPECT_EQ(platform::showModal(dialog), QDialog::Rejected);
        EXPECT_TRUE(platform::backend().saveFileName({}).isEmpty());
    }
    EXPECT_EQ(console.declinedQuestions(), (QStringList{"Enter edit mode now?", "Retry?"}));
    std::rewind(out);
    char buffer[256] = {};
    const size_t read = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, read),
              "No Device Response !\nEnter edit mode now?\nRetry?\nEnter edit mode now?\nProceed?\n");
}

// ---- the program on the simulated meter -------------------------------------------

struct CliRun {
    int status = -1;
    QByteArray out;
    QString err;
};

// A meter process of a shipped profile (with `extra` profile lines after it),
// logging every request it receives; a second device of the same profile
// with `secondDevice` lines shares its line when those are given.
class Meter {
public:
    Meter(const QString& directory, const char* profile, const QStringList& extra = {}, const QStringList& faults = {},
          const QStringList& secondDevice = {}) {
        const QString name = directory + "/" + profile + QString::number(++count_);
        QFile shipped(QString(CORVANE_SIM_PROFILES) + "/" + profile + ".profile");
        QFile written(name + ".profile");
        if (!shipped.open(QIODevice::ReadOnly) || !written.open(QIODevice::WriteOnly)) {
            ADD_FAILURE() << "profile " << profile;
            return;
        }
        written.write(shipped.readAll() + "\n" + extra.join('\n').toLatin1() + "\n");
        written.close();
        log_ = name + ".log";
        std::vector<std::string> args = {"--profile", written.fileName().toStdString(), "--log", log_.toStdString()};
        if (!secondDevice.isEmpty()) {
            QFile second(name + "-second.profile");
            if (!shipped.seek(0) || !second.open(QIODevice::WriteOnly)) {
                ADD_FAILURE() << "second profile " << profile;
                return;
            }
            second.write(shipped.readAll() + "\n" + secondDevice.join('\n').toLatin1() + "\n");
            second.close();
            args.insert(args.end(), {"--profile", second.fileName().toStdString()});
        }
        for (const QString& fault : faults) args.push_back(fault.toStdString());
        std::string error;
        if (!process_.start(CORVANE_SIM_PROGRAM, args, &error)) ADD_FAILURE() << error;
    }
    QString port() const { return QString::fromStdString(process_.linkPath()); }
    // The command numbers of the requests received so far (a log line is
    // "date time command data").
    std::vector<int> commands() const {
        std::vector<int> seen;
        QFile file(log_);
        if (!file.open(QIODevice::ReadOnly)) return seen;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (const QList<QByteArray> fields = line.split(' '); fields.size() >= 3) seen.push_back(fields[2].toInt());
        return seen;
    }
    bool received(int command) const {
        const auto seen = commands();
        return std::find(seen.begin(), seen.end(), command) != seen.end();
    }

private:
    static inline int count_ = 0;
    tools::SimProcess process_;
    QString log_;
};

// The meter stands still, so two reads of it give the same figures.
const QStringList kSteady = {"process.flow = 0", "process.noise = 0", "process.temperature_variation = 0",
                             "process.pressure_variation = 0", "process.sensor_noise = 0"};

// The program's environment: its registry and settings in `home`, no port map.
QProcessEnvironment cliEnvironment(const QString& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("FENWIRE_REGISTRY", home + "/registry.ini");
    environment.insert("XDG_CONFIG_HOME", home + "/config");
    environment.remove("WENDREL_PORTS");
    return environment;
}

CliRun runCli(const QStringList& arguments, const QString& home) {
    QProcess process;
    process.setProcessEnvironment(cliEnvironment(home));
    process.start(CORVANE_CLI_PROGRAM, arguments);
    CliRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "corvane-hart-cli " << arguments.join(' ').toStdString() << " did not end";
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

class Cli : public ::testing::Test {
protected:
    CliRun cli(const QStringList& arguments) { return runCli(arguments, dir.path()); }
    CliRun cli(const Meter& meter, QStringList arguments) {
        arguments << "--port" << meter.port();
        return cli(arguments);
    }
    QByteArray fileBytes(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

TEST_F(Cli, UsageErrorsEndWithStatusTwoBeforeAnyPortIsOpened) {
    CliRun run = cli({"frobnicate", "--port", "/nonexistent/tty"});
    EXPECT_EQ(run.status, cli::kExitUsage);
    EXPECT_TRUE(run.err.contains("unknown subcommand frobnicate")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("not Valid"));
    run = cli({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.contains("table export FILE"));
    run = cli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.startsWith("corvane-hart-cli 1."));
}

TEST_F(Cli, AnUnopenablePortAndASilentMeterGiveTheUtilitysTextsAndStatusOne) {
    CliRun run = cli({"identify", "--port", "/nonexistent/tty"});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_TRUE(run.err.contains("Com Port 1 not Valid !")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    const Meter silent(dir.path(), "liquid_wafer", {}, {"--no-answer", "1"});
    for (const QStringList& arguments : {QStringList{"identify"}, QStringList{"report", "config"},
                                         QStringList{"table", "export", dir.path() + "/t.csv"}}) {
        run = cli(silent, arguments);
        EXPECT_EQ(run.status, cli::kExitMeter) << arguments.join(' ').toStdString();
        // Reported once, first; an export also says where it stopped.
        EXPECT_TRUE(run.err.startsWith("No Device Response !\n")) << run.err.toStdString();
        EXPECT_EQ(run.err.count("No Device Response !"), 1) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.path() + "/t.csv"));
}

TEST_F(Cli, IdentifyNamesTheMeterInTextAndInJson) {
    const Meter meter(dir.path(), "liquid_wafer");
    CliRun run = cli(meter, {"identify"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QString text = QString::fromUtf8(run.out);
    for (const char* line : {"Device ID: 662316", "Tag: FT-101", "Descriptor: VORTEX FLOW", "Date: 2000-01-01",
                             "Message: CORVANE VORTEX METER", "Poll Address: 0", "Software Revision: 12"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line))) << line << "\n" << text.toStdString();

    run = cli(meter, {"identify", "--json"});
    ASSERT_EQ(run.status, 0);
    QJsonParseError error;
    const QJsonObject identity = QJsonDocument::fromJson(run.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    EXPECT_EQ(identity.value("device_id").toInt(), 0x0A1B2C);
    EXPECT_EQ(identity.value("tag").toString().trimmed(), "FT-101");
    EXPECT_EQ(identity.value("poll_address").toInt(), 0);
    EXPECT_EQ(identity.value("software_revision").toInt(), 12);
    EXPECT_TRUE(identity.contains("manufacturer_id"));
    EXPECT_EQ(identity.value("date").toString(), "2000-01-01");
}

TEST_F(Cli, AMeterAtAnotherPollingAddressAnswersOnlyWhenAddressedThere) {
    const Meter meter(dir.path(), "liquid_wafer", {"polling_address = 5"});
    CliRun run = cli(meter, {"identify", "--address", "5", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("poll_address").toInt(), 5);
    run = cli(meter, {"identify"});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_EQ(run.err, "No Device Response !\n");
}

TEST_F(Cli, ValuesAreOneLineAReadingAndOneJsonObjectALine) {
    const Meter meter(dir.path(), "liquid_wafer", kSteady);
    CliRun run = cli(meter, {"values", "--json", "--every", "50", "--count", "3"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
    for (const QByteArray& line : lines) {
        const QJsonObject values = QJsonDocument::fromJson(line).object();
        for (const char* key : {"pv", "pv_unit", "pv_type", "current", "percent", "temperature", "pressure"})
            EXPECT_TRUE(values.contains(QString::fromLatin1(key))) << key << ": " << line.toStdString();
        EXPECT_EQ(values.value("pv_type").toString(), "Volume");
        EXPECT_DOUBLE_EQ(values.value("pv").toDouble(), 0.0);
        EXPECT_NEAR(values.value("current").toDouble(), 4.0, 1e-3);  // no flow: the bottom of the range
    }
    run = cli(meter, {"values"});
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.startsWith("PV (Volume): 0 ")) << run.out.toStdString();
    EXPECT_EQ(run.out.count('\n'), 1);
}

TEST_F(Cli, SendShowsRequestAndReplyAsTheMonitorDoesAndARefusalWithTheUtilitysText) {
    const Meter meter(dir.path(), "gas_insertion");  // in service: a write is refused
    CliRun run = cli(meter, {"send", "1,0"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_TRUE(lines[0].contains("STX>P")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("Read Primary Variable")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains("ACK<P")) << lines[1].toStdString();
    EXPECT_TRUE(meter.received(1));

    run = cli(meter, {"send", "34,4,flt,2.5"});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_TRUE(run.err.startsWith("Error:  Command 34 reports reponse code 7: Write Protected")) << run.err.toStdString();
    lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 2) << "the refusal is a reply, and is shown";

    const size_t before = meter.commands().size();
    run = cli(meter, {"send", "34,4,flt"});
    EXPECT_EQ(run.status, cli::kExitUsage);
    EXPECT_TRUE(run.err.contains("not a command text")) << run.err.toStdString();
    EXPECT_EQ(meter.commands().size(), before) << "nothing goes out for a text that is no request";
}

// A gas table set other than the shipped profile's, of the same shape.
const QStringList kOtherGasTable = {"table.name = NATURAL GAS", "table.version = 7",
                                    "table.gas_pressures = 40, 80, 120", "table.gas_temperatures = 30, 90, 150",
                                    "table.gas_density = 0.25, 0.21, 0.18; 0.5, 0.42, 0.37; 0.75, 0.64, 0.55"};

TEST_F(Cli, ATableExportedFromOneMeterAndImportedIntoAnotherExportsTheSameBytes) {
    const Meter source(dir.path(), "gas_insertion", QStringList{"mode = edit"} + kOtherGasTable);
    const Meter target(dir.path(), "gas_insertion", {"mode = edit"});
    const QString first = dir.path() + "/natural-gas.csv";
    const QString second = dir.path() + "/copy.csv";
    CliRun run = cli(source, {"table", "export", first});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QByteArray exported = fileBytes(first);
    EXPECT_TRUE(exported.startsWith("Name,NATURAL GAS\r\nRevision,7\r\nPhase,Gas\r\n")) << exported.toStdString();
    EXPECT_TRUE(exported.contains("\r\nP\\T,30.,90.,150.\r\n")) << exported.toStdString();
    EXPECT_FALSE(target.received(226));

    run = cli(target, {"table", "import", first});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(target.received(217));
    EXPECT_TRUE(target.received(226));
    run = cli(target, {"table", "export", second});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(fileBytes(second).toStdString(), exported.toStdString());
}

TEST_F(Cli, AnImportOutOfEditModeIsWrittenOnlyWithYes) {
    const Meter meter(dir.path(), "liquid_wafer", {"mode = in_service"});
    const Meter source(dir.path(), "liquid_wafer",
                       {"table.name = GLYCOL", "table.viscosity = 32:9.5, 68:6.1, 212:1.2"});
    const QString file = dir.path() + "/glycol.csv";
    ASSERT_EQ(cli(source, {"table", "export", file}).status, 0);

    CliRun run = cli(meter, {"table", "import", file});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_EQ(run.err, "Meter is not in Edit Mode.  Enter edit mode now?\n");
    for (int write : {128, 217, 219, 220, 222, 224, 226}) EXPECT_FALSE(meter.received(write)) << write;

    // A file that is no table file is refused before the meter is asked anything.
    const QString junk = dir.path() + "/junk.csv";
    QFile junkFile(junk);
    ASSERT_TRUE(junkFile.open(QIODevice::WriteOnly));
    junkFile.write("Name,X\r\nViscosity,\r\nData Points,17\r\n");
    junkFile.close();
    const size_t before = meter.commands().size();
    run = cli(meter, {"table", "import", junk, "--yes"});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_TRUE(run.err.contains("is not a property table file. Line 3")) << run.err.toStdString();
    EXPECT_EQ(meter.commands().size(), before);

    run = cli(meter, {"table", "import", file, "--yes"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(meter.received(128));
    EXPECT_TRUE(meter.received(220));
    const QString copy = dir.path() + "/copy.csv";
    ASSERT_EQ(cli(meter, {"table", "export", copy}).status, 0);
    EXPECT_EQ(fileBytes(copy).toStdString(), fileBytes(file).toStdString());
}

// ---- reports: the same bytes as the utility's saved report -----------------------------

class CliReports : public formstest::FormsTest {
protected:
    void TearDown() override {
        FormsTest::TearDown();
        wendrel::SetPortPath(1, "");
    }
    // What the report window saves when told to print to a file.
    QByteArray savedBy(QDialog& form) {
        const QString path = dir.path() + "/" + form.objectName() + ".txt";
        ui.queueAnswer(platform::vbYes);
        ui.queueSaveFileName(path);
        formstest::click(form, "btnPrint");
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

TEST_F(CliReports, EachReportPrintsExactlyTheBytesTheUtilitySavesForTheSameMeter) {
    formstest::Settings steady;
    for (const QString& line : kSteady) {
        const QStringList parts = line.split(" = ");
        steady.emplace_back(parts[0].toStdString(), parts[1].toStdString());
    }
    connectTo("gas_insertion", steady);
    app::frmConfigReport config(window.get());
    formstest::click(config, "btnRead");
    const QByteArray savedConfig = savedBy(config);
    app::frmDiagnostics diagnostics(window.get());
    const QByteArray savedDiagnostics = savedBy(diagnostics);
    ASSERT_TRUE(savedConfig.contains("Tag: ")) << savedConfig.toStdString();
    ASSERT_GT(savedDiagnostics.count("\r\n"), 40);

    const Meter meter(dir.path(), "gas_insertion", kSteady);
    CliRun run = runCli({"report", "config", "--port", meter.port()}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), savedConfig.toStdString());
    run = runCli({"report", "diagnostics", "--port", meter.port()}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.toStdString(), savedDiagnostics.toStdString());

    run = runCli({"report", "config", "--json", "--port", meter.port()}, dir.path());
    ASSERT_EQ(run.status, 0);
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(report.value("device_id").toString(), formstest::text(config, "txtDeviceID"));
    EXPECT_EQ(report.value("pv_unit").toString(), formstest::text(config, "txtPVUnit"));
    EXPECT_EQ(report.value("property_table").toString(), formstest::text(config, "txtPropertyTableName"));
}

TEST_F(Cli, ScanListsEveryDeviceOnTheLineAndNothingAnsweringIsStatusOne) {
    const Meter line(dir.path(), "liquid_wafer", {}, {}, {"polling_address = 3", "device_id = 0x0A1B2D", "tag = FT-103"});
    CliRun run = cli(line, {"scan"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("Poll Address: 0  Tag: FT-101  ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("Device ID: 662316")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Poll Address: 3  Tag: FT-103  ")) << lines[1].toStdString();
    // Silent addresses are no failure of their own.
    EXPECT_FALSE(run.err.contains("No Device Response")) << run.err.toStdString();

    run = cli(line, {"scan", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QJsonParseError error;
    const QJsonArray devices = QJsonDocument::fromJson(run.out, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    ASSERT_EQ(devices.size(), 2);
    const QJsonObject second = devices[1].toObject();
    EXPECT_EQ(second.value("poll_address").toInt(), 3);
    EXPECT_EQ(second.value("device_id").toInt(), 0x0A1B2D);
    EXPECT_EQ(second.value("tag").toString(), "FT-103");
    EXPECT_EQ(second.value("software_revision").toInt(), 12);
    for (const char* key : {"manufacturer_id", "manufacturer", "device_type", "universal_revision"})
        EXPECT_TRUE(second.contains(key)) << key;

    const Meter silent(dir.path(), "liquid_wafer", {}, {"--no-answer", "1"});
    run = cli(silent, {"scan", "--json"});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_EQ(run.out.trimmed(), "[]");
}

TEST_F(Cli, ShowPrintsACapturesFramesAsTheMonitorsLinesAndRefusesADamagedFile) {
    // Command 0 at polling address 0 and a reply (no data, so the line stays short).
    const fenwire::CommandTextTables texts;
    const std::string request = QByteArray::fromHex("ffffff02800082").toStdString();
    const std::string reply = QByteArray::fromHex("ffffff0680000200008400").toStdString();
    const QString path = dir.path() + "/line.pcapng";
    {
        fenwire::CaptureWriter writer;
        ASSERT_TRUE(writer.open(path.toStdString())) << writer.error();
        ASSERT_TRUE(writer.write({1'700'000'000'000'000, request, {}, "COM 1"}));
        ASSERT_TRUE(writer.write({1'700'000'000'050'000, reply, {}, "COM 1"}));
        ASSERT_TRUE(writer.close());
    }
    std::vector<std::string> expected;
    fenwire::CaptureRead read = fenwire::ReadCaptureFile(path.toStdString());
    ASSERT_TRUE(read.ok) << read.error;
    for (const fenwire::MonitorFrame& frame : fenwire::MonitorFramesOf(read.capture.frames, texts, {}))
        expected.push_back(fenwire::RenderFrameLine(frame, texts).text);

    CliRun run = cli({"show", path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    ASSERT_EQ(expected.size(), 2u);
    QString shown;
    for (const std::string& line : expected) shown += QString::fromStdString(line).replace("\r\n", "\n");
    EXPECT_EQ(QString::fromUtf8(run.out), shown);

    // Cut short: the reader's own words, nothing on standard output.
    QByteArray bytes = fileBytes(path);
    QFile cut(dir.path() + "/cut.pcapng");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() - 7));
    cut.close();
    run = cli({"show", cut.fileName()});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_TRUE(run.out.isEmpty());
    read = fenwire::ReadCaptureFile(cut.fileName().toStdString());
    ASSERT_FALSE(read.ok);
    EXPECT_EQ(run.err, QString::fromStdString(read.error) + "\n");
}

// ---- the line's frames: --capture and monitor -----------------------------------------

// The first byte after the preambles: a request's delimiter has bit 2 clear.
bool isRequest(const std::string& bytes) {
    const size_t start = bytes.find_first_not_of('\xFF');
    return start != std::string::npos && (static_cast<uint8_t>(bytes[start]) & 0x07) == 0x02;
}

TEST_F(Cli, ACaptureHoldsEveryFrameOfTheRunAsTheMeterHeardItAndTsharkReadsIt) {
    const Meter meter(dir.path(), "liquid_wafer");
    const QString path = dir.path() + "/report.pcapng";
    const CliRun run = cli(meter, {"--capture", path, "report", "diagnostics"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const fenwire::CaptureRead read = fenwire::ReadCaptureFile(path.toStdString());
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.capture.complete);
    const std::vector<int> heard = meter.commands();
    ASSERT_GT(heard.size(), 5u);
    std::vector<int> requests;
    int replies = 0;
    for (const fenwire::CaptureFrame& frame : read.capture.frames) {
        EXPECT_EQ(frame.port, meter.port().toStdString()) << "the line as --port named it";
        EXPECT_TRUE(frame.remarks.empty());
        if (isRequest(frame.bytes)) {
            const size_t start = frame.bytes.find_first_not_of('\xFF');
            const size_t address = static_cast<uint8_t>(frame.bytes[start]) & 0x80 ? 5 : 1;
            requests.push_back(static_cast<uint8_t>(frame.bytes[start + 1 + address]));
        } else {
            ++replies;
        }
    }
    EXPECT_EQ(requests, heard) << "each request the meter logged, in order, and nothing else";
    EXPECT_EQ(replies, static_cast<int>(heard.size()));

    // An independent decoder sees the same requests.
    const auto fields = testsupport::tshark("-r " + path.toStdString() +
                                            " -T fields -E occurrence=f -e hart_ip.message_type -e hart_ip.pt.command"
                                            " -e _ws.malformed");
    if (!fields) GTEST_SKIP() << "tshark is not installed";
    std::vector<int> decoded;
    for (const auto& row : testsupport::fieldRows(*fields)) {
        ASSERT_EQ(row.size(), 3u);
        EXPECT_TRUE(row[2].empty()) << "malformed";
        if (row[0] == "0") decoded.push_back(std::stoi(row[1]));
    }
    EXPECT_EQ(decoded, heard);
}

TEST_F(Cli, MonitorPrintsEachBurstFrameAsTheMonitorAndItsCaptureShowsTheSameLines) {
    const Meter meter(dir.path(), "liquid_wafer", {}, {"--burst"});
    const QString path = dir.path() + "/burst.pcapng";
    const CliRun run = cli(meter, {"--capture", path, "monitor", "--seconds", "2"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 1) << run.out.toStdString();
    for (const QString& line : lines) EXPECT_TRUE(line.startsWith("BCK<P|  1 Read Primary Variable|")) << line.toStdString();
    EXPECT_TRUE(meter.commands().empty()) << "monitor only listens";

    const CliRun shown = cli({"show", path});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    EXPECT_EQ(shown.out, run.out);
}

TEST_F(Cli, AnInterruptEndsAnOpenEndedMonitorWithItsCaptureWhole) {
    const Meter meter(dir.path(), "liquid_wafer", {}, {"--burst"});
    const QString path = dir.path() + "/interrupted.pcapng";
    QProcess process;
    process.setProcessEnvironment(cliEnvironment(dir.path()));
    process.start(CORVANE_CLI_PROGRAM, {"--port", meter.port(), "--capture", path, "monitor"});
    ASSERT_TRUE(process.waitForStarted());
    QByteArray out;
    for (int i = 0; i < 100 && out.count('\n') < 2; ++i) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
    }
    ASSERT_GE(out.count('\n'), 2) << "no burst frame was printed";
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    out += process.readAllStandardOutput();

    const fenwire::CaptureRead read = fenwire::ReadCaptureFile(path.toStdString());
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.capture.complete) << "the capture was closed, not cut off";
    EXPECT_EQ(static_cast<qsizetype>(read.capture.frames.size()), out.count('\n'));
}

TEST_F(Cli, ACaptureThatCannotBeMadeStopsTheRunBeforeTheMeterHearsAnything) {
    const Meter meter(dir.path(), "liquid_wafer");
    const CliRun run = cli(meter, {"--capture", dir.path() + "/missing/c.pcapng", "identify"});
    EXPECT_EQ(run.status, cli::kExitMeter);
    EXPECT_TRUE(run.err.contains("could not be created")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(meter.commands().empty());
}

TEST_F(Cli, AMonitorWhoseCaptureStopsTakingFramesEndsAtOnceWithTheReason) {
    const Meter meter(dir.path(), "liquid_wafer", {}, {"--burst"});
    const QString path = dir.path() + "/full.pcapng";
    // A file-size limit of 1 KiB: a dozen frames at the most, then writes fail as on a full disk.
    QProcess process;
    process.setProcessEnvironment(cliEnvironment(dir.path()));
    process.start("bash", {"-c", "ulimit -f 1 && exec \"$0\" \"$@\"", CORVANE_CLI_PROGRAM, "--port", meter.port(),
                           "--capture", path, "monitor", "--seconds", "60"});
    ASSERT_TRUE(process.waitForFinished(50000)) << "the monitor ran on without its capture";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "not ended by SIGXFSZ";
    EXPECT_EQ(process.exitCode(), cli::kExitMeter);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(err.contains("could not be written")) << err.toStdString();
    const qsizetype printed = process.readAllStandardOutput().count('\n');
    EXPECT_LT(printed, 20);
    // The frames before the full disk stay readable; the file says it is not whole.
    const fenwire::CaptureRead read = fenwire::ReadCaptureFile(path.toStdString());
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_FALSE(read.capture.complete);
    EXPECT_GE(read.capture.frames.size(), 1u);
    EXPECT_LT(static_cast<qsizetype>(read.capture.frames.size()), printed);
}

}  // namespace
