// The Busview window with a full store of kept frames, offscreen, by
// objectName: the dropped count in the status line while the log takes
// every frame, a selection in a full store going to frame files and Pick,
// Print All, following the newest frame, updates taken in at a bounded rate,
// and Find.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cstring>

#include "link/driver/frame.h"
#include "link/driver/wendrel.h"
#include "link/monitor/busview_sending.h"
#include "link/monitor/busview_window.h"
#include "link/monitor/frame_view.h"
#include "link/monitor/page_layout.h"
#include "platform/scripted.h"

namespace busview_view_test {

using namespace fenwire;
using platform::ScriptedBackend;

constexpr std::array<uint8_t, 5> kId{0xA6, 0x0C, 0x00, 0x01, 0x02};

struct NoTarget : wendrel::MessageTarget {
    void post(int32_t, intptr_t, intptr_t) override {}
};

// Frame n of a steady line: even n a request for command 1, odd n its reply
// carrying the value n / 2, so every pair reads differently.
std::vector<uint8_t> lineFrame(long n) {
    const wendrel::Frame request = wendrel::makeRequestLong(kId, 1, {});
    if (n % 2 == 0) return wendrel::encodeFrame(request, 5);
    const float value = static_cast<float>(n / 2);
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return wendrel::encodeFrame(wendrel::makeReply(request, 0, 0,
                                                   {0x39, static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16),
                                                    static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)}),
                                5);
}

// A frame as the driver posts it: a heap record the window frees.
intptr_t record(const std::vector<uint8_t>& bytes, uint32_t timeMs) {
    return wendrel::MakeMonitorRecord(bytes.data(), bytes.size(), 0, 0, timeMs);
}

void pressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(widget, &press);
}

void doubleClick(QWidget* widget, const QPoint& at) {
    QMouseEvent click(QEvent::MouseButtonDblClick, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &click);
}

void runEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::string fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

struct ViewTest : ::testing::Test {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    ScriptedBackend scripted;
    platform::BackendGuard guard{scripted};
    NoTarget target;
    std::unique_ptr<BusviewWindow> w;
    std::unique_ptr<BusviewSending> sending;
    long fed = 0;

