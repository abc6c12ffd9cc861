// The HART interface, burst mode, LCD display and alarm selection dialogs:
// what each shows after a read and what each write sends, in order.
#include <QAction>
#include <QRadioButton>

#include "app/forms/frmHARTInterface.h"
#include "app/forms/output_choice_forms.h"
#include "link/driver/frame.h"
#include "tests/app/test_forms_fixture.h"
#include "tests/support/scripted_meter.h"

namespace {

using namespace formstest;


// Which options of the group `base` are selected, by code ("" when none).
std::string selection(const QWidget& form, const char* base) {
    std::string codes;
    for (int code = 0;; ++code) {
        const std::string name = std::string(base) + "_" + std::to_string(code);
        auto* option = form.findChild<QRadioButton*>(QString::fromStdString(name));
        if (!option) return codes;
        if (option->isChecked()) codes += std::to_string(code);
    }
}

const Sent kInterfaceRead = {"12", "13", "0", "16"};

class HARTInterface : public FormsTest {
protected:
    std::unique_ptr<app::frmHARTInterface> open() { return std::make_unique<app::frmHARTInterface>(window.get()); }
    void enterNewIdentity(const QWidget& form) {
        type(form, "txtMessage", "new message");
        type(form, "txtTag", "FT-102");
        type(form, "txtDescriptor", "LINE 2");
        type(form, "txtDateMonth", "3");
        type(form, "txtDateDay", "14");
        type(form, "txtDateYear", "2021");
        child<QComboBox>(form, "cmbNumberOfPreambles")->setCurrentText("7");
        type(form, "txtFinalAssemblyNumber", "123456");
    }
};

TEST_F(HARTInterface, ReadShowsTheIdentityOfTheMeter) {
    connectTo("liquid_wafer", {{"flags", "0x11"}});
    std::unique_ptr<app::frmHARTInterface> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), kInterfaceRead);
    EXPECT_EQ(text(*form, "txtMessage").trimmed(), "CORVANE VORTEX METER");
    EXPECT_EQ(text(*form, "txtTag").trimmed(), "FT-101");
    EXPECT_EQ(text(*form, "txtDescriptor").trimmed(), "VORTEX FLOW");
    EXPECT_EQ(text(*form, "txtDateMonth"), "1");
    EXPECT_EQ(text(*form, "txtDateDay"), "1");
    EXPECT_EQ(text(*form, "txtDateYear"), "2000");
    EXPECT_EQ(text(*form, "cmbNumberOfPreambles"), "5");
    EXPECT_EQ(text(*form, "txtSpecificCommandRevision"), "1");
    EXPECT_EQ(text(*form, "txtUniversalCommandRevision"), "5");
    EXPECT_EQ(text(*form, "txtDeviceFlag"), "17");
    EXPECT_EQ(text(*form, "txtDeviceID"), QString::number(0x0A1B2C));
    EXPECT_EQ(text(*form, "txtFinalAssemblyNumber"), "100200");
    const auto* preambles = child<QComboBox>(*form, "cmbNumberOfPreambles");
    ASSERT_EQ(preambles->count(), 13);
    for (int i = 0; i < preambles->count(); ++i) EXPECT_EQ(preambles->itemData(i).toInt(), i + 3);
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(HARTInterface, WriteSendsMessageIdentityPreamblesAndAssemblyNumberInOrder) {
    connectTo("liquid_wafer");
    auto form = open();
    enterNewIdentity(*form);
    Sent expected = {"17 3855E03454D3047160820820820820820820820820820820",
                     "18 194B71C32820309385832820820820820820" "0E0379", "59 07", "19 01E240"};
    expected.insert(expected.end(), kInterfaceRead.begin(), kInterfaceRead.end());
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), expected);
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(text(*form, "txtMessage").trimmed(), "NEW MESSAGE");
    EXPECT_EQ(text(*form, "txtTag").trimmed(), "FT-102");
    EXPECT_EQ(text(*form, "txtDateYear"), "2021");
    EXPECT_EQ(text(*form, "cmbNumberOfPreambles"), "7");
    EXPECT_EQ(text(*form, "txtFinalAssemblyNumber"), "123456");
}

