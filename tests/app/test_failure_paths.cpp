// What the technician is told when the meter cannot be reached or refuses,
// and what the screen shows then: no meter on the port, a meter that stops
// answering in the middle, out-of-range values, the lamps after a write, the
// busy pointer while a dialog waits for the user, dialogs opened before
// Connect, and continuous update around a dialog.
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "app/commands/fenwire1.h"
#include "app/forms/frmPasswordProtection.h"
#include "app/forms/scalar_forms.h"
#include "platform/platform.h"
#include "platform/keyboard.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

class FailurePaths : public FormsTest {
protected:
    void TearDown() override {
        FormsTest::TearDown();
        wendrel::SetPortPath(1, "");
    }

    // The main window with nothing on port 1: no modem, or the modem unplugged.
    void openWithoutModem() {
        window.reset();
        sim.reset();
        wendrel::SetPortPath(1, "/nonexistent/com1");
        window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
        ui.clear();
    }
    // The main window on a meter of `profile`, not connected.
    void openOn(const char* profile, const Settings& settings = {}) {
        window.reset();
        apptest::startMeter(sim, profile, settings);
        window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
        app::Fenwire1()->put("cComMode", 2);
        ui.clear();
    }
    void trigger(const char* entry) { child<QAction>(*window, entry)->trigger(); }
    QString shown(const char* field) const { return text(*window, field); }
    std::vector<std::string> requests(int command) const {
        std::vector<std::string> seen;
        for (const auto& request : sim->meter.requestLog())
            if (request.command == command) seen.push_back(hexOf(request.data));
        return seen;
    }

    static constexpr const char* kLiveValues[] = {"txtModelNumber", "txtTag",           "txtPV",
                                                 "txtAnalogOutputCurrent", "txtPercentOfRange",
                                                 "txtProcessTemperature",  "txtProcessPressure"};
    static constexpr const char* kMeterLamps[] = {"ledPasswordProtected", "ledEditMode", "ledChangedNotSaved",
                                                  "ledFixed", "ledOnline"};

    void expectNothingShown() {
        for (const char* field : kLiveValues) EXPECT_TRUE(shown(field).isEmpty()) << field;
        for (const char* lamp : kMeterLamps) EXPECT_FALSE(lampOn(lamp)) << lamp;
        EXPECT_TRUE(enabled(*window, "btnConnect"));
        EXPECT_FALSE(enabled(*window, "btnUpdate"));
    }
};

// ---- no meter, and a meter that stops ------------------------------------------

TEST_F(FailurePaths, WithoutAModemEveryActionNamesThePortOnceAndNothingLooksConnected) {
    openWithoutModem();
    click(*window, "btnConnect");
    EXPECT_EQ(boxTexts(), QStringList{"Com Port 1 not Valid !"});
    EXPECT_EQ(ui.messageBoxes()[0].title, kTitle);
    expectNothingShown();

    const char* const actions[] = {"mnuSaveConfiguration", "mnuRestoreConfiguration", "mnuPutMeterInService",
                                   "mnuEnterEditMode"};
    for (const char* action : actions) {
        ui.clear();
        trigger(action);
        EXPECT_EQ(boxTexts(), QStringList{"Com Port 1 not Valid !"}) << action;
    }
    expectNothingShown();

    // A dialog says so once and shows nothing it did not read.
    ui.clear();
    auto form = std::make_unique<app::frmDampingValue>(window.get());
    EXPECT_EQ(boxTexts(), QStringList{"Com Port 1 not Valid !"});
    EXPECT_TRUE(text(*form, "txtDampingValue").isEmpty());
    ui.clear();
    type(*form, "txtDampingValue", "2");
    click(*form, "btnWrite");
    EXPECT_EQ(boxTexts(), QStringList{"Com Port 1 not Valid !"});  // not the edit-mode question
    form.reset();

    // The modem is plugged in: the next Connect finds the meter.
    apptest::startMeter(sim, "liquid_wafer", {});
    app::Fenwire1()->put("cComMode", 2);
    ui.clear();
    click(*window, "btnConnect");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(shown("txtTag").trimmed(), "FT-101");
    EXPECT_FALSE(enabled(*window, "btnConnect"));
    EXPECT_TRUE(lampOn("ledEditMode"));
}

