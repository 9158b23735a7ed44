#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("korvo_profile_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_path = m_dir / "KorvoIPSetup.ini";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void Put(const std::string& content) const
    {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    std::string Get() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_dir;
    fs::path m_path;
};

const char* const kSettings =
    "Language=top\r\n"  // before any section: belongs to none
    "; Orvane settings\r\n"
    "[NetworkInq]\r\n"
    "ResponsTime=abc\r\n"
    "[CameraTableInq]\r\n"
    "ResponsTime=-5\r\n"
    "WaitTime=  12  \r\n"
    "[CameraTableSet]\n"
    "responstime=7000\n"
    "  WAITTIME = 250ms\r\n"
    "[ debugudp ]\r\n"
    "DebugUdpFlg=2\r\n"
    "[Big]\r\n"
    "Huge=99999999999\r\n"
    "Max=4294967295\r\n"
    "Empty=\r\n"
    "Plus=+5\r\n"
    "Quoted=\"42\"\r\n"
    "NoEquals\r\n"
    "[Language]\r\n"
    "Language=cn\r\n"
    "Other=a=b=c\r\n"
    "Spaced =  hello world  \r\n"
    "Quoted=\"  x \"\r\n"
    "Single='y'\r\n"
    "Half=\"z\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "[NetworkInq]\r\n"
    "Extra=3\r\n";

struct IntCase {
    const char* section;
    const char* key;
    unsigned defaultValue;
    unsigned expected;
};

TEST_F(ProfileFile, ReadsIntegers)
{
    Put(kSettings);
    const IntCase cases[] = {
        {"NetworkInq", "ResponsTime", 5000, 0},        // abc
        {"CameraTableInq", "ResponsTime", 2000, 0},    // -5
        {"CameraTableInq", "WaitTime", 0, 12},         // leading blanks are not part of the value
        {"CAMERATABLESET", "ResponsTime", 10000, 7000},  // names without case, LF lines
        {"CameraTableSet", "WaitTime", 5000, 250},     // leading digits only
        {"DebugUdp", "DebugUdpFlg", 0, 2},             // 2 reads as 2, not as 1
        {"DebugUdp", "Missing", 77, 77},               // missing key
        {"NoSuchSection", "ResponsTime", 5000, 5000},  // missing section
        {"Big", "Huge", 1, UINT_MAX},
        {"Big", "Max", 1, 4294967295u},
        {"Big", "Empty", 9, 0},
        {"Big", "Plus", 9, 0},
        {"Big", "Quoted", 9, 42},
        {"Big", "NoEquals", 9, 9},                     // a line without "=" is no key
        {"NetworkInq", "Extra", 8, 8},                 // a repeated section does not count
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(platform::GetProfileInt(m_path, c.section, c.key, c.defaultValue), c.expected);
    }
}

struct TextCase {
    const char* section;
    const char* key;
    const char* expected;
};

