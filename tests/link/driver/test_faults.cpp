// The driver against the simulated meter in-process, under seeded faults:
// lost replies, corrupted checksums, busy answers, late replies, line noise.
#include <gtest/gtest.h>

#include <thread>

#include "link/driver/wendrel.h"
#include "sim/meter_line.h"
#include "sim/meter.h"
#include "tests/support/pipe_harness.h"
#include "tests/support/sim_on_pipe.h"
#include "tests/support/recording_target.h"

using namespace wendrel;
using testsupport::Answer;
using testsupport::PipeHarness;
using testsupport::RecordingTarget;

using testsupport::SimOnPipe;

TEST(DriverUnderFaults, EveryRequestEndsOnceAndRetriesStayWithinTheCount) {
    for (uint32_t seed : {1u, 7u, 42u}) {
        for (int retries : {0, 2}) {
            corvane::sim::FaultOptions faults;
            faults.noAnswer = 0.2;
            faults.badChecksum = 0.15;
            faults.busy = 0.1;
            faults.late = 0.1;
            faults.noise = 0.3;
            faults.seed = seed;
            SimOnPipe sim(faults, 2);
            RecordingTarget client;
            const int32_t handle = sim.line.registerDriver(&client, 2);
            ASSERT_NE(handle, -1);
            DriverConfig c;
            HART_GetConfiguration(handle, &c);
            c.retries = retries;
            HART_SetConfiguration(handle, &c);

            int answered = 0;
            constexpr int kRequests = 40;
            for (int i = 0; i < kRequests; ++i) {
                HartRequest r;
                r.command = i % 2 ? 1 : 2;
                const size_t before = sim.line.writeCount();
                ASSERT_EQ(HART_SendRequest(handle, &r, static_cast<int32_t>(i)), 0);
                auto done = client.take(WM_HART_REPLY);
                ASSERT_TRUE(done) << "request " << i << " never ended";
                const size_t attempts = sim.line.writeCount() - before;
                EXPECT_GE(attempts, 1u);
                EXPECT_LE(attempts, static_cast<size_t>(retries + 1));
                HartReply reply;
                uint8_t data[300];
                reply.data = data;
                int16_t tag = -1;
                ASSERT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(done->wParam), &reply, &tag), 0);
                EXPECT_EQ(tag, i);
                if ((done->lParam & 0xFFFF) == kNoDeviceResponse) {
                    EXPECT_EQ(attempts, static_cast<size_t>(retries + 1)) << "gave up early";
                    continue;
                }
                EXPECT_EQ(reply.command, r.command);
                if (reply.response1 == 32) {
                    EXPECT_EQ(attempts, static_cast<size_t>(retries + 1)) << "busy not retried";
                    continue;
                }
                ++answered;
                EXPECT_EQ(reply.response1, 0);
                EXPECT_EQ(reply.length, r.command == 1 ? 5 : 8);
            }
            // Late replies still arriving must not end anything twice.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_TRUE(client.peek(WM_HART_REPLY).empty());
            EXPECT_GT(answered, retries == 0 ? kRequests / 4 : kRequests / 2) << "seed " << seed;
            HART_UnRegisterDriver(handle);
        }
    }
}
