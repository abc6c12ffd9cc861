// HART engineering unit codes the meter understands, and conversion between
// them. Each unit belongs to one quantity; a variable accepts only units of
// its own quantity.
#pragma once

#include <cstdint>

namespace corvane::sim {

enum class Quantity : uint8_t { VolumeFlow, MassFlow, Velocity, Temperature, Pressure, Frequency };

bool isUnitOf(uint8_t unitCode, Quantity quantity);
// Value in the quantity's base unit (m3/s, kg/s, m/s, K, Pa, Hz); the unit
// must be known (isUnitOf), else the value is returned unchanged.
double toBaseUnit(double value, uint8_t unitCode);
double fromBaseUnit(double value, uint8_t unitCode);
// A value in unit `from` expressed in unit `to` (same quantity).
double convertUnit(double value, uint8_t from, uint8_t to);

inline constexpr uint8_t kUnitHertz = 38;

}  // namespace corvane::sim
