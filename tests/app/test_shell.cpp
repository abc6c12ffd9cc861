// The application shell driven by objectName, as a user would: the main
// window against the simulated meter in-process, the port form's messages
// against scripted replies, and the stored port.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "app/shell/lamp.h"
#include "link/driver/portmap.h"
#include "platform/scripted.h"
#include "platform/keyboard.h"
#include "tests/support/linked_fenwire.h"
#include "tests/support/scripted_meter.h"
#include "tests/support/sim_on_pipe.h"
#include "tests/app/app_test.h"

namespace {

using platform::ScriptedBackend;

using apptest::kTitle;
using apptest::waitFor;

// Every form the menu opens, so that the state logic of their entries shows.
const char* const kFormNames[] = {
    "frmAnalogRangeValues", "frmPrimaryVariable",  "frmHARTInterface",    "frmDampingValue",
    "frmProcessTemperature", "frmProcessPressure", "frmDensityAndViscosity", "frmLCDDisplay",
    "frmPulseOutput",       "frmBurstMode",        "frmStandardFlow",     "frmPasswordProtection",
    "frmAlarmSelection",    "frmPipeID",           "frmLowFlowCutoff",    "frmKFactor",
    "frmTotalizerSettings", "frmTotalizer",        "frmFlowProfiling",    "frmPropertyTables",
    "frmTrimAnalogOutput",  "frmDiagnostics",      "frmConfigReport",     "frmCalibration",
    "frmDigitalPotDisplay", "frmAbout",
};

void registerStandInForms() {
    for (const char* name : kFormNames)
        app::setFormFactory(QString::fromLatin1(name), [name](QWidget* parent) {
            auto dialog = std::make_unique<QDialog>(parent);
            dialog->setObjectName(QString::fromLatin1(name));
            return dialog;
        });
}

void forgetStandInForms() {
    for (const char* name : kFormNames) app::setFormFactory(QString::fromLatin1(name), nullptr);
    app::setFormFactory(QStringLiteral("frmPasswordProtected"), nullptr);
}

std::unique_ptr<QSettings> storedSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kTitle, kTitle);
}

class Shell : public apptest::IsolatedAppTest {
protected:
    void SetUp() override {
        storedSettings()->clear();
        app::ResetStore();
        app::DeviceStatus = 0;
    }
    void TearDown() override { forgetStandInForms(); }

    static QStringList texts(const std::vector<ScriptedBackend::MessageBoxRecord>& boxes) {
        QStringList list;
        for (const auto& box : boxes) list << box.text;
        return list;
    }

    ScriptedBackend ui;
    platform::BackendGuard guard{ui};
};

// ---- the main window on the simulated meter ---------------------------------

class MainWindow : public Shell {
protected:
    // The meter of `profile` with `settings` ("key", "value") applied, then the window.
    void open(const char* profile, std::vector<std::pair<std::string, std::string>> settings = {}) {
        window.reset();
        apptest::startMeter(sim, profile, settings);
        window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
        app::Fenwire1()->put("cComMode", 2);  // short waits when the meter stays silent
    }
    void connectTo(const char* profile, std::vector<std::pair<std::string, std::string>> settings = {}) {
        open(profile, std::move(settings));
        if (HasFatalFailure()) return;
        click("btnConnect");
    }

    template <typename T>
    T* find(const char* name) const {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    void trigger(const char* entry) { find<QAction>(entry)->trigger(); }
    bool enabled(const char* entry) const { return find<QAction>(entry)->isEnabled(); }
    bool on(const char* lamp) const { return find<app::Lamp>(lamp)->property("on").toBool(); }
    QString text(const char* name) const {
        if (auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name))) return edit->text();
        if (auto* label = window->findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
        // A button's caption as it shows, without its mnemonic marker.
        if (auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name)))
            return platform::withoutMnemonic(button->text());
        ADD_FAILURE() << name;
        return {};
    }
    // The data of each request for `command` the meter received, as hex.
    std::vector<std::string> requests(int command) const {
        std::vector<std::string> seen;
        for (const auto& r : sim->meter.requestLog()) {
            if (r.command != command) continue;
            std::string data;
            for (uint8_t byte : r.data) {
                char two[3];
                std::snprintf(two, sizeof two, "%02X", byte);
                data += two;
            }
            seen.push_back(data);
        }
        return seen;
    }
    bool meterInService() const { return sim->meter.state().runtime.inService; }

    std::unique_ptr<testsupport::SimOnPipe> sim;
    std::unique_ptr<app::frmMain> window;  // destroyed first: the link closes while the meter is there
};

