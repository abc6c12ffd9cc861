// The frame driver against a scripted device on an in-memory pipe.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "tests/support/pipe_harness.h"
#include "tests/support/recording_target.h"

using namespace wendrel;
using testsupport::Answer;
using testsupport::hex;
using testsupport::PipeHarness;
using testsupport::RecordingTarget;

namespace {

const char* kCmd0Reply = "FF FF FF FF FF 06 80 00 0E 00 00 FE 3D 01 05 05 01 0A 08 00 0A 1B 2C 74";
const char* kCmd1Reply = "FF FF FF FF FF 06 80 01 07 00 00 11 42 C8 00 00 1B";
const char* kCmd1BusyReply = "FF FF FF FF FF 06 80 01 02 20 00 A5";

HartRequest shortRequest(int command, uint8_t pollAddress = 0) {
    HartRequest r;
    r.command = command;
    r.addressKind = kAddressPolling;
    r.pollAddress = pollAddress;
    return r;
}

struct DriverTest : ::testing::Test {
    PipeHarness line;
    RecordingTarget client;
    int32_t handle = -1;

    void SetUp() override {
        handle = line.registerDriver(&client);
        ASSERT_NE(handle, -1);
    }
    void TearDown() override { HART_UnRegisterDriver(handle); }

    void setRetries(int retries) {
        DriverConfig c;
        HART_GetConfiguration(handle, &c);
        c.retries = retries;
        HART_SetConfiguration(handle, &c);
    }
    // Sends and waits for the request's end; returns the 1126 message.
    testsupport::Posted transact(const HartRequest& r, int32_t tag = 0) {
        EXPECT_EQ(HART_SendRequest(handle, &r, tag), 0);
        auto m = client.take(WM_HART_REPLY);
        EXPECT_TRUE(m.has_value());
        return m.value_or(testsupport::Posted{0, -1, 0});
    }
    void setMode(int mode) {
        DriverConfig c;
        HART_GetConfiguration(handle, &c);
        c.mode = mode;
        HART_SetConfiguration(handle, &c);
    }
    void answerEveryRequestWith(const char* reply) {
        line.setResponder([reply](const std::vector<uint8_t>&) { return std::vector<Answer>{{hex(reply)}}; });
    }
};

}  // namespace

TEST_F(DriverTest, RequestGoesOutByteExactAndTheReplyIsCollectedOnce) {
    DriverConfig c;
    ASSERT_EQ(HART_GetConfiguration(handle, &c), 0);
    EXPECT_EQ(c.preambles, 5);
    EXPECT_EQ(c.retries, 2);
    EXPECT_EQ(c.mode, 2);
    c.preambles = 7;
    HART_SetConfiguration(handle, &c);
    answerEveryRequestWith(kCmd0Reply);

    StartHistory(handle);
    auto done = transact(shortRequest(0), 9);
    EXPECT_EQ(toHex(line.written().at(0)), "FF FF FF FF FF FF FF 02 80 00 00 82");
    EXPECT_GT(done.wParam, 0);
    EXPECT_EQ(done.lParam & 0xFFFF, 12);
    EXPECT_EQ(done.lParam & kReplyBurstBit, 0);

    uint8_t data[300] = {};
    HartReply reply;
    reply.data = data;
    int16_t tag = 0;
    ASSERT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(done.wParam), &reply, &tag), 0);
    EXPECT_EQ(tag, 9);
    EXPECT_EQ(reply.command, 0);
    EXPECT_EQ(reply.length, 12);
    EXPECT_EQ(toHex(data, 12), "FE 3D 01 05 05 01 0A 08 00 0A 1B 2C");
    EXPECT_EQ(reply.response1, 0);
    EXPECT_EQ(reply.response2, 0);
    EXPECT_EQ(HART_ReceiveRequest(handle, static_cast<int32_t>(done.wParam), &reply, &tag), 0);
    EXPECT_EQ(HART_ReceiveRequest(handle, -1, &reply, &tag), 0);
}

