// Flow data and the digital pots against the simulated meter.
#include <QAction>
#include <QPointer>
#include <QTimer>

#include "app/commands/format.h"
#include "app/tools/frmCalibration.h"
#include "app/tools/frmDigitalPotDisplay.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

class FlowDataTest : public FormsTest {};

TEST_F(FlowDataTest, RefreshesUntilClosed) {
    connectTo("liquid_wafer", {{"primary_variable", "velocity"}});
    auto form = std::make_unique<app::frmCalibration>(window.get());
    EXPECT_EQ(form->windowTitle(), "  Flow Data");
    EXPECT_EQ(text(*form, "PVLabel"), "PV (Velocity):");
    EXPECT_EQ(text(*form, "txtReynolds"), "0");
    QTimer& first = *child<QTimer>(*form, "Timer1");
    EXPECT_TRUE(first.isActive());
    EXPECT_EQ(first.interval(), 500);

    form->show();
    // Close from inside the loop once two refreshes went out.
    QTimer closer;
    size_t refreshes = 0;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        refreshes = 0;
        for (const auto& request : sim->meter.requestLog()) refreshes += request.command == 180;
        if (refreshes >= 2) click(*form, "btnClose");
    });
    closer.start(1);
    const auto sent = sentDuring([&] { form->Timer1_Timer(); });
    closer.stop();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(first.isActive());
    ASSERT_GE(sent.size(), 4u);
    for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(sent[i], i % 2 == 0 ? "3" : "180") << i;
    EXPECT_EQ(text(*form, "txtReynolds"), app::NumberText(app::Reynolds));
    EXPECT_EQ(text(*form, "txtStrouhal"), app::NumberText(app::Strouhal));
    EXPECT_EQ(text(*form, "txtMissingPulses"), QString::number(app::MissingPulses));
    EXPECT_EQ(text(*form, "txtPV"), app::RoundedText(app::Fenwire1()->getFloat("p03Pv1"), 4));
}

// A meter that stops answering ends the loop after one message.
TEST_F(FlowDataTest, SilentMeterEndsTheRefresh) {
    connectTo("liquid_wafer");
    auto form = std::make_unique<app::frmCalibration>(window.get());
    form->show();
    sim->silent = true;
    form->Timer1_Timer();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

// The label does not name a primary variable the meter did not report.
TEST_F(FlowDataTest, SilentMeterLeavesThePrimaryVariableUnnamed) {
    connectTo("liquid_wafer", {{"primary_variable", "velocity"}});
    std::make_unique<app::frmCalibration>(window.get()).reset();
    sim->silent = true;
    auto form = std::make_unique<app::frmCalibration>(window.get());
    EXPECT_EQ(text(*form, "PVLabel"), "PV");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});
}

class DigitalPotsTest : public FormsTest {
protected:
    std::unique_ptr<app::frmDigitalPotDisplay> open() {
        return std::make_unique<app::frmDigitalPotDisplay>(window.get());
    }
    // Whether a control lies inside the form's client area.
    static bool inView(const QWidget& form, const char* name) {
        const QWidget* control = child<QWidget>(form, name);
        return control->mapTo(&form, QPoint(0, control->height())).y() <= form.height();
    }
    static const inline std::string kWriteCode = "435652";  // the first bytes of the fixed code
};

TEST_F(DigitalPotsTest, FormSizeFollowsTheSoftwareRevision) {
    connectTo("liquid_wafer", {{"software_revision", "16"}});
    std::unique_ptr<app::frmDigitalPotDisplay> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), std::vector<std::string>{"231"});
    EXPECT_EQ(form->windowTitle(), "  Digital Pot Settings");
    EXPECT_EQ(text(*form, "txtUAH"), "40");
    EXPECT_EQ(text(*form, "txtFAH"), "60");
    EXPECT_TRUE(inView(*form, "btnRead"));
    EXPECT_TRUE(inView(*form, "txtUAH"));
    EXPECT_FALSE(inView(*form, "btnWrite"));
    EXPECT_FALSE(inView(*form, "txtFAH"));

    form.reset();
    connectTo("liquid_wafer", {{"software_revision", "17"}});
    form = open();
    for (const char* name : {"btnRead", "txtUAH", "txtFAH", "btnWrite", "btnClose"})
        EXPECT_TRUE(inView(*form, name)) << name;
}

TEST_F(DigitalPotsTest, WriteAtLevelTwoAsksForNoAccess) {
    connectTo("liquid_wafer", {{"mode", "edit"}, {"access_level", "2"}});
    auto form = open();
    type(*form, "txtUAH", "12");
    type(*form, "txtFAH", "200");
    const auto sent = sentDuring([&] { click(*form, "btnWrite"); });
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].substr(0, 14), "230 0CC8" + kWriteCode);
    EXPECT_EQ(sent[1], "231");
    EXPECT_EQ(sim->meter.state().digitalPots[0], 12);
    EXPECT_EQ(sim->meter.state().digitalPots[1], 200);
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

