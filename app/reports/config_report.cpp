#include "app/reports/config_report.h"

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/modUnitCodes.h"
#include "app/shell/frmComPort.h"

namespace app {

QStringList ConfigReportChoices(const char* box) {
    static const QMap<QString, QStringList> choices = {
        {"txtPVType", {"Volume Flow", "Mass Flow", "Standard Flow", "Velocity", "Temperature", "Pressure", "Frequency"}},
        {"txtAlarmCurrent", {"High (21.75mA)", "Low (3.75mA)"}},
        {"txtTemperatureSource", {"Integrated RTD", "External RTD", "User Specified", "Steam Table"}},
        {"txtPressureSource", {"Analog input - Absolute", "User Specified", "Steam Table", "Analog input - Gauge"}},
        {"txtDensityViscositySource", {"Property Table", "User Specified", "Steam Table"}},
        {"txtLCD", {"Primary Variable", "Loop Current", "Totalizer", "Temperature", "Pressure", "PV & Totalizer"}},
        {"txtPulseMode", {"Shedding Frequency", "Scaled PV", "User Spec Frequency", "Disabled"}},
        {"txtTotalizerMode", {"Stopped", "Running"}},
    };
    return choices.value(QString::fromLatin1(box));
}

namespace {

constexpr int kFirstRevisionWithKFactor = 9;
constexpr int kFirstRevisionWithTotalizerSettings = 18;
constexpr int kStepsWithoutOptions = 26;

// The text of a coded field's code; a code outside its choices is "Invalid".
QString mapped(int code, const char* box) {
    return ChoiceText(ConfigReportChoices(box), code).value_or(QStringLiteral("Invalid"));
}

}  // namespace

const std::vector<ReportField>& ConfigReportFields() {
    static const std::vector<ReportField> fields = {
        {"txtDeviceID", "device_id"},
        {"txtTag", "tag"},
        {"txtModelNumber", "model_number"},
        {"txtPartNumber", "part_number"},
        {"txtPVType", "pv_type"},
        {"txtPV", "pv"},
        {"txtPVUnit", "pv_unit"},
        {"txtLoopCurrent", "current"},
        {"txtLowerRange", "lower_range"},
        {"txtUpperRange", "upper_range"},
        {"txtDamping", "damping"},
        {"txtAlarmCurrent", "alarm_current"},
        {"txtLCD", "lcd_display"},
        {"txtPipeID", "pipe_id"},
        {"txtKFactor", "k_factor"},
        {"txtLowFlowCutoff", "low_flow_cutoff"},
        {"txtSheddingFrequency", "shedding_frequency"},
        {"txtProcessTemperature", "temperature"},
        {"txtTemperatureUnit", "temperature_unit"},
        {"txtTemperatureSource", "temperature_source"},
        {"txtUserSpecifiedTemperature", "user_temperature"},
        {"txtProcessPressure", "pressure"},
        {"txtPressureUnit", "pressure_unit"},
        {"txtPressureSource", "pressure_source"},
        {"txtUserSpecifiedPressure", "user_pressure"},
        {"txtInputLowerRange", "input_lower_range"},
        {"txtInputUpperRange", "input_upper_range"},
        {"txtInputCurrent", "input_current"},
        {"txtInputPressure", "input_pressure"},
        {"txtStandardTemperature", "standard_temperature"},
        {"txtStandardPressure", "standard_pressure"},
        {"txtAtmosphericPressure", "atmospheric_pressure"},
        {"txtProcessDensity", "process_density"},
        {"txtStandardDensity", "standard_density"},
        {"txtProcessViscosity", "process_viscosity"},
        {"txtDensityViscositySource", "density_viscosity_source"},
        {"txtPropertyTableName", "property_table"},
        {"txtPropertyTableVersion", "property_table_version"},
        {"txtDensity", "user_density"},
        {"txtViscosity", "user_viscosity"},
        {"txtPulseMode", "pulse_output_mode"},
        {"txtPulseOutputFrequency", "pulse_output_frequency"},
        {"txtUpperRangeFrequency", "upper_range_frequency"},
        {"txtUserSpecifiedFrequency", "user_frequency"},
        {"txtTotalizerValue", "totalizer_value"},
        {"txtTotalizerUnit", "totalizer_unit"},
        {"txtTotalizerMode", "totalizer_mode"},
        {"txtRollOverValue", "totalizer_roll_over"},
        {"txtMultiplier", "totalizer_multiplier"},
        {"txtUserSpecifiedTotalizerUnit", "custom_totalizer_unit"},
    };
    return fields;
}

bool ConfigReportHasKFactor(int revision) { return revision >= kFirstRevisionWithKFactor; }
bool ConfigReportHasTotalizerSettings(int revision) { return revision >= kFirstRevisionWithTotalizerSettings; }

int ConfigReportSteps(int revision) {
    return kStepsWithoutOptions + (ConfigReportHasKFactor(revision) ? 1 : 0) +
           (ConfigReportHasTotalizerSettings(revision) ? 1 : 0);
}

// A command the meter did not take fills nothing: its fields stay absent
// rather than show values another read left in the store.
ConfigReport ReadConfigReport(const MeterIdentity& meter, const std::function<void(const ConfigReport&)>& onStep) {
    ConfigReport report;
    report.revision = meter.softwareRevision;
    auto set = [&report](const char* box, const QString& text) { report.fields[QString::fromLatin1(box)] = text; };
    auto step = [&] {
        if (onStep) onStep(report);
    };
    auto readInto = [&report](void (*send)(), const std::function<void()>& fill) {
        if (MeterTook(send))
            fill();
        else
            ++report.failedReads;
    };
    FenwireControl* control = Fenwire1();
    auto pv = [control](const char* name, int places) {
        return control ? RoundedText(control->getFloat(name), places) : QString();
    };
    auto unit = [control](const char* name) { return control ? UnitText(control->get(name)) : QString(); };

    if (meter.known) {
        set("txtModelNumber", meter.modelNumber);
        set("txtTag", meter.tag);
        set("txtDeviceID", QString::number(meter.deviceNumber));
    }
    step();

    readInto(&SendCmd137, [&] { set("txtPartNumber", PartNumber); });
    step();
    readInto(&SendCmd50, [&] {
        set("txtPVType", mapped(PVVariableCode, "txtPVType"));
    });
    step();
    readInto(&SendAction2, [&] { set("txtLoopCurrent", pv("p02Current", 4)); });
    readInto(&SendAction3, [&] {
        set("txtPV", pv("p03Pv1", 4));
        set("txtPVUnit", unit("p03Pv1Unit"));
        set("txtProcessTemperature", pv("p03Pv3", 2));
        set("txtTemperatureUnit", unit("p03Pv3Unit"));
        set("txtProcessPressure", pv("p03Pv4", 3));
        set("txtPressureUnit", unit("p03Pv4Unit"));
        set("txtSheddingFrequency", pv("p03Pv2", 1));
    });
    step();
    readInto(&SendCmd15, [&] {
        set("txtUpperRange", RoundedText(UpperRangeValue, 3));
        set("txtLowerRange", RoundedText(LowerRangeValue, 3));
        set("txtDamping", RoundedText(DampingValue, 4));
        set("txtAlarmCurrent", mapped(AlarmSelectionCode, "txtAlarmCurrent"));
    });
    step();
    readInto(&SendCmd235, [&] {
        set("txtTemperatureSource", mapped(TemperatureSource, "txtTemperatureSource"));
    });
    step();
    readInto(&SendCmd233, [&] { set("txtUserSpecifiedTemperature", RoundedText(UserDefinedTemperature, 2)); });
    step();
    readInto(&SendCmd241, [&] {
        set("txtPressureSource", mapped(PressureSource, "txtPressureSource"));
    });
    step();
    readInto(&SendCmd239, [&] { set("txtUserSpecifiedPressure", NumberText(UserDefinedPressure)); });
    step();
    readInto(&SendCmd184, [&] {
        set("txtInputUpperRange", RoundedText(InputUpperRange, 5));
        set("txtInputLowerRange", RoundedText(InputLowerRange, 5));
        set("txtInputPressure", RoundedText(InputPressure, 5));
        set("txtInputCurrent", RoundedText(InputCurrent, 5));
    });
    step();
    readInto(&SendCmd205, [&] {
        set("txtProcessDensity", RoundedText(ProcessDensity, 6));
        set("txtStandardDensity", RoundedText(StandardDensity, 6));
        set("txtProcessViscosity", RoundedText(ProcessViscosity, 6));
    });
    step();
    readInto(&SendCmd214, [&] {
        set("txtDensityViscositySource", mapped(DensityViscositySource, "txtDensityViscositySource"));
    });
    step();
    readInto(&SendCmd216, [&] {
        set("txtPropertyTableName", PropertyTableName);
        set("txtPropertyTableVersion", QString::number(PropertyTableVersion));
    });
    step();
    readInto(&SendCmd212, [&] {
        set("txtViscosity", RoundedText(UserDefinedViscosity, 6));
        set("txtDensity", RoundedText(UserDefinedDensity, 6));
    });
    step();
    readInto(&SendCmd164, [&] {
        set("txtLCD", mapped(LCDDisplayMode, "txtLCD"));
    });
    step();
    readInto(&SendCmd208, [&] { set("txtPipeID", RoundedText(PipeID, 3)); });
    step();
    readInto(&SendCmd145, [&] { set("txtStandardTemperature", RoundedText(BaseTemperature, 2)); });
    step();
    readInto(&SendCmd147, [&] { set("txtStandardPressure", RoundedText(BasePressure, 3)); });
    step();
    readInto(&SendCmd252, [&] { set("txtAtmosphericPressure", RoundedText(AtmosphericPressure, 3)); });
    step();
    if (ConfigReportHasKFactor(report.revision)) {
        readInto(&SendCmd167, [&] { set("txtKFactor", RoundedText(KFactor, 5)); });
        step();
    }
    readInto(&SendCmd149, [&] { set("txtLowFlowCutoff", RoundedText(LowFlowCutoff, 1)); });
    step();
    readInto(&SendCmd152, [&] { set("txtUpperRangeFrequency", NumberText(UpperRangeFrequency)); });
    step();
    readInto(&SendCmd154, [&] { set("txtPulseOutputFrequency", NumberText(PulseOutputFrequency)); });
    step();
    readInto(&SendCmd156, [&] { set("txtUserSpecifiedFrequency", NumberText(UserDefinedFrequency)); });
    step();
    readInto(&SendCmd150, [&] {
        set("txtPulseMode", mapped(PulseOutputMode, "txtPulseMode"));
    });
    step();
    readInto(&SendCmd149, [&] { set("txtLowFlowCutoff", RoundedText(LowFlowCutoff, 0)); });
    step();

    // Without the meter's totalizer settings the multiplier is 1: the
    // totalizer counts in the unit command 160 names.
    float multiplier = 1.0f;
    set("txtMultiplier", QStringLiteral("1.0"));
    if (ConfigReportHasTotalizerSettings(report.revision)) {
        readInto(&SendCmd188, [&] {
            multiplier = TotalizerMultiplier;
            set("txtRollOverValue", NumberText(TotalizerRollOverValue));
            set("txtMultiplier", NumberText(TotalizerMultiplier));
            set("txtUserSpecifiedTotalizerUnit", TotalizerCustomUnit);
        });
        step();
    }
    readInto(&SendCmd160, [&] {
        set("txtTotalizerValue", ScientificText(TotalizerValue));
        set("txtTotalizerMode", mapped(TotalizerRunning, "txtTotalizerMode"));
        set("txtTotalizerUnit",
            multiplier != 1.0f ? report.field("txtUserSpecifiedTotalizerUnit") : UnitText(TotalizerUnitCode));
    });
    step();
    return report;
}

QStringList ConfigReportLines(const ConfigReport& report) {
    auto t = [&report](const char* box) { return report.field(box); };
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
    if (ConfigReportHasTotalizerSettings(report.revision)) {
        lines << "Totalizer Rollover Value: " + t("txtRollOverValue")
              << "Totalizer Multiplier: " + t("txtMultiplier")
              << "Custom Totalizer Unit: " + t("txtTotalizerUnit");
    }
    return lines;
}

}  // namespace app
