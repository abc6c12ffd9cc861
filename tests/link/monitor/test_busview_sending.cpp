// The Busview window driving the line: Send menu and entry dialog, scripts,
// log and frame files, printing, help and the last save directory, through
// the control against the simulated meter, offscreen, by objectName.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

#include "link/monitor/busview_window.h"
#include "link/monitor/frame_view.h"
#include "platform/ini.h"
#include "platform/scripted.h"
#include "tests/link/control/hosted_control.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/sim_on_pipe.h"

namespace {

using namespace fenwire;
using platform::ScriptedBackend;

// Commands the meter heard, a request the driver had to repeat (a reply
// that came too late on a loaded machine) counted once.
std::vector<int> commandsSeen(const testsupport::SimOnPipe& sim) {
    std::vector<int> out;
    for (const auto& r : sim.meter.requestLog())
        if (out.empty() || out.back() != r.command) out.push_back(r.command);
    return out;
}

std::string fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

struct SendingTest : ::testing::Test {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    ScriptedBackend scripted;
    platform::BackendGuard guard{scripted};
    std::unique_ptr<testsupport::SimOnPipe> sim;
    std::unique_ptr<testsupport::HostedControl> host;

    virtual corvane::sim::FaultOptions faults() const { return {}; }
    void SetUp() override {
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        sim = std::make_unique<testsupport::SimOnPipe>(faults());
        host = std::make_unique<testsupport::HostedControl>();
        host->put("cComMode", 2);
        host->put("cComState", 1);
        ASSERT_EQ(host->number("cComError"), 0);
    }
    void TearDown() override {
        host.reset();
        sim.reset();
        QDir::setCurrent(previousDir);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void writeFile(const QString& name, const QByteArray& content) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    BusviewWindow* openWindow() {
        host->put("cBusview", 1);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<BusviewWindow*>(w); b && b->isVisible()) return b;
        ADD_FAILURE() << "no Busview window";
        return nullptr;
    }
    void trigger(BusviewWindow* w, const char* item) {
        QAction* a = w->action(item);
        ASSERT_NE(a, nullptr) << item;
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }
    // The next file dialog chooses `file` (a name in the test directory, or a full path).
    void chooseFile(const QString& file) {
        scripted.queueDialog([file](QDialog& d) { static_cast<QFileDialog&>(d).selectFile(file); });
    }
    // Transactions of `command` the host heard the end of.
    int resultsOf(int command) const {
        int n = 0;
        const std::string tail = "," + std::to_string(command) + ",";
        for (const auto& e : host->events())
            if (e.rfind("Result(", 0) == 0 && e.find(tail) != std::string::npos) ++n;
        return n;
    }
    int resultEvents() const {
        int n = 0;
        for (const auto& e : host->events())
            if (e.rfind("Result", 0) == 0 || e.rfind("Busy", 0) == 0) ++n;
        return n;
    }
};

TEST_F(SendingTest, SendMenuItemsAndTheSecondSendWaits) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->action("mnuSendStop")->isEnabled());
    trigger(w, "mnuSendCmd1");
    trigger(w, "mnuSendCmd1");  // ignored: the first has not ended
    ASSERT_TRUE(host->waitIdle());
    EXPECT_EQ(commandsSeen(*sim), (std::vector<int>{0, 1}));
    EXPECT_EQ(resultsOf(1), 1);
    trigger(w, "mnuSendCmd13");
    ASSERT_TRUE(host->waitIdle());
    EXPECT_EQ(commandsSeen(*sim), (std::vector<int>{0, 1, 13}));
    // The last text sent is kept in the settings.
    host->put("cBusview", 0);
    EXPECT_EQ(platform::ini::readString(path("busvw.ini"), "Settings", "DoCmd"), "13,0");
}

