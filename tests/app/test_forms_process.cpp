// The process temperature, process pressure, density and viscosity and
// standard flow dialogs: which sources each meter is offered, the command
// traffic in order, and what is written before an entry is refused.
#include <QAction>
#include <QRadioButton>

#include "app/commands/format.h"
#include "app/forms/process_forms.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

const Sent kTemperatureRead = {"3", "137", "235", "233"};
const Sent kPressureRead = {"3", "241", "239", "252", "184"};
const Sent kDensityRead = {"212", "216", "205", "214", "212"};
const Sent kStandardFlowRead = {"145", "147"};

std::string option(const char* group, int code) { return std::string(group) + "_" + std::to_string(code); }

// The selected option's code ("" when none) and which options are enabled ("1101").
std::string selected(const QWidget& form, const char* group) {
    for (int code = 0;; ++code) {
        auto* button = form.findChild<QRadioButton*>(QString::fromStdString(option(group, code)));
        if (!button) return "";
        if (button->isChecked()) return std::to_string(code);
    }
}
std::string offered(const QWidget& form, const char* group) {
    std::string flags;
    for (int code = 0;; ++code) {
        auto* button = form.findChild<QRadioButton*>(QString::fromStdString(option(group, code)));
        if (!button) return flags;
        flags += button->isEnabled() ? '1' : '0';
    }
}
void choose(const QWidget& form, const char* group, int code) { click(form, option(group, code).c_str()); }

constexpr const char* kTemperatureSource = "rdoProcessTemperatureSource";
constexpr const char* kPressureSource = "rdoProcessPressureSource";
constexpr const char* kDensitySource = "rdoDensityAndViscositySource";

// ---- process temperature -------------------------------------------------------

TEST_F(FormsTest, ProcessTemperatureShowsValueUnitAndSource) {
    connectTo("liquid_wafer");  // temperature sensor, integrated RTD, liquid
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmProcessTemperature>(window.get()); }), kTemperatureRead);
    EXPECT_EQ(text(*form, "txtProcessTemperature"), app::RoundedText(app::Fenwire1()->getFloat("p03Pv3"), 3));
    EXPECT_EQ(text(*form, "cmbProcessTemperatureUnit"), "degF");
    EXPECT_EQ(selected(*form, kTemperatureSource), "0");
    EXPECT_EQ(offered(*form, kTemperatureSource), "1110");  // no steam table on a liquid meter
    EXPECT_EQ(text(*form, "txtUserDefinedTemperature"), "68");
    EXPECT_FALSE(enabled(*form, "txtUserDefinedTemperature"));
    EXPECT_FALSE(enabled(*form, "lblUserDefinedTemperature"));
    EXPECT_EQ(text(*form, "lblUserDefinedTemperatureUnit"), "° F");
    const auto* units = child<QComboBox>(*form, "cmbProcessTemperatureUnit");
    QStringList entries;
    for (int i = 0; i < units->count(); ++i) entries << units->itemText(i) + " " + QString::number(units->itemData(i).toInt());
    EXPECT_EQ(entries, (QStringList{"degC 32", "degF 33", "degR 34", "Kelvin 35"}));

    // Choosing "User Defined" opens its entry; nothing is sent until Write.
    EXPECT_TRUE(sentDuring([&] { choose(*form, kTemperatureSource, 2); }).empty());
    EXPECT_TRUE(enabled(*form, "txtUserDefinedTemperature"));
    EXPECT_TRUE(enabled(*form, "lblUserDefinedTemperature"));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(FormsTest, ProcessTemperatureSourcesFollowTheMeterSensorsAndFluid) {
    connectTo("steam");  // temperature sensor, steam
    EXPECT_EQ(offered(*std::make_unique<app::frmProcessTemperature>(window.get()), kTemperatureSource), "1111");
    // Both sensors fitted: the integrated RTD is there as well.
    connectTo("gas_insertion");
    auto both = std::make_unique<app::frmProcessTemperature>(window.get());
    EXPECT_EQ(offered(*both, kTemperatureSource), "1110");
    EXPECT_EQ(selected(*both, kTemperatureSource), "0");
    both.reset();
    // No sensor: neither RTD.
    connectTo("liquid_wafer", {{"temperature_source", "user_defined"}, {"sensor_option", "none"}});
    auto none = std::make_unique<app::frmProcessTemperature>(window.get());
    EXPECT_EQ(offered(*none, kTemperatureSource), "0010");
    EXPECT_EQ(selected(*none, kTemperatureSource), "2");
    EXPECT_TRUE(enabled(*none, "txtUserDefinedTemperature"));
    none.reset();
    // A pressure sensor only: the integrated RTD is missing.
    connectTo("liquid_wafer", {{"temperature_source", "user_defined"}, {"sensor_option", "pressure"}});
    EXPECT_EQ(offered(*std::make_unique<app::frmProcessTemperature>(window.get()), kTemperatureSource), "0110");
}

