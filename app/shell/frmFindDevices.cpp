#include "app/shell/frmFindDevices.h"

#include <QTimer>

#include "app/commands/LoopScan.h"
#include "app/commands/fenwire1.h"
#include "app/shell/frmComPort.h"
#include "ui_frmFindDevices.h"

namespace app {

namespace {

enum Column { kAddressColumn, kTagColumn, kManufacturerColumn, kDeviceTypeColumn, kDeviceIdColumn };

QString PortName() { return "COM " + QString::number(ComPort); }

}  // namespace

frmFindDevices::frmFindDevices(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmFindDevices>()) {
    ui->setupUi(this);
    ui->prgScan->setMaximum(LoopScan::kAddressCount);
    connect(ui->btnCancel, &QPushButton::clicked, this, &frmFindDevices::btnCancel_Click);
    connect(ui->btnConnect, &QPushButton::clicked, this, &frmFindDevices::btnConnect_Click);
    // A double click connects; Enter goes to the default button (Cancel or Close).
    connect(ui->lstDevices, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ChooseRow(ui->lstDevices->indexOfTopLevelItem(item)); });
    connect(ui->lstDevices, &QTreeWidget::itemSelectionChanged, this,
            [this] { ui->btnConnect->setEnabled(!scan_ && !ui->lstDevices->selectedItems().isEmpty()); });
}

frmFindDevices::~frmFindDevices() = default;

void frmFindDevices::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ui->lstDevices->setFocus();
    // Once the dialog is on screen, so that its rows and progress show as they come.
    if (!scanned_) QTimer::singleShot(0, this, &frmFindDevices::Scan);
}

void frmFindDevices::Scan() {
    if (scanned_ || !isVisible()) return;
    scanned_ = true;
    FenwireControl* control = Fenwire1();
    ui->lblStatus->setText("Looking for devices at polling addresses 0 to 15 on " + PortName() + " ...");
    if (!control || !OpenLinkIfNeeded()) {
        ui->lblStatus->setText(PortName() + " could not be opened: no devices searched.");
        ui->btnCancel->setText(QStringLiteral("&Close"));
        return;
    }
    LoopScan scan(*control);
    scan.onFound = [this](const FoundDevice& device) { AddDevice(device); };
    scan.onProgress = [this](int done, int) { ui->prgScan->setValue(done); };
    scan_ = &scan;
    const LoopScanResult result = scan.run();
    scan_ = nullptr;

    const int found = static_cast<int>(result.devices.size());
    QString status;
    if (found == 0)
        status = "No devices found on " + PortName() + ".";
    else
        status = (found == 1 ? QStringLiteral("1 device found") : QString::number(found) + " devices found") +
                 ". Double-click one, or select it and press Connect.";
    if (result.linkFailed) status = "The link on " + PortName() + " was lost. " + status;
    else if (result.cancelled) status = "Search cancelled. " + status;
    ui->lblStatus->setText(status);
    ui->btnCancel->setText(QStringLiteral("&Close"));
    ui->btnCancel->setEnabled(true);
    if (found > 0 && ui->lstDevices->selectedItems().isEmpty())
        ui->lstDevices->setCurrentItem(ui->lstDevices->topLevelItem(0));
    ui->btnConnect->setEnabled(!ui->lstDevices->selectedItems().isEmpty());
}

void frmFindDevices::AddDevice(const FoundDevice& device) {
    auto* row = new QTreeWidgetItem(ui->lstDevices);
    row->setText(kAddressColumn, QString::number(device.pollAddress));
    row->setData(kAddressColumn, Qt::UserRole, device.pollAddress);
    row->setText(kTagColumn, device.tag);
    row->setText(kManufacturerColumn,
                 device.manufacturer.isEmpty() ? QString::number(device.manufacturerId) : device.manufacturer);
    row->setText(kDeviceTypeColumn, QString::number(device.deviceType));
    row->setText(kDeviceIdColumn, QString::number(device.deviceId));
}

void frmFindDevices::btnCancel_Click() {
    if (scan_) {
        scan_->cancel();  // the dialog stays, with what was found so far
        ui->btnCancel->setEnabled(false);
        return;
    }
    reject();
}

void frmFindDevices::reject() {
    if (scan_) scan_->cancel();
    QDialog::reject();
}

void frmFindDevices::btnConnect_Click() {
    const QList<QTreeWidgetItem*> selected = ui->lstDevices->selectedItems();
    if (selected.isEmpty()) return;
    ChooseRow(ui->lstDevices->indexOfTopLevelItem(selected.front()));
}

void frmFindDevices::ChooseRow(int row) {
    // Not while the scan still owns the line: the connection would go out between its requests.
    if (scan_ || row < 0) return;
    chosen_ = ui->lstDevices->topLevelItem(row)->data(kAddressColumn, Qt::UserRole).toInt();
    accept();
}

}  // namespace app
