// The loop scan over a multi-drop line: several simulated meters share one
// line, in-process on the driver's pipe (requests counted off the wire) and as
// the simulated meter program on a pseudo-terminal at the real line rate.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/commands/LoopScan.h"
#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "link/driver/frame.h"
#include "link/driver/portmap.h"
#include "sim/meter.h"
#include "sim/meter_line.h"
#include "tests/app/app_test.h"
#include "tests/support/linked_fenwire.h"
#include "tests/support/pipe_harness.h"
#include "tools/sim_process.h"

namespace {

using corvane::sim::FaultOptions;
using corvane::sim::Meter;
using corvane::sim::MeterLine;

struct DeviceSpec {
    int address;
    const char* deviceId;
    const char* tag;
};
const std::vector<DeviceSpec> kThreeDevices = {{0, "0x000100", "LOOP-00"}, {3, "0x000103", "LOOP-03"},
                                               {12, "0x00010C", "LOOP-12"}};

// Several meters on port 1's in-memory line.
struct LoopOnPipe {
    testsupport::PipeHarness line{1};
    std::vector<std::unique_ptr<Meter>> meters;
    std::unique_ptr<MeterLine> meterLine;

    explicit LoopOnPipe(const std::vector<DeviceSpec>& devices, const FaultOptions& faults = {}) {
        std::vector<Meter*> onLine;
        for (const auto& d : devices) {
            meters.push_back(std::make_unique<Meter>());
            std::string error;
            EXPECT_TRUE(meters.back()->setValue("polling_address", std::to_string(d.address), &error)) << error;
            EXPECT_TRUE(meters.back()->setValue("device_id", d.deviceId, &error)) << error;
            EXPECT_TRUE(meters.back()->setValue("tag", d.tag, &error)) << error;
            onLine.push_back(meters.back().get());
        }
        meterLine = std::make_unique<MeterLine>(onLine, faults, 2);
        line.setResponder([this](const std::vector<uint8_t>& written) {
            std::vector<testsupport::Answer> out;
            for (auto& t : meterLine->receive(written.data(), written.size())) out.push_back({t.bytes, t.delayMs});
            return out;
        });
    }

    // Requests seen on the wire: command 0 by polling address, and how many by long address.
    struct Requests {
        std::map<int, int> identifyAt;  // polling address -> command 0 requests
        int longAddressed = 0;
    };
    Requests requests() const {
        Requests r;
        wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) {
            if (f.frame.type != wendrel::FrameType::Stx) return;
            if (f.frame.longAddress) ++r.longAddressed;
            else if (f.frame.command == 0) ++r.identifyAt[f.frame.address[0] & 0x0F];
        });
        for (const auto& chunk : line.written()) parser.feed(chunk);
        return r;
    }
};

// The link control with its link open on port 1 at `mode`.
struct Link {
    app::FenwireControl control{testsupport::linkedFenwireApi()};
    explicit Link(int mode) {
        control.put("cComMode", mode);
        control.put("cComState", 1);
        control.put("cAddrMode", 0);
    }
    ~Link() { control.put("cComState", 0); }
};

void expectDevices(const app::LoopScanResult& result, const std::vector<DeviceSpec>& expected) {
    ASSERT_EQ(result.devices.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const app::FoundDevice& d = result.devices[i];
        EXPECT_EQ(d.pollAddress, expected[i].address);
        EXPECT_EQ(d.deviceId, std::stoi(expected[i].deviceId, nullptr, 16));
        EXPECT_EQ(d.tag, QString::fromLatin1(expected[i].tag));
        EXPECT_EQ(d.manufacturerId, 0x3D);
        EXPECT_EQ(d.manufacturer, "Corvane");
        EXPECT_EQ(d.deviceType, 1);  // liquid
        EXPECT_EQ(d.universalRevision, 5);
        EXPECT_EQ(d.softwareRevision, 12);
    }
}

TEST(LoopScan, FindsEachDeviceOnceWithOneTryPerSilentAddress) {
    LoopOnPipe loop(kThreeDevices);
    Link link(2);
    link.control.put("cPollAddress", 7);  // the device in use before the scan
    app::LoopScan scan(link.control);
    std::vector<int> foundAsTheyCame, progress;
    bool waitingSeenByTimers = false;
    scan.onFound = [&](const app::FoundDevice& d) {
        foundAsTheyCame.push_back(d.pollAddress);
        waitingSeenByTimers = app::WaitingForMeter() && app::LoopScan::running();
    };
    scan.onProgress = [&](int done, int total) {
        EXPECT_EQ(total, 16);
        progress.push_back(done);
    };
    const app::LoopScanResult result = scan.run();
    expectDevices(result, kThreeDevices);
    EXPECT_FALSE(result.cancelled);
    EXPECT_FALSE(result.linkFailed);
    EXPECT_EQ(foundAsTheyCame, (std::vector<int>{0, 3, 12}));
    EXPECT_EQ(progress.size(), 16u);
    EXPECT_EQ(progress.back(), 16);
    EXPECT_TRUE(waitingSeenByTimers);
    EXPECT_FALSE(app::LoopScan::running());

    const auto sent = loop.requests();
    ASSERT_EQ(sent.identifyAt.size(), 16u);
    for (const auto& [address, count] : sent.identifyAt) EXPECT_EQ(count, 1) << "address " << address;
    EXPECT_EQ(sent.longAddressed, 3);  // one tag read each
    for (const auto& meter : loop.meters) {
        ASSERT_FALSE(meter->requestLog().empty());
        EXPECT_EQ(meter->requestLog().back().command, 13);
    }

    // The control addresses as before: the next request identifies the device at 7 afresh.
    EXPECT_EQ(link.control.get("cPollAddress"), 7);
    EXPECT_EQ(link.control.get("cAddrMode"), 0);
    EXPECT_EQ(link.control.get("cRetrySilence"), 1);
    link.control.put("cDoCommand", 1);
    while (link.control.get("cBusy") != 0) link.control.processEvents(50);
    const auto after = loop.requests();
    // Silence at 7 is retried again as cNoRetries (2) says: the scan's one try has ended with it.
    EXPECT_EQ(after.identifyAt.at(7), 1 + 3);
    EXPECT_EQ(after.longAddressed, 3);
    EXPECT_EQ(link.control.get("cComResult"), 2);
}

