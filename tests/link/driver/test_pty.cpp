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

    void start(std::vector<std::string> args, int mode = 0) {
        logPath = testing::TempDir() + "/sim-requests-" + std::to_string(getpid()) + ".log";
        std::filesystem::remove(logPath);
        args.insert(args.end(), {"--log", logPath});
        std::string error;
        ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, args, &error)) << error;
        SetPortPath(1, sim.linkPath());
        DriverRegistration reg;
        reg.window = &client;
        reg.port = 1;
        reg.mode = mode;
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

// Long requests against a meter that paces its line, at every rate: each
// goes out once, since the reply wait runs from the end of the request on
// the wire and not from the moment the port took it, and each result carries
// the reply to its own request.
struct PacedLine : PtyTest, ::testing::WithParamInterface<int> {};

TEST_P(PacedLine, LongRequestsGoOutOnceAndEachResultCarriesItsOwnReply) {
    const int mode = GetParam();
    start({"--pace", "--mode", std::to_string(mode)}, mode);
    if (mode == 2) {
        // At 19200 bit/s the reply wait is its floor of 20 ms, below what a
        // machine busy with other work may take to wake two processes.
        DriverConfig c;
        HART_GetConfiguration(handle, &c);
        c.replyTimeout = 60;
        HART_SetConfiguration(handle, &c);
    }
    struct Long {
        int command;
        std::vector<uint8_t> data;
        size_t echoed;  // the reply gives back this many of the request's bytes
    };
    auto bytes = [](size_t count, uint8_t seed) {
        std::vector<uint8_t> out(count);
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(seed + 37 * i);
        return out;
    };
    std::vector<Long> requests = {
        {17, bytes(24, 1), 24}, {18, bytes(21, 2), 21}, {217, bytes(24, 3), 19}, {17, bytes(24, 4), 24}};
    for (size_t i = 0; i < requests.size(); ++i) {
        HartRequest r;
        r.command = requests[i].command;
        r.data = requests[i].data.data();
        r.length = static_cast<int32_t>(requests[i].data.size());
        ASSERT_EQ(HART_SendRequest(handle, &r, static_cast<int32_t>(i)), 0);
    }
    for (size_t i = 0; i < requests.size(); ++i) {
        auto done = client.take(WM_HART_REPLY, 20000);
        ASSERT_TRUE(done) << "request " << i;
        uint8_t data[300] = {};
        HartReply reply;
        reply.data = data;
        int16_t tag = -1;
        ASSERT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(done->wParam), &reply, &tag), 0);
        EXPECT_EQ(tag, static_cast<int16_t>(i));
        EXPECT_EQ(reply.command, requests[i].command);
        EXPECT_EQ(reply.response1, 0) << "request " << i;
        const auto& sent = requests[i].data;
        EXPECT_EQ(std::vector<uint8_t>(data, data + std::max(reply.length, 0)),
                  std::vector<uint8_t>(sent.begin(), sent.begin() + static_cast<long>(requests[i].echoed)))
            << "request " << i;
    }
    // What the meter heard: each request once, in order.
    std::ifstream log(logPath);
    std::vector<int> heard;
    for (std::string day, time; log >> day >> time;) {
        int command = -1;
        std::string data;
        log >> command >> data;
        heard.push_back(command);
    }
    EXPECT_EQ(heard, (std::vector<int>{17, 18, 217, 17}));
}

INSTANTIATE_TEST_SUITE_P(At1200And9600And19200, PacedLine, ::testing::Values(0, 1, 2));

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
