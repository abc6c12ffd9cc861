#include "app/shell/frmComPort.h"

#include <map>

#include "app/commands/LoopScan.h"
#include "app/commands/ReadHART.h"
#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "platform/platform.h"
#include "ui_frmComPort.h"

namespace app {

uint8_t ComPort = 1;
uint8_t PollAddress = 0;
int32_t DeviceStatus = 0;

namespace {

constexpr int kFirstProbedPort = 1;
constexpr int kLastProbedPort = 24;
constexpr short kNoValidResponse = 2;
constexpr int kPortNotOpened = 1;
// The control's Notify code for a serial device that vanished under the line.
constexpr short kNotifyPortLost = 1;

frmComPort* gComPortForm = nullptr;

}  // namespace

QString ResponseCodeSuffix(int responseCode) {
    static const std::map<int, QString> kSuffixes = {
        {2, QStringLiteral(": Invalid Selection")},
        {3, QStringLiteral(": Passed Parameter Too Large")},
        {4, QStringLiteral(": Passed Parameter Too Small")},
        {5, QStringLiteral(": Too Few Data Bytes Received")},
        {7, QStringLiteral(": Write Protected")},
        {9, QStringLiteral(": Lower range value too high")},
        {10, QStringLiteral(": Lower range value too low")},
        {11, QStringLiteral(": Upper range value too high")},
        {12, QStringLiteral(": Upper range value too low")},
        {13, QStringLiteral(": Upper and lower range values out of limits")},
        {16, QStringLiteral(": Access restricted")},
    };
    const auto it = kSuffixes.find(responseCode);
    return it == kSuffixes.end() ? QString() : it->second;
}

frmComPort* ComPortForm() { return gComPortForm; }

bool OpenLinkIfNeeded() {
    frmComPort* port = ComPortForm();
    return port && port->OpenLink();
}

bool MeterTook(const std::function<void()>& send) {
    frmComPort* port = ComPortForm();
    if (!port) return false;
    const SenderFailures failures;
    send();
    return failures.count() == 0 && port->LinkOpen();
}

frmComPort::frmComPort(const fenwire::FenwireApi& api, QWidget* parent, PortList portList)
    : QDialog(parent), ui(std::make_unique<Ui::frmComPort>()) {
    ui->setupUi(this);
    Fenwire1_ = new FenwireControl(api, this);
    Fenwire1_->setObjectName(QStringLiteral("Fenwire1"));
    setFenwire1(Fenwire1_);
    gComPortForm = this;

    connect(Fenwire1_, &FenwireControl::Result, this, &frmComPort::Fenwire1_Result);
    connect(Fenwire1_, &FenwireControl::Notify, this, &frmComPort::Fenwire1_Notify);
    connect(ui->cmbComPort, &QComboBox::activated, this, &frmComPort::cmbComPort_Click);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);  // hides; form and link stay

    if (portList == PortList::Probe) FillPortList();
    InitHART();
}

frmComPort::~frmComPort() {
    if (gComPortForm == this) gComPortForm = nullptr;
    if (Fenwire1() == Fenwire1_) setFenwire1(nullptr);
}

void frmComPort::InitHART() {
    if (Fenwire1_->get("cComState") != 0) return;
    OpenPort();
}

void frmComPort::OpenPort() {
    Fenwire1_->put("cComPort", ComPort);
    Fenwire1_->put("cComState", 1);
    Fenwire1_->put("cAddrMode", 0);
    Fenwire1_->put("cPollAddress", PollAddress);
    portOpened_ = Fenwire1_->get("cComError") == 0;
    lossReported_ = false;
}

bool frmComPort::OpenLink() {
    // A modem plugged in again after a failed opening is found by the next action.
    if (Fenwire1_->get("cComState") != 0 && !portOpened_) Fenwire1_->put("cComState", 0);
    InitHART();
    if (LinkOpen()) return true;
    ReportPortNotValid();
    return false;
}

void frmComPort::Fenwire1_Notify(short whatEvent) {
    if (whatEvent != kNotifyPortLost) return;
    // The modem is gone: the next action opens the port again (a modem
    // plugged back in is found), and the control's open state no longer
    // says the link can carry a request.
    portOpened_ = false;
    // Told once, here, whoever's transaction was on the line: ours, or one of
    // a bus monitor script, which never reaches us. The failures that follow
    // are not reported again. With nothing on the line, the next action
    // finds the port gone and says so.
    if (Fenwire1_->get("cBusy") == 0) return;
    ReportPortNotValid();
    lossReported_ = true;
}

void frmComPort::ReportPortNotValid() {
    platform::MsgBox("Com Port " + QString::number(ComPort) + " not Valid !", platform::vbOKOnly);
    Fenwire1_->put("cComError", 0);
}

void frmComPort::UsePollAddress(uint8_t address) {
    PollAddress = address;
    // In polling-address mode this also drops the identifier of the device used before.
    Fenwire1_->put("cPollAddress", PollAddress);
}

bool frmComPort::LinkOpen() const { return Fenwire1_->get("cComState") != 0 && portOpened_; }

void frmComPort::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FillPortList();
}

void frmComPort::FillPortList() {
    platform::BusyPointer busy;
    ui->cmbComPort->clear();
    for (int port = kFirstProbedPort; port <= kLastProbedPort; ++port) {
        Fenwire1_->put("cComPort", port);
        Fenwire1_->put("cComState", 1);
        if (Fenwire1_->get("cComError") == 0) ui->cmbComPort->addItem("COM " + QString::number(port), port);
        Fenwire1_->put("cComState", 0);
    }
    // A combo box selects its first entry by itself; only the remembered port may be selected.
    ui->cmbComPort->setCurrentIndex(ui->cmbComPort->findData(static_cast<int>(ComPort)));
    if (ui->cmbComPort->currentIndex() >= 0) cmbComPort_Click();
}

void frmComPort::cmbComPort_Click() {
    const int index = ui->cmbComPort->currentIndex();
    if (index < 0) return;
    ComPort = static_cast<uint8_t>(ui->cmbComPort->itemData(index).toInt());
    Fenwire1_->put("cComState", 0);
    InitHART();
    if (Fenwire1_->get("cComError") == kPortNotOpened) ReportPortNotValid();
}

void frmComPort::Fenwire1_Result(short /*iAction*/, short iCommand, short iResult) {
    // A loop scan's silent addresses and identities are its own business: no
    // message, the link stays open, the device data store keeps the device in use.
    if (LoopScan::running()) return;
    if (iResult == kNoValidResponse) {
        // Closed until the next InitHART: the next user action reopens it.
        Fenwire1_->put("cComState", 0);
        SenderFailures::transactionFailed();
        if (!lossReported_) platform::MsgBox(QStringLiteral("No Device Response !"), platform::vbOKOnly);
        return;
    }
    DeviceStatus = Fenwire1_->get("cResponse2");
    emit DeviceStatusReceived();
    const int responseCode = Fenwire1_->get("cResponse1");
    const QString suffix = ResponseCodeSuffix(responseCode);
    if (!suffix.isEmpty()) {
        // The store keeps what the last successful read of this command left.
        SenderFailures::transactionFailed();
        platform::MsgBox("Error:  Command " + QString::number(iCommand) + " reports reponse code " +
                             QString::number(responseCode) + suffix,
                         platform::vbOKOnly, platform::vbCritical, QStringLiteral("Response Code Error"));
        return;
    }
    ReadHART(iCommand);
}

}  // namespace app
