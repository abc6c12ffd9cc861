// The totalizer's roll-over value, multiplier and custom unit (commands 188,
// 187), and switching it on (commands 160, 161). The custom unit is edited
// in HART packed ASCII's character set, upper case, eight characters at most.
#pragma once

#include <QString>
#include <memory>

#include "app/forms/configuration_form.h"

namespace Ui {
class frmTotalizerSettings;
}

namespace app {

class frmTotalizerSettings : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmTotalizerSettings(QWidget* parent = nullptr);
    ~frmTotalizerSettings() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    void txtUserSpecifiedUnit_Change();
    // Read, Write and Close are off while the dialog talks to the meter.
    void EnableButtons(bool enabled);

    std::unique_ptr<Ui::frmTotalizerSettings> ui;
    QString lastAcceptedUnit_;
    bool editingUnit_ = false;
};

}  // namespace app