TEST_F(MainWindow, BeforeConnectOnlyConnectIsUsableAndUnbuiltFormsAreDisabled) {
    open("liquid_wafer");
    EXPECT_EQ(window->windowTitle(), " " + kTitle);
    EXPECT_EQ(app::MainWindow(), window.get());
    EXPECT_TRUE(find<QPushButton>("btnConnect")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("btnUpdate")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("btnContinuous")->isEnabled());
    EXPECT_EQ(text("btnContinuous"), "Begin Continuous Display Update");
    EXPECT_EQ(text("PVLabel"), "PV:");
    auto* timer = find<QTimer>("tmrUpdateDisplay");
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_FALSE(timer->isActive());
    for (const char* lamp : {"ledPasswordProtected", "ledEditMode", "ledChangedNotSaved", "ledFixed", "ledOnline",
                             "ledContinuous"})
        EXPECT_FALSE(on(lamp)) << lamp;
    // No form is built yet; the window's own actions are there to use.
    for (const char* entry : {"mnuDampingValue", "mnuPasswordProtection", "mnuTotalizer", "mnuFlowProfiling",
                              "mnuFixedAnalogOutput", "mnuDigitalPots", "mnuAbout"})
        EXPECT_FALSE(enabled(entry)) << entry;
    for (const char* entry : {"mnuEnterEditMode", "mnuPutMeterInService", "mnuSaveConfiguration",
                              "mnuRestoreConfiguration", "mnuRestoreFactoryConfiguration", "mnuComPort",
                              "mnuHartAnalysis"})
        EXPECT_TRUE(enabled(entry)) << entry;
    EXPECT_FALSE(find<QAction>("mnuTotalizerSettings")->isVisible());
    EXPECT_TRUE(find<QAction>("mnuPulseOutput")->isVisible());
    EXPECT_TRUE(find<QAction>("mnuFlowProfiling")->isVisible());
    // Loading opened the link on the one port there is; nothing was read yet.
    auto* ports = find<QComboBox>("cmbComPort");
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0), "COM 1");
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 1);
    EXPECT_TRUE(sim->meter.requestLog().empty());
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(MainWindow, MenuTreeCaptions) {
    open("liquid_wafer");
    // Caption of each entry, a submenu's entries indented below it.
    std::function<void(const QList<QAction*>&, const QString&, QStringList&)> walk =
        [&](const QList<QAction*>& actions, const QString& indent, QStringList& out) {
            for (QAction* a : actions) {
                out << indent + platform::withoutMnemonic(a->text());
                if (a->menu()) walk(a->menu()->actions(), indent + "  ", out);
            }
        };
    QStringList tree;
    walk(window->menuBar()->actions(), "", tree);
    const QStringList expected = {
        "Configure Meter", "  Analog Range Values", "  Primary Variable", "  HART Interface", "  Damping Value",
        "  Process Temperature", "  Process Pressure", "  Density and Viscosity", "  LCD Display", "  Pulse Output",
        "  Burst Mode", "  Standard Flow", "  Password Protection", "  Alarm Selection", "  Pipe ID",
        "  Low Flow Cutoff", "  K-Factor", "  Totalizer Settings",
        "Tools", "  Totalizer", "  Flow Profiling", "  Property Tables", "  Fixed Analog Output", "  Diagnostics",
        "  Configuration Rpt", "  Calibration", "    Flow Data", "    Digital Pots", "  Hart Analysis",
        "Edit/In-Service", "  Enter Edit Mode", "  Put Meter In Service",
        "Save/Restore Configuration", "  Save Configuation", "  Restore Configuration",
        "  Restore Factory Configuration",
        "Com Port", "  Select Port", "  Find Devices", "About"};
    EXPECT_EQ(tree, expected);
}

