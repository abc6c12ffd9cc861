// Profiles: the shipped ones load, bad ones are refused clearly and change nothing.
#include "sim/profile.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim_test_util.h"

namespace corvane::sim::test {
namespace {

const std::string kProfiles = CORVANE_SIM_PROFILES;

std::string writeTemp(const std::string& name, const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("corvane_sim_" + std::to_string(getpid()) + "_" + name);
    std::ofstream(path) << text;
    return path.string();
}

TEST(MeterProfile, LiquidProfileRestatesTheDefaults) {
    TestMeter t;
    std::string error;
    const auto before = t.send(0).payload;
    const auto output = t.send(15).payload;
    const auto sensor = t.send(14).payload;
    ASSERT_TRUE(t.meter.loadProfile(kProfiles + "/liquid_wafer.profile", &error)) << error;
    EXPECT_EQ(t.send(0).payload, before);
    EXPECT_EQ(t.send(15).payload, output);
    EXPECT_EQ(t.send(14).payload, sensor);
    EXPECT_EQ(t.send(13).payload, TestMeter().send(13).payload);
}

TEST(MeterProfile, GasInsertionProfile) {
    TestMeter t;
    std::string error;
    ASSERT_TRUE(t.meter.loadProfile(kProfiles + "/gas_insertion.profile", &error)) << error;
    auto identity = t.send(0);
    EXPECT_FALSE(identity.answered);  // the device type and id changed: the old long address is gone
    auto reply = t.meter.handle(frame("02 80 00 00 82"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(wendrel::toHex(reply->payload()), "FE 3D 02 05 05 01 0C 08 00 0B 2C 3D");
    auto pv = t.meter.handle(wendrel::makeRequestLong({0x3D, 0x02, 0x0B, 0x2C, 0x3D}, 1, {}))->payload();
    EXPECT_EQ(pv[0], 82);  // lb/h
    EXPECT_NEAR(floatAt(pv, 1), 28100, 3000);
}

TEST(MeterProfile, ShippedMetersDifferWhereTheyShould) {
    struct Expect {
        const char* profile;
        const char* options;   // command 137 bytes 12..15: type, style, sensors, display
        uint8_t mode;          // command 129 byte 0
        uint8_t protection;    // command 129 byte 5
        uint8_t software;      // command 0 byte 6
    };
    const Expect expected[] = {
        {"liquid_wafer", "01 00 01 00", 241, 0, 12},
        {"gas_insertion", "00 01 03 01", 240, 0, 12},
        {"steam", "02 00 01 01", 241, 0, 18},
        {"older_meter", "01 00 00 00", 241, 0, 8},
        {"password_protected", "01 00 01 00", 240, 1, 12},
    };
    for (const auto& e : expected) {
        TestMeter t;
        std::string error;
        ASSERT_TRUE(t.meter.loadProfile(kProfiles + "/" + e.profile + ".profile", &error)) << error;
        auto ask = [&](uint8_t command) {
            return t.meter.handle(wendrel::makeRequestShort(0, command, {}))->payload();
        };
        const auto options = ask(137);
        EXPECT_EQ(wendrel::toHex(std::vector<uint8_t>(options.begin() + 12, options.end())), e.options) << e.profile;
        EXPECT_EQ(ask(129).at(0), e.mode) << e.profile;
        EXPECT_EQ(ask(129).at(5), e.protection) << e.profile;
        EXPECT_EQ(ask(0).at(6), e.software) << e.profile;
        EXPECT_EQ(ask(1).size(), 5u);
    }
    // The protected meter opens with its password only.
    TestMeter t;
    ASSERT_TRUE(t.meter.loadProfile(kProfiles + "/password_protected.profile", nullptr));
    auto send = [&](uint8_t command, const std::string& data) {
        return t.meter.handle(wendrel::makeRequestShort(0, command, bytes(data)))->responseCode();
    };
    EXPECT_EQ(send(128, "F1"), 16);
    EXPECT_EQ(send(247, "00 0D 63 B1"), 0);  // CVN1
    EXPECT_EQ(send(34, "40000000"), 0);
    // The gas meter's density comes from its gas table: 8.5 kg/m3 at 7 bar and 40 degC.
    TestMeter gas;
    ASSERT_TRUE(gas.meter.loadProfile(kProfiles + "/gas_insertion.profile", nullptr));
    const auto densities = gas.meter.handle(wendrel::makeRequestShort(0, 205, {}))->payload();
    EXPECT_NEAR(floatAt(densities, 0) * 16.018, 8.5, 0.25);  // the pressure varies a little
}

TEST(MeterProfile, TablesPotsAndPasswordKeys) {
    TestMeter t;
    std::string error;
    EXPECT_TRUE(t.meter.setValue("table.viscosity", "10:2, 20:1.5", &error)) << error;
    EXPECT_EQ(t.meter.state().tables.viscosityPoints, 2);
    EXPECT_FALSE(t.meter.setValue("table.viscosity", "10", &error));
    EXPECT_FALSE(t.meter.setValue("table.gas_density", "1, 2", &error)) << "no grid yet";
    EXPECT_NE(error.find("gas_pressures"), std::string::npos) << error;
    EXPECT_FALSE(t.meter.setValue("table.gas_pressures", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", &error));
    EXPECT_TRUE(t.meter.setValue("digital_pots", "1, 2, 3, 4, 5, 6, 7", &error)) << error;
    EXPECT_FALSE(t.meter.setValue("digital_pots", "1, 2, 3", &error));
    EXPECT_TRUE(t.meter.setValue("password", "ab", &error));
    EXPECT_EQ(t.meter.state().runtime.password, "AB  ");
    EXPECT_FALSE(t.meter.setValue("password", "ABCDE", &error));
    EXPECT_FALSE(t.meter.setValue("pressure_source", "analog_gauge", &error)) << "no pressure sensor";
    EXPECT_FALSE(t.meter.setValue("density_source", "steam_table", &error)) << "not a steam meter";
    EXPECT_TRUE(t.meter.setValue("mode", "in_service", &error));
    EXPECT_TRUE(t.meter.state().runtime.inService);
}

TEST(MeterProfile, BadLinesAreReportedWithFileAndLine) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"tag = OK\nthis line has no equals sign\n", ":2: expected 'key = value'"},
        {"# comment\n\ncolour = blue\n", ":3: unknown key 'colour'"},
        {"polling_address = 16\n", ":1: bad value '16' for polling_address"},
        {"damping = fast\n", ":1: bad value 'fast' for damping: expected a number"},
        {"tag = TOO LONG TAG\n", "longer than 8 characters"},
        {"date = 2023-02-29\n", "no such day"},
        {"volume_flow.unit = 33\n", "unit code"},
        {"range.lower = 300\n", "range.lower must be below range.upper"},
    };
    for (const auto& c : cases) {
        TestMeter t;
        const auto path = writeTemp("bad.profile", c.text);
        std::string error;
        EXPECT_FALSE(t.meter.loadProfile(path, &error)) << c.text;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_EQ(t.meter.state().tag, "FT-101") << "a failed load changes nothing";
        std::filesystem::remove(path);
    }
    std::string error;
    TestMeter t;
    EXPECT_FALSE(t.meter.loadProfile("/nonexistent/x.profile", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(MeterProfile, CommentsValuesAndSingleSettings) {
    TestMeter t;
    const auto path = writeTemp("good.profile",
                                "  # heading\n"
                                "tag = pump#2   # trailing comment\n"
                                "range.lower = 300\n"
                                "range.upper = 400    # order within the file does not matter\n"
                                "volume_flow.upper_limit = 500\n"
                                "burst_mode = on\n"
                                "device_id = 0x123456\n");
    std::string error;
    ASSERT_TRUE(t.meter.loadProfile(path, &error)) << error;
    std::filesystem::remove(path);
    EXPECT_EQ(t.meter.state().tag, "PUMP#2");
    EXPECT_TRUE(t.meter.state().burstMode);
    EXPECT_EQ(t.meter.state().deviceId, 0x123456u);
    EXPECT_FLOAT_EQ(t.meter.state().lowerRangeValue, 300);

    EXPECT_TRUE(t.meter.setValue("meter_type", "gas", &error));
    EXPECT_EQ(t.meter.state().deviceType(), 2);
    EXPECT_FALSE(t.meter.setValue("range.upper", "100", &error));  // below the lower value
    EXPECT_FLOAT_EQ(t.meter.state().upperRangeValue, 400);
    EXPECT_FALSE(t.meter.setValue("nonsense", "1", &error));
    EXPECT_NE(error.find("unknown key"), std::string::npos);
}

TEST(MeterProfile, EveryKeyIsDocumented) {
    std::ifstream readme(kProfiles + "/../README.md");
    ASSERT_TRUE(readme);
    const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
    for (const auto& key : profileKeys()) {
        const auto dot = key.find('.');
        const bool perVariable = dot != std::string::npos &&
                                 text.find("`VAR" + key.substr(dot) + "`") != std::string::npos;
        EXPECT_TRUE(perVariable || text.find("`" + key + "`") != std::string::npos) << key;
    }
}

}  // namespace
}  // namespace corvane::sim::test
