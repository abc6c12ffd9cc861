// Fixed analog output and output trim against the simulated meter: what each
// button sends, the multimeter dialog's range checks, and the release of a
// fixed current when the form closes.
#include <QAction>
#include <QCheckBox>
#include <QTimer>
#include <cstring>

#include "app/commands/format.h"
#include "app/tools/frmDMMCurrentMeasurement.h"
#include "app/tools/frmTrimAnalogOutput.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;
using Point = app::frmDMMCurrentMeasurement::TrimPoint;

// The multimeter dialog's next opening: types `reading` and presses OK (or Cancel).
ScriptedBackend::DialogAction readDmm(const QString& reading, const char* button = "btnOK") {
    return [reading, button](QDialog& dmm) {
        EXPECT_EQ(dmm.windowTitle(), "  DMM Current Measurement");
        EXPECT_TRUE(text(dmm, "txtDMMCurrent").isEmpty());
        type(dmm, "txtDMMCurrent", reading);
        click(dmm, button);
    };
}

std::string floatHex(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", bits);
    return hex;
}

class TrimTool : public FormsTest {
protected:
    std::unique_ptr<app::frmTrimAnalogOutput> open() {
        return std::make_unique<app::frmTrimAnalogOutput>(window.get());
    }
    bool meterFixed() { return sim->meter.state().runtime.fixedCurrent != 0.0f; }
};

TEST_F(TrimTool, OpensFromTheMenuWithoutBlockingAndShowsTheLoopCurrent) {
    connectTo("liquid_wafer", {{"process.flow", "0"}});
    QAction* entry = child<QAction>(*window, "mnuFixedAnalogOutput");
    ASSERT_TRUE(entry->isEnabled());
    EXPECT_EQ(sentDuring([&] { entry->trigger(); }), std::vector<std::string>{"2"});
    EXPECT_EQ(ui.windowsShown(), std::vector<QString>{"frmTrimAnalogOutput"});
    auto* form = window->findChild<QDialog*>("frmTrimAnalogOutput");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), "  Fixed Analog Output");
    EXPECT_EQ(text(*form, "txtAnalogCurrent"), "4");
    EXPECT_EQ(text(*form, "txtFixedCurrentValue"), "10");
    EXPECT_FALSE(child<QCheckBox>(*form, "chkFixedCurrent")->isChecked());
    auto* timer = child<QTimer>(*form, "tmrUpdateCurrent");
    EXPECT_TRUE(timer->isActive());
    EXPECT_GT(timer->interval(), 0);
    form->close();
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(TrimTool, WriteHoldsOrReleasesTheOutputAndTheRefreshFollowsTheFixedBit) {
    connectTo("liquid_wafer", {{"process.flow", "0"}});
    auto form = open();
    // Cleared box: 0.0 leaves fixed-current mode, even on a meter that is not fixed.
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"40 00000000", "2"}));

    type(*form, "txtFixedCurrentValue", "12.5");
    child<QCheckBox>(*form, "chkFixedCurrent")->setChecked(true);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"40 41480000", "2"}));
    EXPECT_TRUE(meterFixed());
    EXPECT_EQ(text(*form, "txtAnalogCurrent"), "12.5");
    EXPECT_EQ(text(*form, "txtFixedCurrentValue"), "12.5");

    // A refresh never clears the box, and copies the current while the output is fixed.
    child<QCheckBox>(*form, "chkFixedCurrent")->setChecked(false);
    type(*form, "txtFixedCurrentValue", "7");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnRead"); }), std::vector<std::string>{"2"});
    EXPECT_TRUE(child<QCheckBox>(*form, "chkFixedCurrent")->isChecked());
    EXPECT_EQ(text(*form, "txtFixedCurrentValue"), "12.5");

    type(*form, "txtFixedCurrentValue", "twelve");
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty());
    expectOnlyError("Fixed Current Value is not a valid numeric value.");

    // Closing with the box checked releases the output and puts the lamp out.
    EXPECT_EQ(sentDuring([&] { form->close(); }), std::vector<std::string>{"40 00000000"});
    EXPECT_FALSE(meterFixed());
    EXPECT_FALSE(lampOn("ledFixed"));
    EXPECT_FALSE(child<QTimer>(*form, "tmrUpdateCurrent")->isActive());
    EXPECT_EQ(ui.busyDepth(), 0);
}

