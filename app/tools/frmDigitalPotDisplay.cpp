#include "app/tools/frmDigitalPotDisplay.h"

#include <QPushButton>
#include <cmath>
#include <optional>

#include "app/commands/SendHART.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "platform/platform.h"
#include "ui_frmDigitalPotDisplay.h"

namespace app {

namespace {

constexpr int kServiceAccessLevel = 2;
const QString kServiceAccessCode = QStringLiteral("7KDW");
// Client sizes in pixels: the small form shows Read and the unfiltered
// hysteresis; from revision 17 on the whole form shows.
constexpr int kWidth = 264;
constexpr int kSmallHeight = 94;
constexpr int kFullHeight = 214;
constexpr int kLastSmallRevision = 16;
constexpr int kMaxPot = 255;

void ShowError(const QString& message) {
    platform::MsgBox(message, platform::vbOKOnly, platform::vbCritical, QStringLiteral("Error"));
}

// A pot entry as the byte it travels as (halves to even), or nothing after
// saying what is wrong with it.
std::optional<uint8_t> PotValue(const QString& entry, const QString& name) {
    float value = 0;
    if (!ParseNumber(entry, value)) {
        ShowError(name + QStringLiteral(" is not a valid numeric value."));
        return std::nullopt;
    }
    const float rounded = std::nearbyint(value);
    if (!(rounded >= 0 && rounded <= kMaxPot)) {
        ShowError(name + QStringLiteral(" must be from 0 to %1.").arg(kMaxPot));
        return std::nullopt;
    }
    return static_cast<uint8_t>(rounded);
}

}  // namespace

frmDigitalPotDisplay::frmDigitalPotDisplay(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmDigitalPotDisplay>()) {
    ui->setupUi(this);
    connect(ui->btnRead, &QPushButton::clicked, this, &frmDigitalPotDisplay::ReadPots);
    connect(ui->btnWrite, &QPushButton::clicked, this, &frmDigitalPotDisplay::btnWrite_Click);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);

    const frmMain* main = MainWindow();
    const bool full = main && main->SoftwareRevision > kLastSmallRevision;
    setFixedSize(kWidth, full ? kFullHeight : kSmallHeight);
    ReadPots();
}

frmDigitalPotDisplay::~frmDigitalPotDisplay() = default;

void frmDigitalPotDisplay::ReadPots() {
    platform::BusyPointer busy;
    OpenLinkIfNeeded();
    // Values the meter did not send are not shown: Write would store them,
    // and after a Write they would look written.
    if (!MeterTook([] { SendCmd231(); })) {
        ui->txtUAH->clear();
        ui->txtFAH->clear();
        return;
    }
    ui->txtUAH->setText(QString::number(DigitalPot0));
    ui->txtFAH->setText(QString::number(DigitalPot1));
}

void frmDigitalPotDisplay::level2() {
    frmMain* main = MainWindow();
    if (!main) return;
    SendCmd129();
    main->AccessLevel = AccessLevel;
    if (main->AccessLevel != kServiceAccessLevel) SendCmd248(kServiceAccessLevel, kServiceAccessCode);
    SendCmd129();
    main->AccessLevel = AccessLevel;
    // Service access takes the meter out of service.
    if (main->AccessLevel == kServiceAccessLevel) main->ShowOutOfService();
}

void frmDigitalPotDisplay::btnWrite_Click() {
    {
        platform::BusyPointer busy;
        frmMain* main = MainWindow();
        if (!main || !main->CanWrite()) return;
        const std::optional<uint8_t> unfiltered = PotValue(ui->txtUAH->text(), QStringLiteral("Unfiltered hysteresis"));
        if (!unfiltered) return;
        const std::optional<uint8_t> filtered = PotValue(ui->txtFAH->text(), QStringLiteral("Filter hysteresis"));
        if (!filtered) return;
        if (main->AccessLevel != kServiceAccessLevel) level2();
        // Without level 2 nothing is written; the meter's values show again.
        if (main->AccessLevel == kServiceAccessLevel) SendCmd230(*unfiltered, *filtered);
    }
    ReadPots();
}

}  // namespace app
