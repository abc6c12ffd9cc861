// The totalizer settings and pulse output dialogs: the custom unit's editing
// rules, the range checks, the buttons while the meter is busy, and the live
// pulse frequency refresh.
#include <QAction>
#include <QRadioButton>
#include <QTimer>

#include "app/commands/format.h"
#include "app/forms/frmPulseOutput.h"
#include "app/forms/frmTotalizerSettings.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

const Sent kTotalizerRead = {"160", "188"};
const Sent kPulseRead = {"152", "154", "156", "150"};

class TotalizerSettings : public FormsTest {
protected:
    std::unique_ptr<app::frmTotalizerSettings> open() {
        return std::make_unique<app::frmTotalizerSettings>(window.get());
    }
    void enter(const QWidget& form, const char* rollOver, const char* multiplier, const char* unit = "GAL") {
        type(form, "txtRollOverValue", QString::fromLatin1(rollOver));
        type(form, "txtMultiplier", QString::fromLatin1(multiplier));
        type(form, "txtUserSpecifiedUnit", QString::fromLatin1(unit));
    }
};

TEST_F(TotalizerSettings, ReadShowsRollOverMultiplierUnitAndRunning) {
    connectTo("gas_insertion");
    std::unique_ptr<app::frmTotalizerSettings> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), kTotalizerRead);
    EXPECT_TRUE(child<QAbstractButton>(*form, "chkEnabled")->isChecked());
    EXPECT_EQ(text(*form, "txtRollOverValue"), "1E+08");
    EXPECT_EQ(text(*form, "txtMultiplier"), "1000");
    EXPECT_EQ(text(*form, "txtUserSpecifiedUnit"), "KLB     ");
    EXPECT_EQ(text(*form, "lblMultiplier"), "Multiplier: ");
    EXPECT_EQ(text(*form, "lblCustomTotalizerUnit"), "Custom Unit: ");
    for (const char* button : {"btnRead", "btnWrite", "btnCancel"}) EXPECT_TRUE(enabled(*form, button)) << button;

    // A stopped totalizer does not clear the box: the dialog never switches it off.
    meterSet("totalizer.running", "off");
    click(*form, "btnRead");
    EXPECT_TRUE(child<QAbstractButton>(*form, "chkEnabled")->isChecked());
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(TotalizerSettings, CustomUnitIsUpperCasePackedAsciiOfEightCharacters) {
    connectTo("liquid_wafer");
    auto form = open();
    auto* unit = child<QLineEdit>(*form, "txtUserSpecifiedUnit");
    unit->setText("abc");
    EXPECT_EQ(unit->text(), "ABC");
    for (const char* refused : {"ABC{", "ABC~", "ABC`", "ABC\t", "ABCé"}) {
        unit->setText(QString::fromUtf8(refused));
        EXPECT_EQ(unit->text(), "ABC") << refused;
        EXPECT_EQ(unit->cursorPosition(), 3);
    }
    unit->setText("abcdefghi");
    EXPECT_EQ(unit->text(), "ABCDEFGH");
    unit->setText("ABCDEFGH}");  // the last accepted text is the cut one
    EXPECT_EQ(unit->text(), "ABCDEFGH");
    // Upper-casing keeps the caret where the typing was.
    unit->setText("ab");
    unit->setCursorPosition(1);
    unit->insert("x");
    EXPECT_EQ(unit->text(), "AXB");
    EXPECT_EQ(unit->cursorPosition(), 2);
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(TotalizerSettings, WriteSendsPaddedUnitAndStartsOnlyWhenEnabled) {
    connectTo("liquid_wafer");
    auto form = open();
    ASSERT_FALSE(child<QAbstractButton>(*form, "chkEnabled")->isChecked());
    enter(*form, "1000000", "1", "gal");
    // Roll-over, multiplier, then "GAL" and five blanks in packed ASCII.
    const std::string write = "187 49742400" "3F800000" "1C1320820820";
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), then({write}, kTotalizerRead));
    EXPECT_EQ(text(*form, "txtUserSpecifiedUnit"), "GAL     ");
    EXPECT_EQ(text(*form, "txtRollOverValue"), "1000000");

    child<QAbstractButton>(*form, "chkEnabled")->click();
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), then({write, "161 01"}, kTotalizerRead));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(TotalizerSettings, MultiplierAndRollOverAreCheckedInOrderAndWithinTheirRanges) {
    connectTo("liquid_wafer");
    auto form = open();
    const struct {
        const char* rollOver;
        const char* multiplier;
        const char* message;
    } refused[] = {
        {"x", "y", "Multiplier value is not a valid numeric value."},
        {"x", "1", "Rollover value is not a valid numeric value."},
        {"", "1", "Rollover value is not a valid numeric value."},
        {"0.5", "1e-13", "Multiplier value is not within range 1e-12 to 1e12."},
        {"5", "2e12", "Multiplier value is not within range 1e-12 to 1e12."},
        {"5", "0", "Multiplier value is not within range 1e-12 to 1e12."},
        {"5", "1e39", "Multiplier value is not within range 1e-12 to 1e12."},
        {"0.5", "1", "Rollover value is not within range 1 to 1e37."},
        {"1e38", "1", "Rollover value is not within range 1 to 1e37."},
        {"-1e39", "1", "Rollover value is not within range 1 to 1e37."},
    };
    for (const auto& entry : refused) {
        enter(*form, entry.rollOver, entry.multiplier);
        ui.clear();
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kTotalizerRead) << entry.rollOver << " " << entry.multiplier;
        expectOnlyError(QString::fromLatin1(entry.message));
        EXPECT_EQ(text(*form, "txtUserSpecifiedUnit").trimmed(), "");  // the meter's unit again, not the padded entry
    }
    // The bounds themselves are taken.
    enter(*form, "1", "1e-12");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); })[0], "187 3F800000" "2B8CBCCC" "1C1320820820");
    enter(*form, "1e37", "1e12");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); })[0].substr(0, 20), "187 7CF0BDC2" "5368D4A5");
}