TEST_F(MainWindow, HartAnalysisOpensTheBusMonitorOnlyWhenItIsClosed) {
    QTemporaryDir dir;  // the monitor keeps its settings file in the current directory
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    open("liquid_wafer");
    trigger("mnuHartAnalysis");
    EXPECT_EQ(app::Fenwire1()->get("cBusview"), 1);
    auto monitors = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmBusview") ++n;
        return n;
    };
    EXPECT_EQ(monitors(), 1);
    trigger("mnuHartAnalysis");  // already open: left alone
    EXPECT_EQ(monitors(), 1);
    app::Fenwire1()->put("cBusview", 0);
    EXPECT_EQ(monitors(), 0);
    QDir::setCurrent(previous);
}

TEST_F(MainWindow, ConnectToEditModeWaferWithoutDisplay) {
    registerStandInForms();
    connectTo("liquid_wafer", {{"config_changed", "on"}});
    EXPECT_EQ(text("txtModelNumber").trimmed(), "VX2-W02-L");
    EXPECT_EQ(text("txtTag").trimmed(), "FT-101");
    EXPECT_EQ(text("PVLabel"), "PV (Volume):");
    for (const char* field : {"txtPV", "lblPVUnit", "txtAnalogOutputCurrent", "txtPercentOfRange",
                              "txtProcessTemperature", "lblProcessTemperatureUnit", "txtProcessPressure",
                              "lblProcessPressureUnit"})
        EXPECT_FALSE(text(field).isEmpty()) << field;
    EXPECT_EQ(text("lblProcessTemperatureUnit"), "degF");

    EXPECT_FALSE(find<QPushButton>("btnConnect")->isEnabled());
    EXPECT_EQ(text("btnConnect"), "Connect");
    EXPECT_TRUE(find<QPushButton>("btnUpdate")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("btnContinuous")->isEnabled());

    EXPECT_TRUE(on("ledEditMode"));
    EXPECT_FALSE(on("ledOnline"));
    EXPECT_FALSE(on("ledPasswordProtected"));
    EXPECT_TRUE(on("ledChangedNotSaved"));
    EXPECT_FALSE(on("ledFixed"));
    EXPECT_FALSE(enabled("mnuEnterEditMode"));
    EXPECT_TRUE(enabled("mnuPutMeterInService"));
    EXPECT_FALSE(enabled("mnuPasswordProtection"));
    EXPECT_FALSE(enabled("mnuFlowProfiling"));
    EXPECT_FALSE(enabled("mnuLCDDisplay"));
    EXPECT_TRUE(enabled("mnuDampingValue"));
    EXPECT_FALSE(find<QAction>("mnuTotalizerSettings")->isVisible());  // software revision 12

    EXPECT_TRUE(window->EditMode);
    EXPECT_FALSE(window->InService);
    EXPECT_FALSE(window->SteamMeter);
    EXPECT_EQ(window->SensorOption, 1);
    EXPECT_EQ(window->DeviceType, 1);
    EXPECT_EQ(window->SoftwareRevision, 12);
    EXPECT_EQ(window->DeviceNumber, 0x0A1B2C);  // above 32767, kept whole
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 1);
    EXPECT_TRUE(ui.messageBoxes().empty()) << texts(ui.messageBoxes()).join('|').toStdString();
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_GT(ui.busyPointersShown(), 0);
}

TEST_F(MainWindow, ConnectToInServiceInsertionMeterWithDisplay) {
    registerStandInForms();
    connectTo("gas_insertion", {{"fixed_current", "12"}});
    EXPECT_EQ(text("txtTag").trimmed(), "FT-201");
    EXPECT_EQ(text("PVLabel"), "PV (Mass):");
    EXPECT_TRUE(on("ledOnline"));
    EXPECT_FALSE(on("ledEditMode"));
    EXPECT_TRUE(on("ledFixed"));
    EXPECT_TRUE(enabled("mnuEnterEditMode"));
    EXPECT_FALSE(enabled("mnuPutMeterInService"));
    EXPECT_TRUE(enabled("mnuPasswordProtection"));
    EXPECT_TRUE(enabled("mnuFlowProfiling"));
    EXPECT_TRUE(enabled("mnuLCDDisplay"));
    EXPECT_TRUE(window->InService);
    EXPECT_FALSE(window->EditMode);
    EXPECT_EQ(window->SensorOption, 3);
    EXPECT_EQ(window->DeviceType, 2);
}

