#include "sim/profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <climits>
#include <functional>
#include <optional>

#include "link/driver/frame.h"

namespace corvane::sim {

namespace {

// A setter returns an error text, empty when the value was taken.
using Setter = std::function<std::string(MeterState&, std::string_view)>;

struct Setting {
    std::string key;
    Setter set;
};

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<double> parseNumber(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

// Decimal or 0x-prefixed hexadecimal, 0..highest.
std::optional<uint32_t> parseUnsigned(std::string_view text, uint32_t highest) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (ec != std::errc() || ptr != end || text.empty() || value > highest) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<bool> parseFlag(std::string_view text) {
    if (text == "1" || text == "on" || text == "true" || text == "yes") return true;
    if (text == "0" || text == "off" || text == "false" || text == "no") return false;
    return std::nullopt;
}

// Every setting reaches its field through `field`: a member pointer or a
// lambda returning a reference, called with std::invoke.
template <typename Field>
Setting wholeNumberSetting(std::string key, Field field, uint32_t lowest, uint32_t highest) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto n = parseUnsigned(v, highest);
                if (!n || *n < lowest)
                    return "expected a whole number " + std::to_string(lowest) + ".." + std::to_string(highest);
                auto& target = std::invoke(field, s);
                target = static_cast<std::remove_reference_t<decltype(target)>>(*n);
                return {};
            }};
}

template <typename Field>
Setting byteSetting(std::string key, Field field, uint8_t lowest = 0, uint8_t highest = 255) {
    return wholeNumberSetting(std::move(key), field, lowest, highest);
}

Setting u24Setting(std::string key, uint32_t MeterState::*field) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto n = parseUnsigned(v, kHighest24BitValue);
                if (!n) return "expected a whole number 0..16777215 (or 0x hexadecimal)";
                s.*field = *n;
                return {};
            }};
}

template <typename Field>
Setting flagSetting(std::string key, Field field) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto flag = parseFlag(v);
                if (!flag) return "expected on/off, 1/0 or true/false";
                std::invoke(field, s) = *flag;
                return {};
            }};
}

// A number for a field reached by `field`, within [lowest, highest].
template <typename Field>
Setting numberSetting(std::string key, Field field, double lowest = -HUGE_VAL, double highest = HUGE_VAL) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto n = parseNumber(v);
                if (!n) return "expected a number";
                if (*n < lowest || *n > highest)
                    return "expected a number from " + std::to_string(lowest) + " to " + std::to_string(highest);
                auto& target = std::invoke(field, s);
                target = static_cast<std::remove_reference_t<decltype(target)>>(*n);
                return {};
            }};
}

// Upper-cased text of the Packed ASCII character set that fits `packedBytes`.
std::string packableText(std::string_view v, size_t packedBytes, std::string& text) {
    const size_t characters = packedBytes / 3 * 4;
    if (v.size() > characters) return "longer than " + std::to_string(characters) + " characters";
    text.assign(v);
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x5F)
            return "character '" + std::string(1, c) + "' cannot be sent in Packed ASCII";
    }
    return {};
}

template <typename Field>
Setting textSetting(std::string key, Field field, size_t packedBytes) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                std::string text;
                if (auto problem = packableText(v, packedBytes, text); !problem.empty()) return problem;
                std::invoke(field, s) = text;
                return {};
            }};
}

// One of named choices, or its code.
template <typename Field, typename Value>
Setting choiceSetting(std::string key, Field field, std::vector<std::pair<std::string_view, Value>> choices) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                std::string names;
                for (size_t i = 0; i < choices.size(); ++i) {
                    const auto& [name, value] = choices[i];
                    if (v == name || v == std::to_string(static_cast<int>(value))) {
                        std::invoke(field, s) = value;
                        return {};
                    }
                    names += names.empty() ? "" : ", ";
                    names += name;
                }
                return "expected one of: " + names;
            }};
}

