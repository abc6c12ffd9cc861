// Three dialogs that each write one choice of the meter's outputs: burst mode
// and its command (commands 108, 109), what the LCD shows (163) and the
// alarm current level of the analog output (251).
#pragma once

#include <memory>
#include <optional>

#include "app/forms/configuration_form.h"
#include "app/forms/option_group.h"

namespace Ui {
class frmBurstMode;
class frmLCDDisplay;
class frmAlarmSelection;
}  // namespace Ui

namespace app {

class frmBurstMode : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmBurstMode(QWidget* parent = nullptr);
    ~frmBurstMode() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmBurstMode> ui;
    std::optional<OptionGroup> rdoCommandNumber;  // index = burst command number - 1
};

class frmLCDDisplay : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmLCDDisplay(QWidget* parent = nullptr);
    ~frmLCDDisplay() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmLCDDisplay> ui;
    std::optional<OptionGroup> rdoDisplayMode;  // index = display mode code
};

class frmAlarmSelection : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmAlarmSelection(QWidget* parent = nullptr);
    ~frmAlarmSelection() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmAlarmSelection> ui;
    std::optional<OptionGroup> rdoAlarmCurrentLevel;  // index = alarm level code
};

}  // namespace app
