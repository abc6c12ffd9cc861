#include "app/forms/frmPasswordProtected.h"

#include <QPushButton>

#include "app/commands/SendHART.h"
#include "app/shell/frmMain.h"
#include "platform/platform.h"
#include "ui_frmPasswordProtected.h"

namespace app {

namespace {
constexpr uint8_t kPresentPassword = 0;
}

frmPasswordProtected::frmPasswordProtected(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmPasswordProtected>()) {
    ui->setupUi(this);
    connect(ui->btnOK, &QPushButton::clicked, this, &frmPasswordProtected::btnOK_Click);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmPasswordProtected::~frmPasswordProtected() = default;

void frmPasswordProtected::showEvent(QShowEvent* event) {
    ui->txtPassword->clear();
    QDialog::showEvent(event);
}

void frmPasswordProtected::done(int /*result*/) { QDialog::done(Confirmed ? Accepted : Rejected); }

void frmPasswordProtected::btnOK_Click() {
    // With access already granted the meter needs no password.
    const frmMain* main = MainWindow();
    if (main && main->AccessLevel == 0) {
        platform::BusyPointer busy;
        SendCmd247(kPresentPassword, ui->txtPassword->text());
    }
    Confirmed = true;
    accept();
}

bool AskForPassword(QWidget* parent) {
    frmPasswordProtected prompt(parent);
    prompt.Confirmed = false;
    platform::showModal(prompt);
    return prompt.Confirmed;
}

}  // namespace app
