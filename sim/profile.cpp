#include "sim/profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
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

Setting byteSetting(std::string key, uint8_t MeterState::*field, uint8_t lowest = 0, uint8_t highest = 255) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto n = parseUnsigned(v, highest);
                if (!n || *n < lowest)
                    return "expected a whole number " + std::to_string(lowest) + ".." + std::to_string(highest);
                s.*field = static_cast<uint8_t>(*n);
                return {};
            }};
}

Setting u24Setting(std::string key, uint32_t MeterState::*field) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto n = parseUnsigned(v, kHighest24BitValue);
                if (!n) return "expected a whole number 0..16777215 (or 0x hexadecimal)";
                s.*field = *n;
                return {};
            }};
}

Setting flagSetting(std::string key, bool MeterState::*field) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                const auto flag = parseFlag(v);
                if (!flag) return "expected on/off, 1/0 or true/false";
                s.*field = *flag;
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
                auto& target = field(s);
                target = static_cast<std::remove_reference_t<decltype(target)>>(*n);
                return {};
            }};
}

Setting textSetting(std::string key, std::string MeterState::*field, size_t packedBytes) {
    const size_t characters = packedBytes / 3 * 4;
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                if (v.size() > characters) return "longer than " + std::to_string(characters) + " characters";
                std::string text(v);
                for (char& c : text) {
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x5F)
                        return "character '" + std::string(1, c) + "' cannot be sent in Packed ASCII";
                }
                s.*field = text;
                return {};
            }};
}

template <typename Enum>
Setting choiceSetting(std::string key, Enum MeterState::*field,
                      std::vector<std::pair<std::string_view, Enum>> choices) {
    return {std::move(key), [=](MeterState& s, std::string_view v) -> std::string {
                std::string names;
                for (const auto& [name, value] : choices) {
                    if (v == name) {
                        s.*field = value;
                        return {};
                    }
                    names += names.empty() ? "" : ", ";
                    names += name;
                }
                return "expected one of: " + names;
            }};
}

// A comment starts with '#' at the start of a line or after a blank, so a
// value like "PUMP#2" keeps its '#'.
size_t commentStart(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return i;
    return std::string_view::npos;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::string setDate(MeterState& s, std::string_view v) {
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
    s.date = {static_cast<uint8_t>(*day), static_cast<uint8_t>(*month), static_cast<uint8_t>(*year - 1900)};
    return {};
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
        choiceSetting<MeterType>("meter_type", &S::meterType,
                                 {{"liquid", MeterType::Liquid}, {"gas", MeterType::Gas}, {"steam", MeterType::Steam}}),
        choiceSetting<MeterStyle>("meter_style", &S::meterStyle,
                                  {{"wafer", MeterStyle::Wafer}, {"insertion", MeterStyle::Insertion}}),
        byteSetting("manufacturer_id", &S::manufacturerId),
        byteSetting("device_revision", &S::deviceRevision),
        byteSetting("software_revision", &S::softwareRevision),
        byteSetting("hardware_revision", &S::hardwareRevision),
        byteSetting("flags", &S::flags),
        u24Setting("device_id", &S::deviceId),
        byteSetting("preambles", &S::preambles, kFewestPreambles, kMostPreambles),
        byteSetting("polling_address", &S::pollingAddress, 0, kHighestPollingAddress),
        textSetting("tag", &S::tag, 6),
        textSetting("descriptor", &S::descriptor, 12),
        textSetting("message", &S::message, 24),
        {"date", setDate},
        u24Setting("final_assembly_number", &S::finalAssemblyNumber),
        u24Setting("sensor_serial_number", &S::sensorSerialNumber),
        {"primary_variable", setPrimaryVariable},
        numberSetting("range.upper", [](S& s) -> float& { return s.upperRangeValue; }),
        numberSetting("range.lower", [](S& s) -> float& { return s.lowerRangeValue; }),
        numberSetting("damping", [](S& s) -> float& { return s.damping; }, 0, kMaximumDamping),
        byteSetting("alarm_selection", &S::alarmSelection, 0, 1),
        byteSetting("write_protect", &S::writeProtect, 0, 1),
        numberSetting("fixed_current", [](S& s) -> float& { return s.fixedCurrent; }, 0, kHighestFixedCurrent),
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
        numberSetting("process.temperature", [](S& s) -> double& { return s.process.temperature; }, -273.15),
        numberSetting("process.temperature_variation",
                      [](S& s) -> double& { return s.process.temperatureVariation; }, 0),
        numberSetting("process.pressure", [](S& s) -> double& { return s.process.pressure; }),
        numberSetting("process.pressure_variation", [](S& s) -> double& { return s.process.pressureVariation; }, 0),
        numberSetting("process.density", [](S& s) -> double& { return s.process.density; }, 0),
        numberSetting("process.standard_density", [](S& s) -> double& { return s.process.standardDensity; }, 0),
        numberSetting("pipe_id", [](S& s) -> double& { return s.process.pipeInsideDiameter; }, 0),
        numberSetting("kfactor", [](S& s) -> double& { return s.process.kFactor; }, 0),
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
    if (s.fixedCurrent != 0 && s.fixedCurrent < kLowestFixedCurrent)
        return "fixed_current must be 0 or from 3.5 to 22 mA";
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
