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

struct Registration {
    const char* name;
    FormFactory factory;
};

// One entry per tool: {"frmName", factoryOf<frmName>()}.
std::vector<Registration> registrations() {
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

void RegisterTools() {
    for (auto& [name, factory] : registrations()) setFormFactory(QString::fromLatin1(name), std::move(factory));
}

std::unique_ptr<QDialog> CreateTool(const QString& name, QWidget* parent) {
    for (const auto& registration : registrations())
        if (name == QLatin1String(registration.name)) return registration.factory(parent);
    return nullptr;
}

void UnregisterTools() {
    for (const auto& registration : registrations()) setFormFactory(QString::fromLatin1(registration.name), nullptr);
}

}  // namespace app