// Comma-separated numbers (a list of at most kMaxTableEntries).
std::optional<std::vector<float>> parseList(std::string_view v, char separator = ',') {
    std::vector<float> values;
    if (trim(v).empty()) return values;
    while (true) {
        const auto end = v.find(separator);
        const auto number = parseNumber(trim(v.substr(0, end)));
        if (!number || values.size() == kMaxTableEntries) return std::nullopt;
        values.push_back(static_cast<float>(*number));
        if (end == std::string_view::npos) return values;
        v.remove_prefix(end + 1);
    }
}

// A liquid property table: "temperature:value, ..." in degF.
Setting pointTableSetting(std::string key, std::array<PropertyTables::Point, kMaxTableEntries> PropertyTables::*points,
                          uint8_t PropertyTables::*count) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                constexpr std::string_view kFormat = "expected up to 16 points 'temperature:value' separated by commas";
                std::array<PropertyTables::Point, kMaxTableEntries> parsed{};
                size_t n = 0;
                while (!trim(v).empty()) {
                    const auto end = v.find(',');
                    const auto point = trim(v.substr(0, end));
                    const auto colon = point.find(':');
                    if (colon == std::string_view::npos || n == kMaxTableEntries) return std::string(kFormat);
                    const auto t = parseNumber(trim(point.substr(0, colon)));
                    const auto value = parseNumber(trim(point.substr(colon + 1)));
                    if (!t || !value) return std::string(kFormat);
                    parsed[n++] = {static_cast<float>(*t), static_cast<float>(*value)};
                    if (end == std::string_view::npos) break;
                    v.remove_prefix(end + 1);
                }
                s.tables.*points = parsed;
                s.tables.*count = static_cast<uint8_t>(n);
                return {};
            }};
}

// Gas grid headings: a list that also sets the number of rows or columns.
Setting headingSetting(std::string key, std::array<float, kMaxTableEntries> PropertyTables::*headings,
                       uint8_t PropertyTables::*count) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto values = parseList(v);
                if (!values) return "expected up to 16 numbers separated by commas";
                std::copy(values->begin(), values->end(), (s.tables.*headings).begin());
                s.tables.*count = static_cast<uint8_t>(values->size());
                return {};
            }};
}

std::string setGasDensity(MeterState& s, std::string_view v) {
    auto& t = s.tables;
    const std::string shape = "expected " + std::to_string(t.gasRows) + " rows separated by ';' of " +
                              std::to_string(t.gasColumns) +
                              " numbers each (table.gas_pressures and table.gas_temperatures come first)";
    size_t row = 0;
    while (!trim(v).empty()) {
        const auto end = v.find(';');
        const auto values = parseList(v.substr(0, end));
        if (!values || row >= t.gasRows || values->size() != t.gasColumns) return shape;
        std::copy(values->begin(), values->end(), t.gasDensity[row].begin());
        ++row;
        if (end == std::string_view::npos) break;
        v.remove_prefix(end + 1);
    }
    if (row != t.gasRows) return shape;
    return {};
}

std::string setDigitalPots(MeterState& s, std::string_view v) {
    std::array<uint8_t, kDigitalPotCount> pots{};
    size_t n = 0;
    while (true) {
        const auto end = v.find(',');
        const auto value = parseUnsigned(trim(v.substr(0, end)), 255);
        if (!value || n == pots.size()) return "expected 7 whole numbers 0..255 separated by commas";
        pots[n++] = static_cast<uint8_t>(*value);
        if (end == std::string_view::npos) break;
        v.remove_prefix(end + 1);
    }
    if (n != pots.size()) return "expected 7 whole numbers 0..255 separated by commas";
    s.digitalPots = pots;
    return {};
}

std::string setPassword(MeterState& s, std::string_view v) {
    std::string text;
    if (auto problem = packableText(v, kPasswordBytes, text); !problem.empty()) return problem;
    text.resize(kPasswordLength, ' ');  // as it arrives in Packed ASCII
    s.runtime.password = text;
    return {};
}

