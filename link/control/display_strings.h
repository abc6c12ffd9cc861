// Design-time labels of the enumerated properties: the text a property
// browser shows for a value, the pick list it offers, and the range a picked
// value must lie in.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fenwire {

// The label of `value`; nothing for a property without labels. A value
// outside the list shows "UNKNOWN!!!" for cAction and cBusview, and the
// number alone for the others.
std::optional<std::string> displayString(int dispid, int value);
// The pick list of a property, label and value, in value order; empty for a
// property without labels.
std::vector<std::pair<std::string, int>> predefinedStrings(int dispid);
// Whether a value picked from the list lies in the property's range.
bool predefinedAccepts(int dispid, int value);

}  // namespace fenwire