TEST_F(TotalizerSettings, ButtonsAreOffWhileTheMeterIsAskedAndOnAfter) {
    connectTo("gas_insertion");
    auto form = open();
    std::vector<bool> buttonsWhileBusy;
    QObject::connect(app::Fenwire1(), &app::FenwireControl::Busy, form.get(), [&](short busy) {
        if (busy) buttonsWhileBusy.push_back(enabled(*form, "btnRead") || enabled(*form, "btnWrite") ||
                                             enabled(*form, "btnCancel"));
    });
    ui.queueAnswer(platform::vbNo);  // declined: only the read-back talks to the meter
    click(*form, "btnWrite");
    click(*form, "btnRead");
    EXPECT_EQ(buttonsWhileBusy, std::vector<bool>(4, false));
    for (const char* button : {"btnRead", "btnWrite", "btnCancel"}) EXPECT_TRUE(enabled(*form, button)) << button;
}

TEST_F(TotalizerSettings, DecliningEditModeSendsNothing) {
    connectTo("gas_insertion");
    auto form = open();
    enter(*form, "5", "2");
    ui.queueAnswer(platform::vbNo);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kTotalizerRead);
    EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
    EXPECT_EQ(text(*form, "txtMultiplier"), "1000");
}

TEST_F(TotalizerSettings, MenuEntryShowsFromSoftwareRevision18) {
    connectTo("liquid_wafer", {{"software_revision", "17"}});
    EXPECT_FALSE(child<QAction>(*window, "mnuTotalizerSettings")->isVisible());
    connectTo("steam");  // revision 18
    QAction* entry = child<QAction>(*window, "mnuTotalizerSettings");
    EXPECT_TRUE(entry->isVisible());
    ASSERT_TRUE(entry->isEnabled());
    ui.queueDialogResult(QDialog::Rejected);
    entry->trigger();
    ASSERT_FALSE(ui.dialogs().empty());
    EXPECT_EQ(ui.dialogs().back().title, "  Totalizer Settings");
    EXPECT_EQ(ui.dialogs().back().objectName, "frmTotalizerSettings");
}

// ---- pulse output ----------------------------------------------------------------

class PulseOutput : public FormsTest {
protected:
    std::unique_ptr<app::frmPulseOutput> open() { return std::make_unique<app::frmPulseOutput>(window.get()); }
    static void tick(app::frmPulseOutput& form) { QMetaObject::invokeMethod(&form, "tmrUpdateOutput_Timer"); }
    static std::string mode(const QWidget& form) {
        for (int code = 0; code < 4; ++code)
            if (child<QRadioButton>(form, ("rdoPulseOutputMode_" + std::to_string(code)).c_str())->isChecked())
                return std::to_string(code);
        return "";
    }
    void expectEnabledFrequencies(const QWidget& form, bool upper, bool user) {
        EXPECT_EQ(enabled(form, "lblUpperRangeFrequency"), upper);
        EXPECT_EQ(enabled(form, "txtUpperRangeFrequency"), upper);
        EXPECT_EQ(enabled(form, "lblUserDefinedFrequency"), user);
        EXPECT_EQ(enabled(form, "txtUserDefinedFrequency"), user);
    }
};

