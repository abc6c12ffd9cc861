// The shared read/write cycle and the single-value, analog range and menu
// side of the configuration dialogs, against the simulated meter.
#include <QAction>
#include <QLocale>
#include <QMenu>

#include "app/commands/format.h"
#include "app/forms/frmAnalogRangeValues.h"
#include "app/forms/frmPasswordProtected.h"
#include "app/forms/frmPasswordProtection.h"
#include "app/forms/frmPrimaryVariable.h"
#include "app/forms/scalar_forms.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

template <typename Form>
std::unique_ptr<QDialog> make(QWidget* parent) {
    return std::make_unique<Form>(parent);
}

struct Scalar {
    const char* form;
    std::unique_ptr<QDialog> (*open)(QWidget*);
    const char* entry;
    std::string read;  // the read command as sentDuring lists it
    int write;         // the write command
    const char* invalid;
};

const Scalar kScalars[] = {
    {"frmDampingValue", &make<app::frmDampingValue>, "txtDampingValue", "15", 34,
     "Damping value is not a valid numeric value."},
    {"frmKFactor", &make<app::frmKFactor>, "txtKFactorValue", "167", 168,
     "K-Factor value is not a valid numeric value."},
    {"frmPipeID", &make<app::frmPipeID>, "txtPipeID", "208", 209, "Pipe ID is not a valid numeric value."},
    {"frmLowFlowCutoff", &make<app::frmLowFlowCutoff>, "txtLowFlowCutoff", "149", 148,
     "Low Flow Cutoff is not a valid numeric value."},
};

// ---- menu, titles and labels -------------------------------------------------

