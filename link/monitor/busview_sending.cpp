#include "link/monitor/busview_sending.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include "link/monitor/busview_print.h"
#include "link/monitor/busview_window.h"
#include "link/monitor/frame_view.h"
#include "link/monitor/page_layout.h"
#include "platform/platform.h"
#include "platform/textfile.h"
#include "ui_command_entry.h"

namespace fenwire {

namespace {

const char* const kTemplateItems[] = {"mnuSendCmd0",  "mnuSendCmd1",  "mnuSendCmd2",  "mnuSendCmd3",
                                      "mnuSendCmd12", "mnuSendCmd13", "mnuSendCmd14", "mnuSendCmd15",
                                      "mnuSendCmd16", "mnuSendCmd17", "mnuSendCmd18", "mnuSendCmd19"};
static_assert(std::size(kTemplateItems) == std::size(busview::kSendMenuTemplates));

QString fromStd(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

BusviewSending::BusviewSending(BusviewWindow& window, BusviewLink link)
    : window_(window),
      link_(std::move(link)),
      sender_([this](const std::string& text) { return link_.sendText(text); }),
      runner_({[this](const std::string& text) { return link_.sendText(text) >= 0; },
               [this] { link_.forgetIdentifier(); }}) {
    BusviewSettings& settings = window_.core().settings();
    sender_.setText(settings.doCmd);

    // The last save directory, when it is still there, is where files are
    // asked for; one that vanished is forgotten (and saved empty).
    workDir_ = QFileInfo(window_.files().settings).absolutePath();
    const QString last = fromStd(settings.lastSaveDir);
    if (!last.isEmpty() && QFileInfo(last).isDir()) workDir_ = QDir(last).absolutePath();
    else settings.lastSaveDir.clear();

    for (size_t i = 0; i < std::size(kTemplateItems); ++i) {
        const busview::MenuTemplate& entry = busview::kSendMenuTemplates[i];
        connectItem(kTemplateItems[i], [this, &entry] { sendTemplate(entry); });
    }
    connectItem("mnuSendAnyCmd", [this] { openEntryDialog(); });
    connectItem("mnuSendStop", [this] {
        sender_.stop();
        refresh();
    });
    connectItem("mnuLoadScript", [this] { loadScript(); });
    connectItem("mnuRunScript", [this] { runScript(); });
    connectItem("mnuOpenLogFile", [this] { openLog(); });
    connectItem("mnuCloseLogFile", [this] { closeLog(); });
    connectItem("mnuSaveFrameFile", [this] { saveFrameFile(); });
    connectItem("mnuSaveCapture", [this] { saveCapture(); });
    connectItem("mnuOpenCapture", [this] { openCapture(); });
    connectItem("mnuPrintAll", [this] { printAll(); });
    connectItem("mnuPrintSelection", [this] { printSelection(); });
    connectItem("mnuPrinterConfiguration", [this] { printerSetup(); });

    window_.onAppended = [this](const std::string& text) {
        if (!log_.append(text, busview::LocalTimeNow())) logWriteFailed();
    };
    window_.core().onTriggerStop = [this] {
        runner_.requestCancel();
        refresh();
    };

    loadScriptFile(QDir(workDir_).filePath(QString::fromLatin1(busview::kDefaultScript)), true);
    refresh();
}

BusviewSending::~BusviewSending() {
    window_.onAppended = nullptr;
    window_.core().onTriggerStop = nullptr;
    window_.core().scriptRunning = false;
    window_.core().scriptCancelRequested = false;
}

// ---- menus and state -----------------------------------------------------------

QAction* BusviewSending::item(const char* objectName) const { return window_.action(objectName); }

void BusviewSending::connectItem(const char* objectName, std::function<void()> handler) {
    QAction* a = item(objectName);
    if (a == nullptr) return;
    a->setEnabled(true);
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
}

void BusviewSending::refresh() {
    if (QAction* stop = item("mnuSendStop")) stop->setEnabled(sender_.stopEnabled());
    if (QAction* close = item("mnuCloseLogFile")) close->setEnabled(log_.isOpen());
    if (QAction* run = item("mnuRunScript")) {
        run->setEnabled(runner_.loaded());
        run->setCheckable(true);
        run->setChecked(runner_.running());
    }
    window_.core().settings().doCmd = sender_.text();
    window_.core().scriptRunning = runner_.running();
    window_.core().scriptCancelRequested = runner_.cancelRequested();
    const busview::Script* script = runner_.script();
    window_.setTitleParts(script ? fromStd(script->name) : QString(), fromStd(log_.name()));
    window_.refreshStatus();
}

// ---- sending ---------------------------------------------------------------------

void BusviewSending::sendTemplate(const busview::MenuTemplate& entry) {
    sender_.setText(entry.text);
    if (entry.opensDialog) openEntryDialog();
    else sender_.sendNow(runner_.running());
    refresh();
}

void BusviewSending::openEntryDialog() {
    QDialog dialog(&window_);
    Ui::CommandEntry ui;
    ui.setupUi(&dialog);
    ui.txtCommand->setText(fromStd(sender_.text()));
    ui.chkCyclicRepeat->setChecked(sender_.cyclic());
    bool accepted = false;
    withRedrawSuspended([&] { accepted = platform::showModal(dialog) == QDialog::Accepted; });
    if (accepted) {
        const std::string text = ui.txtCommand->text().toStdString();
        const bool cyclic = ui.chkCyclicRepeat->isChecked();
        if (runner_.running()) {
            // A running script owns the line: keep what was typed, send nothing.
            sender_.setText(text);
        } else {
            sender_.accept(text, cyclic);
        }
    }
    refresh();
}

void BusviewSending::entryTransactionEnded(int command, bool replied, int response1, bool followUpStarted) {
    sender_.transactionEnded(command, replied, response1, followUpStarted);
    refresh();
}

// ---- scripts ---------------------------------------------------------------------

void BusviewSending::loadScript() {
    QString path;
    withRedrawSuspended([&] { path = askFile(false, QStringLiteral("*.fsq"), QStringLiteral("fsq")); });
    if (path.contains(QLatin1Char('*'))) return;
    loadScriptFile(path, false);
    refresh();
}

bool BusviewSending::loadScriptFile(const QString& path, bool quiet) {
    busview::Script script;
    const busview::ScriptLoad result = busview::LoadScript(path.toStdString(), script);
    if (result != busview::ScriptLoad::Loaded) {
        if (!quiet) {
            const char* text = result == busview::ScriptLoad::NotFound ? busview::kScriptNotFound : busview::kNotAScript;
            platform::MsgBox(QString::fromLatin1(text), platform::vbOKOnly, platform::vbExclamation,
                             QString::fromLatin1(busview::kScriptErrorTitle));
        }
        return false;
    }
    if (!quiet) rememberDirectoryOf(path);
    runner_.setScript(std::move(script));
    return true;
}

void BusviewSending::runScript() {
    runner_.runOrCancel(window_.driverHandle() != -1 && !portLost_);
    refresh();
}

void BusviewSending::scriptTransactionEnded(bool replied, int response1) {
    runner_.transactionEnded(replied, response1, link_.busy());
    refresh();
}

void BusviewSending::portLost() {
    // The step on the line fails at once and, taken over as the script's own,
    // ends the script: the host hears nothing of it.
    portLost_ = true;
    runner_.requestCancel();
    refresh();
}

void BusviewSending::driverHandleChanged(int32_t handle) {
    portLost_ = false;  // closed or opened again: a new port
    if (handle == -1) runner_.lineClosed();
    refresh();
}

// ---- log and frame files -----------------------------------------------------------

void BusviewSending::openLog() {
    log_.close();
    QString path;
    withRedrawSuspended([&] { path = askFile(true, QStringLiteral("*.flg"), QStringLiteral("flg")); });
    if (log_.open(path.toStdString(), busview::LocalTimeNow())) {
        rememberDirectoryOf(path);
    } else {
        platform::MsgBox(fromStd(busview::CouldNotOpenMessage(path.toStdString())), platform::vbOKOnly,
                         platform::vbExclamation, QString::fromLatin1(busview::kSaveToFileTitle));
    }
    refresh();
}

void BusviewSending::closeLog() {
    log_.close();
    refresh();
}

void BusviewSending::logWriteFailed() {
    // A log that no longer takes lines (a full disk) is closed rather than
    // left looking as if it recorded. The message waits until the frame
    // being displayed is done.
    const QString name = fromStd(log_.path());
    log_.close();
    refresh();
    QMetaObject::invokeMethod(
        this,
        [name] {
            platform::MsgBox(fromStd(busview::CouldNotWriteMessage(name.toStdString())), platform::vbOKOnly,
                             platform::vbExclamation, QString::fromLatin1(busview::kSaveToFileTitle));
        },
        Qt::QueuedConnection);
}

void BusviewSending::saveFrameFile() {
    const std::string selection = selectionText();
    if (selection.empty()) return;
    QString path;
    withRedrawSuspended([&] { path = askFile(true, QStringLiteral("*.bvf"), QStringLiteral("bvf")); });
    if (busview::WriteFrameFile(path.toStdString(), selection, busview::LocalTimeNow())) {
        rememberDirectoryOf(path);
    } else {
        platform::MsgBox(fromStd(busview::CouldNotOpenMessage(path.toStdString())), platform::vbOKOnly,
                         platform::vbExclamation, QString::fromLatin1(busview::kSaveToFileTitle));
    }
}

void BusviewSending::saveCapture() {
    const std::vector<CaptureFrame> frames = window_.captureFrames();
    if (frames.empty()) return;
    QString path;
    withRedrawSuspended([&] { path = askFile(true, QStringLiteral("*.pcapng"), QStringLiteral("pcapng")); });
    if (path.contains(QLatin1Char('*'))) return;  // cancelled
    const std::string bytes = EncodeCapture({CaptureApplication(), frames});
    if (platform::WriteFileWhole(path, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())))) {
        rememberDirectoryOf(path);
    } else {
        platform::MsgBox(fromStd(busview::CouldNotWriteMessage(path.toStdString())), platform::vbOKOnly,
                         platform::vbExclamation, QString::fromLatin1(busview::kSaveToFileTitle));
    }
}

void BusviewSending::openCapture() {
    QString path;
    withRedrawSuspended([&] { path = askFile(false, QStringLiteral("*.pcapng"), QStringLiteral("pcapng")); });
    if (path.contains(QLatin1Char('*'))) return;  // cancelled
    CaptureRead read;
    {
        platform::BusyPointer busy;
        read = ReadCaptureFile(path.toStdString());
    }
    if (!read.ok) {
        platform::MsgBox(fromStd(read.error), platform::vbOKOnly, platform::vbExclamation,
                         QStringLiteral("Open Capture"));
        return;
    }
    rememberDirectoryOf(path);
    // A capture whose writer was stopped before it closed may end early.
    std::string name = QFileInfo(path).fileName().toStdString();
    if (!read.capture.complete) name += ", not closed by its writer";
    window_.showCapture(std::move(read.capture.frames), name);
    window_.frameView()->moveToEnd();
    refresh();
}

// ---- printing --------------------------------------------------------------------

void BusviewSending::printSelection() {
    const std::string selection = selectionText();
    if (selection.empty()) return;
    busview::PrintToDefaultPrinter(selection, busview::LocalTimeNow());
}

void BusviewSending::printAll() {
    FrameView* view = window_.frameView();
    view->refresh();  // every kept row, also those the view has not shown yet
    view->selectAll();
    printSelection();
    view->moveToEnd();
}

void BusviewSending::printerSetup() {
    withRedrawSuspended([&] { busview::ShowPrinterSetup(&window_); });
}

std::string BusviewSending::selectionText() const { return window_.frameView()->selectedText(); }

// ---- dialogs -----------------------------------------------------------------------

QString BusviewSending::askFile(bool save, const QString& pattern, const QString& suffix) {
    for (;;) {
        QFileDialog dialog(&window_, save ? QStringLiteral("Save As") : QStringLiteral("Open"), workDir_, pattern);
        dialog.setObjectName(save ? QStringLiteral("dlgSaveFile") : QStringLiteral("dlgOpenFile"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);  // asked below, through the platform
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(suffix);
        dialog.selectFile(pattern);
        if (platform::showModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return pattern;
        const QString path = dialog.selectedFiles().constFirst();
        if (path.contains(QLatin1Char('*'))) return pattern;
        if (save && QFileInfo::exists(path)) {
            const int answer = platform::MsgBox(QFileInfo(path).fileName() + " already exists.\nDo you want to replace it?",
                                                platform::vbYesNo, platform::vbExclamation, QStringLiteral("Save As"));
            if (answer != platform::vbYes) continue;
        }
        return path;
    }
}

void BusviewSending::rememberDirectoryOf(const QString& path) {
    workDir_ = QFileInfo(path).absolutePath();
    window_.core().settings().lastSaveDir = workDir_.toStdString();
}

void BusviewSending::withRedrawSuspended(const std::function<void()>& dialog) {
    FrameView* view = window_.frameView();
    view->setUpdatesEnabled(false);
    dialog();
    view->moveToEnd();
    view->setUpdatesEnabled(true);
}

}  // namespace fenwire
