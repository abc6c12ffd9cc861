#include "app/tools/frmDiagnostics.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <functional>
#include <optional>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "app/tools/report_output.h"
#include "app/tools/tool_widgets.h"
#include "platform/fit.h"
#include "platform/platform.h"

namespace app {

namespace {

const QString kCarrierStatus = QStringLiteral("Carrier Status");
const QString kFaultLog = QStringLiteral("Fault Log");
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

// The text of a code, or nothing for a code outside the list (the box then keeps its text).
std::optional<QString> mapped(int code, std::initializer_list<const char*> texts) {
    if (code < 0 || code >= static_cast<int>(texts.size())) return std::nullopt;
    return QString::fromLatin1(texts.begin()[code]);
}
void showMapped(QLineEdit* box, int code, std::initializer_list<const char*> texts) {
    if (const auto text = mapped(code, texts)) box->setText(*text);
}

// A three-state box takes 0 (clear), 1 (checked) and 2 (grey); another value
// leaves it as it was, and the read goes on.
void setCheckValue(QCheckBox* box, int value) {
    if (value >= Qt::Unchecked && value <= Qt::Checked)
        box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}
int checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

// Day, month and four-digit year in three boxes; a date the meter sent
// with an impossible day or month leaves them empty.
void showDate(const QDate& date, QLineEdit* day, QLineEdit* month, QLineEdit* year) {
    day->setText(date.isValid() ? QString::number(date.day()) : QString());
    month->setText(date.isValid() ? QString::number(date.month()) : QString());
    year->setText(date.isValid() ? QString::number(date.year()) : QString());
}

void readInto(void (*send)(), const std::function<void()>& fill) {
    if (MeterTook(send)) fill();
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

QStringList StatusCodeTexts(uint16_t word) {
    QStringList texts;
    for (size_t bit = 0; bit < kStatusBitTexts.size(); ++bit)
        if (word & (1u << bit)) texts << QString::fromLatin1(kStatusBitTexts[bit]);
    return texts;
}

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
    // others at their longest wording.
    fitTexts(*this, {
                        {"txtModelNumber", platform::longestPackedText(12)},
                        {"txtPartNumber", platform::longestPackedText(16)},
                        {"txtModelDeviation", platform::longestPackedText(32)},
                        {"txtManufacturersDeviceType", QStringLiteral("Liquid Flow Meter")},
                        {"txtSideband", QStringLiteral("Upper Side Band")},
                        {"txtSensorOption", QStringLiteral("Temperature")},
                        {"txtMeterStyle", QStringLiteral("Insertion")},
                    });

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

// A command the meter did not take fills nothing: its boxes stay empty
// rather than show values another read left in the store.
void frmDiagnostics::Read() {
    platform::BusyPointer busy;
    for (QLineEdit* shown : findChildren<QLineEdit*>()) shown->clear();
    if (!OpenLinkIfNeeded()) return;
    const frmMain* main = MainWindow();
    FenwireControl* control = Fenwire1();
    auto number = [](int value) { return QString::number(value); };

    readInto(&SendCmd180, [&] {
        box("txtMissingPulses")->setText(number(MissingPulses));
        box("txtReynolds")->setText(NumberText(Reynolds));
        box("txtStrouhal")->setText(NumberText(Strouhal));
        box("txtWDRS")->setText(number(WDRS));
    });

    readInto(&SendCmd132, [&] { box("txtModelNumber")->setText(ModelNumber); });
    // Identity from the last identify, which the link control and the store keep.
    if (control) {
        box("txtDeviceID")->setText(number(control->get("p00DeviceNumber")));
        box("txtManufacturer")->setText(number(control->get("p00VendorID")));
        box("txtSoftwareRevision")->setText(number(control->get("p00SoftwRev")));
    }
    box("txtHardwareRevision")->setText(number(HardwareRevision));

    readInto(&SendCmd135, [&] {
        // Packed ASCII pads with blanks: a deviation of blanks only is none.
        box("txtModelDeviation")
            ->setText(ModelDeviation.trimmed().isEmpty() ? QStringLiteral("none") : ModelDeviation);
    });

    readInto(&SendCmd133, [&] {
        box("txtTopLevelRevision")->setText(number(TopLevelRevision));
    });

    readInto(&SendCmd178, [&] {
        box("txtAGCVoltage")->setText(RoundedText(AGCVoltage, 2));
        box("txtAudioppVoltage")->setText(RoundedText(AudioPPVoltage, 2));
        box("txtAudioDCVoltage")->setText(RoundedText(AudioDCVoltage, 2));
        box("txtUltrasonicppVoltage")->setText(RoundedText(UltrasonicPPVoltage, 2));
        box("txtUltrasonicDCVoltage")->setText(RoundedText(UltrasonicDCVoltage, 2));
    });

    readInto(&SendCmd179, [&] {
        box("txtVCCVoltage")->setText(RoundedText(VCCVoltage, 2));
        box("txtLoopVoltage")->setText(RoundedText(LoopVoltage, 2));
        box("txtStatusCodes")->setText(number(StatusCodes));
        box("txtBlockageFactor")->setText(RoundedText(BlockageFactor, 4));
        if (main && main->SoftwareRevision >= kFirstRevisionWithFaultLog) {
            lblFault_Log->setVisible(true);
            txtFault_Log->setVisible(true);
            btnFlault_Log->setVisible(true);
            txtFault_Log->setText(number(FaultLog));
        }
    });
    if (main)
        box("txtManufacturersDeviceType")
            ->setText(main->DeviceType == kLiquidDeviceType ? QStringLiteral("Liquid Flow Meter")
                                                            : QStringLiteral("Gas Flow Meter"));

    readInto(&SendCmd208, [&] {
        box("txtPipeID")->setText(RoundedText(PipeID, 2));
    });
    readInto(&SendCmd210, [&] {
        box("txtStrutSize")->setText(RoundedText(StrutSize, 4));
    });
    readInto(&SendCmd149, [&] {
        box("txtLowFlowCutoff")->setText(RoundedText(LowFlowCutoff, 0));
    });
    readInto(&SendCmd182, [&] {
        box("txtMTE")->setText(RoundedText(MTE, 2));
        box("txtMPE")->setText(RoundedText(MPE, 2));
    });
    readInto(&SendCmd183, [&] {
        showDate(ModificationDate, box("txtModificationDateDay"), box("txtModificationDateMonth"),
                 box("txtModificationDateYear"));
        box("txtModificationNumber")->setText(number(ModificationNumber));
    });
    readInto(&SendCmd129, [&] {
        setCheckValue(chkPasswordProtection, PasswordProtectionFlag);
        box("txtAccessLevel")->setText(number(AccessLevel));
    });

    readInto(&SendCmd229, [&] {
        setCheckValue(chkFixedCarrier, CarrierMode);
        box("txtCBW")->setText(number(CBW));
        box("txtBCF")->setText(number(BCF));
        box("txtCSP")->setText(number(CSP));
        box("txtCFV")->setText(number(CFV));
        showMapped(box("txtSideband"), checkValue(chkFixedCarrier),
                   {"Lower Side Band", "Fixed Frequency", "Upper Side Band"});
        chkLowXmtPower->setChecked(LowXmtPower != 0);
    });

    readInto(&SendCmd137, [&] {
        box("txtPartNumber")->setText(PartNumber);
        showMapped(box("txtMeterType"), MeterType, {"Gas", "Liquid", "Steam"});
        showMapped(box("txtMeterStyle"), MeterStyle, {"Wafer", "Insertion"});
        showMapped(box("txtSensorOption"), SensorOption, {"None", "Temperature", "Pressure", "B"});
        showMapped(box("txtDisplayOption"), DisplayOption, {"None", "LCD"});
    });

    readInto(&SendCmd199, [&] {
        showDate(CalibrationDate, box("txtCalibrationDateDay"), box("txtCalibrationDateMonth"),
                 box("txtCalibrationDateYear"));
    });
    readInto(&SendCmd170, [&] {
        box("txtSimulationMode")->setText(SimulationMode == 1 ? QStringLiteral("Carrier") : QStringLiteral("Output"));
    });
}

void frmDiagnostics::ShowStatusCodes(const QString& codeList) {
    CodeList = codeList;
    frmStatus_Codes codes(CodeList, (CodeList == kFaultLog ? txtFault_Log : box("txtStatusCodes"))->text(), this);
    platform::showModal(codes);
}

QStringList frmDiagnostics::ReportLines() const {
    auto text = [this](const char* name) { return box(name)->text(); };
    auto date = [&](const QString& prefix) {
        const QByteArray p = prefix.toLatin1();
        return text((p + "Day").constData()) + '/' + text((p + "Month").constData()) + '/' +
               text((p + "Year").constData());
    };
    auto yesNo = [](const QCheckBox* check) { return check->checkState() == Qt::Unchecked ? "No" : "Yes"; };
    const int carrier = checkValue(chkFixedCarrier);
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
        QStringLiteral("Low Xmt Power: ") + yesNo(chkLowXmtPower),
        "FCF: " + text("txtCBW"),
        "BCF: " + text("txtBCF"),
        "CSP: " + text("txtCSP"),
        "CFV: " + text("txtCFV"),
        "Calibration Date: " + date(QStringLiteral("txtCalibrationDate")),
        QStringLiteral("Password Protection: ") + yesNo(chkPasswordProtection),
        "Blockage Factor: " + text("txtBlockageFactor"),
        "Modification: :" + text("txtModificationNumber"),
    };
}

void frmDiagnostics::btnPrint_Click() { OutputReport(ReportLines()); }

}  // namespace app
