// The Busview window driven by objectName: opened and closed through the
// control's cBusview, recording the simulated meter's traffic, its menus,
// dialogs, Pick message boxes and settings files.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <utility>

#include "link/driver/frame.h"
#include "link/driver/wendrel.h"
#include "link/monitor/busview_window.h"
#include "link/monitor/frame_view.h"
#include "platform/ini.h"
#include "platform/keyboard.h"
#include "platform/scripted.h"
#include "tests/link/control/hosted_control.h"
#include "tests/support/sim_on_pipe.h"

namespace {

using namespace fenwire;
using platform::ScriptedBackend;

// A frame as the driver posts it: a heap record the window frees.
intptr_t record(const char* hex, uint32_t timeMs = 0) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(wendrel::fromHex(hex, bytes)) << hex;
    return wendrel::MakeMonitorRecord(bytes.data(), bytes.size(), 0, 0, timeMs);
}

struct NoTarget : wendrel::MessageTarget {
    void post(int32_t, intptr_t, intptr_t) override {}
};

constexpr char kRequest130[] = "FF FF FF FF FF 82 A6 0C 00 01 02 82 00 A9";
constexpr char kReply130[] = "FF FF FF FF FF 86 A6 0C 00 01 02 82 05 00 00 02 0A FF 5F";

// Each test in its own current directory, where the window keeps its files.
struct WindowTest : ::testing::Test {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    ScriptedBackend scripted;
    platform::BackendGuard guard{scripted};
    NoTarget target;

    void SetUp() override { ASSERT_TRUE(QDir::setCurrent(dir.path())); }
    void TearDown() override { QDir::setCurrent(previousDir); }

    static FrameView* view(BusviewWindow& w) { return w.findChild<FrameView*>("txtFrames"); }
    // What the view shows once it has taken in the rows that came.
    static QString shown(BusviewWindow& w) {
        view(w)->refresh();
        return view(w)->plainText();
    }
    // Where `piece` first shows, from the oldest line.
    static std::optional<FrameView::Position> positionOf(BusviewWindow& w, const QString& piece) {
        view(w)->refresh();
        const MonitorRows& rows = w.core().rows();
        for (int64_t line = rows.firstLine(); line < rows.endLine(); ++line)
            if (const int at = view(w)->lineText(line).indexOf(piece); at >= 0) return FrameView::Position{line, at};
        return std::nullopt;
    }
    static void trigger(BusviewWindow& w, const char* item) {
        QAction* a = w.action(item);
        ASSERT_NE(a, nullptr) << item;
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }
    // Colour of the first character of `piece` in the view.
    static QColor colourOf(BusviewWindow& w, const QString& piece) {
        const auto at = positionOf(w, piece);
        return at ? view(w)->colourAt(*at) : QColor();
    }
};

TEST_F(WindowTest, FramesBecomeColouredLinesAndStoppedEndsThem) {
    BusviewWindow w(target, -1);
    EXPECT_EQ(w.statusText(), " Driver not active!");
    EXPECT_EQ(w.windowTitle(), " Busview for HART");
    w.onFrameMessage(0, record(kRequest130));
    w.onFrameMessage(1, record(kReply130));
    EXPECT_EQ(shown(w), "STX>P|130|  0|A9\nACK<P|130|  5|  0 00      |02 0A FF|5F\n");
    EXPECT_EQ(colourOf(w, "STX>P"), QColor(0, 0, 128));
    EXPECT_EQ(colourOf(w, "02 0A FF"), QColor(0, 0, 0));
    EXPECT_EQ(colourOf(w, "|A9"), QColor(0, 0, 255));

    trigger(w, "mnuMonitorFrames");
    EXPECT_FALSE(w.action("mnuMonitorFrames")->isChecked());
    EXPECT_TRUE(shown(w).endsWith("5F\n\n========*** Stopped ***========\n\n"));
    EXPECT_EQ(colourOf(w, "Stopped"), QColor(255, 0, 0));
    w.onFrameMessage(1, record(kReply130));  // dropped while stopped, and freed
    EXPECT_TRUE(shown(w).endsWith("***========\n\n"));

    trigger(w, "mnuNew");  // recording again, on a clean page
    EXPECT_TRUE(w.core().recording());
    EXPECT_EQ(shown(w), "");
}

