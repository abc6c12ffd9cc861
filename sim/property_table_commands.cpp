// Fluid property tables, commands 216 to 227: name and version, sizes, the
// liquid viscosity and density points and the gas density grid with its
// headings. Indices are 0-based and must lie below the table's size.
#include <array>

#include "sim/commands.h"

namespace corvane::sim {

namespace {

constexpr uint8_t kViscosityTable = 0;
constexpr uint8_t kDensityTable = 1;
constexpr uint8_t kGasRows = 2;
constexpr uint8_t kGasColumns = 3;
constexpr uint8_t kColumnHeadings = 0;  // temperatures
constexpr uint8_t kRowHeadings = 1;     // pressures

// The size field of a table selector, or nullptr for an unknown selector.
uint8_t* tableSize(PropertyTables& t, uint8_t selector) {
    switch (selector) {
    case kViscosityTable: return &t.viscosityPoints;
    case kDensityTable: return &t.densityPoints;
    case kGasRows: return &t.gasRows;
    case kGasColumns: return &t.gasColumns;
    default: return nullptr;
    }
}

CommandReply readName(CommandContext& c) {
    const auto& t = c.state.tables;
    return CommandReply::ok(ReplyWriter().packed(t.name, kTableNameBytes).u8(t.version).take());
}

CommandReply writeName(CommandContext& c) {
    auto& t = c.state.tables;
    t.name = c.request.packedText(0, kTableNameBytes);
    t.version = c.request.u8(kTableNameBytes);
    return readName(c);
}

CommandReply readSize(CommandContext& c) {
    const uint8_t selector = c.request.u8(0);
    const uint8_t* size = tableSize(c.state.tables, selector);
    if (!size) return CommandReply::error(rc::kInvalidSelection);
    return CommandReply::ok({selector, *size});
}

CommandReply writeSize(CommandContext& c) {
    const uint8_t selector = c.request.u8(0);
    const uint8_t size = c.request.u8(1);
    uint8_t* field = tableSize(c.state.tables, selector);
    if (!field) return CommandReply::error(rc::kInvalidSelection);
    if (size > kMaxTableEntries) return CommandReply::error(rc::kValueTooLarge);
    *field = size;
    return CommandReply::ok({selector, size});
}

// Points of the liquid tables: index, temperature, value.
CommandReply readPoint(CommandContext& c, const std::array<PropertyTables::Point, kMaxTableEntries>& points,
                       uint8_t count) {
    const uint8_t index = c.request.u8(0);
    if (index >= count) return CommandReply::error(rc::kInvalidSelection);
    return CommandReply::ok(ReplyWriter().u8(index).f32(points[index].temperature).f32(points[index].value).take());
}

CommandReply writePoint(CommandContext& c, std::array<PropertyTables::Point, kMaxTableEntries>& points,
                        uint8_t count) {
    const uint8_t index = c.request.u8(0);
    if (index >= count) return CommandReply::error(rc::kInvalidSelection);
    points[index] = {c.request.f32(1), c.request.f32(5)};
    return readPoint(c, points, count);
}

CommandReply writeViscosityPoint(CommandContext& c) {
    return writePoint(c, c.state.tables.viscosity, c.state.tables.viscosityPoints);
}
CommandReply readViscosityPoint(CommandContext& c) {
    return readPoint(c, c.state.tables.viscosity, c.state.tables.viscosityPoints);
}
CommandReply writeDensityPoint(CommandContext& c) {
    return writePoint(c, c.state.tables.density, c.state.tables.densityPoints);
}
CommandReply readDensityPoint(CommandContext& c) {
    return readPoint(c, c.state.tables.density, c.state.tables.densityPoints);
}

// A gas grid heading addressed by axis and index, or nullptr when out of range.
float* heading(PropertyTables& t, uint8_t axis, uint8_t index) {
    if (axis == kColumnHeadings && index < t.gasColumns) return &t.columnTemperatures[index];
    if (axis == kRowHeadings && index < t.gasRows) return &t.rowPressures[index];
    return nullptr;
}

CommandReply readHeading(CommandContext& c) {
    const uint8_t axis = c.request.u8(0);
    const uint8_t index = c.request.u8(1);
    const float* value = heading(c.state.tables, axis, index);
    if (!value) return CommandReply::error(rc::kInvalidSelection);
    return CommandReply::ok(ReplyWriter().u8(axis).u8(index).f32(*value).take());
}

CommandReply writeHeading(CommandContext& c) {
    float* value = heading(c.state.tables, c.request.u8(0), c.request.u8(1));
    if (!value) return CommandReply::error(rc::kInvalidSelection);
    *value = c.request.f32(2);
    return readHeading(c);
}

float* gasDensity(PropertyTables& t, uint8_t row, uint8_t column) {
    if (row >= t.gasRows || column >= t.gasColumns) return nullptr;
    return &t.gasDensity[row][column];
}

CommandReply readGasDensity(CommandContext& c) {
    const uint8_t row = c.request.u8(0);
    const uint8_t column = c.request.u8(1);
    const float* value = gasDensity(c.state.tables, row, column);
    if (!value) return CommandReply::error(rc::kInvalidSelection);
    return CommandReply::ok(ReplyWriter().u8(row).u8(column).f32(*value).take());
}

CommandReply writeGasDensity(CommandContext& c) {
    float* value = gasDensity(c.state.tables, c.request.u8(0), c.request.u8(1));
    if (!value) return CommandReply::error(rc::kInvalidSelection);
    *value = c.request.f32(2);
    return readGasDensity(c);
}

constexpr std::array kPropertyTables{
    CommandEntry{216, 0, Access::Read, readName},
    CommandEntry{217, kTableNameBytes + 1, Access::Configure, writeName},
    CommandEntry{218, 1, Access::Read, readSize},
    CommandEntry{219, 2, Access::Configure, writeSize},
    CommandEntry{220, 9, Access::Configure, writeViscosityPoint},
    CommandEntry{221, 1, Access::Read, readViscosityPoint},
    CommandEntry{222, 9, Access::Configure, writeDensityPoint},
    CommandEntry{223, 1, Access::Read, readDensityPoint},
    CommandEntry{224, 6, Access::Configure, writeHeading},
    CommandEntry{225, 2, Access::Read, readHeading},
    CommandEntry{226, 6, Access::Configure, writeGasDensity},
    CommandEntry{227, 2, Access::Read, readGasDensity},
};

}  // namespace

std::span<const CommandEntry> propertyTableCommands() { return kPropertyTables; }

}  // namespace corvane::sim
