// Log files, frame files and printouts of the bus monitor: header, time
// stamps, wrapping, pagination, and files that cannot be created.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/monitor/output_files.h"
#include "link/monitor/page_layout.h"
#include "tests/support/file_size_limit.h"

namespace {

using namespace fenwire::busview;

std::tm MondayAfternoon() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_wday = 1;
    t.tm_hour = 12;
    t.tm_min = 51;
    t.tm_sec = 7;
    return t;
}

const std::string kTen(10, ' ');
const std::string kSix(6, ' ');

std::string FileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
    return f.readAll().toStdString();
}

TEST(PageLayout, HeaderAndTimeStampAreFixedEnglish) {
    EXPECT_EQ(HeaderLine(MondayAfternoon()), "          Busview: Monday, 07.Dec.2026 / 12:51:07");
    EXPECT_EQ(TimeOfDay(MondayAfternoon()), "12:51:07");
}

TEST(PageLayout, WrappingCases) {
    const std::string a70(70, 'A');
    EXPECT_EQ(WrapLine(a70), (std::vector<std::string>{std::string(50, 'A'), kSix + std::string(20, 'A')}));
    const std::string a62(62, 'B');
    EXPECT_EQ(WrapLine(a62), std::vector<std::string>{a62});
    EXPECT_EQ(WrapLine(std::string(64, 'C')).size(), 1u);
    EXPECT_EQ(WrapLine(std::string(65, 'C')).size(), 2u);

    // A separator within 11 characters after the 50th ends the first piece, included.
    std::string piped = std::string(55, 'D') + "|" + std::string(14, 'E');
    EXPECT_EQ(WrapLine(piped), (std::vector<std::string>{std::string(55, 'D') + "|", kSix + std::string(14, 'E')}));
    // The earliest of blank, "|" and "/" counts; one 11 characters on does not.
    std::string mixed = std::string(50, 'F') + "ab/c d|" + std::string(20, 'G');
    EXPECT_EQ(WrapLine(mixed)[0], std::string(50, 'F') + "ab/");
    std::string far = std::string(61, 'H') + "|" + std::string(10, 'I');
    EXPECT_EQ(WrapLine(far)[0], std::string(50, 'H'));

    // Long lines go on in continuation pieces of 50 until the rest fits.
    const auto pieces = WrapLine(std::string(150, 'J'));
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1], kSix + std::string(50, 'J'));
    EXPECT_EQ(pieces[2], kSix + std::string(50, 'J'));
    EXPECT_TRUE(WrapLine("").empty());
}

TEST(PageLayout, LinesSplitAtBreaksAndEmptyOnesVanish) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(LayoutLines("x\r\n\r\ny\r\n"), (std::vector<std::string>{kTen + "x", kTen + "y"}));
}

TEST(PageLayout, LogEntryStampsTheFrameLine) {
    const std::string frameLine = "00001>STX|00|2:Read PV\r\n  reply comment\r\n";
    EXPECT_EQ(LogEntry(frameLine, MondayAfternoon()),
              kTen + "12:51:07\r\n" + kTen + "00001>STX|00|2:Read PV\r\n" + kTen + "  reply comment\r\n");
}

TEST(PageLayout, PrintoutOf120LinesIs58And58And4) {
    std::string text;
    for (int i = 0; i < 120; ++i) text += "line " + std::to_string(i) + "\r\n";
    const auto pages = PaginateForPrint(text, MondayAfternoon());
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].lines.size(), 58u);
    EXPECT_EQ(pages[1].lines.size(), 58u);
    EXPECT_EQ(pages[2].lines.size(), 4u);
    EXPECT_EQ(pages[2].header, HeaderLine(MondayAfternoon()) + ", Page 3");
    EXPECT_EQ(pages[1].lines.front(), kTen + "line 58");
    EXPECT_EQ(pages[2].lines.back(), kTen + "line 119");

    std::string exact;
    for (int i = 0; i < 116; ++i) exact += "x\r";
    EXPECT_EQ(PaginateForPrint(exact, MondayAfternoon()).size(), 2u);
    // Wrapped pieces count as lines of their own.
    EXPECT_EQ(PaginateForPrint(std::string(70, 'W'), MondayAfternoon())[0].lines.size(), 2u);
}

class OutputFiles : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(OutputFiles, LogFileHeaderThenStampedLines) {
    LogFile log;
    ASSERT_TRUE(log.open(path("trace.flg").toStdString(), MondayAfternoon()));
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(log.name(), "trace.flg");
    log.append("00000>first\r\n", MondayAfternoon());
    log.append(std::string(70, 'Z') + "\r\n", MondayAfternoon());
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.name(), "");
    log.append("after close\r\n", MondayAfternoon());  // ignored
    EXPECT_EQ(FileBytes(path("trace.flg")),
              HeaderLine(MondayAfternoon()) + "\r\n\r\n" +                      //
                  kTen + "12:51:07\r\n" + kTen + "00000>first\r\n" +           //
                  kTen + "12:51:07\r\n" + kTen + std::string(50, 'Z') + "\r\n" +  //
                  kTen + kSix + std::string(20, 'Z') + "\r\n");
}

TEST_F(OutputFiles, ReopeningTruncatesAndFailureLeavesNothingOpen) {
    LogFile log;
    ASSERT_TRUE(log.open(path("a.flg").toStdString(), MondayAfternoon()));
    log.append("one\r\n", MondayAfternoon());
    ASSERT_TRUE(log.open(path("a.flg").toStdString(), MondayAfternoon()));
    log.close();
    EXPECT_EQ(FileBytes(path("a.flg")), HeaderLine(MondayAfternoon()) + "\r\n\r\n");

    ASSERT_TRUE(log.open(path("b.flg").toStdString(), MondayAfternoon()));
    EXPECT_FALSE(log.open(path("missing/c.flg").toStdString(), MondayAfternoon()));
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.path(), "");
    // A cancelled save dialog leaves its pattern as the name: no file of that name appears.
    EXPECT_FALSE(log.open(path("*.flg").toStdString(), MondayAfternoon()));
    EXPECT_FALSE(QFile::exists(path("*.flg")));
    EXPECT_EQ(CouldNotOpenMessage("*.flg"), "File *.flg could not be opened!");
}