TEST_F(WindowTest, PickDecodesTheSelection) {
    BusviewWindow w(target, -1);
    w.onFrameMessage(1, record(kReply130));
    trigger(w, "mnuMonitorFrames");
    const auto at = positionOf(w, "02 0A FF");
    ASSERT_TRUE(at);
    view(w)->select(*at, {at->line, at->column + 8});
    trigger(w, "mnuPickInt8");
    trigger(w, "mnuPickInt16");
    trigger(w, "mnuLsbFirst");
    EXPECT_TRUE(w.action("mnuLsbFirst")->isChecked());
    trigger(w, "mnuPickHex16");
    trigger(w, "mnuPickFloat");
    const auto& boxes = scripted.messageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].title, "Integer 8");
    EXPECT_EQ(boxes[0].text, "02 0A FF:\r\n002, 010, 255");
    EXPECT_EQ(boxes[1].text, "02 0A FF:\r\n522");
    EXPECT_EQ(boxes[2].text, "02 0A FF:\r\n0x0A02");
    EXPECT_EQ(boxes[3].text, "It was not possible to process the selection !");
    EXPECT_EQ(boxes[3].title, "Float as IEEE 754");
}

TEST_F(WindowTest, FilterAndTriggerDialogsStoreOnOkOnly) {
    BusviewWindow w(target, -1);
    scripted.queueDialog([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Filter Settings");
        EXPECT_TRUE(d.findChild<QRadioButton*>("rdoShowSpecified")->isChecked());
        d.findChild<QLineEdit*>("txtCmdList")->setText("1, 3");
        d.findChild<QRadioButton*>("rdoHideSpecified")->click();
        d.findChild<QPushButton*>("btnOK")->click();
    });
    trigger(w, "mnuFilterConfiguration");
    EXPECT_EQ(w.core().settings().cmdList, "1, 3");
    EXPECT_EQ(w.core().settings().filterMode, 1);
    EXPECT_EQ(w.core().commandList(), (std::vector<uint8_t>{1, 3}));

    scripted.queueDialog([](QDialog& d) {
        EXPECT_TRUE(d.findChild<QRadioButton*>("rdoHideSpecified")->isChecked());
        d.findChild<QLineEdit*>("txtCmdList")->setText("7");
        d.findChild<QPushButton*>("btnCancel")->click();
    });
    trigger(w, "mnuFilterConfiguration");
    EXPECT_EQ(w.core().settings().cmdList, "1, 3");

    scripted.queueDialog([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Trigger Settings");
        d.findChild<QCheckBox*>("chkDeviceNotPresent")->setChecked(true);
        d.findChild<QCheckBox*>("chkStopRecording")->setChecked(true);
        d.findChild<QPushButton*>("btnOK")->click();
    });
    trigger(w, "mnuTriggerConfiguration");
    EXPECT_EQ(w.core().settings().trigOnDevNotPresent, 1);
    EXPECT_EQ(w.core().settings().stopOnTrigger, 1);
    EXPECT_EQ(w.core().settings().trigOnAllErr, 0);

    trigger(w, "mnuFilterOn");
    trigger(w, "mnuTriggerOn");
    EXPECT_TRUE(w.action("mnuFilterOn")->isChecked());
    EXPECT_EQ(w.statusText(), " Driver not active!");
    w.setDriverHandle(12345);  // no such driver: registration fails, the status still follows
    EXPECT_EQ(w.statusText(), " Recording..., # Trigger #, # Filter #");
}

