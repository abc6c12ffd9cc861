#include "sim/units.h"

#include <array>

namespace corvane::sim {

namespace {

struct UnitEntry {
    uint8_t code;
    Quantity quantity;
    double scale;   // base = value * scale + offset
    double offset;
    uint8_t totalUnit = 0;  // flow units: the unit a totalizer counts in
};

constexpr double kCubicFoot = 0.028316846592;
constexpr double kUsGallon = 0.003785411784;
constexpr double kUkGallon = 0.00454609;
constexpr double kLitre = 0.001;
constexpr double kPound = 0.45359237;
constexpr double kShortTon = 907.18474;
constexpr double kMinute = 60, kHour = 3600, kDay = 86400;

using enum Quantity;
constexpr std::array kUnits{
    UnitEntry{15, VolumeFlow, kCubicFoot / kMinute, 0, 112},
    UnitEntry{16, VolumeFlow, kUsGallon / kMinute, 0, 40},
    UnitEntry{17, VolumeFlow, kLitre / kMinute, 0, 41},
    UnitEntry{18, VolumeFlow, kUkGallon / kMinute, 0, 42},
    UnitEntry{19, VolumeFlow, 1 / kHour, 0, 43},
    UnitEntry{22, VolumeFlow, kUsGallon, 0, 40},
    UnitEntry{23, VolumeFlow, 1e6 * kUsGallon / kDay, 0, 40},
    UnitEntry{24, VolumeFlow, kLitre, 0, 41},
    UnitEntry{25, VolumeFlow, 1e6 * kLitre / kDay, 0, 41},
    UnitEntry{26, VolumeFlow, kCubicFoot, 0, 112},
    UnitEntry{27, VolumeFlow, kCubicFoot / kDay, 0, 112},
    UnitEntry{28, VolumeFlow, 1, 0, 43},
    UnitEntry{29, VolumeFlow, 1 / kDay, 0, 43},
    UnitEntry{30, VolumeFlow, kUkGallon / kHour, 0, 42},
    UnitEntry{31, VolumeFlow, kUkGallon / kDay, 0, 42},
    UnitEntry{130, VolumeFlow, kCubicFoot / kHour, 0, 112},
    UnitEntry{131, VolumeFlow, 1 / kMinute, 0, 43},
    UnitEntry{136, VolumeFlow, kUsGallon / kHour, 0, 40},
    UnitEntry{137, VolumeFlow, kUkGallon, 0, 42},
    UnitEntry{138, VolumeFlow, kLitre / kHour, 0, 41},
    UnitEntry{235, VolumeFlow, kUsGallon / kDay, 0, 40},
    UnitEntry{73, MassFlow, 1, 0, 61},
    UnitEntry{74, MassFlow, 1 / kMinute, 0, 61},
    UnitEntry{75, MassFlow, 1 / kHour, 0, 61},
    UnitEntry{76, MassFlow, 1 / kDay, 0, 61},
    UnitEntry{77, MassFlow, 1000 / kMinute, 0, 62},
    UnitEntry{78, MassFlow, 1000 / kHour, 0, 62},
    UnitEntry{79, MassFlow, 1000 / kDay, 0, 62},
    UnitEntry{80, MassFlow, kPound, 0, 63},
    UnitEntry{81, MassFlow, kPound / kMinute, 0, 63},
    UnitEntry{82, MassFlow, kPound / kHour, 0, 63},
    UnitEntry{83, MassFlow, kPound / kDay, 0, 63},
    UnitEntry{84, MassFlow, kShortTon / kMinute, 0, 64},
    UnitEntry{85, MassFlow, kShortTon / kHour, 0, 64},
    UnitEntry{86, MassFlow, kShortTon / kDay, 0, 64},
    UnitEntry{20, Velocity, 0.3048, 0},
    UnitEntry{21, Velocity, 1, 0},
    UnitEntry{114, Velocity, 0.0254, 0},
    UnitEntry{115, Velocity, 0.0254 / kMinute, 0},
    UnitEntry{116, Velocity, 0.3048 / kMinute, 0},
    UnitEntry{120, Velocity, 1 / kHour, 0},
    UnitEntry{32, Temperature, 1, 273.15},
    UnitEntry{33, Temperature, 5.0 / 9.0, 459.67 * 5.0 / 9.0},
    UnitEntry{34, Temperature, 5.0 / 9.0, 0},
    UnitEntry{35, Temperature, 1, 0},
    UnitEntry{6, Pressure, 6894.757293168, 0},
    UnitEntry{7, Pressure, 1e5, 0},
    UnitEntry{8, Pressure, 100, 0},
    UnitEntry{10, Pressure, 98066.5, 0},
    UnitEntry{11, Pressure, 1, 0},
    UnitEntry{12, Pressure, 1000, 0},
    UnitEntry{237, Pressure, 1e6, 0},
    UnitEntry{kUnitHertz, Frequency, 1, 0},
    UnitEntry{40, Volume, kUsGallon, 0},
    UnitEntry{41, Volume, kLitre, 0},
    UnitEntry{42, Volume, kUkGallon, 0},
    UnitEntry{43, Volume, 1, 0},
    UnitEntry{112, Volume, kCubicFoot, 0},
    UnitEntry{61, Mass, 1, 0},
    UnitEntry{62, Mass, 1000, 0},
    UnitEntry{63, Mass, kPound, 0},
    UnitEntry{64, Mass, kShortTon, 0},
};

const UnitEntry* find(uint8_t code) {
    for (const auto& unit : kUnits)
        if (unit.code == code) return &unit;
    return nullptr;
}

}  // namespace

bool isUnitOf(uint8_t unitCode, Quantity quantity) {
    const auto* unit = find(unitCode);
    return unit && unit->quantity == quantity;
}

double toBaseUnit(double value, uint8_t unitCode) {
    const auto* unit = find(unitCode);
    return unit ? value * unit->scale + unit->offset : value;
}

double fromBaseUnit(double value, uint8_t unitCode) {
    const auto* unit = find(unitCode);
    return unit ? (value - unit->offset) / unit->scale : value;
}

uint8_t totalUnitOf(uint8_t flowUnitCode) {
    const auto* unit = find(flowUnitCode);
    return unit ? unit->totalUnit : 0;
}

double convertUnit(double value, uint8_t from, uint8_t to) {
    return from == to ? value : fromBaseUnit(toBaseUnit(value, from), to);
}

}  // namespace corvane::sim
