#include "app/forms/configuration_form.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/commands/format.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmMain.h"
#include "platform/platform.h"

namespace app {

void OpenLinkIfNeeded() {
    if (frmComPort* port = ComPortForm()) port->InitHART();
}

bool MeterTook(const std::function<void()>& send) {
    frmComPort* port = ComPortForm();
    if (!port) return false;
    const int failuresBefore = port->FailedTransactions();
    send();
    return port->FailedTransactions() == failuresBefore && port->LinkOpen();
}

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
    BeforeFirstRead();
    OpenLinkIfNeeded();
    ReadRoutine();
}

void ConfigurationForm::btnRead_Click() {
    platform::BusyPointer busy;
    OpenLinkIfNeeded();
    ReadRoutine();
}

void ConfigurationForm::btnWrite_Click() {
    {
        platform::BusyPointer busy;
        OpenLinkIfNeeded();
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