TEST_F(FormsTest, MenuEntriesOpenTheDialogsWithTheirTitles) {
    connectTo("gas_insertion");
    const std::pair<const char*, const char*> entries[] = {
        {"mnuDampingValue", "  Damping Value"},
        {"mnuKFactor", "  K-Factor"},
        {"mnuPipeID", "  Pipe ID"},
        {"mnuLowFlowCutoff", "  Low Flow Cutoff"},
        {"mnuAnalogRangeValues", "  Analog Range Values"},
        {"mnuPrimaryVariable", "  Primary Variable"},
        {"mnuPasswordProtection", "  Password Protection"},
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
    EXPECT_EQ(ui.busyDepth(), 0);
}

// Every entry box and list is announced by the words a person sees beside it.
TEST_F(FormsTest, EveryEntryAndListHasItsLabel) {
    connectTo("liquid_wafer");
    std::vector<std::unique_ptr<QDialog>> forms;
    for (const Scalar& s : kScalars) forms.push_back(s.open(window.get()));
    forms.push_back(make<app::frmAnalogRangeValues>(window.get()));
    forms.push_back(make<app::frmPrimaryVariable>(window.get()));
    forms.push_back(make<app::frmPasswordProtection>(window.get()));
    forms.push_back(make<app::frmPasswordProtected>(window.get()));
    for (const auto& form : forms) {
        QList<QWidget*> fields;
        for (QLineEdit* edit : form->findChildren<QLineEdit*>())
            if (!edit->parentWidget()->inherits("QComboBox")) fields << edit;
        for (QComboBox* list : form->findChildren<QComboBox*>()) fields << list;
        for (QWidget* field : fields) {
            bool labelled = !field->accessibleName().isEmpty();
            for (QLabel* label : form->findChildren<QLabel*>()) labelled = labelled || label->buddy() == field;
            EXPECT_TRUE(labelled) << form->objectName().toStdString() << " " << field->objectName().toStdString();
        }
    }
    EXPECT_EQ(text(*forms[0], "lblDampingValue"), "Damping Value:");
    EXPECT_EQ(text(*forms[0], "lblDampingValueUnit"), "s");
    EXPECT_EQ(text(*forms[2], "lblPipeID"), "Pipe ID:");
    EXPECT_EQ(text(*forms[2], "lblPipeIDUnit"), "in.");
    EXPECT_EQ(text(*forms[3], "lblLowFlowCutoffUnit"), "Hz");
    for (const char* button : {"btnRead", "btnWrite", "btnCancel"})
        EXPECT_NE(forms[1]->findChild<QAbstractButton*>(QString::fromLatin1(button)), nullptr) << button;
    EXPECT_EQ(caption(*forms[1], "btnCancel"), "Close");
}

// ---- the single-value dialogs --------------------------------------------------

TEST_F(FormsTest, ScalarDialogsShowTheMeterValueAsReadOnOpening) {
    connectTo("liquid_wafer",
              {{"damping", "2.5"}, {"kfactor", "123.4567891"}, {"pipe_id", "2.0669999"}, {"low_flow_cutoff", "3.06"}});
    const char* const shown[] = {"2.5", "123.4568", "2.067", "3.1"};
    for (size_t i = 0; i < std::size(kScalars); ++i) {
        const Scalar& s = kScalars[i];
        std::unique_ptr<QDialog> form;
        EXPECT_EQ(sentDuring([&] { form = s.open(window.get()); }), std::vector<std::string>{s.read}) << s.form;
        EXPECT_EQ(text(*form, s.entry), shown[i]) << s.form;
        EXPECT_EQ(form->objectName(), s.form);
    }
    meterSet("low_flow_cutoff", "3");
    auto form = kScalars[3].open(window.get());
    EXPECT_EQ(text(*form, "txtLowFlowCutoff"), "3");
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(FormsTest, ScalarWriteSendsTheEntryAsFloatAndReadsItBack) {
    connectTo("liquid_wafer", {{"meter_style", "insertion"}});
    const std::pair<const char*, std::string> typed[] = {
        {"2.5", "40200000"}, {"12.5", "41480000"}, {"3.068", "40445A1D"}, {" 4.5 ", "40900000"}};
    const char* const shown[] = {"2.5", "12.5", "3.068", "4.5"};
    for (size_t i = 0; i < std::size(kScalars); ++i) {
        const Scalar& s = kScalars[i];
        auto form = s.open(window.get());
        type(*form, s.entry, QString::fromLatin1(typed[i].first));
        const auto sent = sentDuring([&] { click(*form, "btnWrite"); });
        EXPECT_EQ(sent, (std::vector<std::string>{std::to_string(s.write) + " " + typed[i].second, s.read})) << s.form;
        EXPECT_EQ(text(*form, s.entry), shown[i]) << s.form;
    }
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_GT(ui.busyPointersShown(), 0);
}

TEST_F(FormsTest, ScalarEntriesThatAreNoFloatAreRejectedAndReplacedByTheMeterValue) {
    connectTo("liquid_wafer", {{"meter_style", "insertion"}});
    // 1E+40 passes as a number but no 4-byte float holds it.
    for (const char* entry : {"", "abc", "1.2.3", "1E+40", "-1e39"}) {
        for (const Scalar& s : kScalars) {
            auto form = s.open(window.get());
            const QString meterValue = text(*form, s.entry);
            type(*form, s.entry, QString::fromLatin1(entry));
            ui.clear();
            EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{s.read})
                << s.form << " '" << entry << "'";
            expectOnlyError(QString::fromLatin1(s.invalid));
            EXPECT_EQ(text(*form, s.entry), meterValue);
        }
    }
}

TEST_F(FormsTest, ScalarEntriesFollowTheUserLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    connectTo("liquid_wafer", {{"damping", "1.5"}});
    auto form = kScalars[0].open(window.get());
    EXPECT_EQ(text(*form, "txtDampingValue"), "1,5");
    type(*form, "txtDampingValue", "2,5");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"34 40200000", "15"}));
    type(*form, "txtDampingValue", "2.5");  // not a number where the decimal separator is a comma
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{"15"});
    EXPECT_EQ(boxTexts(), QStringList{"Damping value is not a valid numeric value."});
    QLocale::setDefault(previous);
}

