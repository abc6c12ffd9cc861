// How every window is worked from the keyboard, set up in one place rather
// than in each form: mnemonics on buttons and menus, read-only boxes out of
// the Tab order, a default button that never writes, Enter in an entry box
// moving on, and the focus a dialog opens with.
#pragma once

#include <QChar>
#include <QList>
#include <QSet>
#include <QString>

class QAbstractButton;
class QMenu;
class QMenuBar;
class QPushButton;
class QWidget;

namespace platform {

// The letter a caption's mnemonic marks, in lower case ("&Read" gives 'r');
// a null QChar when it has none ("&&" is a literal ampersand, not a mnemonic).
QChar mnemonicOf(const QString& caption);

// The caption without its mnemonic marker, as it shows ("&Read" gives "Read").
QString withoutMnemonic(const QString& caption);

// The caption with a mnemonic on the first letter not in `taken`: the first
// letters (or digits) of its words first, then its other letters, then its
// other digits. The
// letter chosen is added to `taken`. A caption that has a mnemonic keeps it
// (its letter is taken); one whose letters are all taken is returned as it
// is. No letter of the caption changes: only a '&' goes in.
QString withMnemonic(const QString& caption, QSet<QChar>& taken);

// Mnemonics for the buttons of `form` (push buttons first, then check boxes
// and option buttons, each in Tab order), none alike within the form.
void addMnemonics(QWidget& form);
// Mnemonics for the titles in the bar, and for the entries of each menu
// (and its submenus), none alike within one bar or one menu.
void addMnemonics(QMenuBar& bar);
void addMnemonics(QMenu& menu);

// A button's caption changed at run time (Start/Stop): the new caption
// keeps the mnemonics of the other buttons of its window unique.
void setButtonCaption(QAbstractButton& button, const QString& caption);

// Whether a push button writes to the meter: Enter never presses one.
bool isWriteButton(const QPushButton& button);

// The button Enter presses in `dialog`: OK where there is one; Read in a
// window that only reads; else Close (or Cancel). Null when none fits.
QPushButton* mainButton(QWidget& dialog);

// Sets up `form` for the keyboard; runs once per form (showModal and
// showModeless call it, a main window calls it itself):
// - read-only boxes take focus only from the mouse (their text can still be
//   selected and copied), and every box shows a text set into it from its
//   start, so a blank-padded name is not scrolled to its blanks;
// - mnemonics as addMnemonics gives them, for the buttons and a menu bar;
// - in a dialog: Write is never the default, and Enter on it does nothing;
//   the main button is the default; Enter in an entry box moves to the next
//   field (unless OK is the default, as in a password prompt); and the dialog
//   opens with focus on its first editable field, else its main button.
void prepareKeyboard(QWidget& form);

}  // namespace platform
