// The four single-value settings: damping value, K-factor, pipe inside
// diameter and low flow cutoff. Each reads one float, shows it, and writes
// the entry back as a 4-byte float; the meter enforces the limits.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "app/forms/configuration_form.h"

class QLineEdit;

namespace Ui {
class frmDampingValue;
class frmKFactor;
class frmPipeID;
class frmLowFlowCutoff;
}  // namespace Ui

namespace app {

struct ScalarSetting {
    void (*sendRead)();
    const float* stored;               // where the decoder leaves the read value
    std::optional<int> roundedPlaces;  // none: general number text
    void (*sendWrite)(float);
    const char* invalidMessage;
};

class ScalarSettingForm : public ConfigurationForm {
    Q_OBJECT
protected:
    ScalarSettingForm(const ScalarSetting& setting, QWidget* parent);
    void Open(QLineEdit& entry);
    void ReadRoutine() override;
    void WriteRoutine() override;

private:
    const ScalarSetting& setting_;
    QLineEdit* entry_ = nullptr;
};

class frmDampingValue : public ScalarSettingForm {
    Q_OBJECT
public:
    explicit frmDampingValue(QWidget* parent = nullptr);
    ~frmDampingValue() override;

private:
    std::unique_ptr<Ui::frmDampingValue> ui;
};

class frmKFactor : public ScalarSettingForm {
    Q_OBJECT
public:
    explicit frmKFactor(QWidget* parent = nullptr);
    ~frmKFactor() override;

private:
    std::unique_ptr<Ui::frmKFactor> ui;
};

// Writable only where flow profiling is: the pipe ID matters on insertion
// meters, and a wafer meter's bore is fixed.
class frmPipeID : public ScalarSettingForm {
    Q_OBJECT
public:
    explicit frmPipeID(QWidget* parent = nullptr);
    ~frmPipeID() override;

protected:
    void BeforeFirstRead() override;

private:
    std::unique_ptr<Ui::frmPipeID> ui;
};

class frmLowFlowCutoff : public ScalarSettingForm {
    Q_OBJECT
public:
    explicit frmLowFlowCutoff(QWidget* parent = nullptr);
    ~frmLowFlowCutoff() override;

private:
    std::unique_ptr<Ui::frmLowFlowCutoff> ui;
};

}  // namespace app