TEST_F(PulseOutput, ReadShowsModeFrequenciesAndEnablesTheOneInUse) {
    connectTo("gas_insertion");  // scaled PV, upper range 500 Hz
    std::unique_ptr<app::frmPulseOutput> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), kPulseRead);
    EXPECT_EQ(mode(*form), "1");
    EXPECT_EQ(text(*form, "txtUpperRangeFrequency"), "500");
    EXPECT_EQ(text(*form, "txtPulseOutputFrequency"), app::NumberText(app::PulseOutputFrequency));
    expectEnabledFrequencies(*form, true, false);
    EXPECT_TRUE(enabled(*form, "txtPulseOutputFrequency"));

    // Choosing a mode sends nothing and switches the entries.
    EXPECT_TRUE(sentDuring([&] { click(*form, "rdoPulseOutputMode_2"); }).empty());
    expectEnabledFrequencies(*form, false, true);
    click(*form, "rdoPulseOutputMode_0");
    expectEnabledFrequencies(*form, false, false);
    click(*form, "rdoPulseOutputMode_3");
    expectEnabledFrequencies(*form, false, false);
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(PulseOutput, WriteSendsBothFrequenciesThenTheMode) {
    connectTo("liquid_wafer");
    auto form = open();
    click(*form, "rdoPulseOutputMode_2");
    type(*form, "txtUpperRangeFrequency", "400");
    type(*form, "txtUserDefinedFrequency", "12.5");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }),
              then({"153 43C80000", "155 41480000", "151 02"}, kPulseRead));
    EXPECT_EQ(mode(*form), "2");
    EXPECT_EQ(text(*form, "txtUserDefinedFrequency"), "12.5");
    EXPECT_EQ(text(*form, "txtPulseOutputFrequency"), "12.5");  // the user frequency is what goes out now
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(PulseOutput, NothingIsSentUnlessBothFrequenciesAreNumbers) {
    connectTo("liquid_wafer");
    auto form = open();
    type(*form, "txtUpperRangeFrequency", "x");
    type(*form, "txtUserDefinedFrequency", "y");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kPulseRead);
    expectOnlyError("Upper Range Frequency is not a valid numeric value.");
    ui.clear();
    type(*form, "txtUserDefinedFrequency", "");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kPulseRead);
    expectOnlyError("User Defined Frequency is not a valid numeric value.");

    form.reset();  // a child of the window that goes
    connectTo("gas_insertion");
    form = open();
    ui.clear();
    ui.queueAnswer(platform::vbNo);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kPulseRead);
    EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
}

TEST_F(PulseOutput, LiveFrequencyIsRefreshedEverySecondUntilTheDialogCloses) {
    connectTo("gas_insertion");
    auto form = open();
    auto* timer = child<QTimer>(*form, "tmrUpdateOutput");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    meterSet("pulse_output_mode", "user_frequency");
    meterSet("user_frequency", "42");
    EXPECT_EQ(sentDuring([&] { tick(*form); }), Sent{"154"});
    EXPECT_EQ(text(*form, "txtPulseOutputFrequency"), "42");
    EXPECT_EQ(mode(*form), "1");  // a tick refreshes the frequency only

    form->show();
    click(*form, "btnCancel");
    EXPECT_FALSE(timer->isActive());
}

TEST_F(PulseOutput, TickDuringATransactionIsSkipped) {
    connectTo("gas_insertion");
    auto form = open();
    int ticksWhileBusy = 0;
    QObject::connect(app::Fenwire1(), &app::FenwireControl::Busy, form.get(), [&](short busy) {
        if (busy && ticksWhileBusy++ == 0) tick(*form);
    });
    EXPECT_EQ(sentDuring([&] { click(*form, "btnRead"); }), kPulseRead);
    EXPECT_GT(ticksWhileBusy, 0);
}

TEST_F(PulseOutput, MenuEntryOpensTheDialog) {
    connectTo("liquid_wafer");
    QAction* entry = child<QAction>(*window, "mnuPulseOutput");
    ASSERT_TRUE(entry->isVisible());
    ASSERT_TRUE(entry->isEnabled());
    ui.queueDialogResult(QDialog::Rejected);
    entry->trigger();
    ASSERT_FALSE(ui.dialogs().empty());
    EXPECT_EQ(ui.dialogs().back().title, "  Pulse Output");
    EXPECT_EQ(ui.dialogs().back().objectName, "frmPulseOutput");
}

}  // namespace

namespace {

using namespace formstest;

TEST_F(FormsTest, PulseOutputOnASilentMeterShowsNothingReadAndTicksStayOffTheClosedLink) {
    connectTo("gas_insertion");
    sim->silent = true;
    auto form = std::make_unique<app::frmPulseOutput>(window.get());
    for (int code = 0; code < 4; ++code)
        EXPECT_FALSE(child<QRadioButton>(*form, ("rdoPulseOutputMode_" + std::to_string(code)).c_str())->isChecked());
    EXPECT_FALSE(enabled(*form, "txtUpperRangeFrequency"));
    EXPECT_FALSE(enabled(*form, "txtUserDefinedFrequency"));
    EXPECT_EQ(text(*form, "txtPulseOutputFrequency"), "");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
    sim->silent = false;
    EXPECT_TRUE(sentDuring([&] { QMetaObject::invokeMethod(form.get(), "tmrUpdateOutput_Timer"); }).empty());
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

}  // namespace