TEST_F(DriverTest, LongAddressRequestCarriesDataAndMasterBit) {
    line.setResponder([](const std::vector<uint8_t>&) {
        return std::vector<Answer>{{hex("FF FF 86 BD 01 0A 1B 2C 03 1A 00 00 41 48 00 00 11 42 C8 00 00 20 41 B0 00 00 "
                                        "27 44 7A 00 00 07 3F 80 00 00 FC")}};
    });
    HartRequest r;
    r.command = 3;
    r.addressKind = kAddressUniqueId;
    const uint8_t id[5] = {0x3D, 0x01, 0x0A, 0x1B, 0x2C};
    std::copy(id, id + 5, r.uniqueId);
    auto done = transact(r);
    EXPECT_EQ(toHex(line.written().at(0)), "FF FF FF FF FF 82 BD 01 0A 1B 2C 03 00 00");
    EXPECT_EQ(done.lParam & 0xFFFF, 24);

    // Request data is copied when queued: the caller's buffer may change at once.
    uint8_t payload[4] = {0x41, 0x48, 0x00, 0x00};
    r.command = 34;
    r.data = payload;
    r.length = 4;
    line.setResponder(nullptr);
    setRetries(0);
    HART_SendRequest(handle, &r, 0);
    payload[0] = 0;
    ASSERT_TRUE(client.take(WM_HART_REPLY));
    EXPECT_EQ(toHex(line.written().at(1)), "FF FF FF FF FF 82 BD 01 0A 1B 2C 22 04 41 48 00 00 2C");
}

TEST_F(DriverTest, SilenceIsRetriedTheConfiguredTimesThenReportedAsNoResponse) {
    for (int retries : {0, 1, 3}) {
        setRetries(retries);
        const size_t before = line.writeCount();
        auto done = transact(shortRequest(1));
        EXPECT_EQ(line.writeCount() - before, static_cast<size_t>(retries + 1)) << retries;
        EXPECT_EQ(done.lParam & 0xFFFF, kNoDeviceResponse);
        HartReply reply;
        int16_t tag = -5;
        ASSERT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(done.wParam), &reply, &tag), 0);
        EXPECT_EQ(reply.length, 0);
        EXPECT_EQ(tag, 0);
    }
}

TEST_F(DriverTest, BusyAndDamagedRepliesAreRetriedAndTheLastReplyDelivered) {
    // Busy once, then a good reply: two transmissions, the good reply counts.
    int calls = 0;
    line.setResponder([&](const std::vector<uint8_t>&) {
        return std::vector<Answer>{{hex(++calls == 1 ? kCmd1BusyReply : kCmd1Reply)}};
    });
    auto done = transact(shortRequest(1));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(done.lParam & 0xFFFF, 5);

    // Busy every time: after the retries the busy reply itself is delivered.
    answerEveryRequestWith(kCmd1BusyReply);
    const size_t before = line.writeCount();
    done = transact(shortRequest(1));
    EXPECT_EQ(line.writeCount() - before, 3u);
    HartReply reply;
    int16_t tag;
    ASSERT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(done.wParam), &reply, &tag), 0);
    EXPECT_EQ(reply.response1, 32);

    // A reply with a wrong checksum is no reply.
    calls = 0;
    line.setResponder([&](const std::vector<uint8_t>&) {
        return std::vector<Answer>{{hex(++calls == 1 ? "FF FF FF FF FF 06 80 01 07 00 00 11 42 C8 00 00 1C" : kCmd1Reply)}};
    });
    done = transact(shortRequest(1));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(done.lParam & 0xFFFF, 5);
}

