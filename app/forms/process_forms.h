// Where the meter's flow computation takes its process conditions from: the
// process temperature and its source, the process pressure with its source,
// the calibration of its 4-20 mA input and the atmospheric pressure, the
// density and viscosity and their source, and the base conditions of
// standard flow. Sources are option groups indexed by the meter's code; the
// options a meter cannot use (no sensor, no steam) are disabled.
#pragma once

#include <memory>
#include <optional>

#include "app/forms/configuration_form.h"
#include "app/forms/option_group.h"

namespace Ui {
class frmProcessTemperature;
class frmProcessPressure;
class frmDensityAndViscosity;
class frmStandardFlow;
}  // namespace Ui

namespace app {

class frmProcessTemperature : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmProcessTemperature(QWidget* parent = nullptr);
    ~frmProcessTemperature() override;

protected:
    void BeforeFirstRead() override;
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    void EnableUserDefinedFor(int source);

    std::unique_ptr<Ui::frmProcessTemperature> ui;
    std::optional<OptionGroup> rdoProcessTemperatureSource;  // index = source code
};

class frmProcessPressure : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmProcessPressure(QWidget* parent = nullptr);
    ~frmProcessPressure() override;

protected:
    void BeforeFirstRead() override;
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    void EnableEntriesFor(int source);

    std::unique_ptr<Ui::frmProcessPressure> ui;
    std::optional<OptionGroup> rdoProcessPressureSource;  // index = source code
};

class frmDensityAndViscosity : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmDensityAndViscosity(QWidget* parent = nullptr);
    ~frmDensityAndViscosity() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    void EnableUserDefinedFor(int source);
    void ShowUserDefined();

    std::unique_ptr<Ui::frmDensityAndViscosity> ui;
    std::optional<OptionGroup> rdoDensityAndViscositySource;  // index = source code
};

class frmStandardFlow : public ConfigurationForm {
    Q_OBJECT
public:
    explicit frmStandardFlow(QWidget* parent = nullptr);
    ~frmStandardFlow() override;

protected:
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    std::unique_ptr<Ui::frmStandardFlow> ui;
};

}  // namespace app
