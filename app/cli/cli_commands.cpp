#include "app/cli/cli_commands.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/json_object.h"
#include "app/commands/LoopScan.h"
#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/meter_mode.h"
#include "app/reports/config_report.h"
#include "app/reports/diagnostics_report.h"
#include "app/reports/live_values.h"
#include "app/reports/meter_identity.h"
#include "app/reports/property_table_file.h"
#include "app/reports/property_tables.h"
#include "app/shell/frmComPort.h"
#include "link/driver/typed_frame.h"
#include "link/driver/wendrel.h"
#include "link/monitor/capture.h"
#include "platform/platform.h"
#include "platform/textfile.h"

namespace cli {

namespace {

void printLine(std::FILE* out, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fputc('\n', out);
    std::fflush(out);
}

void printError(const QString& message) {
    platform::MsgBox(message, platform::vbOKOnly, platform::vbCritical, QStringLiteral("Error"));
}

int status(bool took) { return took ? kExitSuccess : kExitMeter; }

// Packed ASCII texts come padded with blanks to their field's length.
QString unpadded(QString text) {
    while (text.endsWith(u' ')) text.chop(1);
    return text;
}

// A report as JSON: every field of `fields` the report holds, by its key.
template <class Report>
JsonObject reportObject(const Report& report, const std::vector<app::ReportField>& fields) {
    JsonObject object;
    for (const app::ReportField& field : fields)
        if (report.fields.contains(QString::fromLatin1(field.box)))
            object.text(QString::fromLatin1(field.key), report.field(field.box));
    return object;
}

}  // namespace

// ---- identify ------------------------------------------------------------------

int RunIdentify(const Options& options, std::FILE* out) {
    app::FenwireControl* control = app::Fenwire1();
    // Command 0 at the polling address, then the tag, descriptor and date (13) and the message (12).
    if (!app::MeterTook([] { app::SendCmd0(); }) || !app::MeterTook([] { app::SendCmd13(); }) ||
        !app::MeterTook([] { app::SendCmd12(); }))
        return kExitMeter;
    const int manufacturerId = control->get("p00VendorID");
    const QString manufacturer = control->getText("p00sVendor");
    const int deviceType = control->get("p00DeviceID");
    const int deviceId = control->get("p00DeviceNumber");
    const QString tag = unpadded(app::Tag);
    const QString descriptor = unpadded(app::Descriptor);
    const QString message = unpadded(app::Message);
    const QString date = app::DeviceDate.isValid() ? app::DeviceDate.toString(Qt::ISODate) : QString();
    if (options.json) {
        printLine(out, JsonObject()
                           .integer(QStringLiteral("manufacturer_id"), manufacturerId)
                           .text(QStringLiteral("manufacturer"), manufacturer)
                           .integer(QStringLiteral("device_type"), deviceType)
                           .integer(QStringLiteral("device_id"), deviceId)
                           .integer(QStringLiteral("poll_address"), options.address)
                           .integer(QStringLiteral("universal_revision"), app::UniversalCommandRevision)
                           .integer(QStringLiteral("device_revision"), app::SpecificCommandRevision)
                           .integer(QStringLiteral("software_revision"), control->get("p00SoftwRev"))
                           .integer(QStringLiteral("hardware_revision"), app::HardwareRevision)
                           .text(QStringLiteral("tag"), tag)
                           .text(QStringLiteral("descriptor"), descriptor)
                           .raw(QStringLiteral("date"), date.isEmpty() ? QStringLiteral("null") : JsonString(date))
                           .text(QStringLiteral("message"), message)
                           .toString());
        return kExitSuccess;
    }
    const QStringList lines = {
        QStringLiteral("Manufacturer: %1 (%2)").arg(manufacturer).arg(manufacturerId),
        QStringLiteral("Device Type: %1").arg(deviceType),
        QStringLiteral("Device ID: %1").arg(deviceId),
        QStringLiteral("Poll Address: %1").arg(options.address),
        QStringLiteral("Universal Revision: %1").arg(app::UniversalCommandRevision),
        QStringLiteral("Device Revision: %1").arg(app::SpecificCommandRevision),
        QStringLiteral("Software Revision: %1").arg(control->get("p00SoftwRev")),
        QStringLiteral("Hardware Revision: %1").arg(app::HardwareRevision),
        QStringLiteral("Tag: ") + tag,
        QStringLiteral("Descriptor: ") + descriptor,
        QStringLiteral("Date: ") + date,
        QStringLiteral("Message: ") + message,
    };
    for (const QString& line : lines) printLine(out, line);
    return kExitSuccess;
}

// ---- values --------------------------------------------------------------------

namespace {

QString valuesLine(const app::LiveValues& v, bool json) {
    if (json)
        return JsonObject()
            .text(QStringLiteral("pv_type"), app::PVVariableName(v.pvVariableCode))
            .number(QStringLiteral("pv"), v.pv)
            .text(QStringLiteral("pv_unit"), v.pvUnit)
            .number(QStringLiteral("current"), v.current)
            .number(QStringLiteral("percent"), v.percent)
            .number(QStringLiteral("temperature"), v.temperature)
            .text(QStringLiteral("temperature_unit"), v.temperatureUnit)
            .number(QStringLiteral("pressure"), v.pressure)
            .text(QStringLiteral("pressure_unit"), v.pressureUnit)
            .toString();
    using app::RoundedText;
    return QStringLiteral("PV (%1): %2 %3  Current: %4 mA  Percent: %5 %  Temperature: %6 %7  Pressure: %8 %9")
        .arg(app::PVVariableName(v.pvVariableCode), RoundedText(v.pv, app::kPVPlaces), v.pvUnit,
             RoundedText(v.current, app::kCurrentPlaces), RoundedText(v.percent, app::kPercentPlaces),
             RoundedText(v.temperature, app::kTemperaturePlaces), v.temperatureUnit,
             RoundedText(v.pressure, app::kPressurePlaces), v.pressureUnit);
}

}  // namespace

int RunValues(const Options& options, std::FILE* out) {
    // Repeated readings end at an interrupt, between two readings.
    std::optional<StopOnSignal> stop;
    if (options.count != 1) stop.emplace();
    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    for (int reading = 0; options.count == 0 || reading < options.count; ++reading) {
        if (reading > 0) {
            // Readings keep their pace from the start; one that ran late starts the next at once.
            due += options.everyMs;
            if (!stop->waitMs(due - clock.elapsed())) break;
            // The link closes after an unanswered read; each reading opens it again.
            if (!app::OpenLinkIfNeeded()) return kExitMeter;
        }
        app::LiveValues values;
        if (!app::ReadLiveValues(values)) return kExitMeter;
        printLine(out, valuesLine(values, options.json));
    }
    return kExitSuccess;
}

// ---- reports -------------------------------------------------------------------

int RunReport(const Options& options, std::FILE* out) {
    app::MeterIdentity identity;
    if (!app::ReadMeterIdentity(identity)) return kExitMeter;
    QStringList lines;
    JsonObject object;
    int failedReads = 0;
    if (options.subcommand == Subcommand::ReportConfig) {
        const app::ConfigReport report = app::ReadConfigReport(identity);
        lines = app::ConfigReportLines(report);
        object = reportObject(report, app::ConfigReportFields());
        failedReads = report.failedReads;
    } else {
        const app::DiagnosticsReport report = app::ReadDiagnosticsReport(identity);
        lines = app::DiagnosticsReportLines(report);
        object = reportObject(report, app::DiagnosticsReportFields());
        object.integer(QStringLiteral("password_protection"), report.passwordProtection)
            .integer(QStringLiteral("fixed_carrier"), report.fixedCarrier)
            .integer(QStringLiteral("low_xmt_power"), report.lowXmtPower);
        failedReads = report.failedReads;
    }
    if (options.json) {
        printLine(out, object.toString());
    } else {
        // The very bytes the utility's "print to a file" saves.
        const QByteArray bytes = platform::TextFileBytes(lines);
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
        std::fflush(out);
    }
    return status(failedReads == 0);
}

// ---- property tables -----------------------------------------------------------

int RunTableExport(const Options& options) {
    app::PropertyTableTransfer transfer;
    transfer.BeginExport();
    QString step;
    app::PropertyTableTransfer::Step result;
    while ((result = transfer.ExportStep(step)) == app::PropertyTableTransfer::Step::Sent) {
    }
    if (result == app::PropertyTableTransfer::Step::Failed) {
        printError(QStringLiteral("Export stopped: ") + step);
        return kExitMeter;
    }
    const app::PropertyTableSet& table = transfer.table();
    QString why;
    if (!platform::WriteTextFileWhole(options.file, app::TableFileLines(table, app::ShownTableName(table.name)), &why)) {
        printError(QStringLiteral("The file %1 could not be written: %2").arg(options.file, why));
        return kExitMeter;
    }
    return kExitSuccess;
}

bool EnsureEditMode() {
    if (!app::MeterTook([] { app::SendCmd129(); })) return false;
    if (app::MeterMode == app::kEditModeCode) return true;
    if (platform::MsgBox(QString::fromLatin1(app::kNotInEditModeQuestion), platform::vbYesNo, platform::vbNoIcon,
                         QString::fromLatin1(app::kNotInEditModeTitle)) != platform::vbYes)
        return false;
    if (app::PasswordProtectionFlag != 0) {
        platform::MsgBox(QString::fromLatin1(app::kIncorrectPassword), platform::vbOKOnly, platform::vbCritical);
        return false;
    }
    if (!app::MeterTook([] { app::SendCmd128(app::kEditModeCode); })) return false;
    return app::MeterTook([] { app::SendCmd129(); }) && app::MeterMode == app::kEditModeCode;
}

int RunTableImport(const Options& options) {
    // The whole file is checked before anything goes to the meter.
    app::PropertyTableTransfer transfer;
    QString why;
    const std::optional<QStringList> lines = app::ReadTableFileLines(options.file, why);
    if (!lines) {
        printError(QStringLiteral("The file %1 could not be read: %2").arg(options.file, why));
        return kExitMeter;
    }
    if (const std::optional<QString> error = app::ParseTableFile(*lines, transfer.table())) {
        printError(QStringLiteral("The file %1 is not a property table file. %2").arg(options.file, *error));
        return kExitMeter;
    }
    if (!EnsureEditMode()) return kExitMeter;
    transfer.BeginImport();
    QString step;
    app::PropertyTableTransfer::Step result;
    while ((result = transfer.ImportStep(step)) == app::PropertyTableTransfer::Step::Sent) {
    }
    if (result == app::PropertyTableTransfer::Step::Failed) {
        printError(QStringLiteral("Import stopped: ") + step);
        return kExitMeter;
    }
    return kExitSuccess;
}

// ---- one command text ------------------------------------------------------------

int RunSend(const Options& options, LineRecorder& recorder, std::FILE* out) {
    const std::array<uint8_t, 5> noUniqueId{};
    const std::optional<wendrel::TypedRequest> request =
        wendrel::ParseCommandText(options.commandText.toStdString(), noUniqueId.data(), options.address);
    if (!request) {
        std::fprintf(stderr, "corvane-hart-cli: not a command text: %s\n", options.commandText.toLocal8Bit().constData());
        return kExitUsage;
    }
    app::FenwireControl* control = app::Fenwire1();
    // Whether the transaction of the request got a reply at all: a refusal
    // is a reply, and is shown as one.
    constexpr short kReplied = 1;
    std::optional<short> outcome;
    const auto connection = QObject::connect(control, &app::FenwireControl::Result, control,
                                             [&outcome, command = request->command](short, short iCommand, short iResult) {
                                                 if (iCommand == command) outcome = iResult;
                                             });
    // The command's frames as the line carried them: what this program sent,
    // retries included, and the replies after it. The identifier fetch
    // before it is another command's; a burst frame or another master's
    // request is not this transaction's.
    std::vector<std::string> lines;
    bool sent = false;
    recorder.setListener([&](const fenwire::MonitorFrame& frame, const wendrel::FrameText& record) {
        if (record.command != request->command) return;
        const bool ours = frame.origin == wendrel::OriginSent;
        if (!ours && !(sent && record.kind == wendrel::FrameKindReply)) return;
        sent = sent || ours;
        lines.push_back(fenwire::RenderFrameLine(frame, recorder.texts()).text);
    });
    const bool took = app::MeterTook([&] { app::SendCommandData(request->command, request->data); });
    recorder.drain();  // the reply's frame may stand behind the reply
    recorder.setListener(nullptr);
    QObject::disconnect(connection);
    for (const std::string& line : lines) PrintMonitorText(out, line);
    if (outcome != kReplied) return kExitMeter;
    return status(took);
}

// ---- loop scan -------------------------------------------------------------------

int RunScan(const Options& options, std::FILE* out) {
    app::LoopScan scan(*app::Fenwire1());
    const app::LoopScanResult result = scan.run();
    if (options.json) {
        QStringList objects;
        for (const app::FoundDevice& device : result.devices)
            objects << JsonObject()
                           .integer(QStringLiteral("poll_address"), device.pollAddress)
                           .integer(QStringLiteral("manufacturer_id"), device.manufacturerId)
                           .text(QStringLiteral("manufacturer"), device.manufacturer)
                           .integer(QStringLiteral("device_type"), device.deviceType)
                           .integer(QStringLiteral("device_id"), device.deviceId)
                           .text(QStringLiteral("tag"), unpadded(device.tag))
                           .integer(QStringLiteral("universal_revision"), device.universalRevision)
                           .integer(QStringLiteral("software_revision"), device.softwareRevision)
                           .toString();
        printLine(out, QLatin1Char('[') + objects.join(QStringLiteral(", ")) + QLatin1Char(']'));
    } else {
        for (const app::FoundDevice& device : result.devices)
            printLine(out, QStringLiteral("Poll Address: %1  Tag: %2  Manufacturer: %3 (%4)  Device Type: %5  "
                                          "Device ID: %6  Universal Revision: %7  Software Revision: %8")
                               .arg(device.pollAddress)
                               .arg(unpadded(device.tag), device.manufacturer)
                               .arg(device.manufacturerId)
                               .arg(device.deviceType)
                               .arg(device.deviceId)
                               .arg(device.universalRevision)
                               .arg(device.softwareRevision));
    }
    if (result.linkFailed) printError(QStringLiteral("The scan stopped: the link was lost."));
    return status(!result.devices.empty() && !result.linkFailed);
}

// ---- the line's frames ------------------------------------------------------------------

namespace {

volatile std::sig_atomic_t gStopRequested = 0;

extern "C" void requestStop(int) { gStopRequested = 1; }

}  // namespace

StopOnSignal::StopOnSignal() {
    gStopRequested = 0;
    struct sigaction action = {};
    action.sa_handler = requestStop;
    // A second signal ends the program as usual; a write to standard output
    // is not cut short by the first.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInterrupt_);
    sigaction(SIGTERM, &action, &previousTerminate_);
}

StopOnSignal::~StopOnSignal() {
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
}

bool StopOnSignal::requested() const { return gStopRequested != 0; }

bool StopOnSignal::waitMs(qint64 ms) const {
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0 && !requested(); left = ms - clock.elapsed())
        app::Fenwire1()->processEvents(static_cast<int>(std::min<qint64>(left, kStopCheckMs)));
    return !requested();
}

