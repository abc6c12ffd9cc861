// Switches the meter's password protection on with a new password, or off
// after the present one was given in the password prompt (command 247).
// Unlike the other settings, a write is not read back: the entries stay
// until the next Read.
#pragma once

#include <memory>

#include "app/forms/configuration_form.h"

namespace Ui {
class frmPasswordProtection;
}

namespace app {

class frmPasswordProtection : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmPasswordProtection(QWidget* parent = nullptr);
    ~frmPasswordProtection() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmPasswordProtection> ui;
    bool protectedAtRead_ = false;
};

}  // namespace app
