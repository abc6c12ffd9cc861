// The totalizer tool: shows the meter's flow total, starts, stops and zeroes
// it, and refreshes it every second while it runs.
#pragma once

#include <QDialog>
#include <memory>

class QTimer;

namespace Ui {
class frmTotalizer;
}

namespace app {

class frmTotalizer : public QDialog {
    Q_OBJECT
public:
    explicit frmTotalizer(QWidget* parent = nullptr);
    ~frmTotalizer() override;

    // The refresh a timer tick runs while the totalizer runs.
    void tmrUpdateTotalizer_Timer();

private:
    void btnStartStop_Click();
    void btnZero_Click();
    void btnOK_Click();
    // Reads the total and shows it; false when the meter did not send it.
    bool RefreshTotal();
    // The button and the refresh as for a running or a stopped totalizer.
    void ShowRunning(bool running);

    std::unique_ptr<Ui::frmTotalizer> ui;
    QTimer* tmrUpdateTotalizer = nullptr;
    float multiplier_ = 1.0f;
    QString customUnit_;
    bool tickRunning_ = false;
};

}  // namespace app
