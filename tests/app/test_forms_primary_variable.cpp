// The primary variable dialog: option buttons by variable code, unit lists
// with their HART codes, and what a write sends.
#include <QRadioButton>

#include "app/forms/frmPrimaryVariable.h"
#include "link/driver/frame.h"
#include "tests/app/test_forms_fixture.h"
#include "tests/support/scripted_meter.h"

namespace {

using namespace formstest;

// "text code" of each entry of a unit list, in order.
QStringList entries(const QWidget& form, const char* list) {
    QStringList out;
    const auto* box = child<QComboBox>(form, list);
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i) + " " + QString::number(box->itemData(i).toInt());
    return out;
}

bool chosen(const QWidget& form, int code) {
    return child<QRadioButton>(form, ("rdoPrimaryVariable_" + std::to_string(code)).c_str())->isChecked();
}

void choose(const QWidget& form, int code) { click(form, ("rdoPrimaryVariable_" + std::to_string(code)).c_str()); }

const char* list(int code) {
    static const char* const names[] = {"cmbPrimaryValueUnit_0", "cmbPrimaryValueUnit_1", "cmbPrimaryValueUnit_2",
                                        "cmbPrimaryValueUnit_3", "cmbPrimaryValueUnit_4", "cmbPrimaryValueUnit_5"};
    return names[code];
}

class PrimaryVariable : public FormsTest {
protected:
    std::unique_ptr<app::frmPrimaryVariable> open() { return std::make_unique<app::frmPrimaryVariable>(window.get()); }
};

TEST_F(PrimaryVariable, ReadSelectsTheMeterVariableAndUnits) {
    connectTo("liquid_wafer");
    std::unique_ptr<app::frmPrimaryVariable> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), (std::vector<std::string>{"50", "1", "3"}));
    EXPECT_TRUE(chosen(*form, 0));
    EXPECT_EQ(text(*form, list(0)), "US GP/min");
    EXPECT_EQ(text(*form, list(4)), "DegF");
    EXPECT_EQ(text(*form, list(5)), "psi");
    for (int code : {1, 2, 3}) EXPECT_EQ(child<QComboBox>(*form, list(code))->currentIndex(), -1) << code;
    // The flow and velocity lists follow their option; temperature and pressure stay enabled.
    const bool expectedEnabled[] = {true, false, false, false, true, true};
    for (int code = 0; code < 6; ++code) EXPECT_EQ(enabled(*form, list(code)), expectedEnabled[code]) << code;
    EXPECT_EQ(text(*form, "lblSheddingFrequencyUnit"), "Hz");
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(PrimaryVariable, UnitListsInTheirOrder) {
    connectTo("liquid_wafer", {{"software_revision", "11"}});
    auto form = open();
    EXPECT_EQ(entries(*form, list(0)), (QStringList{"ft3/min 15",
                                                    "US GP/min 16",
                                                    "l/min 17",
                                                    "UK GP/min 18",
                                                    "m3/h 19",
                                                    "US GP/sec 22",
                                                    "Million US GP/day 23",
                                                    "l/s 24",
                                                    "Million l/day 25",
                                                    "ft3/sec 26",
                                                    "ft3/day 27",
                                                    "m3/sec 28",
                                                    "m3/day 29",
                                                    "UK GP/h 30",
                                                    "UK GP/day 31",
                                                    "ft3/h 130",
                                                    "m3/min 131",
                                                    "US GP/h 136",
                                                    "UK GP/sec 137",
                                                    "l/h 138",
                                                    "US GP/day 235"}));
    EXPECT_EQ(entries(*form, list(1)).size(), 14);
    EXPECT_EQ(entries(*form, list(1)).back(), "ShortTon/day 86");
    EXPECT_EQ(entries(*form, list(2)), (QStringList{"ft3/min 15", "l/min 17", "m3/h 19", "l/s 24", "ft3/day 27",
                                                    "m3/day 29", "ft3/h 130", "m3/min 131"}));
    EXPECT_EQ(entries(*form, list(3)),
              (QStringList{"f/s 20", "f/min 116", "m/s 21", "m/hr 120", "in/s 114", "in/min 115"}));
    EXPECT_EQ(entries(*form, list(4)), (QStringList{"DegC 32", "DegF 33", "Deg R 34", "Deg K 35"}));
    EXPECT_EQ(entries(*form, list(5)), (QStringList{"Kg/sqcm 10", "kPa 12", "MPa 237", "psi 6", "Bar 7"}));

    form.reset();  // a child of the window that goes
    connectTo("liquid_wafer", {{"software_revision", "10"}});
    EXPECT_EQ(entries(*open(), list(3)), (QStringList{"f/s 20", "f/min 116"}));
}

TEST_F(PrimaryVariable, ChoosingAVariableSelectsAUnitAndEnablesOnlyItsList) {
    connectTo("liquid_wafer");
    auto form = open();
    EXPECT_TRUE(sentDuring([&] { choose(*form, 1); }).empty());
    EXPECT_EQ(text(*form, list(1)), "kg/s");
    const bool massEnabled[] = {false, true, false, false, true, true};
    for (int code = 0; code < 6; ++code) EXPECT_EQ(enabled(*form, list(code)), massEnabled[code]) << code;
    choose(*form, 5);
    for (int code = 0; code < 4; ++code) EXPECT_FALSE(enabled(*form, list(code))) << code;
    EXPECT_EQ(text(*form, list(5)), "psi");  // kept: it had a selection
    choose(*form, 0);
    EXPECT_EQ(text(*form, list(0)), "US GP/min");
}

