// The process values at 4 mA and 20 mA (command 35), shown with the present
// PV, percent of range and the sensor limits (commands 1, 2, 15, 14).
#pragma once

#include <cstdint>
#include <memory>

#include "app/forms/configuration_form.h"

namespace Ui {
class frmAnalogRangeValues;
}

namespace app {

class frmAnalogRangeValues : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmAnalogRangeValues(QWidget* parent = nullptr);
    ~frmAnalogRangeValues() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmAnalogRangeValues> ui;
    // The unit of the range values as the last read found it; writes use it unchanged.
    uint8_t rangeUnitCode_ = 0;
};

}  // namespace app
