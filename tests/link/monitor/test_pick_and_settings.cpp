// Selection decoding (the Pick menu) and the monitor's settings files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/driver/codec.h"
#include "link/monitor/busview_settings.h"
#include "link/monitor/pick.h"
#include "platform/ini.h"

namespace {

using namespace fenwire;

constexpr char kNotProcessed[] = "It was not possible to process the selection !";

TEST(Pick, SelectionBytesAcceptOnlyUpperCaseHexPairs) {
    EXPECT_EQ(SelectionBytes("02 0A FF"), (std::vector<uint8_t>{0x02, 0x0A, 0xFF}));
    EXPECT_EQ(SelectionBytes("  7F  "), (std::vector<uint8_t>{0x7F}));
    EXPECT_TRUE(SelectionBytes("02 0a").empty());     // lower case
    EXPECT_TRUE(SelectionBytes("02 0A F").empty());   // length 7
    EXPECT_TRUE(SelectionBytes("020A").empty());      // 4 characters
    EXPECT_TRUE(SelectionBytes("02,0A").empty());     // not a blank between bytes
    EXPECT_TRUE(SelectionBytes("A").empty());
    EXPECT_TRUE(SelectionBytes("").empty());
    std::string longest;
    for (int i = 0; i < 33; ++i) longest += i ? " 41" : "41";
    EXPECT_EQ(longest.size(), 98u);
    EXPECT_EQ(SelectionBytes(longest).size(), 33u);
    EXPECT_TRUE(SelectionBytes(std::string(101, 'A')).empty());
    EXPECT_TRUE(SelectionBytes(longest + " 41").empty());  // 101 characters
}

TEST(Pick, EveryItemDecodesItsGroups) {
    struct Case {
        PickItem item;
        const char* selection;
        bool lsb;
        std::string title;
        std::string values;
    };
    const std::vector<Case> cases = {
        {PickItem::Int8, "02 0A FF", false, "Integer 8", "002, 010, 255"},
        {PickItem::Bin8, "0A 81", false, "Binary 8", "00001010, 10000001"},
        {PickItem::Unit, "20", false, "Hart Unit", wendrel::GetHartUnit(0x20)},
        {PickItem::Float, "41 48 00 00 3F 80 00 00 00", false, "Float as IEEE 754", "12.5, 1"},
        {PickItem::Float, "41 48 00 00", true, "Float as IEEE 754", "12.5"},  // always MSB first
        {PickItem::PackedAscii, "20 14 94", false, "Packed ASCII String", "HART"},
        {PickItem::String, "48 41 52 54", false, "Character String", "HART"},
        {PickItem::Int16, "02 0A FF", false, "Integer 16", "522"},
        {PickItem::Int16, "02 0A", true, "Integer 16", "2562"},
        {PickItem::Int16, "00 05", false, "Integer 16", "005"},
        {PickItem::Int24, "01 00 00 00 00 02", false, "Integer 24", "65536, 002"},
        {PickItem::Int24, "01 00 00", true, "Integer 24", "001"},
        {PickItem::Int32, "FF FF FF FF", false, "Integer 32", "4294967295"},
        {PickItem::Int32, "01 00 00 00", true, "Integer 32", "001"},
        {PickItem::Hex16, "12 34 56", false, "Hexadecimal 16", "0x1234"},
        {PickItem::Hex16, "12 34", true, "Hexadecimal 16", "0x3412"},
        {PickItem::Hex24, "12 34 56", true, "Hexadecimal 24", "0x563412"},
        {PickItem::Hex32, "12 34 56 78 9A BC DE F0", false, "Hexadecimal 32", "0x12345678, 0x9ABCDEF0"},
    };
    for (const auto& c : cases) {
        const PickMessage m = Pick(c.item, c.selection, c.lsb);
        EXPECT_TRUE(m.decoded) << c.selection;
        EXPECT_EQ(m.title, c.title) << c.selection;
        EXPECT_EQ(m.text, std::string(c.selection) + ":\r\n" + c.values) << c.title;
    }
    EXPECT_EQ(Pick(PickItem::Int8, " 02 0A ", false).text, "02 0A:\r\n002, 010");  // the trimmed selection
}

TEST(Pick, TooFewBytesOrAnUnusableSelectionIsRefused) {
    struct Case {
        PickItem item;
        const char* selection;
        const char* title;
    };
    for (const Case& c : {Case{PickItem::Int8, "02 0a", "Pick Int 8"}, Case{PickItem::Bin8, "", "Binary 8"},
                          Case{PickItem::Float, "41 48 00", "Float as IEEE 754"},
                          Case{PickItem::Int16, "41", "Integer 16"}, Case{PickItem::Int24, "41 42", "Integer 24"},
                          Case{PickItem::Int32, "41 42 43", "Integer 32"}, Case{PickItem::Hex32, "41", "Hexadecimal 32"},
                          Case{PickItem::String, "HART", "Character String"},
                          Case{PickItem::PackedAscii, "4", "Packed ASCII String"}}) {
        const PickMessage m = Pick(c.item, c.selection, false);
        EXPECT_FALSE(m.decoded) << c.selection;
        EXPECT_EQ(m.title, c.title);
        EXPECT_EQ(m.text, kNotProcessed);
    }
}

TEST(BusviewSettingsFile, MissingFileGivesTheDefaults) {
    QTemporaryDir dir;
    const auto files = BusviewFiles::in(dir.path());
    EXPECT_EQ(files.settings, QDir(dir.path()).filePath("busvw.ini"));
    EXPECT_EQ(files.commands, QDir(dir.path()).filePath("Commands.ini"));
    const BusviewSettings s = loadBusviewSettings(files.settings);
    EXPECT_EQ(s.noPreambles, 1);
    EXPECT_EQ(s.noAddress, 1);
    EXPECT_EQ(s.noTiming, 1);
    EXPECT_EQ(s.decimal, 1);
    EXPECT_EQ(s.symbCmd, 1);
    EXPECT_EQ(s.realDat, 1);
    EXPECT_EQ(s.rsp2Bin, 0);
    EXPECT_EQ(s.white, 0);
    EXPECT_EQ(s.filterMode, 0);
    EXPECT_EQ(s.stopOnTrigger, 0);
    EXPECT_EQ(s.cmdList, "");
    EXPECT_EQ(s.keptFrames, 200000);
    const auto texts = loadCommandTexts(files.commands);
    EXPECT_EQ(texts.request[0], "");
    EXPECT_EQ(texts.reply[255], "");
}

TEST(BusviewSettingsFile, SavedKeysReadBackAndOtherLinesStay) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("busvw.ini");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("; kept\r\n[Other]\r\nx=1\r\n[Settings]\r\nWhite=1\r\n");
    }
    BusviewSettings s = loadBusviewSettings(path);
    EXPECT_EQ(s.white, 1);
    s.noTiming = 0;
    s.filterMode = 2;
    s.cmdList = "1, 3,0x80";
    s.trigOnAllErr = 1;
    s.doCmd = "Cmd 0 ; poll";
    ASSERT_TRUE(saveBusviewSettings(path, s));
    const BusviewSettings back = loadBusviewSettings(path);
    EXPECT_EQ(back.noTiming, 0);
    EXPECT_EQ(back.filterMode, 2);
    EXPECT_EQ(back.cmdList, "1, 3,0x80");
    EXPECT_EQ(back.trigOnAllErr, 1);
    EXPECT_EQ(back.doCmd, "Cmd 0 ; poll");
    EXPECT_EQ(platform::ini::readString(path, "Other", "x"), "1");
    EXPECT_EQ(platform::ini::readString(path, "Settings", "NoTiming"), "0");  // decimal text

    s.cmdList = "1\n2";  // cannot stand on one line: saved empty, the file stays whole
    ASSERT_TRUE(saveBusviewSettings(path, s));
    EXPECT_EQ(loadBusviewSettings(path).cmdList, "");
    EXPECT_EQ(loadBusviewSettings(path).filterMode, 2);
}

