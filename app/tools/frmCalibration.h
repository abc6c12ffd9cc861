// Flow data: a live view of the flow computation while the meter is
// calibrated (primary variable, shedding frequency, Reynolds and Strouhal
// numbers, missing pulses), refreshed back to back while the form shows.
#pragma once

#include <QDialog>
#include <memory>

class QTimer;

namespace Ui {
class frmCalibration;
}

namespace app {

class frmCalibration : public QDialog {
    Q_OBJECT
public:
    explicit frmCalibration(QWidget* parent = nullptr);
    ~frmCalibration() override;

    // The first tick, 500 ms after opening: refreshes until the form is
    // hidden or the meter stops answering (the port form has said so).
    void Timer1_Timer();

private:
    // One refresh; false when a transaction failed.
    bool Refresh();

    std::unique_ptr<Ui::frmCalibration> ui;
    QTimer* Timer1 = nullptr;
    bool refreshing_ = false;
};

}  // namespace app
