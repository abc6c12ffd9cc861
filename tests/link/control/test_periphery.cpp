// The control's periphery: design-time labels, About box, property page,
// window, registration record and the host-side loader.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "link/control/about_box.h"
#include "link/control/control_window.h"
#include "link/control/display_strings.h"
#include "link/control/fenwire_dispids.h"
#include "link/control/fenwire_loader.h"
#include "link/control/property_page.h"
#include "link/control/registration.h"
#include "platform/ini.h"
#include "platform/scripted.h"

namespace {

using namespace fenwire;

// --- Design-time labels ---------------------------------------------------

TEST(DisplayStrings, LabelsValuesInTheirLists) {
    const std::map<std::pair<int, int>, std::string> expected = {
        {{FW_cComPort, 0}, "0:NONE"},
        {{FW_cComPort, 1}, " 1:COM  1"},
        {{FW_cComPort, 9}, " 9:COM  9"},
        {{FW_cComPort, 10}, "10:COM 10"},
        {{FW_cComPort, 32}, "32:COM 32"},
        {{FW_cComError, 1}, "1:COM NOT POSSIBLE"},
        {{FW_cAddrMode, 1}, "1:TAG NAME"},
        {{FW_cAddrMode, 2}, "2:UNIQUE ID"},
        {{FW_cComResult, 0}, "0:NO DRIVER RESPONSE"},
        {{FW_cComResult, 2}, "2:NO DEVICE RESPONSE"},
        {{FW_cComState, 1}, "1:ON"},
        {{FW_cPollAddress, 0}, "A_00"},
        {{FW_cPollAddress, 7}, "A_07"},
        {{FW_cNewPollAddress, 15}, "A_15"},
        {{FW_cAction, 0}, "0:NO ACTION"},
        {{FW_cAction, 6}, "6:READ SENS LIMITS"},
        {{FW_cAction, 10}, "10:WRITE POLL ADDRESS"},
        {{FW_cAction, 11}, "11:RESET STATUS"},
        {{FW_cBusview, 1}, "1:YES"},
        {{FW_cComMode, 2}, "2:HART_19200"},
    };
    for (const auto& [key, label] : expected)
        EXPECT_EQ(displayString(key.first, key.second), label) << "dispid " << key.first << " value " << key.second;
}

TEST(DisplayStrings, ValuesOutsideTheListsShowUnknownOrTheNumber) {
    EXPECT_EQ(displayString(FW_cAction, 12), "UNKNOWN!!!");
    EXPECT_EQ(displayString(FW_cAction, -1), "UNKNOWN!!!");
    EXPECT_EQ(displayString(FW_cBusview, 2), "UNKNOWN!!!");
    EXPECT_EQ(displayString(FW_cComPort, 33), "33");
    EXPECT_EQ(displayString(FW_cComPort, -5), "-5");
    EXPECT_EQ(displayString(FW_cPollAddress, 16), "16");
    EXPECT_EQ(displayString(FW_cComMode, 3), "3");
    EXPECT_EQ(displayString(FW_cComError, 32767), "32767");
    EXPECT_EQ(displayString(FW_cBusy, 0), std::nullopt);
    EXPECT_EQ(displayString(FW_p13TagName, 0), std::nullopt);
}

TEST(DisplayStrings, PickListsCoverTheirRangesAndNothingElse) {
    const std::map<int, std::pair<int, int>> ranges = {
        {FW_cComPort, {0, 32}},       {FW_cComError, {0, 1}},     {FW_cAddrMode, {0, 2}},
        {FW_cComResult, {0, 2}},      {FW_cComState, {0, 1}},     {FW_cPollAddress, {0, 15}},
        {FW_cNewPollAddress, {0, 15}}, {FW_cAction, {0, 11}},      {FW_cBusview, {0, 1}},
        {FW_cComMode, {0, 2}},
    };
    for (const auto& [dispid, range] : ranges) {
        const auto list = predefinedStrings(dispid);
        ASSERT_EQ(list.size(), static_cast<size_t>(range.second - range.first + 1)) << dispid;
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].second, range.first + static_cast<int>(i));
            EXPECT_EQ(displayString(dispid, list[i].second), list[i].first);
        }
        EXPECT_TRUE(predefinedAccepts(dispid, range.first)) << dispid;
        EXPECT_TRUE(predefinedAccepts(dispid, range.second)) << dispid;
        EXPECT_FALSE(predefinedAccepts(dispid, range.first - 1)) << dispid;
        EXPECT_FALSE(predefinedAccepts(dispid, range.second + 1)) << dispid;
    }
    EXPECT_TRUE(predefinedStrings(FW_cBusy).empty());
    EXPECT_FALSE(predefinedAccepts(FW_cBusy, 0));
    EXPECT_FALSE(predefinedAccepts(12345, 0));
}

// --- Dialogs and window ---------------------------------------------------

class ScriptedUi : public ::testing::Test {
protected:
    platform::ScriptedBackend scripted_;
    platform::BackendGuard guard_{scripted_};
};

