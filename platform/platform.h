// The platform layer: message boxes, modal and modeless dialogs, the busy
// pointer, pending-event processing and help, as forms and the control call
// them. Every call goes through the installed Backend: the Qt one by default,
// a scripted one in tests.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class QDialog;
class QPrinter;
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
// Which button is the default (the first when none is given).
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
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
    // Index into answersOf(buttons) of the button Enter presses.
    int defaultButton = 0;
};

// A save dialog as it reaches the backend.
struct SaveDialogRequest {
    QString title;
    // Qt's filter form: "Text (*.txt)".
    QString filter;
};

// The answers a button set offers, in display order; the first is the default.
// An unknown set is treated as vbOKOnly.
QList<int> answersOf(int buttons);
// The text of an answer's button ("OK", "Yes", ...).
QString answerText(int answer);

// The hourglass's state: pushes nest, and a modal dialog or message box
// opens a layer of its own, so a pointer pushed before it stays hidden while
// it waits for the user and shows again when it closes.
class BusyPointerLayers {
public:
    void push() { ++layers_.back(); }
    void pop() {
        if (layers_.back() > 0) --layers_.back();
    }
    void openLayer() { layers_.push_back(0); }
    void closeLayer() {
        if (layers_.size() > 1) layers_.pop_back();
    }
    // The pointer shows when the innermost layer holds a push.
    bool showing() const { return layers_.back() > 0; }
    // Pushes not yet popped, in every layer.
    int depth() const {
        int total = 0;
        for (int pushes : layers_) total += pushes;
        return total;
    }

private:
    std::vector<int> layers_{0};
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    virtual int showModal(QDialog& dialog) = 0;
    virtual void showModeless(QWidget& window) = 0;
    virtual void pushBusyPointer() = 0;
    virtual void popBusyPointer() = 0;
    // A modal dialog or message box opens and closes: the busy pointer set
    // before it does not show while the user looks at it.
    virtual void pauseBusyPointer() {}
    virtual void resumeBusyPointer() {}
    virtual void processEvents() = 0;
    virtual bool openHelp(const QString& topic) = 0;
    // The path chosen in a save dialog that confirms overwriting; empty when cancelled.
    virtual QString saveFileName(const SaveDialogRequest& request) = 0;
    // The print dialog on `printer`; false when cancelled.
    virtual bool printDialog(QPrinter& printer) = 0;
    // Prints `lines` as one job; false when the job could not start.
    virtual bool printJob(QPrinter& printer, const QStringList& lines) = 0;
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
// It is kept here rather than as Qt's application display name, which the
// desktop would append to every window title.
QString applicationTitle();
void setApplicationTitle(const QString& title);

// Shows a modal message box and returns the button pressed (vbOK ...).
// Escape gives the answer that does nothing: Cancel where the box has it, the
// only button of a one-button box, and vbCancel for a question without
// Cancel (Yes/No), so that neither of its answers is taken.
// `buttons` may also carry the icon and default-button bits, as the classic
// style value does;
// an empty title shows the application title.
int MsgBox(const QString& text, int buttons = vbOKOnly, int icon = vbNoIcon, const QString& title = QString());

// Modal dialogs and message boxes hide the busy pointer while they are open.
// Shows a dialog modally and returns its result (QDialog::Accepted or Rejected, or what it passed to done()).
int showModal(QDialog& dialog);
void showModeless(QWidget& window);

// Read-only boxes of `form` take the window's background, so they do not
// look editable, and password boxes mask with "*". showModal and
// showModeless do this, and prepareKeyboard (keyboard.h), for every form; a
// main window calls both itself.
void applyEntryLook(QWidget& form);

// Processes pending events and returns.
void DoEvents();

// Opens the help page of a topic ("Fenwire"); false when there is none.
bool openHelp(const QString& topic);

// The hourglass while it lives (hidden while a modal dialog or message box
// opened meanwhile waits for the user).
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