TEST_F(MainWindow, TotalizerSettingsShowFromSoftwareRevision18) {
    connectTo("steam", {{"software_revision", "17"}});
    EXPECT_FALSE(find<QAction>("mnuTotalizerSettings")->isVisible());
    EXPECT_TRUE(window->SteamMeter);
    window.reset();

    connectTo("steam");
    EXPECT_EQ(window->SoftwareRevision, 18);
    EXPECT_TRUE(find<QAction>("mnuTotalizerSettings")->isVisible());
}

TEST_F(MainWindow, UpdateRereadsValuesAndIdentityAndReopensAClosedLink) {
    connectTo("liquid_wafer", {{"primary_variable", "velocity"}});
    EXPECT_EQ(text("PVLabel"), "PV (Velocity):");
    std::string error;
    ASSERT_TRUE(sim->meter.setValue("tag", "FT-999", &error)) << error;
    ASSERT_TRUE(sim->meter.setValue("primary_variable", "volume_flow", &error)) << error;
    click("btnUpdate");
    EXPECT_EQ(text("txtTag").trimmed(), "FT-999");
    EXPECT_EQ(text("PVLabel"), "PV (Volume):");

    sim->silent = true;
    click("btnUpdate");
    EXPECT_EQ(texts(ui.messageBoxes()), QStringList{"No Device Response !"});
    EXPECT_EQ(text("txtTag").trimmed(), "FT-999");  // the last values read stay
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 0);

    sim->silent = false;
    ASSERT_TRUE(sim->meter.setValue("tag", "FT-100", &error)) << error;
    click("btnUpdate");
    EXPECT_EQ(text("txtTag").trimmed(), "FT-100");
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
}

TEST_F(MainWindow, ContinuousUpdateRunsUntilStoppedOrUntilAnUpdateFails) {
    connectTo("liquid_wafer");
    auto* timer = find<QTimer>("tmrUpdateDisplay");
    click("btnContinuous");
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(on("ledContinuous"));
    EXPECT_EQ(text("btnContinuous"), "End Continuous Display Update");
    const size_t readsBefore = requests(3).size();
    EXPECT_TRUE(waitFor([&] { return requests(3).size() >= readsBefore + 2; }, 3000));
    click("btnContinuous");
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(on("ledContinuous"));
    EXPECT_EQ(text("btnContinuous"), "Begin Continuous Display Update");
    EXPECT_TRUE(ui.messageBoxes().empty());

    // The meter falls silent: the first tick fails and ends continuous mode.
    click("btnContinuous");
    sim->silent = true;
    EXPECT_TRUE(waitFor([&] { return !timer->isActive(); }, 3000));
    ASSERT_EQ(ui.messageBoxes().size(), 2u) << texts(ui.messageBoxes()).join('|').toStdString();
    EXPECT_EQ(ui.messageBoxes()[0].text, "No Device Response !");
    const auto& ending = ui.messageBoxes()[1];
    EXPECT_EQ(ending.text, "Update failed, switching out of continuous mode.");
    EXPECT_EQ(ending.title, "Ending Continuous Mode");
    EXPECT_EQ(ending.icon, platform::vbInformation);
    EXPECT_FALSE(on("ledContinuous"));
    EXPECT_EQ(text("btnContinuous"), "Begin Continuous Display Update");
}

TEST_F(MainWindow, ContinuousUpdateEndsOnAClosedLinkWithoutAnyTransaction) {
    connectTo("liquid_wafer");
    app::Fenwire1()->put("cComState", 0);  // closed, say after another form's failed read
    click("btnContinuous");
    EXPECT_TRUE(waitFor([&] { return !find<QTimer>("tmrUpdateDisplay")->isActive(); }, 3000));
    EXPECT_EQ(texts(ui.messageBoxes()), QStringList{"Update failed, switching out of continuous mode."});
}

