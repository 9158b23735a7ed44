// Text file access: CR LF line ends, open modes, exclusive opening, short
// lines, file size, program folder and time stamps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "files/FileOperation.h"
#include "platform/ExePath.h"
#include "tests/files/TempFolder.h"

using korvo::CFileOperation;
using korvo::testing::ReadBytes;
using korvo::testing::TempFolder;
using korvo::testing::WriteBytes;

namespace {

std::time_t Utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return ::timegm(&t);
}

class FileOperationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.Path().empty()); }
    void TearDown() override { CFileOperation::SetTimeSource({}); }

    std::string File(const char* name) const { return folder.Path() + name; }

    TempFolder folder;
};

TEST_F(FileOperationTest, WriteTextEndsEveryLineInCrLf)
{
    struct Case {
        std::string text;
        std::string bytes;
    } const cases[] = {
        {"a,b\nc,d\n", "a,b\r\nc,d\r\n"},
        {"no line end", "no line end"},
        {"\n\n", "\r\n\r\n"},
        {"", ""},
        {std::string("x\0y\n", 4), std::string("x\0y\r\n", 5)},
        {"\xff\x02%s\n", "\xff\x02%s\r\n"},
    };
    for (const auto& c : cases) {
        CFileOperation file;
        file.SetPath(File("write.txt"));
        ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Truncate));
        EXPECT_EQ(file.WriteText(c.text), 0);
        file.Close();
        EXPECT_EQ(ReadBytes(File("write.txt")), c.bytes) << c.text;
    }
}

TEST_F(FileOperationTest, ReadLineRemovesLineEnds)
{
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } const cases[] = {
        {"a,b\r\nc,d\r\n", {"a,b", "c,d"}},
        {"a\nb", {"a", "b"}},
        {"last without end", {"last without end"}},
        {"", {}},
        {"\r\n\r\n", {"", ""}},
        {"a\rb\r\n", {"a\rb"}},
        {"x\r", {"x\r"}},
        {std::string(5000, 'z') + "\r\nshort\r\n", {std::string(5000, 'z'), "short"}},
    };
    for (const auto& c : cases) {
        WriteBytes(File("read.txt"), c.bytes);
        CFileOperation file;
        file.SetPath(File("read.txt"));
        ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Keep));
        std::vector<std::string> lines;
        std::string line;
        while (file.ReadLine(line) == 0)
            lines.push_back(line);
        EXPECT_EQ(lines, c.lines) << c.bytes.substr(0, 40);
        EXPECT_EQ(file.ReadLine(line), 1);
        EXPECT_TRUE(line.empty());
    }
}

TEST_F(FileOperationTest, ReadShortLineCutsAt31Characters)
{
    const std::string l31(31, 'a');
    const std::string l40 = std::string(31, 'b') + "123456789";
    struct Case {
        std::string bytes;
        std::vector<std::string> reads;
    } const cases[] = {
        {"short\r\nnext\r\n", {"short", "next"}},
        {l31 + "\r\nnext\r\n", {l31, "next"}},
        {l31 + "\nnext", {l31, "next"}},
        {l40 + "\r\nnext\r\n", {std::string(31, 'b'), "123456789", "next"}},
        {l31 + "\rx\r\n", {l31, "\rx"}},
        {l31 + "\r", {l31, "\r"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        WriteBytes(File("short.txt"), c.bytes);
        CFileOperation file;
        file.SetPath(File("short.txt"));
        ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Keep));
        std::vector<std::string> reads;
        std::string text;
        while (file.ReadShortLine(text) == 0) {
            EXPECT_LE(text.size(), 31u);
            reads.push_back(text);
        }
        EXPECT_EQ(reads, c.reads) << c.bytes;
    }
}