TEST_F(SendingTest, TemplateOpensTheEntryDialogAndItsTextIsSent) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    QString shown;
    scripted.queueDialog([&](QDialog& d) {
        shown = d.findChild<QLineEdit*>("txtCommand")->text();
        EXPECT_EQ(d.windowTitle(), "Enter HART Command to be Executed");
    });
    trigger(w, "mnuSendCmd18");
    EXPECT_EQ(shown, "18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101");
    ASSERT_TRUE(host->waitIdle());
    ASSERT_EQ(commandsSeen(*sim), (std::vector<int>{0, 18}));
    EXPECT_EQ(host->number("cComResult"), 1);
    EXPECT_EQ(sim->meter.state().tag, "TAG_NAME");

    // Abbrechen changes nothing and sends nothing.
    scripted.queueDialog([](QDialog& d) { d.findChild<QLineEdit*>("txtCommand")->setText("1,0"); }, QDialog::Rejected);
    trigger(w, "mnuSendAnyCmd");
    ASSERT_TRUE(host->waitIdle());
    EXPECT_EQ(commandsSeen(*sim).size(), 2u);
    // A text that gives no frame sends nothing and shows nothing.
    scripted.queueDialog([](QDialog& d) { d.findChild<QLineEdit*>("txtCommand")->setText("19,2,dec24,1"); });
    trigger(w, "mnuSendAnyCmd");
    ASSERT_TRUE(host->waitIdle());
    EXPECT_EQ(commandsSeen(*sim).size(), 2u);
    EXPECT_TRUE(scripted.messageBoxes().empty());
}

TEST_F(SendingTest, CyclicRepeatRunsUntilStopOrASilentMeter) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    auto cyclic = [](const char* text) {
        return [text](QDialog& d) {
            d.findChild<QLineEdit*>("txtCommand")->setText(text);
            d.findChild<QCheckBox*>("chkCyclicRepeat")->setChecked(true);
        };
    };
    scripted.queueDialog(cyclic("3,0"));
    trigger(w, "mnuSendAnyCmd");
    EXPECT_TRUE(w->action("mnuSendStop")->isEnabled());
    while (sim->meter.requestLog().size() < 4) host->pump(20);
    trigger(w, "mnuSendStop");
    EXPECT_FALSE(w->action("mnuSendStop")->isEnabled());
    ASSERT_TRUE(host->waitIdle());
    const size_t sent = sim->meter.requestLog().size();
    host->pump(100);
    EXPECT_EQ(sim->meter.requestLog().size(), sent);

    scripted.queueDialog(cyclic("1,0"));
    trigger(w, "mnuSendAnyCmd");
    while (sim->meter.requestLog().size() < sent + 2) host->pump(20);
    sim->silent = true;
    ASSERT_TRUE(host->waitIdle());
    EXPECT_FALSE(w->action("mnuSendStop")->isEnabled());
    EXPECT_EQ(host->number("cComResult"), 2);
}

TEST_F(SendingTest, DefaultScriptRunsThreeStepsWithoutHostEvents) {
    writeFile("default.fsq", "[Cmd]\r\nStep000=0,0\r\nStep001=1,0\r\nStep002=2,0\r\n");
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), " Busview for HART[SEQ: default.fsq]");
    EXPECT_TRUE(w->action("mnuRunScript")->isEnabled());
    host->log.clear();
    trigger(w, "mnuRunScript");
    EXPECT_TRUE(w->action("mnuRunScript")->isChecked());
    EXPECT_EQ(w->statusText(), " Recording..., Running Script...");
    // The host's menus cannot interrupt it.
    trigger(w, "mnuSendCmd3");
    ASSERT_TRUE(host->waitIdle());
    EXPECT_EQ(commandsSeen(*sim), (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(w->action("mnuRunScript")->isChecked());
    EXPECT_EQ(w->statusText(), " Recording...");
    EXPECT_EQ(resultEvents(), 0);
    // Afterwards the host hears its own transactions again.
    host->put("cDoCommand", 1);
    ASSERT_TRUE(host->waitIdle());
    EXPECT_GT(resultEvents(), 0);
}

TEST_F(SendingTest, CyclicScriptStopsOnRunScriptAfterTheCurrentStep) {
    writeFile("loop.fsq", "[Options]\nCyclic=1\nResetStatus=1\n[Cmd]\nStep000=1,0\nStep001=2,0\n");
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->action("mnuRunScript")->isEnabled());
    chooseFile(path("loop.fsq"));
    trigger(w, "mnuLoadScript");
    trigger(w, "mnuRunScript");
    while (commandsSeen(*sim).size() < 8) host->pump(20);
    trigger(w, "mnuRunScript");
    EXPECT_TRUE(w->statusText().endsWith(", Running Script Canceled!"));
    ASSERT_TRUE(host->waitIdle());
    host->pump(100);
    EXPECT_FALSE(w->action("mnuRunScript")->isChecked());
    // ResetStatus: every step is preceded by command 0.
    const auto seen = commandsSeen(*sim);
    ASSERT_GE(seen.size(), 8u);
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 8), (std::vector<int>{0, 1, 0, 2, 0, 1, 0, 2}));
    EXPECT_EQ(platform::ini::readString(path("busvw.ini"), "Settings", "LastSaveDir"), "");  // saved on close only

    // Closing the line stops a running script at once.
    trigger(w, "mnuRunScript");
    EXPECT_TRUE(w->action("mnuRunScript")->isChecked());
    host->put("cComState", 0);
    EXPECT_FALSE(w->action("mnuRunScript")->isChecked());
    EXPECT_EQ(w->statusText(), " Driver not active!");
    host->put("cBusview", 0);
    EXPECT_EQ(platform::ini::readString(path("busvw.ini"), "Settings", "LastSaveDir"), QDir(dir.path()).absolutePath());
}

