// The main window: connects to the meter, shows its live values and state
// lamps, switches it between edit mode and in service, saves and restores
// its configuration, and opens every configuration form and tool. Other
// forms consult its meter facts and call CanWrite before they write.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "link/control/fenwire_loader.h"

class QDialog;
class QTimer;

namespace Ui {
class frmMain;
}

namespace app {

class frmComPort;

// Message boxes without a caption show it, and the settings are filed under it.
inline constexpr char kApplicationTitle[] = "Corvane Aldmoor HART Interface Utility";

// Makes the application title the one message boxes without a caption show.
// It is not Qt's display name, which would be appended to every window title.
void SetApplicationTitle();

// Makes one of the forms the menu opens.
using FormFactory = std::function<std::unique_ptr<QDialog>(QWidget* parent)>;
// Registers the factory of a form by its name ("frmDampingValue"); an empty
// factory removes it. A form without a factory is not built yet: its menu
// entry stays disabled. Takes effect for main windows created afterwards.
void setFormFactory(const QString& form, FormFactory factory);
// The factory of a form class whose constructor takes the parent.
template <typename Form>
FormFactory factoryOf() {
    return [](QWidget* parent) -> std::unique_ptr<QDialog> { return std::make_unique<Form>(parent); };
}

// The forms a module builds, by name; registered, forgotten and created as a set.
struct FormRegistration {
    const char* name;
    FormFactory factory;
};
void setFormFactories(const std::vector<FormRegistration>& forms, bool registered);
// A new form of `name` from the set, or null for a name not in it.
std::unique_ptr<QDialog> createFormOf(const std::vector<FormRegistration>& forms, const QString& name, QWidget* parent);

// The caption of a PV label for a variable code ("PV (Volume):"; "PV (Invalid):" for an unknown code).
QString PVLabelText(int variableCode);

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Reads the stored port and loads the port form, which creates Fenwire1
    // through `api` and opens the link. Nothing is read from the meter until Connect.
    explicit frmMain(const fenwire::FenwireApi& api, QWidget* parent = nullptr);
    // Stores the port for the next start.
    ~frmMain() override;

    // The write guard: true in edit mode; otherwise offers to enter it.
    // The mode is read from the meter first when nothing has read it yet.
    bool CanWrite();
    // Refreshes the live values. A value shows only once the meter has
    // answered for it: a failed refresh leaves what was shown before.
    void update();
    // The changed-not-saved and fixed-current lamps from DeviceStatus; the
    // port form's every reply runs it.
    void UpdateStatusLeds();
    // Model number, tag and the identity facts; false when the meter did not answer.
    bool ReadIdentity();
    // The "Enter Edit Mode" action.
    void EnterEditMode();
    // Service access (level 2) took the meter out of service: the flags
    // and lamps say so without a mode read.
    void ShowOutOfService();
    // Reads the meter's mode (command 129) and options (command 137) unless
    // they were read already (by Connect, say); true when both are known.
    // A check made on the meter's state calls it first, so that a dialog
    // opened before Connect does not judge a meter nobody has read.
    bool ReadMeterFacts();
    // Whether the meter's state enables "Flow Profiling" (a wafer meter
    // disables it), even before that entry's form is built. The Pipe ID form
    // writes exactly when it does.
    bool FlowProfilingEnabled() const { return flowProfilingEnabled_; }

    frmComPort& portForm() { return *portForm_; }

    // Makes the device at `pollAddress` on the port's line the one in use and
    // connects to it as Connect does: what is shown afterwards is that device's.
    void ConnectToDevice(uint8_t pollAddress);

    // Meter facts that other forms consult.
    int AccessLevel = 0;
    int SensorOption = 0;
    bool InService = false;
    bool SteamMeter = false;
    bool PasswordProtected = false;
    bool EditMode = false;
    int DeviceType = 0;
    int SoftwareRevision = 0;
    int32_t DeviceNumber = 0;

protected:
    // Tool windows still open are closed first, as if the user had closed
    // them: the trim form gives a fixed loop current back to the process.
    // The main window stays open when one of them refuses.
    void closeEvent(QCloseEvent* event) override;

private:
    void btnConnect_Click();
    void btnUpdate_Click();
    void btnContinuous_Click();
    void tmrUpdateDisplay_Timer();
    void StartContinuous();
    void StopContinuous();
    void ModeRefresh();
    // Command 129 and the mode refresh; false (and nothing refreshed) without an answer.
    bool ReadMode();
    // Command 137 and what its options decide; false without an answer.
    bool ReadOptions();
    void PutMeterInService();
    void PasswordProtection();
    void SaveConfiguration();
    void RestoreConfiguration();
    void RestoreFactoryConfiguration();
    void OpenTotalizer();
    void OpenFlowProfiling();
    void OpenHartAnalysis();
    void OpenComPort();
    void FindDevices();
    // The polling address in use, beside the buttons.
    void ShowPollAddress();

    // True when the user confirmed the password prompt with OK.
    bool PasswordConfirmed();
    void ShowModalForm(const QString& form);
    void ShowModelessForm(const QString& form);
    void ConnectLeaves();
    // Enables a menu entry as the meter's state allows, but never one whose form is not built.
    void setEntryEnabled(QAction* entry, bool enabled);

    std::unique_ptr<Ui::frmMain> ui;
    frmComPort* portForm_ = nullptr;  // a child of this window
    QString storedComPort_;           // the port's text in the settings at start, to save only a change
    uint8_t storedPollAddress_ = 0;   // the polling address in the settings at start, likewise
    QTimer* tmrUpdateDisplay = nullptr;
    bool UpdateOK = false;
    bool flowProfilingEnabled_ = true;
    bool modeRead_ = false;     // the facts below come from the meter, not from defaults
    bool optionsRead_ = false;
    int updateDepth_ = 0;      // update() runs nested when a tick arrives inside its wait
    bool tickRunning_ = false;
    QSet<QAction*> notBuilt_;
    std::map<QString, QPointer<QDialog>> modelessForms_;
};

// The main window of the running application; null before it is created.
frmMain* MainWindow();

}  // namespace app
