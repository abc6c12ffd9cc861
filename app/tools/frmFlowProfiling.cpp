#include "app/tools/frmFlowProfiling.h"

#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "app/commands/SendHART.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/forms/configuration_form.h"
#include "platform/platform.h"
#include "ui_frmFlowProfiling.h"

namespace app {

namespace {

constexpr int kRefreshMs = 1000;
constexpr uint8_t kStartTraverse = 2;
constexpr int kMaxSamples = 255;  // command 191 carries the number in one byte

enum Instruction { kIntroduction = 0, kNextLocation = 1, kLastLocation = 2, kAdjustHead = 3 };

const char* const kInstructions[] = {
    "This procedure determines the average flow velocity in the pipe.  Once the average velocity is known, the "
    "insertion head can be placed at the location that is equal to the average flow.  This location will provide "
    "the best flow measurement.  To determine the average flow in the pipe, measurements must be taken across the "
    "pipe at equally spaced increments.  The number of locations to be measured is equal to the Number of "
    "Samples.  To begin the profiling procedure, first enter the Number of Samples desired.  Then, place the "
    "insertion head at the first location and click the \"Take Data\" button.\r\n",
    "Place the insertion head at the next measurement location and click the \"Take Data\" button.  To restart the "
    "procedure, click the \"Restart\" button.  To exit flow profiling, click OK or Cancel.\r\n",
    "Place the insertion head at the last measurement location and click the \"Take Data\" button.  To restart the "
    "procedure, click the \"Restart\" button.  To exit flow profiling, click OK or Cancel.\r\n",
    "Adjust the insertion head until the Flow Velocity field is equal to the Average Flow Velocity field.\r\n",
};

// An entry as a whole number, rounded halves to even as a numeric entry
// converts to an integer; nothing when it is not numeric.
std::optional<long> WholeNumber(const QString& entry) {
    float value = 0;
    if (!ParseNumber(entry, value) || std::fabs(value) > 1e9f) return std::nullopt;
    return std::lrint(value);
}

}  // namespace

frmFlowProfiling::frmFlowProfiling(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmFlowProfiling>()) {
    ui->setupUi(this);
    QPlainTextEdit* const boxes[] = {ui->txtInstructions_0, ui->txtInstructions_1, ui->txtInstructions_2,
                                     ui->txtInstructions_3};
    for (int i = 0; i < 4; ++i) boxes[i]->setPlainText(QString::fromLatin1(kInstructions[i]));
    connect(ui->btnTakeData, &QPushButton::clicked, this, &frmFlowProfiling::btnTakeData_Click);
    connect(ui->btnRestart, &QPushButton::clicked, this, &frmFlowProfiling::btnRestart_Click);
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);

    ui->txtNumberOfSamples->setEnabled(true);
    ui->txtNumberOfSamples->setText(QStringLiteral("5"));
    ui->txtSampleNumber->setText(QStringLiteral("1"));
    ui->txtFlowVelocity->clear();
    ui->txtAverageFlowVelocity->setText(QStringLiteral("0"));
    ui->btnTakeData->setEnabled(true);
    ShowInstruction(kIntroduction);

    tmrUpdateFlowVelocity = new QTimer(this);
    tmrUpdateFlowVelocity->setObjectName(QStringLiteral("tmrUpdateFlowVelocity"));
    tmrUpdateFlowVelocity->setInterval(kRefreshMs);
    connect(tmrUpdateFlowVelocity, &QTimer::timeout, this, &frmFlowProfiling::tmrUpdateFlowVelocity_Timer);
    tmrUpdateFlowVelocity->start();
}

frmFlowProfiling::~frmFlowProfiling() = default;

void frmFlowProfiling::ShowInstruction(int index) { ui->txtInstructions->setCurrentIndex(index); }

void frmFlowProfiling::tmrUpdateFlowVelocity_Timer() {
    // A tick that arrives while another command waits is skipped.
    if (tickRunning_) return;
    tickRunning_ = true;
    // The head is adjusted against this box: a velocity the meter did not
    // send would look live, so the box empties instead.
    const bool read = MeterTook([] { SendCmd197(); });
    ui->txtFlowVelocity->setText(read ? NumberText(FlowVelocity) : QString());
    tickRunning_ = false;
}

void frmFlowProfiling::btnTakeData_Click() {
    long counter = ui->txtSampleNumber->text().toLong();
    const std::optional<long> samples = WholeNumber(ui->txtNumberOfSamples->text());
    if (!samples) {
        platform::MsgBox(QStringLiteral("Number of samples must be a number."), platform::vbOKCancel,
                         platform::vbNoIcon, QStringLiteral("Error"));
        return;
    }
    const long n = *samples;
    if (n > kMaxSamples) {
        platform::MsgBox(QStringLiteral("Number of samples must not be above %1.").arg(kMaxSamples),
                         platform::vbOKCancel, platform::vbNoIcon, QStringLiteral("Error"));
        return;
    }
    const bool starting = counter == 1 && n > 0;
    if (!starting && (counter > n || !started_)) return;
    // A meter that stopped answering closed the line: this press opens it again.
    if (!OpenLinkIfNeeded()) return;
    if (starting) {
        // The traverse starts only when the meter took both commands.
        if (!MeterTook([n] {
                SendCmd191(static_cast<uint8_t>(n));
                SendCmd193(kStartTraverse);
            }))
            return;
        started_ = true;
        ui->txtNumberOfSamples->setEnabled(false);
    }

    // A sample the meter did not take is not counted.
    if (!MeterTook([] { SendCmd195(); })) return;
    ++counter;
    if (counter < n) ShowInstruction(kNextLocation);
    if (counter == n) ShowInstruction(kLastLocation);
    if (counter > n) {
        const bool averaged = MeterTook([] { SendCmd196(); });
        ui->txtAverageFlowVelocity->setText(averaged ? NumberText(AverageFlowVelocity) : QString());
        ShowInstruction(kAdjustHead);
        ui->btnTakeData->setEnabled(false);
        --counter;
    }
    ui->txtSampleNumber->setText(QString::number(counter));
}

void frmFlowProfiling::btnRestart_Click() {
    SendCmd193(kStartTraverse);
    ShowInstruction(kIntroduction);
    ui->btnTakeData->setEnabled(true);
    ui->txtSampleNumber->setText(QStringLiteral("1"));
}

}  // namespace app
