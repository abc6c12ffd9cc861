// A backend for tests: records every message box, modal dialog, help request
// and busy pointer, answers from queues, and never blocks.
#pragma once

#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace platform {

class ScriptedBackend : public Backend {
public:
    struct MessageBoxRecord {
        QString text;
        QString title;
        int buttons = vbOKOnly;
        int icon = vbNoIcon;
        int answer = 0;
    };
    struct SaveDialogRecord {
        QString title;
        QString filter;
        QString answer;  // the path chosen; empty when cancelled
    };
    struct PrintDialogRecord {
        bool accepted = false;
        int copies = 0;
    };
    struct PrintJobRecord {
        QStringList lines;
        QString outputFile;  // where the job was painted; empty when only recorded
        bool printed = false;
    };
    struct DialogRecord {
        QString title;
        QString objectName;
        int result = 0;
    };
    // Decides the answer to one message box; runs while the box is "open".
    using BoxAction = std::function<int(const MessageBoxRequest&)>;
    // Inspects or drives a modal dialog while it is open.
    using DialogAction = std::function<void(QDialog&)>;

    // The next message box is answered with `answer`; without a queued
    // answer a box gets its first button (OK, Yes, Abort, Retry).
    void queueAnswer(int answer);
    void queueAnswer(BoxAction action);
    // The next save dialog chooses `path`; an empty path cancels. Without a
    // queued path the dialog is cancelled.
    void queueSaveFileName(const QString& path);
    // The next print dialog is confirmed with `copies`; each job is then
    // painted into the PDF file `pdfFile` when given (the last job stays),
    // else only recorded. Without a queued entry the dialog is cancelled.
    void queuePrintDialog(int copies, const QString& pdfFile = QString());
    // The next modal dialog is closed with `result`; without a queued entry
    // it is accepted.
    void queueDialogResult(int result);
    // The next modal dialog is shown, handed to `action`, and then closed:
    // with `result` if given, else with the result the dialog set itself
    // (say the action clicked its OK button), else accepted.
    void queueDialog(DialogAction action, std::optional<int> result = std::nullopt);

    const std::vector<MessageBoxRecord>& messageBoxes() const { return boxes_; }
    const std::vector<DialogRecord>& dialogs() const { return dialogs_; }
    const std::vector<SaveDialogRecord>& saveDialogs() const { return saveDialogs_; }
    const std::vector<PrintDialogRecord>& printDialogs() const { return printDialogs_; }
    const std::vector<PrintJobRecord>& printJobs() const { return printJobs_; }
    const std::vector<QString>& windowsShown() const { return modeless_; }
    const QStringList& helpRequests() const { return help_; }
    // Busy pointers set and not yet reset, in every dialog layer.
    int busyDepth() const { return busy_.depth(); }
    // Whether the hourglass shows now (not while a modal dialog or message box is open).
    bool busyPointerShowing() const { return busy_.showing(); }
    int busyPointersShown() const { return busyShown_; }
    int eventPumps() const { return pumps_; }
    size_t pendingAnswers() const { return answers_.size(); }
    size_t pendingDialogs() const { return dialogScripts_.size(); }
    void clear();

    int messageBox(const MessageBoxRequest& request) override;
    int showModal(QDialog& dialog) override;
    void showModeless(QWidget& window) override;
    void pushBusyPointer() override;
    void popBusyPointer() override;
    void pauseBusyPointer() override;
    void resumeBusyPointer() override;
    void processEvents() override;
    bool openHelp(const QString& topic) override;
    QString saveFileName(const SaveDialogRequest& request) override;
    bool printDialog(QPrinter& printer) override;
    bool printJob(QPrinter& printer, const QStringList& lines) override;

private:
    struct DialogScript {
        DialogAction action;
        std::optional<int> result;
    };
    std::deque<BoxAction> answers_;
    std::deque<DialogScript> dialogScripts_;
    std::vector<MessageBoxRecord> boxes_;
    struct PrintScript {
        int copies;
        QString pdfFile;
    };
    std::deque<QString> savePaths_;
    std::deque<PrintScript> printScripts_;
    std::vector<SaveDialogRecord> saveDialogs_;
    std::vector<PrintDialogRecord> printDialogs_;
    std::vector<PrintJobRecord> printJobs_;
    std::vector<DialogRecord> dialogs_;
    std::vector<QString> modeless_;
    QStringList help_;
    BusyPointerLayers busy_;
    int busyShown_ = 0;
    int pumps_ = 0;
};

}  // namespace platform