TEST_F(FormsTest, ProcessTemperatureWritesUnitAndSourceBeforeCheckingTheValue) {
    connectTo("liquid_wafer");
    auto form = std::make_unique<app::frmProcessTemperature>(window.get());
    child<QComboBox>(*form, "cmbProcessTemperatureUnit")->setCurrentIndex(0);  // degC
    choose(*form, kTemperatureSource, 2);
    type(*form, "txtUserDefinedTemperature", "75");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }),
              then({"53 0420", "234 02", "232 42960000"}, kTemperatureRead));
    EXPECT_EQ(text(*form, "cmbProcessTemperatureUnit"), "degC");
    EXPECT_EQ(selected(*form, kTemperatureSource), "2");
    EXPECT_EQ(text(*form, "txtUserDefinedTemperature"), "75");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    type(*form, "txtUserDefinedTemperature", "x");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), then({"53 0420", "234 02"}, kTemperatureRead));
    expectOnlyError("User Defined Temperature is not a valid numeric value.");
    EXPECT_EQ(text(*form, "txtUserDefinedTemperature"), "75");
}

// ---- process pressure ----------------------------------------------------------

TEST_F(FormsTest, ProcessPressureShowsSourceCalibrationAndAtmosphere) {
    connectTo("liquid_wafer");  // user-defined pressure, input calibrated 0 to 300 psi
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmProcessPressure>(window.get()); }), kPressureRead);
    EXPECT_EQ(text(*form, "txtProcessPressure"), app::RoundedText(app::Fenwire1()->getFloat("p03Pv4"), 0));
    EXPECT_EQ(text(*form, "cmbProcessPressureUnit"), "psi");
    EXPECT_EQ(selected(*form, kPressureSource), "1");
    EXPECT_EQ(offered(*form, kPressureSource), "1101");
    EXPECT_EQ(text(*form, "txtuserDefinedPressure"), "28.8");
    EXPECT_EQ(text(*form, "txtAtmosphericPressure"), "14.696");
    EXPECT_EQ(text(*form, "txt4mAAnalogInput"), "0");
    EXPECT_EQ(text(*form, "txt20mAAnalogInput"), "300");
    const auto calibrationEnabled = [&] {
        std::string flags;
        for (const char* name : {"lbl4mA", "lbl20mA", "txt4mAAnalogInput", "txt20mAAnalogInput"})
            flags += enabled(*form, name) ? '1' : '0';
        return flags;
    };
    EXPECT_TRUE(enabled(*form, "txtuserDefinedPressure"));
    EXPECT_TRUE(enabled(*form, "lblUserDefinedPressure"));
    EXPECT_EQ(calibrationEnabled(), "0000");

    for (int analog : {0, 3}) {
        choose(*form, kPressureSource, analog);
        EXPECT_EQ(calibrationEnabled(), "1111") << analog;
        EXPECT_FALSE(enabled(*form, "txtuserDefinedPressure"));
        EXPECT_TRUE(enabled(*form, "txtAtmosphericPressure"));
    }
    choose(*form, kPressureSource, 2);  // no steam table on a liquid meter: not taken
    EXPECT_EQ(selected(*form, kPressureSource), "3");
    choose(*form, kPressureSource, 1);
    EXPECT_EQ(calibrationEnabled(), "0000");
    EXPECT_TRUE(enabled(*form, "txtuserDefinedPressure"));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
}

