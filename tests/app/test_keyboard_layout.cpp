// Every form from the keyboard and at its size: opened from the main
// window's menu as a user opens it, driven by key presses. Values at their
// longest fit their boxes; Enter never writes; mnemonics are on every button
// and menu entry, none alike in one window or menu; read-only boxes stay out
// of the Tab order; each dialog opens on what can be edited.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "platform/fit.h"
#include "platform/keyboard.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

// The configuration dialogs of the gas insertion meter (it has every option).
const char* const kConfigurationEntries[] = {
    "mnuAnalogRangeValues", "mnuPrimaryVariable", "mnuHARTInterface", "mnuDampingValue",  "mnuProcessTemperature",
    "mnuProcessPressure",   "mnuDensityAndViscosity", "mnuLCDDisplay", "mnuPulseOutput", "mnuBurstMode",
    "mnuStandardFlow",      "mnuAlarmSelection",  "mnuPipeID",        "mnuLowFlowCutoff", "mnuKFactor",
};
// The tools that open as modal windows.
const char* const kToolEntries[] = {"mnuPropertyTables", "mnuDiagnostics", "mnuConfigurationRpt",
                                    "mnuFlowData",       "mnuDigitalPots", "mnuAbout"};

// Values at their longest: packed texts at their full length, numbers with
// sign, many digits and decimals, the meter's longest wordings.
Settings longestValues() {
    return {
        {"tag", "FT-30188"},
        {"descriptor", "STEAM HEADER 088"},
        {"message", "CORVANE VORTEX METER MW-88 NORTH"},
        {"model_number", "VX2-W04-SW88"},
        {"part_number", "VX2-02-WL-T1-NWM"},
        {"model_deviation", "SPECIAL FLANGE 300LB MW-88 WX-QZ"},
        {"table.name", "SATURATED STEAM MW-88 WX"},
        {"temperature_source", "integrated_rtd"},
        {"pressure_source", "analog_absolute"},
        {"pulse_output_mode", "user_frequency"},
        {"alarm_selection", "0"},
        {"range.lower", "-88888.8888"},
        {"range.upper", "-8888.8888"},
        {"damping", "31.9999"},
        {"pipe_id", "88.888"},
        {"kfactor", "88888.88888"},
        {"low_flow_cutoff", "888.8"},
        {"process.flow", "8888888"},
        {"process.noise", "0"},
        {"user_temperature", "-458.88"},
        {"user_pressure", "-8888.888"},
        {"user_density", "888.888888"},
        {"user_viscosity", "888.888888"},
        {"diagnostics.agc_voltage", "-88.88"},
        {"diagnostics.loop_voltage", "-88.88"},
        {"diagnostics.missing_pulses", "65535"},
        {"diagnostics.status_codes", "65535"},
        {"diagnostics.wdrs", "65535"},
        {"diagnostics.blockage_factor", "-88.8888"},
        {"diagnostics.mte", "-888.88"},
        {"diagnostics.mpe", "-8888.88"},
    };
}

class KeyboardAndLayout : public FormsTest {
protected:
    // Opens the form of a menu entry as the user does; `inspect` runs while it is open.
    void openFromMenu(const char* entry, const std::function<void(QDialog&)>& inspect) {
        bool opened = false;
        ui.queueDialog([&](QDialog& dialog) {
            opened = true;
            dialog.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog)) << entry;
            inspect(dialog);
        });
        QAction* action = child<QAction>(*window, entry);
        ASSERT_TRUE(action->isEnabled()) << entry;
        action->trigger();
        EXPECT_TRUE(opened) << entry;
        ui.clear();
    }
};

// Buttons of `window` whose caption has a letter or digit, in no dialog of their own.
QList<QAbstractButton*> captionedButtons(QWidget& window) {
    QList<QAbstractButton*> buttons;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->window() != &window) continue;
        if (!qobject_cast<QPushButton*>(button) && !qobject_cast<QCheckBox*>(button) &&
            !qobject_cast<QRadioButton*>(button))
            continue;
        const QString caption = platform::withoutMnemonic(button->text());
        if (std::any_of(caption.begin(), caption.end(), [](QChar c) { return c.isLetterOrNumber(); }))
            buttons.append(button);
    }
    return buttons;
}

// Each caption carries a mnemonic, and no two of them are alike.
void expectUniqueMnemonics(const QStringList& captions, const QString& where) {
    QSet<QChar> seen;
    for (const QString& caption : captions) {
        const QChar letter = platform::mnemonicOf(caption);
        EXPECT_FALSE(letter.isNull()) << where.toStdString() << ": no mnemonic on \"" << caption.toStdString() << '"';
        if (letter.isNull()) continue;
        EXPECT_FALSE(seen.contains(letter)) << where.toStdString() << ": '" << QString(letter).toStdString()
                                            << "' twice, on \"" << caption.toStdString() << '"';
        seen.insert(letter);
    }
}

