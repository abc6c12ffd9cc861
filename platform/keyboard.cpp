#include "platform/keyboard.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace platform {

namespace {

constexpr char kPreparedProperty[] = "keyboardPrepared";

bool isEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Enter on a Write button does nothing: it would otherwise fall through to
// the dialog's default button.
class EnterIgnored final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        return isEnterKey(event) || QObject::eventFilter(watched, event);
    }
};

// Enter in an entry box (or on an option or list) moves on to the next
// field, as Tab does, instead of pressing the dialog's default button and
// losing what was typed or chosen.
class EnterMovesOn final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isEnterKey(event) || static_cast<QKeyEvent*>(event)->modifiers() & ~Qt::KeypadModifier)
            return QObject::eventFilter(watched, event);
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(watched, &tab);
        return true;
    }
};

// Positions in `caption` of the characters that show (a "&&" shows one '&'),
// with the index of a mnemonic marker's letter when there is one.
struct CaptionScan {
    QList<qsizetype> shown;
    qsizetype mnemonic = -1;
};
CaptionScan scan(const QString& caption) {
    CaptionScan result;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) {
            ++i;
            if (caption[i] != u'&' && result.mnemonic < 0) result.mnemonic = i;
        }
        result.shown.append(i);
    }
    return result;
}

// The widgets of `form`'s own window in Tab order (not those of a dialog it owns).
QList<QWidget*> tabOrder(QWidget& form) {
    QList<QWidget*> widgets;
    QWidget* window = form.window();
    for (QWidget* w = form.nextInFocusChain(); w && w != &form; w = w->nextInFocusChain())
        if (w->window() == window) widgets.append(w);
    return widgets;
}

QString shownCaption(const QAbstractButton& button) { return withoutMnemonic(button.text()); }

// The fields Enter moves on from: every control the user edits (boxes,
// lists, option buttons, check boxes), not the buttons.
bool isEntry(QWidget* w) {
    if (qobject_cast<QPushButton*>(w) || (w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) return false;
    auto* box = qobject_cast<QLineEdit*>(w);
    return !box || !box->isReadOnly();
}

// A field the user edits: it takes Tab focus and is not a button.
bool isEditableField(QWidget* w, const QWidget& form) {
    if (qobject_cast<QPushButton*>(w)) return false;
    if ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus) return false;
    if (auto* box = qobject_cast<QLineEdit*>(w); box && box->isReadOnly()) return false;
    return w->isEnabled() && w->isVisibleTo(&form);
}

// A box shows a text set into it from its start: a blank-padded name is not
// scrolled to its blanks. What the user types keeps its cursor; a read-only
// box only ever shows what was set (it may hold the focus while its form
// disables the button that had it). Setting the text a box already holds
// moves its cursor to the end without a text change, so the cursor is watched
// too.
void showSetTextsFromStart(QLineEdit& box) {
    QObject::connect(&box, &QLineEdit::textChanged, &box, [&box] {
        if (!box.hasFocus() || box.isReadOnly()) box.setCursorPosition(0);
    });
    QObject::connect(&box, &QLineEdit::cursorPositionChanged, &box, [&box](int, int now) {
        if (now != 0 && !box.hasFocus()) box.setCursorPosition(0);
    });
}

void prepareDialog(QDialog& dialog) {
    QPushButton* main = mainButton(dialog);
    auto* enterIgnored = new EnterIgnored(&dialog);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->window() != &dialog) continue;
        if (isWriteButton(*button)) {
            button->setDefault(false);
            button->setAutoDefault(false);
            button->installEventFilter(enterIgnored);
        } else {
            // Enter presses the button that has the focus.
            button->setAutoDefault(true);
        }
    }
    if (main) main->setDefault(true);

    const QList<QWidget*> widgets = tabOrder(dialog);
    // A prompt whose default is OK (a password) takes Enter as OK.
    if (!main || shownCaption(*main) != QLatin1String("OK")) {
        auto* movesOn = new EnterMovesOn(&dialog);
        for (QWidget* w : widgets)
            if (isEntry(w)) w->installEventFilter(movesOn);
    }

    for (QWidget* w : widgets)
        if (isEditableField(w, dialog)) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    if (main) main->setFocus(Qt::OtherFocusReason);
}

}  // namespace

QChar mnemonicOf(const QString& caption) {
    const qsizetype at = scan(caption).mnemonic;
    return at < 0 ? QChar() : caption[at].toLower();
}

QString withoutMnemonic(const QString& caption) {
    QString shown;
    for (qsizetype i : scan(caption).shown) shown += caption[i];
    return shown;
}