TEST_F(FormsTest, DecliningEditModeSendsNoWriteButReadsBack) {
    connectTo("gas_insertion");
    for (const Scalar& s : kScalars) {
        auto form = s.open(window.get());
        if (!enabled(*form, "btnWrite")) continue;
        type(*form, s.entry, "abc");  // not even checked: the write ends before validation
        ui.clear();
        ui.queueAnswer(platform::vbNo);
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{s.read}) << s.form;
        EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
        EXPECT_NE(text(*form, s.entry), "abc");
    }
    // Yes enters edit mode first, then writes.
    auto form = kScalars[0].open(window.get());
    type(*form, "txtDampingValue", "0.5");
    ui.queueAnswer(platform::vbYes);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }),
              (std::vector<std::string>{"128 F1", "129", "34 3F000000", "15"}));
    EXPECT_EQ(text(*form, "txtDampingValue"), "0.5");
}

TEST_F(FormsTest, ValueTheMeterRefusesIsReplacedByTheOldValue) {
    connectTo("liquid_wafer", {{"write_protect", "1"}});
    auto form = kScalars[3].open(window.get());
    EXPECT_EQ(text(*form, "txtLowFlowCutoff"), "3");
    type(*form, "txtLowFlowCutoff", "5");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), (std::vector<std::string>{"148 40A00000", "149"}));
    EXPECT_EQ(boxTexts(), QStringList{"Error:  Command 148 reports reponse code 7: Write Protected"});
    EXPECT_EQ(text(*form, "txtLowFlowCutoff"), "3");
}

TEST_F(FormsTest, SilentMeterLeavesTheLastValueAndTheNextReadReopensTheLink) {
    connectTo("liquid_wafer");
    auto form = kScalars[0].open(window.get());
    type(*form, "txtDampingValue", "2");
    sim->silent = true;
    click(*form, "btnWrite");
    EXPECT_EQ(boxTexts(), (QStringList{"No Device Response !"}));
    EXPECT_EQ(text(*form, "txtDampingValue"), "1");  // the store's value; the read-back found the link closed
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 0);
    sim->silent = false;
    // Opening the link again identifies the meter (command 0) before the read.
    EXPECT_EQ(sentDuring([&] { click(*form, "btnRead"); }), (std::vector<std::string>{"0", "15"}));
    EXPECT_EQ(app::Fenwire1()->get("cComState"), 1);
}

TEST_F(FormsTest, PipeIDIsWritableOnlyWhereFlowProfilingIs) {
    connectTo("liquid_wafer");  // a wafer meter
    auto wafer = kScalars[2].open(window.get());
    EXPECT_FALSE(enabled(*wafer, "btnWrite"));
    EXPECT_FALSE(enabled(*wafer, "txtPipeID"));
    EXPECT_EQ(sentDuring([&] { click(*wafer, "btnRead"); }), std::vector<std::string>{"208"});
    EXPECT_EQ(text(*wafer, "txtPipeID"), "2.067");

    wafer.reset();  // a child of the window that goes
    connectTo("gas_insertion");
    auto insertion = kScalars[2].open(window.get());
    EXPECT_TRUE(enabled(*insertion, "btnWrite"));
    EXPECT_TRUE(enabled(*insertion, "txtPipeID"));
}

TEST_F(FormsTest, ClosingSendsNothing) {
    connectTo("liquid_wafer");
    for (const Scalar& s : kScalars) {
        auto form = s.open(window.get());
        form->show();
        type(*form, s.entry, "7");
        EXPECT_TRUE(sentDuring([&] { click(*form, "btnCancel"); }).empty());
        EXPECT_FALSE(form->isVisible());
        form->show();
        EXPECT_TRUE(sentDuring([&] { form->close(); }).empty());  // by the window frame
        EXPECT_FALSE(form->isVisible());
    }
    EXPECT_TRUE(ui.messageBoxes().empty());
}

// ---- analog range values ------------------------------------------------------