TEST(LoopScan, RetriesOnlyWhereSomethingWasHeard) {
    FaultOptions faults;
    faults.badChecksum = 0.3;
    faults.busy = 0.3;
    faults.seed = 11;
    LoopOnPipe loop(kThreeDevices, faults);
    Link link(2);
    app::LoopScan scan(link.control);
    const app::LoopScanResult result = scan.run();
    expectDevices(result, kThreeDevices);
    ASSERT_GT(loop.meterLine->faultCounts().badChecksum + loop.meterLine->faultCounts().busy, 0);
    const auto sent = loop.requests();
    int retriesAtDevices = 0;
    for (const auto& [address, count] : sent.identifyAt) {
        const bool device = address == 0 || address == 3 || address == 12;
        if (device) retriesAtDevices += count - 1;
        else EXPECT_EQ(count, 1) << "address " << address;
        EXPECT_LE(count, 3) << "address " << address;
    }
    EXPECT_GT(retriesAtDevices + sent.longAddressed - 3, 0);
}

TEST(LoopScan, CancelAndAClosedLinkEndTheScanAndRestoreTheControl) {
    LoopOnPipe loop(kThreeDevices);
    {
        Link link(2);
        app::LoopScan scan(link.control);
        scan.onFound = [&](const app::FoundDevice&) { scan.cancel(); };
        const app::LoopScanResult result = scan.run();
        EXPECT_TRUE(result.cancelled);
        ASSERT_EQ(result.devices.size(), 1u);
        EXPECT_EQ(result.devices[0].tag, "LOOP-00");
        EXPECT_EQ(loop.requests().identifyAt.size(), 1u);  // nothing after the cancel
        EXPECT_EQ(link.control.get("cRetrySilence"), 1);
        EXPECT_FALSE(app::LoopScan::running());
    }
    app::FenwireControl closed{testsupport::linkedFenwireApi()};
    app::LoopScan scan(closed);
    const app::LoopScanResult result = scan.run();
    EXPECT_TRUE(result.linkFailed);
    EXPECT_TRUE(result.devices.empty());
}

// ---- the simulated meter program on a pseudo-terminal -----------------------

class LoopOnPty : public apptest::IsolatedAppTest {
protected:
    void TearDown() override { wendrel::SetPortPath(1, ""); }

    // Starts the simulated meter program with one profile per device and makes it port 1.
    void start(const std::vector<DeviceSpec>& devices, std::vector<std::string> args) {
        for (const auto& d : devices) {
            const std::string path = dir.filePath(QString("device%1.profile").arg(d.address)).toStdString();
            FILE* f = std::fopen(path.c_str(), "w");
            ASSERT_TRUE(f);
            std::fprintf(f, "polling_address = %d\ndevice_id = %s\ntag = %s\n", d.address, d.deviceId, d.tag);
            std::fclose(f);
            args.insert(args.end(), {"--profile", path});
        }
        std::string error;
        ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, args, &error)) << error;
        wendrel::SetPortPath(1, sim.linkPath());
    }

    QTemporaryDir dir;
    tools::SimProcess sim;
};

TEST_F(LoopOnPty, AScanAt1200BitPerSecondTakesOneReplyWaitPerSilentAddress) {
    start(kThreeDevices, {"--pace", "--mode", "0"});
    ASSERT_FALSE(HasFatalFailure());
    Link link(0);
    app::LoopScan scan(link.control);
    QElapsedTimer clock;
    clock.start();
    const app::LoopScanResult result = scan.run();
    const qint64 elapsedMs = clock.elapsed();
    expectDevices(result, kThreeDevices);

    // At 1200 bit/s a character is 11/1200 s. Command 0 by polling address is
    // 10 characters with 5 preambles and the reply wait 33; a tag read is a
    // 14-character request and a reply of at most 37 characters after the
    // meter's 2-character turnaround. Three tries per silent address would
    // take about twice the bound; the margin is for a loaded machine.
    const double charMs = 11000.0 / 1200;
    const double boundMs = 16 * (10 + 33) * charMs + 3 * (14 + 2 + 37) * charMs;
    EXPECT_LT(elapsedMs, boundMs + 3000) << "bound " << boundMs << " ms";
}

TEST_F(LoopOnPty, ABurstDeviceOnTheLineIsFoundLikeTheOthers) {
    start({{0, "0x000200", "BURSTER"}, {5, "0x000205", "QUIET-05"}}, {"--mode", "1", "--burst"});
    ASSERT_FALSE(HasFatalFailure());
    Link link(1);
    app::LoopScan scan(link.control);
    const app::LoopScanResult result = scan.run();
    ASSERT_EQ(result.devices.size(), 2u);
    EXPECT_EQ(result.devices[0].pollAddress, 0);
    EXPECT_EQ(result.devices[0].tag, "BURSTER");
    EXPECT_EQ(result.devices[0].deviceId, 0x200);
    EXPECT_EQ(result.devices[1].pollAddress, 5);
    EXPECT_EQ(result.devices[1].tag, "QUIET-05");
}

}  // namespace
