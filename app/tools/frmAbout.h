// The utility's About box: its title and version, a description, and the
// system-information button (no such viewer here: it says so).
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmAbout;
}

namespace app {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

private:
    void cmdSysInfo_Click();

    std::unique_ptr<Ui::frmAbout> ui;
};

}  // namespace app