TEST_F(FormsTest, ProcessPressureSourcesFollowTheMeterSensorsAndFluid) {
    connectTo("steam");
    auto steam = std::make_unique<app::frmProcessPressure>(window.get());
    EXPECT_EQ(offered(*steam, kPressureSource), "1111");
    EXPECT_EQ(selected(*steam, kPressureSource), "2");
    EXPECT_EQ(text(*steam, "cmbProcessPressureUnit"), "Bar");
    steam.reset();
    connectTo("liquid_wafer", {{"temperature_source", "user_defined"}, {"sensor_option", "none"}});
    EXPECT_EQ(offered(*std::make_unique<app::frmProcessPressure>(window.get()), kPressureSource), "0100");
}

TEST_F(FormsTest, ProcessPressureWritesUnitSourceValuesAndCalibrationInOrder) {
    connectTo("liquid_wafer", {{"sensor_option", "both"}});
    auto form = std::make_unique<app::frmProcessPressure>(window.get());
    child<QComboBox>(*form, "cmbProcessPressureUnit")->setCurrentText("Bar");
    choose(*form, kPressureSource, 0);
    type(*form, "txtuserDefinedPressure", "30");
    type(*form, "txtAtmosphericPressure", "14.7");
    type(*form, "txt4mAAnalogInput", "10");
    type(*form, "txt20mAAnalogInput", "300");
    // Command 158 carries the 20 mA reading first.
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }),
              then({"53 0507", "240 00", "238 41F00000", "253 416B3333", "158 4396000041200000"}, kPressureRead));
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_EQ(text(*form, "cmbProcessPressureUnit"), "Bar");
    EXPECT_EQ(text(*form, "txt4mAAnalogInput"), "10");
    EXPECT_EQ(text(*form, "txt20mAAnalogInput"), "300");
    EXPECT_EQ(text(*form, "txtAtmosphericPressure"), "14.7");
}

TEST_F(FormsTest, ProcessPressureChecksEachEntryAfterWritingTheUnit) {
    connectTo("liquid_wafer");
    auto form = std::make_unique<app::frmProcessPressure>(window.get());
    const std::pair<const char*, const char*> entries[] = {
        {"txtuserDefinedPressure", "User Defined Pressure is not a valid numeric value."},
        {"txt4mAAnalogInput", "Lower calibration point is not a valid numeric value."},
        {"txt20mAAnalogInput", "Upper calibration point is not a valid numeric value."},
        {"txtAtmosphericPressure", "Atmospheric pressure is not a valid numeric value."},
    };
    for (const auto& [entry, message] : entries) {
        type(*form, entry, "1,2,3");
        ui.clear();
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), then({"53 0506"}, kPressureRead)) << entry;
        expectOnlyError(QString::fromLatin1(message));
    }
}

