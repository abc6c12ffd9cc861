// The device command layer against a meter in-process: the decoder from
// scripted hex replies, the senders' request bytes as the simulated meter
// received them, the busy wait, unit texts and number texts.
#include <gtest/gtest.h>

#include <QLocale>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "app/commands/ReadHART.h"
#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/modUnitCodes.h"
#include "tests/support/linked_fenwire.h"
#include "tests/support/scripted_meter.h"
#include "tests/support/sim_on_pipe.h"

namespace {

// Opens the line on the meter that is port 1 while the test lives, and hands
// every reply to the decoder, as the port form does for replies it accepts.
struct OpenLink {
    explicit OpenLink(int addressMode) {
        app::ResetStore();
        app::setFenwire1(&control);
        control.put("cComMode", 2);
        control.put("cComState", 1);
        control.put("cAddrMode", addressMode);
        QObject::connect(&control, &app::FenwireControl::Result, [](short, short command, short result) {
            if (result == 1) app::ReadHART(command);
        });
    }
    ~OpenLink() {
        control.put("cComState", 0);
        app::setFenwire1(nullptr);
    }
    app::FenwireControl control{testsupport::linkedFenwireApi()};
};

class Decoder : public ::testing::Test {
protected:
    testsupport::ScriptedMeter meter;
    OpenLink link{2};  // unique identifier addressing: requests go straight out

