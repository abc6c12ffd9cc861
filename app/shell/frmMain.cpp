#include "app/shell/frmMain.h"

#include <QCloseEvent>
#include <QDialog>
#include <QSettings>
#include <QTimer>

#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/format.h"
#include "app/commands/mGlobal.h"
#include "app/commands/meter_mode.h"
#include "app/reports/live_values.h"
#include "app/shell/frmComPort.h"
#include "app/shell/frmFindDevices.h"
#include "platform/keyboard.h"
#include "platform/platform.h"
#include "ui_frmMain.h"

namespace app {

namespace {

frmMain* gMainWindow = nullptr;

constexpr int kSteamMeterType = 2;
constexpr int kWaferStyle = 0;
constexpr int kNoDisplay = 0;
constexpr int kFirstTotalizerSettingsRevision = 18;
constexpr int kContinuousIntervalMs = 500;
constexpr int kStatusConfigurationChanged = 0x40;
constexpr int kStatusCurrentFixed = 0x08;
constexpr int kSaveToMemory = 0;
constexpr int kRestoreFromMemory = 1;
constexpr int kFirstPort = 1;
constexpr int kLastPort = 24;

constexpr char kBeginContinuous[] = "Begin Continuous Display Update";
constexpr char kEndContinuous[] = "End Continuous Display Update";

// The per-user settings: native format, filed under the application title.
std::unique_ptr<QSettings> openSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kApplicationTitle,
                                       kApplicationTitle);
}
constexpr char kComPortKey[] = "Settings/ComPort";
constexpr char kPollAddressKey[] = "Settings/PollAddress";
constexpr int kLastPollAddress = 15;

// The port a stored text names; port 1 when none is stored or the text is no port.
uint8_t ComPortOf(const QString& stored) {
    bool ok = false;
    const int port = stored.trimmed().toInt(&ok);
    return ok && port >= kFirstPort && port <= kLastPort ? static_cast<uint8_t>(port) : kFirstPort;
}

// The polling address a stored text names; 0 when none is stored or the text is no address.
uint8_t PollAddressOf(const QString& stored) {
    bool ok = false;
    const int address = stored.trimmed().toInt(&ok);
    return ok && address >= 0 && address <= kLastPollAddress ? static_cast<uint8_t>(address) : 0;
}

bool IsFlowVariable(int variableCode) { return variableCode >= 0 && variableCode <= 2; }

std::map<QString, FormFactory>& formFactories() {
    // Each configuration form and tool is registered here as it is built.
    static std::map<QString, FormFactory> factories;
    return factories;
}

std::unique_ptr<QDialog> makeForm(const QString& form, QWidget* parent) {
    const auto it = formFactories().find(form);
    return it == formFactories().end() ? nullptr : it->second(parent);
}

bool formBuilt(const QString& form) { return formFactories().count(form) != 0; }

}  // namespace

QString PVLabelText(int variableCode) { return "PV (" + PVVariableName(variableCode) + "):"; }

void setFormFactory(const QString& form, FormFactory factory) {
    if (factory)
        formFactories()[form] = std::move(factory);
    else
        formFactories().erase(form);
}

void setFormFactories(const std::vector<FormRegistration>& forms, bool registered) {
    for (const FormRegistration& form : forms) setFormFactory(QString::fromLatin1(form.name), registered ? form.factory : nullptr);
}

std::unique_ptr<QDialog> createFormOf(const std::vector<FormRegistration>& forms, const QString& name, QWidget* parent) {
    for (const FormRegistration& form : forms)
        if (name == QLatin1String(form.name)) return form.factory(parent);
    return nullptr;
}

frmMain* MainWindow() { return gMainWindow; }

void SetApplicationTitle() { platform::setApplicationTitle(QString::fromLatin1(kApplicationTitle)); }

frmMain::frmMain(const fenwire::FenwireApi& api, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::frmMain>()) {
    ui->setupUi(this);
    setWindowTitle(QStringLiteral(" ") + kApplicationTitle);
    gMainWindow = this;

    tmrUpdateDisplay = new QTimer(this);
    tmrUpdateDisplay->setObjectName(QStringLiteral("tmrUpdateDisplay"));
    tmrUpdateDisplay->setInterval(kContinuousIntervalMs);
    connect(tmrUpdateDisplay, &QTimer::timeout, this, &frmMain::tmrUpdateDisplay_Timer);

    connect(ui->btnConnect, &QPushButton::clicked, this, &frmMain::btnConnect_Click);
    connect(ui->btnUpdate, &QPushButton::clicked, this, &frmMain::btnUpdate_Click);
    connect(ui->btnContinuous, &QPushButton::clicked, this, &frmMain::btnContinuous_Click);
    ConnectLeaves();

    platform::applyEntryLook(*this);
    platform::prepareKeyboard(*this);

    {
        const auto settings = openSettings();  // read once: the port's text as stored, and the address
        storedComPort_ = settings->value(kComPortKey).toString();
        storedPollAddress_ = PollAddressOf(settings->value(kPollAddressKey).toString());
    }
    ComPort = ComPortOf(storedComPort_);
    PollAddress = storedPollAddress_;
    ShowPollAddress();
    portForm_ = new frmComPort(api, this);
    // The lamps follow the status byte of every reply, not only those of Update.
    connect(portForm_, &frmComPort::DeviceStatusReceived, this, &frmMain::UpdateStatusLeds);
}

