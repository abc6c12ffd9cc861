#include "app/forms/frmAnalogRangeValues.h"

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/modUnitCodes.h"
#include "ui_frmAnalogRangeValues.h"

namespace app {

namespace {
constexpr int kProcessPlaces = 1;
constexpr int kRangePlaces = 4;
}  // namespace

frmAnalogRangeValues::frmAnalogRangeValues(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmAnalogRangeValues>()) {
    ui->setupUi(this);
    Open();
}

frmAnalogRangeValues::~frmAnalogRangeValues() = default;

void frmAnalogRangeValues::ReadRoutine() {
    if (FenwireControl* fenwire = Fenwire1()) {
        SendAction1();
        rangeUnitCode_ = static_cast<uint8_t>(fenwire->get("p01PvUnit"));
        ui->lblPVUnit->setText(fenwire->getText("p01sPvUnit"));
        ui->txtPV->setText(RoundedText(fenwire->getFloat("p01Pv"), kProcessPlaces));
        SendAction2();
        ui->txtPercentOfRange->setText(RoundedText(fenwire->getFloat("p02Percent"), kProcessPlaces));
    }

    SendCmd15();
    ui->txtUpperRange->setText(RoundedText(UpperRangeValue, kRangePlaces));
    ui->txtLowerRange->setText(RoundedText(LowerRangeValue, kRangePlaces));
    rangeUnitCode_ = static_cast<uint8_t>(RangeUnitsCode);
    ui->lblUpperRangeUnit->setText(UnitText(rangeUnitCode_));
    ui->lblLowerRangeUnit->setText(UnitText(rangeUnitCode_));

    SendCmd14();
    ui->lblUpperLimitUnit->setText(UnitText(SensorLimitsUnit));
    ui->lblLowerLimitUnit->setText(UnitText(SensorLimitsUnit));
    ui->lblMinimumSpanUnits->setText(ui->lblLowerLimitUnit->text());
    ui->txtUpperLimit->setText(RoundedText(UpperSensorLimit, kRangePlaces));
    ui->txtLowerLimit->setText(RoundedText(LowerSensorLimit, kRangePlaces));
    ui->txtMinimumSpan->setText(RoundedText(MinimumSpan, kRangePlaces));
}

void frmAnalogRangeValues::WriteRoutine() {
    if (!CanWrite()) return;
    // Order, span and sensor limits are the meter's to check; it answers with a response code.
    float lower = 0.0f;
    float upper = 0.0f;
    if (!ParseEntry(*ui->txtLowerRange, QStringLiteral("Lower range is not a valid numeric value."), lower)) return;
    if (!ParseEntry(*ui->txtUpperRange, QStringLiteral("Upper range is not a valid numeric value."), upper)) return;
    SendCmd35(rangeUnitCode_, upper, lower);
}

}  // namespace app
