// Every request ends, whatever the host does to the line, and the request goes
// out with the data the host put in. The control runs over the real driver on
// the in-memory line; what was sent is read from the simulated meter's request
// log, i.e. from what the meter received.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "link/driver/codec.h"
#include "tests/link/control/control_on_sim.h"
#include "tests/link/control/hosted_control.h"
#include "tests/support/pipe_harness.h"
#include "tests/support/sim_on_pipe.h"

using testsupport::HostedControl;
using testsupport::SimOnPipe;

namespace {

using testsupport::commandsSeen;

int count(const std::vector<std::string>& events, const std::string& entry) {
    return static_cast<int>(std::count(events.begin(), events.end(), entry));
}

struct RequestsEnd : testsupport::ControlOnSim {
    // With the meter silent, a command waits for the identifier: one request
    // (the identity fetch) is outstanding and the command is pending.
    void leavePendingCommand(int command) {
        sim.silent = true;
        host.put("cNoRetries", 3);
        ASSERT_EQ(host.put("cDoCommand", command), 0);
        ASSERT_EQ(host.number("cBusy"), 1);
        ASSERT_EQ(host.put("cDoCommand", 12), FW_E_PENDING_COMMAND);
    }
    // The line is usable again: a new command is accepted, sent and answered.
    void expectNextRequestAnswered(const std::vector<int>& commands) {
        sim.silent = false;
        host.pump(50);  // let the old line's leftovers arrive, if any were to
        sim.meter.clearRequestLog();
        host.log.clear();
        ASSERT_EQ(host.put("cDoCommand", 13), 0);
        ASSERT_TRUE(host.waitIdle());
        host.pump(50);
        EXPECT_EQ(commandsSeen(sim), commands);
        EXPECT_EQ(host.number("cComResult"), 1);
        EXPECT_EQ(host.number("cBusy"), 0);
        EXPECT_EQ(count(host.events(), "Result(0,13,1)"), 1);
    }
};

}  // namespace

TEST_F(RequestsEnd, ANewModeWithARequestOutstandingEndsItAndDropsThePendingCommand) {
    open(0);
    leavePendingCommand(3);
    host.log.clear();
    host.put("cComMode", 1);  // registers the driver again
    EXPECT_EQ(host.number("cBusy"), 0);
    EXPECT_EQ(host.events(), (std::vector<std::string>{"Busy(0)"}));
    EXPECT_NE(host.find("~cBusy"), -1);
    EXPECT_NE(host.find("~cUnID0"), -1);  // a new line may hold another meter
    EXPECT_EQ(sim.line.openings(), 2);
    // The identity is fetched afresh, and the dropped command 3 never goes out.
    expectNextRequestAnswered({0, 13});
    EXPECT_EQ(count(host.events(), "Result(0,0,1)"), 1);
}

TEST_F(RequestsEnd, ANewPortWithARequestOutstandingEndsItAndTheOldLineStaysQuiet) {
    open(2);
    learnIdentity();
    sim.silent = true;
    host.put("cNoRetries", 3);
    host.put("cDoCommand", 1);
    host.put("cDoCommand", 2);
    host.put("cComPort", 2);  // nothing behind port 2
    EXPECT_EQ(host.number("cComError"), 1);
    EXPECT_EQ(host.number("cBusy"), 0);
    EXPECT_EQ(host.number("cUnID0"), 0);
    host.put("cComPort", 1);
    EXPECT_EQ(host.number("cComError"), 0);
    expectNextRequestAnswered({0, 13});
    // No Result ever comes for the requests that the new port ended.
    for (const auto& e : host.events()) EXPECT_TRUE(e.find("Result(0,1,") && e.find("Result(0,2,")) << e;
}

TEST_F(RequestsEnd, ClosingDropsThePendingCommand) {
    open(0);
    leavePendingCommand(3);
    host.log.clear();
    host.put("cComState", 0);
    EXPECT_EQ(host.events(), (std::vector<std::string>{"Busy(0)"}));
    host.put("cComState", 1);
    // Command 12 is not refused for the stale pending command, and command 3 is not sent unasked.
    expectNextRequestAnswered({0, 13});
}

TEST_F(RequestsEnd, ACommandWaitingForTheTagLookupGoesOutWithTheDataTheHostPutIn) {
    open(2);
    host.put("cAddrMode", 1);
    host.putText("p13TagName", "FT-101");
    host.put("xOffset", 0);
    host.putFloat("xFloat", 0.5f);
    host.put("xReqLen", 4);
    host.put("cDoCommand", 34);  // damping 0.5 s, by tag
    ASSERT_TRUE(host.waitIdle());
    ASSERT_EQ(commandsSeen(sim), (std::vector<int>{11, 34}));
    std::vector<uint8_t> tag(6);
    wendrel::PutPackedASCII("FT-101", tag.data(), 0, 6);
    EXPECT_EQ(sim.meter.requestLog()[0].data, tag);
    EXPECT_EQ(sim.meter.requestLog()[1].data, testsupport::hex("3F 00 00 00"));
    EXPECT_EQ(host.number("cResponse1"), 0);
    EXPECT_EQ(sim.meter.state().damping, 0.5f);
    EXPECT_EQ(host.number("cBusy"), 0);
}

