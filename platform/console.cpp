#include "platform/console.h"

#include <QCoreApplication>
#include <QDialog>

namespace platform {

int UnattendedAnswer(int buttons, bool confirm) {
    const QList<int> offered = answersOf(buttons);
    const QList<int> preferred = confirm ? QList<int>{vbYes, vbOK, vbRetry} : QList<int>{vbNo, vbCancel, vbAbort};
    for (int answer : preferred)
        if (offered.contains(answer)) return answer;
    return offered.first();
}

void ConsoleBackend::say(const QString& text) {
    messages_.append(text);
    // A message box's text may hold line breaks; each becomes a line of its own.
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}

int ConsoleBackend::messageBox(const MessageBoxRequest& request) {
    say(request.text);
    const bool question = answersOf(request.buttons).size() > 1;
    const int answer = UnattendedAnswer(request.buttons, confirm_);
    if (question && !confirm_) declined_.append(request.text);
    return answer;
}

int ConsoleBackend::showModal(QDialog& dialog) {
    // Nobody could fill it in: it is cancelled, as a person closing it would.
    dialog.done(QDialog::Rejected);
    return QDialog::Rejected;
}

void ConsoleBackend::showModeless(QWidget& /*window*/) {}

void ConsoleBackend::processEvents() { QCoreApplication::processEvents(); }

bool ConsoleBackend::openHelp(const QString& /*topic*/) { return false; }

QString ConsoleBackend::saveFileName(const SaveDialogRequest& /*request*/) { return {}; }

bool ConsoleBackend::printDialog(QPrinter& /*printer*/) { return false; }

bool ConsoleBackend::printJob(QPrinter& /*printer*/, const QStringList& /*lines*/) { return false; }

}  // namespace platform
