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

// Meter mode (commands 128, 129).
inline constexpr uint8_t kModeInService = 240;
inline constexpr uint8_t kModeEdit = 241;
inline constexpr uint8_t kServiceAccessLevel = 2;  // command 248; digital pots need it

// Fitted sensors (command 137 byte 14).
inline constexpr uint8_t kSensorNone = 0;
inline constexpr uint8_t kSensorTemperature = 1;
inline constexpr uint8_t kSensorPressure = 2;
inline constexpr uint8_t kSensorBoth = 3;

// Sources of the process conditions (commands 234/235, 240/241, 214/215).
inline constexpr uint8_t kTemperatureIntegratedRtd = 0;
inline constexpr uint8_t kTemperatureExternalRtd = 1;
inline constexpr uint8_t kTemperatureUserDefined = 2;
inline constexpr uint8_t kTemperatureSteamTable = 3;
inline constexpr uint8_t kPressureAnalogAbsolute = 0;
inline constexpr uint8_t kPressureUserDefined = 1;
inline constexpr uint8_t kPressureSteamTable = 2;
inline constexpr uint8_t kPressureAnalogGauge = 3;
inline constexpr uint8_t kDensityPropertyTable = 0;
inline constexpr uint8_t kDensityUserDefined = 1;
inline constexpr uint8_t kDensitySteamTable = 2;

// Pulse output modes (commands 150/151) and LCD display modes (163/164).
inline constexpr uint8_t kPulseSheddingFrequency = 0;
inline constexpr uint8_t kPulseScaledPv = 1;
inline constexpr uint8_t kPulseUserFrequency = 2;
inline constexpr uint8_t kPulseDisabled = 3;
inline constexpr uint8_t kLcdTotalizer = 2;
inline constexpr uint8_t kLcdPvAndTotalizer = 5;
inline constexpr uint8_t kHighestLcdMode = 5;

inline constexpr float kHighAlarmCurrent = 21.75f;  // mA, alarm selection 0
inline constexpr float kLowAlarmCurrent = 3.75f;    // alarm selection 1

inline constexpr size_t kMaxTableEntries = 16;  // points, rows or columns of a property table
inline constexpr size_t kDigitalPotCount = 7;
inline constexpr size_t kPasswordLength = 4;

// Packed ASCII field sizes in bytes (4 characters per 3 bytes).
inline constexpr size_t kTagBytes = 6;
inline constexpr size_t kDescriptorBytes = 12;
inline constexpr size_t kMessageBytes = 24;
inline constexpr size_t kModelNumberBytes = 9;
inline constexpr size_t kModelDeviationBytes = 24;
inline constexpr size_t kPartNumberBytes = 12;
inline constexpr size_t kTotalizerUnitBytes = 6;
inline constexpr size_t kTableNameBytes = 18;
inline constexpr size_t kPasswordBytes = 3;

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
    double sensorNoise = 1;       // scale of the temperature and pressure sensors' noise (0: none)
    double temperature = 20;      // degC, mean
    double temperatureVariation = 0;  // degC amplitude
    double pressure = 1;          // bar, mean
    double pressureVariation = 0;     // bar amplitude
    double density = 998;         // kg/m3 at process conditions
    double standardDensity = 998;     // kg/m3 at base conditions
    double viscosity = 1;         // cP at process conditions
};

struct DeviceDate {
    uint8_t day = 1;
    uint8_t month = 1;
    uint8_t yearSince1900 = 100;
};

// Factory records of the meter's build (commands 132, 133, 135, 137, 183, 199, 210).
struct BuildRecord {
    std::string modelNumber;     // 12 characters
    std::string partNumber;      // 16 characters
    uint8_t topLevelRevision = 0;
    std::string modelDeviation;  // 32 characters; empty when the meter is standard
    uint8_t sensorOption = kSensorNone;
    uint8_t displayOption = 0;   // 1: LCD fitted
    float strutSize = 0;         // inches, width of the shedder bar
    DeviceDate calibrationDate;
    DeviceDate modificationDate;
    uint16_t modificationNumber = 0;
};

// Fluid property tables (commands 216 to 227). Entries beyond a table's size
// keep their values but are not reachable on the link.
struct PropertyTables {
    struct Point {
        float temperature = 0;
        float value = 0;
    };
    std::string name;            // 24 characters
    uint8_t version = 0;
    uint8_t viscosityPoints = 0;
    uint8_t densityPoints = 0;
    uint8_t gasRows = 0;         // pressures
    uint8_t gasColumns = 0;      // temperatures
    std::array<Point, kMaxTableEntries> viscosity{};
    std::array<Point, kMaxTableEntries> density{};
    std::array<float, kMaxTableEntries> rowPressures{};
    std::array<float, kMaxTableEntries> columnTemperatures{};
    std::array<std::array<float, kMaxTableEntries>, kMaxTableEntries> gasDensity{};  // [row][column]
};

