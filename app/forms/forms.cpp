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

std::vector<FormRegistration> registrations() {
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

void RegisterForms() { setFormFactories(registrations(), true); }

std::unique_ptr<QDialog> CreateForm(const QString& name, QWidget* parent) { return createFormOf(registrations(), name, parent); }

void UnregisterForms() { setFormFactories(registrations(), false); }

}  // namespace app
