// The configuration report: reads the meter's whole configuration into one
// screen, with a progress bar while the 26 to 28 transactions run, and turns
// it into report lines for the printer or a text file. Only reads. What it
// reads and prints depends on the meter's software revision.
#pragma once

#include <QDialog>
#include <QStringList>

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
    void setButtonsEnabled(bool enabled);
    QLineEdit* box(const char* name) const;
    QString text(const char* name) const;

    QGroupBox* frameDownLoadingData;
    QProgressBar* ReadProgress;
    QPushButton* btnRead;
    QPushButton* btnPrint;
    QPushButton* btnOK;
    int revision_ = 0;  // the software revision the form is shaped for
};

}  // namespace app
