#include "app/tools/frmConfigReport.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "app/tools/report_output.h"
#include "app/tools/tool_widgets.h"
#include "platform/fit.h"
#include "platform/platform.h"

namespace app {

frmConfigReport::frmConfigReport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmConfigReport"));
    setWindowTitle(QStringLiteral("  Configuration Report"));

    auto* device = new QGridLayout;
    addDisplayRow(*this, *device, "txtDeviceID", "Device ID:");
    addDisplayRow(*this, *device, "txtTag", "Tag:");
    addDisplayRow(*this, *device, "txtModelNumber", "Model Number:");
    addDisplayRow(*this, *device, "txtPartNumber", "Part Number:");
    addDisplayRow(*this, *device, "txtPVType", "Primary Variable Type:");
    addDisplayRow(*this, *device, "txtPV", "Primary Variable:");
    addDisplayRow(*this, *device, "txtPVUnit", "Primary Variable Unit:");
    addDisplayRow(*this, *device, "txtLoopCurrent", "Loop Current:", "mA");
    addDisplayRow(*this, *device, "txtLowerRange", "Lower Range:");
    addDisplayRow(*this, *device, "txtUpperRange", "Upper Range:");
    addDisplayRow(*this, *device, "txtDamping", "Damping Value:", "Seconds");
    addDisplayRow(*this, *device, "txtAlarmCurrent", "Alarm Current:");
    addDisplayRow(*this, *device, "txtLCD", "LCD Display Setting:");
    addDisplayRow(*this, *device, "txtPipeID", "Pipe ID:", "Inches");
    addDisplayRow(*this, *device, "txtKFactor", "K-Factor:");
    addDisplayRow(*this, *device, "txtLowFlowCutoff", "Low Flow Cutoff:", "Hz");
    addDisplayRow(*this, *device, "txtSheddingFrequency", "Shedding Frequency:", "Hz");

    auto* process = new QGridLayout;
    addDisplayRow(*this, *process, "txtProcessTemperature", "Process Temperature:");
    addDisplayRow(*this, *process, "txtTemperatureUnit", "Temperature Unit:");
    addDisplayRow(*this, *process, "txtTemperatureSource", "Temperature Source:");
    addDisplayRow(*this, *process, "txtUserSpecifiedTemperature", "User Specified Temperature:", "F");
    addDisplayRow(*this, *process, "txtProcessPressure", "Process Pressure:");
    addDisplayRow(*this, *process, "txtPressureUnit", "Pressure Unit:");
    addDisplayRow(*this, *process, "txtPressureSource", "Pressure Source:");
    addDisplayRow(*this, *process, "txtUserSpecifiedPressure", "User Specified Pressure:", "PSI");
    addDisplayRow(*this, *process, "txtInputLowerRange", "Analog Input Lower Range:", "PSI");
    addDisplayRow(*this, *process, "txtInputUpperRange", "Analog Input Upper Range:", "PSI");
    addDisplayRow(*this, *process, "txtInputCurrent", "Analog Input Current:", "mA");
    addDisplayRow(*this, *process, "txtInputPressure", "Analog Input Pressure:", "PSI");
    addDisplayRow(*this, *process, "txtStandardTemperature", "Standard Temperature:", "F");
    addDisplayRow(*this, *process, "txtStandardPressure", "Standard Pressure:", "PSI");
    addDisplayRow(*this, *process, "txtAtmosphericPressure", "Atmospheric Pressure:", "PSI");

    auto* fluid = new QGridLayout;
    addDisplayRow(*this, *fluid, "txtProcessDensity", "Process Density:", "lb/cft");
    addDisplayRow(*this, *fluid, "txtStandardDensity", "Standard Density:", "lb/cft");
    addDisplayRow(*this, *fluid, "txtProcessViscosity", "Process Viscosity:", "cP");
    addDisplayRow(*this, *fluid, "txtDensityViscositySource", "Density and Viscosity Source:");
    addDisplayRow(*this, *fluid, "txtPropertyTableName", "Property Table:");
    addDisplayRow(*this, *fluid, "txtPropertyTableVersion", "Property Table Version:");
    addDisplayRow(*this, *fluid, "txtDensity", "User Specified Density:", "lb/cft");
    addDisplayRow(*this, *fluid, "txtViscosity", "User Specified Viscosity:", "cP");
    addDisplayRow(*this, *fluid, "txtPulseMode", "Pulse Output Mode:");
    addDisplayRow(*this, *fluid, "txtPulseOutputFrequency", "Pulse Output Frequency:", "Hz");
    addDisplayRow(*this, *fluid, "txtUpperRangeFrequency", "Upper Range Frequency:", "Hz");
    addDisplayRow(*this, *fluid, "txtUserSpecifiedFrequency", "User Specified Frequency:", "Hz");
    addDisplayRow(*this, *fluid, "txtTotalizerValue", "Totalizer Value:");
    addDisplayRow(*this, *fluid, "txtTotalizerUnit", "Totalizer Unit:");
    addDisplayRow(*this, *fluid, "txtTotalizerMode", "Totalizer Mode:");
    addDisplayRow(*this, *fluid, "txtRollOverValue", "Totalizer Rollover Value:");
    addDisplayRow(*this, *fluid, "txtMultiplier", "Totalizer Multiplier:");
    addDisplayRow(*this, *fluid, "txtUserSpecifiedTotalizerUnit", "Custom Totalizer Unit:");
    // The custom unit's label carries a name of its own.
    findChild<QLabel*>(QStringLiteral("lblUserSpecifiedTotalizerUnit"))
        ->setObjectName(QStringLiteral("lblCustomTotalizerUnit"));