TEST_F(WindowTest, ViewOptionsAreSavedAndReadInTheDirectoryOfOpening) {
    {
        BusviewWindow w(target, -1);
        EXPECT_FALSE(w.action("mnuPreambles")->isChecked());  // hidden by default
        EXPECT_TRUE(w.action("mnuDecimal")->isChecked());
        trigger(w, "mnuPreambles");
        trigger(w, "mnuWhiteBackground");
        EXPECT_TRUE(w.action("mnuPreambles")->isChecked());
        EXPECT_EQ(view(w)->palette().color(QPalette::Base), QColor(255, 255, 255));
        QDir::setCurrent(QDir::tempPath());  // the host moves on; the window keeps its directory
    }
    const QString settings = QDir(dir.path()).filePath("busvw.ini");
    EXPECT_EQ(platform::ini::readString(settings, "Settings", "NoPreambles"), "0");
    EXPECT_EQ(platform::ini::readString(settings, "Settings", "White"), "1");

    QTemporaryDir other;
    QDir::setCurrent(other.path());
    {
        BusviewWindow w(target, -1);  // a new directory: its own (missing) file, the defaults
        EXPECT_FALSE(w.action("mnuPreambles")->isChecked());
        EXPECT_EQ(w.files().settings, QDir(other.path()).filePath("busvw.ini"));
    }
    QDir::setCurrent(dir.path());
    BusviewWindow w(target, -1);
    EXPECT_TRUE(w.action("mnuPreambles")->isChecked());
    EXPECT_EQ(view(w)->palette().color(QPalette::Base), QColor(255, 255, 255));
}

TEST_F(WindowTest, MenusCarryTheirEntries) {
    BusviewWindow w(target, -1);
    for (const char* item : {"mnuNew", "mnuSaveFrameFile", "mnuOpenLogFile", "mnuCloseLogFile", "mnuLoadScript",
                             "mnuEnd", "mnuTiming", "mnuSymbolicCommands", "mnuRealData", "mnuResponse2Binary",
                             "mnuSendStop", "mnuSendCmd0", "mnuSendCmd3", "mnuSendCmd19", "mnuSendAnyCmd",
                             "mnuPickUnit", "mnuPickPackedASCII", "mnuPickString", "mnuPickInt32", "mnuPickHex32",
                             "mnuRunScript", "mnuPrintAll", "mnuPrintSelection", "mnuPrinterConfiguration", "mnuHelp",
                             "mnuAbout", "mnuCopy", "mnuSelectAll", "mnuFind", "mnuFindNext", "mnuFindPrevious"})
        EXPECT_NE(w.action(item), nullptr) << item;
    EXPECT_EQ(w.action("mnuSendCmd12")->text(), "Cmd 12");
    EXPECT_EQ(w.action("mnuAbout")->data().toInt(), 32831);
    trigger(w, "mnuHelp");
    EXPECT_EQ(scripted.helpRequests(), QStringList{"Fenwire"});
}

TEST_F(WindowTest, IsAFrameWithItsTitleToScreenReaders) {
    BusviewWindow w(target, -1);
    w.open();
    QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(&w);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->role(), QAccessible::Window);
    EXPECT_EQ(seen->text(QAccessible::Name), " Busview for HART");
    EXPECT_TRUE(w.isWindow());
    EXPECT_EQ(w.windowType(), Qt::Window);
}