TEST_F(ScriptedUi, AboutBoxShowsTitleLabelIconAndCloses) {
    QString product;
    QSize icon;
    scripted_.queueDialog([&](QDialog& d) {
        product = d.findChild<QLabel*>("lblProduct")->text();
        icon = d.findChild<QLabel*>("lblIcon")->pixmap().size();
        d.findChild<QPushButton*>("btnOK")->click();
    });
    showAboutBox(nullptr);
    ASSERT_EQ(scripted_.dialogs().size(), 1u);
    EXPECT_EQ(scripted_.dialogs()[0].title, "About Tessaline 2001");
    EXPECT_EQ(scripted_.dialogs()[0].objectName, "dlgAboutFenwire");
    EXPECT_EQ(scripted_.dialogs()[0].result, QDialog::Accepted);
    EXPECT_EQ(product, "Tessaline 2002");
    EXPECT_EQ(icon, QSize(32, 32));
}

TEST_F(ScriptedUi, PropertyPageIsOneGeneralTab) {
    QStringList tabs;
    QString text;
    scripted_.queueDialog([&](QDialog& d) {
        auto* tabWidget = d.findChild<QTabWidget*>();
        for (int i = 0; i < tabWidget->count(); ++i) tabs << tabWidget->tabText(i);
        auto* page = d.findChild<CKvFenwirePropPage*>();
        ASSERT_NE(page, nullptr);
        text = page->findChild<QLabel*>("lblReserved")->text();
    });
    showPropertyPage(nullptr);
    ASSERT_EQ(scripted_.dialogs().size(), 1u);
    EXPECT_EQ(tabs, QStringList({"General"}));
    EXPECT_EQ(text, "This property page is reserved for future use!");
}

TEST_F(ScriptedUi, ControlWindowStaysThirtyTwoSquare) {
    ControlWindow window;
    window.show();
    window.resize(100, 50);
    EXPECT_EQ(window.size(), QSize(32, 32));
    // A container that lifts the limits first still gets 32 by 32.
    window.setMinimumSize(0, 0);
    window.setMaximumSize(500, 500);
    window.resize(80, 80);
    EXPECT_EQ(window.size(), QSize(32, 32));
    window.setGeometry(5, 5, 64, 64);
    EXPECT_EQ(window.size(), QSize(32, 32));
    EXPECT_EQ(window.sizeHint(), QSize(32, 32));
}

TEST_F(ScriptedUi, ControlWindowPaintsTheBitmapAndF1OpensHelp) {
    ControlWindow window;
    window.show();
    const QImage painted = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage bitmap = controlBitmap().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(bitmap.size(), QSize(32, 32));
    EXPECT_EQ(painted, bitmap);
    EXPECT_NE(bitmap.pixel(0, 0), bitmap.pixel(8, 16));  // a picture, not a blank square

    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &f1);
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &other);
    EXPECT_EQ(scripted_.helpRequests(), QStringList({"Fenwire"}));
}

// --- Registration record and loader ---------------------------------------