// Carrier settings of the ultrasonic sensing (command 229).
struct CarrierSettings {
    uint8_t mode = 0;  // 0 lower side band, 1 fixed frequency, 2 upper side band
    int32_t bandwidth = 0;
    int32_t baseFrequency = 0;
    int32_t sweepPeriod = 0;
    int32_t fixedFrequency = 0;
    uint8_t lowTransmitPower = 0;
};

// What the electronics measure about themselves (commands 170, 178 to 182, 229).
struct Diagnostics {
    float agcVoltage = 0, audioPeakVoltage = 0, audioDcVoltage = 0;
    float ultrasonicPeakVoltage = 0, ultrasonicDcVoltage = 0;
    float supplyVoltage = 0, loopVoltage = 0;
    uint16_t statusCodes = 0;
    float blockageFactor = 0;
    uint16_t faultLog = 0;
    uint16_t missingPulses = 0;
    uint16_t wdrs = 0;
    float mte = 0;  // degF
    float mpe = 0;  // psi
    CarrierSettings carrier;
    uint8_t simulationMode = 0;  // 1 carrier, 0 output
    bool malfunction = false;    // drives the loop to the alarm current
};

// What is not configuration: restoring a saved or factory configuration
// (commands 39 and 42) keeps it.
struct MeterRuntime {
    bool inService = false;
    uint8_t accessLevel = 0;
    bool passwordProtected = false;
    std::string password = "0000";
    float fixedCurrent = 0;       // mA; 0 = the output follows the PV
    bool totalizerRunning = false;
    double total = 0;             // totalized quantity in its base unit (m3 or kg)
    uint8_t profilingSamples = 5; // command 191
    uint8_t samplesTaken = 0;
    double sampledVelocitySum = 0;  // m/s
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
    uint8_t writeProtect = 0;     // 1: the write-protect jumper is set
    float zeroTrim = 0;           // mA correction at 4 mA (command 45)
    float gainTrim = 0;           // mA correction at 20 mA (command 46)

    bool burstMode = false;
    uint8_t burstCommand = 1;
    bool configChanged = false;
    std::array<uint8_t, 6> deviceSpecificStatus{};  // command 48 bytes 0..5

    BuildRecord build;

    // Flow computation and outputs (commands 144 to 168, 187, 205 to 215, 232 to 253).
    float kFactor = 1;              // vortex pulses per cubic foot
    float pipeInsideDiameter = 2;   // inches
    float lowFlowCutoff = 0;        // Hz of shedding frequency; below it the flow reads 0
    float baseTemperature = 60;     // degF
    float basePressure = 14.696f;   // psi
    float atmosphericPressure = 14.696f;  // psi
    uint8_t temperatureSource = kTemperatureIntegratedRtd;
    float userTemperature = 68;     // degF
    uint8_t pressureSource = kPressureUserDefined;
    float userPressure = 0;         // psi gauge
    float inputUpperPressure = 300; // psi at 20 mA of the analog pressure input
    float inputLowerPressure = 0;   // psi at 4 mA
    uint8_t densitySource = kDensityPropertyTable;
    float userViscosity = 1;        // cP
    float userDensity = 62.3f;      // lb/ft3
    uint8_t pulseOutputMode = kPulseSheddingFrequency;
    float upperRangeFrequency = 1000;  // Hz at the upper range value (scaled PV)
    float userFrequency = 100;      // Hz
    uint8_t lcdMode = 0;
    float totalizerRollOver = 1e9f;
    float totalizerMultiplier = 1;
    std::string totalizerUnit;      // 8 characters, used when the multiplier is not 1
    PropertyTables tables;
    std::array<uint8_t, kDigitalPotCount> digitalPots{};
    std::string serviceAccessCode = "7KDW";  // command 248 grants level 2 with it

    Diagnostics diagnostics;
    MeterRuntime runtime;
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
    // Configuration writes are refused in service and with the write-protect jumper.
    bool acceptsConfiguration() const { return !runtime.inService && writeProtect == 0; }
    bool hasTemperatureSensor() const;
    bool hasPressureSensor() const;
    // A source needs the means to measure it: a fitted sensor, or a steam
    // meter for the steam table.
    bool temperatureSourceAvailable(uint8_t source) const;
    bool pressureSourceAvailable(uint8_t source) const;
    bool densitySourceAvailable(uint8_t source) const;
    // The variable the totalizer counts: the PV when it is a flow, else the volume flow.
    Variable totalizedVariable() const;
};

// Non-volatile memory: the configuration saved by command 39 and the factory
// configuration restored by command 42.
struct NonVolatileMemory {
    MeterState saved;
    MeterState factory;
};

// Puts the configuration of `from` into `state`, keeping the runtime, the
// diagnostics and the process of `state`.
void restoreConfiguration(MeterState& state, const MeterState& from);

// The default meter: a 2 inch liquid wafer meter (sim/profiles/liquid_wafer.profile
// restates it).
MeterState defaultMeterState();

}  // namespace corvane::sim
