#include "app/tools/frmDMMCurrentMeasurement.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/commands/format.h"
#include "platform/platform.h"

namespace app {

namespace {

void showError(const QString& message) {
    platform::MsgBox(message, platform::vbOKOnly, platform::vbCritical, QStringLiteral("Error"));
}

}  // namespace

frmDMMCurrentMeasurement::frmDMMCurrentMeasurement(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDMMCurrentMeasurement"));
    setWindowTitle(QStringLiteral("  DMM Current Measurement"));

    lblOffsetInstructions = new QLabel(
        QStringLiteral("The loop current has been set to 4.00 mA.  Please enter the reading on the DMM to "
                       "calibrate the loop offset."),
        this);
    lblOffsetInstructions->setObjectName(QStringLiteral("lblOffsetInstructions"));
    lblGainInstructions = new QLabel(
        QStringLiteral("The loop current has been set to 20.00 mA.  Please enter the reading on the DMM to "
                       "calibrate the loop gain."),
        this);
    lblGainInstructions->setObjectName(QStringLiteral("lblGainInstructions"));
    for (QLabel* label : {lblOffsetInstructions, lblGainInstructions}) label->setWordWrap(true);

    auto* caption = new QLabel(QStringLiteral("DMM Current Measurement:"), this);
    txtDMMCurrent = new QLineEdit(this);
    txtDMMCurrent->setObjectName(QStringLiteral("txtDMMCurrent"));
    caption->setBuddy(txtDMMCurrent);
    auto* unit = new QLabel(QStringLiteral("mA"), this);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* entry = new QHBoxLayout;
    entry->addWidget(caption);
    entry->addWidget(txtDMMCurrent);
    entry->addWidget(unit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblOffsetInstructions);
    layout->addWidget(lblGainInstructions);
    layout->addLayout(entry);
    layout->addLayout(buttons);

    setTabOrder(txtDMMCurrent, btnOK);
    setTabOrder(btnOK, btnCancel);
    connect(btnOK, &QPushButton::clicked, this, &frmDMMCurrentMeasurement::btnOK_Click);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmDMMCurrentMeasurement::ShowInstructionsFor(TrimPoint point) {
    // Hidden first, so the dialog never shows both.
    lblOffsetInstructions->setVisible(false);
    lblGainInstructions->setVisible(false);
    (point == TrimPoint::Gain ? lblGainInstructions : lblOffsetInstructions)->setVisible(true);
}

QString frmDMMCurrentMeasurement::Reading() const { return txtDMMCurrent->text(); }

void frmDMMCurrentMeasurement::showEvent(QShowEvent* event) {
    txtDMMCurrent->clear();
    txtDMMCurrent->setFocus();
    QDialog::showEvent(event);
}

void frmDMMCurrentMeasurement::done(int /*result*/) { QDialog::done(Accepted ? QDialog::Accepted : Rejected); }

// Compared in single precision, as the reading is sent: 3.74 and 5.1 typed
// are then exactly the excluded bounds, not a hair inside them.
bool frmDMMCurrentMeasurement::InRange(TrimPoint point, float reading) {
    if (point == TrimPoint::Gain) return reading > 18.9f && reading < 22.1f;
    return reading > 3.74f && reading < 5.1f;
}

void frmDMMCurrentMeasurement::btnOK_Click() {
    float reading = 0.0f;
    if (!ParseNumber(txtDMMCurrent->text(), reading)) {
        showError(QStringLiteral("Please enter a valid floating point value."));
        return;
    }
    // The visible instructions tell which trim this is. isVisibleTo: the
    // label's own flag, whether or not the dialog is on screen yet.
    const TrimPoint point = lblGainInstructions->isVisibleTo(this) ? TrimPoint::Gain : TrimPoint::Offset;
    if (!InRange(point, reading)) {
        showError(point == TrimPoint::Gain ? QStringLiteral("Please enter a number between 19 and 22.")
                                           : QStringLiteral("Please enter a number between 3.75 and 5."));
        return;
    }
    Accepted = true;
    accept();
}

}  // namespace app
