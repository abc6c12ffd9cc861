// The control's typed-frame path: a command text becomes a transaction, as
// the simulated meter's request log shows.
#include <gtest/gtest.h>

#include <chrono>

#include "link/control/control.h"
#include "link/control/fenwire_dispids.h"
#include "link/control/message_window.h"
#include "link/driver/frame.h"
#include "tests/support/sim_on_pipe.h"

namespace {

using fenwire::CKvFenwireCtrl;
using fenwire::Variant;

struct CommandTextSend : ::testing::Test {
    testsupport::SimOnPipe sim;
    CKvFenwireCtrl control;

    void SetUp() override {
        control.put(FW_cComMode, Variant::fromShort(2));
        control.put(FW_cComState, Variant::fromShort(1));
    }
    void TearDown() override { control.put(FW_cComState, Variant::fromShort(0)); }
    int number(int dispid) {
        Variant v;
        control.get(dispid, v);
        return v.i;
    }
    bool waitIdle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (number(FW_cBusy) != 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            fenwire::processMessages(50);
        }
        return true;
    }
};

TEST_F(CommandTextSend, TextBecomesTheRequestAfterTheIdentity) {
    EXPECT_EQ(control.sendCommandText("18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101"), 18);
    ASSERT_TRUE(waitIdle());
    // (A request the driver repeated on a loaded machine shows up twice.)
    const auto& log = sim.meter.requestLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().command, 0);  // the identifier was not known yet
    EXPECT_EQ(log.back().command, 18);
    ASSERT_EQ(log.back().data.size(), 21u);
    EXPECT_EQ(wendrel::toHex(log.back().data.data(), 6), "50 11 DF 38 13 45");
    EXPECT_EQ(wendrel::toHex(log.back().data.data() + 18, 3), "1B 03 65");
    EXPECT_EQ(number(FW_xReqLen), 21);
    EXPECT_EQ(number(FW_cDoCommand), 18);
    EXPECT_EQ(number(FW_cComResult), 1);

    // Known identifier now: straight out, and a second text while nothing is pending.
    sim.meter.clearRequestLog();
    EXPECT_EQ(control.sendCommandText("1,0"), 1);
    ASSERT_TRUE(waitIdle());
    ASSERT_GE(sim.meter.requestLog().size(), 1u);
    for (const auto& r : sim.meter.requestLog()) EXPECT_EQ(r.command, 1);
}

TEST_F(CommandTextSend, BadTextOrClosedLineSendsNothing) {
    EXPECT_EQ(control.sendCommandText("19,2,dec24,1234567"), -1);
    EXPECT_EQ(control.sendCommandText(""), -1);
    EXPECT_EQ(number(FW_cBusy), 0);
    control.put(FW_cComState, Variant::fromShort(0));
    EXPECT_EQ(control.sendCommandText("1,0"), -1);
    fenwire::processMessages(50);
    EXPECT_TRUE(sim.meter.requestLog().empty());
}

}  // namespace
