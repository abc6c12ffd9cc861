// The response decoder: after a transaction that came back without a
// response-code error, stores the command's reply fields in the device data
// store (mGlobal.h). Commands without fields change nothing.
#pragma once

namespace app {

void ReadHART(int command);

}  // namespace app
