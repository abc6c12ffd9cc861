#include "app/commands/mGlobal.h"

namespace app {

// Every store variable once: defined here and cleared by ResetStore.
#define APP_STORE_VARIABLES(X) \
    X(int, UniversalCommandRevision) \
    X(int, SpecificCommandRevision) \
    X(int, HardwareRevision) \
    X(QString, Message) \
    X(QString, Tag) \
    X(QString, Descriptor) \
    X(QDate, DeviceDate) \
    X(int, SensorLimitsUnit) \
    X(float, UpperSensorLimit) \
    X(float, LowerSensorLimit) \
    X(float, MinimumSpan) \
    X(int, AlarmSelectionCode) \
    X(int, RangeUnitsCode) \
    X(float, UpperRangeValue) \
    X(float, LowerRangeValue) \
    X(float, DampingValue) \
    X(int32_t, FinalAssemblyNumber) \
    X(int, PVVariableCode) \
    X(int, MeterMode) \
    X(int, BurstModeFlag) \
    X(int, BurstCommandNumber) \
    X(int, AccessLevel) \
    X(int, PasswordProtectionFlag) \
    X(QString, ModelNumber) \
    X(int, TopLevelRevision) \
    X(QString, ModelDeviation) \
    X(QString, PartNumber) \
    X(int, MeterType) \
    X(int, MeterStyle) \
    X(int, SensorOption) \
    X(int, DisplayOption) \
    X(float, BaseTemperature) \
    X(float, BasePressure) \
    X(float, LowFlowCutoff) \
    X(int, PulseOutputMode) \
    X(float, UpperRangeFrequency) \
    X(float, PulseOutputFrequency) \
    X(float, UserDefinedFrequency) \
    X(int, TotalizerUnitCode) \
    X(float, TotalizerValue) \
    X(int, TotalizerRunning) \
    X(int, LCDDisplayMode) \
    X(float, KFactor) \
    X(int, SimulationMode) \
    X(float, TotalizerRollOverValue) \
    X(float, TotalizerMultiplier) \
    X(QString, TotalizerCustomUnit) \
    X(float, ProcessDensity) \
    X(float, StandardDensity) \
    X(float, ProcessViscosity) \
    X(float, PipeID) \
    X(float, StrutSize) \
    X(float, UserDefinedViscosity) \
    X(float, UserDefinedDensity) \
    X(int, DensityViscositySource) \
    X(QString, PropertyTableName) \
    X(int, PropertyTableVersion) \
    X(float, UserDefinedTemperature) \
    X(int, TemperatureSource) \
    X(float, UserDefinedPressure) \
    X(int, PressureSource) \
    X(int, AlarmCurrentLevel) \
    X(float, AtmosphericPressure) \
    X(float, AGCVoltage) \
    X(float, AudioPPVoltage) \
    X(float, AudioDCVoltage) \
    X(float, UltrasonicPPVoltage) \
    X(float, UltrasonicDCVoltage) \
    X(float, VCCVoltage) \
    X(float, LoopVoltage) \
    X(int16_t, StatusCodes) \
    X(float, BlockageFactor) \
    X(int16_t, FaultLog) \
    X(int16_t, MissingPulses) \
    X(float, Reynolds) \
    X(float, Strouhal) \
    X(int16_t, WDRS) \
    X(float, MTE) \
    X(float, MPE) \
    X(QDate, ModificationDate) \
    X(int, ModificationNumber) \
    X(float, InputUpperRange) \
    X(float, InputLowerRange) \
    X(float, InputPressure) \
    X(float, InputCurrent) \
    X(float, AverageFlowVelocity) \
    X(float, FlowVelocity) \
    X(QDate, CalibrationDate) \
    X(int, TableSize) \
    X(float, ViscosityPointTemperature) \
    X(float, ViscosityPointValue) \
    X(float, DensityPointTemperature) \
    X(float, DensityPointValue) \
    X(float, GasAxisValue) \
    X(float, GasDensityValue) \
    X(int, CarrierMode) \
    X(int32_t, CBW) \
    X(int32_t, BCF) \
    X(int32_t, CSP) \
    X(int32_t, CFV) \
    X(int, LowXmtPower) \
    X(int, DigitalPot0) \
    X(int, DigitalPot1) \
    X(int, DigitalPot2) \
    X(int, DigitalPot3) \
    X(int, DigitalPot4) \
    X(int, DigitalPot5) \
    X(int, DigitalPot6)

#define APP_DEFINE_STORE_VARIABLE(type, name) type name{};
APP_STORE_VARIABLES(APP_DEFINE_STORE_VARIABLE)
#undef APP_DEFINE_STORE_VARIABLE

void ResetStore() {
#define APP_RESET_STORE_VARIABLE(type, name) name = type{};
    APP_STORE_VARIABLES(APP_RESET_STORE_VARIABLE)
#undef APP_RESET_STORE_VARIABLE
}

}  // namespace app
