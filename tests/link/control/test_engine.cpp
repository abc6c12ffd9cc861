// The transaction engine through the C interface, with the real driver on the
// in-memory pipe and the simulated meter at its far end.
#include <gtest/gtest.h>

#include <thread>

#include "platform/scripted.h"
#include "tests/link/control/control_on_sim.h"
#include "tests/link/control/hosted_control.h"
#include "tests/support/sim_on_pipe.h"

using testsupport::HostedControl;
using testsupport::SimOnPipe;

namespace {

using testsupport::commandsSeen;
using EngineTest = testsupport::ControlOnSim;


}  // namespace

TEST(ControlDefaults, NewControlHasItsDocumentedStartValues) {
    HostedControl host;
    EXPECT_EQ(host.number("cNoPreambles"), 5);
    EXPECT_EQ(host.number("cNoRetries"), 2);
    EXPECT_EQ(host.number("cComPort"), 1);
    for (const char* name : {"cComError", "cAddrMode", "cBusy", "cComResult", "cComState", "cDoCommand",
                              "cPollAddress", "cRcvLen", "cAction", "cComMode", "cUnID0", "cBurstModeFlag",
                              "xReqLen", "xOffset", "xInt8", "xInt32", "p00DeviceNumber"})
        EXPECT_EQ(host.number(name), 0) << name;
    EXPECT_EQ(host.real("p01Pv"), 0.0f);
    EXPECT_EQ(host.text("p13TagName"), "");
    EXPECT_EQ(fw_create("Other.Control.1"), nullptr);
}

TEST(ControlDefaults, PortAndModeWritesAreClamped) {
    HostedControl host;
    host.put("cComPort", 40);
    EXPECT_EQ(host.number("cComPort"), 32);
    host.put("cComPort", -3);
    EXPECT_EQ(host.number("cComPort"), 1);
    host.put("cComMode", 7);
    EXPECT_EQ(host.number("cComMode"), 0);
    // Automation conversions on the way in.
    fw_variant text{8, 0, 0, "12"};
    EXPECT_EQ(fw_put(host.control, HostedControl::dispid("cPollAddress"), &text), 0);
    EXPECT_EQ(host.number("cPollAddress"), 12);
    fw_variant junk{8, 0, 0, "twelve"};
    EXPECT_EQ(fw_put(host.control, HostedControl::dispid("cPollAddress"), &junk), FW_E_TYPEMISMATCH);
    fw_variant big{3, 70000, 0, nullptr};
    EXPECT_EQ(fw_put(host.control, HostedControl::dispid("cPollAddress"), &big), FW_E_OVERFLOW);
    fw_variant half{4, 0, 2.5f, nullptr};
    fw_put(host.control, HostedControl::dispid("cPollAddress"), &half);
    EXPECT_EQ(host.number("cPollAddress"), 2);  // halves go to even
}

TEST(ControlLine, APortThatCannotBeOpenedSetsTheErrorAndSendsNothing) {
    platform::ScriptedBackend script;
    platform::BackendGuard guard(script);
    HostedControl host;
    host.put("cComPort", 7);  // nothing behind port 7
    host.put("cComState", 1);
    EXPECT_EQ(host.number("cComError"), 1);
    host.put("cDoCommand", 0);
    EXPECT_EQ(host.number("cBusy"), 0);
    EXPECT_TRUE(host.events().empty());
    EXPECT_TRUE(script.messageBoxes().empty());
    // At design time the user is told.
    fw_set_user_mode(host.control, 0);
    host.put("cDoCommand", 0);
    ASSERT_EQ(script.messageBoxes().size(), 1u);
    EXPECT_EQ(script.messageBoxes()[0].text, QString("Com Port not Accessable!"));
}

TEST_F(EngineTest, WritingThePortInUseDoesNotRegisterAgain) {
    open(2);
    EXPECT_EQ(sim.line.openings(), 1);
    host.put("cComPort", 1);
    EXPECT_EQ(sim.line.openings(), 1);
    host.put("cComMode", 1);  // a new mode does register again
    EXPECT_EQ(sim.line.openings(), 2);
    EXPECT_EQ(host.number("cComError"), 0);
    host.put("cDoCommand", 0);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cComResult"), 1);
}