// A loop scan's setting: an empty address costs one try, while a reply that was
// heard but damaged or busy is still retried.
TEST_F(DriverTest, SilenceEndsRequestGivesSilenceOneTryButRetriesWhatWasHeard) {
    DriverConfig c;
    HART_GetConfiguration(handle, &c);
    EXPECT_EQ(c.silenceEndsRequest, 0);
    c.silenceEndsRequest = 7;  // any nonzero value means on
    HART_SetConfiguration(handle, &c);
    HART_GetConfiguration(handle, &c);
    EXPECT_EQ(c.silenceEndsRequest, 1);

    size_t before = line.writeCount();
    auto done = transact(shortRequest(0, 5));
    EXPECT_EQ(line.writeCount() - before, 1u);
    EXPECT_EQ(done.lParam & 0xFFFF, kNoDeviceResponse);

    int calls = 0;
    line.setResponder([&](const std::vector<uint8_t>&) {
        ++calls;
        const char* reply = calls == 1   ? "FF FF FF FF FF 06 80 01 07 00 00 11 42 C8 00 00 1C"  // bad checksum
                            : calls == 2 ? kCmd1BusyReply
                                         : kCmd1Reply;
        return std::vector<Answer>{{hex(reply)}};
    });
    done = transact(shortRequest(1));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(done.lParam & 0xFFFF, 5);

    // Damaged once, then nothing: the silence after it ends the request.
    calls = 0;
    line.setResponder([&](const std::vector<uint8_t>&) {
        return ++calls == 1 ? std::vector<Answer>{{hex("FF FF FF FF FF 06 80 01 07 00 00 11 42 C8 00 00 1C")}}
                            : std::vector<Answer>{};
    });
    before = line.writeCount();
    done = transact(shortRequest(1));
    EXPECT_EQ(line.writeCount() - before, 2u);
    EXPECT_EQ(done.lParam & 0xFFFF, kNoDeviceResponse);
}

TEST_F(DriverTest, FramesNotMeantForThisRequestAreDropped) {
    setRetries(0);
    for (const char* stranger : {
             "FF FF 06 00 01 07 00 00 11 42 C8 00 00 9B",  // reply to a secondary master
             "FF FF 06 81 01 07 00 00 11 42 C8 00 00 1A",  // from polling address 1
             "FF FF 06 80 02 07 00 00 11 42 C8 00 00 18",  // to another command
         }) {
        answerEveryRequestWith(stranger);
        auto done = transact(shortRequest(1));
        EXPECT_EQ(done.lParam & 0xFFFF, kNoDeviceResponse) << stranger;
    }
}

TEST_F(DriverTest, RequestsQueueAndEndInOrderWithTheirTags) {
    answerEveryRequestWith(kCmd1Reply);
    for (int16_t tag = 1; tag <= 5; ++tag) {
        auto r = shortRequest(1);
        ASSERT_EQ(HART_SendRequest(handle, &r, tag), 0);
    }
    ASSERT_TRUE(client.waitForCount(WM_HART_REPLY, 5));
    int32_t lastKey = 0;
    for (int16_t expected = 1; expected <= 5; ++expected) {
        auto m = client.take(WM_HART_REPLY, 0);
        ASSERT_TRUE(m);
        EXPECT_GT(m->wParam, lastKey);
        lastKey = static_cast<int32_t>(m->wParam);
        HartReply reply;
        int16_t tag = 0;
        ASSERT_NE(HART_ReceiveRequest(handle, lastKey, &reply, &tag), 0);
        EXPECT_EQ(tag, expected);
    }
    EXPECT_EQ(line.writeCount(), 5u);
}

TEST_F(DriverTest, BadRequestsEndWithoutTouchingTheLine) {
    auto r = shortRequest(1);
    r.length = 300;  // more than a frame carries
    auto done = transact(r);
    EXPECT_EQ(done.lParam & 0xFFFF, kNoDeviceResponse);
    r = shortRequest(1);
    r.addressKind = 7;
    done = transact(r);
    EXPECT_EQ(done.lParam & 0xFFFF, kNoDeviceResponse);
    EXPECT_EQ(line.writeCount(), 0u);
}