TEST_F(FileOperationTest, OpenModesKeepOrTruncateAndCreate)
{
    const std::string path = File("modes.csv");
    CFileOperation file;
    file.SetPath(path);

    // missing: both modes create the file
    ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Keep));
    file.Close();
    EXPECT_EQ(ReadBytes(path), "");
    std::filesystem::remove(path);
    ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Truncate));
    file.Close();
    EXPECT_TRUE(std::filesystem::exists(path));

    WriteBytes(path, "kept\r\n");
    ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Keep));
    EXPECT_EQ(file.FileSize(), 6);
    std::string line;
    EXPECT_EQ(file.ReadLine(line), 0);
    EXPECT_EQ(line, "kept");
    file.Close();
    EXPECT_EQ(ReadBytes(path), "kept\r\n");

    ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Truncate));
    EXPECT_EQ(file.FileSize(), 0);
    EXPECT_EQ(file.WriteText("new\n"), 0);
    file.Close();
    EXPECT_EQ(ReadBytes(path), "new\r\n");
}

TEST_F(FileOperationTest, SecondExclusiveOpenFailsUntilClosed)
{
    const std::string path = File("locked.log");
    WriteBytes(path, "content\r\n");
    CFileOperation first;
    first.SetPath(path);
    ASSERT_TRUE(first.Open(CFileOperation::OpenMode::Keep));

    for (auto mode : {CFileOperation::OpenMode::Keep, CFileOperation::OpenMode::Truncate}) {
        CFileOperation second;
        second.SetPath(path);
        EXPECT_FALSE(second.Open(mode));
        EXPECT_FALSE(second.IsOpen());
        EXPECT_EQ(second.WriteText("x"), 1);
    }
    // the refused truncating open left the content alone
    EXPECT_EQ(ReadBytes(path), "content\r\n");

    first.Close();
    CFileOperation third;
    third.SetPath(path);
    EXPECT_TRUE(third.Open(CFileOperation::OpenMode::Keep));
}

TEST_F(FileOperationTest, SeekToEndAppendsAndWriteFollowsReading)
{
    const std::string path = File("append.log");
    WriteBytes(path, "one\r\ntwo\r\n");
    CFileOperation file;
    file.SetPath(path);
    ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Keep));
    EXPECT_EQ(file.SeekToEnd(), 0);
    EXPECT_EQ(file.WriteText("three\n"), 0);
    EXPECT_EQ(file.FileSize(), 17);
    file.Close();
    EXPECT_EQ(ReadBytes(path), "one\r\ntwo\r\nthree\r\n");

    // a write after a read goes to the position after the line read, not
    // after whatever was read ahead
    ASSERT_TRUE(file.Open(CFileOperation::OpenMode::Keep));
    std::string line;
    ASSERT_EQ(file.ReadLine(line), 0);
    EXPECT_EQ(file.WriteText("TWO"), 0);
    ASSERT_EQ(file.ReadLine(line), 0);
    EXPECT_EQ(line, "");
    ASSERT_EQ(file.ReadLine(line), 0);
    EXPECT_EQ(line, "three");
    file.Close();
    EXPECT_EQ(ReadBytes(path), "one\r\nTWO\r\nthree\r\n");
}

TEST_F(FileOperationTest, FailuresAreResultsNotErrors)
{
    CFileOperation file;
    EXPECT_FALSE(file.Open(CFileOperation::OpenMode::Keep));  // no path
    file.SetPath(File("missing-folder/x.csv"));
    EXPECT_FALSE(file.Open(CFileOperation::OpenMode::Keep));
    EXPECT_EQ(file.SeekToEnd(), 1);
    EXPECT_EQ(file.WriteText("x\n"), 1);
    EXPECT_EQ(file.FileSize(), -1);
    std::string line = "old";
    EXPECT_EQ(file.ReadLine(line), 1);
    EXPECT_EQ(file.ReadShortLine(line), 1);

    // a folder opens read-only at best: the open mode needs write access
    file.SetPath(folder.Path());
    EXPECT_FALSE(file.Open(CFileOperation::OpenMode::Keep));
}