// A comment starts with '#' at the start of a line or after a blank, so a
// value like "PUMP#2" keeps its '#'.
size_t commentStart(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return i;
    return std::string_view::npos;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::string parseDate(std::string_view v, DeviceDate& date) {
    constexpr std::string_view kFormat = "expected a date YYYY-MM-DD from 1900 to 2155";
    if (v.size() != 10 || v[4] != '-' || v[7] != '-') return std::string(kFormat);
    const auto year = parseUnsigned(v.substr(0, 4), 9999);
    const auto month = parseUnsigned(v.substr(5, 2), 99);
    const auto day = parseUnsigned(v.substr(8, 2), 99);
    if (!year || !month || !day || *year < 1900 || *year > 2155) return std::string(kFormat);
    constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (*month < 1 || *month > 12) return "no such month";
    const int days = kDaysIn[*month - 1] + (*month == 2 && isLeapYear(static_cast<int>(*year)) ? 1 : 0);
    if (*day < 1 || static_cast<int>(*day) > days) return "no such day in that month";
    date = {static_cast<uint8_t>(*day), static_cast<uint8_t>(*month), static_cast<uint8_t>(*year - 1900)};
    return {};
}

template <typename Field>
Setting dateSetting(std::string key, Field field) {
    return {std::move(key), [=](MeterState& s, std::string_view v) { return parseDate(v, std::invoke(field, s)); }};
}

std::string setPrimaryVariable(MeterState& s, std::string_view v) {
    for (size_t i = 0; i < kVariableCount; ++i) {
        if (v == variableInfo(static_cast<Variable>(i)).name || v == std::to_string(i)) {
            s.primaryVariable = static_cast<Variable>(i);
            return {};
        }
    }
    return "expected a variable name (volume_flow, mass_flow, standard_flow, velocity, temperature, "
           "pressure, frequency) or its code 0..6";
}

std::string setDeviceSpecificStatus(MeterState& s, std::string_view v) {
    std::vector<uint8_t> bytes;
    if (!wendrel::fromHex(v, bytes) || bytes.size() != s.deviceSpecificStatus.size())
        return "expected 6 bytes in hexadecimal";
    std::copy(bytes.begin(), bytes.end(), s.deviceSpecificStatus.begin());
    return {};
}

std::vector<Setting> makeSettings() {
    using S = MeterState;
    std::vector<Setting> t{
        choiceSetting("meter_type", &S::meterType,
                      std::vector<std::pair<std::string_view, MeterType>>{
                          {"liquid", MeterType::Liquid}, {"gas", MeterType::Gas}, {"steam", MeterType::Steam}}),
        choiceSetting("meter_style", &S::meterStyle,
                      std::vector<std::pair<std::string_view, MeterStyle>>{{"wafer", MeterStyle::Wafer},
                                                                          {"insertion", MeterStyle::Insertion}}),
        byteSetting("manufacturer_id", &S::manufacturerId),
        byteSetting("device_revision", &S::deviceRevision),
        byteSetting("software_revision", &S::softwareRevision),
        byteSetting("hardware_revision", &S::hardwareRevision),
        byteSetting("flags", &S::flags),
        u24Setting("device_id", &S::deviceId),
        byteSetting("preambles", &S::preambles, kFewestPreambles, kMostPreambles),
        byteSetting("polling_address", &S::pollingAddress, 0, kHighestPollingAddress),
        textSetting("tag", &S::tag, kTagBytes),
        textSetting("descriptor", &S::descriptor, kDescriptorBytes),
        textSetting("message", &S::message, kMessageBytes),
        dateSetting("date", &S::date),
        u24Setting("final_assembly_number", &S::finalAssemblyNumber),
        u24Setting("sensor_serial_number", &S::sensorSerialNumber),
        {"primary_variable", setPrimaryVariable},
        numberSetting("range.upper", [](S& s) -> float& { return s.upperRangeValue; }),
        numberSetting("range.lower", [](S& s) -> float& { return s.lowerRangeValue; }),
        numberSetting("damping", [](S& s) -> float& { return s.damping; }, 0, kMaximumDamping),
        byteSetting("alarm_selection", &S::alarmSelection, 0, 1),
        byteSetting("write_protect", &S::writeProtect, 0, 1),
        numberSetting("fixed_current", [](S& s) -> float& { return s.runtime.fixedCurrent; }, 0, kHighestFixedCurrent),
        numberSetting("trim.zero", [](S& s) -> float& { return s.zeroTrim; }, -2, 2),
        numberSetting("trim.gain", [](S& s) -> float& { return s.gainTrim; }, -3, 3),
        flagSetting("burst_mode", &S::burstMode),
        byteSetting("burst_command", &S::burstCommand, 1, 3),
        flagSetting("config_changed", &S::configChanged),
        {"device_specific_status", setDeviceSpecificStatus},
        numberSetting("process.flow", [](S& s) -> double& { return s.process.flow; }, 0),
        numberSetting("process.flow_variation", [](S& s) -> double& { return s.process.flowVariation; }, 0, 1),
        numberSetting("process.flow_period", [](S& s) -> double& { return s.process.flowPeriod; }, 1),
        numberSetting("process.noise", [](S& s) -> double& { return s.process.noise; }, 0, 1),
        numberSetting("process.sensor_noise", [](S& s) -> double& { return s.process.sensorNoise; }, 0, 1),
        numberSetting("process.temperature", [](S& s) -> double& { return s.process.temperature; }, -273.15),
        numberSetting("process.temperature_variation",
                      [](S& s) -> double& { return s.process.temperatureVariation; }, 0),
        numberSetting("process.pressure", [](S& s) -> double& { return s.process.pressure; }),
        numberSetting("process.pressure_variation", [](S& s) -> double& { return s.process.pressureVariation; }, 0),
        numberSetting("process.density", [](S& s) -> double& { return s.process.density; }, 0),
        numberSetting("process.standard_density", [](S& s) -> double& { return s.process.standardDensity; }, 0),
        numberSetting("process.viscosity", [](S& s) -> double& { return s.process.viscosity; }, 0),

        // Mode and access.
        choiceSetting("mode", [](S& s) -> bool& { return s.runtime.inService; },
                      std::vector<std::pair<std::string_view, bool>>{{"edit", false}, {"in_service", true}}),
        byteSetting("access_level", [](S& s) -> uint8_t& { return s.runtime.accessLevel; }, 0, kServiceAccessLevel),
        flagSetting("password_protection", [](S& s) -> bool& { return s.runtime.passwordProtected; }),
        {"password", setPassword},

        // Build records.
        textSetting("model_number", [](S& s) -> std::string& { return s.build.modelNumber; }, kModelNumberBytes),
        textSetting("part_number", [](S& s) -> std::string& { return s.build.partNumber; }, kPartNumberBytes),
        byteSetting("top_level_revision", [](S& s) -> uint8_t& { return s.build.topLevelRevision; }),
        textSetting("model_deviation", [](S& s) -> std::string& { return s.build.modelDeviation; },
                    kModelDeviationBytes),
        choiceSetting("sensor_option", [](S& s) -> uint8_t& { return s.build.sensorOption; },
                      std::vector<std::pair<std::string_view, uint8_t>>{{"none", kSensorNone},
                                                                        {"temperature", kSensorTemperature},
                                                                        {"pressure", kSensorPressure},
                                                                        {"both", kSensorBoth}}),
        choiceSetting("display_option", [](S& s) -> uint8_t& { return s.build.displayOption; },
                      std::vector<std::pair<std::string_view, uint8_t>>{{"none", 0}, {"lcd", 1}}),
        numberSetting("strut_size", [](S& s) -> float& { return s.build.strutSize; }, 0),
        dateSetting("calibration_date", [](S& s) -> DeviceDate& { return s.build.calibrationDate; }),
        dateSetting("modification_date", [](S& s) -> DeviceDate& { return s.build.modificationDate; }),
        wholeNumberSetting("modification_number", [](S& s) -> uint16_t& { return s.build.modificationNumber; }, 0,
                           0xFFFF),

        // Flow computation.
        numberSetting("pipe_id", [](S& s) -> float& { return s.pipeInsideDiameter; }, 0),
        numberSetting("kfactor", [](S& s) -> float& { return s.kFactor; }, 0),
        numberSetting("low_flow_cutoff", [](S& s) -> float& { return s.lowFlowCutoff; }, 0),
        numberSetting("base_temperature", [](S& s) -> float& { return s.baseTemperature; }, -459.67),
        numberSetting("base_pressure", [](S& s) -> float& { return s.basePressure; }, 0),
        numberSetting("atmospheric_pressure", [](S& s) -> float& { return s.atmosphericPressure; }, 0),
        choiceSetting("temperature_source", [](S& s) -> uint8_t& { return s.temperatureSource; },
                      std::vector<std::pair<std::string_view, uint8_t>>{
                          {"integrated_rtd", kTemperatureIntegratedRtd},
                          {"external_rtd", kTemperatureExternalRtd},
                          {"user_defined", kTemperatureUserDefined},
                          {"steam_table", kTemperatureSteamTable}}),
        numberSetting("user_temperature", [](S& s) -> float& { return s.userTemperature; }, -459.67),
        choiceSetting("pressure_source", [](S& s) -> uint8_t& { return s.pressureSource; },
                      std::vector<std::pair<std::string_view, uint8_t>>{{"analog_absolute", kPressureAnalogAbsolute},
                                                                        {"user_defined", kPressureUserDefined},
                                                                        {"steam_table", kPressureSteamTable},
                                                                        {"analog_gauge", kPressureAnalogGauge}}),
        numberSetting("user_pressure", [](S& s) -> float& { return s.userPressure; }),
        numberSetting("analog_input.upper", [](S& s) -> float& { return s.inputUpperPressure; }),
        numberSetting("analog_input.lower", [](S& s) -> float& { return s.inputLowerPressure; }),
        choiceSetting("density_source", [](S& s) -> uint8_t& { return s.densitySource; },
                      std::vector<std::pair<std::string_view, uint8_t>>{{"property_table", kDensityPropertyTable},
                                                                        {"user_defined", kDensityUserDefined},
                                                                        {"steam_table", kDensitySteamTable}}),
        numberSetting("user_density", [](S& s) -> float& { return s.userDensity; }, 0),
        numberSetting("user_viscosity", [](S& s) -> float& { return s.userViscosity; }, 0),

        // Outputs.
        choiceSetting("pulse_output_mode", [](S& s) -> uint8_t& { return s.pulseOutputMode; },
                      std::vector<std::pair<std::string_view, uint8_t>>{
                          {"shedding_frequency", kPulseSheddingFrequency},
                          {"scaled_pv", kPulseScaledPv},
                          {"user_frequency", kPulseUserFrequency},
                          {"disabled", kPulseDisabled}}),
        numberSetting("upper_range_frequency", [](S& s) -> float& { return s.upperRangeFrequency; }, 0),
        numberSetting("user_frequency", [](S& s) -> float& { return s.userFrequency; }, 0),
        byteSetting("lcd_mode", [](S& s) -> uint8_t& { return s.lcdMode; }, 0, kHighestLcdMode),
        numberSetting("totalizer.roll_over", [](S& s) -> float& { return s.totalizerRollOver; }, 1, 1e37),
        numberSetting("totalizer.multiplier", [](S& s) -> float& { return s.totalizerMultiplier; }, 1e-12, 1e12),
        textSetting("totalizer.unit", [](S& s) -> std::string& { return s.totalizerUnit; }, kTotalizerUnitBytes),
        flagSetting("totalizer.running", [](S& s) -> bool& { return s.runtime.totalizerRunning; }),
        numberSetting("totalizer.total", [](S& s) -> double& { return s.runtime.total; }, 0),
        byteSetting("profiling.samples", [](S& s) -> uint8_t& { return s.runtime.profilingSamples; }, 1, 100),

        // Property tables.
        textSetting("table.name", [](S& s) -> std::string& { return s.tables.name; }, kTableNameBytes),
        byteSetting("table.version", [](S& s) -> uint8_t& { return s.tables.version; }),
        pointTableSetting("table.viscosity", &PropertyTables::viscosity, &PropertyTables::viscosityPoints),
        pointTableSetting("table.density", &PropertyTables::density, &PropertyTables::densityPoints),
        headingSetting("table.gas_pressures", &PropertyTables::rowPressures, &PropertyTables::gasRows),
        headingSetting("table.gas_temperatures", &PropertyTables::columnTemperatures, &PropertyTables::gasColumns),
        {"table.gas_density", setGasDensity},
        {"digital_pots", setDigitalPots},
        textSetting("service_access_code", &S::serviceAccessCode, kPasswordBytes),

        // Diagnostics.
        numberSetting("diagnostics.agc_voltage", [](S& s) -> float& { return s.diagnostics.agcVoltage; }),
        numberSetting("diagnostics.audio_pp_voltage", [](S& s) -> float& { return s.diagnostics.audioPeakVoltage; }),
        numberSetting("diagnostics.audio_dc_voltage", [](S& s) -> float& { return s.diagnostics.audioDcVoltage; }),
        numberSetting("diagnostics.ultrasonic_pp_voltage",
                      [](S& s) -> float& { return s.diagnostics.ultrasonicPeakVoltage; }),
        numberSetting("diagnostics.ultrasonic_dc_voltage",
                      [](S& s) -> float& { return s.diagnostics.ultrasonicDcVoltage; }),
        numberSetting("diagnostics.supply_voltage", [](S& s) -> float& { return s.diagnostics.supplyVoltage; }),
        numberSetting("diagnostics.loop_voltage", [](S& s) -> float& { return s.diagnostics.loopVoltage; }),
        wholeNumberSetting("diagnostics.status_codes", [](S& s) -> uint16_t& { return s.diagnostics.statusCodes; }, 0,
                           0xFFFF),
        numberSetting("diagnostics.blockage_factor", [](S& s) -> float& { return s.diagnostics.blockageFactor; }),
        wholeNumberSetting("diagnostics.fault_log", [](S& s) -> uint16_t& { return s.diagnostics.faultLog; }, 0, 0xFFFF),
        wholeNumberSetting("diagnostics.missing_pulses", [](S& s) -> uint16_t& { return s.diagnostics.missingPulses; },
                           0, 0xFFFF),
        wholeNumberSetting("diagnostics.wdrs", [](S& s) -> uint16_t& { return s.diagnostics.wdrs; }, 0, 0xFFFF),
        numberSetting("diagnostics.mte", [](S& s) -> float& { return s.diagnostics.mte; }),
        numberSetting("diagnostics.mpe", [](S& s) -> float& { return s.diagnostics.mpe; }),
        byteSetting("diagnostics.simulation_mode", [](S& s) -> uint8_t& { return s.diagnostics.simulationMode; }, 0, 1),
        flagSetting("diagnostics.malfunction", [](S& s) -> bool& { return s.diagnostics.malfunction; }),
        byteSetting("carrier.mode", [](S& s) -> uint8_t& { return s.diagnostics.carrier.mode; }, 0, 2),
        numberSetting("carrier.bandwidth", [](S& s) -> int32_t& { return s.diagnostics.carrier.bandwidth; }, INT32_MIN,
                      INT32_MAX),
        numberSetting("carrier.base_frequency", [](S& s) -> int32_t& { return s.diagnostics.carrier.baseFrequency; },
                      INT32_MIN, INT32_MAX),
        numberSetting("carrier.sweep_period", [](S& s) -> int32_t& { return s.diagnostics.carrier.sweepPeriod; },
                      INT32_MIN, INT32_MAX),
        numberSetting("carrier.fixed_frequency", [](S& s) -> int32_t& { return s.diagnostics.carrier.fixedFrequency; },
                      INT32_MIN, INT32_MAX),
        byteSetting("carrier.low_power", [](S& s) -> uint8_t& { return s.diagnostics.carrier.lowTransmitPower; }, 0, 1),
    };
    for (size_t i = 0; i < kVariableCount; ++i) {
        const auto variable = static_cast<Variable>(i);
        const std::string name(variableInfo(variable).name);
        t.push_back({name + ".unit", [variable](S& s, std::string_view v) -> std::string {
                         const auto code = parseUnsigned(v, 255);
                         if (!code || !isUnitOf(static_cast<uint8_t>(*code), variableInfo(variable).quantity))
                             return "expected a unit code of this variable's quantity";
                         s.variable(variable).unit = static_cast<uint8_t>(*code);
                         return {};
                     }});
        t.push_back(numberSetting(name + ".lower_limit",
                                  [variable](S& s) -> float& { return s.variable(variable).lowerSensorLimit; }));
        t.push_back(numberSetting(name + ".upper_limit",
                                  [variable](S& s) -> float& { return s.variable(variable).upperSensorLimit; }));
        t.push_back(numberSetting(name + ".min_span",
                                  [variable](S& s) -> float& { return s.variable(variable).minimumSpan; }, 0));
    }
    return t;
}

const std::vector<Setting>& settings() {
    static const std::vector<Setting> table = makeSettings();
    return table;
}

}  // namespace