TEST_F(HARTInterface, ImpossibleDateStopsAfterTheMessage) {
    connectTo("liquid_wafer");
    auto form = open();
    enterNewIdentity(*form);
    // 30 February, a month 13, a year command 18 cannot carry, a word.
    const std::vector<std::array<const char*, 3>> dates = {
        {"2", "30", "2021"}, {"13", "1", "2021"}, {"1", "1", "1899"}, {"1", "1", "2156"}, {"x", "1", "2021"}};
    for (const auto& [month, day, year] : dates) {
        type(*form, "txtMessage", "new message");
        type(*form, "txtDateMonth", month);
        type(*form, "txtDateDay", day);
        type(*form, "txtDateYear", year);
        ui.clear();
        Sent expected = {"17 3855E03454D3047160820820820820820820820820820820"};
        expected.insert(expected.end(), kInterfaceRead.begin(), kInterfaceRead.end());
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), expected) << month << "/" << day << "/" << year;
        expectOnlyError("Invalid date");
        EXPECT_EQ(text(*form, "txtDateYear"), "2000");  // the meter's date again
        EXPECT_EQ(text(*form, "txtMessage").trimmed(), "NEW MESSAGE");  // the message stayed written
    }
}

TEST_F(HARTInterface, AssemblyNumberThatIsNoWhole24BitNumberSendsNothing) {
    connectTo("liquid_wafer");
    auto form = open();
    for (const char* entry : {"12a", "", "12.5", "-1", "16777216"}) {
        enterNewIdentity(*form);
        type(*form, "txtFinalAssemblyNumber", entry);
        ui.clear();
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kInterfaceRead) << entry;
        expectOnlyError("Final Assembly Number is not a valid numeric value.");
        EXPECT_EQ(text(*form, "txtFinalAssemblyNumber"), "100200");
    }
    enterNewIdentity(*form);
    type(*form, "txtFinalAssemblyNumber", "16777215");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); })[3], "19 FFFFFF");
}

TEST_F(HARTInterface, DecliningEditModeSendsNothing) {
    connectTo("gas_insertion");
    auto form = open();
    enterNewIdentity(*form);
    ui.queueAnswer(platform::vbNo);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kInterfaceRead);
    EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
    EXPECT_EQ(text(*form, "txtTag").trimmed(), "FT-201");
}

TEST_F(HARTInterface, PreambleCountOutsideTheListIsNeitherShownNorWritten) {
    connectTo("liquid_wafer", {{"preambles", "20"}});
    auto form = open();
    EXPECT_EQ(child<QComboBox>(*form, "cmbNumberOfPreambles")->currentIndex(), -1);
    const Sent sent = sentDuring([&] { click(*form, "btnWrite"); });
    ASSERT_EQ(sent.size(), 3 + kInterfaceRead.size());
    EXPECT_EQ(sent[0].substr(0, 3), "17 ");
    EXPECT_EQ(sent[1].substr(0, 3), "18 ");
    EXPECT_EQ(sent[2], "19 018768");  // the meter's own values written back unchanged
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

// ---- burst mode, LCD display, alarm selection ----------------------------------

TEST_F(FormsTest, BurstModeShowsAndWritesFlagAndCommand) {
    connectTo("liquid_wafer", {{"burst_mode", "on"}, {"burst_command", "3"}});
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmBurstMode>(window.get()); }), Sent{"129"});
    EXPECT_TRUE(child<QAbstractButton>(*form, "chkBurstModeSelection")->isChecked());
    EXPECT_EQ(selection(*form, "rdoCommandNumber"), "2");

    click(*form, "rdoCommandNumber_0");
    click(*form, "chkBurstModeSelection");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (Sent{"108 01", "109 00", "129"}));
    EXPECT_FALSE(child<QAbstractButton>(*form, "chkBurstModeSelection")->isChecked());
    EXPECT_EQ(selection(*form, "rdoCommandNumber"), "0");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(FormsTest, BurstIsTurnedOnOnlyWithACommandTheMeterTook) {
    connectTo("liquid_wafer", {{"burst_mode", "off"}, {"write_protect", "1"}});
    const QString refused = "Error:  Command %1 reports reponse code 7: Write Protected";
    auto form = std::make_unique<app::frmBurstMode>(window.get());
    click(*form, "rdoCommandNumber_0");
    click(*form, "chkBurstModeSelection");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (Sent{"108 01", "129"}));
    EXPECT_EQ(boxTexts(), QStringList{refused.arg(108)});
    EXPECT_FALSE(child<QAbstractButton>(*form, "chkBurstModeSelection")->isChecked());

    // Turning burst off goes out whatever became of the command.
    meterSet("burst_mode", "on");
    click(*form, "btnRead");
    ASSERT_TRUE(child<QAbstractButton>(*form, "chkBurstModeSelection")->isChecked());
    click(*form, "chkBurstModeSelection");
    ui.clear();
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (Sent{"108 01", "109 00", "129"}));
    EXPECT_EQ(boxTexts(), (QStringList{refused.arg(108), refused.arg(109)}));
}

