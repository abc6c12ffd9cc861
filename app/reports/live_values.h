// The live values of the main window: percent of range, the primary
// variable and its kind, loop current, process temperature and pressure,
// read with action 2, command 50 and action 3 in that order. The read stops
// at the first that fails, and each group counts only once the meter
// answered for it.
#pragma once

#include <QString>

namespace app {

struct LiveValues {
    // Action 2.
    bool currentRead = false;
    float percent = 0;
    float current = 0;
    // Command 50: the code of the variable the PV is (0 volume flow .. 6 frequency).
    bool variableRead = false;
    int pvVariableCode = 0;
    // Action 3.
    bool processRead = false;
    float pv = 0;
    QString pvUnit;
    float temperature = 0;
    QString temperatureUnit;
    float pressure = 0;
    QString pressureUnit;
};

// True when all three reads got through (the port form has said why not).
bool ReadLiveValues(LiveValues& values);

// The decimals each value is shown with.
inline constexpr int kPercentPlaces = 4;
inline constexpr int kPVPlaces = 4;
inline constexpr int kCurrentPlaces = 2;
inline constexpr int kTemperaturePlaces = 1;
inline constexpr int kPressurePlaces = 2;

// The kind of variable a code names ("Volume", "Mass", ...; "Invalid" for
// an unknown code), as the PV label shows it.
QString PVVariableName(int variableCode);

}  // namespace app