TEST_F(OutputFiles, FrameFileHoldsHeaderAndWrappedSelection) {
    ASSERT_TRUE(WriteFrameFile(path("sel.bvf").toStdString(), "first\r\nsecond", MondayAfternoon()));
    EXPECT_EQ(FileBytes(path("sel.bvf")),
              HeaderLine(MondayAfternoon()) + "\r\n\r\n" + kTen + "first\r\n" + kTen + "second\r\n");
    EXPECT_FALSE(WriteFrameFile(path("no/such/dir.bvf").toStdString(), "x", MondayAfternoon()));
    EXPECT_FALSE(WriteFrameFile(path("*.bvf").toStdString(), "x", MondayAfternoon()));
    EXPECT_FALSE(QFile::exists(path("*.bvf")));
}

TEST_F(OutputFiles, LogThatCannotTakeItsHeaderLeavesTheEarlierLog) {
    LogFile log;
    ASSERT_TRUE(log.open(path("kept.flg").toStdString(), MondayAfternoon()));
    log.append("earlier frame\r\n", MondayAfternoon());
    log.close();
    const std::string earlier = FileBytes(path("kept.flg"));
    {
        const testsupport::FileSizeLimit full(10);
        EXPECT_FALSE(log.open(path("kept.flg").toStdString(), MondayAfternoon()));
    }
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(FileBytes(path("kept.flg")), earlier);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"kept.flg"});
}

TEST_F(OutputFiles, LogLineThatDoesNotReachTheFileIsReported) {
    LogFile log;
    ASSERT_TRUE(log.open(path("full.flg").toStdString(), MondayAfternoon()));
    EXPECT_TRUE(log.append("fits\r\n", MondayAfternoon()));
    {
        const testsupport::FileSizeLimit full(200);
        EXPECT_FALSE(log.append(std::string(300, 'x') + "\r\n", MondayAfternoon()));
    }
    log.close();
    EXPECT_TRUE(log.append("closed\r\n", MondayAfternoon()));  // nothing asked, nothing failed
    EXPECT_EQ(CouldNotWriteMessage("full.flg"), "File full.flg could not be written!");
}

TEST_F(OutputFiles, FrameFileThatCannotBeWrittenWholeLeavesTheOldOne) {
    const std::string target = path("kept.bvf").toStdString();
    ASSERT_TRUE(WriteFrameFile(target, "good", MondayAfternoon()));
    const std::string good = FileBytes(path("kept.bvf"));
    {
        const testsupport::FileSizeLimit full(4096);
        EXPECT_FALSE(WriteFrameFile(target, std::string(100000, 'x'), MondayAfternoon()));
    }
    EXPECT_EQ(FileBytes(path("kept.bvf")), good);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"kept.bvf"});
    // A folder of that name is not a file to write.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.bvf"));
    EXPECT_FALSE(WriteFrameFile(path("folder.bvf").toStdString(), "x", MondayAfternoon()));
}

}  // namespace

#include <QFontDatabase>
#include <QPdfWriter>
#include <QRegularExpression>

#include "link/monitor/busview_print.h"

namespace {

TEST(Printing, PagesOnAPagedDevice) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("busview.pdf");
    std::string text;
    for (int i = 0; i < 120; ++i) text += "line " + std::to_string(i) + "\r\n";
    {
        QPdfWriter writer(pdf);
        EXPECT_EQ(fenwire::busview::PaintPages(writer, fenwire::busview::PaginateForPrint(text, MondayAfternoon())), 3);
    }
    const QByteArray bytes = [&] {
        QFile f(pdf);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_EQ(bytes.count("/Type /Page\n"), 3) << "pages in the PDF";
}

// Printed columns line up as on the screen: every font the printout embeds
// is one of fixed pitch.
TEST(Printing, PagesAreInAFixedPitchFont) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("columns.pdf");
    {
        QPdfWriter writer(pdf);
        ASSERT_EQ(fenwire::busview::PaintPages(
                      writer, fenwire::busview::PaginateForPrint("00143>ACK<P|86|A6 0C\r\n00020>STX>P|82|iiii\r\n",
                                                                 MondayAfternoon())),
                  1);
    }
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString bytes = QString::fromLatin1(file.readAll());
    // "/BaseFont /ABCDEF+DejaVuSansMono": a subset tag, then the family without blanks.
    const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/(?:[A-Z]{6}\\+)?([^\\s/<>\\[\\]()-]+)"));
    QStringList embedded;
    for (auto it = baseFont.globalMatch(bytes); it.hasNext();) embedded << it.next().captured(1);
    ASSERT_FALSE(embedded.isEmpty()) << "no font in the PDF";
    for (const QString& name : embedded) {
        bool fixed = false;
        for (const QString& family : QFontDatabase::families())
            if (QString(family).remove(u' ') == name) fixed = QFontDatabase::isFixedPitch(family);
        EXPECT_TRUE(fixed) << name.toStdString();
    }
}

TEST(Printing, SelectionTextKeepsItsLineBreaks) {
    const QString selection = QString("a") + QChar(QChar::ParagraphSeparator) + "b";
    EXPECT_EQ(fenwire::busview::OutputText(selection), "a\r\nb");
}

}  // namespace
