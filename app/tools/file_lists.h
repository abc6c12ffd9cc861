// The drive, directory and file lists of the file dialogs over the Linux file
// system. "Drives" are the file-system roots and mount points; the directory
// list shows the way up ("..") and the subdirectories of its current path; the
// file list shows the files of a directory that match a pattern. Lists are
// read when the path changes, so they show what is on disk at once.
#pragma once

#include <QObject>
#include <QString>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace app {

class FileLists : public QObject {
    Q_OBJECT
public:
    // `files` may be null (the save dialog has no file list); `pathLabel`
    // shows the directory list's current path and may be null.
    FileLists(QComboBox& drives, QListWidget& directories, QListWidget* files, QLabel* pathLabel,
              const QString& filePattern, QObject* parent);

    // The directory list's current entry: an absolute path.
    QString directory() const { return directory_; }
    // Moves the directory list (and the file list) to `path`; the drive list
    // follows. A path that is no readable directory changes nothing.
    bool setDirectory(const QString& path);
    // The selected entry of the file list, or empty.
    QString selectedFile() const;

signals:
    // A file was double-clicked.
    void fileActivated();

private:
    void FillDrives();
    void driveList_Change();
    void directoryList_Activated(QListWidgetItem* item);
    void FillFiles();
    // The drive (mount point) holding `path`: the longest matching root.
    int DriveIndexOf(const QString& path) const;

    QComboBox& drives_;
    QListWidget& directories_;
    QListWidget* files_;
    QLabel* pathLabel_;
    QString pattern_;
    QString directory_;
};

}  // namespace app
