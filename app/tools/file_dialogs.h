// The property-table file dialogs. Their caller shows one modally, then
// reads its accepted flag and the chosen names. They are hidden, not
// deleted, when they close, so the caller can still read them.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmBrowse;
class frmBrowseSave;
}  // namespace Ui

namespace app {

class FileLists;

// Picks an existing table file ("*.csv") for import.
class frmBrowse : public QDialog {
    Q_OBJECT
public:
    explicit frmBrowse(QWidget* parent = nullptr);
    ~frmBrowse() override;

    // Set by OK, cleared by Cancel; the caller clears it before showing.
    bool AcceptedFlag = false;
    // The current entry of the directory list (absolute path).
    QString directory() const;
    // The selected entry of the file list, or empty.
    QString selectedFile() const;
    // Moves the lists to `path`; false when it is no readable directory.
    bool setDirectory(const QString& path);

private:
    void OKButton_Click();
    void CancelButton_Click();

    std::unique_ptr<Ui::frmBrowse> ui;
    FileLists* lists_ = nullptr;
};

// Picks a directory and a base name for an exported table file.
class frmBrowseSave : public QDialog {
    Q_OBJECT
public:
    explicit frmBrowseSave(QWidget* parent = nullptr);
    ~frmBrowseSave() override;

    bool AcceptedFlag = false;
    QString directory() const;
    // The typed base name, as typed (the caller appends the extension).
    QString fileName() const;
    bool setDirectory(const QString& path);

private:
    void OKButton_Click();
    void CancelButton_Click();

    std::unique_ptr<Ui::frmBrowseSave> ui;
    FileLists* lists_ = nullptr;
};

// The path a dialog's directory and a file name make.
QString PathIn(const QString& directory, const QString& file);

}  // namespace app
