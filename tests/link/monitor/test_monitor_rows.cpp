// The rows the bus monitor keeps: a full store drops its oldest rows and
// counts the frames among them, the screen lines stay numbered across drops,
// the status line tells how many dropped, and Find walks the kept rows
// forward and backward, round the ends once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"
#include "link/monitor/busview_core.h"
#include "link/monitor/monitor_rows.h"

namespace monitor_rows_test {

using namespace fenwire;

constexpr char kRequest1[] = "FF FF FF FF FF 82 A6 0C 00 01 02 01 00 2A";
constexpr char kReply1[] = "FF FF FF FF FF 86 A6 0C 00 01 02 01 07 00 00 39 41 48 00 00 19";
constexpr char kRequest3[] = "FF FF FF FF FF 82 A6 0C 00 01 02 03 00 28";
constexpr char kReply3[] = "FF FF FF FF FF 86 A6 0C 00 01 02 03 0B 00 00 40 80 00 00 39 41 48 00 00 D7";
constexpr char kRequest130[] = "FF FF FF FF FF 82 A6 0C 00 01 02 82 00 A9";

MonitorFrame frameWithCommand(int16_t command) {
    MonitorFrame f;
    f.bytes = "\x82";
    f.command = command;
    return f;
}

TEST(MonitorRows, AFullStoreDropsTheOldestAndCountsTheFramesAmongThem) {
    MonitorRows rows(3);
    rows.appendFrame(frameWithCommand(1), "STX>P|  1\r\n");
    rows.appendNote("\r\n========*** Stopped ***========\r\n\r\n", true);  // three screen lines
    rows.appendFrame(frameWithCommand(2), "ACK<P|  2\r\nt=2.000 s<\r\n");
    EXPECT_EQ(rows.lineCount(), 6);
    EXPECT_EQ(rows.rowAtLine(0), 0u);
    EXPECT_EQ(rows.rowAtLine(1), 1u);
    EXPECT_EQ(rows.rowAtLine(3), 1u);
    EXPECT_EQ(rows.rowAtLine(4), 2u);
    EXPECT_EQ(rows.rowAtLine(5), 2u);
    EXPECT_EQ(rows.widestLine(), std::string("========*** Stopped ***========").size());

    rows.appendFrame(frameWithCommand(3), "STX>P|  3\r\n");  // the first frame goes
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.droppedFrames(), 1u);
    EXPECT_EQ(rows.firstId(), 1u);
    EXPECT_EQ(rows.endId(), 4u);
    // Lines keep their numbers: the view's positions stay on the same text.
    EXPECT_EQ(rows.firstLine(), 1);
    EXPECT_EQ(rows.endLine(), 7);
    EXPECT_EQ(rows.rowAtLine(0), 1u);  // a line that dropped out: the oldest kept row
    EXPECT_EQ(rows.rowAtLine(6), 3u);

    rows.appendFrame(frameWithCommand(4), "STX>P|  4\r\n");  // the banner goes: not a frame
    EXPECT_EQ(rows.droppedFrames(), 1u);
    EXPECT_EQ(rows.row(rows.firstId()).frame.command, 2);

    rows.setCapacity(1);  // smaller: the oldest go at once
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.droppedFrames(), 3u);
    EXPECT_EQ(rows.row(rows.firstId()).frame.command, 4);

    rows.clear();
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rows.droppedFrames(), 0u);
    EXPECT_EQ(rows.firstId(), 0u);
    EXPECT_EQ(rows.lineCount(), 0);
    EXPECT_EQ(rows.widestLine(), 0u);
}

struct Recorder : MonitorOutput {
    int statusChanges = 0;
    void append(const MonitorText&) override {}
    void statusChanged() override { ++statusChanges; }
};

struct KeptRowsTest : ::testing::Test {
    Recorder out;
    std::unique_ptr<BusviewCore> core;

    void make(int keptFrames) {
        BusviewSettings settings;
        settings.keptFrames = keptFrames;
        core = std::make_unique<BusviewCore>(out, settings, CommandTextTables{});
    }
    void feed(const char* hex) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(wendrel::fromHex(hex, bytes)) << hex;
        core->onFrame(bytes.data(), static_cast<int>(bytes.size()), 1, 0);
    }
    std::optional<uint64_t> find(const FindQuery& q, std::optional<uint64_t> from, bool forward, bool wrapped) {
        const FindResult r = core->find(q, from, forward);
        EXPECT_EQ(r.wrapped, wrapped);
        return r.row;
    }
    static FindQuery text(const std::string& t) { return FindQuery{false, t, {}}; }
};

