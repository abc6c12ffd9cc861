// The "Find Devices" dialog: scans the line of the port in use for HART
// devices (polling addresses 0 to 15), lists each as it is found, and lets the
// technician pick the one to connect to. The scan itself is the command
// layer's LoopScan; the main window connects to the device picked.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>

namespace Ui {
class frmFindDevices;
}

namespace app {

class LoopScan;
struct FoundDevice;

class frmFindDevices : public QDialog {
    Q_OBJECT
public:
    // The scan starts once the dialog is shown.
    explicit frmFindDevices(QWidget* parent = nullptr);
    ~frmFindDevices() override;

    // The polling address of the device the technician picked, if any.
    std::optional<int> chosenAddress() const { return chosen_; }

public slots:
    // Closing the dialog while it scans ends the scan after the request on the line.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Scan();
    void AddDevice(const FoundDevice& device);
    void btnCancel_Click();
    void btnConnect_Click();
    void ChooseRow(int row);

    std::unique_ptr<Ui::frmFindDevices> ui;
    LoopScan* scan_ = nullptr;  // the scan while it runs
    bool scanned_ = false;
    std::optional<int> chosen_;
};

}  // namespace app