TEST_F(MainWindow, EditModeAndInServiceAreReadBackFromTheMeter) {
    registerStandInForms();
    connectTo("gas_insertion");
    trigger("mnuEnterEditMode");
    EXPECT_FALSE(meterInService());
    EXPECT_EQ(requests(128), std::vector<std::string>{"F1"});
    EXPECT_TRUE(on("ledEditMode"));
    EXPECT_FALSE(on("ledOnline"));
    EXPECT_FALSE(enabled("mnuEnterEditMode"));
    EXPECT_TRUE(enabled("mnuPutMeterInService"));
    EXPECT_FALSE(enabled("mnuPasswordProtection"));
    EXPECT_TRUE(window->EditMode);

    trigger("mnuPutMeterInService");
    EXPECT_TRUE(meterInService());
    EXPECT_EQ(requests(128), (std::vector<std::string>{"F1", "F0"}));
    EXPECT_FALSE(on("ledEditMode"));
    EXPECT_TRUE(on("ledOnline"));
    EXPECT_TRUE(enabled("mnuEnterEditMode"));
    EXPECT_FALSE(enabled("mnuPutMeterInService"));
    EXPECT_TRUE(enabled("mnuPasswordProtection"));
    EXPECT_EQ(window->AccessLevel, 0);
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(MainWindow, PasswordProtectedMeterEntersEditModeOnlyThroughTheConfirmedPrompt) {
    registerStandInForms();
    connectTo("password_protected");
    EXPECT_TRUE(on("ledPasswordProtected"));
    EXPECT_TRUE(window->PasswordProtected);

    // Without the prompt nothing confirms the password.
    trigger("mnuEnterEditMode");
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Incorrect Password");
    EXPECT_EQ(ui.messageBoxes()[0].title, kTitle);
    EXPECT_EQ(ui.messageBoxes()[0].icon, platform::vbCritical);
    EXPECT_TRUE(meterInService());
    EXPECT_TRUE(requests(128).empty());
    EXPECT_FALSE(enabled("mnuPasswordProtection"));  // until the next Put Meter In Service

    // A prompt the user cancels, then one confirmed with the right password.
    app::setFormFactory(QStringLiteral("frmPasswordProtected"),
                        [](QWidget* parent) { return std::make_unique<QDialog>(parent); });
    ui.queueDialogResult(QDialog::Rejected);
    trigger("mnuEnterEditMode");
    EXPECT_EQ(ui.messageBoxes().size(), 2u);
    EXPECT_TRUE(meterInService());
    ui.queueDialog([](QDialog&) { app::SendCmd247(0, QStringLiteral("CVN1")); }, QDialog::Accepted);
    trigger("mnuEnterEditMode");
    EXPECT_EQ(ui.messageBoxes().size(), 2u);
    EXPECT_FALSE(meterInService());
    EXPECT_TRUE(requests(128).empty());  // the prompt changed the mode; it is only read back
    EXPECT_TRUE(on("ledEditMode"));
    EXPECT_FALSE(on("ledPasswordProtected"));
    EXPECT_EQ(window->AccessLevel, 1);
}

TEST_F(MainWindow, CanWriteAsksOutsideEditMode) {
    connectTo("gas_insertion");
    ui.queueAnswer(platform::vbNo);
    EXPECT_FALSE(window->CanWrite());
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    const auto& question = ui.messageBoxes()[0];
    EXPECT_EQ(question.text, "Meter is not in Edit Mode.  Enter edit mode now?");
    EXPECT_EQ(question.title, "Not in Edit Mode");
    EXPECT_EQ(question.buttons, platform::vbYesNo);
    EXPECT_TRUE(meterInService());

    ui.queueAnswer(platform::vbYes);
    EXPECT_TRUE(window->CanWrite());
    EXPECT_FALSE(meterInService());
    EXPECT_TRUE(window->CanWrite());  // in edit mode: no question
    EXPECT_EQ(ui.messageBoxes().size(), 2u);
}

TEST_F(MainWindow, SaveRestoreAndFactoryRestore) {
    connectTo("liquid_wafer", {{"config_changed", "on"}});
    EXPECT_TRUE(on("ledChangedNotSaved"));
    trigger("mnuSaveConfiguration");
    EXPECT_EQ(requests(39), std::vector<std::string>{"00"});
    EXPECT_FALSE(on("ledChangedNotSaved"));

    window->findChild<app::Lamp*>(QStringLiteral("ledChangedNotSaved"))->setOn(true);
    trigger("mnuRestoreConfiguration");
    EXPECT_EQ(requests(39), (std::vector<std::string>{"00", "01"}));
    EXPECT_FALSE(on("ledChangedNotSaved"));

    ui.queueAnswer(platform::vbNo);
    trigger("mnuRestoreFactoryConfiguration");
    EXPECT_TRUE(requests(42).empty());
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text,
              "This command will restore ALL values in the meter to their factory defaults.  Are you sure you "
              "wish to proceed?");
    EXPECT_EQ(ui.messageBoxes()[0].title, "Warning!");
    EXPECT_EQ(ui.messageBoxes()[0].buttons, platform::vbYesNo);
    ui.queueAnswer(platform::vbYes);
    trigger("mnuRestoreFactoryConfiguration");
    EXPECT_EQ(requests(42).size(), 1u);
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(MainWindow, NothingIsSavedWhenTheUserDeclinesEditModeOrTheMeterRefuses) {
    connectTo("gas_insertion", {{"config_changed", "on"}});
    ui.queueAnswer(platform::vbNo);
    trigger("mnuSaveConfiguration");
    ui.queueAnswer(platform::vbNo);
    trigger("mnuRestoreFactoryConfiguration");
    EXPECT_TRUE(requests(39).empty());
    EXPECT_TRUE(requests(42).empty());
    EXPECT_EQ(ui.messageBoxes().size(), 2u);  // the edit-mode questions only

    // The write-protect jumper makes the meter refuse the save: the lamp stays on.
    std::string error;
    ASSERT_TRUE(sim->meter.setValue("write_protect", "1", &error)) << error;
    ui.queueAnswer(platform::vbYes);
    trigger("mnuSaveConfiguration");
    EXPECT_EQ(requests(39), std::vector<std::string>{"00"});
    EXPECT_EQ(ui.messageBoxes().back().text, "Error:  Command 39 reports reponse code 7: Write Protected");
    EXPECT_TRUE(on("ledChangedNotSaved"));
}

TEST_F(MainWindow, StatusLampsFollowTheDeviceStatusBits) {
    open("liquid_wafer");
    app::DeviceStatus = 0x48;
    window->UpdateStatusLeds();
    EXPECT_TRUE(on("ledChangedNotSaved"));
    EXPECT_TRUE(on("ledFixed"));
    app::DeviceStatus = 0xB7;  // every other bit
    window->UpdateStatusLeds();
    EXPECT_FALSE(on("ledChangedNotSaved"));
    EXPECT_FALSE(on("ledFixed"));
}

TEST_F(MainWindow, FormsOpenFromTheMenu) {
    registerStandInForms();
    connectTo("liquid_wafer", {{"primary_variable", "velocity"}});
    trigger("mnuDampingValue");
    trigger("mnuDigitalPots");
    ASSERT_EQ(ui.dialogs().size(), 2u);
    EXPECT_EQ(ui.dialogs()[0].objectName, "frmDampingValue");
    EXPECT_EQ(ui.dialogs()[1].objectName, "frmDigitalPotDisplay");
    EXPECT_EQ(ui.busyDepth(), 0);

    // The totalizer has no meaning for a velocity.
    trigger("mnuTotalizer");
    EXPECT_EQ(texts(ui.messageBoxes()),
              QStringList{"PV must be volume flow, mass flow, or standard flow for totalizer to have meaning."});
    EXPECT_TRUE(ui.windowsShown().empty());
    std::string error;
    ASSERT_TRUE(sim->meter.setValue("primary_variable", "mass_flow", &error)) << error;
    trigger("mnuTotalizer");
    trigger("mnuFixedAnalogOutput");
    trigger("mnuTotalizer");  // the open one again, not a second
    EXPECT_EQ(ui.windowsShown(), (std::vector<QString>{"frmTotalizer", "frmTrimAnalogOutput", "frmTotalizer"}));
    EXPECT_EQ(window->findChildren<QDialog*>(QStringLiteral("frmTotalizer")).size(), 1);
}

TEST_F(MainWindow, ComPortFormReprobesAndReopensTheLink) {
    connectTo("liquid_wafer");
    app::Fenwire1()->put("cComState", 0);
    trigger("mnuComPort");
    ASSERT_EQ(ui.dialogs().size(), 1u);
    EXPECT_EQ(ui.dialogs()[0].objectName, "frmComPort");
    EXPECT_EQ(ui.dialogs()[0].title, "  Com Port");
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 1);
    EXPECT_EQ(find<QComboBox>("cmbComPort")->currentText(), "COM 1");
    EXPECT_EQ(ui.busyDepth(), 0);
}

