// The command line of corvane-hart-cli: subcommands, their arguments and the
// global options, parsed without touching a port.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitMeter = 1;  // the meter refused or did not answer, or a write was not confirmed
inline constexpr int kExitUsage = 2;

enum class Subcommand { None, Identify, Values, ReportConfig, ReportDiagnostics, TableExport, TableImport, Send, Scan, Monitor, Show };

struct Options {
    Subcommand subcommand = Subcommand::None;
    bool help = false;
    bool version = false;
    // --port: a port number of the port map (1..32), a device path or a
    // hartip:// address; the latter two are opened as COM 1 of this run.
    int port = 1;
    QString portPath;
    int address = 0;  // polling address, 0..63
    bool json = false;
    bool yes = false;
    // values: every `everyMs` milliseconds, `count` times (0: until stopped).
    int everyMs = 1000;
    int count = 1;
    QString file;         // table export / import, show
    // monitor: for this many seconds (0: until interrupted).
    int seconds = 0;
    // --capture: the line's frames of this run, as a pcapng file.
    QString capturePath;
    QString commandText;  // send
};

// Parses the arguments after the program name; nullopt with the reason in
// `why` on a usage error.
std::optional<Options> ParseOptions(const QStringList& arguments, QString& why);

// The --help text.
QString UsageText();

}  // namespace cli