TEST_F(DriverTest, BurstBitOfTheReplyIsReported) {
    answerEveryRequestWith("FF FF 06 C0 01 07 00 00 11 42 C8 00 00 5B");
    auto done = transact(shortRequest(1));
    EXPECT_EQ(done.lParam & 0xFFFF, 5);
    EXPECT_NE(done.lParam & kReplyBurstBit, 0);
}

TEST_F(DriverTest, PortLostEndsEveryOutstandingRequestAndLaterOnes) {
    setRetries(3);
    for (int i = 0; i < 3; ++i) {
        auto r = shortRequest(1);
        HART_SendRequest(handle, &r, static_cast<int32_t>(i));
    }
    EXPECT_NE(GetComPortHandle(handle), -1);
    line.unplug();
    ASSERT_TRUE(client.waitForCount(WM_HART_REPLY, 3));
    for (const auto& m : client.peek(WM_HART_REPLY)) EXPECT_EQ(m.lParam & 0xFFFF, kNoDeviceResponse);
    auto note = client.take(WM_HART_NOTIFY);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->wParam, NotifyPortLost);
    EXPECT_EQ(GetComPortHandle(handle), -1);

    auto later = shortRequest(1);
    HART_SendRequest(handle, &later, 0);
    EXPECT_TRUE(client.waitForCount(WM_HART_REPLY, 4));
}

TEST_F(DriverTest, MonitorSeesBothDirectionsAndDamagedFrames) {
    RecordingTarget monitor;
    ASSERT_EQ(RegisterLLMonitor(handle, &monitor, WM_HART_MONITOR), 0);
    answerEveryRequestWith(kCmd1Reply);
    transact(shortRequest(1));
    line.inject(hex("FF FF 06 80 01 07 00 00 11 42 C8 00 00 1C"));  // stray, damaged
    ASSERT_TRUE(monitor.waitForCount(WM_HART_MONITOR, 3));
    auto frames = monitor.peek(WM_HART_MONITOR);
    auto sent = ReadMonitorRecord(frames[0].lParam);
    EXPECT_EQ(frames[0].wParam, OriginSent);
    EXPECT_EQ(toHex(sent.bytes, static_cast<size_t>(sent.count)), "FF FF FF FF FF 02 80 01 00 83");
    EXPECT_EQ(sent.preambles, 5);
    auto received = ReadMonitorRecord(frames[1].lParam);
    EXPECT_EQ(frames[1].wParam, OriginReceived);
    EXPECT_EQ(toHex(received.bytes, static_cast<size_t>(received.count)), kCmd1Reply);
    EXPECT_EQ(received.error, 0);
    EXPECT_LE(sent.timeMs, received.timeMs);
    EXPECT_EQ(ReadMonitorRecord(frames[2].lParam).error, 1);

    UnRegisterLLMonitor(handle);
    transact(shortRequest(1));
    EXPECT_EQ(monitor.peek(WM_HART_MONITOR).size(), 3u);
}

TEST_F(DriverTest, MasterWaitsForAFrameOnTheLineToEnd) {
    DriverConfig c;
    HART_GetConfiguration(handle, &c);
    c.mode = 0;  // 1200 bit/s: the frame may pause a few character times between bytes
    HART_SetConfiguration(handle, &c);
    answerEveryRequestWith(kCmd1Reply);
    transact(shortRequest(1));  // the new line rate is in force once a request has run
    line.inject(hex("FF FF FF 06 00 01"));  // another station's frame has begun
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto r = shortRequest(1);
    HART_SendRequest(handle, &r, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(line.writeCount(), 1u);
    line.inject(hex("07 00 00 11 42 C8 00 00 9B"));  // it ends
    auto done = client.take(WM_HART_REPLY);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->lParam & 0xFFFF, 5);
}

