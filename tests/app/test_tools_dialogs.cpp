// The file dialogs of the property tables and the utility's About box.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include "app/tools/file_dialogs.h"
#include "app/tools/frmAbout.h"
#include "tests/app/test_forms_fixture.h"

namespace {

using namespace formstest;

class ToolDialogsTest : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"gas.csv", "LIQUID.CSV", "notes.txt", "csv"}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("tables")));
    }
    static QStringList entries(const QListWidget& list) {
        QStringList out;
        for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
        return out;
    }
    QTemporaryDir dir;
};

TEST_F(ToolDialogsTest, BrowseListsTableFilesAndWalksDirectories) {
    app::frmBrowse browse;
    EXPECT_EQ(browse.windowTitle(), "  Browse for file");
    ASSERT_TRUE(browse.setDirectory(dir.path()));
    auto* files = child<QListWidget>(browse, "fileList");
    auto* directories = child<QListWidget>(browse, "directoryList");
    EXPECT_EQ(entries(*files), (QStringList{"gas.csv", "LIQUID.CSV"}));
    EXPECT_EQ(entries(*directories), (QStringList{"..", "tables"}));
    // The drive list shows the mount point that holds the directory.
    EXPECT_TRUE(dir.path().startsWith(child<QComboBox>(browse, "driveList")->currentText()));

    emit directories->itemActivated(directories->item(1));
    EXPECT_EQ(browse.directory(), QDir(dir.path()).filePath("tables"));
    EXPECT_TRUE(entries(*files).isEmpty());
    emit directories->itemActivated(directories->item(0));
    EXPECT_EQ(browse.directory(), QDir::cleanPath(dir.path()));
    EXPECT_FALSE(browse.setDirectory(dir.filePath("missing")));
    EXPECT_EQ(browse.directory(), QDir::cleanPath(dir.path()));
}

TEST_F(ToolDialogsTest, BrowseWantsAFileBeforeOK) {
    app::frmBrowse browse;
    ASSERT_TRUE(browse.setDirectory(dir.path()));
    click(browse, "OKButton");
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Please select a file.");
    EXPECT_EQ(ui.messageBoxes()[0].title, "Error");
    EXPECT_EQ(ui.messageBoxes()[0].buttons, platform::vbOKOnly);
    EXPECT_FALSE(browse.AcceptedFlag);

    auto* files = child<QListWidget>(browse, "fileList");
    files->item(1)->setSelected(true);
    click(browse, "OKButton");
    EXPECT_TRUE(browse.AcceptedFlag);
    EXPECT_EQ(browse.result(), QDialog::Accepted);
    EXPECT_EQ(app::PathIn(browse.directory(), browse.selectedFile()), dir.filePath("LIQUID.CSV"));

    click(browse, "CancelButton");
    EXPECT_FALSE(browse.AcceptedFlag);

    // Double-clicking a file acts as OK.
    browse.AcceptedFlag = false;
    files->item(0)->setSelected(true);
    emit files->itemDoubleClicked(files->item(0));
    EXPECT_TRUE(browse.AcceptedFlag);
    EXPECT_EQ(browse.selectedFile(), "gas.csv");
}

TEST_F(ToolDialogsTest, SaveWantsANameAndTakesItAsTyped) {
    app::frmBrowseSave save;
    EXPECT_EQ(save.windowTitle(), "  Save Table As");
    ASSERT_TRUE(save.setDirectory(dir.path()));
    click(save, "OKButton");
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Please enter a filename");
    EXPECT_EQ(ui.messageBoxes()[0].title, "Error");
    EXPECT_FALSE(save.AcceptedFlag);
    type(save, "txtFilename", " ");
    click(save, "OKButton");
    EXPECT_TRUE(save.AcceptedFlag);
    EXPECT_EQ(save.fileName(), " ");
    EXPECT_EQ(save.directory(), QDir::cleanPath(dir.path()));
    click(save, "CancelButton");
    EXPECT_FALSE(save.AcceptedFlag);
}

TEST_F(ToolDialogsTest, AboutBoxFromTheMenu) {
    connectTo("liquid_wafer");
    QAction* about = child<QAction>(*window, "mnuAbout");
    ASSERT_TRUE(about->isEnabled());
    ui.queueDialog([](QDialog& box) {
        EXPECT_EQ(box.objectName(), "frmAbout");
        EXPECT_EQ(box.windowTitle(), "About " + kTitle);
        EXPECT_EQ(text(box, "lblVersion"), "Version 1.0.0");
        click(box, "cmdSysInfo");
        click(box, "cmdOK");
    });
    about->trigger();
    ASSERT_EQ(ui.dialogs().size(), 1u);
    EXPECT_EQ(ui.dialogs()[0].result, QDialog::Accepted);
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "System Information Is Unavailable At This Time");
}

}  // namespace