TEST_F(RequestsEnd, APendingCommandKeepsItsDataWhileOtherRepliesFillTheBuffer) {
    open(0);
    learnIdentity();
    sim.meter.clearRequestLog();
    host.put("cDoCommand", 3);      // answered with 24 data bytes, copied into the buffer
    host.put("cPollAddress", 0);    // forgets the identifier: the next command waits for it
    host.put("xOffset", 0);
    host.putFloat("xFloat", 1.5f);
    host.put("xReqLen", 4);
    host.put("cDoCommand", 34);
    ASSERT_TRUE(host.waitIdle());
    ASSERT_EQ(commandsSeen(sim), (std::vector<int>{3, 0, 34}));
    EXPECT_EQ(sim.meter.requestLog()[2].data, testsupport::hex("3F C0 00 00"));
    EXPECT_EQ(sim.meter.state().damping, 1.5f);
    // The reply to 3 came while 34 waited: 34 still waited for the identity reply.
    const auto events = host.events();
    for (const char* result : {"Result(0,3,1)", "Result(0,0,1)", "Result(0,34,1)"}) EXPECT_EQ(count(events, result), 1);
}

TEST_F(RequestsEnd, RepliesBeyondWhatTheDriverKeepsStillEndTheirRequests) {
    open(2);
    learnIdentity();
    constexpr int kRequests = 80;
    for (int i = 0; i < kRequests; ++i) host.put("cDoCommand", 1);  // no events handled meanwhile
    EXPECT_EQ(host.number("cBusy"), kRequests);
    // The meter answers all of them while the host is away.
    for (int i = 0; i < 1000 && sim.line.writeCount() < static_cast<size_t>(kRequests) + 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(host.waitIdle());
    const auto events = host.events();
    const int answered = count(events, "Result(0,1,1)");
    const int discarded = count(events, "Result(0,1,2)");
    EXPECT_EQ(answered + discarded, kRequests);
    EXPECT_EQ(answered, 64);  // the latest 64 kept their data
    EXPECT_EQ(host.number("cBusy"), 0);
    EXPECT_NE(host.find("Notify(3)"), -1);
    expectNextRequestAnswered({13});
}

TEST_F(RequestsEnd, PackedTextGivesEveryCharacterOnePlace) {
    open(2);
    learnIdentity();
    host.put("xOffset", 0);
    host.put("xPackedASCIILen", 6);
    host.putText("xPackedASCII", "25\xC2\xB0" "C ABC");  // 25°C ABC
    EXPECT_EQ(host.text("xPackedASCII"), "25?C ABC");
    // The same holds for the texts the actions pack.
    host.putText("p12Message", "D\xC3\xA9" "BIT 12 M3/H");  // DéBIT
    host.put("cAction", 8);
    ASSERT_TRUE(host.waitIdle());
    ASSERT_EQ(sim.meter.requestLog().size(), 1u);
    std::vector<uint8_t> expected(24);
    wendrel::PutPackedASCII("D?BIT 12 M3/H", expected.data(), 0, 24);
    EXPECT_EQ(sim.meter.requestLog()[0].data, expected);
    EXPECT_EQ(host.text("p12Message").substr(0, 13), "D?BIT 12 M3/H");
    host.put("cAction", 0);
    expectNextRequestAnswered({13});
}

TEST_F(RequestsEnd, ARefusedPollingAddressChangeLeavesTheAddressingAsItWas) {
    open(0);
    learnIdentity();
    const int id0 = host.number("cUnID0");
    host.put("cNewPollAddress", 20);  // outside 0..15: the meter refuses it
    host.put("cAction", 10);
    ASSERT_TRUE(host.waitIdle());
    EXPECT_EQ(host.number("cComResult"), 1);
    EXPECT_EQ(host.number("cResponse1"), 2);
    EXPECT_EQ(host.number("cPollAddress"), 0);
    EXPECT_EQ(host.number("cUnID0"), id0);
    EXPECT_EQ(sim.meter.state().pollingAddress, 0);
    host.put("cAction", 0);
    // The identifier is still known: the next command goes out at once.
    expectNextRequestAnswered({13});
}

TEST_F(RequestsEnd, ALineThatNeverGoesQuietStillEndsTheRequest) {
    open(2);
    learnIdentity();
    // Once the meter hears the request, the line fills with preambles that never end.
    std::atomic<bool> jam{false}, stop{false};
    sim.line.setResponder([&](const std::vector<uint8_t>&) {
        jam = true;
        return std::vector<testsupport::Answer>{};
    });
    std::thread modem([&] {
        while (!stop) {
            if (jam) sim.line.inject(std::vector<uint8_t>(8, 0xFF));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    host.put("cDoCommand", 1);
    const bool ended = host.waitIdle(60000);
    const bool stillJammed = jam && !stop;
    stop = true;
    modem.join();
    ASSERT_TRUE(ended);
    EXPECT_TRUE(stillJammed);
    EXPECT_EQ(host.events(), (std::vector<std::string>{"Busy(1)", "Result(0,1,2)", "Busy(0)"}));
    EXPECT_EQ(host.number("cComResult"), 2);
    // The line is quiet again: the meter answers once more.
    sim.line.setResponder([&](const std::vector<uint8_t>& written) {
        std::vector<testsupport::Answer> out;
        for (auto& t : sim.meterLine->receive(written.data(), written.size())) out.push_back({t.bytes, t.delayMs});
        return out;
    });
    expectNextRequestAnswered({13});
}