// ---- the stored port ---------------------------------------------------------

TEST_F(MainWindow, FirstStartUsesPort1AndStoresIt) {
    open("liquid_wafer");
    EXPECT_EQ(app::ComPort, 1);
    EXPECT_FALSE(storedSettings()->contains("Settings/ComPort"));
    window.reset();
    EXPECT_EQ(storedSettings()->value("Settings/ComPort").toString(), "1");
}

TEST_F(MainWindow, StoredPortThatIsNotListedIsStillTried) {
    storedSettings()->setValue("Settings/ComPort", "7");
    open("liquid_wafer");
    EXPECT_EQ(app::ComPort, 7);
    auto* ports = find<QComboBox>("cmbComPort");
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->currentIndex(), -1);  // nothing selected
    EXPECT_EQ(app::Fenwire1()->get("cComPort"), 7);
    EXPECT_EQ(app::Fenwire1()->get("cComError"), 1);
    window.reset();
    EXPECT_EQ(storedSettings()->value("Settings/ComPort").toString(), "7");
}

// Quitting writes the port only when it changed: the settings file is left
// as it is (here changed meanwhile by another instance) when the port stayed.
TEST_F(MainWindow, ThePortIsSavedOnExitOnlyWhenItChanged) {
    storedSettings()->setValue("Settings/ComPort", "7");
    open("liquid_wafer");
    storedSettings()->setValue("Settings/ComPort", "9");
    window.reset();
    EXPECT_EQ(storedSettings()->value("Settings/ComPort").toString(), "9");

    open("liquid_wafer");
    EXPECT_EQ(app::ComPort, 9);
    app::ComPort = 3;
    window.reset();
    EXPECT_EQ(storedSettings()->value("Settings/ComPort").toString(), "3");
}

