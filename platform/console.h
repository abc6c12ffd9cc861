// A backend for programs without windows: every message box is a line of
// text on standard error, and nothing ever waits for a person. A question is
// answered as the program was told beforehand (a "--yes" on its command
// line); otherwise it gets its negative answer, and the program learns that
// a question went unconfirmed. Dialogs are never shown: they are cancelled.
#pragma once

#include <QStringList>
#include <cstdio>

#include "platform/platform.h"

namespace platform {

class ConsoleBackend : public Backend {
public:
    // `out` receives the message texts, one line each (standard error by default).
    explicit ConsoleBackend(std::FILE* out = stderr) : out_(out) {}

    // Questions (message boxes with more than one button) are answered Yes
    // (or OK, Retry) when confirmed, else No (or Cancel, Abort).
    void setConfirmQuestions(bool confirm) { confirm_ = confirm; }
    // The texts of the questions answered negatively, in order.
    const QStringList& declinedQuestions() const { return declined_; }
    // Every message shown, in order.
    const QStringList& messages() const { return messages_; }

    int messageBox(const MessageBoxRequest& request) override;
    int showModal(QDialog& dialog) override;
    void showModeless(QWidget& window) override;
    void pushBusyPointer() override {}
    void popBusyPointer() override {}
    void processEvents() override;
    bool openHelp(const QString& topic) override;
    QString saveFileName(const SaveDialogRequest& request) override;
    bool printDialog(QPrinter& printer) override;
    bool printJob(QPrinter& printer, const QStringList& lines) override;

private:
    void say(const QString& text);

    std::FILE* out_;
    bool confirm_ = false;
    QStringList declined_;
    QStringList messages_;
};

// The answer a question gets without a person: the first of Yes, OK, Retry
// that `buttons` offers when `confirm`, else the first of No, Cancel, Abort
// (or the only button of an OK-only box).
int UnattendedAnswer(int buttons, bool confirm);

}  // namespace platform
