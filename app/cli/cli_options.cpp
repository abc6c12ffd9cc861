#include "app/cli/cli_options.h"

#include <array>
#include <climits>
#include <cstdint>

#include "link/driver/typed_frame.h"

namespace cli {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 32;
constexpr int kLastPollAddress = 63;
constexpr int kMaxMonitorSeconds = 366 * 24 * 3600;  // a year

// A whole decimal number within [low, high].
std::optional<int> wholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < low || value > high) return std::nullopt;
    return static_cast<int>(value);
}

bool isDevicePath(const QString& text) {
    return text.startsWith(u'/') || text.startsWith(QLatin1String("hartip://")) ||
           text.startsWith(QLatin1String("hartip+tcp://"));
}

}  // namespace

QString UsageText() {
    return QStringLiteral(
        "usage: corvane-hart-cli [OPTIONS] SUBCOMMAND [ARGUMENTS]\n"
        "\n"
        "Subcommands:\n"
        "  identify                  manufacturer, device type and id, revisions, tag,\n"
        "                            descriptor, date and message\n"
        "  values [--every MS] [--count N]\n"
        "                            the live values, once or repeatedly\n"
        "  report config|diagnostics the report the utility prints and saves\n"
        "  table export FILE         the meter's property tables into a table file\n"
        "  table import FILE         a table file into the meter (a write)\n"
        "  send \"Cmd, DataLen, DataDescription\"\n"
        "                            one command text; prints request and reply as\n"
        "                            the bus monitor shows them\n"
        "  scan                      the loop scan: a line per device found at polling\n"
        "                            addresses 0 to 15\n"
        "  monitor [--seconds S]     the bus monitor's lines of every frame on the\n"
        "                            line, for S seconds or until interrupted\n"
        "  show FILE.pcapng          a capture's frames as the bus monitor shows them\n"
        "                            (no port is opened)\n"
        "\n"
        "Options:\n"
        "  --port N|PATH|hartip://HOST[:PORT]\n"
        "                            COM N of the port map (default 1), a device path\n"
        "                            or a HART-IP address\n"
        "  --address A               polling address of the meter (default 0)\n"
        "  --capture FILE.pcapng     record the line's frames of this run in a\n"
        "                            capture that Wireshark reads\n"
        "  --json                    identify, values, report and scan as JSON\n"
        "  --yes                     confirm what the utility would ask about\n"
        "                            (entering edit mode for a write)\n"
        "  --help, --version\n"
        "\n"
        "Exit status: 0 success, 1 the meter refused or did not answer (or a write\n"
        "was not confirmed), 2 usage error.\n");
}

