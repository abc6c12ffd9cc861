// The bus monitor's core fed frames as hex: the lines and their colours, the
// request/reply checks, the filter modes, the trigger with its ring of 20,
// the Stopped banner and the sequence counter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"
#include "link/monitor/busview_core.h"

namespace {

using namespace fenwire;

constexpr char kRequest1[] = "FF FF FF FF FF 82 A6 0C 00 01 02 01 00 2A";
constexpr char kReply1[] = "FF FF FF FF FF 86 A6 0C 00 01 02 01 07 00 00 39 41 48 00 00 19";
constexpr char kReply1Status[] = "FF FF FF FF FF 86 A6 0C 00 01 02 01 07 20 50 39 41 48 00 00 69";
constexpr char kRequest3[] = "FF FF FF FF FF 82 A6 0C 00 01 02 03 00 28";
constexpr char kReply3[] = "FF FF FF FF FF 86 A6 0C 00 01 02 03 0B 00 00 40 80 00 00 39 41 48 00 00 D7";
constexpr char kReply2[] = "FF FF FF FF FF 86 A6 0C 00 01 02 02 0A 00 00 40 80 00 00 00 00 00 00 E7";
constexpr char kReply1Secondary[] = "FF FF FF FF FF 86 26 0C 00 01 02 01 07 00 00 39 41 48 00 00 99";
constexpr char kBadChecksum[] = "FF FF FF FF FF 82 A6 0C 00 01 02 01 00 2B";
constexpr char kCutShort[] = "FF FF FF FF FF 86 A6 0C 00 01 02 01 07 00 00 39";

struct Recorder : MonitorOutput {
    std::vector<MonitorText> appended;
    std::vector<bool> recordingSwitches;
    void append(const MonitorText& text) override { appended.push_back(text); }
    void recordingChanged(bool on) override { recordingSwitches.push_back(on); }
    std::string all() const {
        std::string s;
        for (const auto& t : appended) s += t.text;
        return s;
    }
};

struct CoreTest : ::testing::Test {
    Recorder out;
    BusviewSettings settings;
    std::unique_ptr<BusviewCore> core;

    void SetUp() override { make(); }
    void make() {
        core = std::make_unique<BusviewCore>(out, settings, CommandTextTables{});
        // Every test starts a fresh count, as after a stop.
        core->setRecording(false);
        core->setRecording(true);
        out.appended.clear();
    }
    void feed(const char* hex, uint32_t timeMs = 0, int origin = 1) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(wendrel::fromHex(hex, bytes)) << hex;
        core->onFrame(bytes.data(), static_cast<int>(bytes.size()), origin, timeMs);
    }
    // The text of a piece of the last appended line, by colour.
    std::vector<std::string> pieces(MonitorColour colour, size_t index = SIZE_MAX) const {
        const auto& line = index == SIZE_MAX ? out.appended.back() : out.appended[index];
        std::vector<std::string> found;
        for (const auto& r : line.runs)
            if (r.colour == colour) found.push_back(line.text.substr(r.start, r.length));
        return found;
    }
};

const std::string kUnit57 = wendrel::GetHartUnit(0x39);

TEST_F(CoreTest, DefaultViewHidesPreamblesAddressAndTiming) {
    feed(kRequest1);
    feed(kReply1Status);
    ASSERT_EQ(out.appended.size(), 2u);
    EXPECT_EQ(out.appended[0].text, "STX>P|  1 Read Primary Variable|  0|2A\r\n");
    EXPECT_EQ(pieces(MonitorColour::Kind, 0), std::vector<std::string>{"STX>P"});
    EXPECT_EQ(pieces(MonitorColour::Field, 0), std::vector<std::string>{"  1 Read Primary Variable"});
    // With address and preambles both hidden the status keeps its padding, so replies line up.
    EXPECT_EQ(out.appended[1].text, "ACK<P|  1 Read Primary Variable|  7| 32 50      |PV 12.5 " + kUnit57 +
                                        "|69 Busy; Configuration changed, More status available\r\n");
    EXPECT_EQ(pieces(MonitorColour::Field), (std::vector<std::string>{"  1 Read Primary Variable", "PV 12.5 " + kUnit57}));
    EXPECT_EQ(pieces(MonitorColour::Remark),
              std::vector<std::string>{"Busy; Configuration changed, More status available"});
}

