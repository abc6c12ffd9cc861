// End to end: the driver on a real pseudo-terminal through termios, against
// corvane-meter-sim running as its own process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/driver/codec.h"
#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "tests/support/recording_target.h"
#include "tools/sim_process.h"

using namespace wendrel;
using testsupport::RecordingTarget;

namespace {

struct PtyTest : ::testing::Test {
    tools::SimProcess sim;
    RecordingTarget client;
    int32_t handle = -1;
    std::string logPath;

    void start(std::vector<std::string> args) {
        logPath = testing::TempDir() + "/sim-requests-" + std::to_string(getpid()) + ".log";
        std::filesystem::remove(logPath);
        args.insert(args.end(), {"--log", logPath});
        std::string error;
        ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, args, &error)) << error;
        SetPortPath(1, sim.linkPath());
        DriverRegistration reg;
        reg.window = &client;
        reg.port = 1;
        reg.mode = 0;
        ASSERT_NE(HART_RegisterDriver(&reg, &handle), -1);
        EXPECT_GE(GetComPortHandle(handle), 0);
    }
    void TearDown() override {
        if (handle != -1) HART_UnRegisterDriver(handle);
        SetPortPath(1, "");
        std::filesystem::remove(logPath);
    }
    // Sends and collects; returns the status word and fills the reply.
    intptr_t transact(HartRequest r, HartReply& reply) {
        HART_SendRequest(handle, &r, 0);
        auto done = client.take(WM_HART_REPLY, 10000);
        EXPECT_TRUE(done);
        if (!done) return kNoDeviceResponse;
        int16_t tag;
        EXPECT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(done->wParam), &reply, &tag), 0);
        return done->lParam;
    }
};

}  // namespace

TEST_F(PtyTest, IdentityAndLiveValuesOverARealTerminal) {
    start({"--mode", "0"});
    uint8_t data[300] = {};
    HartReply reply;
    reply.data = data;
    HartRequest identify;
    ASSERT_EQ(transact(identify, reply) & 0xFFFF, 12);
    EXPECT_EQ(data[0], 254);
    EXPECT_EQ(GetHartVendor(data[1]), "Corvane");

    HartRequest byId;
    byId.command = 3;
    byId.addressKind = kAddressUniqueId;
    byId.uniqueId[0] = data[1] & 0x3F;
    byId.uniqueId[1] = data[2];
    std::copy(data + 9, data + 12, byId.uniqueId + 2);
    ASSERT_NE(transact(byId, reply) & 0xFFFF, kNoDeviceResponse);
    EXPECT_EQ(reply.response1, 0);
    EXPECT_GE(reply.length, 9);
    const float current = PickFloat(data, 0);
    EXPECT_GE(current, 3.5f);
    EXPECT_LE(current, 21.0f);

    // The meter's request log names both commands, in order.
    std::ifstream log(logPath);
    std::stringstream text;
    text << log.rdbuf();
    const auto first = text.str().find(" 0 ");
    const auto second = text.str().find(" 3 ");
    EXPECT_NE(first, std::string::npos) << text.str();
    EXPECT_NE(second, std::string::npos) << text.str();
    EXPECT_LT(first, second);
}

TEST_F(PtyTest, AMeterThatVanishesEndsTheOutstandingRequests) {
    start({"--mode", "0", "--no-answer", "1"});
    DriverConfig c;
    HART_GetConfiguration(handle, &c);
    c.retries = 3;
    HART_SetConfiguration(handle, &c);
    HartRequest r;
    HART_SendRequest(handle, &r, 0);
    HART_SendRequest(handle, &r, 0);
    sim.kill();
    ASSERT_TRUE(client.waitForCount(WM_HART_REPLY, 2, 10000));
    for (const auto& m : client.peek(WM_HART_REPLY)) EXPECT_EQ(m.lParam & 0xFFFF, kNoDeviceResponse);
    auto note = client.take(WM_HART_NOTIFY, 5000);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->wParam, NotifyPortLost);
    EXPECT_EQ(GetComPortHandle(handle), -1);
}
