// Command entry with cyclic send and busy repeat, and the script runner,
// driven by transaction ends as the control reports them.
#include <gtest/gtest.h>

#include <chrono>

#include <QFile>
#include <QTemporaryDir>

#include "link/driver/typed_frame.h"
#include "link/monitor/command_sender.h"
#include "link/monitor/script.h"
#include "platform/ini.h"

namespace {

using namespace fenwire::busview;

// A line that records what was sent; a text that gives no request is refused.
struct FakeLine {
    std::vector<std::string> sent;
    int forgotten = 0;
    bool open = true;
    int send(const std::string& text) {
        const uint8_t id[5] = {};
        const auto request = wendrel::ParseCommandText(text, id, 0);
        if (!open || !request) return -1;
        sent.push_back(text);
        return request->command;
    }
};

TEST(CommandSender, SecondSendWaitsForTheFirstToEnd) {
    FakeLine line;
    CommandSender sender([&](const std::string& t) { return line.send(t); });
    sender.setText("1,0");
    EXPECT_TRUE(sender.sendNow(false));
    EXPECT_FALSE(sender.sendNow(false));
    EXPECT_EQ(line.sent.size(), 1u);
    // The command 0 that fetched the identifier first, and the host's own traffic, are not the end.
    sender.transactionEnded(0, true, 0, true);
    sender.transactionEnded(3, true, 0);
    EXPECT_TRUE(sender.outstanding());
    sender.transactionEnded(1, true, 0);
    EXPECT_FALSE(sender.outstanding());
    EXPECT_EQ(line.sent.size(), 1u);  // not cyclic: no repeat
    EXPECT_TRUE(sender.sendNow(false));
    EXPECT_EQ(line.sent.size(), 2u);
    // A running script blocks the menu.
    sender.transactionEnded(1, true, 0);
    EXPECT_FALSE(sender.sendNow(true));
}

TEST(CommandSender, CyclicRepeatsUntilStop) {
    FakeLine line;
    CommandSender sender([&](const std::string& t) { return line.send(t); });
    sender.accept("3,0", true);
    EXPECT_TRUE(sender.stopEnabled());
    for (int i = 0; i < 3; ++i) sender.transactionEnded(3, true, 0);
    EXPECT_EQ(line.sent.size(), 4u);
    sender.stop();
    EXPECT_FALSE(sender.stopEnabled());
    sender.transactionEnded(3, true, 0);
    EXPECT_EQ(line.sent.size(), 4u);
    EXPECT_FALSE(sender.outstanding());
}

TEST(CommandSender, SilentMeterEndsCyclicSending) {
    FakeLine line;
    CommandSender sender([&](const std::string& t) { return line.send(t); });
    sender.accept("1,0", true);
    sender.transactionEnded(1, true, 0);
    sender.transactionEnded(1, false, 0);
    EXPECT_FALSE(sender.stopEnabled());
    EXPECT_FALSE(sender.outstanding());
    EXPECT_EQ(line.sent.size(), 2u);
    // The identity command before it went unanswered: its request was dropped, the cycle ends too.
    sender.accept("1,0", true);
    sender.transactionEnded(0, false, 0);
    EXPECT_FALSE(sender.stopEnabled());
    EXPECT_FALSE(sender.outstanding());
    // The meter answered command 0 without its identity until the control gave up:
    // the send has ended, and the next one goes out.
    sender.accept("1,0", false);
    sender.transactionEnded(0, true, 0, true);
    EXPECT_TRUE(sender.outstanding());
    sender.transactionEnded(0, true, 0, false);
    EXPECT_FALSE(sender.outstanding());
    EXPECT_TRUE(sender.sendNow(false));
}

TEST(CommandSender, BusyReplyRepeatsEvenWithoutCyclic) {
    FakeLine line;
    CommandSender sender([&](const std::string& t) { return line.send(t); });
    sender.accept("19,3,dec24,1234567", false);
    sender.transactionEnded(19, true, kResponseBusy);
    sender.transactionEnded(19, true, kResponseBusy);
    sender.transactionEnded(19, true, 0);
    EXPECT_EQ(line.sent, std::vector<std::string>(3, "19,3,dec24,1234567"));
    EXPECT_FALSE(sender.outstanding());
}

TEST(CommandSender, TextWithoutRequestSendsNothingAndClaimsNoCycle) {
    FakeLine line;
    CommandSender sender([&](const std::string& t) { return line.send(t); });
    sender.accept("19,2,dec24,5", true);
    EXPECT_TRUE(line.sent.empty());
    EXPECT_FALSE(sender.outstanding());
    EXPECT_FALSE(sender.stopEnabled());
    EXPECT_EQ(sender.text(), "19,2,dec24,5");  // kept for the dialog to correct
    EXPECT_EQ(std::size(kSendMenuTemplates), 12u);
}

// ---- scripts -----------------------------------------------------------------

Script ThreeSteps(bool cyclic, bool resetStatus = false) {
    Script s;
    s.steps = {"0,0", "1,0", "2,0"};
    s.cyclic = cyclic;
    s.resetStatus = resetStatus;
    return s;
}

struct ScriptHarness {
    FakeLine line;
    ScriptRunner runner{{[this](const std::string& t) { return line.send(t) >= 0; }, [this] { ++line.forgotten; }}};
};

TEST(ScriptRunner, ThreeStepsThenTheEnd) {
    ScriptHarness h;
    h.runner.setScript(ThreeSteps(false));
    h.runner.runOrCancel(true);
    EXPECT_TRUE(h.runner.running());
    EXPECT_EQ(h.runner.stepIndex(), 1);
    h.runner.transactionEnded(true, 0, 0);
    h.runner.transactionEnded(false, 0, 0);  // a silent step is passed on from
    EXPECT_EQ(h.runner.stepIndex(), 3);
    h.runner.transactionEnded(true, 0, 0);
    EXPECT_FALSE(h.runner.running());
    EXPECT_EQ(h.runner.stepIndex(), 0);
    EXPECT_EQ(h.line.sent, (std::vector<std::string>{"0,0", "1,0", "2,0"}));
    EXPECT_EQ(h.line.forgotten, 0);
}

TEST(ScriptRunner, CyclicStartsOverAndStopsOnCancel) {
    ScriptHarness h;
    h.runner.setScript(ThreeSteps(true, true));
    h.runner.runOrCancel(true);
    for (int i = 0; i < 4; ++i) h.runner.transactionEnded(true, 0, 0);
    EXPECT_EQ(h.line.sent, (std::vector<std::string>{"0,0", "1,0", "2,0", "0,0", "1,0"}));
    EXPECT_EQ(h.line.forgotten, 5);  // ResetStatus: before every step
    EXPECT_TRUE(h.runner.running());

    h.runner.runOrCancel(true);  // Run Script while running: only a request
    EXPECT_TRUE(h.runner.cancelRequested());
    EXPECT_TRUE(h.runner.running());
    h.runner.transactionEnded(true, 0, 1);  // the pending command is still out: nothing yet
    EXPECT_TRUE(h.runner.running());
    h.runner.transactionEnded(true, 0, 0);
    EXPECT_FALSE(h.runner.running());
    EXPECT_FALSE(h.runner.cancelRequested());
    EXPECT_EQ(h.line.sent.size(), 5u);
}

TEST(ScriptRunner, BusyRepeatsTheCurrentStepAndWaitsForThePendingCommand) {
    ScriptHarness h;
    h.runner.setScript(ThreeSteps(false));
    h.runner.runOrCancel(true);
    h.runner.transactionEnded(true, 0, 1);  // command 0 answered, the step's command still out
    EXPECT_EQ(h.line.sent.size(), 1u);
    h.runner.transactionEnded(true, 0, 0);
    h.runner.transactionEnded(true, kResponseBusy, 0);
    h.runner.transactionEnded(false, kResponseBusy, 0);  // no reply: no busy repeat
    EXPECT_EQ(h.line.sent, (std::vector<std::string>{"0,0", "1,0", "1,0", "2,0"}));
}

TEST(ScriptRunner, NothingStartsWithoutLineOrScriptAndAClosedLineStopsIt) {
    ScriptHarness h;
    h.runner.runOrCancel(true);
    EXPECT_FALSE(h.runner.running());
    h.runner.setScript(ThreeSteps(true));
    h.runner.runOrCancel(false);
    EXPECT_FALSE(h.runner.running());
    h.runner.runOrCancel(true);
    h.runner.lineClosed();
    EXPECT_FALSE(h.runner.running());
    EXPECT_EQ(h.runner.stepIndex(), 0);
    h.runner.transactionEnded(true, 0, 0);
    EXPECT_EQ(h.line.sent.size(), 1u);
}

TEST(ScriptRunner, AStepWithoutRequestEndsTheScript) {
    ScriptHarness h;
    Script s = ThreeSteps(true);
    s.steps[1] = "1,5";
    h.runner.setScript(s);
    h.runner.runOrCancel(true);
    h.runner.transactionEnded(true, 0, 0);
    EXPECT_FALSE(h.runner.running());
    s.steps[0] = "bad";
    h.runner.setScript(s);
    h.runner.runOrCancel(true);
    EXPECT_FALSE(h.runner.running());
}

TEST(ScriptRunner, LoadingAnotherScriptEndsTheRunningOne) {
    ScriptHarness h;
    h.runner.setScript(ThreeSteps(true));
    h.runner.runOrCancel(true);
    h.runner.transactionEnded(true, 0, 0);
    Script one;
    one.steps = {"3,0"};
    h.runner.setScript(one);
    EXPECT_FALSE(h.runner.running());
    h.runner.transactionEnded(true, kResponseBusy, 0);  // the old step's reply: nothing more is sent
    EXPECT_EQ(h.line.sent.size(), 2u);
}

class ScriptFiles : public ::testing::Test {
protected:
    std::string write(const char* name, const QByteArray& content) {
        QFile f(dir_.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName().toStdString();
    }
    QTemporaryDir dir_;
};

TEST_F(ScriptFiles, SectionsKeysAndOptions) {
    Script s;
    const std::string path = write("three.fsq",
                                   "; a script\r\n[options]\r\ncyclic = 1\r\nResetStatus=0x1 ; comment\r\n"
                                   "[CMD]\r\nstep000=0,0\r\nStep001= 18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101 \r\n"
                                   "Step002=2,0\r\nStep003=\r\nStep004=3,0\r\n");
    ASSERT_EQ(LoadScript(path, s), ScriptLoad::Loaded);
    EXPECT_EQ(s.name, "three.fsq");
    EXPECT_EQ(s.path, path);
    EXPECT_TRUE(s.cyclic);
    EXPECT_TRUE(s.resetStatus);
    EXPECT_EQ(s.steps, (std::vector<std::string>{"0,0", "18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101", "2,0"}));
}

TEST_F(ScriptFiles, MissingStep001EndsTheStepsAndOptionsDefaultOff) {
    Script s;
    ASSERT_EQ(LoadScript(write("gap.fsq", "[Cmd]\nStep000=1,0\nStep002=2,0\n"), s), ScriptLoad::Loaded);
    EXPECT_EQ(s.steps, std::vector<std::string>{"1,0"});
    EXPECT_FALSE(s.cyclic);
    EXPECT_FALSE(s.resetStatus);
}

TEST_F(ScriptFiles, NotFoundAndNotAScriptLeaveThePreviousScript) {
    Script s;
    s.name = "previous.fsq";
    EXPECT_EQ(LoadScript(dir_.filePath("none.fsq").toStdString(), s), ScriptLoad::NotFound);
    EXPECT_EQ(LoadScript(dir_.path().toStdString(), s), ScriptLoad::NotFound);  // a directory
    EXPECT_EQ(LoadScript(write("empty.fsq", "[Cmd]\nStep000=\nStep001=1,0\n"), s), ScriptLoad::NotAScript);
    EXPECT_EQ(LoadScript(write("other.ini", "[Settings]\nDecimal=1\n"), s), ScriptLoad::NotAScript);
    // A script followed by megabytes of anything (here zero bytes) is no script.
    const std::string huge = write("huge.fsq", "[Cmd]\nStep000=0,0\n");
    ASSERT_TRUE(QFile::resize(QString::fromStdString(huge), 8 << 20));
    EXPECT_EQ(LoadScript(huge, s), ScriptLoad::NotAScript);
    EXPECT_EQ(s.name, "previous.fsq");
}

TEST_F(ScriptFiles, AtMostAThousandSteps) {
    QByteArray content = "[Cmd]\n";
    for (int n = 0; n <= 1000; ++n) content += QByteArray("Step") + QByteArray::number(n).rightJustified(3, '0') + "=1,0\n";
    Script s;
    ASSERT_EQ(LoadScript(write("long.fsq", content), s), ScriptLoad::Loaded);
    EXPECT_EQ(s.steps.size(), 1000u);
}

// Loading walks the section once: a thousand steps behind many other keys
// cost about what reading the file costs, not a walk of the section per step.
TEST_F(ScriptFiles, StepsBehindManyOtherKeysLoadInOnePass) {
    // A section with many other keys before its steps: every step is found,
    // in order. (How long the load takes is a matter for a benchmark.)
    QByteArray content = "[Options]\nCyclic=1\n[Cmd]\n";
    for (int n = 0; n < 20000; ++n) content += "Step000_" + QByteArray::number(n) + "=x\n";
    for (int n = 0; n < 1000; ++n) content += QByteArray("Step") + QByteArray::number(n).rightJustified(3, '0') + "=1,0\n";
    const std::string path = write("behind.fsq", content);
    Script s;
    ASSERT_EQ(LoadScript(path, s), ScriptLoad::Loaded);
    EXPECT_EQ(s.steps.size(), 1000u);
    EXPECT_TRUE(s.cyclic);
}

}  // namespace
