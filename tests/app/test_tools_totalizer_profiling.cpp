// The totalizer tool and flow profiling against the simulated meter.
#include <QAction>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTimer>

#include "app/commands/format.h"
#include "app/commands/modUnitCodes.h"
#include "app/tools/frmFlowProfiling.h"
#include "app/tools/frmTotalizer.h"
#include "tests/app/test_forms_fixture.h"
#include "tests/support/scripted_meter.h"

namespace {

using namespace formstest;

// The entries of `sent` that are not `command` (a timer's refresh).
std::vector<std::string> without(std::vector<std::string> sent, const std::string& command) {
    std::erase(sent, command);
    return sent;
}

class TotalizerTest : public FormsTest {
protected:
    std::unique_ptr<app::frmTotalizer> open() { return std::make_unique<app::frmTotalizer>(window.get()); }
    static QTimer& timer(const QWidget& form) { return *child<QTimer>(form, "tmrUpdateTotalizer"); }
};

// Before revision 18 there are no totalizer settings: the unit comes from its code.
TEST_F(TotalizerTest, UnitTextFollowsTheMultiplier) {
    connectTo("gas_insertion", {{"software_revision", "17"}, {"totalizer.multiplier", "10"}});
    std::unique_ptr<app::frmTotalizer> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), std::vector<std::string>{"160"});
    EXPECT_EQ(form->windowTitle(), "  Totalizer");
    EXPECT_EQ(text(*form, "lblTotalizerUnits"), app::UnitText(app::TotalizerUnitCode));

    form.reset();  // a child of the window connectTo replaces
    connectTo("gas_insertion", {{"software_revision", "18"}, {"totalizer.multiplier", "10"}});
    EXPECT_EQ(sentDuring([&] { form = open(); }), (std::vector<std::string>{"188", "160"}));
    EXPECT_EQ(text(*form, "lblTotalizerUnits").trimmed(), "KLB");
    // The value is shown as the meter reports it, not multiplied.
    EXPECT_EQ(text(*form, "txtTotalizerValue"), app::NumberText(app::TotalizerValue));

    form.reset();
    connectTo("gas_insertion", {{"software_revision", "18"}, {"totalizer.multiplier", "1"}});
    form = open();
    EXPECT_EQ(text(*form, "lblTotalizerUnits"), app::UnitText(app::TotalizerUnitCode));
}

