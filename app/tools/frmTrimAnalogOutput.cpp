#include "app/tools/frmTrimAnalogOutput.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "app/tools/tool_widgets.h"
#include "platform/platform.h"

namespace app {

namespace {

constexpr int kOutputFixedBit = 0x08;
constexpr float kLeaveFixedCurrent = 0.0f;

struct TrimStep {
    float point;              // mA the output is held at while the user reads the DMM
    void (*trim)(float);      // the trim command with the reading
};

TrimStep stepOf(frmDMMCurrentMeasurement::TrimPoint point) {
    if (point == frmDMMCurrentMeasurement::TrimPoint::Gain) return {20.0f, &SendCmd46};
    return {4.0f, &SendCmd45};
}

bool canWrite() {
    frmMain* main = MainWindow();
    return main && main->CanWrite();
}

}  // namespace

frmTrimAnalogOutput::frmTrimAnalogOutput(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTrimAnalogOutput"));
    setWindowTitle(QStringLiteral("  Fixed Analog Output"));

    auto* values = new QGridLayout;
    txtAnalogCurrent = addDisplayRow(*this, *values, "txtAnalogCurrent", "Analog Current:", "mA");
    txtFixedCurrentValue = addValueRow(*this, *values, "txtFixedCurrentValue", "Fixed Current Value:", "mA");
    txtFixedCurrentValue->setText(QStringLiteral("10"));
    chkFixedCurrent = makeCheckBox(*this, "chkFixedCurrent", "Fixed Current");
    values->addWidget(chkFixedCurrent, values->rowCount(), 1);

    auto* calibration = new QGroupBox(QStringLiteral("Current Loop Calibration"), this);
    calibration->setObjectName(QStringLiteral("fraCurrentLoopCalibration"));
    btnTrimOffset = makeButton(*this, "btnTrimOffset", "Trim Offset");
    btnTrimGain = makeButton(*this, "btnTrimGain", "Trim Gain");
    auto* trims = new QGridLayout(calibration);
    auto* offsetText = new QLabel(
        QStringLiteral("Sets the loop current to 4.00 mA and prompts for reading to reduce the offset."), calibration);
    auto* gainText = new QLabel(
        QStringLiteral("Sets the loop current to 20.00 mA and prompts for reading to reduce the gain."), calibration);
    for (QLabel* label : {offsetText, gainText}) label->setWordWrap(true);
    trims->addWidget(btnTrimOffset, 0, 0);
    trims->addWidget(offsetText, 0, 1);
    trims->addWidget(btnTrimGain, 1, 0);
    trims->addWidget(gainText, 1, 1);

    btnRead = makeButton(*this, "btnRead", "Read");
    btnWrite = makeButton(*this, "btnWrite", "Write");
    btnCancel = makeButton(*this, "btnCancel", "Close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnRead);
    buttons->addWidget(btnWrite);
    buttons->addStretch();
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(values);
    layout->addWidget(calibration);
    layout->addLayout(buttons);

    dmm_ = new frmDMMCurrentMeasurement(this);
    tmrUpdateCurrent = new QTimer(this);
    tmrUpdateCurrent->setObjectName(QStringLiteral("tmrUpdateCurrent"));
    tmrUpdateCurrent->setInterval(kRefreshMs);

    connect(btnRead, &QPushButton::clicked, this, &frmTrimAnalogOutput::btnRead_Click);
    connect(btnWrite, &QPushButton::clicked, this, &frmTrimAnalogOutput::btnWrite_Click);
    connect(btnTrimOffset, &QPushButton::clicked, this,
            [this] { Trim(frmDMMCurrentMeasurement::TrimPoint::Offset); });
    connect(btnTrimGain, &QPushButton::clicked, this, [this] { Trim(frmDMMCurrentMeasurement::TrimPoint::Gain); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(tmrUpdateCurrent, &QTimer::timeout, this, &frmTrimAnalogOutput::tmrUpdateCurrent_Timer);

    {
        platform::BusyPointer busy;
        if (OpenLinkIfNeeded()) Refresh();
    }
    tmrUpdateCurrent->start();
}

// A loop current the meter did not send leaves the box as it was.
void frmTrimAnalogOutput::ShowLoopCurrent() {
    if (FenwireControl* control = Fenwire1()) txtAnalogCurrent->setText(NumberText(control->getFloat("p02Current")));
}

// The check box follows the meter only one way: a refresh checks it when the
// output is fixed and never clears it.
void frmTrimAnalogOutput::Refresh() {
    if (!MeterTook(&SendAction2)) return;
    ShowLoopCurrent();
    if (DeviceStatus & kOutputFixedBit) {
        txtFixedCurrentValue->setText(txtAnalogCurrent->text());
        chkFixedCurrent->setChecked(true);
    }
}

void frmTrimAnalogOutput::btnRead_Click() {
    platform::BusyPointer busy;
    if (OpenLinkIfNeeded()) Refresh();
}

void frmTrimAnalogOutput::btnWrite_Click() {
    platform::BusyPointer busy;
    if (!OpenLinkIfNeeded()) return;
    if (canWrite()) {
        float current = 0.0f;
        if (!ParseNumber(txtFixedCurrentValue->text(), current)) {
            platform::MsgBox(QStringLiteral("Fixed Current Value is not a valid numeric value."), platform::vbOKOnly,
                             platform::vbCritical, QStringLiteral("Error"));
            return;
        }
        SendCmd40(chkFixedCurrent->isChecked() ? current : kLeaveFixedCurrent);
    }
    Refresh();
}

void frmTrimAnalogOutput::Trim(frmDMMCurrentMeasurement::TrimPoint point) {
    const TrimStep step = stepOf(point);
    const QString currentBefore = txtAnalogCurrent->text();
    if (!canWrite()) return;
    // A reading is worth taking only at the trim point: the dialog would say
    // the output is there, and a trim against another current miscalibrates
    // the output. The port form has said why the meter did not take it.
    if (!MeterTook([&step] { SendCmd40(step.point); })) return;

    dmm_->ShowInstructionsFor(point);
    dmm_->Accepted = false;
    platform::showModal(*dmm_);
    if (!dmm_->Accepted) return;  // the output stays at the trim point

    float reading = 0.0f;
    ParseNumber(dmm_->Reading(), reading);  // validated by the dialog
    step.trim(reading);
    // Back to the current held before the trim; a box that never showed a
    // reading has nothing to go back to, so the output is released.
    float before = kLeaveFixedCurrent;
    if (!chkFixedCurrent->isChecked() || !ParseNumber(currentBefore, before)) before = kLeaveFixedCurrent;
    SendCmd40(before);
}

// A tick that comes while a transaction is outstanding (this form's or the
// main window's, waiting in the event loop) is skipped: the link takes one
// command at a time.
void frmTrimAnalogOutput::tmrUpdateCurrent_Timer() {
    FenwireControl* control = Fenwire1();
    if (!control || control->get("cBusy") != 0) return;
    if (MeterTook(&SendAction2)) ShowLoopCurrent();
}

void frmTrimAnalogOutput::closeEvent(QCloseEvent* event) {
    tmrUpdateCurrent->stop();
    if (chkFixedCurrent->isChecked() && !released_) {
        released_ = true;  // one release, however often the window is asked to close
        platform::BusyPointer busy;
        SendCmd40(kLeaveFixedCurrent);
        if (frmMain* main = MainWindow()) main->UpdateStatusLeds();
    }
    QDialog::closeEvent(event);
}

}  // namespace app
