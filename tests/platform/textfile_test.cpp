#include "platform/textfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/file_size_limit.h"

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(WriteTextFileWhole, WritesLatin1LinesWithCrLfAndReplacesAnOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.txt");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older and much longer report that must not survive\r\n");
    }
    QString why;
    ASSERT_TRUE(platform::WriteTextFileWhole(path, {"Pipe ID: 1.94", "", QString::fromUtf8("T: 5 \u00b0F \u2126")}, &why))
        << why.toStdString();
    EXPECT_EQ(contents(path), QByteArray("Pipe ID: 1.94\r\n\r\nT: 5 \xb0" "F ?\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.txt"});  // no temporary left behind
}

TEST(WriteTextFileWhole, AFailedWriteSaysWhyAndLeavesNoFile) {
    QTemporaryDir dir;
    QString why;
    EXPECT_FALSE(platform::WriteTextFileWhole(dir.filePath("missing/report.txt"), {"x"}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/report.txt")));

    // A directory in the file's place stays a directory, and nothing lands beside it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.txt"));
    why.clear();
    EXPECT_FALSE(platform::WriteTextFileWhole(dir.filePath("taken.txt"), {"x"}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.txt")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{});
}

// A disk that fills up during a small write (one the final flush makes): the
// earlier file stays whole, and no cut-short file takes its place.
TEST(WriteTextFileWhole, AFullDiskLeavesTheEarlierFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("report.txt");
    ASSERT_TRUE(platform::WriteTextFileWhole(path, {"the good report"}));
    QString why;
    {
        const testsupport::FileSizeLimit full(10);
        EXPECT_FALSE(platform::WriteTextFileWhole(path, {"a longer report than the disk can hold"}, &why));
    }
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(contents(path), QByteArray("the good report\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.txt"});
}

// A pipe (or device) chosen as the file is written into and stays what it was.
TEST(WriteTextFileWhole, APipeIsWrittenIntoNotReplaced) {
    QTemporaryDir dir;
    const QString path = dir.filePath("pipe.txt");
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(mkfifo(native.constData(), 0600), 0);
    const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    QString why;
    EXPECT_TRUE(platform::WriteTextFileWhole(path, {"line"}, &why)) << why.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(native.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    char received[16] = {};
    EXPECT_EQ(::read(reader, received, sizeof received), 6);
    EXPECT_EQ(QByteArray(received), QByteArray("line\r\n"));
    ::close(reader);
}

}  // namespace