TEST_F(FormsTest, AnalogRangeShowsPVRangeAndSensorLimits) {
    connectTo("liquid_wafer", {{"range.upper", "123.45678"}, {"range.lower", "1.5"}});
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = make<app::frmAnalogRangeValues>(window.get()); }),
              (std::vector<std::string>{"1", "2", "15", "14"}));
    EXPECT_EQ(text(*form, "lblPVUnit"), app::Fenwire1()->getText("p01sPvUnit"));
    EXPECT_FALSE(text(*form, "lblPVUnit").isEmpty());
    EXPECT_EQ(text(*form, "txtPV"), app::RoundedText(app::Fenwire1()->getFloat("p01Pv"), 1));
    EXPECT_EQ(text(*form, "txtPercentOfRange"), app::RoundedText(app::Fenwire1()->getFloat("p02Percent"), 1));
    EXPECT_EQ(text(*form, "txtUpperRange"), "123.4568");
    EXPECT_EQ(text(*form, "txtLowerRange"), "1.5");
    EXPECT_EQ(text(*form, "txtUpperLimit"), "260");
    EXPECT_EQ(text(*form, "txtLowerLimit"), "0");
    EXPECT_EQ(text(*form, "txtMinimumSpan"), "5");
    for (const char* unit :
         {"lblUpperRangeUnit", "lblLowerRangeUnit", "lblUpperLimitUnit", "lblLowerLimitUnit", "lblMinimumSpanUnits"})
        EXPECT_EQ(text(*form, unit), "US Gal / Min") << unit;
    EXPECT_EQ(text(*form, "lblPercentOfRangeUnit"), "%");
}

TEST_F(FormsTest, AnalogRangeWriteSendsBothValuesInTheRangeUnit) {
    connectTo("gas_insertion");
    ui.queueAnswer(platform::vbYes);  // enter edit mode
    auto form = make<app::frmAnalogRangeValues>(window.get());
    type(*form, "txtUpperRange", "100000");
    type(*form, "txtLowerRange", "200");
    const auto sent = sentDuring([&] { click(*form, "btnWrite"); });
    // Unit 82 (lb/h), upper 100000, lower 200; then everything is read again.
    EXPECT_EQ(sent, (std::vector<std::string>{"128 F1", "129", "35 5247C3500043480000", "1", "2", "15", "14"}));
    EXPECT_EQ(text(*form, "txtUpperRange"), "100000");
    EXPECT_EQ(text(*form, "txtLowerRange"), "200");
    EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
}

TEST_F(FormsTest, AnalogRangeUpperBelowLowerIsSentAndTheMeterRefusalRestoresTheRange) {
    connectTo("liquid_wafer");
    auto form = make<app::frmAnalogRangeValues>(window.get());
    type(*form, "txtUpperRange", "5");
    type(*form, "txtLowerRange", "100");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }),
              (std::vector<std::string>{"35 1040A0000042C80000", "1", "2", "15", "14"}));
    EXPECT_EQ(boxTexts(), QStringList{"Error:  Command 35 reports reponse code 12: Upper range value too low"});
    EXPECT_EQ(text(*form, "txtUpperRange"), "250");
    EXPECT_EQ(text(*form, "txtLowerRange"), "0");
}

TEST_F(FormsTest, AnalogRangeChecksTheLowerEntryFirst) {
    connectTo("liquid_wafer");
    auto form = make<app::frmAnalogRangeValues>(window.get());
    const std::vector<std::string> readOnly = {"1", "2", "15", "14"};
    type(*form, "txtUpperRange", "xyz");
    type(*form, "txtLowerRange", "abc");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), readOnly);
    expectOnlyError("Lower range is not a valid numeric value.");

    ui.clear();
    type(*form, "txtUpperRange", "1e39");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), readOnly);
    expectOnlyError("Upper range is not a valid numeric value.");
    EXPECT_EQ(text(*form, "txtUpperRange"), "250");
}

}  // namespace