// The access code packed: "7KDW".
TEST_F(DigitalPotsTest, WriteObtainsLevelTwoFirst) {
    connectTo("liquid_wafer", {{"mode", "edit"}});
    auto form = open();
    type(*form, "txtUAH", "50");
    const auto sent = sentDuring([&] { click(*form, "btnWrite"); });
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], "129");
    EXPECT_EQ(sent[1], "248 02DCB117");
    EXPECT_EQ(sent[2], "129");
    EXPECT_EQ(sent[3].substr(0, 14), "230 323C" + kWriteCode);
    EXPECT_EQ(sent[4], "231");
    EXPECT_EQ(window->AccessLevel, 2);
    EXPECT_FALSE(window->InService);
    EXPECT_TRUE(window->EditMode);
    EXPECT_TRUE(lampOn("ledEditMode"));
    EXPECT_FALSE(lampOn("ledOnline"));
    EXPECT_EQ(text(*form, "txtUAH"), "50");
}

TEST_F(DigitalPotsTest, RefusedAccessWritesNothing) {
    connectTo("liquid_wafer", {{"mode", "edit"}, {"service_access_code", "ZZZZ"}});
    auto form = open();
    type(*form, "txtUAH", "50");
    const auto sent = sentDuring([&] { click(*form, "btnWrite"); });
    EXPECT_EQ(sent, (std::vector<std::string>{"129", "248 02DCB117", "129", "231"}));
    EXPECT_EQ(sim->meter.state().digitalPots[0], 40);
    EXPECT_EQ(text(*form, "txtUAH"), "40");  // the meter's value again
    EXPECT_NE(window->AccessLevel, 2);
}

TEST_F(DigitalPotsTest, EntriesThatAreNoByteAreRefused) {
    connectTo("liquid_wafer", {{"mode", "edit"}, {"access_level", "2"}});
    auto form = open();
    const std::tuple<const char*, const char*, QString> entries[] = {
        {"abc", "60", "Unfiltered hysteresis is not a valid numeric value."},
        {"40", "", "Filter hysteresis is not a valid numeric value."},
        {"256", "60", "Unfiltered hysteresis must be from 0 to 255."},
        {"40", "-1", "Filter hysteresis must be from 0 to 255."},
    };
    for (const auto& [unfiltered, filtered, message] : entries) {
        ui.clear();
        type(*form, "txtUAH", QString::fromLatin1(unfiltered));
        type(*form, "txtFAH", QString::fromLatin1(filtered));
        EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty()) << message.toStdString();
        expectOnlyError(message);
    }
    EXPECT_EQ(sim->meter.state().digitalPots[0], 40);
}

// Pots the meter did not send show as empty boxes, which Write refuses:
// nothing that was never read goes back to the meter.
TEST_F(DigitalPotsTest, PotsTheMeterDidNotSendAreNeitherShownNorWritten) {
    connectTo("liquid_wafer", {{"mode", "edit"}, {"access_level", "2"}});
    sim->silent = true;
    auto form = open();
    EXPECT_EQ(text(*form, "txtUAH"), "");
    EXPECT_EQ(text(*form, "txtFAH"), "");
    EXPECT_EQ(boxTexts(), QStringList{"No Device Response !"});

    sim->silent = false;
    ui.clear();
    for (const std::string& request : sentDuring([&] { click(*form, "btnWrite"); }))
        EXPECT_NE(request.substr(0, 3), "230") << request;
    expectOnlyError("Unfiltered hysteresis is not a valid numeric value.");
    EXPECT_EQ(sim->meter.state().digitalPots[0], 40);

    // A Read or a Write whose read-back goes unanswered empties the boxes
    // rather than leave entries that look like the meter's.
    for (const char* button : {"btnRead", "btnWrite"}) {
        sim->silent = false;
        click(*form, "btnRead");
        ASSERT_EQ(text(*form, "txtUAH"), "40");
        type(*form, "txtUAH", "50");
        sim->silent = true;
        ui.clear();
        click(*form, button);
        EXPECT_EQ(text(*form, "txtUAH"), "") << button;
        EXPECT_EQ(text(*form, "txtFAH"), "") << button;
        EXPECT_TRUE(boxTexts().contains("No Device Response !")) << button;
    }
}

// The flow data entry starts a live loop, so only its being enabled is checked here.
TEST_F(DigitalPotsTest, MenuEntriesAreEnabledAndOpenThePots) {
    connectTo("liquid_wafer");
    EXPECT_TRUE(child<QAction>(*window, "mnuFlowData")->isEnabled());
    QAction* pots = child<QAction>(*window, "mnuDigitalPots");
    ASSERT_TRUE(pots->isEnabled());
    ui.queueDialogResult(QDialog::Rejected);
    pots->trigger();
    ASSERT_FALSE(ui.dialogs().empty());
    EXPECT_EQ(ui.dialogs().back().title, "  Digital Pot Settings");
}

}  // namespace
