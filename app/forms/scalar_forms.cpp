#include "app/forms/scalar_forms.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/commands/SendHART.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmMain.h"
#include "ui_frmDampingValue.h"
#include "ui_frmKFactor.h"
#include "ui_frmLowFlowCutoff.h"
#include "ui_frmPipeID.h"

namespace app {

namespace {

// Command 15 carries the damping value at bytes 11-14 of its output information.
const ScalarSetting kDampingValue = {&SendCmd15, &DampingValue, std::nullopt, &SendCmd34,
                                     "Damping value is not a valid numeric value."};
const ScalarSetting kKFactor = {&SendCmd167, &KFactor, std::nullopt, &SendCmd168,
                                "K-Factor value is not a valid numeric value."};
const ScalarSetting kPipeID = {&SendCmd208, &PipeID, 5, &SendCmd209, "Pipe ID is not a valid numeric value."};
const ScalarSetting kLowFlowCutoff = {&SendCmd149, &LowFlowCutoff, 1, &SendCmd148,
                                      "Low Flow Cutoff is not a valid numeric value."};

}  // namespace

ScalarSettingForm::ScalarSettingForm(const ScalarSetting& setting, QWidget* parent)
    : ConfigurationForm(parent), setting_(setting) {}

void ScalarSettingForm::Open(QLineEdit& entry) {
    entry_ = &entry;
    ConfigurationForm::Open();
}

void ScalarSettingForm::ReadRoutine() {
    setting_.sendRead();
    const float value = *setting_.stored;
    entry_->setText(setting_.roundedPlaces ? RoundedText(value, *setting_.roundedPlaces) : NumberText(value));
}

void ScalarSettingForm::WriteRoutine() {
    if (!CanWrite()) return;
    float value = 0.0f;
    if (!ParseEntry(*entry_, QString::fromLatin1(setting_.invalidMessage), value)) return;
    setting_.sendWrite(value);
}

frmDampingValue::frmDampingValue(QWidget* parent)
    : ScalarSettingForm(kDampingValue, parent), ui(std::make_unique<Ui::frmDampingValue>()) {
    ui->setupUi(this);
    Open(*ui->txtDampingValue);
}
frmDampingValue::~frmDampingValue() = default;

frmKFactor::frmKFactor(QWidget* parent) : ScalarSettingForm(kKFactor, parent), ui(std::make_unique<Ui::frmKFactor>()) {
    ui->setupUi(this);
    Open(*ui->txtKFactorValue);
}
frmKFactor::~frmKFactor() = default;

frmPipeID::frmPipeID(QWidget* parent) : ScalarSettingForm(kPipeID, parent), ui(std::make_unique<Ui::frmPipeID>()) {
    ui->setupUi(this);
    Open(*ui->txtPipeID);
}
frmPipeID::~frmPipeID() = default;

void frmPipeID::BeforeFirstRead() {
    frmMain* main = MainWindow();
    ui->btnWrite->setEnabled(main && main->FlowProfilingEnabled());
    ui->txtPipeID->setEnabled(ui->btnWrite->isEnabled());
}

frmLowFlowCutoff::frmLowFlowCutoff(QWidget* parent)
    : ScalarSettingForm(kLowFlowCutoff, parent), ui(std::make_unique<Ui::frmLowFlowCutoff>()) {
    ui->setupUi(this);
    Open(*ui->txtLowFlowCutoff);
}
frmLowFlowCutoff::~frmLowFlowCutoff() = default;

}  // namespace app