frmMain::~frmMain() {
    // Written only when they changed: the settings file is left alone (and
    // quitting stays quick) when the port and address stayed what was stored.
    const bool portChanged = QString::number(ComPort) != storedComPort_;
    const bool addressChanged = PollAddress != storedPollAddress_;
    if (portChanged || addressChanged) {
        const auto settings = openSettings();
        if (portChanged) settings->setValue(kComPortKey, QString::number(ComPort));
        if (addressChanged) settings->setValue(kPollAddressKey, QString::number(PollAddress));
    }
    if (gMainWindow == this) gMainWindow = nullptr;
}

void frmMain::closeEvent(QCloseEvent* event) {
    // One that refuses (a property-table transfer under way) keeps the
    // program open: ending it would leave the meter half written.
    for (QDialog* tool : findChildren<QDialog*>())
        if (tool->isVisible() && !tool->close()) {
            event->ignore();
            return;
        }
    QMainWindow::closeEvent(event);
}

void frmMain::ConnectLeaves() {
    // Leaves that show their form modally and do nothing else.
    const std::pair<QAction*, const char*> modalLeaves[] = {
        {ui->mnuAnalogRangeValues, "frmAnalogRangeValues"},
        {ui->mnuPrimaryVariable, "frmPrimaryVariable"},
        {ui->mnuHARTInterface, "frmHARTInterface"},
        {ui->mnuDampingValue, "frmDampingValue"},
        {ui->mnuProcessTemperature, "frmProcessTemperature"},
        {ui->mnuProcessPressure, "frmProcessPressure"},
        {ui->mnuDensityAndViscosity, "frmDensityAndViscosity"},
        {ui->mnuLCDDisplay, "frmLCDDisplay"},
        {ui->mnuPulseOutput, "frmPulseOutput"},
        {ui->mnuBurstMode, "frmBurstMode"},
        {ui->mnuStandardFlow, "frmStandardFlow"},
        {ui->mnuAlarmSelection, "frmAlarmSelection"},
        {ui->mnuPipeID, "frmPipeID"},
        {ui->mnuLowFlowCutoff, "frmLowFlowCutoff"},
        {ui->mnuKFactor, "frmKFactor"},
        {ui->mnuTotalizerSettings, "frmTotalizerSettings"},
        {ui->mnuPropertyTables, "frmPropertyTables"},
        {ui->mnuDiagnostics, "frmDiagnostics"},
        {ui->mnuConfigurationRpt, "frmConfigReport"},
        {ui->mnuFlowData, "frmCalibration"},
        {ui->mnuDigitalPots, "frmDigitalPotDisplay"},
        {ui->mnuAbout, "frmAbout"},
    };
    for (const auto& [entry, form] : modalLeaves) {
        const QString name = QString::fromLatin1(form);
        if (!formBuilt(name)) notBuilt_.insert(entry);
        connect(entry, &QAction::triggered, this, [this, name] { ShowModalForm(name); });
    }

    // Leaves with more to do than showing a form.
    const std::tuple<QAction*, const char*, void (frmMain::*)()> otherLeaves[] = {
        {ui->mnuPasswordProtection, "frmPasswordProtection", &frmMain::PasswordProtection},
        {ui->mnuTotalizer, "frmTotalizer", &frmMain::OpenTotalizer},
        {ui->mnuFlowProfiling, "frmFlowProfiling", &frmMain::OpenFlowProfiling},
        {ui->mnuFixedAnalogOutput, "frmTrimAnalogOutput", nullptr},
    };
    for (const auto& [entry, form, handler] : otherLeaves)
        if (!formBuilt(QString::fromLatin1(form))) notBuilt_.insert(entry);
    for (const auto& [entry, form, handler] : otherLeaves)
        if (handler) connect(entry, &QAction::triggered, this, handler);
    connect(ui->mnuFixedAnalogOutput, &QAction::triggered, this,
            [this] { ShowModelessForm(QStringLiteral("frmTrimAnalogOutput")); });

    connect(ui->mnuHartAnalysis, &QAction::triggered, this, &frmMain::OpenHartAnalysis);
    connect(ui->mnuEnterEditMode, &QAction::triggered, this, &frmMain::EnterEditMode);
    connect(ui->mnuPutMeterInService, &QAction::triggered, this, &frmMain::PutMeterInService);
    connect(ui->mnuSaveConfiguration, &QAction::triggered, this, &frmMain::SaveConfiguration);
    connect(ui->mnuRestoreConfiguration, &QAction::triggered, this, &frmMain::RestoreConfiguration);
    connect(ui->mnuRestoreFactoryConfiguration, &QAction::triggered, this, &frmMain::RestoreFactoryConfiguration);
    connect(ui->mnuComPort, &QAction::triggered, this, &frmMain::OpenComPort);
    connect(ui->mnuFindDevices, &QAction::triggered, this, &frmMain::FindDevices);

    for (QAction* entry : std::as_const(notBuilt_)) entry->setEnabled(false);
}

