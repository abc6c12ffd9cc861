// "Find Devices" on a two-device line: the simulated meter program carries
// both devices on one pseudo-terminal and logs, for every request, the
// polling address of the device that took it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/forms/forms.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "app/tools/tools.h"
#include "link/driver/portmap.h"
#include "platform/scripted.h"
#include "tests/app/app_test.h"
#include "tests/support/linked_fenwire.h"
#include "tools/sim_process.h"

namespace {

using apptest::waitFor;

class FindDevices : public apptest::IsolatedAppTest {
protected:
    void SetUp() override {
        app::ResetStore();
        app::ComPort = 1;
        QSettings(QSettings::NativeFormat, QSettings::UserScope, apptest::kTitle, apptest::kTitle)
            .remove("Settings/PollAddress");  // an earlier test's pick
        app::RegisterForms();
        app::RegisterTools();
        // The first device is the shipped liquid meter at 0; the second sits at 3.
        const QString second = dir.filePath("second.profile");
        QFile profile(second);
        ASSERT_TRUE(profile.open(QIODevice::WriteOnly));
        profile.write("polling_address = 3\ndevice_id = 0x0A1B2D\ntag = FT-103\n");
        profile.close();
        logPath = dir.filePath("requests.log");
        std::string error;
        ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM,
                              {"--mode", "1", "--log", logPath.toStdString(), "--profile",
                               std::string(CORVANE_SIM_PROFILES) + "/liquid_wafer.profile", "--profile",
                               second.toStdString()},
                              &error))
            << error;
        wendrel::SetPortPath(1, sim.linkPath());
        openWindow();
    }
    void TearDown() override {
        window.reset();
        app::UnregisterForms();
        app::UnregisterTools();
        wendrel::SetPortPath(1, "");
    }

    void openWindow() {
        window.reset();
        window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
        app::Fenwire1()->put("cComMode", 1);
    }
    template <typename T>
    T* find(QObject& in, const char* name) {
        T* found = in.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QString text(const char* name) {
        QWidget* w = find<QWidget>(*window, name);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().trimmed();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
        return {};
    }
    // The request log's lines from `from` on.
    QStringList logLines(qsizetype from = 0) {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly)) return {};
        const QStringList lines = QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts);
        return lines.mid(from);
    }
    // Waits in the dialog until its scan has ended.
    bool scanEnded(QDialog& dialog) {
        auto* cancel = find<QPushButton>(dialog, "btnCancel");
        return waitFor([cancel] { return cancel->text() == "&Close"; }, 20000);
    }

    QTemporaryDir dir;
    QString logPath;
    tools::SimProcess sim;
    platform::ScriptedBackend ui;
    platform::BackendGuard guard{ui};
    std::unique_ptr<app::frmMain> window;
};

TEST_F(FindDevices, ListsTheLineAndConnectsToThePickedDevice) {
    EXPECT_EQ(text("lblPollAddress"), "Polling Address: 0");

    // Enter on the list moves on, as in every dialog: nothing is connected;
    // Escape then closes the dialog.
    ui.queueDialog([&](QDialog& dialog) {
        auto* list = find<QTreeWidget>(dialog, "lstDevices");
        EXPECT_TRUE(find<QPushButton>(dialog, "btnCancel")->isDefault());
        ASSERT_TRUE(scanEnded(dialog));
        EXPECT_EQ(QApplication::focusWidget(), list);
        ASSERT_EQ(list->topLevelItemCount(), 2);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(list, &enter);
        EXPECT_TRUE(dialog.isVisible());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    find<QAction>(*window, "mnuFindDevices")->trigger();
    ASSERT_EQ(ui.dialogs().size(), 1u);
    EXPECT_EQ(ui.dialogs()[0].title, "Find Devices");
    EXPECT_EQ(ui.dialogs()[0].objectName, "frmFindDevices");
    EXPECT_EQ(text("txtTag"), "");
    EXPECT_EQ(text("lblPollAddress"), "Polling Address: 0");

    QStringList rows;
    ui.queueDialog([&](QDialog& dialog) {
        ASSERT_TRUE(scanEnded(dialog));
        auto* list = find<QTreeWidget>(dialog, "lstDevices");
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < list->columnCount(); ++column) cells << list->topLevelItem(row)->text(column);
            rows << cells.join('|');
        }
        EXPECT_EQ(find<QLabel>(dialog, "lblStatus")->text(),
                  "2 devices found. Double-click one, or select it and press Connect.");
        list->setCurrentItem(list->topLevelItem(1));
        find<QPushButton>(dialog, "btnConnect")->click();
    });
    find<QAction>(*window, "mnuFindDevices")->trigger();
    EXPECT_EQ(rows, (QStringList{"0|FT-101|Corvane|1|662316", "3|FT-103|Corvane|1|662317"}));
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_EQ(text("txtTag"), "FT-103");
    EXPECT_EQ(text("lblPollAddress"), "Polling Address: 3");
    EXPECT_EQ(app::PollAddress, 3);

    // Every dialog now reads the device at 3: each request the line took went to it.
    const qsizetype mark = logLines().size();
    for (const char* entry : {"mnuDampingValue", "mnuPulseOutput", "mnuAnalogRangeValues"}) {
        ui.queueDialogResult(QDialog::Rejected);
        find<QAction>(*window, entry)->trigger();
    }
    const QStringList after = logLines(mark);
    ASSERT_FALSE(after.isEmpty());
    for (const QString& line : after) EXPECT_TRUE(line.endsWith(" 3")) << line.toStdString();
    EXPECT_TRUE(ui.messageBoxes().empty());

    // The address is kept with the port: the next start connects to the same device.
    openWindow();
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, apptest::kTitle, apptest::kTitle)
                  .value("Settings/PollAddress")
                  .toString(),
              "3");
    EXPECT_EQ(text("lblPollAddress"), "Polling Address: 3");
    find<QPushButton>(*window, "btnConnect")->click();
    EXPECT_EQ(text("txtTag"), "FT-103");
}

TEST_F(FindDevices, ALineWhereNothingAnswersSaysSo) {
    sim.stop();
    std::string error;
    ASSERT_TRUE(sim.start(CORVANE_SIM_PROGRAM, {"--mode", "1", "--no-answer", "1"}, &error)) << error;
    wendrel::SetPortPath(1, sim.linkPath());
    openWindow();
    ui.queueDialog([&](QDialog& dialog) {
        ASSERT_TRUE(scanEnded(dialog));
        EXPECT_EQ(find<QTreeWidget>(dialog, "lstDevices")->topLevelItemCount(), 0);
        EXPECT_EQ(find<QLabel>(dialog, "lblStatus")->text(), "No devices found on COM 1.");
        EXPECT_FALSE(find<QPushButton>(dialog, "btnConnect")->isEnabled());
        EXPECT_EQ(find<QProgressBar>(dialog, "prgScan")->value(), 16);
        find<QPushButton>(dialog, "btnCancel")->click();
    });
    find<QAction>(*window, "mnuFindDevices")->trigger();
    // Silent addresses are the scan's business: no "No Device Response !" for each, the link stays open.
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 1);
    EXPECT_EQ(text("lblPollAddress"), "Polling Address: 0");
}

}  // namespace
