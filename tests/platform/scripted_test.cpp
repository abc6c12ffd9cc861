#include "platform/scripted.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>

namespace {

using namespace platform;

class ScriptedBackendTest : public ::testing::Test {
protected:
    ScriptedBackend scripted_;
    BackendGuard guard_{scripted_};
};

TEST_F(ScriptedBackendTest, RecordsMessageBoxesAndAnswersFromTheQueue) {
    scripted_.queueAnswer(vbNo);
    EXPECT_EQ(MsgBox("Meter is not in Edit Mode.  Enter edit mode now?", vbYesNo, vbQuestion, "Not in Edit Mode"), vbNo);
    // With the queue empty, the first button.
    EXPECT_EQ(MsgBox("again?", vbYesNo, vbQuestion, "t"), vbYes);
    EXPECT_EQ(MsgBox("x", vbAbortRetryIgnore, vbCritical, "t"), vbAbort);
    EXPECT_EQ(MsgBox("x", vbRetryCancel, vbExclamation, "t"), vbRetry);
    EXPECT_EQ(MsgBox("x", vbOKCancel, vbInformation, "t"), vbOK);

    ASSERT_EQ(scripted_.messageBoxes().size(), 5u);
    const auto& first = scripted_.messageBoxes()[0];
    EXPECT_EQ(first.text, "Meter is not in Edit Mode.  Enter edit mode now?");
    EXPECT_EQ(first.title, "Not in Edit Mode");
    EXPECT_EQ(first.buttons, vbYesNo);
    EXPECT_EQ(first.icon, vbQuestion);
    EXPECT_EQ(first.answer, vbNo);
    EXPECT_EQ(scripted_.messageBoxes()[2].icon, vbCritical);
}

TEST_F(ScriptedBackendTest, SplitsAClassicStyleValueAndResolvesTheTitle) {
    const QString savedName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName("Corvane Aldmoor HART Interface Utility");
    MsgBox("Warning?", vbYesNo + vbExclamation);
    MsgBox("Odd buttons", 9, 0, "t");
    MsgBox("Odd icon", vbOKOnly, 80, "t");
    QGuiApplication::setApplicationDisplayName(savedName);

    ASSERT_EQ(scripted_.messageBoxes().size(), 3u);
    EXPECT_EQ(scripted_.messageBoxes()[0].buttons, vbYesNo);
    EXPECT_EQ(scripted_.messageBoxes()[0].icon, vbExclamation);
    EXPECT_EQ(scripted_.messageBoxes()[0].title, "Corvane Aldmoor HART Interface Utility");
    EXPECT_EQ(scripted_.messageBoxes()[1].buttons, vbOKOnly);
    EXPECT_EQ(scripted_.messageBoxes()[1].answer, vbOK);
    EXPECT_EQ(scripted_.messageBoxes()[2].icon, vbNoIcon);
}

TEST_F(ScriptedBackendTest, AnAnswerActionRunsWhileTheBoxIsOpen) {
    scripted_.queueAnswer([](const MessageBoxRequest& r) {
        EXPECT_EQ(r.text, "outer");
        return MsgBox("inner", vbOKCancel) == vbOK ? vbRetry : vbCancel;
    });
    EXPECT_EQ(MsgBox("outer", vbRetryCancel, vbNoIcon, "t"), vbRetry);
    ASSERT_EQ(scripted_.messageBoxes().size(), 2u);
    EXPECT_EQ(scripted_.messageBoxes()[0].text, "outer");
    EXPECT_EQ(scripted_.messageBoxes()[0].answer, vbRetry);
    EXPECT_EQ(scripted_.messageBoxes()[1].text, "inner");
}

class ProbeDialog : public QDialog {
public:
    ProbeDialog() {
        setObjectName("frmProbe");
        setWindowTitle("Probe");
        ok = new QPushButton("OK", this);
        ok->setObjectName("btnOK");
        connect(ok, &QPushButton::clicked, this, [this] { done(42); });
    }
    QPushButton* ok;
};

TEST_F(ScriptedBackendTest, ModalDialogsAreShownRecordedAndClosed) {
    ProbeDialog dialog;
    EXPECT_EQ(showModal(dialog), QDialog::Accepted);

    scripted_.queueDialogResult(QDialog::Rejected);
    EXPECT_EQ(showModal(dialog), QDialog::Rejected);

    bool visibleDuringAction = false;
    scripted_.queueDialog([&](QDialog& d) {
        visibleDuringAction = d.isVisible();
        d.findChild<QPushButton*>("btnOK")->click();
    });
    EXPECT_EQ(showModal(dialog), 42);
    EXPECT_TRUE(visibleDuringAction);
    EXPECT_FALSE(dialog.isVisible());

    scripted_.queueDialog([](QDialog&) {}, 7);
    EXPECT_EQ(showModal(dialog), 7);

    ASSERT_EQ(scripted_.dialogs().size(), 4u);
    EXPECT_EQ(scripted_.dialogs()[0].title, "Probe");
    EXPECT_EQ(scripted_.dialogs()[0].objectName, "frmProbe");
    EXPECT_EQ(scripted_.dialogs()[1].result, QDialog::Rejected);
    EXPECT_EQ(scripted_.dialogs()[2].result, 42);
    EXPECT_EQ(scripted_.pendingDialogs(), 0u);
}

TEST_F(ScriptedBackendTest, BusyPointersNestAndPopWhereTheyPushed) {
    {
        BusyPointer outer;
        ScriptedBackend other;
        BackendGuard swap(other);
        BusyPointer inner;
        EXPECT_EQ(scripted_.busyDepth(), 1);
        EXPECT_EQ(other.busyDepth(), 1);
    }
    EXPECT_EQ(scripted_.busyDepth(), 0);
    EXPECT_EQ(scripted_.busyPointersShown(), 1);
}

TEST_F(ScriptedBackendTest, DoEventsDeliversPendingEvents) {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    DoEvents();
    EXPECT_TRUE(ran);
    EXPECT_EQ(scripted_.eventPumps(), 1);
}

TEST_F(ScriptedBackendTest, RecordsHelpRequests) {
    EXPECT_TRUE(openHelp("Fenwire"));
    EXPECT_EQ(scripted_.helpRequests(), QStringList({"Fenwire"}));
}

TEST(PlatformBackend, GuardsRestoreTheBackendTheyReplaced) {
    Backend& before = backend();
    ScriptedBackend a, b;
    {
        BackendGuard ga(a);
        {
            BackendGuard gb(b);
            EXPECT_EQ(&backend(), &b);
        }
        EXPECT_EQ(&backend(), &a);
    }
    EXPECT_EQ(&backend(), &before);
    installBackend(a);
    uninstallBackend(b);  // not the installed one: no change
    EXPECT_EQ(&backend(), &a);
    uninstallBackend(a);
    EXPECT_EQ(&backend(), &qtBackend());
}

TEST(PlatformBackend, ButtonSetsOfferTheirAnswersInOrder) {
    EXPECT_EQ(answersOf(vbOKOnly), QList<int>({vbOK}));
    EXPECT_EQ(answersOf(vbOKCancel), QList<int>({vbOK, vbCancel}));
    EXPECT_EQ(answersOf(vbAbortRetryIgnore), QList<int>({vbAbort, vbRetry, vbIgnore}));
    EXPECT_EQ(answersOf(vbYesNoCancel), QList<int>({vbYes, vbNo, vbCancel}));
    EXPECT_EQ(answersOf(vbYesNo), QList<int>({vbYes, vbNo}));
    EXPECT_EQ(answersOf(vbRetryCancel), QList<int>({vbRetry, vbCancel}));
    EXPECT_EQ(answersOf(-1), QList<int>({vbOK}));
}

}  // namespace
