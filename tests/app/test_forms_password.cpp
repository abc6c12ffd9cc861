// Password protection on and off, the password prompt, and the main
// window's use of the prompt when entering edit mode on a protected meter.
#include <QAction>
#include <QCheckBox>

#include "app/forms/frmPasswordProtected.h"
#include "app/forms/frmPasswordProtection.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

// The prompt's next opening: types `password` and presses OK.
ScriptedBackend::DialogAction answerPrompt(const QString& password) {
    return [password](QDialog& prompt) {
        EXPECT_EQ(prompt.windowTitle(), "  Password Required");
        EXPECT_TRUE(text(prompt, "txtPassword").isEmpty());
        type(prompt, "txtPassword", password);
        click(prompt, "btnOK");
    };
}

class PasswordProtection : public FormsTest {
protected:
    std::unique_ptr<app::frmPasswordProtection> open() {
        return std::make_unique<app::frmPasswordProtection>(window.get());
    }
    bool meterProtected() const { return sim->meter.state().runtime.passwordProtected; }
};

TEST_F(PasswordProtection, ReadShowsTheProtectionAndEnablesNewPasswordsOnlyWhenOff) {
    connectTo("gas_insertion");
    std::unique_ptr<app::frmPasswordProtection> form;
    EXPECT_EQ(sentDuring([&] { form = open(); }), std::vector<std::string>{"129"});
    EXPECT_FALSE(child<QCheckBox>(*form, "chkPasswordProtection")->isChecked());
    for (const char* name : {"txtPassword", "Passwordlabel", "txtPasswordVerification", "lblPasswordVerification"})
        EXPECT_TRUE(enabled(*form, name)) << name;
    for (const char* entry : {"txtPassword", "txtPasswordVerification"}) {
        EXPECT_EQ(child<QLineEdit>(*form, entry)->echoMode(), QLineEdit::Password);
        EXPECT_EQ(child<QLineEdit>(*form, entry)->maxLength(), 4);
    }
    form.reset();

    connectTo("password_protected");
    form = open();
    EXPECT_TRUE(child<QCheckBox>(*form, "chkPasswordProtection")->isChecked());
    for (const char* name : {"txtPassword", "Passwordlabel", "txtPasswordVerification", "lblPasswordVerification"})
        EXPECT_FALSE(enabled(*form, name)) << name;
}

TEST_F(PasswordProtection, OnlyAnInServiceMeterChangesProtection) {
    connectTo("liquid_wafer");  // edit mode
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(true);
    type(*form, "txtPassword", "AB12");
    type(*form, "txtPasswordVerification", "AB12");
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty());
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Meter must be online to change password protection");
    EXPECT_EQ(ui.messageBoxes()[0].title, "Invalid selection");
    EXPECT_EQ(ui.messageBoxes()[0].icon, platform::vbCritical);
    EXPECT_TRUE(ui.dialogs().empty());
    EXPECT_FALSE(meterProtected());
}

TEST_F(PasswordProtection, SwitchingOnNeedsMatchingPasswordsAndSendsOneCommand) {
    connectTo("gas_insertion");
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(true);
    type(*form, "txtPassword", "AB12");
    type(*form, "txtPasswordVerification", "AB13");
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty());
    expectOnlyError("Passwords do not match");
    EXPECT_FALSE(lampOn("ledPasswordProtected"));

    ui.clear();
    type(*form, "txtPasswordVerification", "AB12");
    // Flag 1 and "AB12" packed; the write is not read back.
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{"247 01042C72"});
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_TRUE(lampOn("ledPasswordProtected"));
    EXPECT_TRUE(meterProtected());
    EXPECT_EQ(text(*form, "txtPassword"), "AB12");  // entries stay until the next read
}

TEST_F(PasswordProtection, EmptyPasswordAndVerificationMatch) {
    connectTo("gas_insertion");
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(true);
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{"247 01820820"});
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(PasswordProtection, UnchangedBoxSendsNothing) {
    for (const char* profile : {"gas_insertion", "password_protected"}) {
        connectTo(profile);
        auto form = open();
        type(*form, "txtPassword", "AB12");
        EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty()) << profile;
        EXPECT_TRUE(ui.messageBoxes().empty()) << profile;
        EXPECT_TRUE(ui.dialogs().empty()) << profile;
    }
}

TEST_F(PasswordProtection, SwitchingOffHandsThePasswordToTheMeterThroughThePrompt) {
    connectTo("password_protected");
    ASSERT_TRUE(lampOn("ledPasswordProtected"));
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(false);
    ui.queueDialog(answerPrompt("CVN1"));
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{"247 000D63B1"});
    ASSERT_EQ(ui.dialogs().size(), 1u);
    EXPECT_EQ(ui.dialogs()[0].objectName, "frmPasswordProtected");
    EXPECT_TRUE(ui.messageBoxes().empty()) << boxTexts().join('|').toStdString();
    EXPECT_FALSE(lampOn("ledPasswordProtected"));
    EXPECT_FALSE(meterProtected());
}

