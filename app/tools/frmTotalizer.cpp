#include "app/tools/frmTotalizer.h"

#include <QPushButton>
#include <QTimer>

#include "app/commands/SendHART.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/modUnitCodes.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "platform/keyboard.h"
#include "ui_frmTotalizer.h"

namespace app {

namespace {
constexpr int kRefreshMs = 1000;
constexpr int kLastRevisionWithoutSettings = 17;  // command 188 came with revision 18
constexpr uint8_t kRun = 1;
constexpr uint8_t kStop = 0;
constexpr int kRunning = 1;
}  // namespace

frmTotalizer::frmTotalizer(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmTotalizer>()) {
    ui->setupUi(this);
    tmrUpdateTotalizer = new QTimer(this);
    tmrUpdateTotalizer->setObjectName(QStringLiteral("tmrUpdateTotalizer"));
    tmrUpdateTotalizer->setInterval(kRefreshMs);
    connect(tmrUpdateTotalizer, &QTimer::timeout, this, &frmTotalizer::tmrUpdateTotalizer_Timer);
    connect(ui->btnStartStop, &QPushButton::clicked, this, &frmTotalizer::btnStartStop_Click);
    connect(ui->btnZero, &QPushButton::clicked, this, &frmTotalizer::btnZero_Click);
    connect(ui->btnOK, &QPushButton::clicked, this, &frmTotalizer::btnOK_Click);

    OpenLinkIfNeeded();
    multiplier_ = 1.0f;
    const frmMain* main = MainWindow();
    // Without the settings the unit comes from the unit code.
    if (main && main->SoftwareRevision > kLastRevisionWithoutSettings && MeterTook([] { SendCmd188(); })) {
        multiplier_ = TotalizerMultiplier;
        customUnit_ = TotalizerCustomUnit;
    }
    // A total the meter did not send leaves the box empty and the totalizer
    // shown as stopped: what an earlier read stored is not this meter's.
    const bool totalRead = RefreshTotal();
    // The multiplier only selects the unit text; the value is shown as the meter reports it.
    ui->lblTotalizerUnits->setText(multiplier_ == 1.0f ? UnitText(TotalizerUnitCode) : customUnit_);
    if (totalRead && TotalizerRunning == kRunning) ShowRunning(true);
}

frmTotalizer::~frmTotalizer() = default;

// The box shows only a total the meter sent; otherwise it stays as it was.
bool frmTotalizer::RefreshTotal() {
    if (!MeterTook([] { SendCmd160(); })) return false;
    ui->txtTotalizerValue->setText(NumberText(TotalizerValue));
    return true;
}

void frmTotalizer::ShowRunning(bool running) {
    platform::setButtonCaption(*ui->btnStartStop, running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    if (running)
        tmrUpdateTotalizer->start();
    else
        tmrUpdateTotalizer->stop();
}

void frmTotalizer::btnStartStop_Click() {
    if (!OpenLinkIfNeeded()) return;
    const bool wasRunning = tmrUpdateTotalizer->isActive();
    ShowRunning(!wasRunning);
    // A start or stop the meter refused or did not answer changed nothing we know of.
    if (!MeterTook([wasRunning] { SendCmd161(wasRunning ? kStop : kRun); })) ShowRunning(wasRunning);
}

void frmTotalizer::btnZero_Click() {
    OpenLinkIfNeeded();
    SendCmd162();
    RefreshTotal();
}

void frmTotalizer::tmrUpdateTotalizer_Timer() {
    // A tick that arrives while the last one waits for the meter is skipped.
    if (tickRunning_) return;
    tickRunning_ = true;
    RefreshTotal();
    tickRunning_ = false;
}

void frmTotalizer::btnOK_Click() {
    tmrUpdateTotalizer->stop();
    close();
}

}  // namespace app