    frameDownLoadingData = new QGroupBox(QStringLiteral("Up Loading Data"), this);
    frameDownLoadingData->setObjectName(QStringLiteral("frameDownLoadingData"));
    ReadProgress = new QProgressBar(frameDownLoadingData);
    ReadProgress->setObjectName(QStringLiteral("ReadProgress"));
    (new QVBoxLayout(frameDownLoadingData))->addWidget(ReadProgress);
    frameDownLoadingData->setVisible(false);
    // The bar shows beside the buttons while a Read runs; its place is kept
    // while it is hidden, so a Read never changes the form's size.
    QSizePolicy keepPlace = frameDownLoadingData->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    frameDownLoadingData->setSizePolicy(keepPlace);

    btnRead = makeButton(*this, "btnRead", "Read");
    btnPrint = makeButton(*this, "btnPrint", "Print");
    btnOK = makeButton(*this, "btnOK", "Close");
    QHBoxLayout* columns = columnsRow({device, process, fluid});
    QHBoxLayout* buttons = readPrintCloseRow(btnRead, btnPrint, btnOK);
    buttons->insertWidget(2, frameDownLoadingData, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    // The texts at their longest: packed fields at their full length, units
    // at their longest wording, coded fields at each of their choices.
    fitTexts(*this, {
                        {"txtTag", platform::longestPackedText(8)},
                        {"txtModelNumber", platform::longestPackedText(12)},
                        {"txtPartNumber", platform::longestPackedText(16)},
                        {"txtPropertyTableName", platform::longestPackedText(24)},
                        {"txtUserSpecifiedTotalizerUnit", platform::longestPackedText(8)},
                        {"txtPVUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtTemperatureUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtPressureUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtTotalizerUnit", QStringLiteral("User Defined Volume Flow")},
                    });
    for (const ReportField& field : ConfigReportFields())
        for (const QString& choice : ConfigReportChoices(field.box)) platform::fitToText(*box(field.box), choice);

    connect(btnRead, &QPushButton::clicked, this, &frmConfigReport::btnRead_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmConfigReport::btnPrint_Click);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::close);

    ApplyRevision(MainWindowIdentity().softwareRevision);
    OpenLinkIfNeeded();
}

QLineEdit* frmConfigReport::box(const char* name) const {
    auto* found = findChild<QLineEdit*>(QString::fromLatin1(name));
    Q_ASSERT(found);
    return found;
}

void frmConfigReport::ApplyRevision(int softwareRevision) {
    report_.revision = softwareRevision;
    const bool kFactor = ConfigReportHasKFactor(softwareRevision);
    const bool totalizerSettings = ConfigReportHasTotalizerSettings(softwareRevision);
    for (const char* name : {"txtKFactor", "lblKFactor"})
        findChild<QWidget*>(QString::fromLatin1(name))->setVisible(kFactor);
    for (const char* name : {"txtRollOverValue", "txtMultiplier", "txtUserSpecifiedTotalizerUnit", "lblRollOverValue",
                             "lblMultiplier", "lblCustomTotalizerUnit"})
        findChild<QWidget*>(QString::fromLatin1(name))->setVisible(totalizerSettings);
    ReadProgress->setMaximum(ConfigReportSteps(softwareRevision));
    adjustSize();
}

void frmConfigReport::setButtonsEnabled(bool enabled) {
    for (QPushButton* button : {btnRead, btnPrint, btnOK}) button->setEnabled(enabled);
}

void frmConfigReport::btnRead_Click() {
    setButtonsEnabled(false);
    if (OpenLinkIfNeeded()) {
        platform::BusyPointer busy;
        Read();
    }
    setButtonsEnabled(true);
}

void frmConfigReport::Step() { ReadProgress->setValue(ReadProgress->value() + 1); }

void frmConfigReport::Show(const ConfigReport& report) {
    for (const ReportField& field : ConfigReportFields()) box(field.box)->setText(report.field(field.box));
}

void frmConfigReport::Read() {
    for (QLineEdit* shown : findChildren<QLineEdit*>()) shown->clear();
    // A revision that changed since the form opened (another meter connected)
    // reshapes the form, so the steps always fill the bar exactly.
    const MeterIdentity identity = MainWindowIdentity();
    if (identity.softwareRevision != report_.revision) ApplyRevision(identity.softwareRevision);
    ReadProgress->setValue(0);
    frameDownLoadingData->setVisible(true);
    report_ = ReadConfigReport(identity, [this](const ConfigReport& report) {
        Show(report);
        Step();
    });
    Show(report_);
    frameDownLoadingData->setVisible(false);
    // The bar shows beside the buttons while a Read runs; its place is kept
    // while it is hidden, so a Read never changes the form's size.
    QSizePolicy keepPlace = frameDownLoadingData->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    frameDownLoadingData->setSizePolicy(keepPlace);
}

void frmConfigReport::btnPrint_Click() {
    setButtonsEnabled(false);
    OutputReport(ReportLines());
    setButtonsEnabled(true);
}

QStringList frmConfigReport::ReportLines() const { return ConfigReportLines(report_); }

}  // namespace app
