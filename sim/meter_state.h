// Everything the simulated meter knows. sim/README.md explains each value and
// the profile key that sets it; commands read and change this state only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/units.h"

namespace corvane::sim {

// The fluid the meter is built for; the values are the meter's own codes.
enum class MeterType : uint8_t { Gas = 0, Liquid = 1, Steam = 2 };
enum class MeterStyle : uint8_t { Wafer = 0, Insertion = 1 };

// Device variables, numbered by the meter's variable codes (command 50).
enum class Variable : uint8_t {
    VolumeFlow = 0,
    MassFlow = 1,
    StandardFlow = 2,
    Velocity = 3,
    Temperature = 4,
    Pressure = 5,
    Frequency = 6,
};
inline constexpr size_t kVariableCount = 7;

// Limits the meter enforces on writes, whether by command or by profile.
inline constexpr float kMaximumDamping = 32.0f;     // s
inline constexpr float kLowestFixedCurrent = 3.5f;  // mA, command 40
inline constexpr float kHighestFixedCurrent = 22.0f;
inline constexpr uint8_t kFewestPreambles = 2;      // the least a receiver can find a frame by
inline constexpr uint8_t kMostPreambles = 20;
inline constexpr uint8_t kHighestPollingAddress = 15;
inline constexpr uint32_t kHighest24BitValue = 0xFFFFFF;

struct VariableInfo {
    std::string_view name;  // profile key prefix
    Quantity quantity;
};
const VariableInfo& variableInfo(Variable variable);
bool isVariableCode(uint8_t code);

// Unit and sensor limits of one device variable, all in that unit.
struct VariableSetup {
    uint8_t unit = 0;
    float lowerSensorLimit = 0;
    float upperSensorLimit = 0;
    float minimumSpan = 0;
};

// How the process behaves over time (see ProcessModel).
struct ProcessSetup {
    double flow = 0;              // m3/h actual volume flow, mean
    double flowVariation = 0;     // relative amplitude of the slow variation
    double flowPeriod = 120;      // s, period of the slow variation
    double noise = 0;             // relative amplitude of the noise on flow
    double temperature = 20;      // degC, mean
    double temperatureVariation = 0;  // degC amplitude
    double pressure = 1;          // bar, mean
    double pressureVariation = 0;     // bar amplitude
    double density = 998;         // kg/m3 at process conditions
    double standardDensity = 998;     // kg/m3 at base conditions
    double pipeInsideDiameter = 2;    // inches
    double kFactor = 1;           // vortex pulses per cubic foot
};

struct DeviceDate {
    uint8_t day = 1;
    uint8_t month = 1;
    uint8_t yearSince1900 = 100;
};

struct MeterState {
    // Identity (command 0).
    uint8_t manufacturerId = 0x3D;
    MeterType meterType = MeterType::Liquid;
    MeterStyle meterStyle = MeterStyle::Wafer;
    uint8_t universalRevision = 5;
    uint8_t deviceRevision = 1;
    uint8_t softwareRevision = 12;
    uint8_t hardwareRevision = 0x08;
    uint8_t flags = 0;
    uint32_t deviceId = 0x0A1B2C;
    // Preambles the meter asks of a master (command 0) and puts before its own
    // replies; command 59 writes it.
    uint8_t preambles = 5;
    uint8_t pollingAddress = 0;

    // Texts and numbers of commands 12..19.
    std::string tag = "FT-101";
    std::string descriptor = "VORTEX FLOW";
    std::string message = "CORVANE VORTEX METER";
    DeviceDate date;
    uint32_t finalAssemblyNumber = 100200;
    uint32_t sensorSerialNumber = 4711;

    // Analog output and variables.
    Variable primaryVariable = Variable::VolumeFlow;
    std::array<VariableSetup, kVariableCount> variables{};
    float upperRangeValue = 100;  // in the primary variable's unit
    float lowerRangeValue = 0;
    float damping = 1;            // s, first-order filter on the flow
    uint8_t alarmSelection = 0;   // 0 high, 1 low
    uint8_t transferFunction = 0; // 0 linear
    uint8_t writeProtect = 0;     // 0 not write protected
    float fixedCurrent = 0;       // mA; 0 = the output follows the PV
    float zeroTrim = 0;           // mA correction at 4 mA (command 45)
    float gainTrim = 0;           // mA correction at 20 mA (command 46)

    bool burstMode = false;
    uint8_t burstCommand = 1;
    bool configChanged = false;
    std::array<uint8_t, 6> deviceSpecificStatus{};  // command 48 bytes 0..5

    ProcessSetup process;

    // Device type on the link: 1 liquid, 2 gas, 3 steam.
    uint8_t deviceType() const;
    std::array<uint8_t, 5> uniqueId() const;  // master and burst bits clear
    bool multidrop() const { return pollingAddress != 0; }
    VariableSetup& variable(Variable v) { return variables[static_cast<size_t>(v)]; }
    const VariableSetup& variable(Variable v) const { return variables[static_cast<size_t>(v)]; }
    const VariableSetup& pv() const { return variable(primaryVariable); }
    // Primary, secondary, tertiary and quaternary variables (commands 3 and 50):
    // the PV, then shedding frequency, temperature and pressure.
    std::array<Variable, 4> dynamicVariables() const;
};

// The default meter: a 2 inch liquid wafer meter (sim/profiles/liquid_wafer.profile
// restates it).
MeterState defaultMeterState();

}  // namespace corvane::sim
