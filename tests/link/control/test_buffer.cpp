// The data buffer's typed accessors, and the decoding of universal replies
// from scripted reply payloads.
#include <gtest/gtest.h>

#include <QWidget>

#include "link/driver/frame.h"
#include "tests/link/control/hosted_control.h"
#include "tests/support/scripted_meter.h"

using testsupport::HostedControl;

namespace {

const std::vector<std::string> kSevenReports = {"~xInt8", "~xInt16", "~xInt24", "~xInt32",
                                                "~xPackedASCII", "~xString", "~xFloat"};

std::vector<std::string> withEvent(std::vector<std::string> v, const char* event) {
    v.push_back(event);
    return v;
}

}  // namespace

TEST(ControlBuffer, AcceptedWritesReportSevenChangesThenTheEvent) {
    HostedControl host;
    host.put("xOffset", 0);
    EXPECT_EQ(host.log, kSevenReports);  // an offset write reports, fires nothing
    host.log.clear();
    host.put("xInt8", 5);
    EXPECT_EQ(host.log, withEvent(kSevenReports, "xPropertyChanged()"));
    host.log.clear();
    for (int refused : {256, -1}) host.put("xInt8", refused);
    host.putText("xUnitString", "bar");
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.number("xInt8"), 5);
}

TEST(ControlBuffer, EachAccessorChecksItsOwnRange) {
    HostedControl host;
    host.put("xOffset", 253);
    host.log.clear();
    host.putFloat("xFloat", 1.5f);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.real("xFloat"), 0.0f);
    host.put("xInt24", 0x123456);
    EXPECT_EQ(host.number("xInt24"), 0x123456);
    host.put("xInt24", 16777216);  // one too many for 24 bits
    EXPECT_EQ(host.number("xInt24"), 0x123456);

    host.put("xOffset", 255);
    EXPECT_EQ(host.number("xInt16"), 0);
    EXPECT_EQ(host.number("xInt8"), 0x56);
    host.put("xOffset", -1);
    EXPECT_EQ(host.number("xInt8"), 0);
    host.log.clear();
    host.put("xInt8", 1);
    EXPECT_TRUE(host.log.empty());

    host.put("xPackedASCIILen", 6);
    host.put("xOffset", 250);
    host.putText("xPackedASCII", "abcdefgh");
    EXPECT_EQ(host.text("xPackedASCII"), "ABCDEFGH");
    host.put("xOffset", 251);
    EXPECT_EQ(host.text("xPackedASCII"), "");

    host.put("xStringLen", 4);
    host.put("xOffset", 10);
    host.putText("xString", "ok");
    EXPECT_EQ(host.text("xString"), "ok");

    host.put("xOffset", 0);
    host.put("xInt8", 0x80);
    host.put("xOffset", 1);
    host.put("xInt8", 0x01);
    host.put("xOffset", 0);
    EXPECT_EQ(host.number("xInt16"), -32767);  // 0x8001 reads negative through the 16-bit type
    EXPECT_EQ(host.put("xInt16", 40000), FW_E_OVERFLOW);  // no 16-bit value
    host.put("xInt8", 32);
    EXPECT_EQ(host.text("xUnitString"), "degC");
}

namespace {

struct DecodeTest : ::testing::Test {
    testsupport::ScriptedMeter meter;
    HostedControl host;
    void SetUp() override {
        host.put("cComMode", 2);
        host.put("cAddrMode", 2);  // identifier known (all zero): straight to the long address
        host.put("cComState", 1);
    }
    void run(int command, const std::string& payload) {
        meter.script(command, payload);
        host.log.clear();
        host.put("cDoCommand", command);
        ASSERT_TRUE(host.waitIdle());
        ASSERT_EQ(host.number("cComResult"), 1);
    }
    bool reported(const char* name) const { return host.find(std::string("~") + name) >= 0; }
};

}  // namespace

TEST_F(DecodeTest, ExactLengthsForCommands1And2) {
    run(1, "11 42 C8 00 00 00");  // 6 bytes: not a command 1 reply
    EXPECT_FALSE(reported("p01Pv"));
    EXPECT_EQ(host.number("cRcvLen"), 6);
    run(1, "11 42 C8 00 00");
    EXPECT_EQ(host.real("p01Pv"), 100.0f);
    EXPECT_EQ(host.number("p01PvUnit"), 17);
    EXPECT_EQ(host.text("p01sPvUnit"), "l/min");
    run(2, "41 48 00 00 42 48 00 00");
    EXPECT_EQ(host.real("p02Current"), 12.5f);
    EXPECT_EQ(host.real("p02Percent"), 50.0f);
}

