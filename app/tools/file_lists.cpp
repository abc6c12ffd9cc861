#include "app/tools/file_lists.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <algorithm>

namespace app {

namespace {
const QString kUp = QStringLiteral("..");
}

FileLists::FileLists(QComboBox& drives, QListWidget& directories, QListWidget* files, QLabel* pathLabel,
                     const QString& filePattern, QObject* parent)
    : QObject(parent), drives_(drives), directories_(directories), files_(files), pathLabel_(pathLabel),
      pattern_(filePattern) {
    FillDrives();
    connect(&drives_, &QComboBox::activated, this, &FileLists::driveList_Change);
    connect(&directories_, &QListWidget::itemActivated, this, &FileLists::directoryList_Activated);
    if (files_) connect(files_, &QListWidget::itemDoubleClicked, this, &FileLists::fileActivated);
    if (!setDirectory(QDir::currentPath())) setDirectory(QDir::rootPath());
}

void FileLists::FillDrives() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) roots << volume.rootPath();
    if (!roots.contains(QDir::rootPath())) roots << QDir::rootPath();
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    drives_.clear();
    drives_.addItems(roots);
}

int FileLists::DriveIndexOf(const QString& path) const {
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < drives_.count(); ++i) {
        const QString root = drives_.itemText(i);
        const bool holds = path == root || path.startsWith(root.endsWith('/') ? root : root + '/');
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

bool FileLists::setDirectory(const QString& path) {
    const QDir dir(path);
    if (!dir.exists() || !dir.isReadable()) return false;
    directory_ = QDir::cleanPath(dir.absolutePath());

    const QSignalBlocker quiet(drives_);
    drives_.setCurrentIndex(DriveIndexOf(directory_));

    directories_.clear();
    if (!dir.isRoot()) directories_.addItem(kUp);
    directories_.addItems(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    if (pathLabel_) pathLabel_->setText(directory_);
    FillFiles();
    return true;
}

void FileLists::driveList_Change() {
    // A drive that cannot be read keeps the lists where they were.
    if (!setDirectory(drives_.currentText())) setDirectory(directory_);
}

void FileLists::directoryList_Activated(QListWidgetItem* item) {
    if (!item) return;
    const QString target = item->text() == kUp ? QDir(directory_).absoluteFilePath(kUp)
                                               : QDir(directory_).absoluteFilePath(item->text());
    setDirectory(target);
}

void FileLists::FillFiles() {
    if (!files_) return;
    files_->clear();
    // Patterns match without regard to case, as on the meter's home platform.
    files_->addItems(QDir(directory_).entryList({pattern_}, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

QString FileLists::selectedFile() const {
    if (!files_) return {};
    const QList<QListWidgetItem*> chosen = files_->selectedItems();
    return chosen.isEmpty() ? QString() : chosen.first()->text();
}

}  // namespace app
