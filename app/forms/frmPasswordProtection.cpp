#include "app/forms/frmPasswordProtection.h"

#include "app/commands/SendHART.h"
#include "app/commands/mGlobal.h"
#include "app/forms/frmPasswordProtected.h"
#include "app/shell/frmMain.h"
#include "app/shell/lamp.h"
#include "platform/platform.h"
#include "ui_frmPasswordProtection.h"

namespace app {

namespace {

constexpr uint8_t kSetNewPassword = 1;

void ShowPasswordProtectedLamp(frmMain& main, bool on) {
    if (auto* lamp = main.findChild<Lamp*>(QStringLiteral("ledPasswordProtected"))) lamp->setOn(on);
}

}  // namespace

frmPasswordProtection::frmPasswordProtection(QWidget* parent)
    : ConfigurationForm(parent, AfterWrite::KeepEntries), ui(std::make_unique<Ui::frmPasswordProtection>()) {
    ui->setupUi(this);
    Open();
}

frmPasswordProtection::~frmPasswordProtection() = default;

void frmPasswordProtection::ReadRoutine() {
    SendCmd129();
    protectedAtRead_ = PasswordProtectionFlag == 1;
    ui->chkPasswordProtection->setChecked(protectedAtRead_);
    // A new password is typed only to switch protection on.
    QWidget* const newPassword[] = {ui->txtPassword, ui->Passwordlabel, ui->txtPasswordVerification,
                                    ui->lblPasswordVerification};
    for (QWidget* control : newPassword) control->setEnabled(!protectedAtRead_);
    ui->txtPassword->clear();
    ui->txtPasswordVerification->clear();
}

void frmPasswordProtection::WriteRoutine() {
    frmMain* main = MainWindow();
    // Judged on the mode the meter reported; without an answer the port form has said so.
    if (main && !main->ReadMeterFacts()) return;
    if (!main || !main->InService) {
        platform::MsgBox(QStringLiteral("Meter must be online to change password protection"), platform::vbOKOnly,
                         platform::vbCritical, QStringLiteral("Invalid selection"));
        return;
    }
    const bool checked = ui->chkPasswordProtection->isChecked();
    // The lamp is switched only when the meter took the command: after a
    // refusal (say a wrong password) the protection is as it was.
    if (!checked && protectedAtRead_) {
        bool confirmed = false;
        const bool taken = MeterTook([&] { confirmed = AskForPassword(this); });
        if (!confirmed) {
            platform::MsgBox(QStringLiteral("Incorrect Password"), platform::vbOKOnly, platform::vbCritical);
            return;
        }
        if (taken) ShowPasswordProtectedLamp(*main, false);
    } else if (checked && !protectedAtRead_) {
        const QString password = ui->txtPassword->text();
        if (password != ui->txtPasswordVerification->text()) {
            ShowError(QStringLiteral("Passwords do not match"));
            return;
        }
        if (MeterTook([&] { SendCmd247(kSetNewPassword, password); })) ShowPasswordProtectedLamp(*main, true);
    }
}

}  // namespace app
