// Lines rendered from kept frames read exactly as the monitor's text view
// wrote them: every frame of the meter's command catalogue (request and
// reply) and a set of faulty and unusual ones, each under several View
// option sets that together cover every combination, with the Stopped
// banners between passes. data/monitor_lines.txt holds the lines and colours
// recorded from the text view that appended them as text; its header says
// how to read it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"
#include "link/monitor/busview_core.h"
#include "link/monitor/monitor_line.h"

namespace monitor_lines_test {

using namespace fenwire;

struct Entry {
    bool stop = false;  // Monitor Frames off and on again
    int origin = 0;
    uint32_t timeMs = 0;
    BusviewSettings options;  // only the view options are set
    std::vector<uint8_t> bytes;
    MonitorText line;
};

// The command texts the lines were recorded with, as Commands.ini gives them.
CommandTextTables recordedTexts() {
    CommandTextTables texts;
    texts.request[128] = "Read Operating Mode";
    texts.reply[128] = "Operating Mode";
    texts.request[1] = "PV Read";
    texts.reply[3] = "Dynamics";
    texts.reply[200] = "Reply Only";
    return texts;
}

std::string unescaped(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return out;
}

MonitorColour colourOf(char letter) {
    switch (letter) {
    case 'M': return MonitorColour::Time;
    case 'N': return MonitorColour::Kind;
    case 'H': return MonitorColour::Highlight;
    case 'F': return MonitorColour::Field;
    case 'R': return MonitorColour::Remark;
    case 'A': return MonitorColour::Alarm;
    default: return MonitorColour::Text;
    }
}

std::vector<Entry> recordedEntries() {
    std::ifstream file(CORVANE_MONITOR_TEST_DATA "/monitor_lines.txt", std::ios::binary);
    EXPECT_TRUE(file.is_open());
    std::vector<Entry> entries;
    std::string row;
    while (std::getline(file, row)) {
        if (row.empty() || row[0] == '#') continue;
        std::istringstream words(row);
        std::string word;
        words >> word;
        if (word == "frame" || word == "stop") {
            Entry e;
            e.stop = word == "stop";
            if (!e.stop) {
                std::string flags;
                words >> e.origin >> e.timeMs >> flags;
                EXPECT_EQ(flags.size(), 7u) << row;
                int* fields[] = {&e.options.noPreambles, &e.options.noAddress, &e.options.decimal, &e.options.noTiming,
                                 &e.options.symbCmd,     &e.options.realDat,   &e.options.rsp2Bin};
                for (size_t i = 0; i < 7 && i < flags.size(); ++i) *fields[i] = flags[i] - '0';
                std::string hex;
                std::getline(words >> std::ws, hex);
                EXPECT_TRUE(wendrel::fromHex(hex, e.bytes)) << row;
            }
            entries.push_back(e);
        } else if (word == "line") {
            entries.back().line.text = unescaped(row.substr(5));
        } else if (word == "runs") {
            while (words >> word) {
                ColourRun run;
                run.start = std::stoul(word);
                run.length = std::stoul(word.substr(word.find('+') + 1));
                run.colour = colourOf(word.back());
                entries.back().line.runs.push_back(run);
            }
        }
    }
    return entries;
}

struct Recorder : MonitorOutput {
    std::vector<MonitorText> appended;
    void append(const MonitorText& text) override { appended.push_back(text); }
};

void expectLine(const MonitorText& actual, const MonitorText& expected, size_t index) {
    EXPECT_EQ(actual.text, expected.text) << "entry " << index;
    EXPECT_EQ(actual.runs, expected.runs) << "entry " << index << ": " << expected.text;
}

TEST(MonitorLines, KeptRowsRenderAsTheTextViewShowedThem) {
    const std::vector<Entry> entries = recordedEntries();
    ASSERT_GT(entries.size(), 1000u);
    Recorder out;
    BusviewCore core(out, BusviewSettings{}, recordedTexts());
    for (const Entry& e : entries) {
        if (e.stop) {
            core.setRecording(false);
            core.setRecording(true);
            continue;
        }
        auto& s = core.settings();
        s.noPreambles = e.options.noPreambles;
        s.noAddress = e.options.noAddress;
        s.decimal = e.options.decimal;
        s.noTiming = e.options.noTiming;
        s.symbCmd = e.options.symbCmd;
        s.realDat = e.options.realDat;
        s.rsp2Bin = e.options.rsp2Bin;
        core.onFrame(e.bytes.data(), static_cast<int>(e.bytes.size()), e.origin, e.timeMs);
    }
    // What the log receives as frames come, and the rows rendered again afterwards.
    ASSERT_EQ(out.appended.size(), entries.size());
    ASSERT_EQ(core.rows().size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        expectLine(out.appended[i], entries[i].line, i);
        const MonitorRow& row = core.rows().row(core.rows().firstId() + i);
        expectLine(core.rowText(row), entries[i].line, i);
        if (HasFailure()) return;  // one entry is enough to read
    }
}

// The line API alone, as a reader of captured frames uses it: no monitor,
// no window.
TEST(MonitorLines, BuilderAndRendererAloneGiveTheSameLines) {
    const std::vector<Entry> entries = recordedEntries();
    const CommandTextTables texts = recordedTexts();
    MonitorLineBuilder builder(texts);
    bool first = true;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (e.stop) {
            first = true;
            continue;
        }
        LineOptions options;
        options.preambles = !e.options.noPreambles;
        options.addressing = !e.options.noAddress;
        options.timing = !e.options.noTiming;
        options.decimal = e.options.decimal;
        options.symbolic = e.options.symbCmd;
        options.realData = e.options.realDat;
        options.response2Binary = e.options.rsp2Bin;
        const MonitorFrame frame =
            builder.take(e.bytes.data(), static_cast<int>(e.bytes.size()), e.origin, e.timeMs, options, first);
        first = false;
        EXPECT_EQ(LineOptions::fromBits(frame.options), options);
        expectLine(BuildLine(builder.record(), options), e.line, i);
        expectLine(RenderFrameLine(frame, texts), e.line, i);
        if (HasFailure()) return;
    }
}

}  // namespace monitor_lines_test