int RunMonitor(const Options& options, LineRecorder& recorder, std::FILE* out) {
    recorder.printTo(out);
    const StopOnSignal stop;
    const app::frmComPort* port = app::ComPortForm();
    QElapsedTimer clock;
    clock.start();
    const qint64 endMs = static_cast<qint64>(options.seconds) * 1000;
    for (;;) {
        const qint64 left = options.seconds > 0 ? endMs - clock.elapsed() : StopOnSignal::kStopCheckMs;
        if (left <= 0 || !stop.waitMs(std::min(left, StopOnSignal::kStopCheckMs))) break;
        // A modem pulled out ends the watch; the utility's message has said so.
        if (!port || !port->LinkOpen()) return kExitMeter;
        // So does a capture that no longer takes frames: the run ends with its reason.
        if (recorder.captureFailed()) break;
    }
    return kExitSuccess;
}

// ---- a capture file ---------------------------------------------------------------

int RunShow(const Options& options, std::FILE* out) {
    const fenwire::CaptureRead read = fenwire::ReadCaptureFile(options.file.toStdString());
    if (!read.ok) {
        std::fprintf(stderr, "%s\n", read.error.c_str());
        return kExitMeter;
    }
    // The monitor's default View options and built-in command names.
    const fenwire::CommandTextTables texts;
    for (const fenwire::MonitorFrame& frame : fenwire::MonitorFramesOf(read.capture.frames, texts, fenwire::LineOptions{})) {
        PrintMonitorText(out, fenwire::RenderFrameLine(frame, texts).text);
    }
    return kExitSuccess;
}

}  // namespace cli
