// The port form: owns the application's one link control, Fenwire1, lists
// the ports it can open, opens the link on the chosen one and handles the
// result of every transaction.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/control/fenwire_loader.h"

namespace Ui {
class frmComPort;
}

namespace app {

class FenwireControl;

// The port the link is opened on (1 to 24); kept in the settings between runs.
extern uint8_t ComPort;
// The polling address of the device in use on the port's line (0 for a
// single meter; a loop scan looks at 0 to 15); kept in the settings with the port.
extern uint8_t PollAddress;
// The field device status byte of the latest transaction that got a response.
extern int32_t DeviceStatus;

// The text a response code adds to its error message, or empty for a code
// that is taken as success (the response is decoded).
QString ResponseCodeSuffix(int responseCode);

class frmComPort : public QDialog {
    Q_OBJECT
public:
    // Whether the form lists the ports it can open: the utility does; a
    // program told its port (the command line) opens no other.
    enum class PortList { Probe, Skip };
    // Creates Fenwire1 through `api`, probes the ports and opens the link on ComPort.
    explicit frmComPort(const fenwire::FenwireApi& api, QWidget* parent = nullptr,
                        PortList portList = PortList::Probe);
    ~frmComPort() override;

    // Opens the link on ComPort unless it is open already; run before every
    // read or write, so that a link closed after a failed transaction reopens.
    void InitHART();
    // InitHART for a user action: a port that failed to open is tried again,
    // and when it still cannot be opened the user is told so ("Com Port n not
    // Valid !") and the result is false. Every action that talks to the meter
    // starts here, so none runs silently on a port that is not there.
    bool OpenLink();

    // True when the link is open on a port that could be opened.
    bool LinkOpen() const;

    // Makes `address` the device in use: every request from now on goes to
    // the device at that polling address (found afresh by command 0).
    void UsePollAddress(uint8_t address);

signals:
    // A reply arrived and DeviceStatus holds its field device status byte.
    void DeviceStatusReceived();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillPortList();
    void cmbComPort_Click();
    void Fenwire1_Result(short iAction, short iCommand, short iResult);
    void Fenwire1_Notify(short whatEvent);
    // Opens the link on ComPort and notes whether the port could be opened.
    void OpenPort();
    void ReportPortNotValid();

    std::unique_ptr<Ui::frmComPort> ui;
    FenwireControl* Fenwire1_ = nullptr;  // a child of this form
    // Whether the latest opening of the port succeeded. The control keeps its
    // line state 1 after a port failed to open, and the error is cleared once
    // reported, so neither tells on its own whether the link can carry a request.
    bool portOpened_ = false;
    // The loss of the port was reported: the failures of the transactions
    // that were on the line then say nothing more, until the port opens again.
    bool lossReported_ = false;
};

// The port form of the running application; null before it is created.
frmComPort* ComPortForm();

// Opens the link when it is closed (the port form's InitHART); when the port
// cannot be opened, says so and returns false.
bool OpenLinkIfNeeded();
// Runs `send`; true unless one of its transactions went unanswered or came
// back with a response-code error (the port form has reported it), or could
// not start on a closed link. Transactions that other senders run meanwhile
// from the event loop do not count.
bool MeterTook(const std::function<void()>& send);

}  // namespace app
