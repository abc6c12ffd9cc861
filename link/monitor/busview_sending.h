// What the Busview window does beyond watching the line: the Send menu and
// its entry dialog, scripts, the log file, frame files and printing. It
// hooks into the window's menu items and is told by the link control when
// transactions end. The control owns it next to the window and drops it
// before the window.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "link/monitor/command_sender.h"
#include "link/monitor/output_files.h"
#include "link/monitor/script.h"

class QAction;

namespace fenwire {

class BusviewWindow;

// What the monitor needs of the link control.
struct BusviewLink {
    // Starts the transaction of a command text: the command number, or -1
    // when nothing went out.
    std::function<int(const std::string& text)> sendText;
    // The next transaction fetches the device identifier first.
    std::function<void()> forgetIdentifier;
    // cBusy as it stands.
    std::function<int()> busy;
};

class BusviewSending : public QObject {
    Q_OBJECT
public:
    BusviewSending(BusviewWindow& window, BusviewLink link);
    ~BusviewSending() override;

    // Hooks of the control's transaction ends.
    bool scriptRunning() const { return runner_.running(); }
    void scriptTransactionEnded(bool replied, int response1);
    bool entrySendOutstanding() const { return sender_.outstanding(); }
    void entryTransactionEnded(int command, bool replied, int response1, bool followUpStarted);
    // The line was opened, reopened or closed.
    void driverHandleChanged(int32_t handle);
    // The serial device vanished: a running script ends with the step on the line.
    void portLost();

    // The directory file dialogs start in and "default.fsq" was looked for in:
    // the last save directory when it still exists, else where the window opened.
    const QString& workingDirectory() const { return workDir_; }
    const busview::CommandSender& sender() const { return sender_; }
    const busview::ScriptRunner& runner() const { return runner_; }
    const busview::LogFile& log() const { return log_; }

private:
    void connectItem(const char* objectName, std::function<void()> handler);
    QAction* item(const char* objectName) const;
    void refresh();

    void sendTemplate(const busview::MenuTemplate& entry);
    void openEntryDialog();
    void loadScript();
    bool loadScriptFile(const QString& path, bool quiet);
    void runScript();
    void openLog();
    void closeLog();
    void logWriteFailed();
    void saveFrameFile();
    void saveCapture();
    void openCapture();
    void printSelection();
    void printAll();
    void printerSetup();

    // Asks for a file; a cancelled dialog gives back `pattern` itself.
    QString askFile(bool save, const QString& pattern, const QString& suffix);
    void rememberDirectoryOf(const QString& path);
    // Redrawing of the text area stops while a dialog is open; the caret then goes to the end.
    void withRedrawSuspended(const std::function<void()>& dialog);
    std::string selectionText() const;

    BusviewWindow& window_;
    BusviewLink link_;
    busview::CommandSender sender_;
    busview::ScriptRunner runner_;
    busview::LogFile log_;
    QString workDir_;
    // The serial device vanished: every step would fail at once, so no
    // script runs until the line is opened again.
    bool portLost_ = false;
};

}  // namespace fenwire
