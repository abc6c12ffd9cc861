// Keyboard set-up of forms: mnemonics, default buttons, Enter and Escape,
// and the focus a dialog opens with, driven by key presses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/fit.h"
#include "platform/keyboard.h"
#include "platform/platform.h"

namespace {

using namespace platform;

TEST(Mnemonics, WordStartsFirstThenOtherLettersAndNoneTwice) {
    QSet<QChar> taken;
    EXPECT_EQ(withMnemonic("Read", taken), "&Read");
    EXPECT_EQ(withMnemonic("Write", taken), "&Write");
    EXPECT_EQ(withMnemonic("Restart", taken), "R&estart");        // R taken: the next letter
    EXPECT_EQ(withMnemonic("Take Data", taken), "&Take Data");
    EXPECT_EQ(withMnemonic("Test Data", taken), "Test &Data");    // the second word's start before inner letters
    EXPECT_EQ(withMnemonic("PV && Totalizer", taken), "&PV && Totalizer");
    EXPECT_EQ(withMnemonic("&System Info...", taken), "&System Info...");  // kept as it was
    EXPECT_TRUE(taken.contains(u's'));
    EXPECT_EQ(withMnemonic("?", taken), "?");                      // nothing to mark
    EXPECT_EQ(withMnemonic("1 Primary Variable", taken), "&1 Primary Variable");
    EXPECT_EQ(withMnemonic("Cmd 12", taken), "&Cmd 12");
    EXPECT_EQ(withMnemonic("Cmd 13", taken), "C&md 13");  // C and 1 taken: the other letters next
    EXPECT_EQ(withMnemonic("Cmd 31", taken), "Cmd &31");
    EXPECT_EQ(taken.size(), 11);
}

TEST(Mnemonics, CaptionsKeepEveryLetterAndAmpersands) {
    QSet<QChar> taken;
    for (QChar c : QStringLiteral("abcdefghijklmnopqrstuvwxyz")) taken.insert(c);
    EXPECT_EQ(withMnemonic("Close", taken), "Close");  // all letters taken: left as it is
    EXPECT_EQ(withMnemonic("Cmd 12", taken), "Cmd &12");
    EXPECT_EQ(withoutMnemonic("Cmd &12"), "Cmd 12");
    EXPECT_EQ(withoutMnemonic("Alternating PV && &Totalizer"), "Alternating PV & Totalizer");
    EXPECT_EQ(mnemonicOf("Alternating PV && &Totalizer"), u't');
    EXPECT_TRUE(mnemonicOf("PV && Totalizer").isNull());
    EXPECT_TRUE(mnemonicOf("Trailing &").isNull());
}

TEST(Mnemonics, MenusGetThemPerMenuAndSubmenu) {
    QMenuBar bar;
    QMenu* file = bar.addMenu("File");
    QMenu* format = bar.addMenu("Format");
    file->addAction("Save");
    file->addAction("Save As");
    file->addSeparator();
    QMenu* sub = file->addMenu("Send");
    sub->addAction("Save");  // its own menu: may use S again
    format->addAction("Save");
    addMnemonics(bar);
    EXPECT_EQ(file->title(), "&File");
    EXPECT_EQ(format->title(), "F&ormat");
    EXPECT_EQ(file->actions()[0]->text(), "&Save");
    EXPECT_EQ(file->actions()[1]->text(), "Save &As");
    EXPECT_EQ(sub->menuAction()->text(), "S&end");
    EXPECT_EQ(sub->actions()[0]->text(), "&Save");
    EXPECT_EQ(format->actions()[0]->text(), "&Save");
}

// A dialog as the configuration forms lay theirs out: a read-only box, two
// entries, Read, Write and Close.
struct WriteDialog {
    QDialog dialog;
    QLineEdit* shown = new QLineEdit(&dialog);
    QLineEdit* first = new QLineEdit(&dialog);
    QLineEdit* second = new QLineEdit(&dialog);
    QPushButton* read = new QPushButton("Read", &dialog);
    QPushButton* write = new QPushButton("Write", &dialog);
    QPushButton* close = new QPushButton("Close", &dialog);
    int reads = 0, writes = 0, closes = 0;

    WriteDialog() {
        write->setObjectName("btnWrite");
        auto* grid = new QGridLayout(&dialog);
        grid->addWidget(shown, 0, 0);
        grid->addWidget(first, 1, 0);
        grid->addWidget(second, 2, 0);
        grid->addWidget(read, 3, 0);
        grid->addWidget(write, 3, 1);
        grid->addWidget(close, 3, 2);
        shown->setReadOnly(true);
        write->setDefault(true);  // as a form might have made it
        QObject::connect(read, &QPushButton::clicked, [this] { ++reads; });
        QObject::connect(write, &QPushButton::clicked, [this] { ++writes; });
        QObject::connect(close, &QPushButton::clicked, [this] { ++closes; });
        prepareKeyboard(dialog);
        dialog.show();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
};

TEST(DialogKeyboard, EnterNeverWritesAndMovesOnFromAnEntry) {
    WriteDialog d;
    EXPECT_EQ(d.dialog.focusWidget(), d.first) << "focus opens on the first editable field";
    EXPECT_FALSE(d.write->isDefault());
    EXPECT_TRUE(d.close->isDefault());
    EXPECT_EQ(mainButton(d.dialog), d.close);

    QTest::keyClick(d.first, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), d.second);
    QTest::keyClick(d.second, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(QApplication::focusWidget(), d.read);
    d.write->setFocus();
    QTest::keyClick(d.write, Qt::Key_Return);  // neither Write nor the default
    EXPECT_EQ(d.writes + d.closes, 0);
    d.read->setFocus();
    QTest::keyClick(d.read, Qt::Key_Return);  // a focused button other than Write takes Enter
    EXPECT_EQ(d.reads, 1);

    EXPECT_EQ(d.write->text(), "&Write");
    QTest::keyClick(&d.dialog, Qt::Key_W, Qt::AltModifier);  // the mnemonic writes (an animated click)
    EXPECT_TRUE(QTest::qWaitFor([&d] { return d.writes == 1; }, 2000));
    QTest::keyClick(&d.dialog, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&d] { return d.closes == 1; }, 2000));
}

