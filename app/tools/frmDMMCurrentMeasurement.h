// The multimeter reading of an output trim: the user reads the loop current
// on a DMM and types it here. OK accepts only a reading near the trim point
// (4 mA for the offset, 20 mA for the gain); the caller reads the entry
// after the dialog has closed, so it is hidden, not destroyed.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class frmDMMCurrentMeasurement : public QDialog {
    Q_OBJECT
public:
    explicit frmDMMCurrentMeasurement(QWidget* parent = nullptr);

    enum class TrimPoint { Offset, Gain };
    // Shows the instructions of the trim point; the gain instructions being
    // visible also selects the gain range check.
    void ShowInstructionsFor(TrimPoint point);

    // Set only by OK with a reading in range; the caller clears it before showing.
    bool Accepted = false;
    // The reading as typed.
    QString Reading() const;

    void done(int result) override;

    // Whether a reading is near enough to the trim point to trim on.
    static bool InRange(TrimPoint point, float reading);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnOK_Click();

    QLineEdit* txtDMMCurrent;
    QLabel* lblOffsetInstructions;
    QLabel* lblGainInstructions;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

}  // namespace app
