// Flow profiling of an insertion meter: the technician moves the insertion
// head across the pipe, the meter samples the velocity at each position and
// averages the samples; the head is then set where the live velocity equals
// that average. The traverse itself lives in the meter.
#pragma once

#include <QDialog>
#include <memory>

class QTimer;

namespace Ui {
class frmFlowProfiling;
}

namespace app {

class frmFlowProfiling : public QDialog {
    Q_OBJECT
public:
    explicit frmFlowProfiling(QWidget* parent = nullptr);
    ~frmFlowProfiling() override;

    // The live velocity a timer tick shows.
    void tmrUpdateFlowVelocity_Timer();

private:
    void btnTakeData_Click();
    void btnRestart_Click();
    void ShowInstruction(int index);

    std::unique_ptr<Ui::frmFlowProfiling> ui;
    QTimer* tmrUpdateFlowVelocity = nullptr;
    bool started_ = false;
    bool tickRunning_ = false;
};

}  // namespace app
