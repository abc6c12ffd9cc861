// The configuration dialogs against the simulated meter in-process: a main
// window connected to a meter of a shipped profile, the dialogs registered,
// message boxes and modal dialogs answered by the scripted platform.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/forms/forms.h"
#include "app/tools/tools.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "app/shell/lamp.h"
#include "link/driver/portmap.h"
#include "platform/keyboard.h"
#include "platform/scripted.h"
#include "tests/support/linked_fenwire.h"
#include "tests/support/sim_on_pipe.h"
#include "tests/app/app_test.h"

namespace formstest {

using platform::ScriptedBackend;
using Settings = apptest::MeterSettings;

using apptest::kTitle;

// Requests as sentDuring lists them.
using Sent = std::vector<std::string>;

// `first` followed by `second`: a read cycle and the write that follows it.
inline Sent then(Sent first, const Sent& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

inline std::string hexOf(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", byte);
        text += two;
    }
    return text;
}

template <typename T>
T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}
inline QString text(const QWidget& form, const char* name) {
    if (auto* edit = form.findChild<QLineEdit*>(QString::fromLatin1(name))) return edit->text();
    if (auto* label = form.findChild<QLabel*>(QString::fromLatin1(name))) return label->text();
    if (auto* list = form.findChild<QComboBox*>(QString::fromLatin1(name))) return list->currentText();
    ADD_FAILURE() << name;
    return {};
}
inline void type(const QWidget& form, const char* entry, const QString& value) {
    child<QLineEdit>(form, entry)->setText(value);
}
// A button's caption as it shows, without its mnemonic marker.
inline QString caption(const QWidget& form, const char* button) {
    return platform::withoutMnemonic(child<QAbstractButton>(form, button)->text());
}
inline void click(const QWidget& form, const char* button) { child<QAbstractButton>(form, button)->click(); }
inline bool enabled(const QWidget& form, const char* name) { return child<QWidget>(form, name)->isEnabled(); }

// The utility's windows registered and its message boxes scripted, with no
// meter: what every test that opens the main window starts from. A test
// that adds a line resets it between `window` and this TearDown.
class UtilityTest : public apptest::IsolatedAppTest {
protected:
    void SetUp() override {
        app::ResetStore();
        app::DeviceStatus = 0;
        app::ComPort = 1;
        app::RegisterForms();
        app::RegisterTools();
    }
    void TearDown() override {
        window.reset();
        app::UnregisterForms();
        app::UnregisterTools();
    }
    QStringList boxTexts() const {
        QStringList list;
        for (const auto& box : ui.messageBoxes()) list << box.text;
        return list;
    }

    ScriptedBackend ui;
    platform::BackendGuard guard{ui};
    std::unique_ptr<app::frmMain> window;
};

class FormsTest : public UtilityTest {
protected:
    void TearDown() override {
        window.reset();  // the link closes while the meter is there
        sim.reset();
        UtilityTest::TearDown();
    }

    // The main window on a meter of `profile` with `settings` applied, connected.
    void connectTo(const char* profile, const Settings& settings = {}) {
        window.reset();
        apptest::startMeter(sim, profile, settings);
        window = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
        app::Fenwire1()->put("cComMode", 2);  // short waits when the meter stays silent
        child<QAbstractButton>(*window, "btnConnect")->click();
        ui.clear();
        sim->meter.clearRequestLog();
    }
    void meterSet(const std::string& key, const std::string& value) {
        std::string error;
        ASSERT_TRUE(sim->meter.setValue(key, value, &error)) << error;
    }

    // The requests the meter received while `action` ran, as "command data-hex"
    // ("34 40200000"; a command without data is its number alone).
    std::vector<std::string> sentDuring(const std::function<void()>& action) {
        const size_t before = sim->meter.requestLog().size();
        action();
        std::vector<std::string> sent;
        const auto& log = sim->meter.requestLog();
        for (size_t i = before; i < log.size(); ++i) {
            std::string entry = std::to_string(log[i].command);
            if (!log[i].data.empty()) entry += " " + hexOf(log[i].data);
            sent.push_back(entry);
        }
        return sent;
    }

    // The one message box shown so far is this error box.
    void expectOnlyError(const QString& message) const {
        ASSERT_EQ(ui.messageBoxes().size(), 1u) << boxTexts().join('|').toStdString();
        const auto& box = ui.messageBoxes()[0];
        EXPECT_EQ(box.text, message);
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, platform::vbCritical);
        EXPECT_EQ(box.buttons, platform::vbOKOnly);
    }
    bool lampOn(const char* lamp) const { return child<app::Lamp>(*window, lamp)->isOn(); }

    std::unique_ptr<testsupport::SimOnPipe> sim;
};

}  // namespace formstest
