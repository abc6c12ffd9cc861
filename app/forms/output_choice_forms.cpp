#include "app/forms/output_choice_forms.h"

#include <QCheckBox>
#include <QRadioButton>

#include "app/commands/SendHART.h"
#include "app/commands/mGlobal.h"
#include "ui_frmAlarmSelection.h"
#include "ui_frmBurstMode.h"
#include "ui_frmLCDDisplay.h"

namespace app {

namespace {

constexpr int kNoBurstCommand = 0;
constexpr int kTotalizerDisplay = 2;
constexpr int kAlternatingPVAndTotalizerDisplay = 5;
constexpr int kHighAlarm = 0;
constexpr int kLowAlarm = 1;

// The totalizer counts only a flow: volumetric, mass or standard (codes 0 to 2).
bool PrimaryVariableIsAFlow(int variableCode) { return variableCode >= 0 && variableCode <= 2; }

}  // namespace

// ---- burst mode --------------------------------------------------------------

frmBurstMode::frmBurstMode(QWidget* parent) : ConfigurationForm(parent), ui(std::make_unique<Ui::frmBurstMode>()) {
    ui->setupUi(this);
    rdoCommandNumber.emplace(*this, "rdoCommandNumber");
    Open();
}

frmBurstMode::~frmBurstMode() = default;

void frmBurstMode::ReadRoutine() {
    SendCmd129();
    ui->chkBurstModeSelection->setChecked(BurstModeFlag != 0);
    rdoCommandNumber->Select(BurstCommandNumber - 1);
}

void frmBurstMode::WriteRoutine() {
    if (!CanWrite()) return;
    const int selected = rdoCommandNumber->Selected();
    const uint8_t command = static_cast<uint8_t>(selected < 0 ? kNoBurstCommand : selected + 1);
    const bool commandTaken = MeterTook([command] { SendCmd108(command); });
    const bool burstOn = ui->chkBurstModeSelection->isChecked();
    // Turned on after a refused command, the meter would burst the one it
    // kept; turning burst off is sent whatever became of the command.
    if (commandTaken || !burstOn) SendCmd109(burstOn ? 1 : 0);
}

// ---- LCD display -------------------------------------------------------------

frmLCDDisplay::frmLCDDisplay(QWidget* parent) : ConfigurationForm(parent), ui(std::make_unique<Ui::frmLCDDisplay>()) {
    ui->setupUi(this);
    rdoDisplayMode.emplace(*this, "rdoDisplayMode");
    Open();
}

frmLCDDisplay::~frmLCDDisplay() = default;

void frmLCDDisplay::ReadRoutine() {
    SendCmd164();
    // A mode this dialog does not know is shown as no choice rather than as
    // the previous one, and Write then has no mode to send.
    if (rdoDisplayMode->HasOption(LCDDisplayMode))
        rdoDisplayMode->Select(LCDDisplayMode);
    else
        rdoDisplayMode->Clear();
    SendCmd50();
    const bool totalizerShown = PrimaryVariableIsAFlow(PVVariableCode);
    rdoDisplayMode->option(kTotalizerDisplay).setEnabled(totalizerShown);
    rdoDisplayMode->option(kAlternatingPVAndTotalizerDisplay).setEnabled(totalizerShown);
}

void frmLCDDisplay::WriteRoutine() {
    if (!CanWrite()) return;
    const int selected = rdoDisplayMode->Selected();
    if (selected >= 0) SendCmd163(static_cast<uint8_t>(selected));
}

// ---- alarm selection ---------------------------------------------------------

frmAlarmSelection::frmAlarmSelection(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmAlarmSelection>()) {
    ui->setupUi(this);
    rdoAlarmCurrentLevel.emplace(*this, "rdoAlarmCurrentLevel");
    Open();
}

frmAlarmSelection::~frmAlarmSelection() = default;

void frmAlarmSelection::ReadRoutine() {
    SendCmd250();
    rdoAlarmCurrentLevel->Select(AlarmCurrentLevel);
}

void frmAlarmSelection::WriteRoutine() {
    if (!CanWrite()) return;
    const int selected = rdoAlarmCurrentLevel->Selected();
    // Nothing chosen (no read has found a level this dialog knows): no level
    // is written on the user's behalf.
    if (selected < 0) return;
    SendCmd251(static_cast<uint8_t>(selected == kHighAlarm ? kHighAlarm : kLowAlarm));
}

}  // namespace app