TEST_F(EngineTest, UnknownIdentityIsFetchedFirstThenThePendingCommandGoesOutByLongAddress) {
    open(0);
    host.put("cDoCommand", 3);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), (std::vector<int>{0, 3}));
    const auto written = sim.line.written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0][5], 0x02);  // short frame to the polling address
    EXPECT_EQ(written[1][5], 0x82);  // long frame
    // The pending command's send fires its own Busy before the identity's Result.
    EXPECT_EQ(host.events(),
              (std::vector<std::string>{"Busy(1)", "Busy(1)", "Result(0,0,1)", "Busy(1)", "Result(0,3,1)", "Busy(0)"}));
    // The identity reply: identifier bytes, then the decoded values, then the
    // pending send, then the outcome, in that order.
    const int id = host.find("~cUnID0");
    const int vendor = host.find("~p00VendorID");
    const int resend = host.find("Busy(1)", vendor);
    const int result = host.find("~cComResult");
    const int buffer = host.find("~xInt8");
    const int length = host.find("~cRcvLen");
    EXPECT_TRUE(id >= 0 && id < vendor && vendor < resend && resend < result && result < buffer && buffer < length)
        << id << " " << vendor << " " << resend << " " << result << " " << buffer << " " << length;
    EXPECT_EQ(host.number("cUnID0"), 0x3D);
    EXPECT_EQ(host.number("cUnID1"), 1);
    EXPECT_EQ(host.number("p00DeviceNumber"), 0x0A1B2C);
    EXPECT_EQ(host.text("p00sVendor"), "Corvane");
    EXPECT_EQ(host.number("cRcvLen"), 24);
    EXPECT_GT(host.real("p03Pv1"), 0.0f);
}

TEST_F(EngineTest, AKnownIdentitySendsAtOnceAndStoresNothingPending) {
    open(0);
    learnIdentity();
    host.put("cDoCommand", 3);
    EXPECT_EQ(host.put("cDoCommand", 12), 0);  // nothing pending: no error
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), (std::vector<int>{3, 12}));
}

TEST_F(EngineTest, ASecondCommandWhileOneIsPendingRaisesTheAutomationError) {
    open(0);
    host.put("cDoCommand", 3);
    EXPECT_EQ(host.put("cDoCommand", 12), FW_E_PENDING_COMMAND);
    EXPECT_STREQ(fw_error_description(host.control),
                 "Cannot service command without unique ID! The control just issued command 0 or 11 to get the ID. "
                 "The last command was stored. But only one command can be stored at a time!");
    EXPECT_EQ(host.number("cDoCommand"), 12);  // the property keeps the written value
    EXPECT_EQ(host.put("cDoCommand", 0), 0);   // identity requests are always allowed
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), (std::vector<int>{0, 0, 3}));
}

// After a silent meter, mode 0 fetches the identity again; modes 1 and 2 keep it.
static void checkNoResponse(int mode, const std::vector<int>& nextCommands) {
    SimOnPipe sim;
    HostedControl host;
    host.put("cComMode", mode);
    host.put("cComState", 1);
    host.put("cNoRetries", 0);
    host.put("cDoCommand", 0);
    ASSERT_TRUE(host.waitIdle());
    host.log.clear();
    sim.silent = true;
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cComResult"), 2);
    EXPECT_EQ(host.number("cRcvLen"), 0);
    EXPECT_EQ(host.events(), (std::vector<std::string>{"Busy(1)", "Result(0,1,2)", "Busy(0)"}));
    sim.silent = false;
    sim.meter.clearRequestLog();
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), nextCommands);
}

TEST(ControlNoResponse, Mode0ForgetsTheIdentifier) { checkNoResponse(0, {0, 1}); }
TEST(ControlNoResponse, Mode2KeepsTheIdentifier) { checkNoResponse(2, {1}); }

TEST_F(EngineTest, ClosingWithTransactionsOutstandingFiresBusyZeroAndNoResult) {
    open(2);
    host.put("cNoRetries", 3);
    learnIdentity();
    sim.silent = true;
    host.put("cDoCommand", 1);
    host.put("cDoCommand", 2);
    EXPECT_EQ(host.number("cBusy"), 2);
    host.put("cComState", 0);
    host.pump(200);
    EXPECT_EQ(host.events(), (std::vector<std::string>{"Busy(1)", "Busy(2)", "Busy(0)"}));
    EXPECT_EQ(host.number("cBusy"), 0);
    EXPECT_EQ(host.number("cUnID0"), 0);  // the identifier is cleared
}

TEST_F(EngineTest, AHostSendingFromItsResultHandlerSeesBusyOneThenZero) {
    open(2);
    learnIdentity();
    bool sent = false;
    int busyWhenReplyHandlerEnded = -1;
    host.onEventHook = [&](int dispid, int, int16_t* args) {
        if (dispid == FW_EVENT_Result && args[1] == 1 && !sent) {
            sent = true;
            host.put("cDoCommand", 2);
        } else if (dispid == FW_EVENT_Busy && sent && busyWhenReplyHandlerEnded < 0 && args[0] == 0) {
            busyWhenReplyHandlerEnded = host.number("cBusy");
        }
    };
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    const auto events = host.events();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4),
              (std::vector<std::string>{"Busy(1)", "Result(0,1,1)", "Busy(1)", "Busy(0)"}));
    EXPECT_EQ(busyWhenReplyHandlerEnded, 1);  // the send from the handler is still out
    ASSERT_TRUE(host.waitIdle());
}