void frmMain::setEntryEnabled(QAction* entry, bool enabled) {
    entry->setEnabled(enabled && !notBuilt_.contains(entry));
}

// ---- reading the meter -------------------------------------------------------

bool frmMain::ReadIdentity() {
    if (!MeterTook([] { SendCmd132(); })) return false;
    ui->txtModelNumber->setText(ModelNumber);
    if (!MeterTook([] { SendCmd13(); })) return false;
    ui->txtTag->setText(Tag);
    FenwireControl* fenwire = Fenwire1();
    DeviceType = fenwire->get("p00DeviceID");
    SoftwareRevision = fenwire->get("p00SoftwRev");
    DeviceNumber = fenwire->get("p00DeviceNumber");
    if (SoftwareRevision >= kFirstTotalizerSettingsRevision) ui->mnuTotalizerSettings->setVisible(true);
    return true;
}

void frmMain::update() {
    ++updateDepth_;
    // Failed when a transaction got no response or an error, or could not run
    // because the link was closed. The refresh ends there and each value shows
    // only once the meter answered for it: what was never read stays empty.
    LiveValues values;
    UpdateOK = ReadLiveValues(values);
    if (values.currentRead) ui->txtPercentOfRange->setText(RoundedText(values.percent, kPercentPlaces));
    if (values.variableRead) ui->PVLabel->setText(PVLabelText(values.pvVariableCode));
    if (values.processRead) {
        ui->txtPV->setText(RoundedText(values.pv, kPVPlaces));
        ui->lblPVUnit->setText(values.pvUnit);
        ui->txtAnalogOutputCurrent->setText(RoundedText(values.current, kCurrentPlaces));
        ui->txtProcessTemperature->setText(RoundedText(values.temperature, kTemperaturePlaces));
        ui->lblProcessTemperatureUnit->setText(values.temperatureUnit);
        ui->txtProcessPressure->setText(RoundedText(values.pressure, kPressurePlaces));
        ui->lblProcessPressureUnit->setText(values.pressureUnit);
    }
    // The status byte came with these replies: the lamps show the meter as it is now.
    UpdateStatusLeds();
    --updateDepth_;
}

void frmMain::UpdateStatusLeds() {
    ui->ledChangedNotSaved->setOn((DeviceStatus & kStatusConfigurationChanged) != 0);
    ui->ledFixed->setOn((DeviceStatus & kStatusCurrentFixed) != 0);
}

// ---- buttons -----------------------------------------------------------------

void frmMain::btnConnect_Click() {
    // Connect ends where the meter cannot be reached: the port form has said
    // why, Connect stays usable, and nothing is shown that was not read.
    if (!portForm_->OpenLink()) return;
    {
        platform::BusyPointer busy;
        if (!ReadIdentity()) return;
        update();
        if (!UpdateOK) return;
        if (!ReadMode()) return;
        setEntryEnabled(ui->mnuPasswordProtection, InService);
        if (!ReadOptions()) return;
        ui->btnConnect->setEnabled(false);
        ui->btnUpdate->setEnabled(true);
        ui->btnContinuous->setEnabled(true);
        ui->btnUpdate->setFocus();  // rather than the next field, which would show selected
        platform::setButtonCaption(*ui->btnConnect, QStringLiteral("Connect"));
    }
    portForm_->InitHART();
}

void frmMain::btnUpdate_Click() {
    platform::BusyPointer busy;
    if (!portForm_->OpenLink()) return;
    update();
    ReadIdentity();
}