void expectUniqueMnemonics(QWidget& window) {
    QStringList captions;
    for (QAbstractButton* button : captionedButtons(window)) captions << button->text();
    expectUniqueMnemonics(captions, window.objectName());
}

void expectMenuMnemonics(const QList<QAction*>& entries, const QString& where) {
    QStringList captions;
    for (QAction* entry : entries) {
        if (entry->isSeparator()) continue;
        captions << entry->text();
        if (QMenu* submenu = entry->menu()) expectMenuMnemonics(submenu->actions(), submenu->title());
    }
    expectUniqueMnemonics(captions, where);
}

// The boxes the user can see, and whether the text each shows fits it whole.
void expectValuesFit(QDialog& dialog, const std::string& where) {
    int boxes = 0, filled = 0;
    for (QLineEdit* box : dialog.findChildren<QLineEdit*>()) {
        if (!box->isVisibleTo(&dialog) || box->window() != &dialog) continue;
        if (qobject_cast<QComboBox*>(box->parentWidget())) continue;
        ++boxes;
        if (!box->text().isEmpty()) ++filled;
        EXPECT_TRUE(platform::textFits(*box, box->text()))
            << where << ": " << box->objectName().toStdString() << " cuts \"" << box->text().toStdString() << "\" ("
            << box->fontMetrics().horizontalAdvance(box->text()) << " px in " << platform::textRoom(*box) << ")";
    }
    if (boxes > 0) {
        EXPECT_GT(filled, 0) << where << ": nothing read";
    }
}

bool isReadOnlyBox(const QWidget* w) {
    const auto* box = qobject_cast<const QLineEdit*>(w);
    return box && box->isReadOnly();
}

// Tab from the focus round the whole window: never onto a read-only box.
void expectTabSkipsReadOnlyBoxes(QWidget& window, const std::string& where) {
    const int stops = static_cast<int>(window.findChildren<QWidget*>().size());
    for (int i = 0; i < stops; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr) << where;
        QTest::keyClick(focus, Qt::Key_Tab);
        EXPECT_FALSE(isReadOnlyBox(QApplication::focusWidget()))
            << where << ": Tab onto " << QApplication::focusWidget()->objectName().toStdString();
    }
}

TEST_F(KeyboardAndLayout, LongestValuesFitTheirBoxesInEveryDialogAndTool) {
    connectTo("gas_insertion", longestValues());
    for (const char* entry : kConfigurationEntries)
        openFromMenu(entry, [entry](QDialog& dialog) { expectValuesFit(dialog, entry); });
    for (const char* entry : {"mnuDiagnostics", "mnuConfigurationRpt"}) {
        openFromMenu(entry, [entry](QDialog& dialog) {
            const QSize opened = dialog.size();
            click(dialog, "btnRead");
            QApplication::processEvents();
            expectValuesFit(dialog, entry);
            EXPECT_EQ(dialog.size(), opened) << entry << ": a Read changed the form's size";
            click(dialog, "btnRead");
            QApplication::processEvents();
            EXPECT_EQ(dialog.size(), opened) << entry;
        });
    }
    openFromMenu("mnuPropertyTables", [](QDialog& dialog) {
        expectValuesFit(dialog, "mnuPropertyTables");
        EXPECT_EQ(text(dialog, "txtPropertyTableName"), "SATURATED STEAM MW-88 WX");
    });
}

TEST_F(KeyboardAndLayout, APaddedNameShowsFromItsStart) {
    connectTo("steam", {{"table.name", "WATER"}});
    openFromMenu("mnuConfigurationRpt", [](QDialog& dialog) {
        click(dialog, "btnRead");
        auto* name = child<QLineEdit>(dialog, "txtPropertyTableName");
        ASSERT_TRUE(name->text().startsWith("WATER"));
        EXPECT_EQ(name->cursorPosition(), 0);
        EXPECT_TRUE(platform::textFits(*name, name->text().trimmed()));
    });
}

TEST_F(KeyboardAndLayout, EnterInAConfigurationDialogNeverWrites) {
    connectTo("gas_insertion", {{"mode", "edit"}, {"config_changed", "0"}});
    for (const char* entry : kConfigurationEntries) {
        openFromMenu(entry, [this, entry](QDialog& dialog) {
            auto* write = child<QPushButton>(dialog, "btnWrite");
            EXPECT_FALSE(write->isDefault()) << entry;
            EXPECT_TRUE(child<QPushButton>(dialog, "btnCancel")->isDefault()) << entry;
            QSignalSpy writes(write, &QPushButton::clicked);
            // Enter from field to field, as far as the entries go, then on Write itself.
            const auto sent = sentDuring([&] {
                for (int i = 0; i < 20 && !qobject_cast<QPushButton*>(QApplication::focusWidget()); ++i) {
                    ASSERT_NE(QApplication::focusWidget(), nullptr) << entry;
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                }
                write->setFocus();
                QTest::keyClick(write, Qt::Key_Return);
            });
            EXPECT_TRUE(sent.empty()) << entry << ": " << sent.size() << " requests, the first " << sent.front();
            EXPECT_EQ(writes.count(), 0) << entry;
            EXPECT_TRUE(dialog.isVisible()) << entry << ": Enter closed the dialog";
            // Alt and the Write mnemonic do write.
            QTest::keyClick(&dialog, platform::mnemonicOf(write->text()).toUpper().unicode(), Qt::AltModifier);
            EXPECT_TRUE(QTest::qWaitFor([&writes] { return writes.count() == 1; }, 2000)) << entry;
        });
    }
}

