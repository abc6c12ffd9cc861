#include "app/forms/forms.h"

#include <memory>

#include "app/forms/frmAnalogRangeValues.h"
#include "app/forms/frmHARTInterface.h"
#include "app/forms/frmPasswordProtected.h"
#include "app/forms/frmPasswordProtection.h"
#include "app/forms/frmPrimaryVariable.h"
#include "app/forms/frmPulseOutput.h"
#include "app/forms/frmTotalizerSettings.h"
#include "app/forms/output_choice_forms.h"
#include "app/forms/process_forms.h"
#include "app/forms/scalar_forms.h"
#include "app/shell/frmMain.h"

namespace app {

namespace {

struct Registration {
    const char* name;
    FormFactory factory;
};

std::vector<Registration> registrations() {
    return {
        {"frmDampingValue", factoryOf<frmDampingValue>()},
        {"frmKFactor", factoryOf<frmKFactor>()},
        {"frmPipeID", factoryOf<frmPipeID>()},
        {"frmLowFlowCutoff", factoryOf<frmLowFlowCutoff>()},
        {"frmAnalogRangeValues", factoryOf<frmAnalogRangeValues>()},
        {"frmPrimaryVariable", factoryOf<frmPrimaryVariable>()},
        {"frmPasswordProtection", factoryOf<frmPasswordProtection>()},
        {"frmPasswordProtected", factoryOf<frmPasswordProtected>()},
        {"frmHARTInterface", factoryOf<frmHARTInterface>()},
        {"frmBurstMode", factoryOf<frmBurstMode>()},
        {"frmLCDDisplay", factoryOf<frmLCDDisplay>()},
        {"frmAlarmSelection", factoryOf<frmAlarmSelection>()},
        {"frmTotalizerSettings", factoryOf<frmTotalizerSettings>()},
        {"frmPulseOutput", factoryOf<frmPulseOutput>()},
        {"frmProcessTemperature", factoryOf<frmProcessTemperature>()},
        {"frmProcessPressure", factoryOf<frmProcessPressure>()},
        {"frmDensityAndViscosity", factoryOf<frmDensityAndViscosity>()},
        {"frmStandardFlow", factoryOf<frmStandardFlow>()},
    };
}

}  // namespace

void RegisterForms() {
    for (auto& [name, factory] : registrations()) setFormFactory(QString::fromLatin1(name), std::move(factory));
}

std::unique_ptr<QDialog> CreateForm(const QString& name, QWidget* parent) {
    for (const auto& registration : registrations())
        if (name == QLatin1String(registration.name)) return registration.factory(parent);
    return nullptr;
}

void UnregisterForms() {
    for (const auto& registration : registrations()) setFormFactory(QString::fromLatin1(registration.name), nullptr);
}

}  // namespace app
