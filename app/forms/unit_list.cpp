#include "app/forms/unit_list.h"

#include <QComboBox>

namespace app {

const std::vector<UnitChoice>& PressureUnits() {
    // Built on first use: other files' tables are made from it while the program starts.
    static const std::vector<UnitChoice> units = {{"Kg/sqcm", 10}, {"kPa", 12}, {"MPa", 237}, {"psi", 6}, {"Bar", 7}};
    return units;
}

void AddUnits(QComboBox& list, const std::vector<UnitChoice>& units) {
    for (const UnitChoice& unit : units) list.addItem(QString::fromLatin1(unit.text), unit.code);
}

void SelectUnit(QComboBox& list, int unitCode) {
    const int index = list.findData(unitCode);
    if (index >= 0) list.setCurrentIndex(index);
}

int SelectedUnit(const QComboBox& list) { return list.currentIndex() < 0 ? -1 : list.currentData().toInt(); }

}  // namespace app