TEST_F(CoreTest, FullViewShowsEveryColumnWithItsColour) {
    core->settings().noPreambles = 0;
    core->settings().noAddress = 0;
    core->settings().noTiming = 0;
    feed(kRequest1, 2000);
    feed(kReply2, 2150);
    ASSERT_EQ(out.appended.size(), 2u);
    EXPECT_EQ(out.appended[0].text,
              "00000>STX>P|FF FF FF FF FF|82|A6 0C 00 01 02|  1 Read Primary Variable|  0|2A\r\nt=2.000 s<\r\n");
    EXPECT_EQ(pieces(MonitorColour::Time, 0), (std::vector<std::string>{"00000", "t=2.000 s"}));
    // The reply answers another command: the comment says so on its own line, in red.
    EXPECT_EQ(out.appended[1].text,
              "00150>ACK<P|FF FF FF FF FF|86|A6 0C 00 01 02|  2 Read Current and Percent of Range|"
              " 10|0 00|Current 4 mA, 0 % of range|E7\r\n  Commands did not match!\r\n");
    EXPECT_EQ(pieces(MonitorColour::Alarm), std::vector<std::string>{"Commands did not match!"});
    EXPECT_EQ(pieces(MonitorColour::Time), std::vector<std::string>{"00150"});
}

TEST_F(CoreTest, ErrorsShowTheirMarkAndWordsAndCutFramesTheirPreambles) {
    feed(kBadChecksum);
    EXPECT_EQ(out.appended.back().text,
              "STX>P|  1 Read Primary Variable|  0|2B?CHECKSUM\r\n  Checksum error: frame says 2B, bytes give 2A\r\n");
    EXPECT_EQ(pieces(MonitorColour::Remark), std::vector<std::string>{"?CHECKSUM"});
    EXPECT_EQ(pieces(MonitorColour::Alarm),
              std::vector<std::string>{"Checksum error: frame says 2B, bytes give 2A"});
    // Preambles are hidden, yet a frame cut short shows them.
    feed(kCutShort);
    EXPECT_EQ(out.appended.back().text.rfind("ACK<P|FF FF FF FF FF|  1 Read Primary Variable|  7|", 0), 0u)
        << out.appended.back().text;
}

TEST_F(CoreTest, AFrameCutAfterItsAddressShowsWhatItHas) {
    // The hidden delimiter and address still lead on to the columns after them; here there are none.
    feed("FF FF 82 A6 0C 00 01 02");
    EXPECT_EQ(out.appended.back().text.rfind("STX>P|FF FF?TRUNCATED", 0), 0u) << out.appended.back().text;
}

TEST_F(CoreTest, BurstFramesAreHighlightedOlivOnWhite) {
    feed("FF FF FF FF FF 81 E6 0C 00 01 02 03 0B 00 00 40 80 00 00 39 41 48 00 00 90");
    EXPECT_EQ(pieces(MonitorColour::Highlight), std::vector<std::string>{"BCK<P"});
    EXPECT_EQ(colourRgb(MonitorColour::Highlight, false), 0xFFFF00u);
    EXPECT_EQ(colourRgb(MonitorColour::Highlight, true), 0x808000u);
    EXPECT_EQ(colourRgb(MonitorColour::Remark, true), 0x808000u);
    EXPECT_EQ(colourRgb(MonitorColour::Time, true), 0x800000u);
    EXPECT_EQ(colourRgb(MonitorColour::Kind, true), 0x000080u);
    EXPECT_EQ(colourRgb(MonitorColour::Text, true), 0x0000FFu);
}

TEST_F(CoreTest, RepliesAreCheckedAgainstTheirRequest) {
    feed(kRequest1);
    feed(kReply1Secondary);  // a secondary master's reply to the primary's request
    EXPECT_EQ(out.appended.back().text.substr(out.appended.back().text.find("\r\n")),
              "\r\n  Master types did not match!\r\n");
    feed(kRequest3);
    feed(kReply1Secondary);
    EXPECT_NE(out.appended.back().text.find("  Master types did not match! / Commands did not match!\r\n"),
              std::string::npos);
    feed(kReply3);  // the last request was command 3 from the primary master: no complaint
    EXPECT_EQ(out.appended.back().text.find("match"), std::string::npos);
}