void frmMain::btnContinuous_Click() {
    if (tmrUpdateDisplay->isActive())
        StopContinuous();
    else
        StartContinuous();
}

void frmMain::StartContinuous() {
    tmrUpdateDisplay->start();
    ui->ledContinuous->setOn(true);
    platform::setButtonCaption(*ui->btnContinuous, QString::fromLatin1(kEndContinuous));
}

void frmMain::StopContinuous() {
    tmrUpdateDisplay->stop();
    ui->ledContinuous->setOn(false);
    platform::setButtonCaption(*ui->btnContinuous, QString::fromLatin1(kBeginContinuous));
}

void frmMain::tmrUpdateDisplay_Timer() {
    // A tick that arrives while an update waits for the meter is skipped:
    // nesting one update in another every 500 ms would never unwind on a
    // slow line, and each failure would stack another message box.
    // Nor does one run while a dialog's command is on the line: the live
    // values pause and resume with the next tick, and the update counts only
    // its own transactions, never a dialog's refusal.
    if (tickRunning_ || updateDepth_ > 0 || WaitingForMeter()) return;
    tickRunning_ = true;
    UpdateOK = false;
    update();
    if (!UpdateOK) {
        StopContinuous();
        platform::MsgBox(QStringLiteral("Update failed, switching out of continuous mode."), platform::vbOKOnly,
                         platform::vbInformation, QStringLiteral("Ending Continuous Mode"));
    }
    tickRunning_ = false;
}

// ---- edit mode and in service --------------------------------------------------

bool frmMain::ReadMode() {
    if (!MeterTook([] { SendCmd129(); })) return false;
    ModeRefresh();
    return true;
}

bool frmMain::ReadOptions() {
    if (!MeterTook([] { SendCmd137(); })) return false;
    SteamMeter = MeterType == kSteamMeterType;
    if (MeterStyle == kWaferStyle) {
        flowProfilingEnabled_ = false;
        ui->mnuFlowProfiling->setEnabled(false);
    }
    if (DisplayOption == kNoDisplay) ui->mnuLCDDisplay->setEnabled(false);
    SensorOption = app::SensorOption;
    optionsRead_ = true;
    return true;
}

bool frmMain::ReadMeterFacts() {
    if (!modeRead_ && !ReadMode()) return false;
    return optionsRead_ || ReadOptions();
}

void frmMain::ShowOutOfService() {
    InService = false;
    ui->ledOnline->setOn(false);
    EditMode = true;
    ui->ledEditMode->setOn(true);
}

void frmMain::ModeRefresh() {
    modeRead_ = true;
    AccessLevel = app::AccessLevel;
    PasswordProtected = PasswordProtectionFlag == 1;
    ui->ledPasswordProtected->setOn(PasswordProtected);
    InService = MeterMode != kEditModeCode;
    EditMode = !InService;
    setEntryEnabled(ui->mnuPutMeterInService, !InService);
    ui->ledOnline->setOn(InService);
    ui->ledEditMode->setOn(EditMode);
    setEntryEnabled(ui->mnuEnterEditMode, InService);
}

bool frmMain::PasswordConfirmed() {
    // The password prompt is not built yet; until it is, nothing confirms it.
    const std::unique_ptr<QDialog> prompt = makeForm(QStringLiteral("frmPasswordProtected"), this);
    return prompt && platform::showModal(*prompt) == QDialog::Accepted;
}

void frmMain::EnterEditMode() {
    if (!portForm_->OpenLink() || !ReadMeterFacts()) return;
    setEntryEnabled(ui->mnuPasswordProtection, false);
    if (PasswordProtected) {
        if (!MeterTook([] { SendCmd129(); })) return;
        PasswordProtected = PasswordProtectionFlag != 0;
        if (PasswordProtected && !PasswordConfirmed()) {
            platform::MsgBox(QString::fromLatin1(kIncorrectPassword), platform::vbOKOnly, platform::vbCritical);
            return;
        }
    }
    platform::BusyPointer busy;
    // With protection on, the prompt decided the mode: it is only read back.
    if (InService && !PasswordProtected) SendCmd128(kEditModeCode);
    ReadMode();
}

void frmMain::PutMeterInService() {
    if (!portForm_->OpenLink()) return;
    setEntryEnabled(ui->mnuPasswordProtection, true);
    platform::BusyPointer busy;
    SendCmd128(kInServiceCode);
    ReadMode();
}

void frmMain::PasswordProtection() {
    platform::BusyPointer busy;
    ShowModalForm(QStringLiteral("frmPasswordProtection"));
    if (MeterTook([] { SendCmd129(); })) PasswordProtected = PasswordProtectionFlag == 1;
}

