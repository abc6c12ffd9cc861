#include "app/commands/ReadHART.h"

#include <type_traits>
#include <variant>

#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"

namespace app {

namespace {

// How a field is laid out in the reply data.
enum class Layout {
    Byte,         // 1 byte, 0..255
    Int16,        // 2 bytes, signed
    Int24,        // 3 bytes, unsigned
    Int32,        // 4 bytes, signed
    Float,        // 4 bytes, IEEE single
    PackedASCII,  // packedBytes bytes, 4 characters per 3 bytes
    Date,         // 3 bytes: day, month, year - 1900
    Word,         // 2 bytes read one by one: high * 256 + low, unsigned
};

// int32_t is int here: the int32 fields share the int alternative.
static_assert(std::is_same_v<int32_t, int>);
using Target = std::variant<int*, int16_t*, float*, QString*, QDate*>;

struct Field {
    int command;
    int offset;
    Layout layout;
    Target target;
    int packedBytes = 0;
};

int fieldLength(const Field& field) {
    switch (field.layout) {
    case Layout::Byte: return 1;
    case Layout::Int16: return 2;
    case Layout::Int24: return 3;
    case Layout::Int32: return 4;
    case Layout::Float: return 4;
    case Layout::PackedASCII: return field.packedBytes;
    case Layout::Date: return 3;
    case Layout::Word: return 2;
    }
    return 0;
}

Field byteAt(int command, int offset, int& variable) { return {command, offset, Layout::Byte, &variable}; }
Field int16At(int command, int offset, int16_t& variable) { return {command, offset, Layout::Int16, &variable}; }
Field int24At(int command, int offset, int32_t& variable) { return {command, offset, Layout::Int24, &variable}; }
Field int32At(int command, int offset, int32_t& variable) { return {command, offset, Layout::Int32, &variable}; }
Field floatAt(int command, int offset, float& variable) { return {command, offset, Layout::Float, &variable}; }
Field dateAt(int command, int offset, QDate& variable) { return {command, offset, Layout::Date, &variable}; }
Field wordAt(int command, int offset, int& variable) { return {command, offset, Layout::Word, &variable}; }
Field packedAt(int command, int offset, int packedBytes, QString& variable) {
    return {command, offset, Layout::PackedASCII, &variable, packedBytes};
}

// Every stored reply field, grouped by command, in decoding order.
const Field kFields[] = {
    byteAt(0, 4, UniversalCommandRevision),
    byteAt(0, 5, SpecificCommandRevision),
    byteAt(0, 7, HardwareRevision),
    packedAt(12, 0, 24, Message),
    packedAt(13, 0, 6, Tag),
    packedAt(13, 6, 12, Descriptor),
    dateAt(13, 18, DeviceDate),
    byteAt(14, 3, SensorLimitsUnit),
    floatAt(14, 4, UpperSensorLimit),
    floatAt(14, 8, LowerSensorLimit),
    floatAt(14, 12, MinimumSpan),
    byteAt(15, 0, AlarmSelectionCode),
    byteAt(15, 2, RangeUnitsCode),
    floatAt(15, 3, UpperRangeValue),
    floatAt(15, 7, LowerRangeValue),
    floatAt(15, 11, DampingValue),
    int24At(16, 0, FinalAssemblyNumber),
    byteAt(50, 0, PVVariableCode),

    byteAt(129, 0, MeterMode),
    byteAt(129, 1, BurstModeFlag),
    byteAt(129, 2, BurstCommandNumber),
    byteAt(129, 4, AccessLevel),
    byteAt(129, 5, PasswordProtectionFlag),
    packedAt(132, 0, 9, ModelNumber),
    byteAt(133, 0, TopLevelRevision),
    packedAt(135, 0, 24, ModelDeviation),
    packedAt(137, 0, 12, PartNumber),
    byteAt(137, 12, MeterType),
    byteAt(137, 13, MeterStyle),
    byteAt(137, 14, SensorOption),
    byteAt(137, 15, DisplayOption),
    floatAt(145, 0, BaseTemperature),
    floatAt(147, 0, BasePressure),
    floatAt(149, 0, LowFlowCutoff),
    byteAt(150, 0, PulseOutputMode),
    floatAt(152, 0, UpperRangeFrequency),
    floatAt(154, 0, PulseOutputFrequency),
    floatAt(156, 0, UserDefinedFrequency),
    byteAt(160, 0, TotalizerUnitCode),
    floatAt(160, 1, TotalizerValue),
    byteAt(160, 5, TotalizerRunning),
    byteAt(164, 0, LCDDisplayMode),
    floatAt(167, 0, KFactor),
    byteAt(170, 1, SimulationMode),
    floatAt(188, 0, TotalizerRollOverValue),
    floatAt(188, 4, TotalizerMultiplier),
    packedAt(188, 8, 6, TotalizerCustomUnit),
    floatAt(205, 0, ProcessDensity),
    floatAt(205, 4, StandardDensity),
    floatAt(205, 8, ProcessViscosity),
    floatAt(208, 0, PipeID),
    floatAt(210, 0, StrutSize),
    floatAt(212, 0, UserDefinedViscosity),
    floatAt(212, 4, UserDefinedDensity),
    byteAt(214, 0, DensityViscositySource),
    packedAt(216, 0, 18, PropertyTableName),
    byteAt(216, 18, PropertyTableVersion),
    floatAt(233, 0, UserDefinedTemperature),
    byteAt(235, 0, TemperatureSource),
    floatAt(239, 0, UserDefinedPressure),
    byteAt(241, 0, PressureSource),
    byteAt(250, 0, AlarmCurrentLevel),
    floatAt(252, 0, AtmosphericPressure),

    floatAt(178, 0, AGCVoltage),
    floatAt(178, 4, AudioPPVoltage),
    floatAt(178, 8, AudioDCVoltage),
    floatAt(178, 12, UltrasonicPPVoltage),
    floatAt(178, 16, UltrasonicDCVoltage),
    floatAt(179, 0, VCCVoltage),
    floatAt(179, 4, LoopVoltage),
    int16At(179, 8, StatusCodes),
    floatAt(179, 10, BlockageFactor),
    int16At(179, 14, FaultLog),
    int16At(180, 0, MissingPulses),
    floatAt(180, 2, Reynolds),
    floatAt(180, 6, Strouhal),
    int16At(180, 10, WDRS),
    floatAt(182, 0, MTE),
    floatAt(182, 4, MPE),
    dateAt(183, 0, ModificationDate),
    wordAt(183, 3, ModificationNumber),
    floatAt(184, 0, InputUpperRange),
    floatAt(184, 4, InputLowerRange),
    floatAt(184, 8, InputPressure),
    floatAt(184, 12, InputCurrent),
    floatAt(196, 0, AverageFlowVelocity),
    floatAt(197, 0, FlowVelocity),
    dateAt(199, 0, CalibrationDate),
    byteAt(218, 1, TableSize),
    floatAt(221, 1, ViscosityPointTemperature),
    floatAt(221, 5, ViscosityPointValue),
    floatAt(223, 1, DensityPointTemperature),
    floatAt(223, 5, DensityPointValue),
    floatAt(225, 2, GasAxisValue),
    floatAt(227, 2, GasDensityValue),
    byteAt(229, 0, CarrierMode),
    int32At(229, 1, CBW),
    int32At(229, 5, BCF),
    int32At(229, 9, CSP),
    int32At(229, 13, CFV),
    byteAt(229, 17, LowXmtPower),
    byteAt(231, 0, DigitalPot0),
    byteAt(231, 1, DigitalPot1),
    byteAt(231, 2, DigitalPot2),
    byteAt(231, 3, DigitalPot3),
    byteAt(231, 4, DigitalPot4),
    byteAt(231, 5, DigitalPot5),
    byteAt(231, 6, DigitalPot6),
};

constexpr int kHighestDecodedCommand = 252;

int byteAtOffset(FenwireControl& control, int offset) {
    control.put("xOffset", offset);
    return control.get("xInt8");
}

void decode(FenwireControl& control, const Field& field) {
    control.put("xOffset", field.offset);
    switch (field.layout) {
    case Layout::Byte: *std::get<int*>(field.target) = control.get("xInt8"); break;
    case Layout::Int16: *std::get<int16_t*>(field.target) = static_cast<int16_t>(control.get("xInt16")); break;
    case Layout::Int24: *std::get<int*>(field.target) = control.get("xInt24"); break;
    case Layout::Int32: *std::get<int*>(field.target) = control.get("xInt32"); break;
    case Layout::Float: *std::get<float*>(field.target) = control.getFloat("xFloat"); break;
    case Layout::PackedASCII:
        control.put("xPackedASCIILen", field.packedBytes);
        *std::get<QString*>(field.target) = control.getText("xPackedASCII");
        break;
    case Layout::Date: {
        const int day = byteAtOffset(control, field.offset);
        const int month = byteAtOffset(control, field.offset + 1);
        const int year = 1900 + byteAtOffset(control, field.offset + 2);
        // Impossible day/month bytes give the null date.
        *std::get<QDate*>(field.target) = QDate(year, month, day);
        break;
    }
    case Layout::Word: {
        const int high = byteAtOffset(control, field.offset);
        const int low = byteAtOffset(control, field.offset + 1);
        *std::get<int*>(field.target) = high * 256 + low;
        break;
    }
    }
}

}  // namespace

void ReadHART(int command) {
    FenwireControl* control = Fenwire1();
    if (!control || command < 0 || command > kHighestDecodedCommand) return;
    // The buffer beyond the reply still holds older bytes (an earlier reply or
    // request): a field the reply did not carry whole keeps its stored value.
    const int received = control->get("cRcvLen");
    for (const Field& field : kFields)
        if (field.command == command && field.offset + fieldLength(field) <= received) decode(*control, field);
}

}  // namespace app
