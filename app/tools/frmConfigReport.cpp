#include "app/tools/frmConfigReport.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/modUnitCodes.h"
#include "app/forms/configuration_form.h"
#include "app/shell/frmMain.h"
#include "app/tools/report_output.h"
#include "app/tools/tool_widgets.h"
#include "platform/fit.h"
#include "platform/platform.h"

namespace app {

namespace {

// K-factor from revision 9, totalizer settings from revision 18.
constexpr int kFirstRevisionWithKFactor = 9;
constexpr int kFirstRevisionWithTotalizerSettings = 18;
constexpr int kStepsWithoutOptions = 26;

// The text of a code; a code outside the list is "Invalid".
QString mapped(int code, std::initializer_list<const char*> texts) {
    if (code < 0 || code >= static_cast<int>(texts.size())) return QStringLiteral("Invalid");
    return QString::fromLatin1(texts.begin()[code]);
}

void readInto(void (*send)(), const std::function<void()>& fill) {
    if (MeterTook(send)) fill();
}

bool hasKFactor(int revision) { return revision >= kFirstRevisionWithKFactor; }
bool hasTotalizerSettings(int revision) { return revision >= kFirstRevisionWithTotalizerSettings; }

}  // namespace

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

    // The texts at their longest: packed fields at their full length, the
    // others at their longest wording.
    fitTexts(*this, {
                        {"txtTag", platform::longestPackedText(8)},
                        {"txtModelNumber", platform::longestPackedText(12)},
                        {"txtPartNumber", platform::longestPackedText(16)},
                        {"txtPropertyTableName", platform::longestPackedText(24)},
                        {"txtUserSpecifiedTotalizerUnit", platform::longestPackedText(8)},
                        {"txtPVType", QStringLiteral("Standard Flow")},
                        {"txtPVUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtTemperatureUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtPressureUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtTotalizerUnit", QStringLiteral("User Defined Volume Flow")},
                        {"txtAlarmCurrent", QStringLiteral("High (21.75mA)")},
                        {"txtLCD", QStringLiteral("Primary Variable")},
                        {"txtTemperatureSource", QStringLiteral("Integrated RTD")},
                        {"txtPressureSource", QStringLiteral("Analog input - Absolute")},
                        {"txtDensityViscositySource", QStringLiteral("User Specified")},
                        {"txtPulseMode", QStringLiteral("User Spec Frequency")},
                        {"txtTotalizerMode", QStringLiteral("Stopped")},
                    });

    connect(btnRead, &QPushButton::clicked, this, &frmConfigReport::btnRead_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmConfigReport::btnPrint_Click);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::close);

    const frmMain* main = MainWindow();
    ApplyRevision(main ? main->SoftwareRevision : 0);
    OpenLinkIfNeeded();
}

QLineEdit* frmConfigReport::box(const char* name) const {
    auto* found = findChild<QLineEdit*>(QString::fromLatin1(name));
    Q_ASSERT(found);
    return found;
}

QString frmConfigReport::text(const char* name) const { return box(name)->text(); }

