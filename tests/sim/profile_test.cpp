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
