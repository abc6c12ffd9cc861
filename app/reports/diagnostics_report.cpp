#include "app/reports/diagnostics_report.h"

#include <QDate>
#include <array>
#include <functional>
#include <optional>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmComPort.h"

namespace app {

QStringList DiagnosticsReportChoices(const char* box) {
    static const QMap<QString, QStringList> choices = {
        {"txtSideband", {"Lower Side Band", "Fixed Frequency", "Upper Side Band"}},
        {"txtMeterType", {"Gas", "Liquid", "Steam"}},
        {"txtMeterStyle", {"Wafer", "Insertion"}},
        {"txtSensorOption", {"None", "Temperature", "Pressure", "B"}},
        {"txtDisplayOption", {"None", "LCD"}},
    };
    return choices.value(QString::fromLatin1(box));
}

namespace {

constexpr int kLiquidDeviceType = 1;
constexpr int kFirstRevisionWithFaultLog = 10;

const std::array<const char*, 16> kStatusBitTexts = {
    "Can Not Rough Tune Carrier", "Can Not Fine Tune Carrier", "RF Gain limited",
    "RF Too Strong",              "Audio Processing Overrun",  "Renolds Out of Range",
    "Low Loop Voltage",           "Low VCC",                   "High VCC",
    "Display TimeOut",            "ADC Failure",               "EEPROM Failure",
    "Temperature Sensor Failure", "EEPROM Conflict",           "EEPROM Page Fault",
    "EEPROM Write Failure",
};

// The text of a code among a box's choices, or nothing for a code outside
// them (the field then keeps its text).
std::optional<QString> mapped(int code, const char* box) { return ChoiceText(DiagnosticsReportChoices(box), code); }

// A three-state flag takes 0, 1 and 2; another value leaves it as it was.
void setFlag(int& flag, int value) {
    if (value >= 0 && value <= 2) flag = value;
}

}  // namespace

QStringList StatusCodeTexts(uint16_t word) {
    QStringList texts;
    for (size_t bit = 0; bit < kStatusBitTexts.size(); ++bit)
        if (word & (1u << bit)) texts << QString::fromLatin1(kStatusBitTexts[bit]);
    return texts;
}

const std::vector<ReportField>& DiagnosticsReportFields() {
    static const std::vector<ReportField> fields = {
        {"txtModelNumber", "model_number"},
        {"txtDeviceID", "device_id"},
        {"txtManufacturer", "manufacturer_id"},
        {"txtManufacturersDeviceType", "device_type"},
        {"txtModelDeviation", "model_deviation"},
        {"txtSoftwareRevision", "software_revision"},
        {"txtHardwareRevision", "hardware_revision"},
        {"txtTopLevelRevision", "top_level_revision"},
        {"txtPartNumber", "part_number"},
        {"txtMeterType", "meter_type"},
        {"txtMeterStyle", "meter_style"},
        {"txtSensorOption", "sensor_option"},
        {"txtDisplayOption", "display_option"},
        {"txtCalibrationDateDay", "calibration_day"},
        {"txtCalibrationDateMonth", "calibration_month"},
        {"txtCalibrationDateYear", "calibration_year"},
        {"txtModificationDateDay", "modification_day"},
        {"txtModificationDateMonth", "modification_month"},
        {"txtModificationDateYear", "modification_year"},
        {"txtModificationNumber", "modification_number"},
        {"txtAccessLevel", "access_level"},
        {"txtAGCVoltage", "agc_voltage"},
        {"txtAudioppVoltage", "audio_pp_voltage"},
        {"txtAudioDCVoltage", "audio_dc_voltage"},
        {"txtUltrasonicppVoltage", "ultrasonic_pp_voltage"},
        {"txtUltrasonicDCVoltage", "ultrasonic_dc_voltage"},
        {"txtVCCVoltage", "vcc_voltage"},
        {"txtLoopVoltage", "loop_voltage"},
        {"txtStatusCodes", "status_codes"},
        {"txtFault_Log", "fault_log"},
        {"txtBlockageFactor", "blockage_factor"},
        {"txtMissingPulses", "missing_pulses"},
        {"txtReynolds", "reynolds"},
        {"txtStrouhal", "strouhal"},
        {"txtWDRS", "wdrs"},
        {"txtSimulationMode", "simulation_mode"},
        {"txtPipeID", "pipe_id"},
        {"txtStrutSize", "strut_size"},
        {"txtLowFlowCutoff", "low_flow_cutoff"},
        {"txtMTE", "mte"},
        {"txtMPE", "mpe"},
        {"txtSideband", "side_band"},
        {"txtCBW", "cbw"},
        {"txtBCF", "bcf"},
        {"txtCSP", "csp"},
        {"txtCFV", "cfv"},
    };
    return fields;
}

// A command the meter did not take fills nothing: its fields stay absent
// rather than show values another read left in the store.
DiagnosticsReport ReadDiagnosticsReport(const MeterIdentity& meter, const DiagnosticsReport& previous) {
    DiagnosticsReport report;
    report.passwordProtection = previous.passwordProtection;
    report.fixedCarrier = previous.fixedCarrier;
    report.lowXmtPower = previous.lowXmtPower;
    auto set = [&report](const char* box, const QString& text) { report.fields[QString::fromLatin1(box)] = text; };
    auto setMapped = [&](const char* box, int code) {
        if (const auto text = mapped(code, box)) set(box, *text);
    };
    // Day, month and four-digit year; a date the meter sent with an
    // impossible day or month leaves them empty.
    auto setDate = [&](const char* prefix, const QDate& date) {
        const QString p = QString::fromLatin1(prefix);
        report.fields[p + "Day"] = date.isValid() ? QString::number(date.day()) : QString();
        report.fields[p + "Month"] = date.isValid() ? QString::number(date.month()) : QString();
        report.fields[p + "Year"] = date.isValid() ? QString::number(date.year()) : QString();
    };
    auto readInto = [&report](void (*send)(), const std::function<void()>& fill) {
        if (MeterTook(send))
            fill();
        else
            ++report.failedReads;
    };
    FenwireControl* control = Fenwire1();
    auto number = [](int value) { return QString::number(value); };

    readInto(&SendCmd180, [&] {
        set("txtMissingPulses", number(MissingPulses));
        set("txtReynolds", NumberText(Reynolds));
        set("txtStrouhal", NumberText(Strouhal));
        set("txtWDRS", number(WDRS));
    });

    readInto(&SendCmd132, [&] { set("txtModelNumber", ModelNumber); });
    // Identity from the last identify, which the link control and the store keep.
    if (control) {
        set("txtDeviceID", number(control->get("p00DeviceNumber")));
        set("txtManufacturer", number(control->get("p00VendorID")));
        set("txtSoftwareRevision", number(control->get("p00SoftwRev")));
    }
    set("txtHardwareRevision", number(HardwareRevision));

    readInto(&SendCmd135, [&] {
        // Packed ASCII pads with blanks: a deviation of blanks only is none.
        set("txtModelDeviation", ModelDeviation.trimmed().isEmpty() ? QStringLiteral("none") : ModelDeviation);
    });

    readInto(&SendCmd133, [&] { set("txtTopLevelRevision", number(TopLevelRevision)); });

    readInto(&SendCmd178, [&] {
        set("txtAGCVoltage", RoundedText(AGCVoltage, 2));
        set("txtAudioppVoltage", RoundedText(AudioPPVoltage, 2));
        set("txtAudioDCVoltage", RoundedText(AudioDCVoltage, 2));
        set("txtUltrasonicppVoltage", RoundedText(UltrasonicPPVoltage, 2));
        set("txtUltrasonicDCVoltage", RoundedText(UltrasonicDCVoltage, 2));
    });

    readInto(&SendCmd179, [&] {
        set("txtVCCVoltage", RoundedText(VCCVoltage, 2));
        set("txtLoopVoltage", RoundedText(LoopVoltage, 2));
        set("txtStatusCodes", number(StatusCodes));
        set("txtBlockageFactor", RoundedText(BlockageFactor, 4));
        if (meter.known && meter.softwareRevision >= kFirstRevisionWithFaultLog) {
            report.faultLogShown = true;
            set("txtFault_Log", number(FaultLog));
        }
    });
    if (meter.known)
        set("txtManufacturersDeviceType", meter.deviceType == kLiquidDeviceType ? QStringLiteral("Liquid Flow Meter")
                                                                                : QStringLiteral("Gas Flow Meter"));

    readInto(&SendCmd208, [&] { set("txtPipeID", RoundedText(PipeID, 2)); });
    readInto(&SendCmd210, [&] { set("txtStrutSize", RoundedText(StrutSize, 4)); });
    readInto(&SendCmd149, [&] { set("txtLowFlowCutoff", RoundedText(LowFlowCutoff, 0)); });
    readInto(&SendCmd182, [&] {
        set("txtMTE", RoundedText(MTE, 2));
        set("txtMPE", RoundedText(MPE, 2));
    });
    readInto(&SendCmd183, [&] {
        setDate("txtModificationDate", ModificationDate);
        set("txtModificationNumber", number(ModificationNumber));
    });
    readInto(&SendCmd129, [&] {
        setFlag(report.passwordProtection, PasswordProtectionFlag);
        set("txtAccessLevel", number(AccessLevel));
    });

    readInto(&SendCmd229, [&] {
        setFlag(report.fixedCarrier, CarrierMode);
        set("txtCBW", number(CBW));
        set("txtBCF", number(BCF));
        set("txtCSP", number(CSP));
        set("txtCFV", number(CFV));
        setMapped("txtSideband", report.fixedCarrier);
        report.lowXmtPower = LowXmtPower != 0 ? 1 : 0;
    });

    readInto(&SendCmd137, [&] {
        set("txtPartNumber", PartNumber);
        setMapped("txtMeterType", MeterType);
        setMapped("txtMeterStyle", MeterStyle);
        setMapped("txtSensorOption", SensorOption);
        setMapped("txtDisplayOption", DisplayOption);
    });

    readInto(&SendCmd199, [&] { setDate("txtCalibrationDate", CalibrationDate); });
    readInto(&SendCmd170, [&] {
        set("txtSimulationMode", SimulationMode == 1 ? QStringLiteral("Carrier") : QStringLiteral("Output"));
    });
    return report;
}

QStringList DiagnosticsReportLines(const DiagnosticsReport& report) {
    auto text = [&report](const char* box) { return report.field(box); };
    auto date = [&](const QString& prefix) {
        const QByteArray p = prefix.toLatin1();
        return text((p + "Day").constData()) + '/' + text((p + "Month").constData()) + '/' +
               text((p + "Year").constData());
    };
    auto yesNo = [](int flag) { return flag == 0 ? "No" : "Yes"; };
    const int carrier = report.fixedCarrier;
    return {
        "Software Revision: " + text("txtSoftwareRevision"),
        "Hardware Revision: " + text("txtHardwareRevision"),
        "Manufacturer Revision: " + text("txtManufacturer"),
        "Manufacturer's Device Type: " + text("txtManufacturersDeviceType"),
        "Model Number: " + text("txtModelNumber"),
        "Device ID: " + text("txtDeviceID"),
        "Part Number: " + text("txtPartNumber"),
        "Meter Type: " + text("txtMeterType"),
        "Meter Style: " + text("txtMeterStyle"),
        "Sensor Option: " + text("txtSensorOption"),
        "Display Option: " + text("txtDisplayOption"),
        "Top Level Revision: " + text("txtTopLevelRevision"),
        "Model Deviation: " + text("txtModelDeviation"),
        "AGC Voltage: " + text("txtAGCVoltage"),
        "Audio p-p Voltage: " + text("txtAudioppVoltage"),
        "Audio DC Voltage: " + text("txtAudioDCVoltage"),
        "Ultrasonic p-p Voltage: " + text("txtUltrasonicppVoltage"),
        "Ultrasonic DC Voltage: " + text("txtUltrasonicDCVoltage"),
        "VCC Voltage: " + text("txtVCCVoltage"),
        "Loop Voltage: " + text("txtLoopVoltage"),
        "Status Codes: " + text("txtStatusCodes"),
        "Missing pulses: " + text("txtMissingPulses"),
        "Reynolds: " + text("txtReynolds"),
        "Strouhal: " + text("txtStrouhal"),
        "WDRS: " + text("txtWDRS"),
        "MTE: " + text("txtMTE"),
        "MPE: " + text("txtMPE"),
        "Modification Date: " + date(QStringLiteral("txtModificationDate")),
        "Low Flow Cutoff: " + text("txtLowFlowCutoff"),
        "Pipe ID: " + text("txtPipeID"),
        "Strut Size: " + text("txtStrutSize"),
        QString::fromLatin1(carrier == 0 ? "Side Band: Lower" : carrier == 1 ? "Side Band: Fixed" : "Side Band: Upper"),
        QStringLiteral("Low Xmt Power: ") + yesNo(report.lowXmtPower),
        "FCF: " + text("txtCBW"),
        "BCF: " + text("txtBCF"),
        "CSP: " + text("txtCSP"),
        "CFV: " + text("txtCFV"),
        "Calibration Date: " + date(QStringLiteral("txtCalibrationDate")),
        QStringLiteral("Password Protection: ") + yesNo(report.passwordProtection),
        "Blockage Factor: " + text("txtBlockageFactor"),
        "Modification: :" + text("txtModificationNumber"),
    };
}

}  // namespace app