TEST(DialogKeyboard, ReadOnlyBoxesAreSkippedByTabButTakeTheMouse) {
    WriteDialog d;
    d.shown->setText("SATURATED STEAM         ");
    EXPECT_EQ(d.shown->cursorPosition(), 0) << "a padded text shows from its start";
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_NE(QApplication::focusWidget(), d.shown);
    }
    QTest::mouseClick(d.shown, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), d.shown);
    d.shown->selectAll();
    EXPECT_EQ(d.shown->selectedText(), d.shown->text());
}

TEST(DialogKeyboard, OkPromptTakesEnterAndReportWindowsOpenOnRead) {
    QDialog prompt;
    auto* password = new QLineEdit(&prompt);
    auto* ok = new QPushButton("OK", &prompt);
    auto* cancel = new QPushButton("Cancel", &prompt);
    auto* layout = new QGridLayout(&prompt);
    layout->addWidget(password, 0, 0);
    layout->addWidget(ok, 1, 0);
    layout->addWidget(cancel, 1, 1);
    QObject::connect(ok, &QPushButton::clicked, &prompt, &QDialog::accept);
    prepareKeyboard(prompt);
    prompt.show();
    prompt.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&prompt));
    EXPECT_EQ(QApplication::focusWidget(), password);
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(prompt.result(), QDialog::Accepted);

    QDialog report;
    auto* box = new QLineEdit(&report);
    box->setReadOnly(true);
    auto* check = new QCheckBox("Fixed Carrier", &report);
    check->setEnabled(false);
    auto* read = new QPushButton("Read", &report);
    auto* close = new QPushButton("Close", &report);
    auto* grid = new QGridLayout(&report);
    grid->addWidget(box, 0, 0);
    grid->addWidget(check, 1, 0);
    grid->addWidget(read, 2, 0);
    grid->addWidget(close, 2, 1);
    prepareKeyboard(report);
    EXPECT_TRUE(read->isDefault());
    EXPECT_EQ(report.focusWidget(), read);
}

// Presses `key` in the message box once its modal loop runs.
void pressInBoxWhenOpen(Qt::Key key) {
    QTimer::singleShot(0, [key] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return ADD_FAILURE() << "no message box";
        QTest::keyClick(box, key);
        // A mnemonic clicks its button animated, a moment later.
        if (!QTest::qWaitFor([box] { return !box->isVisible(); }, 2000)) {
            ADD_FAILURE() << "the box stayed open";
            if (auto* modal = qobject_cast<QDialog*>(box)) modal->done(0);
        }
    });
}

TEST(MessageBoxKeyboard, EscapeAnswersTheQuestionWithNeitherChoice) {
    ASSERT_EQ(&backend(), &qtBackend());
    pressInBoxWhenOpen(Qt::Key_Escape);
    EXPECT_EQ(MsgBox("Do you want to print to a file?", vbYesNo | vbDefaultButton2, vbQuestion, "Printing Option"),
              vbCancel);
    pressInBoxWhenOpen(Qt::Key_Escape);
    EXPECT_EQ(MsgBox("Proceed?", vbYesNoCancel), vbCancel);
    pressInBoxWhenOpen(Qt::Key_Escape);
    EXPECT_EQ(MsgBox("Done"), vbOK);
    pressInBoxWhenOpen(Qt::Key_Return);  // Enter still gives the default: No here
    EXPECT_EQ(MsgBox("Print to a file?", vbYesNo | vbDefaultButton2), vbNo);
    pressInBoxWhenOpen(Qt::Key_Y);  // the buttons' mnemonics
    EXPECT_EQ(MsgBox("Print to a file?", vbYesNo | vbDefaultButton2), vbYes);
}

TEST(BoxWidth, FitToTextMakesTheLongestTextShowWhole) {
    QLineEdit box;
    box.setText("VX2-02-WL-T1-NNNN");
    box.resize(30, box.sizeHint().height());
    EXPECT_FALSE(textFits(box, box.text()));
    fitToText(box, longestPackedText(16));
    box.resize(box.minimumWidth(), box.height());
    EXPECT_TRUE(textFits(box, box.text()));
    EXPECT_TRUE(textFits(box, longestPackedText(16)));
    EXPECT_FALSE(textFits(box, longestPackedText(17) + "WW"));
    EXPECT_EQ(longestPackedText(16).size(), 16);
}

}  // namespace