TEST_F(TotalizerTest, StartStopZeroAndRefresh) {
    connectTo("gas_insertion", {{"totalizer.running", "on"}, {"totalizer.total", "1234.5"}});
    auto form = open();
    // A running totalizer shows "Stop" and refreshes every second.
    EXPECT_EQ(caption(*form, "btnStartStop"), "Stop");
    EXPECT_TRUE(timer(*form).isActive());
    EXPECT_EQ(timer(*form).interval(), 1000);
    EXPECT_EQ(sentDuring([&] { form->tmrUpdateTotalizer_Timer(); }), std::vector<std::string>{"160"});

    EXPECT_EQ(without(sentDuring([&] { click(*form, "btnStartStop"); }), "160"), std::vector<std::string>{"161 00"});
    EXPECT_EQ(caption(*form, "btnStartStop"), "Start");
    EXPECT_FALSE(timer(*form).isActive());
    EXPECT_FALSE(sim->meter.state().runtime.totalizerRunning);

    EXPECT_EQ(sentDuring([&] { click(*form, "btnZero"); }), (std::vector<std::string>{"162", "160"}));
    EXPECT_EQ(text(*form, "txtTotalizerValue"), "0");

    EXPECT_EQ(sentDuring([&] { click(*form, "btnStartStop"); }), std::vector<std::string>{"161 01"});
    EXPECT_EQ(caption(*form, "btnStartStop"), "Stop");
    EXPECT_TRUE(timer(*form).isActive());
    click(*form, "btnOK");
    EXPECT_FALSE(timer(*form).isActive());
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

// ---- a meter that refuses or stops answering -------------------------------------

// What an earlier read stored is not this meter's total, nor its run state.
TEST_F(TotalizerTest, ATotalTheMeterDidNotSendIsNotShown) {
    connectTo("gas_insertion", {{"totalizer.running", "on"}, {"totalizer.total", "1234.5"}});
    open().reset();
    ASSERT_EQ(app::TotalizerRunning, 1);
    sim->silent = true;
    auto form = open();
    EXPECT_EQ(text(*form, "txtTotalizerValue"), "");
    EXPECT_EQ(caption(*form, "btnStartStop"), "Start");
    EXPECT_FALSE(timer(*form).isActive());
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

// A stop the meter did not answer leaves the totalizer shown running.
TEST_F(TotalizerTest, AnUnansweredStopLeavesItShownRunning) {
    connectTo("gas_insertion", {{"totalizer.running", "on"}, {"totalizer.total", "1234.5"}});
    auto form = open();
    const QString total = text(*form, "txtTotalizerValue");
    sim->silent = true;
    const auto sent = sentDuring([&] { click(*form, "btnStartStop"); });
    EXPECT_FALSE(sent.empty());
    EXPECT_TRUE(without(sent, "161 00").empty());  // the tries of the stop, nothing after them
    EXPECT_EQ(caption(*form, "btnStartStop"), "Stop");
    EXPECT_TRUE(timer(*form).isActive());
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
    // The refresh on the closed line shows nothing new, and says nothing more.
    form->tmrUpdateTotalizer_Timer();
    EXPECT_EQ(text(*form, "txtTotalizerValue"), total);
    EXPECT_EQ(ui.messageBoxes().size(), 1u);
}

// A start the meter refused leaves the totalizer shown stopped, the refresh off.
TEST_F(TotalizerTest, ARefusedStartLeavesItShownStopped) {
    testsupport::ScriptedMeter meter;
    meter.script(0, "FE 3D 01 05 05 01 0C 08 00 0A 1B 2C");
    meter.script(160, "0C 449A5000 00");  // 1234.5, stopped
    meter.script(161, "01", 16);          // access restricted
    auto main = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
    app::Fenwire1()->put("cComMode", 2);
    auto form = std::make_unique<app::frmTotalizer>(main.get());
    EXPECT_EQ(text(*form, "txtTotalizerValue"), "1234.5");
    EXPECT_EQ(caption(*form, "btnStartStop"), "Start");
    click(*form, "btnStartStop");
    EXPECT_EQ(caption(*form, "btnStartStop"), "Start");
    EXPECT_FALSE(timer(*form).isActive());
    EXPECT_EQ(boxTexts().join('|').toStdString(), "Error:  Command 161 reports reponse code 16: Access restricted");
}

TEST_F(TotalizerTest, MenuOpensItBesideTheMainWindowForFlowOnly) {
    connectTo("liquid_wafer", {{"primary_variable", "volume_flow"}});
    child<QAction>(*window, "mnuTotalizer")->trigger();
    ASSERT_EQ(ui.windowsShown().size(), 1u);
    EXPECT_EQ(ui.windowsShown()[0], QStringLiteral("frmTotalizer"));
}

class FlowProfilingTest : public FormsTest {
protected:
    std::unique_ptr<app::frmFlowProfiling> open() {
        auto form = std::make_unique<app::frmFlowProfiling>(window.get());
        // The live velocity is driven by hand below.
        child<QTimer>(*form, "tmrUpdateFlowVelocity")->stop();
        return form;
    }
    static int instruction(const QWidget& form) { return child<QStackedWidget>(form, "txtInstructions")->currentIndex(); }
    std::vector<std::string> press(const QWidget& form) { return sentDuring([&] { click(form, "btnTakeData"); }); }
};

TEST_F(FlowProfilingTest, ThreeSamplesTraverseThePipe) {
    connectTo("gas_insertion", {{"mode", "edit"}});
    auto form = open();
    EXPECT_EQ(form->windowTitle(), "  Flow Profiling");
    EXPECT_EQ(text(*form, "txtNumberOfSamples"), "5");
    EXPECT_EQ(text(*form, "txtSampleNumber"), "1");
    EXPECT_EQ(text(*form, "txtAverageFlowVelocity"), "0");
    EXPECT_EQ(instruction(*form), 0);
    EXPECT_TRUE(child<QPlainTextEdit>(*form, "txtInstructions_3")
                    ->toPlainText()
                    .startsWith("Adjust the insertion head until the Flow Velocity field is equal to the Average "
                                "Flow Velocity field."));

    type(*form, "txtNumberOfSamples", "3");
    EXPECT_EQ(press(*form), (std::vector<std::string>{"191 03", "193 02", "195"}));
    EXPECT_FALSE(enabled(*form, "txtNumberOfSamples"));
    EXPECT_EQ(text(*form, "txtSampleNumber"), "2");
    EXPECT_EQ(instruction(*form), 1);
    EXPECT_EQ(press(*form), std::vector<std::string>{"195"});
    EXPECT_EQ(text(*form, "txtSampleNumber"), "3");
    EXPECT_EQ(instruction(*form), 2);
    EXPECT_EQ(press(*form), (std::vector<std::string>{"195", "196"}));
    EXPECT_EQ(text(*form, "txtSampleNumber"), "3");
    EXPECT_EQ(instruction(*form), 3);
    EXPECT_FALSE(enabled(*form, "btnTakeData"));
    EXPECT_EQ(text(*form, "txtAverageFlowVelocity"), app::NumberText(app::AverageFlowVelocity));
    EXPECT_NE(text(*form, "txtAverageFlowVelocity"), "0");

    // Restart: a new traverse starts at the next press.
    EXPECT_EQ(sentDuring([&] { click(*form, "btnRestart"); }), std::vector<std::string>{"193 02"});
    EXPECT_EQ(instruction(*form), 0);
    EXPECT_EQ(text(*form, "txtSampleNumber"), "1");
    EXPECT_TRUE(enabled(*form, "btnTakeData"));
    EXPECT_EQ(press(*form), (std::vector<std::string>{"191 03", "193 02", "195"}));

    EXPECT_EQ(sentDuring([&] { form->tmrUpdateFlowVelocity_Timer(); }), std::vector<std::string>{"197"});
    EXPECT_EQ(text(*form, "txtFlowVelocity"), app::NumberText(app::FlowVelocity));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(FlowProfilingTest, OneSampleFetchesTheAverageAtOnce) {
    connectTo("gas_insertion", {{"mode", "edit"}});
    auto form = open();
    type(*form, "txtNumberOfSamples", "1");
    EXPECT_EQ(press(*form), (std::vector<std::string>{"191 01", "193 02", "195", "196"}));
    EXPECT_EQ(text(*form, "txtSampleNumber"), "1");
    EXPECT_EQ(instruction(*form), 3);
    EXPECT_FALSE(enabled(*form, "btnTakeData"));
}

TEST_F(FlowProfilingTest, NumbersOfSamplesThatStartNothing) {
    connectTo("gas_insertion", {{"mode", "edit"}});
    auto form = open();
    for (const char* samples : {"0", "-2"}) {
        type(*form, "txtNumberOfSamples", QString::fromLatin1(samples));
        EXPECT_TRUE(press(*form).empty()) << samples;
        EXPECT_EQ(text(*form, "txtSampleNumber"), "1");
    }
    EXPECT_TRUE(ui.messageBoxes().empty());
    // A number the meter's one-byte count cannot carry, and no number at all.
    const std::pair<const char*, const char*> refused[] = {{"300", "Number of samples must not be above 255."},
                                                           {"abc", "Number of samples must be a number."}};
    for (const auto& [samples, message] : refused) {
        ui.clear();
        type(*form, "txtNumberOfSamples", QString::fromLatin1(samples));
        EXPECT_TRUE(press(*form).empty()) << samples;
        ASSERT_EQ(ui.messageBoxes().size(), 1u);
        EXPECT_EQ(ui.messageBoxes()[0].text, message);
        EXPECT_EQ(ui.messageBoxes()[0].title, "Error");
        EXPECT_EQ(ui.messageBoxes()[0].buttons, platform::vbOKCancel);
    }
}

// A sample the meter did not answer is not counted.
TEST_F(FlowProfilingTest, UnansweredSampleIsNotCounted) {
    connectTo("gas_insertion", {{"mode", "edit"}});
    auto form = open();
    type(*form, "txtNumberOfSamples", "3");
    press(*form);
    sim->silent = true;
    press(*form);
    EXPECT_EQ(text(*form, "txtSampleNumber"), "2");
    EXPECT_EQ(instruction(*form), 1);
    EXPECT_TRUE(boxTexts().contains("No Device Response !")) << boxTexts().join('|').toStdString();
}

// The unanswered sample closed the line; the next press opens it again, so a
// meter that is back takes the sample.
TEST_F(FlowProfilingTest, TheNextPressReachesAMeterThatIsBack) {
    connectTo("gas_insertion", {{"mode", "edit"}});
    auto form = open();
    // The silent meter still runs the tries of the lost sample: room for them.
    type(*form, "txtNumberOfSamples", "10");
    press(*form);
    sim->silent = true;
    press(*form);
    sim->silent = false;
    // The line opened again asks the meter's identifier first.
    EXPECT_EQ(press(*form), (std::vector<std::string>{"0", "195"}));
    EXPECT_EQ(text(*form, "txtSampleNumber"), "3");
    EXPECT_EQ(boxTexts().join('|').toStdString(), "No Device Response !");
}

// The head is adjusted against the live velocity: one the meter did not send
// leaves the box empty, and the closed line adds no further message.
TEST_F(FlowProfilingTest, AVelocityTheMeterDidNotSendIsNotShown) {
    connectTo("gas_insertion", {{"mode", "edit"}});
    auto form = open();
    form->tmrUpdateFlowVelocity_Timer();
    EXPECT_NE(text(*form, "txtFlowVelocity"), "");
    sim->silent = true;
    form->tmrUpdateFlowVelocity_Timer();
    EXPECT_EQ(text(*form, "txtFlowVelocity"), "");
    EXPECT_TRUE(sentDuring([&] { form->tmrUpdateFlowVelocity_Timer(); }).empty());
    EXPECT_EQ(text(*form, "txtFlowVelocity"), "");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

}  // namespace