TEST_F(SendingTest, LoadScriptMessagesAndCancel) {
    writeFile("plain.ini", "[Settings]\nDecimal=1\n");
    writeFile("good.fsq", "[Cmd]\nStep000=0,0\n");
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    chooseFile(path("good.fsq"));
    trigger(w, "mnuLoadScript");
    chooseFile(path("none.fsq"));
    trigger(w, "mnuLoadScript");
    chooseFile(path("plain.ini"));
    trigger(w, "mnuLoadScript");
    scripted.queueDialogResult(QDialog::Rejected);
    trigger(w, "mnuLoadScript");
    const auto& boxes = scripted.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Script file not found !");
    EXPECT_EQ(boxes[0].title, "Script File Error");
    EXPECT_EQ(boxes[1].text, "File is not a script file of Busview !");
    EXPECT_EQ(w->windowTitle(), " Busview for HART[SEQ: good.fsq]");  // the good one stays
}

TEST_F(SendingTest, LogFileReceivesDisplayedFramesUntilClosed) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->action("mnuCloseLogFile")->isEnabled());
    chooseFile(path("trace"));
    trigger(w, "mnuOpenLogFile");
    EXPECT_TRUE(w->action("mnuCloseLogFile")->isEnabled());
    EXPECT_EQ(w->windowTitle(), " Busview for HART[LOG: trace.flg]");
    host->put("cDoCommand", 0);
    ASSERT_TRUE(host->waitIdle());
    host->pump(50);
    trigger(w, "mnuCloseLogFile");
    EXPECT_EQ(w->windowTitle(), " Busview for HART");
    const std::string log = fileText(path("trace.flg"));
    EXPECT_EQ(log.rfind("          Busview: ", 0), 0u) << log;
    EXPECT_NE(log.find("\r\n\r\n          "), std::string::npos);
    // Two frames, each after its time stamp line.
    int stamps = 0;
    for (size_t at = log.find("\r\n          "); at != std::string::npos; at = log.find("\r\n          ", at + 1))
        if (log.size() > at + 20 && log[at + 14] == ':' && log[at + 17] == ':' && log.substr(at + 20, 2) == "\r\n") ++stamps;
    EXPECT_GE(stamps, 2) << log;  // a request the driver repeated is a frame of its own

    // Cancelling the dialog: the pattern cannot be opened.
    scripted.queueDialogResult(QDialog::Rejected);
    trigger(w, "mnuOpenLogFile");
    ASSERT_EQ(scripted.messageBoxes().size(), 1u);
    EXPECT_EQ(scripted.messageBoxes()[0].text, "File *.flg could not be opened!");
    EXPECT_EQ(scripted.messageBoxes()[0].title, "Save to File");
    EXPECT_FALSE(w->action("mnuCloseLogFile")->isEnabled());
    EXPECT_FALSE(QFile::exists(path("*.flg")));
}

TEST_F(SendingTest, LogThatStopsTakingFramesIsClosedAndSaysSo) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    chooseFile(path("full.flg"));
    trigger(w, "mnuOpenLogFile");
    ASSERT_TRUE(w->action("mnuCloseLogFile")->isEnabled());
    {
        // Room for the header and a few bytes more: the first frame does not fit.
        const testsupport::FileSizeLimit full(static_cast<rlim_t>(QFileInfo(path("full.flg")).size() + 8));
        host->put("cDoCommand", 0);
        ASSERT_TRUE(host->waitIdle());
        host->pump(50);
    }
    EXPECT_FALSE(w->action("mnuCloseLogFile")->isEnabled());
    EXPECT_EQ(w->windowTitle(), " Busview for HART");
    ASSERT_EQ(scripted.messageBoxes().size(), 1u);
    EXPECT_EQ(scripted.messageBoxes()[0].text, "File " + path("full.flg") + " could not be written!");
    EXPECT_EQ(scripted.messageBoxes()[0].title, "Save to File");
}