TEST_F(MainWindow, StoredTextThatIsNoPortGivesPort1) {
    for (const char* stored : {"abc", "0", "300", "-2"}) {
        storedSettings()->setValue("Settings/ComPort", stored);
        open("liquid_wafer");
        EXPECT_EQ(app::ComPort, 1) << stored;
        window.reset();
    }
}

// ---- the port form's messages ------------------------------------------------

class PortForm : public Shell {
protected:
    void SetUp() override {
        Shell::SetUp();
        app::ComPort = 1;
        meter.script(0, "FE 3D 01 05 05 01 0C 08 00 0A 1B 2C");
        form = std::make_unique<app::frmComPort>(testsupport::linkedFenwireApi());
        app::Fenwire1()->put("cComMode", 2);
    }
    void TearDown() override {
        form.reset();
        Shell::TearDown();
    }

    testsupport::ScriptedMeter meter;
    std::unique_ptr<app::frmComPort> form;
};

TEST_F(PortForm, ResponseCodeErrorsAreReportedAndLeaveTheStore) {
    const std::pair<int, const char*> table[] = {
        {2, ": Invalid Selection"},         {5, ": Too Few Data Bytes Received"},
        {7, ": Write Protected"},           {10, ": Lower range value too low"},
        {11, ": Upper range value too high"}, {12, ": Upper range value too low"},
        {16, ": Access restricted"},
    };
    app::UpperRangeValue = 42.0f;
    const app::SenderFailures failures;
    for (const auto& [code, suffix] : table) {
        ui.clear();
        meter.script(35, "", static_cast<uint8_t>(code), static_cast<uint8_t>(code));
        app::SendCmd35(17, 100.0f, 0.0f);
        ASSERT_EQ(ui.messageBoxes().size(), 1u) << code;
        const auto& box = ui.messageBoxes()[0];
        EXPECT_EQ(box.text, "Error:  Command 35 reports reponse code " + QString::number(code) + suffix);
        EXPECT_EQ(box.title, "Response Code Error");
        EXPECT_EQ(box.icon, platform::vbCritical);
        EXPECT_EQ(box.buttons, platform::vbOKOnly);
        EXPECT_EQ(app::DeviceStatus, code);  // the status byte is kept even so
        EXPECT_EQ(app::UpperRangeValue, 42.0f);
    }
    EXPECT_EQ(failures.count(), 7);
}

