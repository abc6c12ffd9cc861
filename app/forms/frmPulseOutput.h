// What the pulse output emits (commands 150, 151) with its upper range and
// user-defined frequencies (152, 153, 156, 155), and the live pulse output
// frequency (154), refreshed every second while the dialog is open.
#pragma once

#include <memory>
#include <optional>

#include "app/forms/configuration_form.h"
#include "app/forms/option_group.h"

class QTimer;

namespace Ui {
class frmPulseOutput;
}

namespace app {

class frmPulseOutput : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmPulseOutput(QWidget* parent = nullptr);
    ~frmPulseOutput() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void tmrUpdateOutput_Timer();

private:
    // The frequency entries that matter for `mode` are enabled, the others not.
    void EnableFrequenciesFor(int mode);

    std::unique_ptr<Ui::frmPulseOutput> ui;
    std::optional<OptionGroup> rdoPulseOutputMode;  // index = pulse output mode code
    QTimer* tmrUpdateOutput = nullptr;
};

}  // namespace app
