#include "app/forms/frmPulseOutput.h"

#include <QRadioButton>
#include <QTimer>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmComPort.h"
#include "ui_frmPulseOutput.h"

namespace app {

namespace {
constexpr int kRefreshIntervalMs = 1000;
constexpr int kScaledPV = 1;
constexpr int kUserDefinedFrequency = 2;
}  // namespace

frmPulseOutput::frmPulseOutput(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmPulseOutput>()) {
    ui->setupUi(this);
    rdoPulseOutputMode.emplace(*this, "rdoPulseOutputMode");
    rdoPulseOutputMode->OnSelectionChanged([this](int mode) { EnableFrequenciesFor(mode); });
    tmrUpdateOutput = new QTimer(this);
    tmrUpdateOutput->setObjectName(QStringLiteral("tmrUpdateOutput"));
    tmrUpdateOutput->setInterval(kRefreshIntervalMs);
    connect(tmrUpdateOutput, &QTimer::timeout, this, &frmPulseOutput::tmrUpdateOutput_Timer);
    Open();
    tmrUpdateOutput->start();
}

frmPulseOutput::~frmPulseOutput() = default;

void frmPulseOutput::EnableFrequenciesFor(int mode) {
    ui->lblUpperRangeFrequency->setEnabled(mode == kScaledPV);
    ui->txtUpperRangeFrequency->setEnabled(mode == kScaledPV);
    ui->lblUserDefinedFrequency->setEnabled(mode == kUserDefinedFrequency);
    ui->txtUserDefinedFrequency->setEnabled(mode == kUserDefinedFrequency);
}

void frmPulseOutput::ReadRoutine() {
    SendCmd152();
    ui->txtUpperRangeFrequency->setText(NumberText(UpperRangeFrequency));
    SendCmd154();
    ui->txtPulseOutputFrequency->setText(NumberText(PulseOutputFrequency));
    SendCmd156();
    ui->txtUserDefinedFrequency->setText(NumberText(UserDefinedFrequency));
    SendCmd150();
    // A mode without an option keeps the previous choice, and the entries follow what is shown.
    rdoPulseOutputMode->Select(PulseOutputMode);
    EnableFrequenciesFor(rdoPulseOutputMode->Selected());
}

void frmPulseOutput::WriteRoutine() {
    if (!CanWrite()) return;
    float upperRangeFrequency = 0.0f;
    float userDefinedFrequency = 0.0f;
    if (!ParseEntry(*ui->txtUpperRangeFrequency, QStringLiteral("Upper Range Frequency is not a valid numeric value."),
                    upperRangeFrequency))
        return;
    if (!ParseEntry(*ui->txtUserDefinedFrequency,
                    QStringLiteral("User Defined Frequency is not a valid numeric value."), userDefinedFrequency))
        return;
    // Both frequencies are kept whatever the mode; the mode only decides which one is in use.
    SendCmd153(upperRangeFrequency);
    SendCmd155(userDefinedFrequency);
    const int mode = rdoPulseOutputMode->Selected();
    if (mode >= 0) SendCmd151(static_cast<uint8_t>(mode));
}

void frmPulseOutput::tmrUpdateOutput_Timer() {
    // A tick that falls into a running transaction (this dialog's or another)
    // is skipped rather than put on the line beside it, and so is one while
    // the link is closed (its loss has been reported); the next one refreshes.
    const frmComPort* port = ComPortForm();
    const FenwireControl* fenwire = Fenwire1();
    if (!port || !port->LinkOpen() || !fenwire || WaitingForMeter() || fenwire->get("cBusy") != 0) return;
    if (MeterTook([] { SendCmd154(); })) ui->txtPulseOutputFrequency->setText(NumberText(PulseOutputFrequency));
}

void frmPulseOutput::hideEvent(QHideEvent* event) {
    tmrUpdateOutput->stop();
    ConfigurationForm::hideEvent(event);
}

}  // namespace app