// After each of its transactions the master leaves the line to another
// master for the link grant time: 8 characters, 73.3 ms at 1200 bit/s.
TEST_F(DriverTest, TheNextRequestWaitsTheLinkGrantTimeAfterAReply) {
    setMode(0);
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> writes;
    line.setResponder([&](const std::vector<uint8_t>&) {
        std::lock_guard lock(mutex);
        writes.push_back(std::chrono::steady_clock::now());
        return std::vector<Answer>{{hex(kCmd1Reply)}};  // at once: the reply ends as the request does
    });
    for (int i = 0; i < 3; ++i) {
        auto r = shortRequest(1);
        HART_SendRequest(handle, &r, i);
    }
    ASSERT_TRUE(client.waitForCount(WM_HART_REPLY, 3));
    std::lock_guard lock(mutex);
    ASSERT_EQ(writes.size(), 3u);
    for (size_t i = 1; i < writes.size(); ++i)
        EXPECT_GE(writes[i] - writes[i - 1], std::chrono::microseconds(73300)) << "request " << i;
}

// Another master that starts its request in our link grant time has the
// line: ours waits until that frame has ended, however long it runs.
TEST_F(DriverTest, AnotherMastersFrameInTheGrantTimeIsWaitedFor) {
    setMode(0);
    // A secondary master's request, a byte every 7 ms (well inside the gap of
    // 4 characters), starting 5 ms after our reply and ending long after the grant time.
    const auto other = hex("FF FF FF FF FF 02 00 01 0A 00 01 02 03 04 05 06 07 08 09 08");
    constexpr int kFirstByteMs = 5, kByteSpacingMs = 7;
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> writes;
    line.setResponder([&](const std::vector<uint8_t>&) {
        std::lock_guard lock(mutex);
        writes.push_back(std::chrono::steady_clock::now());
        std::vector<Answer> out{{hex(kCmd1Reply)}};
        if (writes.size() == 1)
            for (size_t i = 0; i < other.size(); ++i)
                out.push_back({{other[i]}, kFirstByteMs + kByteSpacingMs * static_cast<int>(i)});
        return out;
    });
    RecordingTarget monitor;
    RegisterLLMonitor(handle, &monitor, WM_HART_MONITOR);
    for (int i = 0; i < 2; ++i) {
        auto r = shortRequest(1);
        HART_SendRequest(handle, &r, i);
    }
    ASSERT_TRUE(client.waitForCount(WM_HART_REPLY, 2));
    std::lock_guard lock(mutex);
    ASSERT_EQ(writes.size(), 2u);
    const auto otherEnded =
        writes[0] + std::chrono::milliseconds(kFirstByteMs + kByteSpacingMs * static_cast<int>(other.size() - 1));
    EXPECT_GE(writes[1], otherEnded);
    // The other master's request was seen whole, between our two.
    ASSERT_TRUE(monitor.waitForCount(WM_HART_MONITOR, 5));
    const auto frames = monitor.peek(WM_HART_MONITOR);
    const auto seen = ReadMonitorRecord(frames[2].lParam);
    EXPECT_EQ(toHex(seen.bytes, static_cast<size_t>(seen.count)), toHex(other));
    EXPECT_EQ(seen.error, 0);
    EXPECT_EQ(frames[3].wParam, OriginSent);
    UnRegisterLLMonitor(handle);
}