TEST_F(SendingTest, FrameFilePrintingAndPrinterSetup) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    host->put("cDoCommand", 0);
    ASSERT_TRUE(host->waitIdle());
    host->pump(50);
    trigger(w, "mnuMonitorFrames");
    // Nothing selected: nothing happens.
    trigger(w, "mnuSaveFrameFile");
    EXPECT_TRUE(scripted.dialogs().empty());
    w->frameView()->refresh();
    w->frameView()->selectAll();
    chooseFile(path("frames.bvf"));
    trigger(w, "mnuSaveFrameFile");
    const std::string saved = fileText(path("frames.bvf"));
    EXPECT_EQ(saved.rfind("          Busview: ", 0), 0u);
    EXPECT_NE(saved.find("Stopped"), std::string::npos);

    // No default printer here: printing does nothing, and says nothing.
    trigger(w, "mnuPrintAll");
    trigger(w, "mnuPrintSelection");
    EXPECT_TRUE(scripted.messageBoxes().empty());
    EXPECT_FALSE(w->frameView()->hasSelection());
    trigger(w, "mnuPrinterConfiguration");
    ASSERT_FALSE(scripted.dialogs().empty());
    EXPECT_EQ(scripted.dialogs().back().objectName, "dlgPrinterSetup");

    trigger(w, "mnuHelp");
    EXPECT_EQ(scripted.helpRequests(), QStringList{"Fenwire"});
    // The page it opens is shipped beside the programs, where the help call looks.
    EXPECT_TRUE(QFileInfo(QCoreApplication::applicationDirPath() + "/help/Fenwire.html").isFile());
}

TEST_F(SendingTest, VanishedLastSaveDirIsEmptiedAndAnExistingOneServesTheDialogs) {
    QTemporaryDir elsewhere;
    {
        QFile f(elsewhere.filePath("default.fsq"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Cmd]\nStep000=1,0\n");
    }
    writeFile("busvw.ini", "[Settings]\nLastSaveDir=" + dir.filePath("gone").toUtf8() + "\n");
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), " Busview for HART");
    host->put("cBusview", 0);
    EXPECT_EQ(platform::ini::readString(path("busvw.ini"), "Settings", "LastSaveDir", "unset"), "");
    // Defaults of a missing file are written back as they were read.
    EXPECT_EQ(platform::ini::readInt(path("busvw.ini"), "Settings", "NoPreambles", -1), 1);

    platform::ini::writeString(path("busvw.ini"), "Settings", "LastSaveDir", elsewhere.path());
    w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), " Busview for HART[SEQ: default.fsq]");  // found in the last save directory
    QString startedIn;
    scripted.queueDialog([&](QDialog& d) { startedIn = static_cast<QFileDialog&>(d).directory().absolutePath(); },
                         QDialog::Rejected);
    trigger(w, "mnuLoadScript");
    EXPECT_EQ(startedIn, QDir(elsewhere.path()).absolutePath());
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).absolutePath());  // the host's directory is left alone
}