void frmConfigReport::ApplyRevision(int softwareRevision) {
    revision_ = softwareRevision;
    const bool kFactor = hasKFactor(revision_);
    const bool totalizerSettings = hasTotalizerSettings(revision_);
    for (const char* name : {"txtKFactor", "lblKFactor"})
        findChild<QWidget*>(QString::fromLatin1(name))->setVisible(kFactor);
    for (const char* name : {"txtRollOverValue", "txtMultiplier", "txtUserSpecifiedTotalizerUnit", "lblRollOverValue",
                             "lblMultiplier", "lblCustomTotalizerUnit"})
        findChild<QWidget*>(QString::fromLatin1(name))->setVisible(totalizerSettings);
    ReadProgress->setMaximum(kStepsWithoutOptions + (kFactor ? 1 : 0) + (totalizerSettings ? 1 : 0));
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

// A command the meter did not take fills nothing: its boxes stay empty
// rather than show values another read left in the store.
void frmConfigReport::Read() {
    for (QLineEdit* shown : findChildren<QLineEdit*>()) shown->clear();
    // A revision that changed since the form opened (another meter connected)
    // reshapes the form, so the steps always fill the bar exactly.
    const frmMain* main = MainWindow();
    if (main && main->SoftwareRevision != revision_) ApplyRevision(main->SoftwareRevision);
    FenwireControl* control = Fenwire1();
    auto pv = [control](const char* name, int places) {
        return control ? RoundedText(control->getFloat(name), places) : QString();
    };
    auto unit = [control](const char* name) { return control ? UnitText(control->get(name)) : QString(); };

    ReadProgress->setValue(0);
    frameDownLoadingData->setVisible(true);

    if (main) {
        box("txtModelNumber")->setText(main->findChild<QLineEdit*>(QStringLiteral("txtModelNumber"))->text());
        box("txtTag")->setText(main->findChild<QLineEdit*>(QStringLiteral("txtTag"))->text());
        box("txtDeviceID")->setText(QString::number(main->DeviceNumber));
    }
    Step();

    readInto(&SendCmd137, [&] {
        box("txtPartNumber")->setText(PartNumber);
    });
    Step();
    readInto(&SendCmd50, [&] {
        box("txtPVType")->setText(mapped(PVVariableCode, {"Volume Flow", "Mass Flow", "Standard Flow", "Velocity",
                                                          "Temperature", "Pressure", "Frequency"}));
    });
    Step();
    readInto(&SendAction2, [&] { box("txtLoopCurrent")->setText(pv("p02Current", 4)); });
    readInto(&SendAction3, [&] {
        box("txtPV")->setText(pv("p03Pv1", 4));
        box("txtPVUnit")->setText(unit("p03Pv1Unit"));
        box("txtProcessTemperature")->setText(pv("p03Pv3", 2));
        box("txtTemperatureUnit")->setText(unit("p03Pv3Unit"));
        box("txtProcessPressure")->setText(pv("p03Pv4", 3));
        box("txtPressureUnit")->setText(unit("p03Pv4Unit"));
        box("txtSheddingFrequency")->setText(pv("p03Pv2", 1));
    });
    Step();
    readInto(&SendCmd15, [&] {
        box("txtUpperRange")->setText(RoundedText(UpperRangeValue, 3));
        box("txtLowerRange")->setText(RoundedText(LowerRangeValue, 3));
        box("txtDamping")->setText(RoundedText(DampingValue, 4));
        box("txtAlarmCurrent")->setText(mapped(AlarmSelectionCode, {"High (21.75mA)", "Low (3.75mA)"}));
    });
    Step();
    readInto(&SendCmd235, [&] {
        box("txtTemperatureSource")
            ->setText(mapped(TemperatureSource, {"Integrated RTD", "External RTD", "User Specified", "Steam Table"}));
    });
    Step();
    readInto(&SendCmd233, [&] {
        box("txtUserSpecifiedTemperature")->setText(RoundedText(UserDefinedTemperature, 2));
    });
    Step();
    readInto(&SendCmd241, [&] {
        box("txtPressureSource")
            ->setText(mapped(PressureSource, {"Analog input - Absolute", "User Specified", "Steam Table",
                                              "Analog input - Gauge"}));
    });
    Step();
    readInto(&SendCmd239, [&] {
        box("txtUserSpecifiedPressure")->setText(NumberText(UserDefinedPressure));
    });
    Step();
    readInto(&SendCmd184, [&] {
        box("txtInputUpperRange")->setText(RoundedText(InputUpperRange, 5));
        box("txtInputLowerRange")->setText(RoundedText(InputLowerRange, 5));
        box("txtInputPressure")->setText(RoundedText(InputPressure, 5));
        box("txtInputCurrent")->setText(RoundedText(InputCurrent, 5));
    });
    Step();
    readInto(&SendCmd205, [&] {
        box("txtProcessDensity")->setText(RoundedText(ProcessDensity, 6));
        box("txtStandardDensity")->setText(RoundedText(StandardDensity, 6));
        box("txtProcessViscosity")->setText(RoundedText(ProcessViscosity, 6));
    });
    Step();
    readInto(&SendCmd214, [&] {
        box("txtDensityViscositySource")
            ->setText(mapped(DensityViscositySource, {"Property Table", "User Specified", "Steam Table"}));
    });
    Step();
    readInto(&SendCmd216, [&] {
        box("txtPropertyTableName")->setText(PropertyTableName);
        box("txtPropertyTableVersion")->setText(QString::number(PropertyTableVersion));
    });
    Step();
    readInto(&SendCmd212, [&] {
        box("txtViscosity")->setText(RoundedText(UserDefinedViscosity, 6));
        box("txtDensity")->setText(RoundedText(UserDefinedDensity, 6));
    });
    Step();
    readInto(&SendCmd164, [&] {
        box("txtLCD")->setText(mapped(LCDDisplayMode, {"Primary Variable", "Loop Current", "Totalizer", "Temperature",
                                                       "Pressure", "PV & Totalizer"}));
    });
    Step();
    readInto(&SendCmd208, [&] {
        box("txtPipeID")->setText(RoundedText(PipeID, 3));
    });
    Step();
    readInto(&SendCmd145, [&] {
        box("txtStandardTemperature")->setText(RoundedText(BaseTemperature, 2));
    });
    Step();
    readInto(&SendCmd147, [&] {
        box("txtStandardPressure")->setText(RoundedText(BasePressure, 3));
    });
    Step();
    readInto(&SendCmd252, [&] {
        box("txtAtmosphericPressure")->setText(RoundedText(AtmosphericPressure, 3));
    });
    Step();
    if (hasKFactor(revision_)) {
        readInto(&SendCmd167, [&] {
            box("txtKFactor")->setText(RoundedText(KFactor, 5));
        });
        Step();
    }
    readInto(&SendCmd149, [&] {
        box("txtLowFlowCutoff")->setText(RoundedText(LowFlowCutoff, 1));
    });
    Step();
    readInto(&SendCmd152, [&] {
        box("txtUpperRangeFrequency")->setText(NumberText(UpperRangeFrequency));
    });
    Step();
    readInto(&SendCmd154, [&] {
        box("txtPulseOutputFrequency")->setText(NumberText(PulseOutputFrequency));
    });
    Step();
    readInto(&SendCmd156, [&] {
        box("txtUserSpecifiedFrequency")->setText(NumberText(UserDefinedFrequency));
    });
    Step();
    readInto(&SendCmd150, [&] {
        box("txtPulseMode")->setText(mapped(PulseOutputMode, {"Shedding Frequency", "Scaled PV", "User Spec Frequency",
                                                              "Disabled"}));
    });
    Step();
    readInto(&SendCmd149, [&] {
        box("txtLowFlowCutoff")->setText(RoundedText(LowFlowCutoff, 0));
    });
    Step();

    // Without the meter's totalizer settings the multiplier is 1: the
    // totalizer counts in the unit command 160 names.
    float multiplier = 1.0f;
    box("txtMultiplier")->setText(QStringLiteral("1.0"));
    if (hasTotalizerSettings(revision_)) {
        readInto(&SendCmd188, [&] {
            multiplier = TotalizerMultiplier;
            box("txtRollOverValue")->setText(NumberText(TotalizerRollOverValue));
            box("txtMultiplier")->setText(NumberText(TotalizerMultiplier));
            box("txtUserSpecifiedTotalizerUnit")->setText(TotalizerCustomUnit);
        });
        Step();
    }
    readInto(&SendCmd160, [&] {
        box("txtTotalizerValue")->setText(ScientificText(TotalizerValue));
        box("txtTotalizerMode")->setText(mapped(TotalizerRunning, {"Stopped", "Running"}));
        box("txtTotalizerUnit")
            ->setText(multiplier != 1.0f ? text("txtUserSpecifiedTotalizerUnit") : UnitText(TotalizerUnitCode));
    });
    Step();

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

QStringList frmConfigReport::ReportLines() const {
    auto t = [this](const char* name) { return text(name); };
    QStringList lines = {
        "Device ID: " + t("txtDeviceID"),
        "Tag: " + t("txtTag"),
        "Model Number: " + t("txtModelNumber"),
        "Part Number: " + t("txtPartNumber"),
        "Primary Variable Type: " + t("txtPVType"),
        "Primary Variable: " + t("txtPV") + " " + t("txtPVUnit"),
        "Loop Current: " + t("txtLoopCurrent") + " mA",
        "Analog Output Range: " + t("txtLowerRange") + " to " + t("txtUpperRange") + " " + t("txtPVUnit"),
        "Process Temperature: " + t("txtProcessTemperature") + " " + t("txtTemperatureUnit"),
        "Temperature Source: " + t("txtTemperatureSource"),
        "User Specified Temperature: " + t("txtUserSpecifiedTemperature") + " F",
        "Shedding Frequency: " + t("txtSheddingFrequency") + " Hz",
        "Process Pressure: " + t("txtProcessPressure") + " " + t("txtPressureUnit"),
        "Pressure Source: " + t("txtPressureSource"),
        "User Specified Pressure: " + t("txtUserSpecifiedPressure") + " PSI",
        "Analog Input Range: " + t("txtInputLowerRange") + " to " + t("txtInputUpperRange") + " PSI",
        "Analig Input Current: " + t("txtInputCurrent") + " mA",
        "Analog Input Pressure: " + t("txtInputPressure") + " PSI",
        "Process Density: " + t("txtProcessDensity") + " lb/cft",
        "Process Viscosity: " + t("txtProcessViscosity") + " cP",
        "Standard Density: " + t("txtStandardDensity") + "lb/cft",
        "Density and Viscosity Source: " + t("txtDensityViscositySource"),
        "Property Table: " + t("txtPropertyTableName") + " Ver: " + t("txtPropertyTableVersion"),
        "User Specified Density: " + t("txtDensity") + " lb/cft",
        "User Specified Viscosity: " + t("txtViscosity") + " cP",
        "Damping Value: " + t("txtDamping") + " Seconds",
        "LCD Display Setting: " + t("txtLCD"),
        "Pipe ID: " + t("txtPipeID") + " Inches",
        "Alarm Current: " + t("txtAlarmCurrent"),
        "Standard Temperature: " + t("txtStandardTemperature") + " F",
        "Standard Pressure: " + t("txtStandardPressure") + " PSI",
        "Atmospheric Pressure: " + t("txtAtmosphericPressure") + " PSI",
        "K-Factor: " + t("txtKFactor"),
        "Low Flow Cutoff: " + t("txtLowFlowCutoff") + " Hz",
        "Pulse Output Mode: " + t("txtPulseMode"),
        "Pulse Output Frequency: " + t("txtPulseOutputFrequency") + " Hz",
        "Pulse Output Upper Range Frequency: " + t("txtUpperRangeFrequency") + " Hz",
        "Pulse Output User Specified Frequency: " + t("txtUserSpecifiedFrequency") + " Hz",
        "Totalizer Value: " + t("txtTotalizerValue") + " " + t("txtTotalizerUnit"),
        "Totalizer Mode: " + t("txtTotalizerMode"),
    };
    if (hasTotalizerSettings(revision_)) {
        lines << "Totalizer Rollover Value: " + t("txtRollOverValue")
              << "Totalizer Multiplier: " + t("txtMultiplier")
              << "Custom Totalizer Unit: " + t("txtTotalizerUnit");
    }
    return lines;
}

}  // namespace app