TEST_F(KeptRowsTest, StatusLineCountsTheFramesThatDroppedOut) {
    make(4);
    for (int i = 0; i < 3; ++i) feed(kRequest1);
    EXPECT_EQ(core->statusLine(3), " Recording...");
    for (int i = 0; i < 7; ++i) feed(kRequest1);
    EXPECT_EQ(core->rows().size(), 4u);
    EXPECT_EQ(core->statusLine(3), " Recording..., 6 older frames dropped");
    EXPECT_EQ(core->statusLine(-1), " Driver not active!, 6 older frames dropped");
    core->setKeptFrames(2);
    EXPECT_EQ(core->settings().keptFrames, 2);
    EXPECT_EQ(core->statusLine(3), " Recording..., 8 older frames dropped");
    core->restart();  // New: an empty page, nothing dropped from it
    EXPECT_EQ(core->statusLine(3), " Recording...");
    EXPECT_TRUE(core->rows().empty());
}

TEST_F(KeptRowsTest, FindTextNextAndPreviousGoRoundTheEndsOnce) {
    make(100);
    for (const char* f : {kRequest1, kReply1, kRequest3, kReply3, kRequest1, kReply1}) feed(f);
    core->setRecording(false);  // the Stopped banner is row 6
    const FindQuery primary = text("read PRIMARY");  // without regard to case
    EXPECT_EQ(find(primary, std::nullopt, true, false), 0u);
    EXPECT_EQ(find(primary, 0, true, false), 1u);
    EXPECT_EQ(find(primary, 1, true, false), 4u);
    EXPECT_EQ(find(primary, 5, true, true), 0u);  // past the newest: from the oldest again
    EXPECT_EQ(find(primary, std::nullopt, false, false), 5u);
    EXPECT_EQ(find(primary, 4, false, false), 1u);
    EXPECT_EQ(find(primary, 0, false, true), 5u);
    EXPECT_EQ(find(text("Stopped"), 2, true, false), 6u);  // the monitor's own lines are text too
    EXPECT_EQ(find(text("Dynamic"), 2, true, false), 3u);
    EXPECT_EQ(find(text("Dynamic"), 3, true, true), 2u);
    EXPECT_EQ(find(text("Dynamic"), 2, true, false), 3u);
    EXPECT_EQ(find(text("no such words"), 2, true, false), std::nullopt);
    EXPECT_EQ(find(text(""), std::nullopt, true, false), std::nullopt);

    // Only the row it starts from matches: that row again, after going round.
    make(100);
    feed(kRequest130);
    feed(kReply1);
    EXPECT_EQ(find(text("130"), 0, true, true), 0u);
    EXPECT_EQ(find(text("130"), 0, false, true), 0u);
}

TEST_F(KeptRowsTest, FindByCommandNumberTakesFramesOnly) {
    make(100);
    for (const char* f : {kRequest1, kReply1, kRequest3, kReply3, kRequest130}) feed(f);
    core->setRecording(false);
    const FindQuery three = *CommandQuery("3");
    EXPECT_EQ(find(three, std::nullopt, true, false), 2u);
    EXPECT_EQ(find(three, 2, true, false), 3u);
    EXPECT_EQ(find(three, 3, true, true), 2u);
    EXPECT_EQ(find(*CommandQuery("0x82"), std::nullopt, false, false), 4u);
    EXPECT_EQ(find(*CommandQuery("1, 130"), 1, true, false), 4u);
    EXPECT_EQ(find(*CommandQuery("0-2"), 4, true, true), 0u);
    EXPECT_EQ(find(*CommandQuery("7"), std::nullopt, true, false), std::nullopt);  // the banner has no command
    EXPECT_FALSE(CommandQuery("three"));
    EXPECT_FALSE(CommandQuery("256"));
    EXPECT_FALSE(CommandQuery(""));
}

TEST_F(KeptRowsTest, FindFromARowThatDroppedOutStartsAtTheEnds) {
    make(3);
    for (const char* f : {kRequest3, kRequest1, kRequest3, kRequest1, kRequest3}) feed(f);  // rows 2, 3 and 4 kept
    const FindQuery three = *CommandQuery("3");
    EXPECT_EQ(core->rows().firstId(), 2u);
    EXPECT_EQ(find(three, 0, true, false), 2u);  // everything after row 0 is newer
    EXPECT_EQ(find(three, 0, false, true), 4u);  // nothing older is kept: from the newest
}

}  // namespace monitor_rows_test