TEST(BusviewSettingsFile, KeptFramesOutOfRangeAreTakenAtTheNearestEnd) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("busvw.ini");
    const std::pair<const char*, int> cases[] = {
        {"5000", 5000}, {"0", 100}, {"-7", 100}, {"99999999", 2000000}, {"lots", 200000}};  // not a number: the default
    for (const auto& [written, kept] : cases) {
        platform::ini::writeString(path, "Settings", "KeptFrames", written);
        EXPECT_EQ(loadBusviewSettings(path).keptFrames, kept) << written;
    }
}

TEST(BusviewSettingsFile, AFileThatCannotBeReadIsNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "every file is readable to root";
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("busvw.ini");
    const QByteArray content("[Other]\r\nx=1\r\n[Settings]\r\nWhite=1\r\n");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
    EXPECT_FALSE(saveBusviewSettings(path, BusviewSettings{}));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), content);
}

TEST(BusviewSettingsFile, CommandTextsByNumberAndDirection) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("Commands.ini");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[commands]\nCmd000s=Identify\ncmd130S=Read Totalizer\nCmd130r=Totalizer, unit\nCmd255r=Last\n");
    }
    const auto texts = loadCommandTexts(path);
    EXPECT_EQ(texts.request[0], "Identify");
    EXPECT_EQ(texts.request[130], "Read Totalizer");
    EXPECT_EQ(texts.reply[130], "Totalizer, unit");
    EXPECT_EQ(texts.reply[255], "Last");
    EXPECT_EQ(texts.reply[0], "");
}

}  // namespace