TEST_F(PrimaryVariable, WriteSendsTheVariableAndTheChosenUnit) {
    connectTo("liquid_wafer");
    auto form = open();
    choose(*form, 1);
    child<QComboBox>(*form, list(1))->setCurrentIndex(9);  // lb/hr
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }),
              (std::vector<std::string>{"130 01", "44 52", "50", "1", "3"}));
    EXPECT_TRUE(chosen(*form, 1));
    EXPECT_EQ(text(*form, list(1)), "lb/hr");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

// A variable the meter refused is not followed by its unit: the meter kept
// the variable it had, and that one's unit stays as it is.
TEST_F(PrimaryVariable, ARefusedVariableIsNotFollowedByItsUnit) {
    connectTo("liquid_wafer", {{"write_protect", "1"}});
    auto form = open();
    choose(*form, 1);
    child<QComboBox>(*form, list(1))->setCurrentIndex(9);  // lb/hr
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"130 01", "50", "1", "3"}));
    EXPECT_EQ(boxTexts().join('|').toStdString(), "Error:  Command 130 reports reponse code 7: Write Protected");
    EXPECT_TRUE(chosen(*form, 0));  // the meter's variable again
}

TEST_F(PrimaryVariable, SheddingFrequencyIsWrittenWithoutUnit) {
    connectTo("liquid_wafer");
    auto form = open();
    choose(*form, 6);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"130 06", "50", "3"}));
    EXPECT_TRUE(chosen(*form, 6));
    for (int code = 0; code < 4; ++code) EXPECT_FALSE(enabled(*form, list(code))) << code;
}

TEST_F(PrimaryVariable, DecliningEditModeSendsNothingButReadsBack) {
    connectTo("gas_insertion");
    auto form = open();
    EXPECT_TRUE(chosen(*form, 1));
    EXPECT_EQ(text(*form, list(1)), "lb/hr");
    choose(*form, 0);
    ui.queueAnswer(platform::vbNo);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"50", "1", "3"}));
    EXPECT_TRUE(chosen(*form, 1));
    EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
}

TEST_F(PrimaryVariable, UnitTheListLacksLeavesTheSelectionWithoutError) {
    // Before software revision 11 the velocity list has no m/s.
    connectTo("older_meter", {{"primary_variable", "velocity"}, {"velocity.unit", "21"}});
    auto form = open();
    EXPECT_TRUE(chosen(*form, 3));
    EXPECT_EQ(text(*form, list(3)), "f/s");  // selected when the read chose velocity
    EXPECT_TRUE(enabled(*form, list(3)));
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(PrimaryVariable, CloseRefreshesTheMainWindowButTheFrameDoesNot) {
    connectTo("liquid_wafer");
    auto form = open();
    form->show();
    EXPECT_TRUE(sentDuring([&] { form->close(); }).empty());
    form->show();
    EXPECT_EQ(sentDuring([&] { click(*form, "btnCancel"); }), (std::vector<std::string>{"2", "50", "3"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ui.busyDepth(), 0);
}

// The commands of every frame the master wrote to a scripted meter.
std::vector<int> commandsWritten(const testsupport::ScriptedMeter& meter) {
    std::vector<int> commands;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) { commands.push_back(f.frame.command); });
    for (const auto& chunk : meter.line.written()) parser.feed(chunk);
    return commands;
}

TEST_F(PrimaryVariable, CodeAboveSixShowsNoChoiceAndWritesNothing) {
    testsupport::ScriptedMeter meter;
    meter.script(0, "FE 3D 01 05 05 01 0C 08 00 0A 1B 2C");
    // Opened before Connect, the dialog reads the meter's mode and options first.
    meter.script(129, "F1 00 00 00 00 00");
    meter.script(137, "000000000000000000000000 00 01 00 01");
    meter.script(50, "07 06 04 05");
    // Current, then PV, SV, TV (DegC) and QV (Bar) with their units.
    meter.script(3, "41400000 10 42C80000 26 42480000 20 41A00000 07 40400000");
    auto main = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
    app::Fenwire1()->put("cComMode", 2);
    main->EditMode = true;
    auto form = std::make_unique<app::frmPrimaryVariable>(main.get());
    for (int code = 0; code <= 6; ++code) EXPECT_FALSE(chosen(*form, code)) << code;
    for (int code = 0; code < 4; ++code) EXPECT_FALSE(enabled(*form, list(code))) << code;
    EXPECT_EQ(text(*form, list(4)), "DegC");
    EXPECT_EQ(text(*form, list(5)), "Bar");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    click(*form, "btnWrite");
    expectOnlyError("Primary Variable is not selected.");
    const std::vector<int> commands = commandsWritten(meter);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 130), 0);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 44), 0);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 50), 2);  // opening and the read-back

    // Choosing one makes the dialog writable again.
    choose(*form, 6);
    meter.script(130, "06");
    ui.clear();
    click(*form, "btnWrite");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    const std::vector<int> after = commandsWritten(meter);
    EXPECT_EQ(std::count(after.begin(), after.end(), 130), 1);
    form.reset();
    main.reset();
}

}  // namespace
