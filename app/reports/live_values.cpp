#include "app/reports/live_values.h"

#include <array>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmComPort.h"

namespace app {

bool ReadLiveValues(LiveValues& values) {
    values = {};
    FenwireControl* control = Fenwire1();
    if (!control) return false;
    if (!MeterTook([] { SendAction2(); })) return false;
    values.currentRead = true;
    values.percent = control->getFloat("p02Percent");
    values.current = control->getFloat("p02Current");
    if (!MeterTook([] { SendCmd50(); })) return false;
    values.variableRead = true;
    values.pvVariableCode = PVVariableCode;
    if (!MeterTook([] { SendAction3(); })) return false;
    values.processRead = true;
    values.pv = control->getFloat("p03Pv1");
    values.pvUnit = control->getText("p03sPv1Unit");
    values.temperature = control->getFloat("p03Pv3");
    values.temperatureUnit = control->getText("p03sPv3Unit");
    values.pressure = control->getFloat("p03Pv4");
    values.pressureUnit = control->getText("p03sPv4Unit");
    return true;
}

QString PVVariableName(int variableCode) {
    static const std::array<const char*, 7> kNames = {"Volume",      "Mass",     "Standard", "Velocity",
                                                      "Temperature", "Pressure", "Frequency"};
    if (variableCode < 0 || variableCode >= static_cast<int>(kNames.size())) return QStringLiteral("Invalid");
    return QString::fromLatin1(kNames[static_cast<size_t>(variableCode)]);
}

}  // namespace app
