// The Busview window: the bus monitor the link control opens when cBusview
// becomes 1. It shows every frame on the line as a coloured line of text
// (BusviewCore keeps the frames, FrameView shows them), with its menu, the
// status line, the filter and trigger dialogs and Find. The control owns it
// and frees it.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "link/monitor/busview_core.h"
#include "link/monitor/busview_settings.h"
#include "link/monitor/capture.h"
#include "link/monitor/pick.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QMenuBar;

namespace Ui {
class FindFrames;
}

namespace wendrel {
class MessageTarget;
}

namespace fenwire {

class FrameView;

class BusviewWindow : public QWidget, private MonitorOutput {
    Q_OBJECT
public:
    // `monitorTarget` receives the driver's frame messages and hands them to
    // onFrameMessage; the settings files are named in the current directory.
    BusviewWindow(wendrel::MessageTarget& monitorTarget, int32_t driverHandle);
    ~BusviewWindow() override;

    // Called when the user closes the window (End, or its close button),
    // after the monitor is unregistered. The window must then be deleted later.
    std::function<void()> onClosedByUser;
    // True while the monitor target also takes frames for someone else (the
    // control's host): the window then leaves the driver's monitor
    // registered when it stops monitoring, so no frame falls in a gap.
    std::function<bool()> monitorShared;

    // Shows the window above other windows: where it was last closed (kept
    // in busvw.ini) while that is on a screen, else at two thirds of the
    // screen centred over the window it was opened from.
    void open();
    // The line was opened, reopened or closed: monitor the new driver handle.
    void setDriverHandle(int32_t handle);
    int32_t driverHandle() const { return driverHandle_; }
    bool active() const { return active_; }
    // One WM_HART_MONITOR message; the record is freed here.
    void onFrameMessage(intptr_t wParam, intptr_t lParam);

    BusviewCore& core() { return core_; }
    const BusviewFiles& files() const { return files_; }
    FrameView* frameView() const { return view_; }
    QString statusText() const;
    QAction* action(const char* objectName) const;

    // Parts of the title for a loaded script and an open log file.
    void setTitleParts(const QString& scriptName, const QString& logName);
    // Builds the status line again (a script started or ended).
    void refreshStatus() { statusChanged(); }
    // The port number of the line watched (COM n), kept with each frame; 0 unknown.
    void setLinePort(int port) { core_.linePort = port; }

    // Shows a capture's frames in place of the kept ones, read-only, until
    // New or Monitor Frames goes back to the line. `name` is for the status line.
    void showCapture(std::vector<CaptureFrame> frames, const std::string& name);
    // The frames of the selection, or every kept frame when nothing is
    // selected, as a capture records them. A capture shown gives back the
    // frames it was read with.
    std::vector<CaptureFrame> captureFrames() const;

    // Receives every line added to the view (frame lines and banners) as it comes.
    std::function<void(const std::string& text)> onAppended;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // MonitorOutput
    void append(const MonitorText& text) override;
    void recordingChanged(bool on) override;
    void statusChanged() override;
    void rowsCleared() override;

    void buildMenus();
    QAction* addItem(QMenu* menu, const QString& text, const char* objectName, int commandId,
                     std::function<void()> handler = {}, bool checkable = false);
    void addViewOption(QMenu* menu, const QString& text, const char* objectName, int commandId, int BusviewSettings::*flag,
                       bool checkShowsOff);
    void updateChecks();
    void applyBackground();
    void registerMonitor();
    void unregisterMonitor();
    void newView();
    void configureFilter();
    void configureTrigger();
    void runModal(QDialog& dialog);
    void pick(PickItem item);
    void openFind();
    // Find Next (forward) or Find Previous with what the Find dialog holds.
    void find(bool forward);
    void userEnd();
    void updateTitle();
    // Keeps the window's place in busvw.ini, once it has been shown.
    void rememberGeometry();

    wendrel::MessageTarget& monitorTarget_;
    int32_t driverHandle_ = -1;
    bool registered_ = false;
    bool active_ = true;
    bool placed_ = false;
    BusviewFiles files_;
    BusviewCore core_;
    QString scriptName_;
    QString logName_;

    QMenuBar* menuBar_ = nullptr;
    FrameView* view_ = nullptr;
    QLabel* status_ = nullptr;
    QDialog* findDialog_ = nullptr;
    std::unique_ptr<Ui::FindFrames> findUi_;
    std::vector<std::pair<QAction*, std::function<bool()>>> checks_;
    // The frames of the capture shown, as read: row id n is frame n.
    std::vector<CaptureFrame> capture_;
};

}  // namespace fenwire