TEST_F(FailurePaths, ConnectToASilentMeterSaysSoOnceAndShowsNothing) {
    openOn("gas_insertion");
    sim->silent = true;
    click(*window, "btnConnect");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
    expectNothingShown();  // not 0, and not the in-service lamp of a default mode
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("PVLabel"))->text(), "PV:");
}

TEST_F(FailurePaths, AMeterThatStopsIsReportedOnceByEachAction) {
    connectTo("liquid_wafer", {{"config_changed", "on"}});
    const QString tag = shown("txtTag");
    sim->silent = true;
    const char* const actions[] = {"mnuSaveConfiguration", "mnuPutMeterInService", "mnuRestoreConfiguration"};
    for (const char* action : actions) {
        ui.clear();
        trigger(action);
        EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"}) << action;
    }
    ui.clear();
    click(*window, "btnUpdate");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
    // What was read stays; nothing claims the save or a change of mode.
    EXPECT_EQ(shown("txtTag"), tag);
    EXPECT_TRUE(lampOn("ledChangedNotSaved"));
    EXPECT_TRUE(lampOn("ledEditMode"));
    EXPECT_FALSE(lampOn("ledOnline"));

    // A dialog opened now has read nothing: it shows nothing.
    ui.clear();
    auto form = std::make_unique<app::frmKFactor>(window.get());
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
    EXPECT_TRUE(text(*form, "txtKFactorValue").isEmpty());

    sim->silent = false;
    ui.clear();
    click(*form, "btnRead");
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_FALSE(text(*form, "txtKFactorValue").isEmpty());
}

// ---- refusals and the lamps ------------------------------------------------------

TEST_F(FailurePaths, ValuesOutOfTheMetersRangeAreReportedAsRefused) {
    connectTo("liquid_wafer", {{"meter_style", "insertion"}});  // in edit mode
    struct Refused {
        std::unique_ptr<QDialog> (*open)(QWidget*);
        const char* entry;
        const char* typed;
        QString message;
    };
    const Refused cases[] = {
        {[](QWidget* p) -> std::unique_ptr<QDialog> { return std::make_unique<app::frmDampingValue>(p); },
         "txtDampingValue", "100", "Error:  Command 34 reports reponse code 3: Passed Parameter Too Large"},
        {[](QWidget* p) -> std::unique_ptr<QDialog> { return std::make_unique<app::frmKFactor>(p); },
         "txtKFactorValue", "0", "Error:  Command 168 reports reponse code 4: Passed Parameter Too Small"},
        {[](QWidget* p) -> std::unique_ptr<QDialog> { return std::make_unique<app::frmLowFlowCutoff>(p); },
         "txtLowFlowCutoff", "2000", "Error:  Command 148 reports reponse code 3: Passed Parameter Too Large"},
        {[](QWidget* p) -> std::unique_ptr<QDialog> { return std::make_unique<app::frmPipeID>(p); }, "txtPipeID",
         "0", "Error:  Command 209 reports reponse code 4: Passed Parameter Too Small"},
    };
    for (const Refused& refused : cases) {
        auto form = refused.open(window.get());
        const QString before = text(*form, refused.entry);
        type(*form, refused.entry, QString::fromLatin1(refused.typed));
        ui.clear();
        click(*form, "btnWrite");
        ASSERT_EQ(ui.messageBoxes().size(), 1u) << refused.entry;
        EXPECT_EQ(ui.messageBoxes()[0].text, refused.message);
        EXPECT_EQ(ui.messageBoxes()[0].title, "Response Code Error");
        EXPECT_EQ(ui.messageBoxes()[0].icon, platform::vbCritical);
        EXPECT_EQ(text(*form, refused.entry), before);
    }
}