bool frmMain::CanWrite() {
    // Judged on the mode the meter reported, never on defaults.
    if (!modeRead_ && !ReadMode()) return false;
    if (!EditMode &&
        platform::MsgBox(QString::fromLatin1(kNotInEditModeQuestion), platform::vbYesNo, platform::vbNoIcon,
                         QString::fromLatin1(kNotInEditModeTitle)) == platform::vbYes)
        EnterEditMode();
    return EditMode;
}

// ---- save and restore --------------------------------------------------------

// The lamp goes off only when the meter took the command: a refused or
// unanswered save leaves the configuration as unsaved as it was.
void frmMain::SaveConfiguration() {
    if (!portForm_->OpenLink() || !CanWrite()) return;
    platform::BusyPointer busy;
    if (MeterTook([] { SendCmd39(kSaveToMemory); })) ui->ledChangedNotSaved->setOn(false);
}

void frmMain::RestoreConfiguration() {
    if (!portForm_->OpenLink() || !CanWrite()) return;
    platform::BusyPointer busy;
    if (MeterTook([] { SendCmd39(kRestoreFromMemory); })) ui->ledChangedNotSaved->setOn(false);
}

void frmMain::RestoreFactoryConfiguration() {
    if (!portForm_->OpenLink() || !CanWrite()) return;
    if (platform::MsgBox(QStringLiteral("This command will restore ALL values in the meter to their factory "
                                        "defaults.  Are you sure you wish to proceed?"),
                         platform::vbYesNo, platform::vbNoIcon, QStringLiteral("Warning!")) != platform::vbYes)
        return;
    platform::BusyPointer busy;
    if (MeterTook([] { SendCmd42(); })) ui->ledChangedNotSaved->setOn(false);
}

// ---- forms and tools ---------------------------------------------------------

void frmMain::ShowModalForm(const QString& form) {
    platform::BusyPointer busy;
    if (const std::unique_ptr<QDialog> dialog = makeForm(form, this)) platform::showModal(*dialog);
}

void frmMain::ShowModelessForm(const QString& form) {
    QPointer<QDialog>& open = modelessForms_[form];
    if (!open) {
        std::unique_ptr<QDialog> dialog = makeForm(form, this);
        if (!dialog) return;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        open = dialog.release();  // owned by this window as its child
    }
    platform::showModeless(*open);
}

void frmMain::OpenTotalizer() {
    // The primary variable decides, as the meter reports it.
    if (!portForm_->OpenLink() || !MeterTook([] { SendCmd50(); })) return;
    if (IsFlowVariable(PVVariableCode))
        ShowModelessForm(QStringLiteral("frmTotalizer"));
    else
        platform::MsgBox(
            QStringLiteral("PV must be volume flow, mass flow, or standard flow for totalizer to have meaning."));
}

void frmMain::OpenFlowProfiling() {
    if (!portForm_->OpenLink() || !ReadMeterFacts()) return;
    if (!InService) EnterEditMode();
    ShowModalForm(QStringLiteral("frmFlowProfiling"));
}

void frmMain::OpenHartAnalysis() {
    if (Fenwire1()->get("cBusview") == 0) Fenwire1()->put("cBusview", 1);
}

void frmMain::FindDevices() {
    frmFindDevices dialog(this);
    platform::showModal(dialog);
    if (const std::optional<int> address = dialog.chosenAddress()) ConnectToDevice(static_cast<uint8_t>(*address));
}

void frmMain::ShowPollAddress() { ui->lblPollAddress->setText("Polling Address: " + QString::number(PollAddress)); }

void frmMain::ConnectToDevice(uint8_t pollAddress) {
    portForm_->UsePollAddress(pollAddress);
    ShowPollAddress();
    // Nothing shown or judged may be the previous device's.
    modeRead_ = false;
    optionsRead_ = false;
    flowProfilingEnabled_ = true;
    setEntryEnabled(ui->mnuFlowProfiling, true);
    setEntryEnabled(ui->mnuLCDDisplay, true);
    ui->mnuTotalizerSettings->setVisible(false);
    for (QLineEdit* field : {ui->txtModelNumber, ui->txtTag, ui->txtPV, ui->txtAnalogOutputCurrent,
                             ui->txtPercentOfRange, ui->txtProcessTemperature, ui->txtProcessPressure})
        field->clear();
    ui->btnConnect->setEnabled(true);
    btnConnect_Click();
}

void frmMain::OpenComPort() {
    platform::BusyPointer busy;
    platform::showModal(*portForm_);
}

}  // namespace app