    void answer(int command, const char* payloadHex, uint8_t responseCode = 0) {
        meter.script(command, payloadHex, responseCode);
    }
    // Bytes the buffer holds beyond a reply, as an earlier request or reply leaves them.
    void fillBuffer(uint8_t byte, int count) {
        for (int offset = 0; offset < count; ++offset) {
            link.control.put("xOffset", offset);
            link.control.put("xInt8", byte);
        }
    }
};

TEST_F(Decoder, UniversalCommandsFillIdentityMessageTagSensorOutputAndMapping) {
    answer(0, "FE 3D 0A 05 05 03 07 21 00 0A 1B 2C");
    answer(12, "58F49415880C3CF420D20B604153508083D54C5832820820");
    answer(13, "194B71C31820 4D4141360205044152833820 0F 06 63");
    answer(14, "000000 06 43960000 C2200000 41480000");
    answer(15, "01 FA 11 42C80000 00000000 3F000000");
    answer(16, "FF 34 56");
    answer(50, "03 04 05 06");
    app::SendCmd0();
    app::SendCmd12();
    app::SendCmd13();
    app::SendCmd14();
    app::SendCmd15();
    app::SendCmd16();
    app::SendCmd50();

    EXPECT_EQ(app::UniversalCommandRevision, 5);
    EXPECT_EQ(app::SpecificCommandRevision, 3);
    EXPECT_EQ(app::HardwareRevision, 0x21);  // kept whole
    EXPECT_EQ(app::Message, "VORTEX LOOP 4 - PUMP HOUSE 2    ");
    EXPECT_EQ(app::Tag, "FT-101  ");
    EXPECT_EQ(app::Descriptor, "STEAM HEADER 3  ");
    EXPECT_EQ(app::DeviceDate, QDate(1999, 6, 15));
    EXPECT_EQ(app::SensorLimitsUnit, 6);
    EXPECT_EQ(app::UpperSensorLimit, 300.0f);
    EXPECT_EQ(app::LowerSensorLimit, -40.0f);
    EXPECT_EQ(app::MinimumSpan, 12.5f);
    EXPECT_EQ(app::AlarmSelectionCode, 1);
    EXPECT_EQ(app::RangeUnitsCode, 17);
    EXPECT_EQ(app::UpperRangeValue, 100.0f);
    EXPECT_EQ(app::LowerRangeValue, 0.0f);
    EXPECT_EQ(app::DampingValue, 0.5f);
    EXPECT_EQ(app::FinalAssemblyNumber, 0xFF3456);  // unsigned 24 bits
    EXPECT_EQ(app::PVVariableCode, 3);
}

TEST_F(Decoder, MeterStatusIdentityAndOptions) {
    answer(129, "F0 01 03 00 02 01");
    answer(132, "598CB0C2D5ED314C60");
    answer(133, "0B");
    answer(135, "4D404E101484802549304820820820820820820820820820");
    answer(137, "40EB74D37C6DC32820820820 01 01 02 01");
    app::SendCmd129();
    app::SendCmd132();
    app::SendCmd133();
    app::SendCmd135();
    app::SendCmd137();

    EXPECT_EQ(app::MeterMode, 240);
    EXPECT_EQ(app::BurstModeFlag, 1);
    EXPECT_EQ(app::BurstCommandNumber, 3);
    EXPECT_EQ(app::AccessLevel, 2);
    EXPECT_EQ(app::PasswordProtectionFlag, 1);
    EXPECT_EQ(app::ModelNumber, "VX200-W-LT1 ");
    EXPECT_EQ(app::TopLevelRevision, 11);
    EXPECT_EQ(app::ModelDeviation, "STANDARD BUILD                  ");
    EXPECT_EQ(app::PartNumber, "PN-4471-02      ");
    EXPECT_EQ(app::MeterType, 1);
    EXPECT_EQ(app::MeterStyle, 1);
    EXPECT_EQ(app::SensorOption, 2);
    EXPECT_EQ(app::DisplayOption, 1);
}

TEST_F(Decoder, ConfigurationSettings) {
    answer(145, "42880000");
    answer(147, "416B3333");
    answer(149, "40500000");
    answer(150, "02");
    answer(152, "447A0000");
    answer(154, "43160000");
    answer(156, "42700000");
    answer(160, "28 47C35000 01");
    answer(164, "05");
    answer(167, "41920000");
    answer(170, "07 01");
    answer(188, "47C35000 41200000 082320820820");
    answer(205, "4279999A 42480000 3F99999A");
    answer(208, "400449BA");
    answer(210, "3F400000");
    answer(212, "40533333 425E0000");
    answer(214, "02");
    answer(216, "5C15054A0CB00E0820820820820820820820 04");
    answer(233, "42173333");
    answer(235, "01");
    answer(239, "40F00000");
    answer(241, "03");
    answer(250, "01");
    answer(252, "416B3333");
    for (auto send : {app::SendCmd145, app::SendCmd147, app::SendCmd149, app::SendCmd150, app::SendCmd152,
                      app::SendCmd154, app::SendCmd156, app::SendCmd160, app::SendCmd164, app::SendCmd167,
                      app::SendCmd170, app::SendCmd188, app::SendCmd205, app::SendCmd208, app::SendCmd210,
                      app::SendCmd212, app::SendCmd214, app::SendCmd216, app::SendCmd233, app::SendCmd235,
                      app::SendCmd239, app::SendCmd241, app::SendCmd250, app::SendCmd252})
        send();

    EXPECT_EQ(app::BaseTemperature, 68.0f);
    EXPECT_EQ(app::BasePressure, 14.7f);
    EXPECT_EQ(app::LowFlowCutoff, 3.25f);
    EXPECT_EQ(app::PulseOutputMode, 2);
    EXPECT_EQ(app::UpperRangeFrequency, 1000.0f);
    EXPECT_EQ(app::PulseOutputFrequency, 150.0f);
    EXPECT_EQ(app::UserDefinedFrequency, 60.0f);
    EXPECT_EQ(app::TotalizerUnitCode, 40);
    EXPECT_EQ(app::TotalizerValue, 100000.0f);
    EXPECT_EQ(app::TotalizerRunning, 1);
    EXPECT_EQ(app::LCDDisplayMode, 5);
    EXPECT_EQ(app::KFactor, 18.25f);
    EXPECT_EQ(app::SimulationMode, 1);  // byte 1, not byte 0
    EXPECT_EQ(app::TotalizerRollOverValue, 100000.0f);
    EXPECT_EQ(app::TotalizerMultiplier, 10.0f);
    EXPECT_EQ(app::TotalizerCustomUnit, "BBL     ");
    EXPECT_EQ(app::ProcessDensity, 62.4f);
    EXPECT_EQ(app::StandardDensity, 50.0f);
    EXPECT_EQ(app::ProcessViscosity, 1.2f);
    EXPECT_EQ(app::PipeID, 2.067f);
    EXPECT_EQ(app::StrutSize, 0.75f);
    EXPECT_EQ(app::UserDefinedViscosity, 3.3f);
    EXPECT_EQ(app::UserDefinedDensity, 55.5f);
    EXPECT_EQ(app::DensityViscositySource, 2);
    EXPECT_EQ(app::PropertyTableName, "WATER 20C               ");
    EXPECT_EQ(app::PropertyTableVersion, 4);
    EXPECT_EQ(app::UserDefinedTemperature, 37.8f);
    EXPECT_EQ(app::TemperatureSource, 1);
    EXPECT_EQ(app::UserDefinedPressure, 7.5f);
    EXPECT_EQ(app::PressureSource, 3);
    EXPECT_EQ(app::AlarmCurrentLevel, 1);
    EXPECT_EQ(app::AtmosphericPressure, 14.7f);
}

TEST_F(Decoder, DiagnosticsAndAnalogInput) {
    answer(178, "3F000000 3FC00000 40200000 40500000 40800000");
    answer(179, "40533333 41C00000 8001 3E4CCCCD 0102");
    answer(180, "FFFE 47C35000 3E4CCCCD 0064");
    answer(182, "3CA3D70A 3A83126F");
    answer(183, "1F 0C 64 01 2C");
    answer(184, "42C80000 00000000 42480000 41400000");
    for (auto send : {app::SendCmd178, app::SendCmd179, app::SendCmd180, app::SendCmd182, app::SendCmd183,
                      app::SendCmd184})
        send();

    EXPECT_EQ(app::AGCVoltage, 0.5f);
    EXPECT_EQ(app::AudioPPVoltage, 1.5f);
    EXPECT_EQ(app::AudioDCVoltage, 2.5f);
    EXPECT_EQ(app::UltrasonicPPVoltage, 3.25f);
    EXPECT_EQ(app::UltrasonicDCVoltage, 4.0f);
    EXPECT_EQ(app::VCCVoltage, 3.3f);
    EXPECT_EQ(app::LoopVoltage, 24.0f);
    EXPECT_EQ(app::StatusCodes, -32767);  // signed 16 bits
    EXPECT_EQ(app::BlockageFactor, 0.2f);
    EXPECT_EQ(app::FaultLog, 0x0102);
    EXPECT_EQ(app::MissingPulses, -2);
    EXPECT_EQ(app::Reynolds, 100000.0f);
    EXPECT_EQ(app::Strouhal, 0.2f);
    EXPECT_EQ(app::WDRS, 100);
    EXPECT_EQ(app::MTE, 0.02f);
    EXPECT_EQ(app::MPE, 0.001f);
    EXPECT_EQ(app::ModificationDate, QDate(2000, 12, 31));
    EXPECT_EQ(app::ModificationNumber, 300);  // 1 * 256 + 44
    EXPECT_EQ(app::InputUpperRange, 100.0f);
    EXPECT_EQ(app::InputLowerRange, 0.0f);
    EXPECT_EQ(app::InputPressure, 50.0f);
    EXPECT_EQ(app::InputCurrent, 12.0f);
}

TEST_F(Decoder, FlowProfilingPropertyTablesCarrierAndPots) {
    answer(196, "40D00000");
    answer(197, "41080000");
    answer(199, "01 02 69");
    answer(218, "01 0C");
    answer(221, "03 41A00000 3FC00000");
    answer(223, "04 42480000 4279999A");
    answer(225, "01 02 43960000");
    answer(227, "03 04 3E800000");
    answer(229, "02 00000010 FFFFFFFF 00010000 7FFFFFFF 01");
    answer(231, "0A 0B 0C 0D 0E 0F FF");
    app::SendCmd196();
    app::SendCmd197();
    app::SendCmd199();
    app::SendCmd218(1);
    app::SendCmd221(3);
    app::SendCmd223(4);
    app::SendCmd225(1, 2);
    app::SendCmd227(3, 4);
    app::SendCmd229();
    app::SendCmd231();

    EXPECT_EQ(app::AverageFlowVelocity, 6.5f);
    EXPECT_EQ(app::FlowVelocity, 8.5f);
    EXPECT_EQ(app::CalibrationDate, QDate(2005, 2, 1));
    EXPECT_EQ(app::TableSize, 12);
    EXPECT_EQ(app::ViscosityPointTemperature, 20.0f);
    EXPECT_EQ(app::ViscosityPointValue, 1.5f);
    EXPECT_EQ(app::DensityPointTemperature, 50.0f);
    EXPECT_EQ(app::DensityPointValue, 62.4f);
    EXPECT_EQ(app::GasAxisValue, 300.0f);
    EXPECT_EQ(app::GasDensityValue, 0.25f);
    EXPECT_EQ(app::CarrierMode, 2);
    EXPECT_EQ(app::CBW, 16);
    EXPECT_EQ(app::BCF, -1);
    EXPECT_EQ(app::CSP, 65536);
    EXPECT_EQ(app::CFV, 0x7FFFFFFF);
    EXPECT_EQ(app::LowXmtPower, 1);
    const int pots[] = {app::DigitalPot0, app::DigitalPot1, app::DigitalPot2, app::DigitalPot3,
                        app::DigitalPot4, app::DigitalPot5, app::DigitalPot6};
    EXPECT_EQ(std::vector<int>(std::begin(pots), std::end(pots)), (std::vector<int>{10, 11, 12, 13, 14, 15, 255}));
}

TEST_F(Decoder, DatesCountYearsFrom1900AndImpossibleDatesAreNull) {
    answer(13, "194B71C31820 4D4141360205044152833820 0F 06 69");
    app::SendCmd13();
    EXPECT_EQ(app::DeviceDate, QDate(2005, 6, 15));
    answer(199, "1D 02 64");  // 29 February 2000 exists
    app::SendCmd199();
    EXPECT_EQ(app::CalibrationDate, QDate(2000, 2, 29));
    answer(199, "00 00 00");
    app::SendCmd199();
    EXPECT_TRUE(app::CalibrationDate.isNull());
}

TEST_F(Decoder, WritesAndCommandsWithoutFieldsChangeNothing) {
    answer(17, "0CC141485120820820820820820820820820820820820820");  // echoes "CLEARED"
    answer(253, "416B3333");
    app::SendCmd17("CLEARED");
    app::SendCmd253(14.7f);
    EXPECT_TRUE(app::Message.isEmpty());
    EXPECT_EQ(app::AtmosphericPressure, 0.0f);
    EXPECT_EQ(app::Tag, QString());

    for (int command : {-1, 1, 253, 300}) app::ReadHART(command);
    EXPECT_EQ(app::UpperRangeValue, 0.0f);
    EXPECT_EQ(app::AGCVoltage, 0.0f);
}

// The buffer beyond a reply still holds the bytes of earlier requests and
// replies; a field the reply does not carry whole keeps its stored value.
TEST_F(Decoder, ShortRepliesLeaveFieldsTheyDidNotCarry) {
    answer(129, "F0 00 01 00 02 00");
    app::SendCmd129();
    ASSERT_EQ(app::MeterMode, 240);
    answer(128, "");
    app::SendCmd128(241);  // leaves F1 in byte 0 of the buffer
    answer(129, "", 64);   // "command not implemented": status bytes only
    app::SendCmd129();
    EXPECT_EQ(link.control.get("cRcvLen"), 0);
    EXPECT_EQ(app::MeterMode, 240);
    EXPECT_EQ(app::AccessLevel, 2);

    answer(15, "01 FA 11 42C80000 00000000 3F000000");
    app::SendCmd15();
    fillBuffer(0xAA, 20);
    answer(15, "00 FA 0C 42480000");  // carries the upper range value, nothing after it
    app::SendCmd15();
    EXPECT_EQ(app::AlarmSelectionCode, 0);
    EXPECT_EQ(app::RangeUnitsCode, 12);
    EXPECT_EQ(app::UpperRangeValue, 50.0f);
    EXPECT_EQ(app::LowerRangeValue, 0.0f);
    EXPECT_EQ(app::DampingValue, 0.5f);

    answer(137, "40EB74D37C6DC32820820820 01 01 02 01");
    app::SendCmd137();
    fillBuffer(0xAA, 20);
    answer(137, "5011F1820820 820820820820 00");  // part number and meter type only
    app::SendCmd137();
    EXPECT_EQ(app::PartNumber, "TAG1            ");
    EXPECT_EQ(app::MeterType, 0);
    EXPECT_EQ(app::MeterStyle, 1);
    EXPECT_EQ(app::SensorOption, 2);
    EXPECT_EQ(app::DisplayOption, 1);

    answer(183, "1F 0C 64 01 2C");
    app::SendCmd183();
    fillBuffer(0xAA, 20);
    answer(183, "01 01 65 02");  // date whole, modification number cut
    app::SendCmd183();
    EXPECT_EQ(app::ModificationDate, QDate(2001, 1, 1));
    EXPECT_EQ(app::ModificationNumber, 300);
}

// Senders against the simulated meter, which logs every request it receives.
class Senders : public ::testing::Test {
protected:
    testsupport::SimOnPipe sim;
    OpenLink link{0};  // polling address 0: command 0 first, then the long address