TEST_F(CoreTest, StopBannerAndSequenceRestart) {
    core->settings().noTiming = 0;
    feed(kRequest1, 100);
    feed(kReply1, 180);
    EXPECT_EQ(out.appended.back().text.substr(0, 6), "00080>");
    core->setRecording(false);
    EXPECT_EQ(out.appended.back().text, "\r\n========*** Stopped ***========\r\n\r\n");
    EXPECT_EQ(pieces(MonitorColour::Alarm), std::vector<std::string>{out.appended.back().text});
    EXPECT_EQ(BusviewCore::sequenceCounter(), 0);
    const size_t lines = out.appended.size();
    feed(kRequest1, 300);  // not recording: dropped
    EXPECT_EQ(out.appended.size(), lines);
    core->setRecording(true);
    core->setRecording(false);  // nothing since the start: no second banner
    EXPECT_EQ(out.appended.size(), lines);
    core->setRecording(true);
    feed(kRequest1, 500);
    EXPECT_EQ(out.appended.back().text.substr(0, 6), "00000>");  // first frame after the restart
    EXPECT_EQ(BusviewCore::sequenceCounter(), 1);
}

TEST_F(CoreTest, FilterModes) {
    core->setFilterOn(true);
    core->setFilter("", FilterShowListed);  // an empty list shows everything
    feed(kRequest1);
    feed(kRequest3);
    EXPECT_EQ(out.appended.size(), 2u);

    out.appended.clear();
    core->setFilter("3", FilterShowListed);
    for (const char* f : {kRequest1, kReply1, kRequest3, kReply3}) feed(f);
    ASSERT_EQ(out.appended.size(), 2u);
    EXPECT_NE(out.appended[0].text.find("  3 Read Dynamic"), std::string::npos);

    out.appended.clear();
    core->setFilter("3", FilterHideListed);
    for (const char* f : {kRequest1, kReply1, kRequest3, kReply3}) feed(f);
    ASSERT_EQ(out.appended.size(), 2u);
    EXPECT_NE(out.appended[0].text.find("  1 Read Primary"), std::string::npos);
    EXPECT_NE(out.appended[1].text.find("  1 Read Primary"), std::string::npos);

    out.appended.clear();
    core->setFilter("1, 3", FilterTriggerEventsOnly);  // nothing until a trigger
    for (const char* f : {kRequest1, kReply1, kRequest3, kReply3}) feed(f);
    EXPECT_TRUE(out.appended.empty());

    core->setFilterOn(false);  // off: every frame again
    feed(kRequest1);
    EXPECT_EQ(out.appended.size(), 1u);
    EXPECT_EQ(core->settings().cmdList, "1, 3");
    EXPECT_EQ(core->settings().filterMode, FilterTriggerEventsOnly);
}

TEST(CommandList, AListTheDriverCannotReadFiltersNothing) {
    EXPECT_EQ(parseCommandList("1, 3, 0x80"), (std::vector<uint8_t>{1, 3, 0x80}));
    EXPECT_TRUE(parseCommandList("1, what").empty());
    EXPECT_TRUE(parseCommandList("").empty());
}

TEST_F(CoreTest, TriggerInModeTwoShowsTheLastTwentyFramesOnce) {
    core->settings().trigOnDevNotPresent = 1;
    core->setFilterOn(true);
    core->setFilter("", FilterTriggerEventsOnly);
    core->setTriggerOn(true);
    for (int i = 0; i < 12; ++i) {  // 24 frames, answered
        feed(kRequest3);
        feed(kReply3);
    }
    EXPECT_TRUE(out.appended.empty());
    feed(kRequest1);
    feed(kRequest1);  // the 26th frame: the first request got no reply
    ASSERT_EQ(out.appended.size(), 21u);
    EXPECT_EQ(out.appended[0].text.rfind("<<<<< Trigger: ", 0), 0u);
    EXPECT_EQ(out.appended[0].text.size(), std::string("<<<<< Trigger: 12:34:56 >>>>>\r\n").size());
    // Oldest first: frames 7 to 26, so a request for command 3 leads and the trigger frame ends.
    EXPECT_NE(out.appended[1].text.find("STX>P|  3"), std::string::npos) << out.appended[1].text;
    EXPECT_NE(out.appended[20].text.find("Device not present!"), std::string::npos);

    // The next trigger shows only what came since: a frame is never shown twice.
    feed(kRequest1);
    ASSERT_EQ(out.appended.size(), 23u);
    EXPECT_NE(out.appended[22].text.find("Device not present!"), std::string::npos);
}