    void SetUp() override {
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        QFile ini(dir.filePath("busvw.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nKeptFrames=100\n");
        ini.close();
        w = std::make_unique<BusviewWindow>(target, -1);
        // Nothing goes on the line in these tests.
        sending = std::make_unique<BusviewSending>(*w, BusviewLink{[](const std::string&) { return -1; }, [] {},
                                                                   [] { return 0; }});
        w->resize(640, 320);
        w->show();
    }
    void TearDown() override {
        sending.reset();
        w.reset();
        QDir::setCurrent(previousDir);
    }
    FrameView* view() const { return w->frameView(); }
    const MonitorRows& rows() const { return w->core().rows(); }
    void feed(long count) {
        for (long i = 0; i < count; ++i, ++fed) w->onFrameMessage(fed % 2, record(lineFrame(fed), static_cast<uint32_t>(fed * 40)));
    }
    void trigger(const char* item) {
        QAction* a = w->action(item);
        ASSERT_NE(a, nullptr) << item;
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }
    void chooseFile(const QString& file) {
        scripted.queueDialog([file](QDialog& d) { static_cast<QFileDialog&>(d).selectFile(file); });
    }
    std::string rowLine(uint64_t id) const { return w->core().rowText(rows().row(id)).text; }
    // The position of `piece` on screen, searching from the oldest line.
    FrameView::Position positionOf(const QString& piece) const {
        for (int64_t line = rows().firstLine(); line < rows().endLine(); ++line)
            if (const int at = view()->lineText(line).indexOf(piece); at >= 0) return {line, at};
        ADD_FAILURE() << piece.toStdString() << " not shown";
        return {};
    }
};

TEST_F(ViewTest, FullStoreKeepsTheNewestAndSaysHowManyDroppedWhileTheLogTakesEveryFrame) {
    chooseFile(dir.filePath("all.flg"));
    trigger("mnuOpenLogFile");
    feed(250);
    trigger("mnuCloseLogFile");
    view()->refresh();
    EXPECT_EQ(rows().size(), 100u);
    EXPECT_EQ(w->statusText(), " Driver not active!, 150 older frames dropped");
    const QStringList shown = view()->plainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(shown.size(), 100);
    EXPECT_TRUE(shown.front().startsWith("STX>P|  1 Read Primary Variable")) << shown.front().toStdString();
    EXPECT_TRUE(shown.back().contains("|PV 124 ")) << shown.back().toStdString();
    // The log has every frame, also those the view no longer keeps.
    const std::string log = fileText(dir.filePath("all.flg"));
    auto count = [&](const std::string& what) {
        int n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("\r\n          STX>P|"), 125);
    EXPECT_EQ(count("\r\n          ACK<P|"), 125);

    trigger("mnuNew");  // a clean page: nothing kept, nothing dropped
    EXPECT_EQ(w->statusText(), " Driver not active!");
    EXPECT_TRUE(view()->plainText().isEmpty());
}

TEST_F(ViewTest, SelectionInAFullStoreGoesToFrameFilesAndPickAndFollowsItsText) {
    feed(250);
    view()->refresh();
    // Three rows in the middle of the kept ones, from the start of the first to the end of the third.
    const uint64_t first = rows().firstId() + 10;
    const MonitorRow& last = rows().row(first + 2);
    view()->select({rows().row(first).firstLine, 0},
                   {last.firstLine, static_cast<int>(view()->lineText(last.firstLine).size())});
    const std::string expected = rowLine(first) + rowLine(first + 1) + rowLine(first + 2).substr(0, rowLine(first + 2).size() - 2);
    EXPECT_EQ(view()->selectedText(), expected);

    chooseFile(dir.filePath("three.bvf"));
    trigger("mnuSaveFrameFile");
    std::string body;
    for (const std::string& line : busview::LayoutLines(expected)) body += line + "\r\n";
    const std::string saved = fileText(dir.filePath("three.bvf"));
    ASSERT_GT(saved.size(), body.size());
    EXPECT_EQ(saved.substr(saved.size() - body.size()), body);
    EXPECT_EQ(saved.find("\r\n\r\n"), saved.size() - body.size() - 4);  // the header, an empty line, the rows
    // A dialog sends the caret to the end: nothing selected, following again.
    EXPECT_FALSE(view()->hasSelection());
    EXPECT_TRUE(view()->following());

    // The selection stays on its text while older frames drop out, and goes when its rows do.
    view()->select({rows().row(first).firstLine, 0}, {rows().row(first).firstLine, 5});
    feed(6);
    view()->refresh();
    EXPECT_EQ(view()->selectedText(), "STX>P");
    EXPECT_EQ(view()->selectedRow(), first);
    feed(100);
    view()->refresh();
    EXPECT_FALSE(view()->hasSelection());

    // Pick reads bytes selected in a full store.
    w->onFrameMessage(1, record(wendrel::encodeFrame(wendrel::makeReply(wendrel::makeRequestLong(kId, 130, {}), 0, 0,
                                                                         {0x02, 0x0A, 0xFF}),
                                                      5),
                                0));
    feed(20);
    view()->refresh();
    const FrameView::Position at = positionOf("02 0A FF");
    view()->select(at, {at.line, at.column + 8});
    trigger("mnuPickInt8");
    ASSERT_EQ(scripted.messageBoxes().size(), 1u);
    EXPECT_EQ(scripted.messageBoxes()[0].text, "02 0A FF:\r\n002, 010, 255");
}

TEST_F(ViewTest, PrintAllTakesEveryKeptRowAndLeavesTheViewFollowing) {
    feed(150);
    view()->selectAll();
    std::string all;
    for (uint64_t id = rows().firstId(); id < rows().endId(); ++id) all += rowLine(id);
    EXPECT_EQ(view()->selectedText() + "\r\n", all);
    trigger("mnuPrintAll");  // no default printer here: nothing printed, nothing said
    EXPECT_TRUE(scripted.messageBoxes().empty());
    EXPECT_FALSE(view()->hasSelection());
    EXPECT_TRUE(view()->following());
}

TEST_F(ViewTest, FollowsTheNewestFrameUnlessScrolledUpOrSelected) {
    feed(80);
    view()->refresh();
    const int page = view()->pageLines();
    ASSERT_GT(page, 3);
    ASSERT_LT(page, 60);
    EXPECT_EQ(view()->topLine(), rows().endLine() - page);

    QScrollBar* bar = view()->verticalScrollBar();
    bar->setValue(5);  // the user scrolls up
    EXPECT_FALSE(view()->following());
    const int64_t top = view()->topLine();
    feed(10);
    view()->refresh();
    EXPECT_EQ(view()->topLine(), top);  // the same frames stay in view
    bar->setValue(bar->maximum());  // and back down
    feed(10);
    view()->refresh();
    EXPECT_EQ(view()->topLine(), rows().endLine() - page);

    // Selecting, here from the keyboard, stops following too; recording goes on.
    view()->setFocus();
    pressKey(view(), Qt::Key_End, Qt::ControlModifier);
    pressKey(view(), Qt::Key_Up);
    pressKey(view(), Qt::Key_Home);
    pressKey(view(), Qt::Key_End, Qt::ShiftModifier);
    const std::string selected = view()->selectedText();
    EXPECT_EQ(selected + "\r\n", rowLine(rows().endId() - 2));
    const int64_t selectedTop = view()->topLine();
    feed(20);
    view()->refresh();
    EXPECT_TRUE(w->core().recording());
    EXPECT_EQ(view()->topLine(), selectedTop);
    EXPECT_EQ(view()->selectedText(), selected);
    pressKey(view(), Qt::Key_Escape);  // nothing selected: following again
    view()->refresh();
    EXPECT_EQ(view()->topLine(), rows().endLine() - page);

    // A double click takes the whole frame under it.
    const QPoint firstLine(20, view()->fontMetrics().lineSpacing() / 2);
    doubleClick(view()->viewport(), firstLine);
    EXPECT_EQ(view()->selectedText() + "\r\n", rowLine(rows().rowAtLine(view()->topLine())));
}

TEST_F(ViewTest, NewRowsAreTakenInAtMostAbout30TimesASecond) {
    int refreshes = 0;
    QObject::connect(view(), &FrameView::refreshed, [&] { ++refreshes; });
    view()->refresh();
    refreshes = 0;
    const int maximum = view()->verticalScrollBar()->maximum();
    feed(300);
    EXPECT_EQ(view()->verticalScrollBar()->maximum(), maximum);  // not yet: no event ran
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 300; ++i) {
        feed(1);
        QCoreApplication::processEvents();
        if (i % 50 == 0) runEventsFor(20);
    }
    runEventsFor(60);
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_GE(refreshes, 1);
    EXPECT_LE(refreshes, 2 + static_cast<int>(seconds * 31));
    EXPECT_GT(view()->verticalScrollBar()->maximum(), maximum);
}

