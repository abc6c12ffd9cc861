// The digital pots of the meter's audio signal path: the unfiltered and the
// filtered audio hysteresis. Writing them needs service access level 2,
// which the form obtains itself with the built-in access code. Meters
// before software revision 17 show the unfiltered hysteresis only.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmDigitalPotDisplay;
}

namespace app {

class frmDigitalPotDisplay : public QDialog {
    Q_OBJECT
public:
    explicit frmDigitalPotDisplay(QWidget* parent = nullptr);
    ~frmDigitalPotDisplay() override;

    // Asks the meter for access level 2 unless it is there already, and
    // mirrors the level (and the mode it brings) in the main window.
    void level2();

private:
    void ReadPots();
    void btnWrite_Click();

    std::unique_ptr<Ui::frmDigitalPotDisplay> ui;
};

}  // namespace app