// The user-defined temperature is in degrees F and the pressures in PSI
// whatever display unit command 53 selects, so a unit the meter refuses holds
// none of them back; and a refused value does not hold back the next one.
TEST_F(FormsTest, FixedUnitValuesGoOutWhateverBecomesOfTheUnit) {
    connectTo("liquid_wafer", {{"sensor_option", "both"}});
    auto hot = std::make_unique<app::frmProcessTemperature>(window.get());
    auto* units = child<QComboBox>(*hot, "cmbProcessTemperatureUnit");
    units->addItem(QStringLiteral("unknown"), 250);  // a unit the meter does not know
    units->setCurrentIndex(units->count() - 1);
    choose(*hot, kTemperatureSource, 2);
    type(*hot, "txtUserDefinedTemperature", "75");
    EXPECT_EQ(sentDuring([&] { click(*hot, "btnWrite"); }),
              then({"53 04FA", "234 02", "232 42960000"}, kTemperatureRead));
    EXPECT_EQ(boxTexts().join('|').toStdString(), "Error:  Command 53 reports reponse code 2: Invalid Selection");
    EXPECT_EQ(sim->meter.state().userTemperature, 75.0f);

    ui.clear();
    auto pressure = std::make_unique<app::frmProcessPressure>(window.get());
    units = child<QComboBox>(*pressure, "cmbProcessPressureUnit");
    units->addItem(QStringLiteral("unknown"), 250);
    units->setCurrentIndex(units->count() - 1);
    choose(*pressure, kPressureSource, 0);
    type(*pressure, "txtuserDefinedPressure", "1E30");  // beyond the meter's limit
    type(*pressure, "txtAtmosphericPressure", "14.5");
    type(*pressure, "txt4mAAnalogInput", "10");
    type(*pressure, "txt20mAAnalogInput", "300");
    EXPECT_EQ(sentDuring([&] { click(*pressure, "btnWrite"); }),
              then({"53 05FA", "240 00", "238 7149F2CA", "253 41680000", "158 4396000041200000"}, kPressureRead));
    EXPECT_EQ(boxTexts().join('|').toStdString(),
              "Error:  Command 53 reports reponse code 2: Invalid Selection|"
              "Error:  Command 238 reports reponse code 3: Passed Parameter Too Large");
    EXPECT_EQ(text(*pressure, "txtAtmosphericPressure"), "14.5");
    EXPECT_EQ(text(*pressure, "txt20mAAnalogInput"), "300");
}

TEST_F(FormsTest, ProcessDialogsSendNothingWhenEditModeIsDeclined) {
    connectTo("gas_insertion");
    const std::pair<std::function<std::unique_ptr<QDialog>()>, Sent> dialogs[] = {
        {[&] { return std::make_unique<app::frmProcessTemperature>(window.get()); }, kTemperatureRead},
        {[&] { return std::make_unique<app::frmProcessPressure>(window.get()); }, kPressureRead},
        {[&] { return std::make_unique<app::frmDensityAndViscosity>(window.get()); }, kDensityRead},
        {[&] { return std::make_unique<app::frmStandardFlow>(window.get()); }, kStandardFlowRead},
    };
    for (const auto& [open, read] : dialogs) {
        auto form = open();
        ui.clear();
        ui.queueAnswer(platform::vbNo);
        EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), read) << form->objectName().toStdString();
        EXPECT_EQ(boxTexts(), QStringList{"Meter is not in Edit Mode.  Enter edit mode now?"});
    }
}

// ---- density and viscosity -----------------------------------------------------

TEST_F(FormsTest, DensityAndViscosityShowsValuesTableAndSource) {
    connectTo("gas_insertion");  // property table source
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmDensityAndViscosity>(window.get()); }), kDensityRead);
    EXPECT_EQ(text(*form, "txtPropertyTableName").trimmed(), "COMPRESSED GAS");
    EXPECT_EQ(text(*form, "txtPropertyTableVersionNumber"), "3");
    EXPECT_EQ(text(*form, "txtProcessDensity"), app::NumberText(app::ProcessDensity));
    EXPECT_EQ(text(*form, "txtStandardDensity"), app::NumberText(app::StandardDensity));
    EXPECT_EQ(text(*form, "txtProcessViscosity"), app::NumberText(app::ProcessViscosity));
    EXPECT_EQ(selected(*form, kDensitySource), "0");
    EXPECT_EQ(offered(*form, kDensitySource), "110");
    for (const char* name : {"lblUserDefinedDensity", "lblUserDefinedViscosity", "txtUserDefinedDensity",
                             "txtUserDefinedViscosity"})
        EXPECT_FALSE(enabled(*form, name)) << name;
    choose(*form, kDensitySource, 1);
    for (const char* name : {"lblUserDefinedDensity", "lblUserDefinedViscosity", "txtUserDefinedDensity",
                             "txtUserDefinedViscosity"})
        EXPECT_TRUE(enabled(*form, name)) << name;
    EXPECT_EQ(text(*form, "lblUserDefinedDensityUnit"), "lb/CuFt");
    EXPECT_EQ(text(*form, "lblUserDefinedViscosityUnit"), "cP");

    form.reset();
    connectTo("steam");
    form = std::make_unique<app::frmDensityAndViscosity>(window.get());
    EXPECT_EQ(offered(*form, kDensitySource), "111");
    EXPECT_EQ(selected(*form, kDensitySource), "2");
    EXPECT_EQ(text(*form, "txtPropertyTableName").trimmed(), "SATURATED STEAM");
}