TEST_F(PasswordProtection, CancelledPromptIsAnIncorrectPassword) {
    connectTo("password_protected");
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(false);
    ui.queueDialog([](QDialog& prompt) {
        type(prompt, "txtPassword", "CVN1");
        click(prompt, "btnCancel");
    });
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty());
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Incorrect Password");
    EXPECT_EQ(ui.messageBoxes()[0].title, kTitle);
    EXPECT_EQ(ui.messageBoxes()[0].icon, platform::vbCritical);
    EXPECT_TRUE(lampOn("ledPasswordProtected"));

    // Closed by its window frame: the same.
    ui.clear();
    ui.queueDialog([](QDialog& prompt) { prompt.close(); });
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty());
    EXPECT_EQ(boxTexts(), QStringList{"Incorrect Password"});
}

// The meter judges the password; its refusal is reported by the port form,
// and the lamp keeps showing the protection that is still on.
TEST_F(PasswordProtection, WrongPasswordLeavesTheLampOn) {
    connectTo("password_protected");
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(false);
    ui.queueDialog(answerPrompt("XXXX"));
    EXPECT_EQ(sentDuring([&] { click(*form, "btnWrite"); }), std::vector<std::string>{"247 00618618"});
    EXPECT_EQ(boxTexts(), QStringList{"Error:  Command 247 reports reponse code 16: Access restricted"});
    EXPECT_TRUE(lampOn("ledPasswordProtected"));
    EXPECT_TRUE(meterProtected());
}

TEST_F(PasswordProtection, WithAccessGrantedThePromptSendsNothing) {
    connectTo("password_protected", {{"access_level", "1"}});
    ASSERT_EQ(window->AccessLevel, 1);
    auto form = open();
    child<QCheckBox>(*form, "chkPasswordProtection")->setChecked(false);
    ui.queueDialog(answerPrompt("CVN1"));
    EXPECT_TRUE(sentDuring([&] { click(*form, "btnWrite"); }).empty());
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_FALSE(lampOn("ledPasswordProtected"));
}

TEST_F(PasswordProtection, MenuEntryReadsTheProtectionBackWhenTheDialogCloses) {
    connectTo("gas_insertion");
    ui.queueDialog([](QDialog& form) {
        child<QCheckBox>(form, "chkPasswordProtection")->setChecked(true);
        type(form, "txtPassword", "AB12");
        type(form, "txtPasswordVerification", "AB12");
        click(form, "btnWrite");
        click(form, "btnCancel");
    });
    EXPECT_EQ(sentDuring([&] { child<QAction>(*window, "mnuPasswordProtection")->trigger(); }),
              (std::vector<std::string>{"129", "247 01042C72", "129"}));
    EXPECT_TRUE(window->PasswordProtected);
    EXPECT_EQ(ui.busyDepth(), 0);
}

// ---- the prompt ----------------------------------------------------------------

TEST_F(PasswordProtection, PromptIsEmptyEachTimeItOpensAndConfirmedOnlyByOK) {
    connectTo("password_protected");
    app::frmPasswordProtected prompt(window.get());
    EXPECT_EQ(child<QLineEdit>(prompt, "txtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QLineEdit>(prompt, "txtPassword")->maxLength(), 32767);  // no limit of its own
    type(prompt, "txtPassword", "OLD1");
    prompt.show();
    EXPECT_TRUE(text(prompt, "txtPassword").isEmpty());
    prompt.accept();  // not through OK
    EXPECT_FALSE(prompt.Confirmed);
    EXPECT_EQ(prompt.result(), QDialog::Rejected);
    EXPECT_TRUE(sim->meter.requestLog().empty());
}

TEST_F(PasswordProtection, EnteringEditModeOnAProtectedMeterGoesThroughThePrompt) {
    connectTo("password_protected");
    QAction* enterEditMode = child<QAction>(*window, "mnuEnterEditMode");

    ui.queueDialog([](QDialog& prompt) { click(prompt, "btnCancel"); });
    EXPECT_EQ(sentDuring([&] { enterEditMode->trigger(); }), std::vector<std::string>{"129"});
    EXPECT_EQ(boxTexts(), QStringList{"Incorrect Password"});
    EXPECT_FALSE(window->EditMode);

    // A wrong password reaches the meter, which refuses it; the mode is read back unchanged.
    ui.clear();
    ui.queueDialog(answerPrompt("XXXX"));
    EXPECT_EQ(sentDuring([&] { enterEditMode->trigger(); }), (std::vector<std::string>{"129", "247 00618618", "129"}));
    EXPECT_EQ(boxTexts(), QStringList{"Error:  Command 247 reports reponse code 16: Access restricted"});
    EXPECT_FALSE(window->EditMode);

    ui.clear();
    ui.queueDialog(answerPrompt("CVN1"));
    EXPECT_EQ(sentDuring([&] { enterEditMode->trigger(); }), (std::vector<std::string>{"129", "247 000D63B1", "129"}));
    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_TRUE(window->EditMode);
    EXPECT_TRUE(lampOn("ledEditMode"));
    EXPECT_EQ(window->AccessLevel, 1);
}

}  // namespace
