#include "app/tools/frmPropertyTables.h"

#include <QCloseEvent>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/commands/SendHART.h"
#include "app/commands/mGlobal.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "app/tools/file_dialogs.h"
#include "platform/platform.h"
#include "platform/textfile.h"
#include "ui_frmPropertyTables.h"
#include "platform/fit.h"

namespace app {

namespace {

constexpr int kTransferTickMs = 500;
const QString kSuccessTitle = QStringLiteral("Success");

void ShowError(const QString& message) {
    platform::MsgBox(message, platform::vbOKOnly, platform::vbCritical, QStringLiteral("Error"));
}

}  // namespace

frmPropertyTables::frmPropertyTables(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmPropertyTables>()) {
    ui->setupUi(this);
    platform::fitToText(*ui->txtPropertyTableName, platform::longestPackedText(24));
    for (QTimer** timer : {&tmrReadInfo, &tmrWriteInfo}) {
        *timer = new QTimer(this);
        (*timer)->setInterval(kTransferTickMs);
    }
    tmrReadInfo->setObjectName(QStringLiteral("tmrReadInfo"));
    tmrWriteInfo->setObjectName(QStringLiteral("tmrWriteInfo"));
    connect(tmrReadInfo, &QTimer::timeout, this, &frmPropertyTables::tmrReadInfo_Timer);
    connect(tmrWriteInfo, &QTimer::timeout, this, &frmPropertyTables::tmrWriteInfo_Timer);
    connect(ui->btnExportPropertyTable, &QPushButton::clicked, this, &frmPropertyTables::btnExportPropertyTable_Click);
    connect(ui->btnImportPropertyTable, &QPushButton::clicked, this, &frmPropertyTables::btnImportPropertyTable_Click);
    connect(ui->btOK, &QPushButton::clicked, this, &frmPropertyTables::reject);
    // The bar shows only while a transfer runs; its place is kept meanwhile,
    // so the form does not change size.
    QSizePolicy keepPlace = ui->prgTransfer->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    ui->prgTransfer->setSizePolicy(keepPlace);
    ui->prgTransfer->setVisible(false);

    platform::BusyPointer busy;
    OpenLinkIfNeeded();
    ReadTableInfo();
}

frmPropertyTables::~frmPropertyTables() = default;

bool frmPropertyTables::transferring() const { return tmrReadInfo->isActive() || tmrWriteInfo->isActive(); }

void frmPropertyTables::reject() {
    if (!transferring()) QDialog::reject();
}

void frmPropertyTables::closeEvent(QCloseEvent* event) {
    if (transferring())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void frmPropertyTables::ShowTableInfo(const QString& name, int revision) {
    ui->txtPropertyTableName->setText(ShownTableName(name));
    ui->txtPropertyTableVersionNumber->setText(QString::number(revision));
}

// Shows the table the meter names; when it does not answer, nothing: what an
// earlier read stored may be another meter's table, or the one before an import.
void frmPropertyTables::ReadTableInfo() {
    if (MeterTook([] { SendCmd216(); })) {
        ShowTableInfo(PropertyTableName, PropertyTableVersion);
        return;
    }
    ui->txtPropertyTableName->clear();
    ui->txtPropertyTableVersionNumber->clear();
}

void frmPropertyTables::StartTransfer(QTimer& timer) {
    busy_ = std::make_unique<platform::BusyPointer>();
    ShowProgress();
    ui->prgTransfer->setVisible(true);
    timer.start();
}

void frmPropertyTables::ShowProgress() {
    ui->prgTransfer->setMaximum(transfer_.StepsInAll());
    ui->prgTransfer->setValue(transfer_.StepsDone());
}

void frmPropertyTables::EndTransfer(QTimer& timer) {
    timer.stop();
    ui->prgTransfer->setVisible(false);
    busy_.reset();
    setEnabled(true);
}

void frmPropertyTables::StopTransfer(QTimer& timer, const QString& what) {
    EndTransfer(timer);
    ui->lblStatus->setText(what + QStringLiteral(" stopped: ") + ui->lblStatus->text());
}

// ---- export --------------------------------------------------------------------

void frmPropertyTables::btnExportPropertyTable_Click() {
    transfer_.BeginExport();
    OpenLinkIfNeeded();
    StartTransfer(*tmrReadInfo);
}

void frmPropertyTables::tmrReadInfo_Timer() {
    // A tick that comes while a step waits for the meter is not a new step.
    if (tickRunning_ || !tmrReadInfo->isActive()) return;
    tickRunning_ = true;
    setEnabled(false);
    QString status = ui->lblStatus->text();
    const auto step = transfer_.ExportStep(status);
    ui->lblStatus->setText(status);
    ShowProgress();
    if (step == PropertyTableTransfer::Step::Failed) {
        StopTransfer(*tmrReadInfo, QStringLiteral("Export"));
    } else if (step == PropertyTableTransfer::Step::Finished) {
        EndTransfer(*tmrReadInfo);
        // The file names the table the meter holds, as now shown.
        ShowTableInfo(transfer_.table().name, transfer_.table().revision);
        WriteTableFile();
    }
    tickRunning_ = false;
}

void frmPropertyTables::WriteTableFile() {
    frmBrowseSave save(this);
    save.AcceptedFlag = false;
    platform::showModal(save);
    if (!save.AcceptedFlag) return;
    const QString path = PathIn(save.directory(), save.fileName() + QStringLiteral(".csv"));
    QString why;
    if (!platform::WriteTextFileWhole(path, TableFileLines(transfer_.table(), ui->txtPropertyTableName->text()),
                                      &why)) {
        ShowError(QStringLiteral("The file %1 could not be written: %2").arg(path, why));
        return;
    }
    platform::MsgBox(QStringLiteral("Configuration export completed Successfully!"), platform::vbOKOnly,
                     platform::vbInformation, kSuccessTitle);
}

// ---- import --------------------------------------------------------------------

void frmPropertyTables::btnImportPropertyTable_Click() {
    OpenLinkIfNeeded();
    frmMain* main = MainWindow();
    if (!main || !main->CanWrite()) return;

    frmBrowse browse(this);
    browse.AcceptedFlag = false;
    platform::showModal(browse);
    if (!browse.AcceptedFlag) return;
    const QString path = PathIn(browse.directory(), browse.selectedFile());

    // The whole file is checked before anything goes to the meter.
    QString why;
    const std::optional<QStringList> lines = ReadTableFileLines(path, why);
    if (!lines) {
        ShowError(QStringLiteral("The file %1 could not be read: %2").arg(path, why));
        return;
    }
    if (const std::optional<QString> error = ParseTableFile(*lines, transfer_.table())) {
        ShowError(QStringLiteral("The file %1 is not a property table file. %2").arg(path, *error));
        return;
    }
    transfer_.BeginImport();
    ui->lblStatus->clear();
    StartTransfer(*tmrWriteInfo);
}

void frmPropertyTables::tmrWriteInfo_Timer() {
    if (tickRunning_ || !tmrWriteInfo->isActive()) return;
    tickRunning_ = true;
    setEnabled(false);
    QString status = ui->lblStatus->text();
    const auto step = transfer_.ImportStep(status);
    ui->lblStatus->setText(status);
    ShowProgress();
    if (step == PropertyTableTransfer::Step::Failed) {
        StopTransfer(*tmrWriteInfo, QStringLiteral("Import"));
    } else if (step == PropertyTableTransfer::Step::Finished) {
        EndTransfer(*tmrWriteInfo);
        platform::MsgBox(QStringLiteral("Configuration import completed successfully!"), platform::vbOKOnly,
                         platform::vbInformation, kSuccessTitle);
        // Show the table the meter now holds.
        ReadTableInfo();
    }
    tickRunning_ = false;
}

}  // namespace app