TEST_F(ProfileFile, ReadsTexts)
{
    Put(kSettings);
    const TextCase cases[] = {
        {"Language", "Language", "cn"},
        {"language", "LANGUAGE", "cn"},
        {"Language", "Other", "a=b=c"},
        {"Language", "Spaced", "hello world"},
        {"Language", "Quoted", "  x "},
        {"Language", "Single", "y"},
        {"Language", "Half", "\"z"},
        {"Language", "Dup", "first"},
        {"Language", "Missing", "en"},  // the default
        {"Big", "Empty", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(platform::GetProfileString(m_path, c.section, c.key, "en"), c.expected);
    }
}

TEST_F(ProfileFile, MissingFileGivesDefaults)
{
    EXPECT_EQ(platform::GetProfileInt(m_path, "NetworkInq", "ResponsTime", 5000), 5000u);
    EXPECT_EQ(platform::GetProfileString(m_path, "Language", "Language", "en"), "en");
    EXPECT_FALSE(fs::exists(m_path));
    // A folder in the file's place reads like a missing file.
    EXPECT_EQ(platform::GetProfileInt(m_dir, "NetworkInq", "ResponsTime", 5000), 5000u);
}

TEST_F(ProfileFile, ByteOrderMarkIsSkipped)
{
    Put("\xEF\xBB\xBF[Language]\r\nLanguage=cn\r\n");
    EXPECT_EQ(platform::GetProfileString(m_path, "Language", "Language", "en"), "cn");
}

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // nothing: no file
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST_F(ProfileFile, WritesKeepEverythingElse)
{
    const WriteCase cases[] = {
        {"creates the file", std::nullopt, "Language", "Language", "cn", "[Language]\r\nLanguage=cn\r\n"},
        {"empty file", std::string(), "Language", "Language", "cn", "[Language]\r\nLanguage=cn\r\n"},
        {"replaces the value, keeps sections and comments",
         "; Orvane settings\r\n[NetworkInq]\r\nResponsTime=3000\r\n\r\n[Language]\r\n; set by the menu\r\n"
         "Language=en\r\n\r\n[DebugUdp]\r\nDebugUdpFlg=0\r\n",
         "Language", "Language", "cn",
         "; Orvane settings\r\n[NetworkInq]\r\nResponsTime=3000\r\n\r\n[Language]\r\n; set by the menu\r\n"
         "Language=cn\r\n\r\n[DebugUdp]\r\nDebugUdpFlg=0\r\n"},
        {"names without case, LF lines stay LF", "[LANGUAGE]\nlanguage = en\n[Other]\nx=1\n", "Language",
         "Language", "cn", "[LANGUAGE]\nlanguage =cn\r\n[Other]\nx=1\n"},
        {"adds the key after the section's last key",
         "[Language]\r\nFoo=1\r\n\r\n[NetworkInq]\r\nResponsTime=1\r\n", "Language", "Language", "cn",
         "[Language]\r\nFoo=1\r\nLanguage=cn\r\n\r\n[NetworkInq]\r\nResponsTime=1\r\n"},
        {"adds the section at the end of a file without final line ending", "[NetworkInq]\r\nResponsTime=1",
         "Language", "Language", "cn", "[NetworkInq]\r\nResponsTime=1\r\n[Language]\r\nLanguage=cn\r\n"},
        {"empty section as the last line", "[Language]", "Language", "Language", "en",
         "[Language]\r\nLanguage=en\r\n"},
        {"last line ends in CR alone", "[Language]\r\nx=1\r", "Language", "Language", "en",
         "[Language]\r\nx=1\r\nLanguage=en\r\n"},
        {"only the first of repeated keys", "[Language]\r\nLanguage=en\r\nLanguage=xx\r\n", "Language",
         "Language", "cn", "[Language]\r\nLanguage=cn\r\nLanguage=xx\r\n"},
        {"same key in another section untouched", "[A]\r\nLanguage=x\r\n[Language]\r\nLanguage=en\r\n",
         "Language", "Language", "cn", "[A]\r\nLanguage=x\r\n[Language]\r\nLanguage=cn\r\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[Language]\r\nLanguage=en\r\n", "Language", "Language", "cn",
         "\xEF\xBB\xBF[Language]\r\nLanguage=cn\r\n"},
        {"value with equals sign", "[Language]\r\nLanguage=en\r\n", "Language", "Language", "a=b",
         "[Language]\r\nLanguage=a=b\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(m_path);
        if (c.before)
            Put(*c.before);
        ASSERT_TRUE(platform::WriteProfileString(m_path, c.section, c.key, c.value));
        EXPECT_EQ(Get(), c.after);
        EXPECT_EQ(platform::GetProfileString(m_path, c.section, c.key, "?"), c.value);
    }
}

TEST_F(ProfileFile, WrittenValuesReadBack)
{
    ASSERT_TRUE(platform::WriteProfileString(m_path, "NetworkInq", "ResponsTime", "3000"));
    ASSERT_TRUE(platform::WriteProfileString(m_path, "DebugUdp", "DebugUdpFlg", "1"));
    ASSERT_TRUE(platform::WriteProfileString(m_path, "networkinq", "RESPONSTIME", "4000"));
    EXPECT_EQ(platform::GetProfileInt(m_path, "NetworkInq", "ResponsTime", 5000), 4000u);
    EXPECT_EQ(platform::GetProfileInt(m_path, "DebugUdp", "DebugUdpFlg", 0), 1u);
    EXPECT_EQ(Get(), "[NetworkInq]\r\nResponsTime=4000\r\n[DebugUdp]\r\nDebugUdpFlg=1\r\n");
    // Nothing is left beside the file.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_dir))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(ProfileFile, RefusesWhatCannotBeStored)
{
    const std::string before = "[Language]\r\nLanguage=en\r\n";
    Put(before);
    struct Bad {
        const char* section;
        const char* key;
        const char* value;
    };
    const Bad cases[] = {
        {"", "Language", "cn"},         {"Lang]uage", "Language", "cn"}, {"Lang\nuage", "Language", "cn"},
        {" Language", "Language", "cn"}, {"Language", "", "cn"},          {"Language", "Lang=uage", "cn"},
        {"Language", "[Language", "cn"}, {"Language", ";Language", "cn"}, {"Language", "Language ", "cn"},
        {"Language", "Language", "c\r\nn"}, {"Language", "Language", "c\nn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key + "/" + c.value);
        EXPECT_FALSE(platform::WriteProfileString(m_path, c.section, c.key, c.value));
    }
    EXPECT_EQ(Get(), before);
}

TEST_F(ProfileFile, WriteFailsWhereNoFileCanBe)
{
    EXPECT_FALSE(platform::WriteProfileString(m_dir / "missing" / "x.ini", "Language", "Language", "cn"));
    EXPECT_FALSE(fs::exists(m_dir / "missing"));
    // A folder in the file's place is not replaced.
    fs::create_directories(m_dir / "folder.ini");
    EXPECT_FALSE(platform::WriteProfileString(m_dir / "folder.ini", "Language", "Language", "cn"));
    EXPECT_TRUE(fs::is_directory(m_dir / "folder.ini"));
}

}  // namespace