TEST_F(FormsTest, LCDDisplayOffersTotalizerModesOnlyForAFlow) {
    connectTo("gas_insertion");  // mass flow, mode 5
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmLCDDisplay>(window.get()); }), (Sent{"164", "50"}));
    EXPECT_EQ(selection(*form, "rdoDisplayMode"), "5");
    for (int code = 0; code < 6; ++code) EXPECT_TRUE(enabled(*form, ("rdoDisplayMode_" + std::to_string(code)).c_str()));
    EXPECT_EQ(caption(*form, "rdoDisplayMode_5"), "Alternating PV & Totalizer");

    form.reset();
    connectTo("liquid_wafer", {{"primary_variable", "temperature"}, {"display_option", "lcd"}, {"lcd_mode", "3"}});
    form = std::make_unique<app::frmLCDDisplay>(window.get());
    EXPECT_EQ(selection(*form, "rdoDisplayMode"), "3");
    const bool offered[] = {true, true, false, true, true, false};
    for (int code = 0; code < 6; ++code)
        EXPECT_EQ(enabled(*form, ("rdoDisplayMode_" + std::to_string(code)).c_str()), offered[code]) << code;
    click(*form, "rdoDisplayMode_1");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (Sent{"163 01", "164", "50"}));
    EXPECT_EQ(selection(*form, "rdoDisplayMode"), "1");
}

TEST_F(FormsTest, AlarmSelectionShowsAndWritesTheLevel) {
    connectTo("liquid_wafer", {{"alarm_selection", "1"}});
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmAlarmSelection>(window.get()); }), Sent{"250"});
    EXPECT_EQ(selection(*form, "rdoAlarmCurrentLevel"), "1");
    EXPECT_EQ(caption(*form, "rdoAlarmCurrentLevel_0"), "High (21.75 mA)");
    click(*form, "rdoAlarmCurrentLevel_0");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (Sent{"251 00", "250"}));
    EXPECT_EQ(selection(*form, "rdoAlarmCurrentLevel"), "0");
    click(*form, "rdoAlarmCurrentLevel_1");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (Sent{"251 01", "250"}));
}

TEST_F(FormsTest, ChoiceDialogsSendNoWriteWhenEditModeIsDeclined) {
    connectTo("gas_insertion");
    const std::pair<std::function<std::unique_ptr<QDialog>()>, Sent> dialogs[] = {
        {[&] { return std::make_unique<app::frmBurstMode>(window.get()); }, Sent{"129"}},
        {[&] { return std::make_unique<app::frmLCDDisplay>(window.get()); }, Sent{"164", "50"}},
        {[&] { return std::make_unique<app::frmAlarmSelection>(window.get()); }, Sent{"250"}},
    };
    for (const auto& [open, read] : dialogs) {
        auto form = open();
        ui.clear();
        ui.queueAnswer(platform::vbNo);
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), read) << form->objectName().toStdString();
        EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
    }
}

