// The utility on a HART-IP port: the port list offers it, Connect reads the
// meter behind the HART-IP server, and the dialogs read and write as on the
// serial line; a server that goes away is reported as a port that is gone.
#include "app/forms/frmHARTInterface.h"
#include "app/forms/scalar_forms.h"
#include "tests/app/test_forms_fixture.h"
#include "tests/support/sim_on_hartip.h"

namespace {

using namespace formstest;

class UtilityOverHartIp : public UtilityTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        UtilityTest::SetUp();
        sim = std::make_unique<testsupport::SimOnHartIp>(GetParam());
        std::string error;
        std::lock_guard lock(sim->meterMutex);
        ASSERT_TRUE(sim->meter.loadProfile(std::string(CORVANE_SIM_PROFILES) + "/liquid_wafer.profile", &error))
            << error;
    }
    void TearDown() override {
        window.reset();
        sim.reset();
        UtilityTest::TearDown();
    }
    // The requests the meter received while `action` ran ("34 40200000").
    std::vector<std::string> sentDuring(const std::function<void()>& action) {
        sim->clearRequestLog();
        action();
        std::lock_guard lock(sim->meterMutex);
        std::vector<std::string> sent;
        for (const auto& r : sim->meter.requestLog())
            sent.push_back(std::to_string(r.command) + (r.data.empty() ? "" : " " + hexOf(r.data)));
        return sent;
    }
    std::unique_ptr<testsupport::SimOnHartIp> sim;
};

TEST_P(UtilityOverHartIp, ConnectsAndTheDialogsReadAndWrite) {
    window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
    const auto connect = sentDuring([&] { click(*window, "btnConnect"); });
    ASSERT_FALSE(connect.empty());
    EXPECT_EQ(connect.front(), "0");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    // The identity dialog reads what the meter holds.
    auto identity = std::make_unique<app::frmHARTInterface>(window.get());
    EXPECT_EQ(text(*identity, "txtTag").trimmed(), "FT-101");
    EXPECT_EQ(text(*identity, "txtDeviceID"), QString::number(0x0A1B2C));
    identity.reset();

    // A write reaches the meter and is read back.
    auto damping = std::make_unique<app::frmDampingValue>(window.get());
    type(*damping, "txtDampingValue", "0.5");
    EXPECT_EQ(sentDuring([&] { click(*damping, "btnWrite"); }), (std::vector<std::string>{"34 3F000000", "15"}));
    EXPECT_EQ(text(*damping, "txtDampingValue"), "0.5");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    // The server goes away. Over TCP the next read finds no server to connect
    // to and says the port is not valid; over UDP nothing can tell a server
    // gone from a silent one, and the read ends as no device response.
    if (!GetParam()) return;
    sim->stop();
    apptest::waitFor([] { return false; }, 300);
    ui.clear();
    click(*damping, "btnRead");
    EXPECT_EQ(boxTexts(), QStringList{"Com Port 1 not Valid !"});
}

INSTANTIATE_TEST_SUITE_P(Transports, UtilityOverHartIp, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Udp"; });

}  // namespace