TEST_F(FormsTest, DensityAndViscosityWritesBothValuesThenTheSource) {
    connectTo("liquid_wafer");
    auto form = std::make_unique<app::frmDensityAndViscosity>(window.get());
    choose(*form, kDensitySource, 1);
    type(*form, "txtUserDefinedDensity", "62.4");
    type(*form, "txtUserDefinedViscosity", "1.5");
    // Command 213 carries the viscosity first.
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), then({"213 3FC000004279999A", "215 01"}, kDensityRead));
    EXPECT_EQ(selected(*form, kDensitySource), "1");
    EXPECT_EQ(text(*form, "txtUserDefinedDensity"), "62.4");
    EXPECT_EQ(text(*form, "txtProcessDensity"), "62.4");  // the user-defined values are in use now
    EXPECT_EQ(text(*form, "txtUserDefinedViscosity"), "1.5");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();

    type(*form, "txtUserDefinedDensity", "heavy");
    type(*form, "txtUserDefinedViscosity", "thick");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kDensityRead);
    expectOnlyError("User Defined Density is not a valid numeric value.");
    ui.clear();
    type(*form, "txtUserDefinedViscosity", "thick");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kDensityRead);
    expectOnlyError("User Defined Viscosity is not a valid numeric value.");
}

// ---- standard flow -------------------------------------------------------------

TEST_F(FormsTest, StandardFlowShowsAndWritesTheBaseConditions) {
    connectTo("liquid_wafer", {{"base_temperature", "60.04"}});
    std::unique_ptr<QDialog> form;
    EXPECT_EQ(sentDuring([&] { form = std::make_unique<app::frmStandardFlow>(window.get()); }), kStandardFlowRead);
    EXPECT_EQ(text(*form, "txtBaseTemperature"), "60");
    EXPECT_EQ(text(*form, "txtBasePressure"), "14.696");
    EXPECT_EQ(text(*form, "lblBaseTemperatureUnit"), "°F");
    EXPECT_EQ(text(*form, "lblBasePressureUnit"), "psi");
    type(*form, "txtBaseTemperature", "59");
    type(*form, "txtBasePressure", "15");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), then({"144 426C0000", "146 41700000"}, kStandardFlowRead));
    EXPECT_EQ(text(*form, "txtBaseTemperature"), "59");
    EXPECT_EQ(text(*form, "txtBasePressure"), "15");

    type(*form, "txtBaseTemperature", "");
    type(*form, "txtBasePressure", "");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kStandardFlowRead);
    expectOnlyError("Base Temperature is not a valid numeric value.");
    ui.clear();
    type(*form, "txtBasePressure", "x");
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), kStandardFlowRead);
    expectOnlyError("Base Pressure is not a valid numeric value.");
}

TEST_F(FormsTest, ProcessMenuEntriesOpenTheirDialogs) {
    connectTo("gas_insertion");
    const std::pair<const char*, const char*> entries[] = {
        {"mnuProcessTemperature", "  Process Temperature"},
        {"mnuProcessPressure", "  Process Pressure"},
        {"mnuDensityAndViscosity", "  Density and Viscosity"},
        {"mnuStandardFlow", "  Standard Flow"},
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
}

}  // namespace
