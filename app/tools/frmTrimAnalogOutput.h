// Fixed analog output and output trim: shows the loop current the meter
// reports, holds the output at a typed current or releases it, and trims the
// output at 4 mA (offset) and 20 mA (gain) against a multimeter reading.
// Shown without blocking the main window; closing it releases a current it
// holds fixed.
#pragma once

#include <QDialog>

#include "app/tools/frmDMMCurrentMeasurement.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace app {

class frmTrimAnalogOutput : public QDialog {
    Q_OBJECT
public:
    explicit frmTrimAnalogOutput(QWidget* parent = nullptr);

    // How often the loop current is read while the form is open.
    static constexpr int kRefreshMs = 1000;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Refresh();
    void btnRead_Click();
    void btnWrite_Click();
    void Trim(frmDMMCurrentMeasurement::TrimPoint point);
    void tmrUpdateCurrent_Timer();
    void ShowLoopCurrent();

    QLineEdit* txtAnalogCurrent;
    QLineEdit* txtFixedCurrentValue;
    QCheckBox* chkFixedCurrent;
    QPushButton* btnRead;
    QPushButton* btnWrite;
    QPushButton* btnTrimOffset;
    QPushButton* btnTrimGain;
    QPushButton* btnCancel;
    QTimer* tmrUpdateCurrent;
    frmDMMCurrentMeasurement* dmm_;
    bool released_ = false;
};

}  // namespace app