// Sets environment variables for one test and puts the old values back.
class EnvironmentGuard {
public:
    void set(const char* name, const std::string& value) {
        remember(name);
        setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        remember(name);
        unsetenv(name);
    }
    ~EnvironmentGuard() {
        for (const auto& [name, value] : saved_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    void remember(const char* name) {
        if (saved_.count(name)) return;
        const char* v = std::getenv(name);
        saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = dir_.filePath("corvane/registry.ini").toStdString();
        env_.set("FENWIRE_REGISTRY", file_);
    }
    QByteArray contents() const {
        QFile f(QString::fromStdString(file_));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString value(const std::string& section, const char* key) const {
        return platform::ini::readString(QString::fromStdString(file_), QString::fromStdString(section), key);
    }

    QTemporaryDir dir_;
    EnvironmentGuard env_;
    std::string file_;
};

TEST_F(RegistryFile, RegisterWritesTheRecordUnregisterRemovesOnlyIt) {
    const QByteArray others = "; registered by hand\n[Other.Ctrl.1]\nCLSID={00000000-0000-0000-0000-000000000001}\n";
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
    QFile seed(QString::fromStdString(file_));
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write(others);
    seed.close();

    ASSERT_EQ(registerServer("/opt/corvane/lib/libfenwire.so"), 0);
    EXPECT_EQ(registeredLibraryPath(kControlProgId), "/opt/corvane/lib/libfenwire.so");
    EXPECT_TRUE(isRegisteredProgId(kControlProgId));
    EXPECT_TRUE(isRegisteredProgId(kPropPageProgId));
    EXPECT_FALSE(isRegisteredProgId("Other.Ctrl.1"));  // no library for it
    EXPECT_EQ(value(kControlProgId, "CLSID"), kControlClsid);
    const std::string typeLib = std::string("TypeLib\\") + kTypeLibId;
    EXPECT_EQ(value(typeLib, "Name"), "FenwireLib");
    EXPECT_EQ(value(typeLib, "Version"), "3.0");
    EXPECT_EQ(value(typeLib, "Coclass"), "Fenwire");
    EXPECT_EQ(value(std::string("Interface\\") + kDispatchIid, "Name"), "_DFenwire");
    EXPECT_EQ(value(std::string("Interface\\") + kEventsIid, "Name"), "_DFenwireEvents");

    // Registering again replaces the record instead of adding a second one.
    ASSERT_EQ(registerServer("/usr/lib/libfenwire.so"), 0);
    EXPECT_EQ(registeredLibraryPath(kControlProgId), "/usr/lib/libfenwire.so");
    const auto sections = platform::ini::Document::parse(contents()).sections();
    EXPECT_EQ(sections.count(kControlProgId), 1);

    ASSERT_EQ(unregisterServer(), 0);
    EXPECT_FALSE(isRegisteredProgId(kControlProgId));
    EXPECT_FALSE(isRegisteredProgId(kPropPageProgId));
    EXPECT_EQ(contents(), others);
}

TEST_F(RegistryFile, RegistersTheLibraryThisCodeIsIn) {
    ASSERT_EQ(registerServer(), 0);  // creates the missing directory
    const auto path = registeredLibraryPath(kControlProgId);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, thisLibraryPath());
    EXPECT_EQ(path->front(), '/');
    EXPECT_TRUE(std::filesystem::exists(*path));
}

TEST_F(RegistryFile, UnregisteringWithoutAFileSucceedsAndCreatesNone) {
    EXPECT_EQ(unregisterServer(), 0);
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_EQ(registeredLibraryPath(kControlProgId), std::nullopt);
}

TEST_F(RegistryFile, AnUnwritablePlaceIsReportedAsFailure) {
    const std::string blocker = dir_.filePath("plain-file").toStdString();
    QFile f(QString::fromStdString(blocker));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    env_.set("FENWIRE_REGISTRY", blocker + "/registry.ini");
    EXPECT_NE(registerServer("/x/libfenwire.so"), 0);
    EXPECT_NE(registerServer("/x/lib\nfenwire.so"), 0);
}

TEST(RegistryPath, FollowsTheOverrideThenTheConfigurationDirectories) {
    EnvironmentGuard env;
    env.set("FENWIRE_REGISTRY", "/tmp/reg.ini");
    env.set("XDG_CONFIG_HOME", "/cfg");
    env.set("HOME", "/home/op");
    EXPECT_EQ(registryFilePath(), "/tmp/reg.ini");
    env.unset("FENWIRE_REGISTRY");
    EXPECT_EQ(registryFilePath(), "/cfg/corvane/registry.ini");
    env.set("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(registryFilePath(), "/home/op/.config/corvane/registry.ini");
    env.unset("XDG_CONFIG_HOME");
    EXPECT_EQ(registryFilePath(), "/home/op/.config/corvane/registry.ini");
}

TEST(FenwireLoader, TriesTheRegisteredLibraryThenTheOneBesideTheProgramThenTheRunPath) {
    EXPECT_EQ(libraryCandidates(std::string("/opt/lib/libfenwire.so"), "/usr/bin/utility"),
              std::vector<std::string>({"/opt/lib/libfenwire.so", "/usr/bin/libfenwire.so", "libfenwire.so"}));
    EXPECT_EQ(libraryCandidates(std::nullopt, "/usr/bin/utility"),
              std::vector<std::string>({"/usr/bin/libfenwire.so", "libfenwire.so"}));
    EXPECT_EQ(libraryCandidates(std::string("/usr/bin/libfenwire.so"), "/usr/bin/utility"),
              std::vector<std::string>({"/usr/bin/libfenwire.so", "libfenwire.so"}));
    EXPECT_EQ(libraryCandidates(std::nullopt, ""), std::vector<std::string>({"libfenwire.so"}));
}

TEST(FenwireLoaderErrors, ReportEveryPlaceTried) {
    FenwireLibrary library;
    EXPECT_FALSE(library.loadFrom({"/nonexistent/a/libfenwire.so", "/nonexistent/b/libfenwire.so"}));
    EXPECT_FALSE(library.loaded());
    EXPECT_NE(library.error().find("/nonexistent/a/libfenwire.so"), std::string::npos) << library.error();
    EXPECT_NE(library.error().find("/nonexistent/b/libfenwire.so"), std::string::npos) << library.error();
}

TEST(FenwireLoaderErrors, RefuseALibraryWithoutTheEntryPoints) {
    FenwireLibrary library;
    EXPECT_FALSE(library.loadFrom({"libm.so.6"}));
    EXPECT_NE(library.error().find("missing fw_create"), std::string::npos) << library.error();
    EXPECT_FALSE(library.loaded());
}

TEST_F(RegistryFile, LoaderFallsBackToTheLibraryBesideTheProgram) {
    const std::string beside = libraryCandidates(std::nullopt, runningProgramPath()).at(0);
    if (!std::filesystem::exists(beside)) GTEST_SKIP() << "libfenwire.so is not built beside the test program";
    ASSERT_EQ(registerServer("/nonexistent/libfenwire.so"), 0);  // stale record
    FenwireLibrary library;
    ASSERT_TRUE(library.load()) << library.error();
    EXPECT_EQ(library.path(), beside);
    EXPECT_EQ(library.api().dispidOf("cComPort"), FW_cComPort);
}

}  // namespace