QString withMnemonic(const QString& caption, QSet<QChar>& taken) {
    const CaptionScan found = scan(caption);
    if (found.mnemonic >= 0) {
        taken.insert(caption[found.mnemonic].toLower());
        return caption;
    }
    // Word starts first (a letter, or the first digit of a number), then
    // the other letters, then the other digits.
    QList<qsizetype> wordStarts, letters, digits;
    for (qsizetype n = 0; n < found.shown.size(); ++n) {
        const qsizetype i = found.shown[n];
        const QChar c = caption[i];
        if (!c.isLetterOrNumber() || c.unicode() > 0x7f) continue;
        const bool wordStart = n == 0 || !caption[found.shown[n - 1]].isLetterOrNumber();
        (wordStart ? wordStarts : c.isDigit() ? digits : letters).append(i);
    }
    for (const QList<qsizetype>* group : {&wordStarts, &letters, &digits})
        for (qsizetype i : *group) {
            const QChar letter = caption[i].toLower();
            if (taken.contains(letter)) continue;
            taken.insert(letter);
            QString marked = caption;
            marked.insert(i, u'&');
            return marked;
        }
    return caption;
}

void addMnemonics(QWidget& form) {
    QList<QAbstractButton*> buttons;
    const QList<QWidget*> widgets = tabOrder(form);
    for (QWidget* w : widgets)
        if (auto* button = qobject_cast<QPushButton*>(w)) buttons.append(button);
    for (QWidget* w : widgets)
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) buttons.append(static_cast<QAbstractButton*>(w));
    QSet<QChar> taken;
    // Mnemonics a caption already carries are kept and taken first.
    for (QAbstractButton* button : buttons)
        if (const QChar letter = mnemonicOf(button->text()); !letter.isNull()) taken.insert(letter);
    for (QAbstractButton* button : buttons) button->setText(withMnemonic(button->text(), taken));
}

namespace {

void addMnemonicsTo(const QList<QAction*>& actions) {
    QSet<QChar> taken;
    for (QAction* action : actions)
        if (const QChar letter = mnemonicOf(action->text()); !letter.isNull()) taken.insert(letter);
    for (QAction* action : actions) {
        if (action->isSeparator()) continue;
        action->setText(withMnemonic(action->text(), taken));
        if (QMenu* submenu = action->menu()) addMnemonics(*submenu);
    }
}

}  // namespace

void addMnemonics(QMenuBar& bar) { addMnemonicsTo(bar.actions()); }
void addMnemonics(QMenu& menu) { addMnemonicsTo(menu.actions()); }

void setButtonCaption(QAbstractButton& button, const QString& caption) {
    QSet<QChar> taken;
    for (QAbstractButton* other : button.window()->findChildren<QAbstractButton*>())
        if (other != &button && other->window() == button.window())
            if (const QChar letter = mnemonicOf(other->text()); !letter.isNull()) taken.insert(letter);
    button.setText(withMnemonic(caption, taken));
}

bool isWriteButton(const QPushButton& button) {
    return button.objectName() == QLatin1String("btnWrite") || shownCaption(button) == QLatin1String("Write");
}

QPushButton* mainButton(QWidget& dialog) {
    QList<QPushButton*> buttons;
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->window() == &dialog) buttons.append(button);
    auto captioned = [&buttons](const char* caption) -> QPushButton* {
        for (QPushButton* button : buttons)
            if (shownCaption(*button) == QLatin1String(caption)) return button;
        return nullptr;
    };
    const bool writes = std::any_of(buttons.begin(), buttons.end(), [](QPushButton* b) { return isWriteButton(*b); });
    if (QPushButton* ok = captioned("OK")) return ok;
    if (QPushButton* read = captioned("Read"); read && !writes) return read;
    if (QPushButton* close = captioned("Close")) return close;
    return captioned("Cancel");
}

void prepareKeyboard(QWidget& form) {
    if (form.property(kPreparedProperty).toBool()) return;
    form.setProperty(kPreparedProperty, true);
    for (QLineEdit* box : form.findChildren<QLineEdit*>()) {
        if (box->isReadOnly()) box->setFocusPolicy(Qt::ClickFocus);
        showSetTextsFromStart(*box);
    }
    addMnemonics(form);
    for (QMenuBar* bar : form.findChildren<QMenuBar*>())
        if (bar->window() == &form) addMnemonics(*bar);
    if (auto* dialog = qobject_cast<QDialog*>(&form)) prepareDialog(*dialog);
}

}  // namespace platform
