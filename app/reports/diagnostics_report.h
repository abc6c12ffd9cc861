// Diagnostics: identity and build options, signal and supply voltages, the
// status word and fault log, flow-computation figures, calibration and
// modification records and the carrier settings, read in one pass, and the
// lines the utility prints and saves. Only reads. The diagnostics window
// shows the fields in boxes of the same names.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "app/reports/config_report.h"
#include "app/reports/meter_identity.h"

namespace app {

struct DiagnosticsReport {
    // Field texts by box name ("txtAGCVoltage"); absent when not read. Dates
    // are three fields: "txtCalibrationDateDay", "...Month", "...Year".
    QMap<QString, QString> fields;
    // Three-state flags as the window's check boxes hold them: 0 clear,
    // 1 set, 2 grey (the carrier mode's fixed frequency).
    int passwordProtection = 0;
    int fixedCarrier = 0;
    int lowXmtPower = 0;
    bool faultLogShown = false;  // revision 10 on, once command 179 was taken
    int failedReads = 0;

    QString field(const char* box) const { return fields.value(QString::fromLatin1(box)); }
};

// Each field's box and machine-readable key; the flags are keyed
// "password_protection", "fixed_carrier" and "low_xmt_power".
const std::vector<ReportField>& DiagnosticsReportFields();

// Reads the diagnostics of `meter`. The flags start as `previous` holds
// them: a flag the meter sends a value for that no box can show keeps the
// one before.
DiagnosticsReport ReadDiagnosticsReport(const MeterIdentity& meter, const DiagnosticsReport& previous = {});

// The report, one line per entry.
QStringList DiagnosticsReportLines(const DiagnosticsReport& report);

// The texts of a coded field, in code order ("txtMeterStyle": "Wafer",
// "Insertion"); empty for a field that is not coded.
QStringList DiagnosticsReportChoices(const char* box);

// The texts of the bits set in a status or fault log word, from bit 0 up.
QStringList StatusCodeTexts(uint16_t word);

}  // namespace app