TEST_F(EngineTest, ActionsBuildTheirRequestsAndReportTheLength) {
    open(2);
    learnIdentity();
    host.putText("p12Message", "HELLO");
    host.put("cAction", 8);
    ASSERT_TRUE(host.waitIdle());
    ASSERT_EQ(sim.meter.requestLog().size(), 1u);
    EXPECT_EQ(sim.meter.requestLog()[0].command, 17);
    EXPECT_EQ(sim.meter.requestLog()[0].data.size(), 24u);
    EXPECT_EQ(host.number("xReqLen"), 24);
    EXPECT_LT(host.find("Busy(1)"), host.find("~xReqLen"));  // the length is reported after the send
    EXPECT_EQ(host.text("p12Message").substr(0, 5), "HELLO");

    host.putText("p13TagName", "TAG-7");
    host.putText("p13Descriptor", "DESC");
    host.put("p13DateDay", 3);
    host.put("p13DateMonth", 3);
    host.put("p13DateYear", 101);
    sim.meter.clearRequestLog();
    host.put("cAction", 9);
    ASSERT_TRUE(host.waitIdle());
    ASSERT_EQ(sim.meter.requestLog().size(), 1u);
    const auto& tdd = sim.meter.requestLog()[0];
    EXPECT_EQ(tdd.command, 18);
    ASSERT_EQ(tdd.data.size(), 21u);
    EXPECT_EQ(tdd.data[18], 3);
    EXPECT_EQ(tdd.data[19], 3);
    EXPECT_EQ(tdd.data[20], 101);

    host.log.clear();
    host.put("cAction", 12);
    EXPECT_EQ(host.number("cAction"), 0);
    EXPECT_EQ(host.log, (std::vector<std::string>{"~cAction"}));
}

TEST_F(EngineTest, Action10MovesThePollingAddressAndForgetsTheIdentifier) {
    open(2);
    learnIdentity();
    host.put("cNewPollAddress", 3);
    host.put("cAction", 10);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cPollAddress"), 3);
    EXPECT_EQ(host.number("cUnID0"), 0);
    // The next command finds the meter again, at its new address.
    sim.meter.clearRequestLog();
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), (std::vector<int>{0, 1}));
    EXPECT_EQ(host.number("cComResult"), 1);
}

TEST_F(EngineTest, UniqueIdentifierWritesFollowTheAddressMode) {
    open(0);
    host.put("cUnID0", 9);  // mode 0, address mode 0: set back
    EXPECT_EQ(host.number("cUnID0"), 0);
    host.put("cAddrMode", 2);
    for (auto [name, value] : {std::pair{"cUnID0", 0x3D}, {"cUnID1", 1}, {"cUnID2", 0x0A}, {"cUnID3", 0x1B}, {"cUnID4", 0x2C}})
        host.put(name, value);
    host.put("cDoCommand", 1);  // straight to the long address, no identity fetch
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), (std::vector<int>{1}));
    EXPECT_EQ(host.number("cComResult"), 1);
    // Address mode 1: the tag finds the meter by command 11.
    host.put("cAddrMode", 1);
    host.putText("p13TagName", "FT-101");
    sim.meter.clearRequestLog();
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(commandsSeen(sim), (std::vector<int>{11, 1}));
}

TEST_F(EngineTest, BurstModeFlagFollowsTheReplies) {
    open(2);
    learnIdentity();
    sim.meter.state().burstMode = true;
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cBurstModeFlag"), -1);
    sim.meter.state().burstMode = false;
    host.put("cDoCommand", 1);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cBurstModeFlag"), 0);
}

TEST_F(EngineTest, EveryEventAndReportHappensOnTheHostThread) {
    open(2);
    host.put("cDoCommand", 3);
    ASSERT_TRUE(host.waitIdle());
    ASSERT_FALSE(host.threads.empty());
    for (auto id : host.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(EngineTest, RequestDataComesFromTheBufferUpToXReqLen) {
    open(2);
    learnIdentity();
    host.put("xOffset", 0);
    host.put("xInt8", 5);
    host.put("xOffset", 1);
    host.putFloat("xFloat", 12.5f);
    host.put("xReqLen", 5);
    host.put("cDoCommand", 34);
    ASSERT_TRUE(host.waitIdle());
    ASSERT_EQ(sim.meter.requestLog().size(), 1u);
    EXPECT_EQ(sim.meter.requestLog()[0].data, (std::vector<uint8_t>{0x05, 0x41, 0x48, 0x00, 0x00}));
    // A length no frame can carry ends as no device response, without a hang.
    host.put("xReqLen", 300);
    host.put("cDoCommand", 34);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cComResult"), 2);
}
