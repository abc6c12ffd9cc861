#include "app/tools/frmDiagnostics.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/forms/configuration_form.h"
#include "app/tools/report_output.h"
#include "app/tools/tool_widgets.h"
#include "platform/fit.h"
#include "platform/platform.h"

namespace app {

namespace {

const QString kCarrierStatus = QStringLiteral("Carrier Status");
const QString kFaultLog = QStringLiteral("Fault Log");

// A three-state box shows 0 (clear), 1 (checked) and 2 (grey).
void setCheckValue(QCheckBox* box, int value) {
    box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}
int checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

// The leading number of a text, as far as it goes: "-32768" gives -32768,
// "12 V" 12, an empty text 0.
int leadingNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (at < trimmed.size() && (trimmed[at] == '-' || trimmed[at] == '+')) negative = trimmed[at++] == '-';
    long long value = 0;
    while (at < trimmed.size() && trimmed[at].isDigit() && value < 1'000'000) value = value * 10 + trimmed[at++].digitValue();
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

frmStatus_Codes::frmStatus_Codes(const QString& codeList, const QString& value, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStatus_Codes"));
    setWindowTitle(QStringLiteral("  Status Codes"));
    auto* lstMeaning = new QListWidget(this);
    lstMeaning->setObjectName(QStringLiteral("lstMeaning"));
    QPushButton* close = makeButton(*this, "btnClose", "Close");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstMeaning);
    layout->addWidget(close, 0, Qt::AlignRight);

