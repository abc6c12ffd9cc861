#include "platform/scripted.h"

#include "platform/printing.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPrinter>
#include <climits>

namespace platform {

void ScriptedBackend::queueAnswer(int answer) {
    answers_.push_back([answer](const MessageBoxRequest&) { return answer; });
}

void ScriptedBackend::queueAnswer(BoxAction action) { answers_.push_back(std::move(action)); }

void ScriptedBackend::queueDialogResult(int result) { dialogScripts_.push_back({nullptr, result}); }

void ScriptedBackend::queueDialog(DialogAction action, std::optional<int> result) {
    dialogScripts_.push_back({std::move(action), result});
}

void ScriptedBackend::queueSaveFileName(const QString& path) { savePaths_.push_back(path); }

void ScriptedBackend::queuePrintDialog(int copies, const QString& pdfFile) {
    printScripts_.push_back({copies, pdfFile});
}

void ScriptedBackend::clear() {
    savePaths_.clear();
    printScripts_.clear();
    saveDialogs_.clear();
    printDialogs_.clear();
    printJobs_.clear();
    answers_.clear();
    dialogScripts_.clear();
    boxes_.clear();
    dialogs_.clear();
    modeless_.clear();
    help_.clear();
    busyShown_ = 0;
    pumps_ = 0;
}

int ScriptedBackend::messageBox(const MessageBoxRequest& request) {
    // Recorded before it is answered, so an answer action sees it in the record.
    boxes_.push_back({request.text, request.title, request.buttons, request.icon, 0});
    const size_t index = boxes_.size() - 1;
    int answer = answersOf(request.buttons).value(request.defaultButton, answersOf(request.buttons).first());
    if (!answers_.empty()) {
        BoxAction action = std::move(answers_.front());
        answers_.pop_front();
        if (action) answer = action(request);
    }
    boxes_[index].answer = answer;
    return answer;
}

int ScriptedBackend::showModal(QDialog& dialog) {
    constexpr int kNotClosed = INT_MIN;
    DialogScript script;
    if (!dialogScripts_.empty()) {
        script = std::move(dialogScripts_.front());
        dialogScripts_.pop_front();
    }
    dialogs_.push_back({dialog.windowTitle(), dialog.objectName(), 0});
    const size_t index = dialogs_.size() - 1;

    // Shown, so that what a form does when it opens runs as it would for a user.
    dialog.setResult(kNotClosed);
    dialog.show();
    if (script.action) script.action(dialog);
    if (script.result)
        dialog.done(*script.result);
    else if (dialog.result() == kNotClosed)
        dialog.done(QDialog::Accepted);
    dialog.hide();

    // The action may have opened nested dialogs that grew the record.
    dialogs_[index].result = dialog.result();
    return dialog.result();
}

void ScriptedBackend::showModeless(QWidget& window) {
    modeless_.push_back(window.objectName());
    window.show();
}

void ScriptedBackend::pushBusyPointer() {
    busy_.push();
    ++busyShown_;
}

void ScriptedBackend::popBusyPointer() { busy_.pop(); }
void ScriptedBackend::pauseBusyPointer() { busy_.openLayer(); }
void ScriptedBackend::resumeBusyPointer() { busy_.closeLayer(); }

void ScriptedBackend::processEvents() {
    ++pumps_;
    QCoreApplication::processEvents();
}

bool ScriptedBackend::openHelp(const QString& topic) {
    help_.append(topic);
    return true;
}

QString ScriptedBackend::saveFileName(const SaveDialogRequest& request) {
    QString path;
    if (!savePaths_.empty()) {
        path = savePaths_.front();
        savePaths_.pop_front();
    }
    saveDialogs_.push_back({request.title, request.filter, path});
    return path;
}

bool ScriptedBackend::printDialog(QPrinter& printer) {
    if (printScripts_.empty()) {
        printDialogs_.push_back({false, 0});
        return false;
    }
    const PrintScript script = printScripts_.front();
    printScripts_.pop_front();
    printer.setCopyCount(script.copies);
    if (!script.pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(script.pdfFile);
    }
    printDialogs_.push_back({true, script.copies});
    return true;
}

bool ScriptedBackend::printJob(QPrinter& printer, const QStringList& lines) {
    const QString file = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    const bool printed = file.isEmpty() || PaintLines(printer, lines);
    printJobs_.push_back({lines, file, printed});
    return printed;
}

}  // namespace platform
