// corvane-hart-cli: the utility's work without its windows, for scripts and
// terminals. It runs on the same senders, decoder, data store and report
// builders as the utility, through the link control loaded by its ProgID,
// with the console platform backend: messages go to standard error and no
// question ever waits for a person.
//
//   corvane-hart-cli [--port N|PATH|hartip://HOST[:PORT]] [--address A]
//                    [--capture FILE.pcapng] [--json] [--yes] SUBCOMMAND [ARGUMENTS]
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/cli/cli_commands.h"
#include "app/cli/cli_options.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "link/control/fenwire_loader.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace {

constexpr int kDevicePathPort = 1;

int usageError(const QString& why) {
    std::fprintf(stderr, "corvane-hart-cli: %s\nTry 'corvane-hart-cli --help'.\n", why.toLocal8Bit().constData());
    return cli::kExitUsage;
}

// A device path or HART-IP address is opened as a port of the port map;
// the last mention of a port wins, so a mapping in the environment stays for the others.
void mapPort(int port, const QString& path) {
    const char* existing = std::getenv("WENDREL_PORTS");
    std::string ports = existing && *existing ? std::string(existing) + "," : std::string();
    ports += std::to_string(port) + "=" + path.toStdString();
    setenv("WENDREL_PORTS", ports.c_str(), 1);
}

// Standard error carries the utility's messages, one line each, for
// scripts to read: Qt's own notes (a platform plugin's remarks, a missing
// runtime directory) stay off it unless QT_LOGGING_RULES asks for them.
void quietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg || !qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

int run(const cli::Options& options, cli::LineRecorder& recorder) {
    switch (options.subcommand) {
    case cli::Subcommand::Identify: return cli::RunIdentify(options, stdout);
    case cli::Subcommand::Values: return cli::RunValues(options, stdout);
    case cli::Subcommand::ReportConfig:
    case cli::Subcommand::ReportDiagnostics: return cli::RunReport(options, stdout);
    case cli::Subcommand::TableExport: return cli::RunTableExport(options);
    case cli::Subcommand::TableImport: return cli::RunTableImport(options);
    case cli::Subcommand::Send: return cli::RunSend(options, recorder, stdout);
    case cli::Subcommand::Scan: return cli::RunScan(options, stdout);
    case cli::Subcommand::Monitor: return cli::RunMonitor(options, recorder, stdout);
    case cli::Subcommand::Show: return cli::RunShow(options, stdout);
    case cli::Subcommand::None: break;
    }
    return cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // No window is ever shown: the link control and the port form are
    // widgets, and the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Beyond a file-size limit (ulimit -f) a write fails as on a full disk and
    // the program says so, instead of the signal ending it with a file cut short.
    std::signal(SIGXFSZ, SIG_IGN);
    qInstallMessageHandler(quietQtMessages);
    QApplication application(argc, argv);
    app::SetApplicationTitle();

    QString why;
    const std::optional<cli::Options> options = cli::ParseOptions(QApplication::arguments().mid(1), why);
    if (!options) return usageError(why);
    if (options->help) {
        std::fputs(cli::UsageText().toLocal8Bit().constData(), stdout);
        return cli::kExitSuccess;
    }
    if (options->version) {
        std::printf("corvane-hart-cli %s\n", CORVANE_VERSION);
        return cli::kExitSuccess;
    }

    // A capture is read without any port or link control.
    if (options->subcommand == cli::Subcommand::Show) return cli::RunShow(*options, stdout);

    platform::ConsoleBackend console;
    console.setConfirmQuestions(options->yes);
    const platform::BackendGuard backend(console);

    if (!options->portPath.isEmpty()) mapPort(kDevicePathPort, options->portPath);
    app::ComPort = static_cast<uint8_t>(options->port);
    app::PollAddress = static_cast<uint8_t>(options->address);

    // The capture file is made before anything goes on the line: a path
    // that cannot be written fails the run without touching the meter.
    cli::LineRecorder recorder(options->port, options->portPath.toStdString());
    if (!options->capturePath.isEmpty()) {
        if (!recorder.openCapture(options->capturePath, why)) {
            std::fprintf(stderr, "corvane-hart-cli: %s\n", why.toLocal8Bit().constData());
            return cli::kExitMeter;
        }
    }

    fenwire::FenwireLibrary library;
    if (!library.load("Fenwire.HartCtrl.1")) {
        std::fprintf(stderr, "corvane-hart-cli: %s\n", library.error().c_str());
        return cli::kExitMeter;
    }
    app::frmComPort port(library.api(), nullptr, app::frmComPort::PortList::Skip);
    // The driver reports frames only to a run that uses them.
    if (!options->capturePath.isEmpty() || options->subcommand == cli::Subcommand::Send ||
        options->subcommand == cli::Subcommand::Monitor)
        recorder.watch(*app::Fenwire1());
    int status = port.OpenLink() ? run(*options, recorder) : cli::kExitMeter;
    if (!recorder.finish(why)) {
        std::fprintf(stderr, "corvane-hart-cli: %s\n", why.toLocal8Bit().constData());
        if (status == cli::kExitSuccess) status = cli::kExitMeter;  // a capture that lost frames is no success
    }
    return status;
}
