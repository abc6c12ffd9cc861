#include "app/tools/frmAbout.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>

#include "app/shell/frmMain.h"
#include "platform/platform.h"
#include "ui_frmAbout.h"

namespace app {

namespace {
constexpr int kIconSize = 32;
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmAbout>()) {
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("About ") + QString::fromLatin1(kApplicationTitle));
    ui->lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                                .arg(CORVANE_VERSION_MAJOR)
                                .arg(CORVANE_VERSION_MINOR)
                                .arg(CORVANE_VERSION_PATCH));
    const QIcon icon = windowIcon().isNull() ? style()->standardIcon(QStyle::SP_MessageBoxInformation) : windowIcon();
    ui->picIcon->setPixmap(icon.pixmap(kIconSize, kIconSize));
    connect(ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

frmAbout::~frmAbout() = default;

void frmAbout::cmdSysInfo_Click() {
    // No system-information viewer on this platform.
    platform::MsgBox(QStringLiteral("System Information Is Unavailable At This Time"));
}

}  // namespace app
