// The meter's identity on the HART link: message (commands 12, 17), tag,
// descriptor and date (13, 18), response preambles (0, 59) and final
// assembly number (16, 19), with the command revisions, flags and device ID
// shown from command 0.
#pragma once

#include <memory>

#include "app/forms/configuration_form.h"

namespace Ui {
class frmHARTInterface;
}

namespace app {

class frmHARTInterface : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmHARTInterface(QWidget* parent = nullptr);
    ~frmHARTInterface() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmHARTInterface> ui;
};

}  // namespace app
