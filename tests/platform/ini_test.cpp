#include "platform/ini.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>

#include "tests/support/file_size_limit.h"

namespace {

using namespace platform::ini;

class IniFileTest : public ::testing::Test {
protected:
    QString path(const QString& name = "busvw.ini") const { return dir_.filePath(name); }
    void put(const QByteArray& content, const QString& name = "busvw.ini") const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray contents(const QString& name = "busvw.ini") const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
};

// A file as another program writes it: CR LF, odd spacing, comments.
const QByteArray kCrLfFile =
    "; Busview settings\r\n"
    "[Settings]\r\n"
    "Decimal = 0\r\n"
    "CmdList=1,2, 3 ,\r\n"
    "LastSaveDir=  C:\\logs\\hart\\  \r\n"
    "DoCmd=\"0 1\", 'x'\r\n"
    "Expr=a=b\r\n"
    ";NoTiming=0\r\n"
    "Decimal=7\r\n"
    "\r\n"
    "[Commands]\r\n"
    "Cmd000s=Read Unique Identifier\r\n";

TEST_F(IniFileTest, ReadsRawValuesWithNamesInAnyCase) {
    put(kCrLfFile);
    EXPECT_EQ(readString(path(), "SETTINGS", "cmdlist"), "1,2, 3 ,");
    EXPECT_EQ(readString(path(), "settings", "LASTSAVEDIR"), "C:\\logs\\hart\\");
    EXPECT_EQ(readString(path(), "Settings", "DoCmd"), "\"0 1\", 'x'");
    EXPECT_EQ(readString(path(), "Settings", "Expr"), "a=b");
    EXPECT_EQ(readString(path(), "commands", "CMD000S"), "Read Unique Identifier");
    // The first of two equal keys counts; a commented key is no key.
    EXPECT_EQ(readInt(path(), "Settings", "Decimal", 1), 0);
    EXPECT_EQ(readInt(path(), "Settings", "NoTiming", 1), 1);
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(readString(path("none.ini"), "Settings", "CmdList", "dflt"), "dflt");
    EXPECT_EQ(readInt(path("none.ini"), "Settings", "NoPreambles", 1), 1);
    put(kCrLfFile);
    EXPECT_EQ(readString(path(), "Other", "CmdList", "x"), "x");
    EXPECT_EQ(readString(path(), "Settings", "White"), "");
    EXPECT_EQ(readInt(path(), "Settings", "White", 0), 0);
    // Keys before the first section belong to none.
    put("Orphan=1\n[Settings]\n");
    EXPECT_EQ(readInt(path(), "Settings", "Orphan", 5), 5);
}

TEST_F(IniFileTest, ReadingHonoursTheBufferSize) {
    const QString longValue(600, 'x');
    put("[Settings]\nCmdList=" + longValue.toUtf8() + "\n");
    EXPECT_EQ(readString(path(), "Settings", "CmdList").size(), 499);
    EXPECT_EQ(readString(path(), "Settings", "CmdList", "", 10), "xxxxxxxxx");
    EXPECT_EQ(readString(path(), "Settings", "CmdList", "", 0), "");
    EXPECT_EQ(readString(path(), "Settings", "Missing", "default", 4), "def");
}

TEST_F(IniFileTest, ReadsTheLeadingNumber) {
    put("[S]\na=12abc\nb=-7\nc=0x1F\nd=abc\ne=\nf=99999999999\ng=-99999999999\nh=+3\n");
    EXPECT_EQ(readInt(path(), "S", "a", 5), 12);
    EXPECT_EQ(readInt(path(), "S", "b", 5), -7);
    EXPECT_EQ(readInt(path(), "S", "c", 5), 31);
    EXPECT_EQ(readInt(path(), "S", "d", 5), 5);
    EXPECT_EQ(readInt(path(), "S", "e", 5), 5);
    EXPECT_EQ(readInt(path(), "S", "f", 5), INT_MAX);
    EXPECT_EQ(readInt(path(), "S", "g", 5), INT_MIN);
    EXPECT_EQ(readInt(path(), "S", "h", 5), 3);
}

TEST_F(IniFileTest, WritingOneKeyKeepsEveryOtherLine) {
    put(kCrLfFile);
    ASSERT_TRUE(writeString(path(), "settings", "CMDLIST", "0,3,48"));
    ASSERT_TRUE(writeString(path(), "Settings", "White", "1"));
    ASSERT_TRUE(writeString(path(), "Trigger", "StopOnTrigger", "1"));
    EXPECT_EQ(contents(),
              "; Busview settings\r\n"
              "[Settings]\r\n"
              "Decimal = 0\r\n"
              "CmdList=0,3,48\r\n"
              "LastSaveDir=  C:\\logs\\hart\\  \r\n"
              "DoCmd=\"0 1\", 'x'\r\n"
              "Expr=a=b\r\n"
              ";NoTiming=0\r\n"
              "Decimal=7\r\n"
              "White=1\r\n"
              "\r\n"
              "[Commands]\r\n"
              "Cmd000s=Read Unique Identifier\r\n"
              "[Trigger]\r\n"
              "StopOnTrigger=1\r\n");
}

TEST_F(IniFileTest, WritingCreatesTheFileAndReadsBack) {
    ASSERT_TRUE(writeString(path("new.ini"), "Settings", "LastSaveDir", "/home/me/logs, old\\"));
    ASSERT_TRUE(writeString(path("new.ini"), "Settings", "Decimal", "1"));
    EXPECT_EQ(contents("new.ini"), "[Settings]\nLastSaveDir=/home/me/logs, old\\\nDecimal=1\n");
    EXPECT_EQ(readString(path("new.ini"), "Settings", "LastSaveDir"), "/home/me/logs, old\\");
}

TEST_F(IniFileTest, AppendsAfterALastLineWithoutLineEnd) {
    put("[Settings]\nDecimal=1");
    ASSERT_TRUE(writeString(path(), "Settings", "White", "0"));
    EXPECT_EQ(contents(), "[Settings]\nDecimal=1\nWhite=0\n");
}

TEST_F(IniFileTest, RefusesTextThatWouldBreakTheFile) {
    put(kCrLfFile);
    EXPECT_FALSE(writeString(path(), "Settings", "DoCmd", "1\r\n[Injected]\r\nx=1"));
    EXPECT_FALSE(writeString(path(), "Settings", "a=b", "1"));
    EXPECT_FALSE(writeString(path(), "Settings", "[x", "1"));
    EXPECT_FALSE(writeString(path(), "Set]tings", "x", "1"));
    EXPECT_FALSE(writeString(path(), "Settings", "", "1"));
    EXPECT_EQ(contents(), kCrLfFile);
}

TEST_F(IniFileTest, KeepsNonAsciiTextAndAByteOrderMark) {
    put("\xEF\xBB\xBF[Settings]\nLastSaveDir=/home/j\xC3\xBCrgen\n");
    EXPECT_EQ(readString(path(), "Settings", "LastSaveDir"), QString::fromUtf8("/home/j\xC3\xBCrgen"));
    ASSERT_TRUE(writeString(path(), "Settings", "Decimal", "0"));
    EXPECT_EQ(contents(), "\xEF\xBB\xBF[Settings]\nLastSaveDir=/home/j\xC3\xBCrgen\nDecimal=0\n");
    // A file in a single-byte code page still reads.
    put("[Settings]\nLastSaveDir=C:\\J\xFCrgen\n", "latin.ini");
    EXPECT_EQ(readString(path("latin.ini"), "Settings", "LastSaveDir"), QString::fromUtf8("C:\\J\xC3\xBCrgen"));
}

// Lines decode one by one: a value written to a line in a single-byte code
// page is written in that code page, and one that would not read back as
// written is refused, leaving the line as it was.
TEST_F(IniFileTest, WritesAValueInTheCodePageOfItsLine) {
    put("[Settings]\nTemp\xE9rature=20\n", "latin.ini");
    const QString key = QString::fromUtf8("Temp\xC3\xA9rature");
    ASSERT_TRUE(writeString(path("latin.ini"), "Settings", key, QString::fromUtf8("25 \xC2\xB0" "C")));
    EXPECT_EQ(contents("latin.ini"), "[Settings]\nTemp\xE9rature=25 \xB0" "C\n");
    EXPECT_EQ(readString(path("latin.ini"), "Settings", key), QString::fromUtf8("25 \xC2\xB0" "C"));
    EXPECT_FALSE(writeString(path("latin.ini"), "Settings", key, QString::fromUtf8("\xE2\x82\xAC")));
    EXPECT_EQ(contents("latin.ini"), "[Settings]\nTemp\xE9rature=25 \xB0" "C\n");

    // The key's bytes alone are valid UTF-8: with an ASCII value the line
    // would read as another key.
    auto doc = Document::parse("[A]\nW\xEF\xBB\xBFx=\xDF\n");
    const QString latinKey = doc.keys("A").value(0);
    EXPECT_FALSE(doc.setValue("A", latinKey, "1"));
    EXPECT_EQ(doc.value("A", latinKey), QString::fromLatin1("\xDF"));
}

TEST_F(IniFileTest, RemovesASectionOrKeyAndNothingElse) {
    put(kCrLfFile);
    ASSERT_TRUE(removeKey(path(), "SETTINGS", "expr"));
    ASSERT_TRUE(removeSection(path(), "commands"));
    EXPECT_EQ(contents(),
              "; Busview settings\r\n"
              "[Settings]\r\n"
              "Decimal = 0\r\n"
              "CmdList=1,2, 3 ,\r\n"
              "LastSaveDir=  C:\\logs\\hart\\  \r\n"
              "DoCmd=\"0 1\", 'x'\r\n"
              ";NoTiming=0\r\n"
              "Decimal=7\r\n"
              "\r\n");
    EXPECT_TRUE(removeSection(path("none.ini"), "Settings"));
    EXPECT_FALSE(QFile::exists(path("none.ini")));
}

TEST_F(IniFileTest, AFullDiskLeavesTheFileAsItWas) {
    put("[Settings]\r\nDecimal=1\r\n");
    {
        const testsupport::FileSizeLimit full(16);
        EXPECT_FALSE(writeString(path(), "Settings", "LastSaveDir", "/a/folder/longer/than/the/disk/allows"));
    }
    EXPECT_EQ(contents(), "[Settings]\r\nDecimal=1\r\n");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"busvw.ini"});
}

TEST_F(IniFileTest, DoesNotReplaceAPathItCannotRead) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("busvw.ini"));
    EXPECT_FALSE(writeString(path(), "Settings", "Decimal", "1"));
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST(IniDocument, ListsSectionsAndKeys) {
    const auto doc = Document::parse("[A]\nx=1\n; y=2\nz = 3\n[B]\n[a]\nw=4\n");
    EXPECT_EQ(doc.sections(), QStringList({"A", "B", "a"}));
    EXPECT_EQ(doc.keys("a"), QStringList({"x", "z"}));  // the first of two equal sections
    EXPECT_EQ(doc.keys("B"), QStringList());
}

}  // namespace