TEST_F(SendingTest, CaptureSavedOpenedSearchedAndSavedAgain) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    for (int command : {0, 1}) {
        host->put("cDoCommand", command);
        ASSERT_TRUE(host->waitIdle());
    }
    host->pump(50);
    chooseFile(path("line.pcapng"));
    trigger(w, "mnuSaveCapture");
    const CaptureRead saved = ReadCaptureFile(path("line.pcapng").toStdString());
    ASSERT_TRUE(saved.ok) << saved.error;
    ASSERT_GE(saved.capture.frames.size(), 4u);
    EXPECT_EQ(saved.capture.frames.front().port, "COM " + std::to_string(host->number("cComPort")));
    EXPECT_LE(saved.capture.frames.front().timeUs, saved.capture.frames.back().timeUs);
    EXPECT_GT(saved.capture.frames.front().timeUs, int64_t{1700000000} * 1000000);

    // Opened: in place of the line's frames, recording off, read-only.
    chooseFile(path("line.pcapng"));
    trigger(w, "mnuOpenCapture");
    EXPECT_TRUE(scripted.messageBoxes().empty());
    EXPECT_FALSE(w->core().recording());
    EXPECT_FALSE(w->action("mnuMonitorFrames")->isChecked());
    EXPECT_TRUE(w->statusText().startsWith(" Capture line.pcapng (read-only)")) << w->statusText().toStdString();
    EXPECT_EQ(w->core().rows().size(), saved.capture.frames.size());
    EXPECT_TRUE(w->frameView()->plainText().contains("STX>P|  1 Read Primary Variable"));
    host->put("cDoCommand", 1);  // the line goes on, unseen
    ASSERT_TRUE(host->waitIdle());
    host->pump(50);
    EXPECT_EQ(w->core().rows().size(), saved.capture.frames.size());
    const FindResult found = w->core().find(*CommandQuery("1"), std::nullopt, true);
    ASSERT_TRUE(found.row);
    EXPECT_EQ(w->core().rows().row(*found.row).frame.command, 1);

    // Saved again whole: the same file; a selected row alone: that frame.
    chooseFile(path("again.pcapng"));
    trigger(w, "mnuSaveCapture");
    EXPECT_EQ(fileText(path("again.pcapng")), fileText(path("line.pcapng")));
    w->frameView()->selectRow(1);
    chooseFile(path("one.pcapng"));
    trigger(w, "mnuSaveCapture");
    const CaptureRead one = ReadCaptureFile(path("one.pcapng").toStdString());
    ASSERT_TRUE(one.ok) << one.error;
    ASSERT_EQ(one.capture.frames.size(), 1u);
    EXPECT_EQ(one.capture.frames[0], saved.capture.frames[1]);

    // A file cut short is refused with a message; the capture shown stays.
    writeFile("cut.pcapng", QByteArray::fromStdString(fileText(path("line.pcapng")).substr(0, 100)));
    chooseFile(path("cut.pcapng"));
    trigger(w, "mnuOpenCapture");
    ASSERT_EQ(scripted.messageBoxes().size(), 1u);
    EXPECT_NE(scripted.messageBoxes()[0].text.toStdString().find("cut short"), std::string::npos);
    EXPECT_EQ(scripted.messageBoxes()[0].title, "Open Capture");
    EXPECT_EQ(w->core().rows().size(), saved.capture.frames.size());

    // New goes back to the line.
    trigger(w, "mnuNew");
    EXPECT_TRUE(w->core().recording());
    EXPECT_TRUE(w->core().rows().empty());
    EXPECT_TRUE(w->statusText().startsWith(" Recording..."));
}

// A meter that answers busy now and then.
struct BusySendingTest : SendingTest {
    corvane::sim::FaultOptions faults() const override {
        corvane::sim::FaultOptions f;
        f.busy = 0.6;
        return f;
    }
};

TEST_F(BusySendingTest, BusyRepliesAreRepeatedUntilTheMeterAnswers) {
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    trigger(w, "mnuSendCmd1");
    ASSERT_TRUE(host->waitIdle());
    // Every busy reply reached the host and was followed by the same request.
    EXPECT_GE(resultsOf(1), 2) << "the meter never answered busy: choose another seed";
    EXPECT_EQ(host->number("cResponse1"), 0);  // it went on until the meter did the command
    EXPECT_EQ(commandsSeen(*sim).back(), 1);
    EXPECT_FALSE(w->action("mnuSendStop")->isEnabled());
}

}  // namespace

struct NoisyLineSendingTest : SendingTest {
    corvane::sim::FaultOptions faults() const override {
        corvane::sim::FaultOptions f;
        f.badChecksum = 0.3;
        return f;
    }
};

// A trigger set to stop recording also ends a running cyclic script: the
// first frame with an error stops both, and the host hears nothing of it.
TEST_F(NoisyLineSendingTest, TriggerThatStopsRecordingEndsACyclicScript) {
    writeFile("loop.fsq", "[Options]\nCyclic=1\n[Cmd]\nStep000=1,0\nStep001=2,0\n");
    BusviewWindow* w = openWindow();
    ASSERT_TRUE(w);
    w->core().settings().trigOnAllErr = 1;
    w->core().settings().stopOnTrigger = 1;
    trigger(w, "mnuTriggerOn");
    chooseFile(path("loop.fsq"));
    trigger(w, "mnuLoadScript");
    host->log.clear();
    trigger(w, "mnuRunScript");
    ASSERT_TRUE(w->action("mnuRunScript")->isChecked());
    for (int i = 0; i < 500 && w->action("mnuRunScript")->isChecked(); ++i) host->pump(20);
    EXPECT_FALSE(w->action("mnuRunScript")->isChecked()) << "the trigger never fired: choose another seed";
    EXPECT_FALSE(w->core().recording());
    ASSERT_TRUE(host->waitIdle());
    EXPECT_EQ(resultEvents(), 0);
    // It ended where it was: the meter saw a few steps, not a cyclic run on and on.
    const size_t seen = commandsSeen(*sim).size();
    host->pump(300);
    EXPECT_EQ(commandsSeen(*sim).size(), seen);
}
