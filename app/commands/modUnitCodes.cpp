#include "app/commands/modUnitCodes.h"

#include <algorithm>
#include <iterator>

namespace app {

namespace {

struct UnitName {
    int code;
    const char* text;  // UTF-8; "\u00B3" is the superscript three of volume units
};

const UnitName kUnitNames[] = {
    // Volume flow (240 is the meter's user-defined volume flow unit)
    {15, "ft\u00B3/min"},
    {16, "US Gal / Min"},
    {17, "l/min"},
    {18, "UK Gal / Min"},
    {19, "m\u00B3/h"},
    {22, "US Gal / sec"},
    {23, "Million US Gal/day"},
    {24, "l/s"},
    {25, "Million l / Day"},
    {26, "ft\u00B3/sec"},
    {27, "ft\u00B3/day"},
    {28, "m\u00B3/sec"},
    {29, "m\u00B3/day"},
    {30, "UK Gal / h"},
    {31, "UK Gal / Day"},
    {130, "ft\u00B3/h"},
    {131, "m\u00B3/min"},
    {136, "US Gal / h"},
    {137, "UK Gal / sec"},
    {138, "l/h"},
    {235, "US Gal / Day"},
    {240, "User Defined Volume Flow"},
    // Mass flow (241 is the meter's user-defined mass flow unit)
    {73, "kg/s"},
    {74, "kg/min"},
    {75, "kg/hr"},
    {76, "kg/day"},
    {77, "Metric Ton / Min"},
    {78, "Metric Ton / Hr"},
    {79, "Metric Ton / Day"},
    {80, "lb/s"},
    {81, "lb/min"},
    {82, "lb/hr"},
    {83, "lb/day"},
    {84, "ShortTon/min"},
    {85, "ShortTon/hr"},
    {86, "ShortTon/day"},
    {241, "User defined mass flow"},
    // Temperature, pressure, velocity, frequency, length
    {32, "Deg C"},
    {33, "Deg F"},
    {34, "Deg R"},
    {35, "Deg K"},
    {6, "PSI"},
    {7, "Bar"},
    {10, "Kg/SqCm"},
    {12, "kPa"},
    {237, "MPa"},
    {20, "f/s"},
    {116, "f/min"},
    {38, "Hz"},
    {47, "inches"},
    {48, "centimeter"},
    {49, "millimeter"},
    // Totals, for the totalizer
    {40, "Gallons"},
    {41, "Liters"},
    {42, "Imp Gal"},
    {43, "Cu Meter"},
    {112, "Cu Feet"},
    {61, "Kilograms"},
    {62, "Met Tons"},
    {63, "lbs"},
    {64, "Short lbs"},
};

}  // namespace

QString UnitText(int code) {
    const auto* found = std::find_if(std::begin(kUnitNames), std::end(kUnitNames),
                                     [code](const UnitName& unit) { return unit.code == code; });
    return found == std::end(kUnitNames) ? QString() : QString::fromUtf8(found->text);
}

}  // namespace app