    if (codeList == kCarrierStatus) setWindowTitle(QStringLiteral("Status Codes"));
    else if (codeList == kFaultLog) setWindowTitle(QStringLiteral("Fault Log Codes"));
    lstMeaning->addItems(StatusCodeTexts(static_cast<uint16_t>(leadingNumber(value))));
}

frmDiagnostics::frmDiagnostics(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDiagnostics"));
    setWindowTitle(QStringLiteral("  Diagnostics"));

    // Left: identity and build; middle: signals and status; right: flow and carrier.
    auto* identity = new QGridLayout;
    addDisplayRow(*this, *identity, "txtModelNumber", "Model Number:");
    addDisplayRow(*this, *identity, "txtDeviceID", "Device ID:");
    addDisplayRow(*this, *identity, "txtManufacturer", "Manufacturer:");
    addDisplayRow(*this, *identity, "txtManufacturersDeviceType", "Manufacturer's Device Type:");
    addDisplayRow(*this, *identity, "txtModelDeviation", "Model Deviation:");
    addDisplayRow(*this, *identity, "txtSoftwareRevision", "Software Revision:");
    addDisplayRow(*this, *identity, "txtHardwareRevision", "Hardware Revision:");
    addDisplayRow(*this, *identity, "txtTopLevelRevision", "Top Level Revision:");
    addDisplayRow(*this, *identity, "txtPartNumber", "Part Number:");
    addDisplayRow(*this, *identity, "txtMeterType", "Meter Type:");
    addDisplayRow(*this, *identity, "txtMeterStyle", "Meter Style:");
    addDisplayRow(*this, *identity, "txtSensorOption", "Sensor Option:");
    addDisplayRow(*this, *identity, "txtDisplayOption", "Display Option:");
    auto addDateRow = [this](QGridLayout& grid, const char* prefix, const char* label) {
        const int row = grid.rowCount();
        auto* caption = new QLabel(QString::fromLatin1(label), this);
        auto* parts = new QHBoxLayout;
        for (const char* part : {"Day", "Month", "Year"}) {
            auto* piece = new QLineEdit(this);
            piece->setObjectName(QString::fromLatin1(prefix) + QString::fromLatin1(part));
            piece->setReadOnly(true);
            piece->setAccessibleName(QString::fromLatin1(label) + ' ' + QString::fromLatin1(part));
            if (!caption->buddy()) caption->setBuddy(piece);
            parts->addWidget(piece);
        }
        grid.addWidget(caption, row, 0);
        grid.addLayout(parts, row, 1);
    };
    addDateRow(*identity, "txtCalibrationDate", "Calibration Date:");
    addDateRow(*identity, "txtModificationDate", "Modification Date:");
    addDisplayRow(*this, *identity, "txtModificationNumber", "Modification Number:");
    chkPasswordProtection = makeCheckBox(*this, "chkPasswordProtection", "Password Protection");
    chkPasswordProtection->setEnabled(false);
    identity->addWidget(chkPasswordProtection, identity->rowCount(), 1);
    QLineEdit* accessLevel = addDisplayRow(*this, *identity, "txtAccessLevel", "Access Level:");
    accessLevel->setVisible(false);
    identity->itemAtPosition(identity->rowCount() - 1, 0)->widget()->setVisible(false);

    auto* signals_ = new QGridLayout;
    addDisplayRow(*this, *signals_, "txtAGCVoltage", "AGC Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtAudioppVoltage", "Audio p-p Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtAudioDCVoltage", "Audio DC Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtUltrasonicppVoltage", "Ultrasonic p-p Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtUltrasonicDCVoltage", "Ultrasonic DC Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtVCCVoltage", "VCC Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtLoopVoltage", "Loop Voltage:", "V");
    addDisplayRow(*this, *signals_, "txtStatusCodes", "Status Codes:");
    QPushButton* btnStatus = makeButton(*this, "btnStatus", "?");
    signals_->addWidget(btnStatus, signals_->rowCount() - 1, 2);
    txtFault_Log = addDisplayRow(*this, *signals_, "txtFault_Log", "Fault Log");
    lblFault_Log = findChild<QLabel*>(QStringLiteral("lblFault_Log"));
    btnFlault_Log = makeButton(*this, "btnFlault_Log", "?");
    signals_->addWidget(btnFlault_Log, signals_->rowCount() - 1, 2);
    for (QWidget* hidden : {static_cast<QWidget*>(lblFault_Log), static_cast<QWidget*>(txtFault_Log),
                            static_cast<QWidget*>(btnFlault_Log)})
        hidden->setVisible(false);
    addDisplayRow(*this, *signals_, "txtBlockageFactor", "Blockage Factor");
    addDisplayRow(*this, *signals_, "txtMissingPulses", "Missing Pulses:");
    addDisplayRow(*this, *signals_, "txtReynolds", "Reynolds:");
    addDisplayRow(*this, *signals_, "txtStrouhal", "Strouhal:");
    addDisplayRow(*this, *signals_, "txtWDRS", "WDRS:");
    QLineEdit* simulation = addDisplayRow(*this, *signals_, "txtSimulationMode", "Simulation Mode:");
    simulation->setVisible(false);
    signals_->itemAtPosition(signals_->rowCount() - 1, 0)->widget()->setVisible(false);

    auto* flow = new QGridLayout;
    addDisplayRow(*this, *flow, "txtPipeID", "Pipe ID:", "in.");
    addDisplayRow(*this, *flow, "txtStrutSize", "Strut Size:", "in.");
    addDisplayRow(*this, *flow, "txtLowFlowCutoff", "Low Flow Cutoff:", "Hz");
    addDisplayRow(*this, *flow, "txtMTE", "MTE:", "\u00b0F");
    addDisplayRow(*this, *flow, "txtMPE", "MPE:", "psi");
    chkFixedCarrier = makeCheckBox(*this, "chkFixedCarrier", "Fixed Carrier");
    chkFixedCarrier->setTristate(true);
    chkFixedCarrier->setEnabled(false);
    flow->addWidget(chkFixedCarrier, flow->rowCount(), 1);
    addDisplayRow(*this, *flow, "txtSideband", "Side Band");
    chkLowXmtPower = makeCheckBox(*this, "chkLowXmtPower", "Low Xmt Power");
    chkLowXmtPower->setEnabled(false);
    flow->addWidget(chkLowXmtPower, flow->rowCount(), 1);
    addDisplayRow(*this, *flow, "txtCBW", "CBW:", "Hz");
    addDisplayRow(*this, *flow, "txtBCF", "BCF:", "Hz");
    addDisplayRow(*this, *flow, "txtCSP", "CSP:", "Hz");
    addDisplayRow(*this, *flow, "txtCFV", "CFV:", "Hz");

    QPushButton* btnRead = makeButton(*this, "btnRead", "Read");
    QPushButton* btnPrint = makeButton(*this, "btnPrint", "Print");
    QPushButton* btnOK = makeButton(*this, "btnOK", "Close");
    QHBoxLayout* columns = columnsRow({identity, signals_, flow});
    QHBoxLayout* buttons = readPrintCloseRow(btnRead, btnPrint, btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    // The texts at their longest: packed fields at their full length, the
    // device type at its longest wording, coded fields at each of their choices.
    fitTexts(*this, {
                        {"txtModelNumber", platform::longestPackedText(12)},
                        {"txtPartNumber", platform::longestPackedText(16)},
                        {"txtModelDeviation", platform::longestPackedText(32)},
                        {"txtManufacturersDeviceType", QStringLiteral("Liquid Flow Meter")},
                    });
    for (const ReportField& field : DiagnosticsReportFields())
        if (auto* shown = findChild<QLineEdit*>(QString::fromLatin1(field.box)))
            for (const QString& choice : DiagnosticsReportChoices(field.box)) platform::fitToText(*shown, choice);

    connect(btnRead, &QPushButton::clicked, this, &frmDiagnostics::Read);
    connect(btnPrint, &QPushButton::clicked, this, &frmDiagnostics::btnPrint_Click);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::close);
    connect(btnStatus, &QPushButton::clicked, this, [this] { ShowStatusCodes(kCarrierStatus); });
    connect(btnFlault_Log, &QPushButton::clicked, this, [this] { ShowStatusCodes(kFaultLog); });

    Read();
}

QLineEdit* frmDiagnostics::box(const char* name) const {
    auto* found = findChild<QLineEdit*>(QString::fromLatin1(name));
    Q_ASSERT(found);
    return found;
}

void frmDiagnostics::Read() {
    platform::BusyPointer busy;
    for (QLineEdit* shown : findChildren<QLineEdit*>()) shown->clear();
    // The flags start as the boxes show them: a value no box can show keeps the one before.
    DiagnosticsReport previous;
    previous.passwordProtection = checkValue(chkPasswordProtection);
    previous.fixedCarrier = checkValue(chkFixedCarrier);
    previous.lowXmtPower = checkValue(chkLowXmtPower);
    report_ = previous;
    if (!OpenLinkIfNeeded()) return;
    report_ = ReadDiagnosticsReport(MainWindowIdentity(), previous);
    for (const ReportField& field : DiagnosticsReportFields()) box(field.box)->setText(report_.field(field.box));
    setCheckValue(chkPasswordProtection, report_.passwordProtection);
    setCheckValue(chkFixedCarrier, report_.fixedCarrier);
    chkLowXmtPower->setChecked(report_.lowXmtPower != 0);
    if (report_.faultLogShown)
        for (QWidget* shown : {static_cast<QWidget*>(lblFault_Log), static_cast<QWidget*>(txtFault_Log),
                               static_cast<QWidget*>(btnFlault_Log)})
            shown->setVisible(true);
}

void frmDiagnostics::ShowStatusCodes(const QString& codeList) {
    CodeList = codeList;
    frmStatus_Codes codes(CodeList, (CodeList == kFaultLog ? txtFault_Log : box("txtStatusCodes"))->text(), this);
    platform::showModal(codes);
}

QStringList frmDiagnostics::ReportLines() const { return DiagnosticsReportLines(report_); }

void frmDiagnostics::btnPrint_Click() { OutputReport(ReportLines()); }

}  // namespace app