// A reply cut short by a pause is retried only once the line has been silent
// for the link grant time: the rest of it, arriving late, must not meet the retry.
TEST_F(DriverTest, ARetryWaitsUntilTheRestOfAReplyCutShortHasPassed) {
    setMode(0);
    constexpr int kRestMs = 60;  // beyond the gap of 4 characters: the reply is taken as cut short
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> writes;
    line.setResponder([&](const std::vector<uint8_t>&) {
        std::lock_guard lock(mutex);
        writes.push_back(std::chrono::steady_clock::now());
        if (writes.size() > 1) return std::vector<Answer>{{hex(kCmd1Reply)}};
        return std::vector<Answer>{{hex("FF FF FF FF FF 06 80 01 07 00 00")}, {hex("11 42 C8 00 00 1B"), kRestMs}};
    });
    auto done = transact(shortRequest(1));
    EXPECT_EQ(done.lParam & 0xFFFF, 5);
    std::lock_guard lock(mutex);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_GE(writes[1] - writes[0], std::chrono::milliseconds(kRestMs) + std::chrono::microseconds(73300));
}

// A reply that comes after its transaction has ended belongs to no request:
// the monitor shows it, and the next request gets its own reply.
TEST_F(DriverTest, AReplyAfterItsTransactionEndedIsShownAndDropped) {
    setRetries(0);
    RecordingTarget monitor;
    RegisterLLMonitor(handle, &monitor, WM_HART_MONITOR);
    const char* secondReply = "FF FF FF FF FF 06 80 01 07 00 00 11 42 48 00 00 9B";  // 50.0 instead of 100.0
    int calls = 0;
    line.setResponder([&](const std::vector<uint8_t>&) {
        return ++calls == 1 ? std::vector<Answer>{{hex(kCmd1Reply), 150}}  // long after the reply wait
                            : std::vector<Answer>{{hex(secondReply)}};
    });
    auto first = transact(shortRequest(1));
    EXPECT_EQ(first.lParam & 0xFFFF, kNoDeviceResponse);
    ASSERT_TRUE(monitor.waitForCount(WM_HART_MONITOR, 2));
    const auto late = ReadMonitorRecord(monitor.peek(WM_HART_MONITOR)[1].lParam);
    EXPECT_EQ(toHex(late.bytes, static_cast<size_t>(late.count)), kCmd1Reply);
    EXPECT_TRUE(client.peek(WM_HART_REPLY).empty()) << "the late reply ended something";

    auto second = transact(shortRequest(1));
    ASSERT_EQ(second.lParam & 0xFFFF, 5);
    uint8_t data[16] = {};
    HartReply reply;
    reply.data = data;
    int16_t tag;
    ASSERT_NE(HART_ReceiveRequest(handle, static_cast<int32_t>(second.wParam), &reply, &tag), 0);
    EXPECT_EQ(toHex(data, 5), "11 42 48 00 00");
    UnRegisterLLMonitor(handle);
}

