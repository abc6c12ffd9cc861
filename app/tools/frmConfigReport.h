// The configuration report window: shows the report (app/reports) that it
// reads, with a progress bar while the 26 to 28 transactions run, and sends
// its lines to the printer or a text file.
#pragma once

#include <QDialog>
#include <QStringList>

#include "app/reports/config_report.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace app {

class frmConfigReport : public QDialog {
    Q_OBJECT
public:
    explicit frmConfigReport(QWidget* parent = nullptr);

    // The report, one line per entry, from what the boxes show.
    QStringList ReportLines() const;

private:
    // Shows or hides the boxes of the revision and sets the progress maximum
    // to the number of steps a read takes on it.
    void ApplyRevision(int softwareRevision);
    void btnRead_Click();
    void btnPrint_Click();
    void Read();
    void Step();
    // Every box shows its field of `report` (empty when absent).
    void Show(const ConfigReport& report);
    void setButtonsEnabled(bool enabled);
    QLineEdit* box(const char* name) const;

    QGroupBox* frameDownLoadingData;
    QProgressBar* ReadProgress;
    QPushButton* btnRead;
    QPushButton* btnPrint;
    QPushButton* btnOK;
    ConfigReport report_;  // the latest read; its revision is the one the form is shaped for
};

}  // namespace app