bool applySetting(MeterState& state, std::string_view key, std::string_view value, std::string* error) {
    key = trim(key);
    value = trim(value);
    for (const auto& setting : settings()) {
        if (setting.key != key) continue;
        MeterState changed = state;
        std::string problem = setting.set(changed, value);
        if (problem.empty()) problem = inconsistency(changed);
        if (!problem.empty()) {
            if (error) *error = "bad value '" + std::string(value) + "' for " + std::string(key) + ": " + problem;
            return false;
        }
        state = std::move(changed);
        return true;
    }
    if (error) *error = "unknown key '" + std::string(key) + "'";
    return false;
}

std::string inconsistency(const MeterState& s) {
    for (size_t i = 0; i < kVariableCount; ++i) {
        const auto& v = s.variables[i];
        const auto& info = variableInfo(static_cast<Variable>(i));
        if (!isUnitOf(v.unit, info.quantity)) return std::string(info.name) + ".unit does not fit the variable";
        if (!(v.lowerSensorLimit < v.upperSensorLimit))
            return std::string(info.name) + ".lower_limit must be below " + std::string(info.name) + ".upper_limit";
    }
    if (!(s.lowerRangeValue < s.upperRangeValue)) return "range.lower must be below range.upper";
    if (s.runtime.fixedCurrent != 0 && s.runtime.fixedCurrent < kLowestFixedCurrent)
        return "fixed_current must be 0 or from 3.5 to 22 mA";
    if (!s.temperatureSourceAvailable(s.temperatureSource))
        return "temperature_source needs a temperature sensor (sensor_option) or, for the steam table, a steam meter";
    if (!s.pressureSourceAvailable(s.pressureSource))
        return "pressure_source needs a pressure sensor (sensor_option) or, for the steam table, a steam meter";
    if (!s.densitySourceAvailable(s.densitySource)) return "density_source steam_table needs a steam meter";
    if (!(s.inputLowerPressure < s.inputUpperPressure))
        return "analog_input.lower must be below analog_input.upper";
    return {};
}

