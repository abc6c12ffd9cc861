// Property tables: shows the name and version of the meter's table set and
// moves whole table sets between the meter and comma-separated files, one
// command per timer tick, the form disabled while a transfer runs.
#pragma once

#include <QDialog>
#include <memory>

#include "app/reports/property_tables.h"
#include "platform/platform.h"

class QTimer;

namespace Ui {
class frmPropertyTables;
}

namespace app {

class frmPropertyTables : public QDialog {
    Q_OBJECT
public:
    explicit frmPropertyTables(QWidget* parent = nullptr);
    ~frmPropertyTables() override;

    // One step of an export or an import (what a timer tick runs).
    void tmrReadInfo_Timer();
    void tmrWriteInfo_Timer();
    bool transferring() const;

    void reject() override;  // not while a transfer runs

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void btnExportPropertyTable_Click();
    void btnImportPropertyTable_Click();
    void WriteTableFile();
    // A transfer runs from its start to its end (finished or failed) with
    // the busy pointer and the progress bar showing.
    void StartTransfer(QTimer& timer);
    void ShowProgress();
    void EndTransfer(QTimer& timer);
    // Ends a transfer that a transaction failed: the port form has said why.
    void StopTransfer(QTimer& timer, const QString& what);
    void ShowTableInfo(const QString& name, int revision);
    void ReadTableInfo();

    std::unique_ptr<Ui::frmPropertyTables> ui;
    QTimer* tmrReadInfo = nullptr;
    QTimer* tmrWriteInfo = nullptr;
    PropertyTableTransfer transfer_;
    bool tickRunning_ = false;
    std::unique_ptr<platform::BusyPointer> busy_;
};

}  // namespace app