TEST_F(KeyboardAndLayout, DialogsOpenOnWhatCanBeEditedAndTabSkipsReadOnlyBoxes) {
    connectTo("gas_insertion");
    for (const char* entry : kConfigurationEntries) {
        openFromMenu(entry, [entry](QDialog& dialog) {
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr) << entry;
            EXPECT_FALSE(qobject_cast<QPushButton*>(focus)) << entry << " opens on " << focus->objectName().toStdString();
            EXPECT_FALSE(isReadOnlyBox(focus)) << entry << " opens on " << focus->objectName().toStdString();
            expectTabSkipsReadOnlyBoxes(dialog, entry);
        });
    }
    for (const char* entry : {"mnuDiagnostics", "mnuConfigurationRpt"}) {
        openFromMenu(entry, [entry](QDialog& dialog) {
            auto* read = child<QPushButton>(dialog, "btnRead");
            EXPECT_EQ(QApplication::focusWidget(), read) << entry;
            EXPECT_TRUE(read->isDefault()) << entry;
            expectTabSkipsReadOnlyBoxes(dialog, entry);
            // A read-only box still takes the mouse, for copying.
            auto* box = child<QLineEdit>(dialog, "txtModelNumber");
            QTest::mouseClick(box, Qt::LeftButton);
            EXPECT_EQ(QApplication::focusWidget(), box) << entry;
        });
    }
    openFromMenu("mnuFlowData", [](QDialog& dialog) {
        EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>(dialog, "btnClose"));
    });
}

TEST_F(KeyboardAndLayout, MainWindowTabSkipsTheReadouts) {
    connectTo("gas_insertion");
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    expectTabSkipsReadOnlyBoxes(*window, "main window");
    window->hide();
}

TEST_F(KeyboardAndLayout, EveryButtonAndMenuEntryHasItsOwnMnemonic) {
    connectTo("gas_insertion");
    expectUniqueMnemonics(*window);
    expectMenuMnemonics(window->menuBar()->actions(), "menu bar");
    for (const char* entry : kConfigurationEntries)
        openFromMenu(entry, [](QDialog& dialog) { expectUniqueMnemonics(dialog); });
    for (const char* entry : kToolEntries)
        openFromMenu(entry, [](QDialog& dialog) { expectUniqueMnemonics(dialog); });
    openFromMenu("mnuComPort", [](QDialog& dialog) { expectUniqueMnemonics(dialog); });
    // A caption changed at run time keeps one.
    click(*window, "btnContinuous");
    expectUniqueMnemonics(*window);
    click(*window, "btnContinuous");
    EXPECT_EQ(platform::withoutMnemonic(child<QAbstractButton>(*window, "btnContinuous")->text()),
              "Begin Continuous Display Update");
}

TEST_F(KeyboardAndLayout, AltAndAMnemonicOpensAMenuAndPressesAButton) {
    connectTo("gas_insertion");
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* update = child<QPushButton>(*window, "btnUpdate");
    QSignalSpy updates(update, &QPushButton::clicked);
    QTest::keyClick(window.get(), platform::mnemonicOf(update->text()).toUpper().unicode(), Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&updates] { return updates.count() == 1; }, 2000));

    QMenu* tools = child<QMenu>(*window, "mnuTools");
    QTest::keyClick(window.get(), platform::mnemonicOf(tools->title()).toUpper().unicode(), Qt::AltModifier);
    EXPECT_TRUE(apptest::waitFor([tools] { return tools->isVisible(); }, 2000));
    tools->close();
    window->hide();
}

TEST_F(KeyboardAndLayout, EscapeAtPrintingOptionNeitherPrintsNorWritesAFile) {
    connectTo("gas_insertion");
    openFromMenu("mnuConfigurationRpt", [this](QDialog& dialog) {
        ui.queueAnswer(platform::vbCancel);  // what Escape answers
        click(dialog, "btnPrint");
        ASSERT_EQ(ui.messageBoxes().size(), 1u);
        EXPECT_EQ(ui.messageBoxes()[0].title, "Printing Option");
        EXPECT_TRUE(ui.saveDialogs().empty());
        EXPECT_TRUE(ui.printDialogs().empty());
    });
}

}  // namespace
