#include "app/tools/frmCalibration.h"

#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "ui_frmCalibration.h"

namespace app {

namespace {
constexpr int kFirstRefreshMs = 500;
constexpr int kPVPlaces = 4;
}  // namespace

frmCalibration::frmCalibration(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmCalibration>()) {
    ui->setupUi(this);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kFirstRefreshMs);
    connect(Timer1, &QTimer::timeout, this, &frmCalibration::Timer1_Timer);

    // The label names the primary variable only when the meter told it: an
    // earlier read may have been another meter's.
    if (MeterTook([] { SendCmd50(); })) ui->PVLabel->setText(PVLabelText(PVVariableCode));
    Timer1->start();
}

frmCalibration::~frmCalibration() = default;

void frmCalibration::Timer1_Timer() {
    Timer1->stop();
    if (refreshing_) return;
    refreshing_ = true;
    OpenLinkIfNeeded();
    // The senders process events while they wait, so Close ends the loop;
    // a meter that stops answering ends it too rather than spinning on a
    // closed link or stacking one message after another.
    const QPointer<frmCalibration> self(this);
    while (self && isVisible() && Refresh()) {
    }
    if (self) refreshing_ = false;
}

bool frmCalibration::Refresh() {
    const QPointer<frmCalibration> self(this);
    FenwireControl* fenwire = Fenwire1();
    if (!fenwire || !MeterTook([] { SendAction3(); }) || !self) return false;
    ui->txtPV->setText(RoundedText(fenwire->getFloat("p03Pv1"), kPVPlaces));
    ui->txtFrequency->setText(NumberText(fenwire->getFloat("p03Pv2")));
    if (!MeterTook([] { SendCmd180(); }) || !self) return false;
    ui->txtReynolds->setText(NumberText(Reynolds));
    ui->txtStrouhal->setText(NumberText(Strouhal));
    ui->txtMissingPulses->setText(QString::number(MissingPulses));
    return true;
}

}  // namespace app