    // The data bytes of the last request for `command`, as hex; "absent" if none.
    std::string lastRequest(int command) const {
        const auto& log = sim.meter.requestLog();
        for (auto it = log.rbegin(); it != log.rend(); ++it) {
            if (it->command != command) continue;
            std::string text;
            char digits[3];
            for (uint8_t byte : it->data) {
                std::snprintf(digits, sizeof digits, "%02X", byte);
                text += digits;
            }
            return text;
        }
        return "absent";
    }
};

std::string withoutBlanks(std::string hex) {
    std::erase(hex, ' ');
    return hex;
}

TEST_F(Senders, RequestBytesFollowTheLayouts) {
    struct Case {
        int command;
        std::function<void()> send;
        const char* request;
    };
    const Case cases[] = {
        {0, app::SendCmd0, ""},
        {1, app::SendAction1, ""},
        {2, app::SendAction2, ""},
        {3, app::SendAction3, ""},
        {15, app::SendCmd15, ""},
        {17, [] { app::SendCmd17("hello"); }, "20530C3E0820820820820820820820820820820820820820"},
        {18, [] { app::SendCmd18("TAG", "DESC", QDate(2001, 3, 3)); },
         "5011E0820820 1054C3820820820820820820 03 03 65"},
        {19, [] { app::SendCmd19(0x123456); }, "123456"},
        {34, [] { app::SendCmd34(0.5f); }, "3F000000"},
        {35, [] { app::SendCmd35(17, 100.0f, 0.0f); }, "11 42C80000 00000000"},
        {53, [] { app::SendCmd53(4, 32); }, "04 20"},
        {128, [] { app::SendCmd128(241); }, "F1"},
        {158, [] { app::SendCmd158(100.0f, 0.0f); }, "42C80000 00000000"},
        {187, [] { app::SendCmd187(1000.0f, 10.0f, "BBL"); }, "447A0000 41200000 082320820820"},
        {213, [] { app::SendCmd213(1.2f, 62.4f); }, "3F99999A 4279999A"},
        {219, [] { app::SendCmd219(2, 12); }, "02 0C"},
        {220, [] { app::SendCmd220(3, 20.0f, 1.5f); }, "03 41A00000 3FC00000"},
        {222, [] { app::SendCmd222(4, 50.0f, 62.4f); }, "04 42480000 4279999A"},
        {224, [] { app::SendCmd224(1, 2, 1.5f); }, "01 02 3FC00000"},
        {226, [] { app::SendCmd226(4, 5, 0.25f); }, "04 05 3E800000"},
        {230, [] { app::SendCmd230(5, 9); }, "05 09 43 56 52 4E 50 4F 54 53"},
        {247, [] { app::SendCmd247(0, "CVN1"); }, "00 0D63B1"},
        {248, [] { app::SendCmd248(2, "CVN1"); }, "02 0D63B1"},
        {253, [] { app::SendCmd253(14.7f); }, "416B3333"},
    };
    for (const Case& c : cases) {
        c.send();
        EXPECT_EQ(lastRequest(c.command), withoutBlanks(c.request)) << "command " << c.command;
    }
}

TEST_F(Senders, ValuesOutsideTheirBytesAreClampedNotLeftStale) {
    app::SendCmd19(0x123456);  // leaves 12 34 56 in the buffer
    app::SendCmd19(-5);
    EXPECT_EQ(lastRequest(19), "000000");
    app::SendCmd19(20000000);
    EXPECT_EQ(lastRequest(19), "FFFFFF");
    app::SendCmd18("TAG", "DESC", QDate(1850, 1, 2));
    EXPECT_EQ(lastRequest(18).substr(36), "020100");
}

TEST_F(Senders, PropertyTableNameIsMade24CharactersInPlace) {
    QString name = "NAME10CHAR";
    app::SendCmd217(name, 7);
    EXPECT_EQ(name, "NAME10CHAR" + QString(14, u' '));
    EXPECT_EQ(lastRequest(217), withoutBlanks("381345C700C8052820820820820820820820 07"));

    name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    app::SendCmd217(name, 8);
    EXPECT_EQ(name, "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(lastRequest(217), withoutBlanks("0420C41461C824A2CC34E3D04524D45565D8 08"));
}

TEST_F(Senders, ActionsLeaveTheUniversalValuesInTheControl) {
    app::SendAction1();
    EXPECT_EQ(link.control.get("cComResult"), 1);
    EXPECT_FALSE(link.control.getText("p01sPvUnit").isEmpty());
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST(BusyWait, ReturnsAtOnceWithoutAControlOrAnOpenLine) {
    testsupport::ScriptedMeter meter;
    meter.script(15, "01 FA 11 42C80000 00000000 3F000000");
    app::setFenwire1(nullptr);
    app::WaitWhileBusy();
    app::SendCmd15();
    app::SendCmd0();
    app::SendAction1();

    app::FenwireControl control(testsupport::linkedFenwireApi());
    app::setFenwire1(&control);
    const auto start = std::chrono::steady_clock::now();
    app::SendCmd15();  // the line is closed: nothing goes out
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(control.get("cBusy"), 0);
    EXPECT_EQ(meter.line.writeCount(), 0u);
    app::setFenwire1(nullptr);
}

TEST(BusyWait, SleepsWhileTheMeterIsSlow) {
    corvane::sim::FaultOptions faults;
    faults.late = 1.0;  // every reply comes after the master stopped waiting
    testsupport::SimOnPipe sim(faults);
    OpenLink link(0);
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    app::SendCmd15();
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    EXPECT_EQ(link.control.get("cBusy"), 0);
    EXPECT_EQ(link.control.get("cComResult"), 2);
    EXPECT_GT(wall, 0.03);        // the driver waited and retried
    EXPECT_LT(cpu, 0.25 * wall);  // while the user-interface thread slept
}

TEST(UnitText, TextsOfEachGroup) {
    EXPECT_EQ(app::UnitText(15), QString::fromUtf8("ft\u00B3/min"));
    EXPECT_EQ(app::UnitText(15).size(), 7);
    EXPECT_EQ(app::UnitText(131), QString::fromUtf8("m\u00B3/min"));
    EXPECT_EQ(app::UnitText(23), "Million US Gal/day");
    EXPECT_EQ(app::UnitText(240), "User Defined Volume Flow");
    EXPECT_EQ(app::UnitText(77), "Metric Ton / Min");
    EXPECT_EQ(app::UnitText(241), "User defined mass flow");
    EXPECT_EQ(app::UnitText(35), "Deg K");
    EXPECT_EQ(app::UnitText(10), "Kg/SqCm");
    EXPECT_EQ(app::UnitText(116), "f/min");
    EXPECT_EQ(app::UnitText(49), "millimeter");
    EXPECT_EQ(app::UnitText(112), "Cu Feet");
    EXPECT_EQ(app::UnitText(64), "Short lbs");
    for (int code : {0, 1, 39, 250, -1, 256, 1000}) EXPECT_TRUE(app::UnitText(code).isEmpty()) << code;
}

// Sets the user's locale for one test.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

TEST(NumberText, SevenSignificantDigitsThenScientific) {
    LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(app::NumberText(12.5f), "12.5");
    EXPECT_EQ(app::NumberText(2.0f), "2");
    EXPECT_EQ(app::NumberText(0.1f), "0.1");  // stored as 0.100000001...
    EXPECT_EQ(app::NumberText(-2.5f), "-2.5");
    EXPECT_EQ(app::NumberText(-0.0f), "0");
    EXPECT_EQ(app::NumberText(1234567.0f), "1234567");
    EXPECT_EQ(app::NumberText(0.0001f), "0.0001");
    EXPECT_EQ(app::NumberText(0.00001f), "1E-05");
    EXPECT_EQ(app::NumberText(12345678.0f), "1.234568E+07");
    EXPECT_EQ(app::NumberText(3.4028235e38f), "3.402823E+38");
    EXPECT_EQ(app::NumberText(1.5e-30f), "1.5E-30");
    EXPECT_EQ(app::NumberText(1.5e-40f), "1.500006E-40");  // a subnormal, stored as it is
    // Exact ties at the seventh digit go to the even neighbour.
    EXPECT_EQ(app::NumberText(10000005.0f), "1E+07");
    EXPECT_EQ(app::NumberText(10000015.0f), "1.000002E+07");
    EXPECT_EQ(app::NumberText(std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(app::NumberText(-std::numeric_limits<float>::infinity()), "-Infinity");
}

TEST(NumberText, RoundedHalvesToEvenOnTheStoredValue) {
    LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(app::RoundedText(3.06f, 1), "3.1");
    EXPECT_EQ(app::RoundedText(3.0f, 1), "3");
    EXPECT_EQ(app::RoundedText(2.0669999f, 5), "2.067");
    EXPECT_EQ(app::RoundedText(2.675f, 2), "2.67");  // stored just below 2.675
    EXPECT_EQ(app::RoundedText(0.125f, 2), "0.12");  // exact tie: even
    EXPECT_EQ(app::RoundedText(0.375f, 2), "0.38");
    EXPECT_EQ(app::RoundedText(2.5f, 0), "2");
    EXPECT_EQ(app::RoundedText(3.5f, 0), "4");
    EXPECT_EQ(app::RoundedText(-0.001f, 2), "0");
    EXPECT_EQ(app::RoundedText(-1.25f, 1), "-1.2");
    EXPECT_EQ(app::RoundedText(12345678.0f, 1), "12345678");  // plain, not scientific
    EXPECT_EQ(app::RoundedText(7.5f, -3), "8");
    EXPECT_EQ(app::RoundedText(std::numeric_limits<float>::infinity(), 2), "Infinity");
}

TEST(NumberText, ScreensUseTheLocaleFilesUseAPoint) {
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(app::NumberText(12.5f), "12,5");
    EXPECT_EQ(app::NumberText(1234567.0f), "1234567");  // no group separators
    EXPECT_EQ(app::RoundedText(3.06f, 1), "3,1");
    EXPECT_EQ(app::FileNumberText(12.5f), "12.5");
    EXPECT_EQ(app::FileNumberText(-0.00001f), "-1E-05");
}

TEST(NumericEntry, NumbersInTheUsersLocale) {
    LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const char* text : {"5", "-5", "+5", " 5 ", "5.", ".5", "0.001", "1e-3", "1E+40", "-2.5E7"})
        EXPECT_TRUE(app::IsNumeric(text)) << text;
    for (const char* text : {"", " ", "+", "-", ".", "1e", "1e+", "e5", "abc", "1.2.3", "1,000", "5 5", "--5",
                             "NaN", "inf", "Infinity", "0x10", "1,5"})
        EXPECT_FALSE(app::IsNumeric(text)) << text;

    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(app::IsNumeric("1,5"));
    EXPECT_TRUE(app::IsNumeric("-1,5E+3"));
    EXPECT_FALSE(app::IsNumeric("1.5"));  // the group separator there, not a decimal point
    EXPECT_FALSE(app::IsNumeric("1.000,5"));
}

TEST(NumericEntry, ParseGivesFiniteSinglesOnly) {
    LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    float value = 7.0f;
    EXPECT_TRUE(app::ParseNumber("12.5", value));
    EXPECT_EQ(value, 12.5f);
    EXPECT_TRUE(app::ParseNumber("0.1", value));
    EXPECT_EQ(value, 0.1f);
    EXPECT_TRUE(app::ParseNumber(" -2.5E7 ", value));
    EXPECT_EQ(value, -2.5e7f);
    EXPECT_TRUE(app::ParseNumber("3.4E+38", value));
    EXPECT_EQ(value, 3.4e38f);
    EXPECT_TRUE(app::ParseNumber("1E-50", value));  // below the smallest single: zero
    EXPECT_EQ(value, 0.0f);

    value = 7.0f;
    for (const char* text : {"1E+40", "-1E+39", "3.5E38", "1E+99999999999", "100000000000000000000000000000000000000000",
                             "", "abc", "NaN", "Infinity", "1,5"}) {
        EXPECT_FALSE(app::ParseNumber(text, value)) << text;
        EXPECT_EQ(value, 7.0f) << text;
    }

    LocaleScope swedish(QLocale(QLocale::Swedish, QLocale::Sweden));
    const QLocale locale;
    EXPECT_TRUE(app::ParseNumber(locale.negativeSign() + "2" + locale.decimalPoint() + "5", value));
    EXPECT_EQ(value, -2.5f);
    EXPECT_TRUE(app::ParseNumber("-2" + locale.decimalPoint() + "5", value));
    EXPECT_EQ(value, -2.5f);
    EXPECT_TRUE(app::ParseNumber(app::NumberText(-0.00001f), value));  // screen text reads back
    EXPECT_EQ(value, -0.00001f);
}

}  // namespace