TEST_F(FailurePaths, ChangedNotSavedLightsWithTheAcceptedWriteAndGoesOutWithTheSave) {
    connectTo("liquid_wafer");
    ASSERT_FALSE(lampOn("ledChangedNotSaved"));
    auto form = std::make_unique<app::frmDampingValue>(window.get());
    type(*form, "txtDampingValue", "2");
    click(*form, "btnWrite");
    EXPECT_TRUE(lampOn("ledChangedNotSaved"));  // no Update needed
    form.reset();
    trigger("mnuSaveConfiguration");
    EXPECT_FALSE(lampOn("ledChangedNotSaved"));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

// ---- dialogs before Connect ------------------------------------------------------

TEST_F(FailurePaths, ADialogOpenedBeforeConnectReadsTheMetersModeFirst) {
    openOn("liquid_wafer");  // in edit mode
    auto form = std::make_unique<app::frmDampingValue>(window.get());
    EXPECT_EQ(sentDuring([&] { form.reset(new app::frmDampingValue(window.get())); }),
              std::vector<std::string>{"15"});  // the mode and options were read by the first opening
    type(*form, "txtDampingValue", "3");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"34 40400000", "15"}));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();  // no edit-mode question
    EXPECT_TRUE(lampOn("ledEditMode"));
}

TEST_F(FailurePaths, FirstDialogBeforeConnectSendsModeAndOptionsBeforeItsRead) {
    openOn("liquid_wafer");
    std::unique_ptr<app::frmPipeID> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmPipeID>(window.get()); }),
              (std::vector<std::string>{"0", "129", "137", "208"}));
    EXPECT_FALSE(enabled(*form, "btnWrite"));  // a wafer meter, as read
}

TEST_F(FailurePaths, PasswordProtectionBeforeConnectJudgesTheMeterAsRead) {
    openOn("gas_insertion");  // in service
    ui.queueDialog([](QDialog& dialog) {
        child<QCheckBox>(dialog, "chkPasswordProtection")->setChecked(true);
        type(dialog, "txtPassword", "AB12");
        type(dialog, "txtPasswordVerification", "AB12");
        click(dialog, "btnWrite");
    });
    trigger("mnuPasswordProtection");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(requests(247), std::vector<std::string>{"01042C72"});
    EXPECT_TRUE(lampOn("ledPasswordProtected"));
}

// ---- the busy pointer ------------------------------------------------------------

TEST_F(FailurePaths, TheBusyPointerShowsOnlyWhileACommandIsOnTheLine) {
    connectTo("gas_insertion");
    int shownDuringRead = 0;
    bool showingWhileIdle = true;
    bool showingWhileAsking = true;
    ui.queueDialog([&](QDialog& dialog) {
        showingWhileIdle = ui.busyPointerShowing();
        const int before = ui.busyPointersShown();
        click(dialog, "btnRead");
        shownDuringRead = ui.busyPointersShown() - before;
        EXPECT_FALSE(ui.busyPointerShowing());
        ui.queueAnswer([&](const platform::MessageBoxRequest&) {
            showingWhileAsking = ui.busyPointerShowing();
            return platform::vbNo;
        });
        click(dialog, "btnWrite");  // asks to enter edit mode
    });
    trigger("mnuDampingValue");
    EXPECT_FALSE(showingWhileIdle);
    EXPECT_GT(shownDuringRead, 0);
    EXPECT_FALSE(showingWhileAsking);

    bool showingOverPortForm = true;
    ui.queueDialog([&](QDialog&) { showingOverPortForm = ui.busyPointerShowing(); });
    trigger("mnuComPort");
    EXPECT_FALSE(showingOverPortForm);
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_FALSE(ui.busyPointerShowing());
}

// ---- continuous update around a dialog -------------------------------------------

TEST_F(FailurePaths, ContinuousUpdateGoesOnBesideADialogAndSurvivesItsRefusal) {
    connectTo("liquid_wafer");
    click(*window, "btnContinuous");
    auto* timer = window->findChild<QTimer*>(QStringLiteral("tmrUpdateDisplay"));
    size_t readsWhileOpen = 0;
    ui.queueDialog([&](QDialog& dialog) {
        // Idle, the dialog leaves the live values running.
        const size_t before = requests(3).size();
        EXPECT_TRUE(apptest::waitFor([&] { return requests(3).size() >= before + 2; }, 5000));
        readsWhileOpen = requests(3).size() - before;
        // The meter refuses an upper range below the lower one.
        type(dialog, "txtUpperRange", "5");
        type(dialog, "txtLowerRange", "100");
        click(dialog, "btnWrite");
    });
    trigger("mnuAnalogRangeValues");
    EXPECT_GE(readsWhileOpen, 2u);
    EXPECT_EQ(boxTexts(), QStringList{"Error:  Command 35 reports reponse code 12: Upper range value too low"});
    // Still running after the dialog, and it goes on reading.
    const size_t after = requests(3).size();
    EXPECT_TRUE(apptest::waitFor([&] { return requests(3).size() >= after + 2; }, 5000));
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(lampOn("ledContinuous"));
    EXPECT_EQ(boxTexts().size(), 1);
    click(*window, "btnContinuous");
}

