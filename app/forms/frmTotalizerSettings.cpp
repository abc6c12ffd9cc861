#include "app/forms/frmTotalizerSettings.h"

#include <QLocale>
#include <limits>
#include <optional>

#include "app/commands/SendHART.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "ui_frmTotalizerSettings.h"

namespace app {

namespace {

constexpr int kUnitLength = 8;
// Packed ASCII holds the codes 32 to 95: blank, digits, signs and upper-case letters.
constexpr char16_t kFirstPackedCharacter = 32;
constexpr char16_t kLastPackedCharacter = 95;
constexpr float kSmallestMultiplier = 1e-12f;
constexpr float kLargestMultiplier = 1e12f;
constexpr float kSmallestRollOver = 1.0f;
constexpr float kLargestRollOver = 1e37f;
constexpr uint8_t kRunTotalizer = 1;

bool InPackedCharacterSet(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < kFirstPackedCharacter || c.unicode() > kLastPackedCharacter) return false;
    return true;
}

// A numeric entry as a 4-byte float; nullopt when it is no number at all.
// A number beyond any float is kept as an infinity, so a range check
// rejects it rather than the numeric check.
std::optional<float> NumericEntry(const QString& text) {
    if (!IsNumeric(text)) return std::nullopt;
    float value = 0.0f;
    if (ParseNumber(text, value)) return value;
    constexpr float kBeyondAnyFloat = std::numeric_limits<float>::infinity();
    return text.trimmed().startsWith(QLocale().negativeSign()) ? -kBeyondAnyFloat : kBeyondAnyFloat;
}

bool Within(float value, float lowest, float highest) { return value >= lowest && value <= highest; }

}  // namespace

frmTotalizerSettings::frmTotalizerSettings(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmTotalizerSettings>()) {
    ui->setupUi(this);
    connect(ui->txtUserSpecifiedUnit, &QLineEdit::textChanged, this, &frmTotalizerSettings::txtUserSpecifiedUnit_Change);
    Open();
    lastAcceptedUnit_ = ui->txtUserSpecifiedUnit->text();
}

frmTotalizerSettings::~frmTotalizerSettings() = default;

void frmTotalizerSettings::EnableButtons(bool enabled) {
    ui->btnRead->setEnabled(enabled);
    ui->btnWrite->setEnabled(enabled);
    ui->btnCancel->setEnabled(enabled);
}

void frmTotalizerSettings::ReadRoutine() {
    EnableButtons(false);
    SendCmd160();
    // Only ever checked here: the dialog has no command that stops the totalizer.
    if (TotalizerRunning == 1) ui->chkEnabled->setChecked(true);
    SendCmd188();
    ui->txtRollOverValue->setText(NumberText(TotalizerRollOverValue));
    ui->txtMultiplier->setText(NumberText(TotalizerMultiplier));
    ui->txtUserSpecifiedUnit->setText(TotalizerCustomUnit);
    EnableButtons(true);
}

void frmTotalizerSettings::WriteRoutine() {
    // The read-back after the write enables the buttons again.
    EnableButtons(false);
    if (!CanWrite()) return;
    const std::optional<float> multiplier = NumericEntry(ui->txtMultiplier->text());
    if (!multiplier) return ShowError(QStringLiteral("Multiplier value is not a valid numeric value."));
    const std::optional<float> rollOver = NumericEntry(ui->txtRollOverValue->text());
    if (!rollOver) return ShowError(QStringLiteral("Rollover value is not a valid numeric value."));
    if (!Within(*multiplier, kSmallestMultiplier, kLargestMultiplier))
        return ShowError(QStringLiteral("Multiplier value is not within range 1e-12 to 1e12."));
    if (!Within(*rollOver, kSmallestRollOver, kLargestRollOver))
        return ShowError(QStringLiteral("Rollover value is not within range 1 to 1e37."));

    // The meter keeps exactly eight characters.
    ui->txtUserSpecifiedUnit->setText(ui->txtUserSpecifiedUnit->text().leftJustified(kUnitLength, u' '));
    SendCmd187(*rollOver, *multiplier, ui->txtUserSpecifiedUnit->text());
    if (ui->chkEnabled->isChecked()) SendCmd161(kRunTotalizer);
}

void frmTotalizerSettings::txtUserSpecifiedUnit_Change() {
    if (editingUnit_) return;  // the changes made below come back here
    editingUnit_ = true;
    QLineEdit& box = *ui->txtUserSpecifiedUnit;
    int caret = box.cursorPosition();
    box.setText(box.text().toUpper());
    box.setCursorPosition(caret);
    if (!InPackedCharacterSet(box.text())) {
        box.setText(lastAcceptedUnit_);
        box.setCursorPosition(static_cast<int>(box.text().size()));
    }
    caret = box.cursorPosition();
    box.setText(box.text().left(kUnitLength));
    box.setCursorPosition(caret);
    lastAcceptedUnit_ = box.text();
    editingUnit_ = false;
}

}  // namespace app
