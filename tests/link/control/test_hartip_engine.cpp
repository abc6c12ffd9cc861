// The link control's transactions over a HART-IP port, UDP and TCP, against
// the simulated meter behind a HART-IP server on loopback: the same outcomes
// and the same events as over the serial line, faults included.
#include <gtest/gtest.h>

#include "link/driver/wendrel.h"
#include "platform/scripted.h"
#include "tests/link/control/hosted_control.h"
#include "tests/support/sim_on_hartip.h"

using testsupport::HostedControl;
using testsupport::SimOnHartIp;

namespace {

struct ControlOverHartIp : ::testing::TestWithParam<bool> {
    bool tcp() const { return GetParam(); }
    static void open(HostedControl& host) {
        ASSERT_EQ(host.put("cComState", 1), 0);
        ASSERT_EQ(host.number("cComError"), 0);
    }
};

TEST_P(ControlOverHartIp, TheIdentityComesFirstThenThePendingCommandByLongAddress) {
    SimOnHartIp sim(tcp());
    HostedControl host;
    open(host);
    host.log.clear();
    host.put("cDoCommand", 3);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(sim.commandsSeen(), (std::vector<int>{0, 3}));
    EXPECT_EQ(host.events(),
              (std::vector<std::string>{"Busy(1)", "Busy(1)", "Result(0,0,1)", "Busy(1)", "Result(0,3,1)", "Busy(0)"}));
    EXPECT_EQ(host.number("cUnID0"), 0x3D);
    EXPECT_EQ(host.text("p00sVendor"), "Corvane");
    EXPECT_GT(host.real("p03Pv1"), 0.0f);
    // A write goes through and reads back.
    host.putFloat("xFloat", 2.5f);
    host.put("xReqLen", 4);
    host.put("xOffset", 0);
    host.log.clear();
    host.put("cDoCommand", 34);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cComResult"), 1);
    EXPECT_EQ(host.number("cResponse1"), 0);
    {
        std::lock_guard lock(sim.meterMutex);
        EXPECT_EQ(sim.meter.state().damping, 2.5f);
    }
}

TEST_P(ControlOverHartIp, ASilentMeterEndsTheRequestAsNoResponse) {
    corvane::sim::FaultOptions faults;
    faults.noAnswer = 1;
    SimOnHartIp sim(tcp(), faults);
    HostedControl host;
    open(host);
    host.put("cNoRetries", 0);  // one network wait is enough to show it
    host.log.clear();
    host.put("cDoCommand", 0);
    ASSERT_TRUE(host.waitIdle(10000));
    EXPECT_EQ(host.number("cComResult"), 2);
    EXPECT_EQ(host.events(), (std::vector<std::string>{"Busy(1)", "Result(0,0,2)", "Busy(0)"}));
    EXPECT_EQ(sim.commandsSeen(), std::vector<int>{0});
}

TEST_P(ControlOverHartIp, BusyAndDamagedRepliesAreRetriedThenReported) {
    corvane::sim::FaultOptions faults;
    faults.busy = 0.5;
    faults.badChecksum = 0.3;
    faults.seed = 7;
    SimOnHartIp sim(tcp(), faults);
    HostedControl host;
    open(host);
    host.put("cNoRetries", 3);
    int answered = 0, ended = 0;
    for (int i = 0; i < 20; ++i) {
        host.log.clear();
        host.put("cDoCommand", 0);
        ASSERT_TRUE(host.waitIdle(15000));
        const int result = host.number("cComResult");
        EXPECT_TRUE(result == 1 || result == 2) << result;
        answered += result == 1;
        ++ended;
    }
    EXPECT_EQ(ended, 20);
    EXPECT_GT(answered, 10);
    const auto counts = sim.faultCounts();
    EXPECT_GT(counts.busy, 0);
    EXPECT_GT(counts.badChecksum, 0);
}

TEST_P(ControlOverHartIp, BurstFramesPublishedByTheServerSetTheFlagAndReachNotify) {
    corvane::sim::FaultOptions faults;
    faults.burst = true;
    SimOnHartIp sim(tcp(), faults);
    HostedControl host;
    open(host);
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cComResult"), 1);
    EXPECT_EQ(host.number("cBurstModeFlag"), -1);
    host.pump(2 * corvane::sim::MeterHartIp::kPublishPeriodMs + 200);
    EXPECT_GE(host.find("Notify(" + std::to_string(wendrel::NotifyBurstDevice) + ")"), 0);
}

TEST_P(ControlOverHartIp, AServerThatGoesAwayIsReportedAsALostPort) {
    auto sim = std::make_unique<SimOnHartIp>(tcp());
    HostedControl host;
    open(host);
    host.put("cDoCommand", 0);
    ASSERT_TRUE(host.waitIdle());
    sim->stop();
    host.pump(500);
    EXPECT_GE(host.find("Notify(" + std::to_string(wendrel::NotifyPortLost) + ")"), 0);
    host.log.clear();
    host.put("cDoCommand", 0);
    ASSERT_TRUE(host.waitIdle(2000));
    EXPECT_EQ(host.number("cComResult"), 2);
}

INSTANTIATE_TEST_SUITE_P(Transports, ControlOverHartIp, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "Udp"; });

TEST(ControlOverHartIpOpen, ARefusedConnectionIsAPortThatCannotBeOpened) {
    platform::ScriptedBackend script;
    platform::BackendGuard guard(script);
    uint16_t port;
    {
        SimOnHartIp gone(true);  // a port that was just free
        port = gone.network->endpoints()[0].port;
    }
    wendrel::SetTransportFactory(nullptr);
    wendrel::SetPortPath(5, "hartip+tcp://127.0.0.1:" + std::to_string(port));
    HostedControl host;
    host.put("cComPort", 5);
    host.put("cComState", 1);
    EXPECT_EQ(host.number("cComError"), 1);
    wendrel::SetPortPath(5, "");
}

}  // namespace