TEST_F(FailurePaths, ARefusedWriteClickedWhileAnUpdateIsOnTheLineCountsOnlyAgainstTheDialog) {
    connectTo("liquid_wafer");
    click(*window, "btnContinuous");
    auto* timer = window->findChild<QTimer*>(QStringLiteral("tmrUpdateDisplay"));
    bool clicked = false;
    size_t readsBeforeWrite = 0;
    ui.queueDialog([&](QDialog& dialog) {
        type(dialog, "txtUpperRange", "5");
        type(dialog, "txtLowerRange", "100");
        // Write is clicked from inside an update tick's wait, its read still on the line.
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (clicked || !app::WaitingForMeter() || app::Fenwire1()->get("cBusy") == 0) return;
            clicked = true;
            readsBeforeWrite = requests(3).size();
            click(dialog, "btnWrite");
        });
        poll.start();
        EXPECT_TRUE(apptest::waitFor([&] { return clicked; }, 5000));
        poll.stop();
    });
    trigger("mnuAnalogRangeValues");
    ASSERT_TRUE(clicked);
    EXPECT_EQ(requests(35).size(), 1u);
    EXPECT_EQ(boxTexts(), QStringList{"Error:  Command 35 reports reponse code 12: Upper range value too low"});
    // The tick that was on the line finished its reads, and the ticks go on.
    EXPECT_TRUE(apptest::waitFor([&] { return requests(3).size() >= readsBeforeWrite + 2; }, 5000));
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(lampOn("ledContinuous"));
    EXPECT_EQ(boxTexts().size(), 1);
    click(*window, "btnContinuous");
}

// ---- titles and small things -----------------------------------------------------

TEST_F(FailurePaths, WindowTitlesAreTheUtilitysOwn) {
    // Qt appends its display name to every window title; the utility sets none.
    EXPECT_NE(QGuiApplication::applicationDisplayName(), kTitle);
    EXPECT_EQ(platform::applicationTitle(), kTitle);
    connectTo("liquid_wafer");
    trigger("mnuDampingValue");
    ASSERT_EQ(ui.dialogs().size(), 1u);
    EXPECT_EQ(ui.dialogs()[0].title, "  Damping Value");
    EXPECT_EQ(window->windowTitle(), " " + kTitle);
}

TEST_F(FailurePaths, EnterNeverWritesReadOnlyBoxesLookReadOnlyPasswordsMaskWithStars) {
    connectTo("liquid_wafer");
    auto form = std::make_unique<app::frmDampingValue>(window.get());
    platform::prepareKeyboard(*form);  // as showModal does
    form->show();
    auto* entry = child<QLineEdit>(*form, "txtDampingValue");
    entry->setFocus();
    type(*form, "txtDampingValue", "4");
    EXPECT_EQ(sentDuring([&] {
                  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                  QCoreApplication::sendEvent(entry, &press);
              }),
              std::vector<std::string>{});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(text(*form, "txtDampingValue"), "4");
    EXPECT_FALSE(child<QPushButton>(*form, "btnWrite")->isDefault());
    EXPECT_TRUE(child<QPushButton>(*form, "btnCancel")->isDefault());

    for (const char* field : kLiveValues) {
        auto* box = child<QLineEdit>(*window, field);
        ASSERT_TRUE(box->isReadOnly()) << field;
        EXPECT_EQ(box->palette().color(QPalette::Base), box->palette().color(QPalette::Window)) << field;
    }
    EXPECT_NE(entry->palette().color(QPalette::Base), entry->palette().color(QPalette::Window));

    ui.queueDialog([](QDialog& dialog) {
        for (const char* name : {"txtPassword", "txtPasswordVerification"}) {
            auto* box = child<QLineEdit>(dialog, name);
            EXPECT_EQ(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box), '*') << name;
        }
    });
    app::frmPasswordProtection protection(window.get());
    platform::showModal(protection);
    ASSERT_EQ(ui.dialogs().size(), 1u);
}

}  // namespace
