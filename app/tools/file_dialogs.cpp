#include "app/tools/file_dialogs.h"

#include <QDir>
#include <QPushButton>

#include "app/tools/file_lists.h"
#include "platform/platform.h"
#include "ui_frmBrowse.h"
#include "ui_frmBrowseSave.h"

namespace app {

namespace {
const QString kErrorTitle = QStringLiteral("Error");
}

QString PathIn(const QString& directory, const QString& file) { return QDir(directory).filePath(file); }

// ---- frmBrowse ---------------------------------------------------------------

frmBrowse::frmBrowse(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmBrowse>()) {
    ui->setupUi(this);
    lists_ = new FileLists(*ui->driveList, *ui->directoryList, ui->fileList, ui->lblDirectoryPath,
                           QStringLiteral("*.csv"), this);
    connect(lists_, &FileLists::fileActivated, this, &frmBrowse::OKButton_Click);
    connect(ui->OKButton, &QPushButton::clicked, this, &frmBrowse::OKButton_Click);
    connect(ui->CancelButton, &QPushButton::clicked, this, &frmBrowse::CancelButton_Click);
}

frmBrowse::~frmBrowse() = default;

QString frmBrowse::directory() const { return lists_->directory(); }
QString frmBrowse::selectedFile() const { return lists_->selectedFile(); }
bool frmBrowse::setDirectory(const QString& path) { return lists_->setDirectory(path); }

void frmBrowse::OKButton_Click() {
    if (selectedFile().isEmpty()) {
        platform::MsgBox(QStringLiteral("Please select a file."), platform::vbOKOnly, platform::vbNoIcon,
                         kErrorTitle);
        return;
    }
    AcceptedFlag = true;
    accept();
}

void frmBrowse::CancelButton_Click() {
    AcceptedFlag = false;
    reject();
}

// ---- frmBrowseSave -----------------------------------------------------------

frmBrowseSave::frmBrowseSave(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmBrowseSave>()) {
    ui->setupUi(this);
    lists_ = new FileLists(*ui->driveList, *ui->directoryList, nullptr, ui->lblDirectoryPath, QString(), this);
    connect(ui->OKButton, &QPushButton::clicked, this, &frmBrowseSave::OKButton_Click);
    connect(ui->CancelButton, &QPushButton::clicked, this, &frmBrowseSave::CancelButton_Click);
}

frmBrowseSave::~frmBrowseSave() = default;

QString frmBrowseSave::directory() const { return lists_->directory(); }
QString frmBrowseSave::fileName() const { return ui->txtFilename->text(); }
bool frmBrowseSave::setDirectory(const QString& path) { return lists_->setDirectory(path); }

void frmBrowseSave::OKButton_Click() {
    if (ui->txtFilename->text().isEmpty()) {
        platform::MsgBox(QStringLiteral("Please enter a filename"), platform::vbOKOnly, platform::vbNoIcon,
                         kErrorTitle);
        return;
    }
    AcceptedFlag = true;
    accept();
}

void frmBrowseSave::CancelButton_Click() {
    AcceptedFlag = false;
    reject();
}

}  // namespace app