// The program ending with the form open still gives the output back.
TEST_F(TrimTool, ClosingTheMainWindowReleasesAFixedCurrent) {
    connectTo("liquid_wafer", {{"process.flow", "0"}});
    child<QAction>(*window, "mnuFixedAnalogOutput")->trigger();
    auto* form = window->findChild<QDialog*>("frmTrimAnalogOutput");
    ASSERT_NE(form, nullptr);
    type(*form, "txtFixedCurrentValue", "12.5");
    child<QCheckBox>(*form, "chkFixedCurrent")->setChecked(true);
    click(*form, "btnWrite");
    ASSERT_TRUE(meterFixed());
    EXPECT_EQ(sentDuring([&] { window->close(); }), std::vector<std::string>{"40 00000000"});
    EXPECT_FALSE(meterFixed());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(TrimTool, TrimsSendTheReadingAndReturnToTheCurrentBefore) {
    connectTo("liquid_wafer", {{"process.flow", "0"}});
    auto form = open();
    ui.queueDialog(readDmm("19"));
    EXPECT_EQ(sentDuring([&] { click(*form, "btnTrimGain"); }),
              (std::vector<std::string>{"40 41A00000", "46 41980000", "40 00000000"}));
    EXPECT_FALSE(meterFixed());
    ASSERT_EQ(ui.dialogs().size(), 1u);
    EXPECT_EQ(ui.dialogs()[0].objectName, "frmDMMCurrentMeasurement");

    // Held fixed: back to the loop current read before the trim, not the typed value.
    type(*form, "txtFixedCurrentValue", "12.5");
    child<QCheckBox>(*form, "chkFixedCurrent")->setChecked(true);
    click(*form, "btnWrite");
    type(*form, "txtFixedCurrentValue", "9");
    ui.queueDialog([](QDialog& dmm) {
        EXPECT_TRUE(child<QLabel>(dmm, "lblOffsetInstructions")->isVisibleTo(&dmm));
        EXPECT_FALSE(child<QLabel>(dmm, "lblGainInstructions")->isVisibleTo(&dmm));
        type(dmm, "txtDMMCurrent", "4.01");
        click(dmm, "btnOK");
    });
    float before = 0;  // the gain trim moved the output: no longer 12.5 mA
    ASSERT_TRUE(app::ParseNumber(text(*form, "txtAnalogCurrent"), before));
    EXPECT_EQ(sentDuring([&] { click(*form, "btnTrimOffset"); }),
              (std::vector<std::string>{"40 40800000", "45 408051EC", "40 " + floatHex(before)}));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(TrimTool, ACancelledReadingLeavesTheOutputAtTheTrimPoint) {
    connectTo("liquid_wafer", {{"process.flow", "0"}});
    auto form = open();
    ui.queueDialog(readDmm("", "btnCancel"));
    EXPECT_EQ(sentDuring([&] { click(*form, "btnTrimGain"); }), std::vector<std::string>{"40 41A00000"});
    EXPECT_TRUE(meterFixed());
    // The box is cleared: closing sends nothing more, the meter stays at 20 mA.
    EXPECT_TRUE(sentDuring([&] { form->close(); }).empty());
    EXPECT_TRUE(meterFixed());
}

TEST_F(TrimTool, NothingIsSentWhenTheMeterIsNotInEditModeAndTheUserDeclines) {
    connectTo("liquid_wafer", {{"mode", "in_service"}});
    auto form = open();
    ui.queueAnswer(platform::vbNo);
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnTrimOffset"); }).empty());
    ui.queueAnswer(platform::vbNo);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{"2"});
    EXPECT_TRUE(ui.dialogs().empty());
    EXPECT_EQ(ui.messageBoxes().size(), 2u);
}

// A trim point the meter refused or did not answer ends the trim: no dialog
// claims the output is there, and no reading taken at another current goes
// to the meter as a trim. The port form has said what went wrong.
TEST_F(TrimTool, ATrimPointTheMeterDidNotTakeEndsTheTrim) {
    connectTo("liquid_wafer", {{"process.flow", "0"}, {"write_protect", "1"}});
    auto form = open();
    ui.queueDialog(readDmm("19"));
    EXPECT_EQ(sentDuring([&] { click(*form, "btnTrimGain"); }), std::vector<std::string>{"40 41A00000"});
    EXPECT_TRUE(ui.dialogs().empty());
    EXPECT_EQ(boxTexts().join('|').toStdString(), "Error:  Command 40 reports reponse code 7: Write Protected");

    ui.clear();
    sim->silent = true;
    const auto sent = sentDuring([&] { click(*form, "btnTrimOffset"); });
    ASSERT_FALSE(sent.empty());
    for (const std::string& request : sent) EXPECT_EQ(request, "40 40800000");  // its tries only
    EXPECT_TRUE(ui.dialogs().empty());
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

TEST(DmmDialog, AcceptsReadingsStrictlyInsideTheBoundsOfItsTrimPoint) {
    for (float accepted : {19.0f, 22.0f, 18.95f}) EXPECT_TRUE(app::frmDMMCurrentMeasurement::InRange(Point::Gain, accepted));
    for (float rejected : {18.9f, 22.1f, 4.0f}) EXPECT_FALSE(app::frmDMMCurrentMeasurement::InRange(Point::Gain, rejected));
    for (float accepted : {3.75f, 5.0f, 5.05f}) EXPECT_TRUE(app::frmDMMCurrentMeasurement::InRange(Point::Offset, accepted));
    for (float rejected : {3.74f, 5.1f, 20.0f})
        EXPECT_FALSE(app::frmDMMCurrentMeasurement::InRange(Point::Offset, rejected));
}

TEST_F(FormsTest, DmmDialogSaysWhyAReadingIsRefusedAndStaysOpen) {
    struct Case {
        Point point;
        const char* reading;
        const char* message;  // empty: accepted
    };
    const Case cases[] = {
        {Point::Gain, "19", ""},
        {Point::Gain, "22", ""},
        {Point::Gain, "18.9", "Please enter a number between 19 and 22."},
        {Point::Gain, "22.1", "Please enter a number between 19 and 22."},
        {Point::Offset, "3.75", ""},
        {Point::Offset, "5", ""},
        {Point::Offset, "3.74", "Please enter a number between 3.75 and 5."},
        {Point::Offset, "5.1", "Please enter a number between 3.75 and 5."},
        {Point::Offset, "", "Please enter a valid floating point value."},
        {Point::Gain, "20 mA", "Please enter a valid floating point value."},
    };
    for (const Case& c : cases) {
        ui.clear();
        app::frmDMMCurrentMeasurement dmm;
        dmm.ShowInstructionsFor(c.point);
        dmm.Accepted = false;
        dmm.show();
        type(dmm, "txtDMMCurrent", QString::fromLatin1(c.reading));
        click(dmm, "btnOK");
        const bool accepted = *c.message == '\0';
        EXPECT_EQ(dmm.Accepted, accepted) << c.reading;
        EXPECT_EQ(dmm.isVisible(), !accepted) << c.reading;
        if (accepted) {
            EXPECT_TRUE(ui.messageBoxes().empty()) << c.reading;
            EXPECT_EQ(dmm.Reading(), c.reading);  // still there for the caller
        } else {
            expectOnlyError(QString::fromLatin1(c.message));
        }
    }
}

}  // namespace
