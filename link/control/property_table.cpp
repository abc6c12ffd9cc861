// The properties of _DFenwire in DISPID order: name, DISPID and type, as data.
#include "link/control/property_table.h"

namespace fenwire {

const std::vector<PropertyInfo>& propertyTable() {
    static const std::vector<PropertyInfo> table = {
        {1, "cComPort", VarType::Short},
        {2, "cComError", VarType::Short},
        {3, "cAddrMode", VarType::Short},
        {4, "cBusy", VarType::Short},
        {5, "cComResult", VarType::Short},
        {6, "cComState", VarType::Short},
        {7, "cDbFlags", VarType::Short},
        {8, "cDoCommand", VarType::Short},
        {9, "cNoPreambles", VarType::Short},
        {10, "cPollAddress", VarType::Short},
        {11, "cRcvLen", VarType::Short},
        {12, "cResponse1", VarType::Short},
        {13, "cResponse2", VarType::Short},
        {14, "p00DeviceID", VarType::Short},
        {15, "p00DeviceNumber", VarType::Long},
        {16, "p00HardwRev", VarType::Short},
        {17, "p00SoftwRev", VarType::Short},
        {18, "p00VendorID", VarType::Short},
        {19, "p01Pv", VarType::Float},
        {20, "p01PvUnit", VarType::Short},
        {21, "cAction", VarType::Short},
        {22, "p02Current", VarType::Float},
        {23, "p02Percent", VarType::Float},
        {24, "p03Pv1", VarType::Float},
        {25, "p03Pv1Unit", VarType::Short},
        {26, "p03Pv2", VarType::Float},
        {27, "p03Pv2Unit", VarType::Short},
        {28, "p03Pv3", VarType::Float},
        {29, "p03Pv3Unit", VarType::Short},
        {30, "p03Pv4", VarType::Float},
        {31, "p03Pv4Unit", VarType::Short},
        {32, "p12Message", VarType::String},
        {33, "p13DateDay", VarType::Short},
        {34, "p13DateMonth", VarType::Short},
        {35, "p13DateYear", VarType::Short},
        {36, "p13Descriptor", VarType::String},
        {37, "p13TagName", VarType::String},
        {38, "p14LoSensLimit", VarType::Float},
        {39, "p14MinSpan", VarType::Float},
        {40, "p14SensLimUnit", VarType::Short},
        {41, "p14SensSerNum", VarType::Long},
        {42, "p14UpSensLimit", VarType::Float},
        {43, "p15AlmSelCode", VarType::Short},
        {44, "p15Damping", VarType::Float},
        {45, "p15LabDistCode", VarType::Short},
        {46, "p15LoRange", VarType::Float},
        {47, "p15RangeUnit", VarType::Short},
        {48, "p15UpRange", VarType::Float},
        {49, "p15XferFuncCode", VarType::Short},
        {50, "cNoRetries", VarType::Short},
        {51, "p15WriteProtCode", VarType::Short},
        {52, "p00sVendor", VarType::String},
        {53, "p01sPvUnit", VarType::String},
        {54, "p03sPv1Unit", VarType::String},
        {55, "p03sPv2Unit", VarType::String},
        {56, "p03sPv3Unit", VarType::String},
        {57, "p14sSensLimUnit", VarType::String},
        {58, "p15sRangeUnit", VarType::String},
        {59, "p00HartFlags", VarType::Short},
        {60, "p00DevRev", VarType::Short},
        {61, "xReqLen", VarType::Short},
        {62, "xOffset", VarType::Short},
        {63, "p03sPv4Unit", VarType::String},
        {64, "xPackedASCIILen", VarType::Short},
        {65, "xStringLen", VarType::Short},
        {66, "cBusview", VarType::Short},
        {67, "cNewPollAddress", VarType::Short},
        {68, "cComMode", VarType::Short},
        {69, "cUnID0", VarType::Short},
        {70, "cUnID1", VarType::Short},
        {71, "cUnID2", VarType::Short},
        {72, "cUnID3", VarType::Short},
        {73, "cUnID4", VarType::Short},
        {74, "cBurstModeFlag", VarType::Short},
        {75, "cRTSdelay", VarType::Short},
        {76, "xFloat", VarType::Float},
        {77, "xInt16", VarType::Short},
        {78, "xInt24", VarType::Long},
        {79, "xInt8", VarType::Short},
        {80, "xInt32", VarType::Long},
        {81, "xPackedASCII", VarType::String},
        {82, "xString", VarType::String},
        {83, "xUnitString", VarType::String},
        {85, "cRetrySilence", VarType::Short},
        {-518, "Caption", VarType::String},
        {0, "_Caption", VarType::String},
    };
    return table;
}

}  // namespace fenwire

#include <cstring>

namespace fenwire {

const PropertyInfo* findProperty(int dispid) {
    for (const auto& p : propertyTable())
        if (p.dispid == dispid) return &p;
    return nullptr;
}

const PropertyInfo* findProperty(const char* name) {
    if (!name) return nullptr;
    for (const auto& p : propertyTable())
        if (std::strcmp(p.name, name) == 0) return &p;
    return nullptr;
}

}  // namespace fenwire
