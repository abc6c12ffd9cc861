// Names, DISPIDs and types of the control's properties.
#pragma once

#include <vector>

#include "link/control/variant.h"

namespace fenwire {

struct PropertyInfo {
    int dispid;
    const char* name;
    VarType type;
};

const std::vector<PropertyInfo>& propertyTable();
// Null when the DISPID names no property.
const PropertyInfo* findProperty(int dispid);
const PropertyInfo* findProperty(const char* name);

}  // namespace fenwire
