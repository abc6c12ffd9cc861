#include "app/tools/tools.h"

#include <memory>
#include <vector>

#include "app/shell/frmMain.h"
#include "app/tools/frmAbout.h"
#include "app/tools/frmCalibration.h"
#include "app/tools/frmDigitalPotDisplay.h"
#include "app/tools/frmFlowProfiling.h"
#include "app/tools/frmPropertyTables.h"
#include "app/tools/frmTotalizer.h"
#include "app/tools/frmConfigReport.h"
#include "app/tools/frmDiagnostics.h"
#include "app/tools/frmTrimAnalogOutput.h"

namespace app {

namespace {

// One entry per tool: {"frmName", factoryOf<frmName>()}.
std::vector<FormRegistration> registrations() {
    return {
        {"frmPropertyTables", factoryOf<frmPropertyTables>()},
        {"frmTotalizer", factoryOf<frmTotalizer>()},
        {"frmFlowProfiling", factoryOf<frmFlowProfiling>()},
        {"frmCalibration", factoryOf<frmCalibration>()},
        {"frmDigitalPotDisplay", factoryOf<frmDigitalPotDisplay>()},
        {"frmAbout", factoryOf<frmAbout>()},
        {"frmTrimAnalogOutput", factoryOf<frmTrimAnalogOutput>()},
        {"frmDiagnostics", factoryOf<frmDiagnostics>()},
        {"frmConfigReport", factoryOf<frmConfigReport>()},
    };
}

}  // namespace

void RegisterTools() { setFormFactories(registrations(), true); }

std::unique_ptr<QDialog> CreateTool(const QString& name, QWidget* parent) { return createFormOf(registrations(), name, parent); }

void UnregisterTools() { setFormFactories(registrations(), false); }

}  // namespace app
