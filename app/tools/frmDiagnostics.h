// The diagnostics window: shows the diagnostics report (app/reports) that it
// reads, decodes the status and fault log words, and prints the report or
// writes it to a text file.
#pragma once

#include <QDialog>
#include <QStringList>

#include "app/reports/diagnostics_report.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class frmDiagnostics : public QDialog {
    Q_OBJECT
public:
    explicit frmDiagnostics(QWidget* parent = nullptr);

    // Which word frmStatus_Codes decodes: "Carrier Status" or "Fault Log".
    QString CodeList;

    // The report, one line per entry, from what the boxes show.
    QStringList ReportLines() const;

private:
    void Read();
    void ShowStatusCodes(const QString& codeList);
    void btnPrint_Click();
    QLineEdit* box(const char* name) const;

    QCheckBox* chkPasswordProtection;
    QCheckBox* chkFixedCarrier;
    QCheckBox* chkLowXmtPower;
    QLabel* lblFault_Log;
    QLineEdit* txtFault_Log;
    QPushButton* btnFlault_Log;
    DiagnosticsReport report_;  // the latest read
};

// Decodes the diagnostics form's status word or fault log word bit by bit.
class frmStatus_Codes : public QDialog {
    Q_OBJECT
public:
    // `codeList` is the diagnostics form's selector, `value` the text of the
    // box it names.
    frmStatus_Codes(const QString& codeList, const QString& value, QWidget* parent = nullptr);
};

}  // namespace app
