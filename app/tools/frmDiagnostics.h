// Diagnostics: identity and build options, signal and supply voltages, the
// status word and fault log, flow-computation figures, calibration and
// modification records and the carrier settings, read in one pass. Only
// reads; prints the result or writes it to a text file.
#pragma once

#include <QDialog>
#include <QStringList>

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
};

// The texts of the bits set in a status or fault log word, from bit 0 up.
QStringList StatusCodeTexts(uint16_t word);

// Decodes the diagnostics form's status word or fault log word bit by bit.
class frmStatus_Codes : public QDialog {
    Q_OBJECT
public:
    // `codeList` is the diagnostics form's selector, `value` the text of the
    // box it names.
    frmStatus_Codes(const QString& codeList, const QString& value, QWidget* parent = nullptr);
};

}  // namespace app