std::optional<Options> ParseOptions(const QStringList& arguments, QString& why) {
    Options options;
    QStringList positional;
    bool everyGiven = false;
    bool countGiven = false;
    bool secondsGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                why = arg + QStringLiteral(" needs a value");
                return std::nullopt;
            }
            return arguments[++i];
        };
        // The option's value as a whole number within [low, high].
        auto numberValue = [&](int low, int high, const QString& takes) -> std::optional<int> {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto number = wholeNumber(*text, low, high);
            if (!number) why = QStringLiteral("%1 takes %2, not \"%3\"").arg(arg, takes, *text);
            return number;
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--yes")) {
            options.yes = true;
        } else if (arg == QLatin1String("--port")) {
            const auto port = value();
            if (!port) return std::nullopt;
            if (isDevicePath(*port)) {
                options.portPath = *port;
                options.port = kFirstPort;
            } else if (const auto number = wholeNumber(*port, kFirstPort, kLastPort)) {
                options.port = *number;
                options.portPath.clear();
            } else {
                why = QStringLiteral("--port takes a port number from 1 to 32, a device path or hartip://HOST[:PORT], not \"%1\"")
                          .arg(*port);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--address")) {
            const auto number = numberValue(0, kLastPollAddress, QStringLiteral("a polling address from 0 to 63"));
            if (!number) return std::nullopt;
            options.address = *number;
        } else if (arg == QLatin1String("--every")) {
            const auto number = numberValue(1, INT_MAX, QStringLiteral("milliseconds from 1 up"));
            if (!number) return std::nullopt;
            options.everyMs = *number;
            everyGiven = true;
        } else if (arg == QLatin1String("--count")) {
            const auto number = numberValue(1, INT_MAX, QStringLiteral("a number from 1 up"));
            if (!number) return std::nullopt;
            options.count = *number;
            countGiven = true;
        } else if (arg == QLatin1String("--seconds")) {
            const auto number = numberValue(1, kMaxMonitorSeconds, QStringLiteral("whole seconds from 1 up"));
            if (!number) return std::nullopt;
            options.seconds = *number;
            secondsGiven = true;
        } else if (arg == QLatin1String("--capture")) {
            const auto path = value();
            if (!path) return std::nullopt;
            if (path->isEmpty()) {
                why = QStringLiteral("--capture needs a file name");
                return std::nullopt;
            }
            options.capturePath = *path;
        } else if (arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
            why = QStringLiteral("unknown option ") + arg;
            return std::nullopt;
        } else {
            positional << arg;
        }
    }
    if (options.help || options.version) return options;

    auto arity = [&](qsizetype wanted, const QString& form) {
        if (positional.size() == wanted) return true;
        why = QStringLiteral("usage: corvane-hart-cli ") + form;
        return false;
    };
    const QString command = positional.value(0);
    if (command.isEmpty()) {
        why = QStringLiteral("no subcommand given");
        return std::nullopt;
    }
    if (command == QLatin1String("identify")) {
        if (!arity(1, QStringLiteral("identify"))) return std::nullopt;
        options.subcommand = Subcommand::Identify;
    } else if (command == QLatin1String("values")) {
        if (!arity(1, QStringLiteral("values [--every MS] [--count N]"))) return std::nullopt;
        options.subcommand = Subcommand::Values;
        // --every alone repeats until stopped.
        if (everyGiven && !countGiven) options.count = 0;
    } else if (command == QLatin1String("report")) {
        const QString kind = positional.value(1);
        if (!arity(2, QStringLiteral("report config|diagnostics"))) return std::nullopt;
        if (kind == QLatin1String("config")) {
            options.subcommand = Subcommand::ReportConfig;
        } else if (kind == QLatin1String("diagnostics")) {
            options.subcommand = Subcommand::ReportDiagnostics;
        } else {
            why = QStringLiteral("usage: corvane-hart-cli report config|diagnostics");
            return std::nullopt;
        }
    } else if (command == QLatin1String("table")) {
        const QString direction = positional.value(1);
        if (!arity(3, QStringLiteral("table export|import FILE"))) return std::nullopt;
        if (direction == QLatin1String("export")) {
            options.subcommand = Subcommand::TableExport;
        } else if (direction == QLatin1String("import")) {
            options.subcommand = Subcommand::TableImport;
        } else {
            why = QStringLiteral("usage: corvane-hart-cli table export|import FILE");
            return std::nullopt;
        }
        options.file = positional[2];
    } else if (command == QLatin1String("send")) {
        if (!arity(2, QStringLiteral("send \"Cmd, DataLen, DataDescription\""))) return std::nullopt;
        options.subcommand = Subcommand::Send;
        options.commandText = positional[1];
    } else if (command == QLatin1String("scan")) {
        if (!arity(1, QStringLiteral("scan"))) return std::nullopt;
        options.subcommand = Subcommand::Scan;
    } else if (command == QLatin1String("monitor")) {
        if (!arity(1, QStringLiteral("monitor [--seconds S]"))) return std::nullopt;
        options.subcommand = Subcommand::Monitor;
    } else if (command == QLatin1String("show")) {
        if (!arity(2, QStringLiteral("show FILE.pcapng"))) return std::nullopt;
        options.subcommand = Subcommand::Show;
        options.file = positional[1];
    } else {
        why = QStringLiteral("unknown subcommand ") + command;
        return std::nullopt;
    }
    if ((everyGiven || countGiven) && options.subcommand != Subcommand::Values) {
        why = QStringLiteral("--every and --count go with values");
        return std::nullopt;
    }
    // A text that is no request is refused before anything is opened or created.
    if (options.subcommand == Subcommand::Send) {
        const std::array<uint8_t, 5> noUniqueId{};
        if (!wendrel::ParseCommandText(options.commandText.toStdString(), noUniqueId.data(), options.address)) {
            why = QStringLiteral("not a command text: ") + options.commandText;
            return std::nullopt;
        }
    }
    if (secondsGiven && options.subcommand != Subcommand::Monitor) {
        why = QStringLiteral("--seconds goes with monitor");
        return std::nullopt;
    }
    if (!options.capturePath.isEmpty() && options.subcommand == Subcommand::Show) {
        why = QStringLiteral("--capture records a port's frames, and show opens no port");
        return std::nullopt;
    }
    if (options.json && options.subcommand != Subcommand::Identify && options.subcommand != Subcommand::Values &&
        options.subcommand != Subcommand::ReportConfig && options.subcommand != Subcommand::ReportDiagnostics &&
        options.subcommand != Subcommand::Scan) {
        why = QStringLiteral("--json goes with identify, values, report and scan");
        return std::nullopt;
    }
    return options;
}

}  // namespace cli
