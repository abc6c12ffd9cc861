// The configuration report: the meter's whole configuration read in 26 to
// 28 steps, and the report's lines as the utility prints and saves them.
// Only reads. What it reads and reports depends on the meter's software
// revision. The report window shows the fields in boxes of the same names.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "app/reports/meter_identity.h"

namespace app {

struct ConfigReport {
    int revision = 0;  // the software revision the report is shaped for
    // Field texts by the name of the box that shows them ("txtTag"); a field
    // whose command the meter did not take is absent.
    QMap<QString, QString> fields;
    int failedReads = 0;  // commands the meter refused or did not answer

    QString field(const char* box) const { return fields.value(QString::fromLatin1(box)); }
};

// The texts of a coded field, in code order ("txtAlarmCurrent": "High
// (21.75mA)", "Low (3.75mA)"); empty for a field that is not coded.
QStringList ConfigReportChoices(const char* box);

// The text of `code` among a coded field's choices; nothing for a code outside them.
inline std::optional<QString> ChoiceText(const QStringList& choices, int code) {
    if (code < 0 || code >= choices.size()) return std::nullopt;
    return choices[code];
}

// Each field's box and its key in machine-readable output ("txtPVUnit", "pv_unit").
struct ReportField {
    const char* box;
    const char* key;
};
const std::vector<ReportField>& ConfigReportFields();

// K-factor from revision 9, totalizer settings from revision 18.
bool ConfigReportHasKFactor(int revision);
bool ConfigReportHasTotalizerSettings(int revision);
// The number of steps a read takes on a revision.
int ConfigReportSteps(int revision);

// Reads the report of `meter` (its revision shapes it); `step` runs after
// each step with the report so far.
ConfigReport ReadConfigReport(const MeterIdentity& meter,
                              const std::function<void(const ConfigReport&)>& step = {});

// The report, one line per entry.
QStringList ConfigReportLines(const ConfigReport& report);

}  // namespace app
