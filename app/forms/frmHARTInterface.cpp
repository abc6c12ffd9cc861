#include "app/forms/frmHARTInterface.h"

#include <QComboBox>
#include <QLocale>
#include <cmath>
#include <optional>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "ui_frmHARTInterface.h"
#include "platform/fit.h"

namespace app {

namespace {

constexpr int kFewestPreambles = 3;
constexpr int kMostPreambles = 15;
// Command 18 carries the year as one byte counted from 1900.
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 1900 + 255;
constexpr float kLargestFinalAssemblyNumber = 0xFFFFFF;  // 24 bits, exact in a float

// A whole decimal number in the user's locale, blanks around it allowed.
std::optional<int> WholeNumber(const QString& text) {
    bool ok = false;
    const int value = QLocale().toInt(text.trimmed(), &ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// The three boxes as a calendar date whose year command 18 can carry.
std::optional<QDate> EnteredDate(const QString& month, const QString& day, const QString& year) {
    const std::optional<int> m = WholeNumber(month);
    const std::optional<int> d = WholeNumber(day);
    const std::optional<int> y = WholeNumber(year);
    if (!m || !d || !y || *y < kFirstYear || *y > kLastYear) return std::nullopt;
    const QDate date(*y, *m, *d);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

QString DatePart(const QDate& date, int (QDate::*part)() const) {
    return date.isValid() ? QString::number((date.*part)()) : QString();
}

}  // namespace

frmHARTInterface::frmHARTInterface(QWidget* parent)
    : ConfigurationForm(parent), ui(std::make_unique<Ui::frmHARTInterface>()) {
    ui->setupUi(this);
    for (int preambles = kFewestPreambles; preambles <= kMostPreambles; ++preambles)
        ui->cmbNumberOfPreambles->addItem(QString::number(preambles), preambles);
    ui->cmbNumberOfPreambles->setCurrentIndex(-1);  // until a read finds the meter's count
    // Packed texts at their full length.
    platform::fitToText(*ui->txtMessage, platform::longestPackedText(32));
    platform::fitToText(*ui->txtDescriptor, platform::longestPackedText(16));
    platform::fitToText(*ui->txtTag, platform::longestPackedText(8));
    Open();
}

frmHARTInterface::~frmHARTInterface() = default;

void frmHARTInterface::ReadRoutine() {
    SendCmd12();
    ui->txtMessage->setText(Message);
    SendCmd13();
    ui->txtDescriptor->setText(Descriptor);
    ui->txtDateMonth->setText(DatePart(DeviceDate, &QDate::month));
    ui->txtDateDay->setText(DatePart(DeviceDate, &QDate::day));
    ui->txtDateYear->setText(DatePart(DeviceDate, &QDate::year));
    ui->txtTag->setText(Tag);
    SendCmd0();
    if (FenwireControl* fenwire = Fenwire1()) {
        // A count outside the list leaves the selection as it was.
        const int entry = ui->cmbNumberOfPreambles->findData(fenwire->get("cNoPreambles"));
        if (entry >= 0) ui->cmbNumberOfPreambles->setCurrentIndex(entry);
        ui->txtUniversalCommandRevision->setText(QString::number(UniversalCommandRevision));
        ui->txtSpecificCommandRevision->setText(QString::number(SpecificCommandRevision));
        ui->txtDeviceFlag->setText(QString::number(fenwire->get("p00HartFlags")));
        ui->txtDeviceID->setText(QString::number(fenwire->get("p00DeviceNumber")));
    }
    SendCmd16();
    ui->txtFinalAssemblyNumber->setText(QString::number(FinalAssemblyNumber));
}

void frmHARTInterface::WriteRoutine() {
    if (!CanWrite()) return;
    // The number goes out as 24 bits: a fraction, a negative number or one
    // beyond them would be written as some other number.
    float finalAssemblyNumber = 0.0f;
    if (!ParseNumber(ui->txtFinalAssemblyNumber->text(), finalAssemblyNumber) ||
        std::trunc(finalAssemblyNumber) != finalAssemblyNumber || finalAssemblyNumber < 0.0f ||
        finalAssemblyNumber > kLargestFinalAssemblyNumber) {
        ShowError(QStringLiteral("Final Assembly Number is not a valid numeric value."));
        return;
    }
    SendCmd17(ui->txtMessage->text());
    const std::optional<QDate> date =
        EnteredDate(ui->txtDateMonth->text(), ui->txtDateDay->text(), ui->txtDateYear->text());
    if (!date) {
        ShowError(QStringLiteral("Invalid date"));
        return;
    }
    SendCmd18(ui->txtTag->text(), ui->txtDescriptor->text(), *date);
    // No entry is selected only when the meter's count lies outside 3 to 15:
    // its count is then left as it is.
    if (ui->cmbNumberOfPreambles->currentIndex() >= 0)
        SendCmd59(static_cast<uint8_t>(ui->cmbNumberOfPreambles->currentData().toInt()));
    SendCmd19(static_cast<int32_t>(finalAssemblyNumber));
}

}  // namespace app
