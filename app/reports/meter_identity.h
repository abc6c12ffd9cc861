// What the reports need to know of the meter before they read: the facts
// Connect reads (model number, tag, and the identity command 0 brought).
// The utility takes them from its main window; the command line reads them.
#pragma once

#include <QString>
#include <cstdint>

namespace app {

struct MeterIdentity {
    bool known = false;  // false: nothing read, the fields are defaults
    QString modelNumber;
    QString tag;
    int32_t deviceNumber = 0;  // the device id
    int deviceType = 0;
    int softwareRevision = 0;
};

// Reads the model number (command 132) and tag (command 13), and takes the
// identity the link control keeps from command 0. False, with nothing
// known, when either was not taken (the port form has said why).
bool ReadMeterIdentity(MeterIdentity& identity);

}  // namespace app
