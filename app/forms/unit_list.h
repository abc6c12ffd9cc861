// Unit lists of the configuration dialogs: each entry shows the dialog's
// text for a unit and carries its HART unit code.
#pragma once

#include <cstdint>
#include <vector>

class QComboBox;

namespace app {

struct UnitChoice {
    const char* text;
    uint8_t code;
};

// The process pressure units, in the order the dialogs offer them.
const std::vector<UnitChoice>& PressureUnits();

void AddUnits(QComboBox& list, const std::vector<UnitChoice>& units);
// Selects the entry of `unitCode`; a unit the list does not offer leaves the selection.
void SelectUnit(QComboBox& list, int unitCode);
// The unit code of the selected entry, or -1 when none is selected.
int SelectedUnit(const QComboBox& list);

}  // namespace app
