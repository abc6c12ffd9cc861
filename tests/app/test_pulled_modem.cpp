// The modem pulled out under the utility: the simulated meter runs as a
// process on a real pseudo-terminal and is killed, so the port vanishes under
// the frame driver: during a transaction of Update, during continuous update
// and under a cyclic script of the bus monitor. The utility reports the loss once, never hangs, and reads
// the meter again after Update once the port is back (the modem plugged in again).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <string>

#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmMain.h"
#include "link/driver/portmap.h"
#include "link/monitor/busview_window.h"
#include "link/monitor/frame_view.h"
#include "platform/scripted.h"
#include "tests/app/app_test.h"
#include "tests/support/linked_fenwire.h"
#include "tools/sim_process.h"

namespace {

using apptest::waitFor;

class PulledModem : public apptest::IsolatedAppTest {
protected:
    void SetUp() override {
        app::ResetStore();
        plugIn("liquid_wafer");
        if (HasFatalFailure()) return;
        window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
        app::Fenwire1()->put("cComMode", 2);  // short waits when nothing answers
        click("btnConnect");
        ASSERT_EQ(tag(), "FT-101");
        ASSERT_TRUE(ui.messageBoxes().empty());
    }
    void TearDown() override {
        window.reset();
        wendrel::SetPortPath(1, "");
    }

    // The meter of a shipped profile on a fresh pty, mapped to COM 1 as a
    // replugged modem would be.
    void plugIn(const std::string& profile) {
        meter = std::make_unique<tools::SimProcess>();
        std::string error;
        const std::string path = std::string(CORVANE_SIM_PROFILES) + "/" + profile + ".profile";
        ASSERT_TRUE(meter->start(CORVANE_SIM_PROGRAM, {"--profile", path}, &error)) << error;
        wendrel::SetPortPath(1, meter->linkPath());
    }
    // Pulls the modem the moment the link control starts its `nth` transaction from now.
    void pullAtTransaction(int nth) {
        started = 0;
        QObject::connect(app::Fenwire1(), &app::FenwireControl::Busy, window.get(), [this, nth](short busy) {
            if (busy > 0 && ++started == nth && meter) meter->kill();
        });
    }

    void click(const char* name) { window->findChild<QPushButton*>(QString::fromLatin1(name))->click(); }
    QString tag() const { return window->findChild<QLineEdit*>(QStringLiteral("txtTag"))->text().trimmed(); }
    QStringList boxes() const {
        QStringList texts;
        for (const auto& box : ui.messageBoxes()) texts << box.text;
        return texts;
    }
    // Lets the event loop run for a while: nothing more may be reported.
    void settle(int ms) {
        waitFor([] { return false; }, ms);
    }

    platform::ScriptedBackend ui;
    platform::BackendGuard guard{ui};
    std::unique_ptr<tools::SimProcess> meter;
    std::unique_ptr<app::frmMain> window;
    int started = 0;
};

TEST_F(PulledModem, DuringATransactionOfUpdate) {
    pullAtTransaction(2);
    click("btnUpdate");  // returns: the test would time out on a hang
    settle(500);
    EXPECT_EQ(boxes().size(), 1) << boxes().join('|').toStdString();
    EXPECT_EQ(tag(), "FT-101");  // the last values read stay

    plugIn("gas_insertion");
    ASSERT_FALSE(HasFatalFailure());
    click("btnUpdate");
    EXPECT_EQ(tag(), "FT-201");
    EXPECT_EQ(boxes().size(), 1) << boxes().join('|').toStdString();
}

TEST_F(PulledModem, DuringContinuousUpdate) {
    auto* timer = window->findChild<QTimer*>(QStringLiteral("tmrUpdateDisplay"));
    click("btnContinuous");
    ASSERT_TRUE(timer->isActive());
    pullAtTransaction(3);
    EXPECT_TRUE(waitFor([&] { return !timer->isActive(); }, 10000));
    settle(1500);
    // The loss, and that continuous update ended: nothing after.
    ASSERT_EQ(boxes().size(), 2) << boxes().join('|').toStdString();
    EXPECT_EQ(boxes()[1], "Update failed, switching out of continuous mode.");

    plugIn("steam");
    ASSERT_FALSE(HasFatalFailure());
    click("btnUpdate");
    EXPECT_EQ(tag(), "FT-301");
    click("btnContinuous");
    EXPECT_TRUE(timer->isActive());
    settle(1200);
    click("btnContinuous");
    EXPECT_EQ(boxes().size(), 2) << boxes().join('|').toStdString();
}

// The bus monitor, opened from the main window, runs a cyclic script when the
// modem is pulled: the script ends, nothing hangs, and after the modem is back
// the utility reads the new meter on Update.
TEST_F(PulledModem, UnderARunningBusMonitorScript) {
    QTemporaryDir dir;  // the monitor keeps its settings and scripts in the working directory
    struct WorkingDirectory {
        const QString home = QDir::currentPath();
        explicit WorkingDirectory(const QString& path) { QDir::setCurrent(path); }
        ~WorkingDirectory() { QDir::setCurrent(home); }
    } inTestDirectory(dir.path());
    {
        QFile script(dir.filePath("loop.fsq"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("[Options]\r\nCyclic=1\r\n[Cmd]\r\nStep000=1,0\r\nStep001=2,0\r\n");
    }
    window->findChild<QAction*>(QStringLiteral("mnuHartAnalysis"))->trigger();
    fenwire::BusviewWindow* monitor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("frmBusview")) monitor = static_cast<fenwire::BusviewWindow*>(w);
    ASSERT_NE(monitor, nullptr);
    const QString scriptPath = dir.filePath("loop.fsq");
    ui.queueDialog([scriptPath](QDialog& d) { static_cast<QFileDialog&>(d).selectFile(scriptPath); });
    monitor->action("mnuLoadScript")->trigger();
    QAction* run = monitor->action("mnuRunScript");
    ASSERT_TRUE(run->isEnabled());
    run->trigger();
    ASSERT_TRUE(run->isChecked());
    // The meter answers the script, then is pulled.
    ASSERT_TRUE(waitFor([&] { return monitor->frameView()->plainText().contains("ACK<"); }, 10000));
    meter->kill();
    // The script ends and the loss is reported once, though the script's
    // transactions are never the host's.
    EXPECT_TRUE(waitFor([&] { return !run->isChecked(); }, 10000));
    settle(1000);
    EXPECT_EQ(monitor->statusText(), " Recording...");
    EXPECT_EQ(boxes(), QStringList{"Com Port 1 not Valid !"});
    // No script runs on the lost port (each step would fail at once, for ever).
    run->trigger();
    EXPECT_FALSE(run->isChecked());

    plugIn("gas_insertion");
    ASSERT_FALSE(HasFatalFailure());
    click("btnUpdate");
    EXPECT_EQ(tag(), "FT-201");
    EXPECT_EQ(boxes().size(), 1) << boxes().join('|').toStdString();
}

}  // namespace
