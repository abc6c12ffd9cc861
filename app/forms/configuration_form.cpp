#include "app/forms/configuration_form.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/commands/format.h"
#include "app/forms/option_group.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "platform/platform.h"

namespace app {

ConfigurationForm::ConfigurationForm(QWidget* parent, AfterWrite afterWrite)
    : QDialog(parent), afterWrite_(afterWrite) {}

void ConfigurationForm::Open() {
    auto button = [this](const char* name) { return findChild<QPushButton*>(QString::fromLatin1(name)); };
    if (QPushButton* read = button("btnRead"))
        connect(read, &QPushButton::clicked, this, &ConfigurationForm::btnRead_Click);
    if (QPushButton* write = button("btnWrite"))
        connect(write, &QPushButton::clicked, this, &ConfigurationForm::btnWrite_Click);
    if (QPushButton* close = button("btnCancel"))
        connect(close, &QPushButton::clicked, this, &ConfigurationForm::btnCancel_Click);

    platform::BusyPointer busy;
    const bool reached = OpenLinkIfNeeded() && MeterFactsKnown();
    BeforeFirstRead();
    if (!reached || !MeterTook([this] { ReadRoutine(); })) ShowNothingRead();
}

bool ConfigurationForm::MeterFactsKnown() {
    frmMain* main = MainWindow();
    return !main || main->ReadMeterFacts();
}

void ConfigurationForm::ShowNothingRead() {
    for (QLineEdit* entry : findChildren<QLineEdit*>())
        if (!entry->parentWidget()->inherits("QComboBox")) entry->clear();
    for (QComboBox* list : findChildren<QComboBox*>()) list->setCurrentIndex(-1);
    for (QButtonGroup* options : findChildren<QButtonGroup*>()) ClearOptions(*options);
}

void ConfigurationForm::btnRead_Click() {
    platform::BusyPointer busy;
    if (OpenLinkIfNeeded()) ReadRoutine();
}

void ConfigurationForm::btnWrite_Click() {
    {
        platform::BusyPointer busy;
        // A port that cannot be opened has been named; there is nothing to write to or read back.
        if (!OpenLinkIfNeeded()) return;
        WriteRoutine();
    }
    if (afterWrite_ == AfterWrite::KeepEntries) return;
    // Refused, rejected, unanswered or accepted: show what the meter holds now.
    platform::BusyPointer busy;
    ReadRoutine();
}

void ConfigurationForm::btnCancel_Click() { close(); }

bool ConfigurationForm::CanWrite() {
    frmMain* main = MainWindow();
    return main && main->CanWrite();
}

void ConfigurationForm::ShowError(const QString& message) {
    platform::MsgBox(message, platform::vbOKOnly, platform::vbCritical, QStringLiteral("Error"));
}

bool ConfigurationForm::ParseEntry(const QLineEdit& entry, const QString& invalidMessage, float& value) {
    if (ParseNumber(entry.text(), value)) return true;
    ShowError(invalidMessage);
    return false;
}

}  // namespace app