TEST_F(CoreTest, TriggerConditionsEachWatchTheirFault) {
    core->setTriggerOn(true);
    core->settings().stopOnTrigger = 1;
    auto firesOn = [&](auto setCondition, std::vector<const char*> frames) {
        core->settings().trigOnNoMatchCmd = core->settings().trigOnNoMatchMaster = 0;
        core->settings().trigOnDevNotPresent = core->settings().trigOnAllErr = 0;
        setCondition(core->settings());
        core->setRecording(true);
        for (const char* f : frames) feed(f);
        return !core->recording();
    };
    auto cmd = [](BusviewSettings& s) { s.trigOnNoMatchCmd = 1; };
    auto master = [](BusviewSettings& s) { s.trigOnNoMatchMaster = 1; };
    auto absent = [](BusviewSettings& s) { s.trigOnDevNotPresent = 1; };
    auto errors = [](BusviewSettings& s) { s.trigOnAllErr = 1; };
    EXPECT_TRUE(firesOn(cmd, {kRequest1, kReply2}));
    EXPECT_FALSE(firesOn(cmd, {kRequest1, kReply1Secondary}));
    EXPECT_TRUE(firesOn(master, {kRequest1, kReply1Secondary}));
    EXPECT_FALSE(firesOn(master, {kRequest1, kReply1}));
    EXPECT_TRUE(firesOn(absent, {kReply1, kRequest1, kRequest1}));
    EXPECT_FALSE(firesOn(absent, {kBadChecksum}));
    EXPECT_TRUE(firesOn(errors, {kBadChecksum}));
    EXPECT_TRUE(firesOn(errors, {kCutShort}));
    EXPECT_FALSE(firesOn(errors, {kReply1, kRequest1, kRequest1}));  // an absent device is no such error
    core->setTriggerOn(false);
    EXPECT_FALSE(firesOn(errors, {kBadChecksum}));
}

TEST_F(CoreTest, TriggerStopsRecordingOnceAndCancelsAScript) {
    int cancels = 0;
    core->onTriggerStop = [&] { ++cancels; };
    core->scriptRunning = true;
    core->settings().trigOnAllErr = 1;
    core->settings().stopOnTrigger = 1;
    core->setTriggerOn(true);
    feed(kRequest1);
    feed(kReply1);
    feed(kBadChecksum);
    EXPECT_FALSE(core->recording());
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(out.appended.back().text, "\r\n========*** Stopped ***========\r\n\r\n");
    const size_t lines = out.appended.size();
    feed(kBadChecksum);  // recording is off: nothing more, no second banner
    EXPECT_EQ(out.appended.size(), lines);
    EXPECT_EQ(cancels, 1);

    // Without Stop Recording the trigger leaves recording on.
    core->settings().stopOnTrigger = 0;
    core->setRecording(true);
    feed(kBadChecksum);
    EXPECT_TRUE(core->recording());
}

TEST_F(CoreTest, RingKeepsTheLastTwentyFramesShownOrNot) {
    core->setFilterOn(true);
    core->setFilter("", FilterTriggerEventsOnly);
    for (int i = 0; i < 25; ++i) feed(i % 2 ? kReply3 : kRequest3);
    int used = 0;
    for (const auto& slot : core->ring()) used += slot.used ? 1 : 0;
    EXPECT_EQ(used, kRingSize);
    EXPECT_EQ(core->ringIndex(), 24 % kRingSize);
    // The 25th frame, a request, in the newest slot.
    EXPECT_EQ(RenderFrameLine(core->ring()[static_cast<size_t>(core->ringIndex())].frame, CommandTextTables{}).text.rfind(
                  "STX>P|  3", 0),
              0u);
}

TEST_F(CoreTest, StatusLine) {
    EXPECT_EQ(core->statusLine(-1), " Driver not active!");
    EXPECT_EQ(core->statusLine(3), " Recording...");
    core->setRecording(false);
    core->setTriggerOn(true);
    core->setFilterOn(true);
    core->scriptRunning = true;
    EXPECT_EQ(core->statusLine(3), " Not Recording!, Running Script..., # Trigger #, # Filter #");
    core->scriptCancelRequested = true;
    EXPECT_EQ(core->statusLine(3), " Not Recording!, Running Script Canceled!, # Trigger #, # Filter #");
}

}  // namespace