TEST_F(WindowTest, OpensAtTwoThirdsOfTheScreenOverItsOpenerAndRemembersWhereItWas) {
    QWidget opener;  // the main window, smaller than the screen and off its centre
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    opener.setGeometry(area.left() + area.width() / 8, area.top() + area.height() / 8, area.width() / 2,
                       area.height() / 2);
    opener.show();
    opener.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&opener));
    {
        BusviewWindow w(target, -1);
        w.open();
        EXPECT_NEAR(w.width(), area.width() * 2 / 3, 2);
        EXPECT_NEAR(w.height(), area.height() * 2 / 3, 2);
        EXPECT_TRUE(w.frameGeometry().contains(opener.frameGeometry().center()));
        EXPECT_TRUE(area.contains(w.geometry()));
        w.setGeometry(area.left() + 30, area.top() + 40, 500, 300);
        w.close();
    }
    const QString settings = QDir(dir.path()).filePath("busvw.ini");
    EXPECT_EQ(platform::ini::readInt(settings, "Window", "Width", 0), 500);
    EXPECT_EQ(platform::ini::readInt(settings, "Window", "Height", 0), 300);
    {
        BusviewWindow w(target, -1);
        w.open();
        EXPECT_EQ(w.geometry(), QRect(area.left() + 30, area.top() + 40, 500, 300));
    }
    // A place on no screen (a monitor since removed) is not used.
    platform::ini::writeString(settings, "Window", "Left", "-20000");
    BusviewWindow w(target, -1);
    w.open();
    EXPECT_TRUE(area.contains(w.geometry()));
    EXPECT_NEAR(w.width(), area.width() * 2 / 3, 2);
}

TEST_F(WindowTest, MenusHaveMnemonicsNoneAlikeInOneMenu) {
    BusviewWindow w(target, -1);
    w.open();
    auto* bar = w.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    std::function<void(const QList<QAction*>&)> check = [&check](const QList<QAction*>& entries) {
        QSet<QChar> seen;
        for (QAction* entry : entries) {
            if (entry->isSeparator()) continue;
            const QChar letter = platform::mnemonicOf(entry->text());
            EXPECT_FALSE(letter.isNull()) << entry->text().toStdString();
            EXPECT_FALSE(seen.contains(letter)) << entry->text().toStdString();
            seen.insert(letter);
            if (entry->menu()) check(entry->menu()->actions());
        }
    };
    check(bar->actions());
    EXPECT_EQ(platform::withoutMnemonic(w.action("mnuSendCmd12")->text()), "Cmd 12");
}

// ---- through the control, on the simulated meter ---------------------------

QPointer<BusviewWindow> openWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<BusviewWindow*>(w)) return b;
    return nullptr;
}

struct ControlBusviewTest : WindowTest {
    testsupport::SimOnPipe sim;
    testsupport::HostedControl host;
};

TEST_F(ControlBusviewTest, RecordsTheLineAndEndsWithBusviewEndWhenTheUserCloses) {
    ASSERT_EQ(host.put("cComMode", 2), 0);
    ASSERT_EQ(host.put("cComState", 1), 0);
    ASSERT_EQ(host.put("cBusview", 1), 0);
    QPointer<BusviewWindow> w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->statusText(), " Recording...");
    EXPECT_EQ(scripted.windowsShown().size(), 1u);
    host.put("cDoCommand", 0);
    ASSERT_TRUE(host.waitIdle());
    host.pump(50);
    const QString lines = shown(*w);
    EXPECT_TRUE(lines.startsWith("STX>P|  0 Read Unique Identifier|  0|")) << lines.toStdString();
    EXPECT_TRUE(lines.contains("\nACK<P|  0 Read Unique Identifier| ")) << lines.toStdString();

    host.log.clear();
    trigger(*w, "mnuEnd");
    EXPECT_EQ(host.number("cBusview"), 0);
    EXPECT_EQ(host.events(), std::vector<std::string>{"BusviewEnd()"});
    EXPECT_NE(host.find("~cBusview"), -1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
    EXPECT_TRUE(QFile::exists(QDir(dir.path()).filePath("busvw.ini")));
    host.put("cDoCommand", 1);  // frames after the end are freed unread
    ASSERT_TRUE(host.waitIdle());
}

