#include "platform/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

#include "platform/keyboard.h"
#include "platform/printing.h"

namespace platform {

namespace {

struct ButtonSet {
    int buttons;
    QList<int> answers;
};

// The classic button sets, each in display order.
const QList<ButtonSet>& buttonSets() {
    static const QList<ButtonSet> sets = {
        {vbOKOnly, {vbOK}},
        {vbOKCancel, {vbOK, vbCancel}},
        {vbAbortRetryIgnore, {vbAbort, vbRetry, vbIgnore}},
        {vbYesNoCancel, {vbYes, vbNo, vbCancel}},
        {vbYesNo, {vbYes, vbNo}},
        {vbRetryCancel, {vbRetry, vbCancel}},
    };
    return sets;
}

bool isButtonSet(int buttons) {
    for (const ButtonSet& set : buttonSets())
        if (set.buttons == buttons) return true;
    return false;
}

QMessageBox::Icon qtIcon(int icon) {
    switch (icon) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QMessageBox::ButtonRole qtRole(int answer) {
    switch (answer) {
    case vbOK:
    case vbYes: return QMessageBox::YesRole;
    case vbNo: return QMessageBox::NoRole;
    case vbCancel:
    case vbAbort: return QMessageBox::RejectRole;
    default: return QMessageBox::ActionRole;
    }
}

// Where the help pages shipped with the program are looked for.
QStringList helpDirectories() {
    QStringList dirs;
    const QString fromEnvironment = qEnvironmentVariable("CORVANE_HELP_DIR");
    if (!fromEnvironment.isEmpty()) dirs << fromEnvironment;
    const QString appDir = QCoreApplication::applicationDirPath();
    // help/ beside the program in the build folder; the installed program's
    // data folder relative to it (where the package puts the page).
    dirs << appDir + "/help" << appDir + "/" + QStringLiteral(CORVANE_INSTALLED_HELP_DIR);
    return dirs;
}

// Escape, or the window's close button, closes a message box with no button
// clicked, when `active`.
class EscapeDismisses final : public QObject {
public:
    EscapeDismisses(QMessageBox& box, bool active) : box_(box) {
        if (active) box.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool escape = event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
        if (watched != &box_ || (!escape && event->type() != QEvent::Close)) return false;
        box_.done(0);
        return true;
    }

private:
    QMessageBox& box_;
};

class QtBackend final : public Backend {
public:
    int messageBox(const MessageBoxRequest& request) override {
        QMessageBox box(qtIcon(request.icon), request.title, request.text, QMessageBox::NoButton,
                        QApplication::activeWindow());
        QList<QPair<QPushButton*, int>> pressed;
        const QList<int> answers = answersOf(request.buttons);
        for (int answer : answers) {
            QPushButton* button = box.addButton(answerText(answer), qtRole(answer));
            button->setObjectName("btn" + answerText(answer));
            pressed.append({button, answer});
        }
        box.setDefaultButton(pressed.value(request.defaultButton, pressed.first()).first);
        addMnemonics(box);
        // Escape gives Cancel where there is one, else the only button.
        for (const auto& [button, answer] : pressed)
            if (answer == vbCancel || answers.size() == 1) box.setEscapeButton(button);
        // A question without Cancel (Yes or No) is closed by Escape without an
        // answer, rather than with one that would do something.
        EscapeDismisses dismisses(box, answers.size() > 1 && !answers.contains(vbCancel));
        box.exec();
        for (const auto& [button, answer] : pressed)
            if (box.clickedButton() == button) return answer;
        return answers.size() == 1 ? answers.first() : vbCancel;
    }

    int showModal(QDialog& dialog) override { return dialog.exec(); }

    void showModeless(QWidget& window) override {
        window.show();
        window.raise();
        window.activateWindow();
    }

    void pushBusyPointer() override {
        busy_.push();
        showBusyPointer();
    }
    void popBusyPointer() override {
        busy_.pop();
        showBusyPointer();
    }
    void pauseBusyPointer() override {
        busy_.openLayer();
        showBusyPointer();
    }
    void resumeBusyPointer() override {
        busy_.closeLayer();
        showBusyPointer();
    }
    void processEvents() override { QCoreApplication::processEvents(); }

    bool openHelp(const QString& topic) override {
        for (const QString& dir : helpDirectories()) {
            const QFileInfo page(QDir(dir), topic + ".html");
            if (page.isFile()) return QDesktopServices::openUrl(QUrl::fromLocalFile(page.absoluteFilePath()));
        }
        MsgBox("The help page \"" + topic + "\" is not installed.", vbOKOnly, vbInformation);
        return false;
    }

    QString saveFileName(const SaveDialogRequest& request) override {
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), request.title, QString(), request.filter);
    }

