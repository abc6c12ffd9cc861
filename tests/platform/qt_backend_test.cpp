// The Qt backend with real modal loops, closed from a timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/platform.h"

namespace {

using namespace platform;

// Clicks a button of the message box once its modal loop runs.
void clickWhenOpen(const char* buttonName) {
    QTimer::singleShot(0, [buttonName] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        auto* button = box ? box->findChild<QPushButton*>(buttonName) : nullptr;
        if (button) return button->click();
        ADD_FAILURE() << "no message box with " << buttonName;
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();  // never hang
    });
}

TEST(QtBackend, MessageBoxReturnsTheButtonClicked) {
    ASSERT_EQ(&backend(), &qtBackend());
    clickWhenOpen("btnNo");
    EXPECT_EQ(MsgBox("Proceed?", vbYesNoCancel, vbQuestion, "Warning!"), vbNo);
    clickWhenOpen("btnIgnore");
    EXPECT_EQ(MsgBox("Port busy", vbAbortRetryIgnore, vbCritical, "t"), vbIgnore);
    clickWhenOpen("btnOK");
    EXPECT_EQ(MsgBox("Done"), vbOK);
}

TEST(QtBackend, ShowModalRunsTheDialogUntilItCloses) {
    QDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.done(5); });
    EXPECT_EQ(showModal(dialog), 5);
}

}  // namespace