TEST_F(DriverTest, WithABurstDeviceTheMasterSendsOnlyAfterABurstFrame) {
    const auto burst = hex("FF FF FF FF FF 81 FD 01 0A 1B 2C 01 07 00 40 11 42 C8 00 00 9D");
    answerEveryRequestWith(kCmd1Reply);
    line.inject(burst);
    auto note = client.take(WM_HART_NOTIFY);
    ASSERT_TRUE(note);
    EXPECT_EQ(note->wParam, NotifyBurstDevice);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the grant window after it has passed
    auto r = shortRequest(1);
    HART_SendRequest(handle, &r, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(line.writeCount(), 0u) << "sent while a burst device owns the line";
    line.inject(burst);
    auto done = client.take(WM_HART_REPLY);
    ASSERT_TRUE(done);
    EXPECT_EQ(line.writeCount(), 1u);
    EXPECT_EQ(done.value().lParam & 0xFFFF, 5);
}

TEST_F(DriverTest, ConfigurationIsReadModifyWriteAndClamped) {
    DriverConfig c;
    HART_GetConfiguration(handle, &c);
    c.reserved[2] = 77;
    c.preambles = 99;
    c.retries = -4;
    c.mode = 9;
    c.rtsDelay = 15;
    HART_SetConfiguration(handle, &c);
    DriverConfig back;
    HART_GetConfiguration(handle, &back);
    EXPECT_EQ(back.preambles, 30);
    EXPECT_EQ(back.retries, 0);
    EXPECT_EQ(back.mode, 0);
    EXPECT_EQ(back.rtsDelay, 15);
    EXPECT_EQ(back.reserved[2], 77);
    EXPECT_EQ(back.port, 1);
}

TEST_F(DriverTest, NothingIsPostedAfterUnregistering) {
    line.setResponder([](const std::vector<uint8_t>&) { return std::vector<Answer>{{hex(kCmd1Reply), 30}}; });
    auto r = shortRequest(1);
    HART_SendRequest(handle, &r, 0);
    HART_SendRequest(handle, &r, 0);
    EXPECT_EQ(HART_UnRegisterDriver(handle), 0);
    const size_t seen = client.peek(WM_HART_REPLY).size();
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_EQ(client.peek(WM_HART_REPLY).size(), seen);
    EXPECT_EQ(HART_SendRequest(handle, &r, 0), -1);
    EXPECT_EQ(GetComPortHandle(handle), -1);
    EXPECT_EQ(HART_UnRegisterDriver(handle), -1);
}

TEST(DriverPorts, UnopenablePortsFailRegistrationWithAReason) {
    char dir[] = "/tmp/wendrel-ports-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string plainFile = std::string(dir) + "/not-a-tty";
    close(open(plainFile.c_str(), O_CREAT | O_WRONLY, 0644));
    std::string spec;
    for (int port = 1; port <= 24; ++port)
        spec += std::to_string(port) + "=" + dir + "/absent" + std::to_string(port) + ",";
    spec += "5=" + plainFile;
    setenv("WENDREL_PORTS", spec.c_str(), 1);
    std::vector<std::string> log;
    SetLogSink([&](const std::string& line) { log.push_back(line); });

    RecordingTarget client;
    for (int port = 0; port <= 33; ++port) {
        DriverRegistration reg;
        reg.window = &client;
        reg.port = port;
        int32_t handle = 0;
        EXPECT_EQ(HART_RegisterDriver(&reg, &handle), -1) << port;
        EXPECT_EQ(handle, -1);
    }
    // A plain file is worth a word; absent devices, the usual answer of a probe, are not.
    bool namedNotATty = false;
    for (const auto& line : log) {
        namedNotATty |= line.find("not a serial device") != std::string::npos;
        EXPECT_EQ(line.find("absent"), std::string::npos) << line;
    }
    EXPECT_TRUE(namedNotATty);
    EXPECT_EQ(GetComPortHandle(-1), -1);

    SetLogSink(nullptr);
    unsetenv("WENDREL_PORTS");
    unlink(plainFile.c_str());
    rmdir(dir);
}

TEST(DriverPorts, PortMapDefaultsEnvironmentAndHostOverrides) {
    unsetenv("WENDREL_PORTS");
    EXPECT_EQ(PortPath(1), "/dev/ttyUSB0");
    EXPECT_EQ(PortPath(9), "/dev/ttyACM0");
    EXPECT_EQ(PortPath(17), "/dev/ttyS0");
    EXPECT_EQ(PortPath(32), "/dev/ttyS15");
    EXPECT_EQ(PortPath(0), "");
    EXPECT_EQ(PortPath(33), "");
    setenv("WENDREL_PORTS", "1=/dev/pts/4, x=/bad,2=,3=/dev/ttyUSB7,3=/dev/ttyUSB6", 1);
    EXPECT_EQ(PortPath(1), "/dev/pts/4");
    EXPECT_EQ(PortPath(2), "/dev/ttyUSB1");
    EXPECT_EQ(PortPath(3), "/dev/ttyUSB6");
    SetPortPath(1, "/dev/ttyS3");
    EXPECT_EQ(PortPath(1), "/dev/ttyS3");
    SetPortPath(1, "");
    EXPECT_EQ(PortPath(1), "/dev/pts/4");
    unsetenv("WENDREL_PORTS");
}
