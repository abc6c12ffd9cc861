#include "app/forms/process_forms.h"

#include <QComboBox>
#include <QRadioButton>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/forms/unit_list.h"
#include "app/shell/frmMain.h"
#include "ui_frmDensityAndViscosity.h"
#include "ui_frmProcessPressure.h"
#include "ui_frmProcessTemperature.h"
#include "ui_frmStandardFlow.h"
#include "platform/fit.h"

namespace app {

namespace {

// Device variables whose unit command 53 sets.
constexpr uint8_t kTemperatureVariable = 4;
constexpr uint8_t kPressureVariable = 5;

constexpr int kNoSensor = 0;
constexpr int kTemperatureSensorBit = 1;  // sensor options: 1 temperature, 2 pressure, 3 both

namespace temperature {
constexpr int kIntegratedRTD = 0;
constexpr int kExternalRTD = 1;
constexpr int kUserDefined = 2;
constexpr int kSteamTable = 3;
}  // namespace temperature

namespace pressure {
constexpr int kAnalogAbsolute = 0;
constexpr int kUserDefined = 1;
constexpr int kSteamTable = 2;
constexpr int kAnalogGauge = 3;
}  // namespace pressure

namespace density {
constexpr int kUserDefined = 1;
constexpr int kSteamTable = 2;
}  // namespace density

constexpr int kProcessTemperaturePlaces = 3;
constexpr int kBaseTemperaturePlaces = 1;

const std::vector<UnitChoice> kTemperatureUnits = {{"degC", 32}, {"degF", 33}, {"degR", 34}, {"Kelvin", 35}};

// The sensor option and steam facts the main window took at connection.
int ConnectedSensorOption() {
    const frmMain* main = MainWindow();
    return main ? main->SensorOption : kNoSensor;
}
bool ConnectedToSteamMeter() {
    const frmMain* main = MainWindow();
    return main && main->SteamMeter;
}

}  // namespace

// ---- process temperature -------------------------------------------------------

frmProcessTemperature::frmProcessTemperature(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmProcessTemperature>()) {
    ui->setupUi(this);
    AddUnits(*ui->cmbProcessTemperatureUnit, kTemperatureUnits);
    ui->cmbProcessTemperatureUnit->setCurrentIndex(-1);  // until a read finds the meter's unit
    rdoProcessTemperatureSource.emplace(*this, "rdoProcessTemperatureSource");
    rdoProcessTemperatureSource->OnSelectionChanged([this](int source) { EnableUserDefinedFor(source); });
    EnableUserDefinedFor(rdoProcessTemperatureSource->Selected());
    Open();
}

frmProcessTemperature::~frmProcessTemperature() = default;

void frmProcessTemperature::EnableUserDefinedFor(int source) {
    ui->lblUserDefinedTemperature->setEnabled(source == temperature::kUserDefined);
    ui->txtUserDefinedTemperature->setEnabled(source == temperature::kUserDefined);
}

void frmProcessTemperature::BeforeFirstRead() {
    if (ConnectedSensorOption() == kNoSensor) {
        rdoProcessTemperatureSource->option(temperature::kIntegratedRTD).setEnabled(false);
        rdoProcessTemperatureSource->option(temperature::kExternalRTD).setEnabled(false);
    }
}

void frmProcessTemperature::ReadRoutine() {
    if (FenwireControl* fenwire = Fenwire1()) {
        SendAction3();
        ui->txtProcessTemperature->setText(RoundedText(fenwire->getFloat("p03Pv3"), kProcessTemperaturePlaces));
        SelectUnit(*ui->cmbProcessTemperatureUnit, fenwire->get("p03Pv3Unit"));
    }
    SendCmd137();
    // The integrated RTD is the temperature sensor, fitted alone or with the pressure sensor.
    rdoProcessTemperatureSource->option(temperature::kIntegratedRTD)
        .setEnabled((SensorOption & kTemperatureSensorBit) != 0);
    rdoProcessTemperatureSource->option(temperature::kSteamTable).setEnabled(ConnectedToSteamMeter());
    SendCmd235();
    rdoProcessTemperatureSource->Select(TemperatureSource);
    EnableUserDefinedFor(rdoProcessTemperatureSource->Selected());
    SendCmd233();
    ui->txtUserDefinedTemperature->setText(NumberText(UserDefinedTemperature));
}

void frmProcessTemperature::WriteRoutine() {
    if (!CanWrite()) return;
    // The unit and the source go out before the user-defined value is checked.
    const int unit = SelectedUnit(*ui->cmbProcessTemperatureUnit);
    if (unit >= 0) SendCmd53(kTemperatureVariable, static_cast<uint8_t>(unit));
    const int source = rdoProcessTemperatureSource->Selected();
    if (source >= 0) SendCmd234(static_cast<uint8_t>(source));
    float userDefined = 0.0f;
    if (!ParseEntry(*ui->txtUserDefinedTemperature, QStringLiteral("User Defined Temperature is not a valid numeric value."),
                    userDefined))
        return;
    // In degrees F whatever the display unit: a unit the meter refused does not hold it back.
    SendCmd232(userDefined);
}

// ---- process pressure ----------------------------------------------------------

frmProcessPressure::frmProcessPressure(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmProcessPressure>()) {
    ui->setupUi(this);
    AddUnits(*ui->cmbProcessPressureUnit, PressureUnits());
    ui->cmbProcessPressureUnit->setCurrentIndex(-1);
    rdoProcessPressureSource.emplace(*this, "rdoProcessPressureSource");
    rdoProcessPressureSource->OnSelectionChanged([this](int source) { EnableEntriesFor(source); });
    EnableEntriesFor(rdoProcessPressureSource->Selected());
    Open();
}

frmProcessPressure::~frmProcessPressure() = default;

void frmProcessPressure::EnableEntriesFor(int source) {
    const bool userDefined = source == pressure::kUserDefined;
    const bool analogInput = source == pressure::kAnalogAbsolute || source == pressure::kAnalogGauge;
    ui->lblUserDefinedPressure->setEnabled(userDefined);
    ui->txtuserDefinedPressure->setEnabled(userDefined);
    for (QWidget* calibration : {static_cast<QWidget*>(ui->lbl4mA), static_cast<QWidget*>(ui->lbl20mA),
                                 static_cast<QWidget*>(ui->txt4mAAnalogInput),
                                 static_cast<QWidget*>(ui->txt20mAAnalogInput)})
        calibration->setEnabled(analogInput);
}

void frmProcessPressure::BeforeFirstRead() {
    if (ConnectedSensorOption() == kNoSensor) {
        rdoProcessPressureSource->option(pressure::kAnalogAbsolute).setEnabled(false);
        rdoProcessPressureSource->option(pressure::kAnalogGauge).setEnabled(false);
    }
}

void frmProcessPressure::ReadRoutine() {
    if (FenwireControl* fenwire = Fenwire1()) {
        SendAction3();
        ui->txtProcessPressure->setText(RoundedText(fenwire->getFloat("p03Pv4"), 0));
        SelectUnit(*ui->cmbProcessPressureUnit, fenwire->get("p03Pv4Unit"));
    }
    SendCmd241();
    rdoProcessPressureSource->Select(PressureSource);
    SendCmd239();
    ui->txtuserDefinedPressure->setText(NumberText(UserDefinedPressure));
    SendCmd252();
    ui->txtAtmosphericPressure->setText(NumberText(AtmosphericPressure));
    SendCmd184();
    // Command 184 gives the 20 mA reading first, then the 4 mA one.
    ui->txt4mAAnalogInput->setText(NumberText(InputLowerRange));
    ui->txt20mAAnalogInput->setText(NumberText(InputUpperRange));
    rdoProcessPressureSource->option(pressure::kSteamTable).setEnabled(ConnectedToSteamMeter());
    EnableEntriesFor(rdoProcessPressureSource->Selected());
}

void frmProcessPressure::WriteRoutine() {
    if (!CanWrite()) return;
    // The unit goes out before the entries are checked.
    const int unit = SelectedUnit(*ui->cmbProcessPressureUnit);
    if (unit >= 0) SendCmd53(kPressureVariable, static_cast<uint8_t>(unit));
    float userDefined = 0.0f;
    float at4mA = 0.0f;
    float at20mA = 0.0f;
    float atmospheric = 0.0f;
    if (!ParseEntry(*ui->txtuserDefinedPressure, QStringLiteral("User Defined Pressure is not a valid numeric value."),
                    userDefined) ||
        !ParseEntry(*ui->txt4mAAnalogInput, QStringLiteral("Lower calibration point is not a valid numeric value."),
                    at4mA) ||
        !ParseEntry(*ui->txt20mAAnalogInput, QStringLiteral("Upper calibration point is not a valid numeric value."),
                    at20mA) ||
        !ParseEntry(*ui->txtAtmosphericPressure, QStringLiteral("Atmospheric pressure is not a valid numeric value."),
                    atmospheric))
        return;
    const int source = rdoProcessPressureSource->Selected();
    if (source >= 0) SendCmd240(static_cast<uint8_t>(source));
    // In PSI whatever the display unit: each goes out, with its own refusal box.
    SendCmd238(userDefined);
    SendCmd253(atmospheric);
    SendCmd158(at20mA, at4mA);
}

// ---- density and viscosity -----------------------------------------------------

frmDensityAndViscosity::frmDensityAndViscosity(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmDensityAndViscosity>()) {
    ui->setupUi(this);
    rdoDensityAndViscositySource.emplace(*this, "rdoDensityAndViscositySource");
    rdoDensityAndViscositySource->OnSelectionChanged([this](int source) { EnableUserDefinedFor(source); });
    EnableUserDefinedFor(rdoDensityAndViscositySource->Selected());
    platform::fitToText(*ui->txtPropertyTableName, platform::longestPackedText(24));
    Open();
}

frmDensityAndViscosity::~frmDensityAndViscosity() = default;

void frmDensityAndViscosity::EnableUserDefinedFor(int source) {
    const bool userDefined = source == density::kUserDefined;
    ui->lblUserDefinedDensity->setEnabled(userDefined);
    ui->lblUserDefinedViscosity->setEnabled(userDefined);
    ui->txtUserDefinedDensity->setEnabled(userDefined);
    ui->txtUserDefinedViscosity->setEnabled(userDefined);
}

void frmDensityAndViscosity::ShowUserDefined() {
    ui->txtUserDefinedViscosity->setText(NumberText(UserDefinedViscosity));
    ui->txtUserDefinedDensity->setText(NumberText(UserDefinedDensity));
}

void frmDensityAndViscosity::ReadRoutine() {
    SendCmd212();
    ShowUserDefined();
    SendCmd216();
    ui->txtPropertyTableName->setText(PropertyTableName);
    ui->txtPropertyTableVersionNumber->setText(QString::number(PropertyTableVersion));
    SendCmd205();
    ui->txtProcessDensity->setText(NumberText(ProcessDensity));
    ui->txtStandardDensity->setText(NumberText(StandardDensity));
    ui->txtProcessViscosity->setText(NumberText(ProcessViscosity));
    SendCmd214();
    rdoDensityAndViscositySource->Select(DensityViscositySource);
    EnableUserDefinedFor(rdoDensityAndViscositySource->Selected());
    SendCmd212();
    ShowUserDefined();
    rdoDensityAndViscositySource->option(density::kSteamTable).setEnabled(ConnectedToSteamMeter());
}

void frmDensityAndViscosity::WriteRoutine() {
    if (!CanWrite()) return;
    float userDensity = 0.0f;
    float userViscosity = 0.0f;
    if (!ParseEntry(*ui->txtUserDefinedDensity, QStringLiteral("User Defined Density is not a valid numeric value."),
                    userDensity) ||
        !ParseEntry(*ui->txtUserDefinedViscosity, QStringLiteral("User Defined Viscosity is not a valid numeric value."),
                    userViscosity))
        return;
    SendCmd213(userViscosity, userDensity);
    const int source = rdoDensityAndViscositySource->Selected();
    if (source >= 0) SendCmd215(static_cast<uint8_t>(source));
}

// ---- standard flow -------------------------------------------------------------

frmStandardFlow::frmStandardFlow(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmStandardFlow>()) {
    ui->setupUi(this);
    Open();
}

frmStandardFlow::~frmStandardFlow() = default;

void frmStandardFlow::ReadRoutine() {
    SendCmd145();
    ui->txtBaseTemperature->setText(RoundedText(BaseTemperature, kBaseTemperaturePlaces));
    SendCmd147();
    ui->txtBasePressure->setText(NumberText(BasePressure));
}

void frmStandardFlow::WriteRoutine() {
    if (!CanWrite()) return;
    float baseTemperature = 0.0f;
    float basePressure = 0.0f;
    if (!ParseEntry(*ui->txtBaseTemperature, QStringLiteral("Base Temperature is not a valid numeric value."),
                    baseTemperature) ||
        !ParseEntry(*ui->txtBasePressure, QStringLiteral("Base Pressure is not a valid numeric value."), basePressure))
        return;
    SendCmd144(baseTemperature);
    SendCmd146(basePressure);
}

}  // namespace app