// The requests a scripted meter received, as "command data-hex".
Sent requestsTo(const testsupport::ScriptedMeter& meter) {
    Sent sent;
    wendrel::FrameParser parser([&](const wendrel::ParsedFrame& f) {
        std::string entry = std::to_string(f.frame.command);
        if (!f.frame.data.empty()) entry += " " + hexOf(f.frame.data);
        sent.push_back(entry);
    });
    for (const auto& chunk : meter.line.written()) parser.feed(chunk);
    return sent;
}

// Codes no option stands for: burst command 0, display mode 7, alarm level 2.
TEST_F(FormsTest, CodesWithoutAnOptionLeaveNothingFalseSelected) {
    testsupport::ScriptedMeter meter;
    meter.script(0, "FE 3D 01 05 05 01 0C 08 00 0A 1B 2C");
    meter.script(129, "F1 01 00 00 00 00");  // edit mode, burst on, burst command 0
    // Opened before Connect, the first dialog reads the meter's mode and options first.
    meter.script(137, "000000000000000000000000 00 01 00 01");
    meter.script(164, "07");
    meter.script(50, "00 06 04 05");
    meter.script(250, "02");
    for (int write : {108, 109, 163, 251}) meter.script(write, "00");
    auto main = std::make_unique<app::frmMain>(testsupport::linkedFenwireApi());
    app::Fenwire1()->put("cComMode", 2);
    main->EditMode = true;

    auto burst = std::make_unique<app::frmBurstMode>(main.get());
    EXPECT_EQ(selection(*burst, "rdoCommandNumber"), "");
    click(*burst, "btnWrite");
    auto lcd = std::make_unique<app::frmLCDDisplay>(main.get());
    EXPECT_EQ(selection(*lcd, "rdoDisplayMode"), "");
    click(*lcd, "btnWrite");
    auto alarm = std::make_unique<app::frmAlarmSelection>(main.get());
    EXPECT_EQ(selection(*alarm, "rdoAlarmCurrentLevel"), "");
    click(*alarm, "btnWrite");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    // Burst command 0 is written as it stands; no display mode and no alarm level is made up.
    EXPECT_EQ(requestsTo(meter),
              (Sent{"0", "129", "137", "129", "108 00", "109 01", "129", "164", "50", "164", "50", "250", "250"}));

    // A selection from an earlier read stays when the meter later reports a code without an option.
    meter.script(250, "01");
    click(*alarm, "btnRead");
    meter.script(250, "02");
    click(*alarm, "btnRead");
    EXPECT_EQ(selection(*alarm, "rdoAlarmCurrentLevel"), "1");
    burst.reset();
    lcd.reset();
    alarm.reset();
    main.reset();
}

}  // namespace

namespace {

using namespace formstest;

TEST_F(FormsTest, InterfaceAndOutputChoiceMenuEntriesOpenTheirDialogs) {
    connectTo("gas_insertion");
    const std::pair<const char*, const char*> entries[] = {
        {"mnuHARTInterface", "  HART Interface"},
        {"mnuBurstMode", "  Burst Mode"},
        {"mnuLCDDisplay", "  LCD Display"},
        {"mnuAlarmSelection", "  Alarm Selection"},
    };
    for (const auto& [entry, title] : entries) {
        QAction* action = child<QAction>(*window, entry);
        ASSERT_TRUE(action->isEnabled()) << entry;
        ui.queueDialogResult(QDialog::Rejected);
        action->trigger();
        ASSERT_FALSE(ui.dialogs().empty()) << entry;
        EXPECT_EQ(ui.dialogs().back().title, title);
        EXPECT_EQ(ui.dialogs().back().objectName, QString::fromLatin1(entry).replace("mnu", "frm"));
    }
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    // A meter without a display: its entry stays disabled.
    connectTo("liquid_wafer");
    EXPECT_FALSE(child<QAction>(*window, "mnuLCDDisplay")->isEnabled());
}

}  // namespace