TEST_F(DecodeTest, Command3FillsAsManyVariablesAsTheLengthCovers) {
    run(3, "41 48 00 00 11 42 C8 00 00 26 41 20 00 00");  // 14 bytes
    EXPECT_EQ(host.real("p02Current"), 12.5f);
    EXPECT_EQ(host.real("p03Pv1"), 100.0f);
    EXPECT_EQ(host.real("p03Pv2"), 10.0f);
    EXPECT_EQ(host.number("p03Pv2Unit"), 0x26);
    EXPECT_FALSE(reported("p03Pv3"));
    EXPECT_FALSE(reported("p03Pv4"));
}

TEST_F(DecodeTest, TagDescriptorDateNeed21Bytes) {
    const std::string tag20 = "04 20 C4 04 20 C4 04 20 C4 04 20 C4 04 20 C4 04 20 C4 03 03";
    run(13, tag20);
    EXPECT_FALSE(reported("p13TagName"));
    run(13, tag20 + " 65");
    EXPECT_EQ(host.text("p13TagName"), "ABCDABCD");
    EXPECT_EQ(host.text("p13Descriptor"), "ABCDABCDABCDABCD");
    EXPECT_EQ(host.number("p13DateDay"), 3);
    EXPECT_EQ(host.number("p13DateMonth"), 3);
    EXPECT_EQ(host.number("p13DateYear"), 101);
}

TEST_F(DecodeTest, ShortIdentityRepliesDecodeNothingAndAreAskedAgainABoundedNumberOfTimes) {
    host.put("cAddrMode", 0);  // forget the identifier: command 0 by polling address
    run(0, "FE 3D 01 05 05");
    EXPECT_FALSE(reported("p00VendorID"));
    EXPECT_FALSE(reported("cNoPreambles"));
    EXPECT_EQ(meter.line.writeCount(), 4u);  // the first request and three repeats
}

TEST_F(DecodeTest, Command15DecodesItsFirst17Bytes) {
    run(15, "01 00 11 42 C8 00 00 00 00 00 00 3F 80 00 00 00 FA 77");
    EXPECT_EQ(host.number("p15AlmSelCode"), 1);
    EXPECT_EQ(host.number("p15RangeUnit"), 17);
    EXPECT_EQ(host.real("p15UpRange"), 100.0f);
    EXPECT_EQ(host.real("p15LoRange"), 0.0f);
    EXPECT_EQ(host.real("p15Damping"), 1.0f);
    EXPECT_EQ(host.number("p15LabDistCode"), 0xFA);
    host.put("xOffset", 17);
    EXPECT_EQ(host.number("xInt8"), 0x77);  // the 18th byte is only in the buffer
    run(14, "00 12 67 07 43 C8 00 00 00 00 00 00 3F 80 00 00");
    EXPECT_EQ(host.number("p14SensSerNum"), 4711);
    EXPECT_EQ(host.text("p14sSensLimUnit"), "bar");
    EXPECT_EQ(host.real("p14UpSensLimit"), 400.0f);
}

TEST(ControlPersistence, OnlyTheLineModeIsKept) {
    HostedControl host;
    host.put("cComMode", 2);
    host.put("cComPort", 5);
    const std::string saved = fw_save_properties(host.control);
    EXPECT_NE(saved.find("ComMode=2"), std::string::npos);
    EXPECT_EQ(saved.find("5"), std::string::npos);
    HostedControl other;
    EXPECT_EQ(fw_load_properties(other.control, saved.c_str()), 0);
    EXPECT_EQ(other.number("cComMode"), 2);
    // A stored mode outside 0..2 is mended when the window is created.
    EXPECT_EQ(fw_load_properties(other.control, "ComMode=9\n"), 0);
    ASSERT_NE(fw_window(other.control), nullptr);
    EXPECT_EQ(other.number("cComMode"), 0);
}

TEST(ControlWindowOwnership, AHostFormMayTakeTheWindowAndEndFirst) {
    HostedControl host;
    auto* form = new QWidget;
    auto* window = static_cast<QWidget*>(fw_window(host.control));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(32, 32));
    window->setParent(form);
    delete form;  // takes the control's window with it; releasing the control must not delete it again
    HostedControl other;
    auto* kept = static_cast<QWidget*>(fw_window(other.control));
    ASSERT_NE(kept, nullptr);  // released with its control, without a host form
}