    bool printDialog(QPrinter& printer) override {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        return dialog.exec() == QDialog::Accepted;
    }

    bool printJob(QPrinter& printer, const QStringList& lines) override { return PaintLines(printer, lines); }

private:
    // Qt stacks override cursors: exactly one is set while the pointer shows.
    void showBusyPointer() {
        if (busy_.showing() == cursorSet_) return;
        cursorSet_ = busy_.showing();
        if (cursorSet_)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }

    BusyPointerLayers busy_;
    bool cursorSet_ = false;
};

// Hides the busy pointer while a modal dialog or message box waits for the user.
class BusyPointerPause {
public:
    BusyPointerPause() : backend_(&backend()) { backend_->pauseBusyPointer(); }
    ~BusyPointerPause() { backend_->resumeBusyPointer(); }
    BusyPointerPause(const BusyPointerPause&) = delete;
    BusyPointerPause& operator=(const BusyPointerPause&) = delete;

private:
    Backend* backend_;
};

QString gApplicationTitle;

Backend* installed = nullptr;

}  // namespace

QList<int> answersOf(int buttons) {
    for (const ButtonSet& set : buttonSets())
        if (set.buttons == buttons) return set.answers;
    return buttonSets().first().answers;
}

QString answerText(int answer) {
    switch (answer) {
    case vbOK: return QStringLiteral("OK");
    case vbCancel: return QStringLiteral("Cancel");
    case vbAbort: return QStringLiteral("Abort");
    case vbRetry: return QStringLiteral("Retry");
    case vbIgnore: return QStringLiteral("Ignore");
    case vbYes: return QStringLiteral("Yes");
    case vbNo: return QStringLiteral("No");
    default: return QString();
    }
}

Backend& qtBackend() {
    static QtBackend backend;
    return backend;
}

Backend& backend() { return installed ? *installed : qtBackend(); }

Backend& installBackend(Backend& b) {
    Backend& previous = backend();
    installed = &b;
    return previous;
}

void uninstallBackend(Backend& b) {
    if (installed == &b) installed = nullptr;
}

QString applicationTitle() {
    return gApplicationTitle.isEmpty() ? QGuiApplication::applicationDisplayName() : gApplicationTitle;
}

void setApplicationTitle(const QString& title) { gApplicationTitle = title; }

int MsgBox(const QString& text, int buttons, int icon, const QString& title) {
    // The classic style value carries buttons in its low bits and the icon above them.
    constexpr int kButtonBits = 0x0F;
    constexpr int kIconBits = 0xF0;
    constexpr int kDefaultButtonBits = 0xF00;
    const int style = buttons | icon;
    MessageBoxRequest request;
    request.text = text;
    request.title = title.isEmpty() ? applicationTitle() : title;
    request.buttons = isButtonSet(style & kButtonBits) ? (style & kButtonBits) : vbOKOnly;
    request.icon = style & kIconBits;
    const int defaultButton = (style & kDefaultButtonBits) / vbDefaultButton2;
    request.defaultButton = defaultButton < answersOf(request.buttons).size() ? defaultButton : 0;
    if (qtIcon(request.icon) == QMessageBox::NoIcon) request.icon = vbNoIcon;
    BusyPointerPause pause;
    return backend().messageBox(request);
}

void applyEntryLook(QWidget& form) {
    for (QLineEdit* box : form.findChildren<QLineEdit*>()) {
        if (box->echoMode() == QLineEdit::Password) box->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
        if (box->isReadOnly()) {
            QPalette look = box->palette();
            look.setColor(QPalette::Base, look.color(QPalette::Window));
            box->setPalette(look);
        }
    }
}

int showModal(QDialog& dialog) {
    applyEntryLook(dialog);
    prepareKeyboard(dialog);
    BusyPointerPause pause;
    return backend().showModal(dialog);
}

void showModeless(QWidget& window) {
    applyEntryLook(window);
    prepareKeyboard(window);
    backend().showModeless(window);
}
void DoEvents() { backend().processEvents(); }
bool openHelp(const QString& topic) { return backend().openHelp(topic); }

}  // namespace platform