TEST_F(FileOperationTest, TimeStamps)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    struct Case {
        std::time_t when;
        const char* stamp12;
        const char* stamp12Long;
    } const cases[] = {
        {Utc(2026, 12, 8, 22, 5, 9), "261208220509", "202612082205"},
        {Utc(2017, 12, 1, 15, 30, 0), "171201153000", "201712011530"},
        {Utc(2000, 1, 1, 0, 0, 0), "000101000000", "200001010000"},
        {Utc(1999, 12, 31, 23, 59, 59), "991231235959", "199912312359"},
        // conversion to local time fails: date 0, time -1
        {std::numeric_limits<std::time_t>::max(), "000000-1-1-1", "00000000-1-1"},
    };
    for (const auto& c : cases) {
        CFileOperation::SetTimeSource([&c] { return c.when; });
        EXPECT_EQ(CFileOperation::TimeStamp12(), c.stamp12);
        EXPECT_EQ(CFileOperation::TimeStamp12Long(), c.stamp12Long);
    }

    // same second, same stamp; the long stamp holds for the whole minute
    std::time_t now = Utc(2026, 3, 4, 5, 6, 0);
    CFileOperation::SetTimeSource([&now] { return now; });
    const std::string a = CFileOperation::TimeStamp12();
    const std::string la = CFileOperation::TimeStamp12Long();
    EXPECT_EQ(CFileOperation::TimeStamp12(), a);
    now += 59;
    EXPECT_NE(CFileOperation::TimeStamp12(), a);
    EXPECT_EQ(CFileOperation::TimeStamp12Long(), la);
    now += 1;
    EXPECT_NE(CFileOperation::TimeStamp12Long(), la);

    // the system clock gives 12 digits
    CFileOperation::SetTimeSource({});
    const std::string real = CFileOperation::TimeStamp12();
    ASSERT_EQ(real.size(), 12u);
    EXPECT_EQ(real.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(FileOperationTest, ProgramFolderIsTheExecutablesFolder)
{
    const std::string exe = platform::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "test_fileoperation");
    EXPECT_EQ(platform::ExecutableBaseName(), "test_fileoperation");
    EXPECT_EQ(platform::ExecutableFolder(), exe.substr(0, exe.rfind('/') + 1));

    CFileOperation plain;
    EXPECT_EQ(plain.ProgramFolder(), platform::ExecutableFolder());
    EXPECT_EQ(plain.ProgramFolder().back(), '/');
    EXPECT_TRUE(plain.Path().empty());
    EXPECT_FALSE(plain.IsOpen());

    CFileOperation::SetProgramFolderOverride(folder.Path());
    CFileOperation overridden;
    CFileOperation::SetProgramFolderOverride("");
    EXPECT_EQ(overridden.ProgramFolder(), folder.Path());
    CFileOperation restored;
    EXPECT_EQ(restored.ProgramFolder(), platform::ExecutableFolder());
}

TEST(FileOperationJoin, ProgramFolderParts)
{
    const std::string f255 = "/" + std::string(253, 'd') + "/";
    EXPECT_EQ(CFileOperation::JoinProgramFolder("", "/opt/korvo/"), "/opt/korvo/");
    EXPECT_EQ(CFileOperation::JoinProgramFolder("C:", "\\tools\\"), "C:\\tools\\");
    EXPECT_EQ(CFileOperation::JoinProgramFolder("", f255), f255);
    // Longer parts are kept whole: a cut one would name another folder.
    EXPECT_EQ(CFileOperation::JoinProgramFolder("", f255 + "x/"), f255 + "x/");
    const std::string deep = "/" + std::string(300, 'a') + "/" + std::string(300, 'b') + "/";
    EXPECT_EQ(CFileOperation::JoinProgramFolder("", deep), deep);
    EXPECT_EQ(CFileOperation::JoinProgramFolder(std::string(256, 'C'), "/"), std::string(256, 'C') + "/");
}

}  // namespace
