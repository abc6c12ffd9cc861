#include "app/forms/frmPrimaryVariable.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QRadioButton>
#include <array>
#include <vector>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "app/forms/unit_list.h"
#include "app/shell/frmMain.h"
#include "platform/platform.h"
#include "ui_frmPrimaryVariable.h"

namespace app {

namespace {

constexpr int kVelocity = 3;
constexpr int kTemperature = 4;
constexpr int kPressure = 5;
constexpr int kSheddingFrequency = 6;
constexpr int kVariablesWithUnitList = 6;      // codes 0..5; shedding frequency is always in Hz
constexpr int kListsFollowingTheirOption = 4;  // codes 0..3; temperature and pressure stay enabled
constexpr int kFirstRevisionWithMetricVelocity = 11;

// The unit lists by variable code, in the order the dialog offers them.
const std::array<std::vector<UnitChoice>, kVariablesWithUnitList> kUnitLists = {{
    {{"ft3/min", 15},
     {"US GP/min", 16},
     {"l/min", 17},
     {"UK GP/min", 18},
     {"m3/h", 19},
     {"US GP/sec", 22},
     {"Million US GP/day", 23},
     {"l/s", 24},
     {"Million l/day", 25},
     {"ft3/sec", 26},
     {"ft3/day", 27},
     {"m3/sec", 28},
     {"m3/day", 29},
     {"UK GP/h", 30},
     {"UK GP/day", 31},
     {"ft3/h", 130},
     {"m3/min", 131},
     {"US GP/h", 136},
     {"UK GP/sec", 137},
     {"l/h", 138},
     {"US GP/day", 235}},
    {{"kg/s", 73},
     {"kg/min", 74},
     {"kg/hr", 75},
     {"kg/day", 76},
     {"Metric Ton/min", 77},
     {"Metric Ton/hr", 78},
     {"Metric Ton/day", 79},
     {"lb/s", 80},
     {"lb/min", 81},
     {"lb/hr", 82},
     {"lb/day", 83},
     {"ShortTon/min", 84},
     {"ShortTon/hr", 85},
     {"ShortTon/day", 86}},
    {{"ft3/min", 15},
     {"l/min", 17},
     {"m3/h", 19},
     {"l/s", 24},
     {"ft3/day", 27},
     {"m3/day", 29},
     {"ft3/h", 130},
     {"m3/min", 131}},
    {{"f/s", 20}, {"f/min", 116}},
    {{"DegC", 32}, {"DegF", 33}, {"Deg R", 34}, {"Deg K", 35}},
    PressureUnits(),
}};
// Velocity units that meters after software revision 10 know as well.
const std::vector<UnitChoice> kMetricVelocityUnits = {{"m/s", 21}, {"m/hr", 120}, {"in/s", 114}, {"in/min", 115}};

bool HasUnitList(int code) { return code >= 0 && code < kVariablesWithUnitList; }

}  // namespace

frmPrimaryVariable::frmPrimaryVariable(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmPrimaryVariable>()) {
    ui->setupUi(this);
    rdoPrimaryVariable = {ui->rdoPrimaryVariable_0, ui->rdoPrimaryVariable_1, ui->rdoPrimaryVariable_2,
                          ui->rdoPrimaryVariable_3, ui->rdoPrimaryVariable_4, ui->rdoPrimaryVariable_5,
                          ui->rdoPrimaryVariable_6};
    cmbPrimaryValueUnit = {ui->cmbPrimaryValueUnit_0, ui->cmbPrimaryValueUnit_1, ui->cmbPrimaryValueUnit_2,
                           ui->cmbPrimaryValueUnit_3, ui->cmbPrimaryValueUnit_4, ui->cmbPrimaryValueUnit_5};
    for (int code = 0; code < kVariablesWithUnitList; ++code)
        AddUnits(*cmbPrimaryValueUnit[code], kUnitLists[static_cast<size_t>(code)]);
    const frmMain* main = MainWindow();
    if (main && main->SoftwareRevision >= kFirstRevisionWithMetricVelocity)
        AddUnits(*cmbPrimaryValueUnit[kVelocity], kMetricVelocityUnits);
    // No unit is selected until a read or a choice selects one.
    for (QComboBox* list : std::as_const(cmbPrimaryValueUnit)) list->setCurrentIndex(-1);

    for (int code = 0; code < rdoPrimaryVariable.size(); ++code) {
        ui->grpPrimaryVariable->setId(rdoPrimaryVariable[code], code);
        connect(rdoPrimaryVariable[code], &QRadioButton::toggled, this, [this, code](bool checked) {
            if (checked) rdoPrimaryVariable_Click(code);
        });
    }

    Open();
    EnableFlowAndVelocityLists();
}

frmPrimaryVariable::~frmPrimaryVariable() = default;

int frmPrimaryVariable::SelectedCode() const { return ui->grpPrimaryVariable->checkedId(); }

void frmPrimaryVariable::Select(int code) {
    if (code >= 0 && code < rdoPrimaryVariable.size()) {
        rdoPrimaryVariable[code]->setChecked(true);
        return;
    }
    // A code this dialog does not know: no choice is shown, and Write has nothing to send.
    ui->grpPrimaryVariable->setExclusive(false);
    for (QRadioButton* option : std::as_const(rdoPrimaryVariable)) option->setChecked(false);
    ui->grpPrimaryVariable->setExclusive(true);
    EnableFlowAndVelocityLists();
}

void frmPrimaryVariable::rdoPrimaryVariable_Click(int code) {
    if (HasUnitList(code) && cmbPrimaryValueUnit[code]->currentIndex() < 0)
        cmbPrimaryValueUnit[code]->setCurrentIndex(0);
    EnableFlowAndVelocityLists();
}

void frmPrimaryVariable::EnableFlowAndVelocityLists() {
    const int selected = SelectedCode();
    for (int code = 0; code < kListsFollowingTheirOption; ++code)
        cmbPrimaryValueUnit[code]->setEnabled(code == selected);
}

void frmPrimaryVariable::ReadRoutine() {
    SendCmd50();
    const int code = PVVariableCode;
    Select(code);
    FenwireControl* fenwire = Fenwire1();
    if (!fenwire) return;
    if (HasUnitList(code)) {
        SendAction1();
        SelectUnit(*cmbPrimaryValueUnit[code], fenwire->get("p01PvUnit"));
    }
    // Whatever the primary variable, these lists show the units of the third and fourth dynamic variables.
    SendAction3();
    SelectUnit(*cmbPrimaryValueUnit[kTemperature], fenwire->get("p03Pv3Unit"));
    SelectUnit(*cmbPrimaryValueUnit[kPressure], fenwire->get("p03Pv4Unit"));
}

void frmPrimaryVariable::WriteRoutine() {
    if (!CanWrite()) return;
    const int code = SelectedCode();
    if (code < 0) {
        ShowError(QStringLiteral("Primary Variable is not selected."));
        return;
    }
    const QComboBox* units = HasUnitList(code) ? cmbPrimaryValueUnit[code] : nullptr;
    // Choosing an option selects a unit, so this guards against sending a unit nobody chose.
    if (units && units->currentIndex() < 0) {
        ShowError(QStringLiteral("Primary Variable Units are not selected."));
        return;
    }
    // The unit is one of the new variable's: sent to the variable the meter
    // kept, it would change that variable's unit or be refused as well.
    if (!MeterTook([code] { SendCmd130(static_cast<uint8_t>(code)); })) return;
    if (code == kSheddingFrequency) return;
    SendCmd44(static_cast<uint8_t>(units->currentData().toInt()));
}

void frmPrimaryVariable::btnCancel_Click() {
    {
        // The main window shows the new primary variable and its unit.
        platform::BusyPointer busy;
        if (frmMain* main = MainWindow()) main->update();
    }
    close();
}

}  // namespace app