TEST_F(ControlBusviewTest, HostOpensAnewAndClosesWithoutBusviewEnd) {
    ASSERT_EQ(host.put("cBusview", 1), 0);
    QPointer<BusviewWindow> first = openWindow();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->statusText(), " Driver not active!");
    ASSERT_EQ(host.put("cBusview", 1), 0);  // created anew
    EXPECT_FALSE(first);
    QPointer<BusviewWindow> second = openWindow();
    ASSERT_TRUE(second);
    ASSERT_EQ(host.put("cComMode", 2), 0);
    ASSERT_EQ(host.put("cComState", 1), 0);  // the line opens: the window follows the driver
    EXPECT_EQ(second->statusText(), " Recording...");
    host.log.clear();
    ASSERT_EQ(host.put("cBusview", 0), 0);
    EXPECT_FALSE(second);
    EXPECT_TRUE(host.events().empty());
}

// What a host's frame sink saw: origin and command of each frame.
struct SeenFrames {
    std::vector<std::pair<int, int>> frames;
    static void take(void* context, int32_t origin, const uint8_t* bytes, int32_t count, int32_t, int32_t preambles,
                     uint32_t) {
        // delimiter, address (1 or 5 bytes), command
        const int start = preambles;
        if (count < start + 3) return;
        const int addressLength = bytes[start] & 0x80 ? 5 : 1;
        static_cast<SeenFrames*>(context)->frames.emplace_back(origin, bytes[start + 1 + addressLength]);
    }
    // The frames since the last call.
    std::vector<std::pair<int, int>> since() { return std::exchange(frames, {}); }
};

TEST_F(ControlBusviewTest, AHostsFrameSinkAndTheWindowBothSeeEveryFrameHoweverTheWindowComesAndGoes) {
    SeenFrames seen;
    fw_advise_frames(host.control, &SeenFrames::take, &seen);
    ASSERT_EQ(host.put("cComMode", 2), 0);
    ASSERT_EQ(host.put("cComState", 1), 0);
    auto transaction = [&](int command) {
        host.put("cDoCommand", command);
        EXPECT_TRUE(host.waitIdle());
        host.pump(30);
    };
    const std::vector<std::pair<int, int>> exchange1 = {{wendrel::OriginSent, 1}, {wendrel::OriginReceived, 1}};

    transaction(0);  // no window yet
    EXPECT_EQ(seen.since(), (std::vector<std::pair<int, int>>{{wendrel::OriginSent, 0}, {wendrel::OriginReceived, 0}}));

    ASSERT_EQ(host.put("cBusview", 1), 0);
    QPointer<BusviewWindow> w = openWindow();
    ASSERT_TRUE(w);
    transaction(1);
    EXPECT_EQ(seen.since(), exchange1) << "with the window open";
    EXPECT_TRUE(shown(*w).contains("ACK<P|  1 Read Primary Variable")) << shown(*w).toStdString();

    trigger(*w, "mnuEnd");  // the user closes the window: it gives up its registration
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    transaction(1);
    EXPECT_EQ(seen.since(), exchange1) << "after the user closed the window";

    ASSERT_EQ(host.put("cBusview", 1), 0);
    ASSERT_EQ(host.put("cBusview", 0), 0);  // and the host closes it
    transaction(1);
    EXPECT_EQ(seen.since(), exchange1) << "after the host closed the window";

    ASSERT_EQ(host.put("cComState", 0), 0);
    ASSERT_EQ(host.put("cComState", 1), 0);  // a new registration of the line
    transaction(1);
    EXPECT_EQ(seen.since(), (std::vector<std::pair<int, int>>{{wendrel::OriginSent, 0}, {wendrel::OriginReceived, 0},
                                                               {wendrel::OriginSent, 1}, {wendrel::OriginReceived, 1}}))
        << "on the line opened again (the identifier is fetched first)";

    // The sink dropped while the window is open: the window keeps its frames.
    ASSERT_EQ(host.put("cBusview", 1), 0);
    w = openWindow();
    ASSERT_TRUE(w);
    fw_advise_frames(host.control, nullptr, nullptr);
    transaction(1);
    EXPECT_TRUE(seen.since().empty());
    EXPECT_TRUE(shown(*w).contains("ACK<P|  1 Read Primary Variable")) << shown(*w).toStdString();
}

}  // namespace
