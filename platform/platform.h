// The platform layer: message boxes, modal and modeless dialogs, the busy
// pointer, pending-event processing and help, as forms and the control call
// them. Every call goes through the installed Backend: the Qt one by default,
// a scripted one in tests.
#pragma once

#include <QList>
#include <QString>

class QDialog;
class QWidget;

namespace platform {

// Message-box buttons.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
// Message-box icons.
inline constexpr int vbNoIcon = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// The button pressed.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// A message box as it reaches the backend: buttons and icon already
// separated and valid, the title already resolved.
struct MessageBoxRequest {
    QString text;
    QString title;
    int buttons = vbOKOnly;
    int icon = vbNoIcon;
};

// The answers a button set offers, in display order; the first is the default.
// An unknown set is treated as vbOKOnly.
QList<int> answersOf(int buttons);
// The text of an answer's button ("OK", "Yes", ...).
QString answerText(int answer);

class Backend {
public:
    virtual ~Backend() = default;
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual int showModal(QDialog& dialog) = 0;
    virtual void showModeless(QWidget& window) = 0;
    virtual void pushBusyPointer() = 0;
    virtual void popBusyPointer() = 0;
    virtual void processEvents() = 0;
    virtual bool openHelp(const QString& topic) = 0;
};

// The Qt backend, installed until another is.
Backend& qtBackend();
Backend& backend();
// Installs `b` (not owned) and returns the one it replaces.
Backend& installBackend(Backend& b);
// Puts the Qt backend back, if `b` is the one installed.
void uninstallBackend(Backend& b);

// Installs a backend for the lifetime of the guard, then restores the previous one.
class BackendGuard {
public:
    explicit BackendGuard(Backend& b) : previous_(&installBackend(b)) {}
    ~BackendGuard() { installBackend(*previous_); }
    BackendGuard(const BackendGuard&) = delete;
    BackendGuard& operator=(const BackendGuard&) = delete;

private:
    Backend* previous_;
};

// The title a message box without a caption shows: the application's name.
QString applicationTitle();

// Shows a modal message box and returns the button pressed (vbOK ...).
// `buttons` may also carry the icon bits, as the classic style value does;
// an empty title shows the application title.
int MsgBox(const QString& text, int buttons = vbOKOnly, int icon = vbNoIcon, const QString& title = QString());

// Shows a dialog modally and returns its result (QDialog::Accepted or Rejected, or what it passed to done()).
int showModal(QDialog& dialog);
void showModeless(QWidget& window);

// Processes pending events and returns.
void DoEvents();

// Opens the help page of a topic ("Fenwire"); false when there is none.
bool openHelp(const QString& topic);

// The hourglass while it lives.
class BusyPointer {
public:
    BusyPointer() : backend_(&backend()) { backend_->pushBusyPointer(); }
    ~BusyPointer() { backend_->popBusyPointer(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    Backend* backend_;  // pops where it pushed, even if another backend was installed meanwhile
};

}  // namespace platform
