// The password prompt: hands the typed password to the meter (command 247,
// flag 0) and tells its caller whether the user confirmed it with OK. The
// meter, not this prompt, decides whether the password is right.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmPasswordProtected;
}

namespace app {

class frmPasswordProtected : public QDialog {
    Q_OBJECT
public:
    explicit frmPasswordProtected(QWidget* parent = nullptr);
    ~frmPasswordProtected() override;

    // True once the prompt was closed with OK. The dialog's result says the
    // same (Accepted only with OK), so a caller may read either.
    bool Confirmed = false;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnOK_Click();

    std::unique_ptr<Ui::frmPasswordProtected> ui;
};

// Shows a new prompt modally; true when the user confirmed it with OK.
bool AskForPassword(QWidget* parent);

}  // namespace app