bool applyProfile(const std::string& path, MeterState& state, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        if (error) *error = path + ": cannot open the profile";
        return false;
    }
    MeterState changed = state;
    std::string line;
    int number = 0;
    // Single settings may pass through an inconsistent state (range.lower
    // before range.upper): check the whole only at the end.
    while (std::getline(in, line)) {
        ++number;
        std::string_view text = trim(line);
        if (const auto comment = commentStart(text); comment != std::string_view::npos)
            text = trim(text.substr(0, comment));
        if (text.empty()) continue;
        const auto equals = text.find('=');
        const auto where = path + ":" + std::to_string(number) + ": ";
        if (equals == std::string_view::npos || trim(text.substr(0, equals)).empty()) {
            if (error) *error = where + "expected 'key = value', got '" + std::string(text) + "'";
            return false;
        }
        const auto key = trim(text.substr(0, equals));
        const auto value = trim(text.substr(equals + 1));
        const Setting* found = nullptr;
        for (const auto& setting : settings())
            if (setting.key == key) found = &setting;
        if (!found) {
            if (error) *error = where + "unknown key '" + std::string(key) + "'";
            return false;
        }
        if (auto problem = found->set(changed, value); !problem.empty()) {
            if (error) *error = where + "bad value '" + std::string(value) + "' for " + std::string(key) + ": " + problem;
            return false;
        }
    }
    if (auto problem = inconsistency(changed); !problem.empty()) {
        if (error) *error = path + ": " + problem;
        return false;
    }
    state = std::move(changed);
    return true;
}

std::vector<std::string> profileKeys() {
    std::vector<std::string> keys;
    for (const auto& setting : settings()) keys.push_back(setting.key);
    return keys;
}

}  // namespace corvane::sim
