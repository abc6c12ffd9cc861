// The device-specific catalogue seen from the link: request layouts in, reply
// layouts out, and the state rules that tie the commands together.
#include <cmath>
#include <set>

#include "sim_test_util.h"

namespace corvane::sim::test {
namespace {

// A meter that accepts every catalogue request: a gas grid to address and
// service access for the digital pots.
void prepareForCatalogue(TestMeter& t) {
    ASSERT_TRUE(t.meter.setValue("table.gas_pressures", "50, 100", nullptr));
    ASSERT_TRUE(t.meter.setValue("table.gas_temperatures", "32, 100", nullptr));
    ASSERT_TRUE(t.meter.setValue("table.gas_density", "0.3, 0.26; 0.6, 0.53", nullptr));
    ASSERT_TRUE(t.meter.setValue("access_level", "2", nullptr));
}

TEST(MeterCatalogue, EveryCommandAnswersWithItsReplyLength) {
    TestMeter t;
    prepareForCatalogue(t);
    for (const auto& entry : catalogue()) {
        const auto answer = t.send(entry.command, entry.request);
        ASSERT_TRUE(answer.answered) << int(entry.command);
        EXPECT_EQ(answer.code, 0) << int(entry.command);
        EXPECT_EQ(answer.payload.size(), entry.replyBytes) << int(entry.command);
        // One byte short of the request is too few data bytes.
        const auto full = bytes(entry.request);
        if (!full.empty() && entry.command != 11) {
            const std::vector<uint8_t> shorter(full.begin(), full.end() - 1);
            EXPECT_EQ(t.send(entry.command, wendrel::toHex(shorter)).code, 5) << int(entry.command);
        }
    }
    for (uint8_t unknown : {131, 134, 136, 157, 159, 165, 181, 192, 200, 228, 236, 249, 254, 255})
        EXPECT_EQ(t.send(unknown).code, 64) << int(unknown);
}

struct Layout {
    uint8_t command;
    const char* request;
    const char* reply;
};

TEST(MeterCatalogue, ReadReplyLayoutsOfTheDefaultMeter) {
    const Layout reads[] = {
        {129, "", "F1 00 01 00 00 00"},
        {132, "", "59 8C AD 5F 0C AD 32 08 20"},  // VX2-W02-L
        {133, "", "03"},
        {135, "", "82 08 20 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20"},
        {137, "", "59 8C AD C3 2B 57 32 D5 31 B4 E8 20  01 00 01 00"},  // liquid wafer, temperature, no LCD
        {145, "", "42 70 00 00"},
        {147, "", "41 6B 22 D1"},
        {149, "", "40 40 00 00"},
        {150, "", "00"},
        {152, "", "44 7A 00 00"},
        {156, "", "42 C8 00 00"},
        {160, "", "28 00 00 00 00 00"},  // US gal, 0, stopped
        {164, "", "00"},
        {167, "", "43 5C 00 00"},
        {170, "", "00 00"},
        {178, "", "40 09 99 9A  3F 99 99 9A  40 1E B8 52  3F 59 99 9A  40 20 A3 D7"},
        {179, "", "40 9F 5C 29  41 94 CC CD  00 00  3F 80 00 00  00 00"},
        {182, "", "42 BE 00 00  42 70 00 00"},
        {183, "", "14 09 65 00 02"},
        {188, "", "4E 6E 6B 28  3F 80 00 00  82 08 20 82 08 20"},
        {199, "", "0C 03 63"},
        {208, "", "40 04 49 BA"},
        {210, "", "3F 19 99 9A"},
        {212, "", "3F 80 00 00  42 79 33 33"},
        {214, "", "00"},
        {216, "", "5C 15 05 4A 08 20 82 08 20 82 08 20 82 08 20 82 08 20 01"},  // WATER, version 1
        {218, "00", "00 03"},
        {218, "02", "02 00"},
        {221, "01", "01 42 88 00 00 3F 80 00 00"},  // 68 degF, 1 cP
        {223, "02", "02 43 54 00 00 42 6F 51 EC"},  // 212 degF, 59.83 lb/ft3
        {229, "", "00 00 00 04 B0 00 00 0A 28 00 00 00 2D 00 00 0A 5A 00"},
        {231, "", "28 3C 80 80 5A C8 0F"},
        {233, "", "42 88 00 00"},
        {235, "", "00"},
        {239, "", "41 E6 66 66"},
        {241, "", "01"},
        {250, "", "00"},
        {252, "", "41 6B 22 D1"},
    };
    TestMeter t;
    for (const auto& r : reads) {
        const auto answer = t.send(r.command, r.request);
        EXPECT_EQ(answer.code, 0) << int(r.command);
        EXPECT_EQ(wendrel::toHex(answer.payload), wendrel::toHex(bytes(r.reply))) << int(r.command);
    }
    // A whole frame: command 129 from the primary master at short address 0.
    EXPECT_EQ(ask(t.meter, frame("02 80 81 00 03")), "06 80 81 08 00 00 F1 00 01 00 00 00 FF");
}

struct WriteLayout {
    uint8_t command;
    const char* request;
    uint8_t read;         // the read that shows the value
    const char* readRequest;
    const char* readReply;
};

TEST(MeterCatalogue, WritesEchoAndReadBack) {
    const WriteLayout writes[] = {
        {130, "05", 50, "", "05 06 04 05"},
        {144, "42 00 00 00", 145, "", "42 00 00 00"},
        {146, "41 20 00 00", 147, "", "41 20 00 00"},
        {148, "3C 23 D7 0A", 149, "", "3C 23 D7 0A"},
        {151, "02", 150, "", "02"},
        {153, "43 FA 00 00", 152, "", "43 FA 00 00"},
        {155, "41 20 00 00", 156, "", "41 20 00 00"},
        {158, "44 FA 00 00 41 20 00 00", 184, "", "44 FA 00 00 41 20 00 00"},  // 2000 psi at 20 mA, 10 at 4
        {163, "04", 164, "", "04"},
        {168, "42 34 00 00", 167, "", "42 34 00 00"},
        {187, "7C F0 BD C2 41 20 00 00 1C 13 20 82 08 20", 188, "", "7C F0 BD C2 41 20 00 00 1C 13 20 82 08 20"},
        {209, "40 00 00 00", 208, "", "40 00 00 00"},
        {213, "3F 00 00 00 42 80 00 00", 212, "", "3F 00 00 00 42 80 00 00"},
        {215, "01", 214, "", "01"},
        {217, "38 55 E0 50 10 8C 16 08 20 82 08 20 82 08 20 82 08 20 07", 216, "",
         "38 55 E0 50 10 8C 16 08 20 82 08 20 82 08 20 82 08 20 07"},
        {219, "01 05", 218, "01", "01 05"},
        {220, "02 42 00 00 00 3E 8F 5C 29", 221, "02", "02 42 00 00 00 3E 8F 5C 29"},
        {222, "00 42 80 00 00 42 79 47 AE", 223, "00", "00 42 80 00 00 42 79 47 AE"},
        {232, "42 80 00 00", 233, "", "42 80 00 00"},
        {234, "02", 235, "", "02"},
        {238, "41 20 00 00", 239, "", "41 20 00 00"},
        {240, "01", 241, "", "01"},
        {251, "01", 250, "", "01"},
        {253, "41 40 00 00", 252, "", "41 40 00 00"},
    };
    for (const auto& w : writes) {
        TestMeter t;
        const auto written = t.send(w.command, w.request);
        EXPECT_EQ(written.code, 0) << int(w.command);
        EXPECT_EQ(written.status & 0x40, 0x40) << int(w.command);
        const auto read = t.send(w.read, w.readRequest).payload;
        if (w.read == 184) {
            ASSERT_EQ(read.size(), 16u);
            EXPECT_EQ(wendrel::toHex(std::vector<uint8_t>(read.begin(), read.begin() + 8)),
                      wendrel::toHex(bytes(w.readReply)));
        } else {
            EXPECT_EQ(wendrel::toHex(read), wendrel::toHex(bytes(w.readReply))) << int(w.command);
        }
        EXPECT_EQ(written.payload, bytes(w.request)) << int(w.command);
    }
}

struct Refusal {
    const char* what;
    uint8_t command;
    const char* request;
    uint8_t code;
};

TEST(MeterCatalogue, BadValuesAndSelectionsAreRefused) {
    const Refusal refusals[] = {
        {"mode neither 240 nor 241", 128, "F2", 2},
        {"variable code 7", 130, "07", 2},
        {"base temperature below absolute zero", 144, "C4 00 00 00", 4},
        {"base pressure 0", 146, "00 00 00 00", 4},
        {"cutoff 2000 Hz", 148, "44 FA 00 00", 3},
        {"pulse mode 4", 151, "04", 2},
        {"upper range frequency NaN", 153, "7F C0 00 00", 3},
        {"analog input upper below lower", 158, "41 20 00 00 42 C8 00 00", 12},
        {"totalizer run 2", 161, "02", 2},
        {"LCD mode 6", 163, "06", 2},
        {"K-factor 0", 168, "00 00 00 00", 4},
        {"roll-over 0.5", 187, "3F 00 00 00 3F 80 00 00 82 08 20 82 08 20", 4},
        {"roll-over 1e38", 187, "7E 96 76 99 3F 80 00 00 82 08 20 82 08 20", 3},
        {"multiplier 1e-13", 187, "3F 80 00 00 29 E1 2E 13 82 08 20 82 08 20", 4},
        {"no samples", 191, "00", 4},
        {"profiling action 1", 193, "01", 2},
        {"pipe ID negative", 209, "BF 80 00 00", 4},
        {"density 0", 213, "3F 80 00 00 00 00 00 00", 4},
        {"steam table density on a liquid meter", 215, "02", 2},
        {"table selector 4", 218, "04", 2},
        {"table size 17", 219, "00 11", 3},
        {"viscosity point beyond the size", 220, "03 42 00 00 00 3F 80 00 00", 2},
        {"density point beyond the size", 223, "03", 2},
        {"gas heading without a grid", 225, "00 00", 2},
        {"gas density without a grid", 226, "00 00 3F 80 00 00", 2},
        {"temperature source steam table on a liquid meter", 234, "03", 2},
        {"temperature source 4", 234, "04", 2},
        {"analog pressure without a pressure sensor", 240, "00", 2},
        {"user pressure below vacuum", 238, "C2 00 00 00", 4},
        {"password function 2", 247, "02 C3 0C 30", 2},
        {"access level 1", 248, "01 DC B1 17", 2},
        {"alarm level 2", 251, "02", 2},
        {"atmospheric pressure 45 psi", 253, "42 34 00 00", 3},
        {"non-volatile memory action 2", 39, "02", 2},
    };
    for (const auto& r : refusals) {
        TestMeter t;
        const auto answer = t.send(r.command, r.request);
        EXPECT_EQ(answer.code, r.code) << r.what;
        EXPECT_TRUE(answer.payload.empty()) << r.what;
        EXPECT_EQ(answer.status & 0x40, 0) << r.what << ": a refused write changes nothing";
    }
}

TEST(MeterModeAndAccess, InServiceRefusesEveryConfigurationWriteWithCode7) {
    TestMeter t;
    prepareForCatalogue(t);
    ASSERT_EQ(t.send(128, "F0").code, 0);
    EXPECT_EQ(t.send(129).payload.at(0), 240);
    EXPECT_EQ(t.send(129).payload.at(4), 0) << "in service drops the access level";
    EXPECT_EQ(t.send(15).payload.at(15), 1) << "command 15 reports write protection";
    const MeterState before = t.meter.state();
    const std::set<uint8_t> configuration{6,   17,  18,  19,  34,  35,  39,  42,  44,  45,  46,  53,  59,  108,
                                          109, 130, 144, 146, 148, 151, 153, 155, 158, 163, 168, 187, 209, 213,
                                          215, 217, 219, 220, 222, 224, 226, 230, 232, 234, 238, 240, 251, 253};
    for (const auto& entry : catalogue()) {
        // These three would leave service: 128 with 241, the password, the access code.
        if (entry.command == 128 || entry.command == 247 || entry.command == 248) continue;
        const auto answer = t.send(entry.command, entry.request);
        if (configuration.count(entry.command)) {
            EXPECT_EQ(answer.code, 7) << int(entry.command);
            EXPECT_EQ(answer.status & 0x40, 0) << int(entry.command);
        } else {
            EXPECT_EQ(answer.code, 0) << int(entry.command);
        }
    }
    EXPECT_EQ(t.meter.state().damping, before.damping);
    EXPECT_EQ(t.meter.state().tag, before.tag);
    EXPECT_EQ(t.meter.state().tables.name, before.tables.name);
    // Reads keep working, and leaving fixed current is always allowed.
    EXPECT_EQ(t.send(3).code, 0);
    EXPECT_EQ(t.send(40, "00000000").code, 0);
    EXPECT_EQ(t.send(40, "41400000").code, 7);
}

TEST(MeterModeAndAccess, ProfileKeysOfTheWriteProtectJumperAndTheMode) {
    TestMeter t;
    ASSERT_TRUE(t.meter.setValue("write_protect", "1", nullptr));
    EXPECT_EQ(t.send(34, "40000000").code, 7);
    EXPECT_EQ(t.send(129).payload.at(0), 241) << "edit mode, but the jumper protects";
    ASSERT_TRUE(t.meter.setValue("write_protect", "0", nullptr));
    ASSERT_TRUE(t.meter.setValue("mode", "in_service", nullptr));
    EXPECT_EQ(t.send(34, "40000000").code, 7);
    EXPECT_EQ(t.send(128, "F1").code, 0);
    EXPECT_EQ(t.send(34, "40000000").code, 0);
}

TEST(MeterModeAndAccess, PasswordFlow) {
    TestMeter t;
    ASSERT_EQ(t.send(128, "F0").code, 0);
    // Protection on with password ABCD, sent in service.
    auto set = t.send(247, "01 04 20 C4");
    EXPECT_EQ(set.code, 0);
    EXPECT_EQ(wendrel::toHex(set.payload), "01 00 01");
    EXPECT_EQ(wendrel::toHex(t.send(129).payload), "F0 00 01 00 00 01");
    EXPECT_EQ(t.send(128, "F1").code, 16) << "protected: no edit mode without the password";
    EXPECT_EQ(t.send(247, "01 C3 0C 30").code, 16) << "no new password without the old one";
    // A wrong password changes nothing.
    EXPECT_EQ(t.send(247, "00 C3 0C 30").code, 16);
    EXPECT_EQ(wendrel::toHex(t.send(129).payload), "F0 00 01 00 00 01");
    // The right one: protection off, access level 1, edit mode.
    auto present = t.send(247, "00 04 20 C4");
    EXPECT_EQ(present.code, 0);
    EXPECT_EQ(wendrel::toHex(present.payload), "00 01 00");
    EXPECT_EQ(wendrel::toHex(t.send(129).payload), "F1 00 01 00 01 00");
    EXPECT_EQ(t.send(34, "40000000").code, 0);
    // Back in service: access level 0.
    EXPECT_EQ(t.send(128, "F0").code, 0);
    EXPECT_EQ(wendrel::toHex(t.send(129).payload), "F0 00 01 00 00 00");
    EXPECT_EQ(t.send(128, "F1").code, 0) << "protection is off now";
}

TEST(MeterModeAndAccess, ServiceAccessAndDigitalPots) {
    TestMeter t;
    ASSERT_EQ(t.send(128, "F0").code, 0);
    const std::string potWrite = "11 22 43 56 52 4E 50 4F 54 53";
    EXPECT_EQ(t.send(230, potWrite).code, 7) << "in service";
    EXPECT_EQ(t.send(248, "02 04 20 C4").code, 16) << "wrong access code";
    EXPECT_EQ(t.send(129).payload.at(4), 0);
    auto granted = t.send(248, "02 DC B1 17");  // 7KDW
    EXPECT_EQ(granted.code, 0);
    EXPECT_EQ(wendrel::toHex(granted.payload), "02");
    EXPECT_EQ(wendrel::toHex(t.send(129).payload), "F1 00 01 00 02 00") << "level 2 and edit mode";
    EXPECT_EQ(t.send(230, "11 22 43 56 52 4E 50 4F 54 54").code, 16) << "wrong code";
    auto pots = t.send(230, potWrite);
    EXPECT_EQ(pots.code, 0);
    EXPECT_EQ(wendrel::toHex(pots.payload), "11 22");
    EXPECT_EQ(wendrel::toHex(t.send(231).payload), "11 22 80 80 5A C8 0F") << "only the first two change";
    // Level 1 (the password) is not enough.
    TestMeter other;
    ASSERT_TRUE(other.meter.setValue("access_level", "1", nullptr));
    EXPECT_EQ(other.send(230, potWrite).code, 16);
    EXPECT_EQ(other.send(248, "00 00 00 00").code, 0);
    EXPECT_EQ(other.send(129).payload.at(4), 0);
}

TEST(MeterTotalizer, IntegratesTheFlowWhileRunningAndRollsOver) {
    TestMeter t;
    ASSERT_TRUE(t.meter.setValue("process.flow_variation", "0", nullptr));
    ASSERT_TRUE(t.meter.setValue("process.noise", "0", nullptr));
    ASSERT_TRUE(t.meter.setValue("process.flow", "36", nullptr));  // 0.01 m3/s = 158.5 US gal/min
    t.send(1);
    t.now = 100;
    EXPECT_FLOAT_EQ(floatAt(t.send(160).payload, 1), 0) << "stopped";
    EXPECT_EQ(wendrel::toHex(t.send(161, "01").payload), "01");
    t.now = 160;  // one minute
    auto total = t.send(160).payload;
    EXPECT_EQ(total[0], 40);  // US gal
    EXPECT_NEAR(floatAt(total, 1), 158.5, 0.1);
    EXPECT_EQ(total[5], 1);
    t.send(161, "00");
    t.now = 400;
    EXPECT_NEAR(floatAt(t.send(160).payload, 1), 158.5, 0.1) << "a stopped totalizer holds";

    // Multiplier 10 with a custom unit: the count is in tens of gallons.
    EXPECT_EQ(t.send(187, "4E6E6B28 41200000 1C 13 20 82 08 20").code, 0);
    EXPECT_NEAR(floatAt(t.send(160).payload, 1), 15.85, 0.01);
    // Roll-over at 100 (in the counted unit).
    EXPECT_EQ(t.send(187, "42C80000 3F800000 1C 13 20 82 08 20").code, 0);
    EXPECT_NEAR(floatAt(t.send(160).payload, 1), 58.5, 0.1);
    // Unit change: litres.
    t.send(187, "4E6E6B28 3F800000 82 08 20 82 08 20");
    t.send(44, "11");
    total = t.send(160).payload;
    EXPECT_EQ(total[0], 41);
    EXPECT_NEAR(floatAt(total, 1), 600, 0.5);

    auto zeroed = t.send(162);
    EXPECT_EQ(zeroed.code, 0);
    EXPECT_EQ(wendrel::toHex(zeroed.payload), "29 00 00 00 00 00");
    EXPECT_EQ(zeroed.status & 0x40, 0x40) << "the settings above changed the configuration";
}

TEST(MeterTotalizer, RunsInServiceAndCountsMassForAMassPv) {
    TestMeter t;
    ASSERT_TRUE(t.meter.setValue("process.flow_variation", "0", nullptr));
    ASSERT_TRUE(t.meter.setValue("process.noise", "0", nullptr));
    ASSERT_TRUE(t.meter.setValue("process.flow", "36", nullptr));
    EXPECT_EQ(t.send(130, "01").code, 0);  // mass flow in lb/min
    t.send(128, "F0");
    EXPECT_EQ(t.send(161, "01").code, 0);
    t.now = 60;
    auto total = t.send(160).payload;
    EXPECT_EQ(total[0], 63);  // lb
    EXPECT_NEAR(floatAt(total, 1), 0.01 * 998.3 * 60 / 0.45359237, 1);
    EXPECT_EQ(t.send(162).code, 0);
    EXPECT_FLOAT_EQ(floatAt(t.send(160).payload, 1), 0);
}

TEST(MeterPropertyTables, SizesPointsAndTheGasGrid) {
    TestMeter t;
    EXPECT_EQ(t.send(219, "02 10").code, 0);  // 16 rows: the most
    EXPECT_EQ(t.send(219, "03 11").code, 3);  // 17 columns: too many
    EXPECT_EQ(wendrel::toHex(t.send(218, "03").payload), "03 00");
    EXPECT_EQ(t.send(219, "03 02").code, 0);
    // Headings and densities of the 16 x 2 grid.
    EXPECT_EQ(wendrel::toHex(t.send(224, "01 0F 42480000").payload), "01 0F 42 48 00 00");  // row 15: 50 psi
    EXPECT_EQ(t.send(224, "00 02 42480000").code, 2) << "column 2 of 2";
    EXPECT_EQ(wendrel::toHex(t.send(226, "0F 01 3F000000").payload), "0F 01 3F 00 00 00");
    EXPECT_EQ(wendrel::toHex(t.send(227, "0F 01").payload), "0F 01 3F 00 00 00");
    EXPECT_EQ(t.send(227, "10 00").code, 2);
    EXPECT_EQ(wendrel::toHex(t.send(225, "01 0F").payload), "01 0F 42 48 00 00");
    // Shrinking a table hides its points; growing shows them again.
    EXPECT_EQ(t.send(219, "00 01").code, 0);
    EXPECT_EQ(t.send(221, "02").code, 2);
    EXPECT_EQ(t.send(219, "00 03").code, 0);
    EXPECT_EQ(wendrel::toHex(t.send(221, "02").payload), "02 43 54 00 00 3E 8F 5C 29");
}

TEST(MeterPropertyTables, DensityFollowsTheTableAndTheSource) {
    TestMeter t;
    // 68 degF in the table: 62.32 lb/ft3.
    EXPECT_NEAR(floatAt(t.send(205).payload, 0), 62.32, 0.05);
    EXPECT_EQ(t.send(222, "01 42880000 42700000").code, 0);  // 68 degF: 60 lb/ft3
    EXPECT_NEAR(floatAt(t.send(205).payload, 0), 60.0, 0.05);
    // User-defined density drives the mass flow.
    t.send(213, "3F800000 42800000");  // 1 cP, 64 lb/ft3
    t.send(215, "01");
    auto densities = t.send(205).payload;
    EXPECT_FLOAT_EQ(floatAt(densities, 0), 64);
    EXPECT_FLOAT_EQ(floatAt(densities, 8), 1);
    t.send(130, "01");
    const float massLbMin = floatAt(t.send(1).payload, 1);
    t.send(130, "00");
    const float volumeGalMin = floatAt(t.send(1).payload, 1);
    EXPECT_NEAR(massLbMin, volumeGalMin * 0.133680556 * 64, 0.5);
}

TEST(MeterMemory, SaveRestoreAndFactoryDefaults) {
    TestMeter t;
    EXPECT_EQ(t.send(34, "40000000").status & 0x40, 0x40);  // damping 2
    auto saved = t.send(39, "00");
    EXPECT_EQ(saved.code, 0);
    EXPECT_EQ(saved.status & 0x40, 0);
    EXPECT_EQ(t.send(34, "40A00000").status & 0x40, 0x40);  // damping 5
    EXPECT_EQ(t.send(168, "42340000").code, 0);               // K-factor 45
    ASSERT_EQ(t.send(161, "01").code, 0);                     // runtime, not configuration
    auto restored = t.send(39, "01");
    EXPECT_EQ(restored.code, 0);
    EXPECT_EQ(restored.status & 0x40, 0);
    EXPECT_FLOAT_EQ(floatAt(t.send(15).payload, 11), 2);
    EXPECT_FLOAT_EQ(floatAt(t.send(167).payload, 0), 220);
    EXPECT_EQ(t.send(160).payload.at(5), 1) << "the totalizer keeps running";

    t.send(34, "40A00000");
    t.send(40, "41400000");
    auto factory = t.send(42);
    EXPECT_EQ(factory.code, 0);
    EXPECT_EQ(factory.status & 0x48, 0) << "no change flag, no fixed current";
    EXPECT_FLOAT_EQ(floatAt(t.send(15).payload, 11), 1);
    t.send(34, "40A00000");
    t.send(39, "01");
    EXPECT_FLOAT_EQ(floatAt(t.send(15).payload, 11), 1) << "factory defaults were saved too";

    t.send(128, "F0");
    EXPECT_EQ(t.send(39, "00").code, 7);
    EXPECT_EQ(t.send(42).code, 7);
}

TEST(MeterProfiling, SamplesAverageAndRestart) {
    TestMeter t;
    ASSERT_TRUE(t.meter.setValue("damping", "0", nullptr));
    EXPECT_EQ(t.send(191, "03").code, 0);
    EXPECT_EQ(t.send(193, "02").code, 0);
    float sum = 0;
    for (int i = 1; i <= 3; ++i) {
        t.now = 20.0 * i;
        auto sample = t.send(195);
        ASSERT_EQ(sample.code, 0);
        EXPECT_EQ(sample.payload[0], i);
        sum += floatAt(sample.payload, 1);
        EXPECT_NEAR(floatAt(sample.payload, 1), floatAt(t.send(197).payload, 0), 1e-4);
    }
    EXPECT_EQ(t.send(195).code, 3) << "the traverse is complete";
    EXPECT_NEAR(floatAt(t.send(196).payload, 0), sum / 3, 1e-4);
    EXPECT_NEAR(floatAt(t.send(196).payload, 0), 12.6, 1.0);  // ft/s of 30 m3/h in 2 inches
    t.send(193, "02");
    EXPECT_FLOAT_EQ(floatAt(t.send(196).payload, 0), 0);
    EXPECT_EQ(t.send(195).payload.at(0), 1);
}

TEST(MeterProcess, SourcesDecideTemperatureAndPressure) {
    TestMeter t;
    EXPECT_FALSE(t.meter.setValue("sensor_option", "none", nullptr)) << "the RTD source needs the sensor";
    EXPECT_EQ(t.send(232, "42C80000").code, 0);  // 100 degF
    EXPECT_NEAR(floatAt(t.send(3).payload, 15), 68, 2) << "the RTD still measures";
    EXPECT_EQ(t.send(234, "02").code, 0);
    EXPECT_FLOAT_EQ(floatAt(t.send(3).payload, 15), 100);
    EXPECT_EQ(t.send(238, "41200000").code, 0);  // 10 psig
    EXPECT_NEAR(floatAt(t.send(3).payload, 20), 24.696, 1e-3);  // plus atmospheric
    EXPECT_TRUE(t.meter.setValue("sensor_option", "none", nullptr));
    EXPECT_EQ(t.send(234, "00").code, 2);
}

TEST(MeterOutput, PulseOutputAndAlarmLevel) {
    TestMeter t;
    ASSERT_TRUE(t.meter.setValue("damping", "0", nullptr));
    const auto dynamic = t.send(3).payload;
    EXPECT_FLOAT_EQ(floatAt(t.send(154).payload, 0), floatAt(dynamic, 10)) << "shedding frequency";
    t.send(151, "01");
    const float percent = floatAt(t.send(2).payload, 4);
    EXPECT_NEAR(floatAt(t.send(154).payload, 0), percent * 10, 1e-3) << "1000 Hz at 100 %";
    t.send(151, "02");
    EXPECT_FLOAT_EQ(floatAt(t.send(154).payload, 0), 100);
    t.send(151, "03");
    EXPECT_FLOAT_EQ(floatAt(t.send(154).payload, 0), 0);

    ASSERT_TRUE(t.meter.setValue("diagnostics.malfunction", "on", nullptr));
    auto alarm = t.send(2);
    EXPECT_FLOAT_EQ(floatAt(alarm.payload, 0), 21.75f);
    EXPECT_EQ(alarm.status & 0x80, 0x80);
    t.send(251, "01");
    EXPECT_FLOAT_EQ(floatAt(t.send(2).payload, 0), 3.75f);
    EXPECT_EQ(t.send(15).payload.at(0), 1) << "command 15 shows the same alarm selection";
}

TEST(MeterProcess, PrimaryVariableSelection) {
    TestMeter t;
    EXPECT_EQ(t.send(163, "05").code, 0);
    EXPECT_EQ(t.send(130, "04").code, 0);  // temperature
    auto output = t.send(15).payload;
    EXPECT_EQ(output[2], 33);
    EXPECT_FLOAT_EQ(floatAt(output, 3), 500);  // its sensor limits
    EXPECT_FLOAT_EQ(floatAt(output, 7), -40);
    EXPECT_EQ(wendrel::toHex(t.send(164).payload), "00") << "no total to show for a temperature";
    EXPECT_EQ(t.send(163, "02").code, 2);
    EXPECT_EQ(t.send(163, "03").code, 0);
    EXPECT_EQ(t.send(1).payload.at(0), 33);
}

TEST(MeterCatalogue, RequestLogCoversDeviceCommands) {
    TestMeter t;
    t.send(129);
    t.send(247, "00 C3 0C 30");
    ASSERT_EQ(t.meter.requestLog().size(), 2u);
    EXPECT_EQ(t.meter.requestLog()[1].command, 247);
    EXPECT_EQ(wendrel::toHex(t.meter.requestLog()[1].data), "00 C3 0C 30");
}

TEST(MeterBurst, StatusReportsBurstAndBurstFramesFollowTheCommand) {
    TestMeter t;
    t.send(108, "03");
    t.send(109, "01");
    EXPECT_EQ(wendrel::toHex(t.send(129).payload), "F1 01 03 00 00 00");
    auto burst = t.meter.burstFrame();
    ASSERT_TRUE(burst);
    EXPECT_EQ(burst->type, wendrel::FrameType::Back);
    EXPECT_EQ(burst->command, 3);
    EXPECT_EQ(burst->address[0] & wendrel::kBurstBit, wendrel::kBurstBit);
    EXPECT_EQ(burst->payload().size(), 24u);
    t.send(128, "F0");
    EXPECT_EQ(t.send(109, "00").code, 7) << "burst mode is configuration";
    EXPECT_TRUE(t.meter.burstFrame());
}

}  // namespace
}  // namespace corvane::sim::test
