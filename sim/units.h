// HART engineering unit codes the meter understands, and conversion between
// them. Each unit belongs to one quantity; a variable accepts only units of
// its own quantity.
#pragma once

#include <cstdint>

namespace corvane::sim {

enum class Quantity : uint8_t { VolumeFlow, MassFlow, Velocity, Temperature, Pressure, Frequency, Volume, Mass };

bool isUnitOf(uint8_t unitCode, Quantity quantity);
// Value in the quantity's base unit (m3/s, kg/s, m/s, K, Pa, Hz, m3, kg); the unit
// must be known (isUnitOf), else the value is returned unchanged.
double toBaseUnit(double value, uint8_t unitCode);
double fromBaseUnit(double value, uint8_t unitCode);
// The volume or mass unit that counts a flow unit over time (US gal/min ->
// US gal); 0 for a unit that is no flow.
uint8_t totalUnitOf(uint8_t flowUnitCode);
// A value in unit `from` expressed in unit `to` (same quantity).
double convertUnit(double value, uint8_t from, uint8_t to);

inline constexpr uint8_t kUnitHertz = 38;
inline constexpr uint8_t kUnitDegreesFahrenheit = 33;
inline constexpr uint8_t kUnitPsi = 6;

}  // namespace corvane::sim
