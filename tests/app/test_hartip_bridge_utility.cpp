// The utility and the link control on a HART-IP port served by the bridge,
// with the simulated meter on a pty behind it: Connect reads the meter, every
// configuration dialog reads what the meter holds on opening, a write reaches
// the meter and is read back, over UDP and over TCP. What reached the loop is
// read from the meter's own request log.
#include <filesystem>
#include <fstream>

#include "app/forms/frmHARTInterface.h"
#include "app/forms/scalar_forms.h"
#include "bridge/bridge.h"
#include "tests/app/test_forms_fixture.h"
#include "tools/sim_process.h"

namespace {

using namespace formstest;

constexpr int kBridgePort = 30;  // the bridge's line; the utility's port 1 is the bridge

class UtilityThroughBridge : public UtilityTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        UtilityTest::SetUp();
        meterLog = testing::TempDir() + "/utility-bridge-" + std::to_string(getpid()) + ".log";
        std::filesystem::remove(meterLog);
        std::string error;
        ASSERT_TRUE(meter.start(CORVANE_SIM_PROGRAM,
                                {"--profile", std::string(CORVANE_SIM_PROFILES) + "/liquid_wafer.profile", "--log",
                                 meterLog},
                                &error))
            << error;
        bridge::BridgeOptions o;
        o.port = kBridgePort;
        o.portPath = meter.linkPath();
        o.listen = {hartip::Endpoint{GetParam(), "127.0.0.1", 0}};
        running = bridge::Bridge::start(o, &error);
        ASSERT_TRUE(running) << error;
        ASSERT_TRUE(running->lineOpen());
        wendrel::SetTransportFactory(nullptr);
        wendrel::SetPortPath(1, running->endpoints()[0].url());
    }
    void TearDown() override {
        window.reset();
        running.reset();
        meter.stop();
        wendrel::SetPortPath(1, "");
        wendrel::SetPortPath(kBridgePort, "");
        std::filesystem::remove(meterLog);
        UtilityTest::TearDown();
    }
    // The requests the meter received while `action` ran ("34 3F000000").
    std::vector<std::string> sentDuring(const std::function<void()>& action) {
        const size_t before = loggedRequests().size();
        action();
        const auto after = loggedRequests();
        return std::vector<std::string>(after.begin() + static_cast<long>(std::min(before, after.size())), after.end());
    }
    // The meter's log lines "date time command data" as "command data".
    std::vector<std::string> loggedRequests() const {
        std::ifstream in(meterLog);
        std::vector<std::string> out;
        std::string date, time, command, data;
        while (in >> date >> time >> command >> data) out.push_back(data == "-" ? command : command + " " + data);
        return out;
    }
    tools::SimProcess meter;
    std::string meterLog;
    std::unique_ptr<bridge::Bridge> running;
};

TEST_P(UtilityThroughBridge, ConnectsAndEveryDialogReadsAndWrites) {
    window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
    const auto connect = sentDuring([&] { click(*window, "btnConnect"); });
    ASSERT_FALSE(connect.empty());
    EXPECT_EQ(connect.front(), "0");
    ASSERT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    // Each dialog reads the meter as it opens; none meets a silent meter.
    for (const char* entry : {"mnuHARTInterface", "mnuDampingValue", "mnuKFactor", "mnuPipeID", "mnuLowFlowCutoff",
                              "mnuAnalogRangeValues", "mnuPrimaryVariable", "mnuAlarmSelection", "mnuBurstMode",
                              "mnuDensityAndViscosity", "mnuLCDDisplay", "mnuProcessPressure",
                              "mnuProcessTemperature", "mnuPulseOutput", "mnuStandardFlow", "mnuTotalizerSettings"}) {
        QAction* action = child<QAction>(*window, entry);
        if (!action->isEnabled()) continue;  // not offered for this meter's revision
        ui.clear();
        ui.queueDialogResult(QDialog::Rejected);
        const auto sent = sentDuring([&] { action->trigger(); });
        EXPECT_FALSE(sent.empty()) << entry;
        EXPECT_FALSE(ui.dialogs().empty()) << entry;
        EXPECT_TRUE(ui.messageBoxes().empty()) << entry << ": " << boxTexts().join('|').toStdString();
    }

    // The identity dialog shows what the meter holds; a write reaches it and is read back.
    auto identity = std::make_unique<app::frmHARTInterface>(window.get());
    EXPECT_EQ(text(*identity, "txtTag").trimmed(), "FT-101");
    EXPECT_EQ(text(*identity, "txtDeviceID"), QString::number(0x0A1B2C));
    identity.reset();
    ui.clear();
    auto damping = std::make_unique<app::frmDampingValue>(window.get());
    type(*damping, "txtDampingValue", "0.5");
    EXPECT_EQ(sentDuring([&] { click(*damping, "btnWrite"); }), (std::vector<std::string>{"34 3F000000", "15"}));
    EXPECT_EQ(text(*damping, "txtDampingValue"), "0.5");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Transports, UtilityThroughBridge, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Udp"; });

}  // namespace
