#include "app/reports/meter_identity.h"

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmComPort.h"

namespace app {

bool ReadMeterIdentity(MeterIdentity& identity) {
    identity = {};
    FenwireControl* control = Fenwire1();
    if (!control || !MeterTook([] { SendCmd132(); }) || !MeterTook([] { SendCmd13(); })) return false;
    identity.modelNumber = ModelNumber;
    identity.tag = Tag;
    identity.deviceNumber = control->get("p00DeviceNumber");
    identity.deviceType = control->get("p00DeviceID");
    identity.softwareRevision = control->get("p00SoftwRev");
    identity.known = true;
    return true;
}

}  // namespace app