TEST_F(ViewTest, FindTextOrCommandNextAndPreviousSelectsTheRow) {
    feed(40);
    w->onFrameMessage(0, record(wendrel::encodeFrame(wendrel::makeRequestLong(kId, 3, {}), 5), 0));
    feed(40);
    QDialog* dialog = nullptr;
    trigger("mnuFind");
    dialog = w->findChild<QDialog*>("dlgFind");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(w->action("mnuFind")->shortcut(), QKeySequence(QKeySequence::Find));
    auto* what = dialog->findChild<QLineEdit*>("txtFindWhat");
    auto* byCommand = dialog->findChild<QCheckBox*>("chkCommandNumber");
    auto* next = dialog->findChild<QPushButton*>("btnFindNext");
    auto* previous = dialog->findChild<QPushButton*>("btnFindPrevious");
    auto* result = dialog->findChild<QLabel*>("lblFindResult");

    // Value 25 is in reply 51 of the line, row 52 here (row 40 is the request for command 3).
    what->setText("pv 25 ");
    next->click();
    ASSERT_EQ(view()->selectedRow(), 52u);
    EXPECT_EQ(view()->selectedText() + "\r\n", rowLine(52));  // the whole row, in view
    EXPECT_LE(view()->topLine(), rows().row(52).firstLine);
    EXPECT_GT(view()->topLine() + view()->pageLines(), rows().row(52).firstLine);
    EXPECT_TRUE(result->text().isEmpty());
    next->click();  // the only one: found again, round the end
    EXPECT_EQ(view()->selectedRow(), 52u);
    EXPECT_EQ(result->text(), "Continued from the oldest frame.");

    what->setText("3 Read Dynamic");
    previous->click();
    EXPECT_EQ(view()->selectedRow(), 40u);
    EXPECT_TRUE(result->text().isEmpty());
    previous->click();
    EXPECT_EQ(view()->selectedRow(), 40u);
    EXPECT_EQ(result->text(), "Continued from the newest frame.");

    byCommand->setChecked(true);
    what->setText("1");
    trigger("mnuFindNext");  // F3 does what Find Next does
    EXPECT_EQ(view()->selectedRow(), 41u);
    trigger("mnuFindPrevious");
    EXPECT_EQ(view()->selectedRow(), 39u);
    what->setText("3");
    previous->click();
    EXPECT_EQ(view()->selectedRow(), 40u);
    what->setText("300");
    next->click();
    EXPECT_EQ(result->text(), "Not a command number (0 to 255) or a list of them.");
    EXPECT_EQ(view()->selectedRow(), 40u);  // the selection stays
    what->setText("48");
    next->click();
    EXPECT_EQ(result->text(), "Not found.");
}

}  // namespace busview_view_test
