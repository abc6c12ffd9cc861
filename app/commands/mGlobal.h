// The device data store: one process-wide variable per decoded response
// field. ReadHART fills them; forms read them after the matching sender has
// returned. Byte fields are kept as int (0..255), int16 fields as int16_t,
// int32 fields as int32_t, dates as QDate (null until first read).
#pragma once

#include <QDate>
#include <QString>
#include <cstdint>

namespace app {

// Command 0: identity
extern int UniversalCommandRevision;
extern int SpecificCommandRevision;
extern int HardwareRevision;
// Commands 12 to 16, 50: message, tag, sensor, output, assembly, PV mapping
extern QString Message;
extern QString Tag;
extern QString Descriptor;
extern QDate DeviceDate;
extern int SensorLimitsUnit;
extern float UpperSensorLimit;
extern float LowerSensorLimit;
extern float MinimumSpan;
extern int AlarmSelectionCode;
extern int RangeUnitsCode;
extern float UpperRangeValue;
extern float LowerRangeValue;
extern float DampingValue;
extern int32_t FinalAssemblyNumber;
extern int PVVariableCode;

// Meter status, identity and configuration
extern int MeterMode;
extern int BurstModeFlag;
extern int BurstCommandNumber;
extern int AccessLevel;
extern int PasswordProtectionFlag;
extern QString ModelNumber;
extern int TopLevelRevision;
extern QString ModelDeviation;
extern QString PartNumber;
extern int MeterType;
extern int MeterStyle;
extern int SensorOption;
extern int DisplayOption;
extern float BaseTemperature;
extern float BasePressure;
extern float LowFlowCutoff;
extern int PulseOutputMode;
extern float UpperRangeFrequency;
extern float PulseOutputFrequency;
extern float UserDefinedFrequency;
extern int TotalizerUnitCode;
extern float TotalizerValue;
extern int TotalizerRunning;
extern int LCDDisplayMode;
extern float KFactor;
extern int SimulationMode;
extern float TotalizerRollOverValue;
extern float TotalizerMultiplier;
extern QString TotalizerCustomUnit;
extern float ProcessDensity;
extern float StandardDensity;
extern float ProcessViscosity;
extern float PipeID;
extern float StrutSize;
extern float UserDefinedViscosity;
extern float UserDefinedDensity;
extern int DensityViscositySource;
extern QString PropertyTableName;
extern int PropertyTableVersion;
extern float UserDefinedTemperature;
extern int TemperatureSource;
extern float UserDefinedPressure;
extern int PressureSource;
extern int AlarmCurrentLevel;
extern float AtmosphericPressure;

// Diagnostics, analog input, flow profiling, property tables, digital pots
extern float AGCVoltage;
extern float AudioPPVoltage;
extern float AudioDCVoltage;
extern float UltrasonicPPVoltage;
extern float UltrasonicDCVoltage;
extern float VCCVoltage;
extern float LoopVoltage;
extern int16_t StatusCodes;
extern float BlockageFactor;
extern int16_t FaultLog;
extern int16_t MissingPulses;
extern float Reynolds;
extern float Strouhal;
extern int16_t WDRS;
extern float MTE;
extern float MPE;
extern QDate ModificationDate;
extern int ModificationNumber;  // unsigned 16-bit, 0..65535
extern float InputUpperRange;
extern float InputLowerRange;
extern float InputPressure;
extern float InputCurrent;
extern float AverageFlowVelocity;
extern float FlowVelocity;
extern QDate CalibrationDate;
extern int TableSize;
extern float ViscosityPointTemperature;
extern float ViscosityPointValue;
extern float DensityPointTemperature;
extern float DensityPointValue;
extern float GasAxisValue;
extern float GasDensityValue;
extern int CarrierMode;
extern int32_t CBW;
extern int32_t BCF;
extern int32_t CSP;
extern int32_t CFV;
extern int LowXmtPower;
extern int DigitalPot0;
extern int DigitalPot1;
extern int DigitalPot2;
extern int DigitalPot3;
extern int DigitalPot4;
extern int DigitalPot5;
extern int DigitalPot6;

// Sets every variable back to zero, empty or the null date, as at start.
void ResetStore();

}  // namespace app