TEST_F(PortForm, WarningsAndUnlistedCodesAreDecodedSilently) {
    const app::SenderFailures failures;
    meter.script(13, "194B71C31820 4D4141360205044152833820 0F 06 63", 8, 0x40);
    app::SendCmd13();
    EXPECT_EQ(app::Tag.trimmed(), "FT-101");
    EXPECT_EQ(app::DeviceStatus, 0x40);

    meter.script(13, "", 64);  // no data: the decoder finds nothing to store
    app::SendCmd13();
    EXPECT_EQ(app::Tag.trimmed(), "FT-101");
    EXPECT_EQ(app::DeviceStatus, 0);
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_EQ(failures.count(), 0);
}

TEST_F(PortForm, NoResponseClosesTheLinkUntilInitHART) {
    meter.script(13, "194B71C31820 4D4141360205044152833820 0F 06 63", 0, 0x08);
    app::SendCmd13();
    ASSERT_EQ(app::DeviceStatus, 0x08);
    meter.forget(13);
    app::SendCmd13();
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "No Device Response !");
    EXPECT_EQ(ui.messageBoxes()[0].title, kTitle);
    EXPECT_EQ(app::DeviceStatus, 0x08);
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 0);
    EXPECT_FALSE(form->LinkOpen());

    app::SendCmd13();  // on the closed link nothing happens
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
    form->InitHART();
    EXPECT_TRUE(form->LinkOpen());
    meter.script(13, "194B71C31820 4D4141360205044152833820 0F 06 63");
    app::SendCmd13();
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(app::DeviceStatus, 0);
}

// Without a meter of the test the ports are this machine's, all mapped to nowhere.
TEST_F(Shell, PortListAndAPortThatNoLongerOpens) {
    std::optional<testsupport::ScriptedMeter> meterOn5(std::in_place, 5);
    app::ComPort = 1;
    app::frmComPort form(testsupport::linkedFenwireApi());
    auto* ports = form.findChild<QComboBox*>(QStringLiteral("cmbComPort"));
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0), "COM 5");
    EXPECT_EQ(ports->itemData(0).toInt(), 5);
    EXPECT_EQ(ports->currentIndex(), -1);  // the stored port is not there
    EXPECT_EQ(app::Fenwire1()->get("cComPort"), 1);  // but it was tried
    EXPECT_FALSE(form.LinkOpen());

    ports->setCurrentIndex(0);
    emit ports->activated(0);
    EXPECT_EQ(app::ComPort, 5);
    EXPECT_TRUE(form.LinkOpen());
    EXPECT_TRUE(ui.messageBoxes().empty());

    // The modem is unplugged after the ports were listed.
    app::Fenwire1()->put("cComState", 0);
    meterOn5.reset();
    emit ports->activated(0);
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Com Port 5 not Valid !");
    EXPECT_EQ(ui.messageBoxes()[0].title, kTitle);
    EXPECT_EQ(ui.messageBoxes()[0].buttons, platform::vbOKOnly);
    EXPECT_EQ(app::Fenwire1()->get("cComError"), 0);  // cleared after the message
    EXPECT_EQ(ports->currentIndex(), 0);

    // Shown again, the form probes again: no port at all, nothing selected.
    form.show();
    EXPECT_EQ(ports->count(), 0);
    EXPECT_EQ(ports->currentIndex(), -1);
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
    form.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_NE(app::Fenwire1(), nullptr);  // the form and its control stay loaded
}

}  // namespace
