// UI text tables: identifiers, exact texts in both languages, language choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/StringTable.h"

namespace korvo {
namespace {

// The printf placeholders of a text ("%d", "%s", ...), in order.
std::vector<std::string> Placeholders(const std::string& text)
{
    std::vector<std::string> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] >= 'a' && text[i + 1] <= 'z') {
            found.push_back(text.substr(i, 2));
        }
    }
    return found;
}

// Must stay the first test of this executable: nothing has set the language yet.
TEST(StringTableTest, DefaultsToEnglishAndLookupFollowsChosenLanguage)
{
    EXPECT_EQ(CurrentUiLanguage(), UiLanguage::English);
    EXPECT_EQ(LoadText(10011), "Camera");

    SetUiLanguage(UiLanguage::Chinese);
    EXPECT_EQ(CurrentUiLanguage(), UiLanguage::Chinese);
    EXPECT_EQ(LoadText(10011), "摄像机");
    EXPECT_EQ(LoadText(10011, UiLanguage::English), "Camera");

    SetUiLanguage(UiLanguage::English);
    EXPECT_EQ(LoadText(10011), "Camera");
    EXPECT_EQ(LoadText(10011, UiLanguage::Chinese), "摄像机");
}

TEST(StringTableTest, LanguageSetting)
{
    struct Case {
        const char* value;
        UiLanguage expected;
    };
    const Case cases[] = {
        {"cn", UiLanguage::Chinese}, {"CN", UiLanguage::English}, {"Cn", UiLanguage::English},
        {"en", UiLanguage::English}, {"", UiLanguage::English},   {"zh", UiLanguage::English},
        {"cn ", UiLanguage::English}, {" cn", UiLanguage::English}, {"chinese", UiLanguage::English},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageFromSetting(c.value), c.expected) << '"' << c.value << '"';
    }
    EXPECT_EQ(static_cast<int>(UiLanguage::English), 1033);
    EXPECT_EQ(static_cast<int>(UiLanguage::Chinese), 2052);
    EXPECT_STREQ(LanguageSettingValue(UiLanguage::English), "en");
    EXPECT_STREQ(LanguageSettingValue(UiLanguage::Chinese), "cn");
    EXPECT_EQ(LanguageFromSetting(LanguageSettingValue(UiLanguage::Chinese)), UiLanguage::Chinese);
}

TEST(StringTableTest, ExactTextsInBothLanguages)
{
    struct Row {
        int id;
        const char* english;
        const char* chinese;
    };
    // Chinese texts of 10102, 10112 and 10141 as raw UTF-8 bytes (full-width
    // parentheses, quotes and stop).
    const Row rows[] = {
        {103, "Windows sockets initialization failed.", "Windows接口初始化失败。"},
        {10001, "Orvane Setup Tool", "Orvane设置工具"},
        {10011, "Camera", "摄像机"},
        {10012, "Controller", "控制器"},
        {10013, "Camera Table", "\xe6\x91\x84\xe5\x83\x8f\xe5\x8f\xb0"},
        {10047, "Group - No", "群组 - 无"},
        {10056, "From :", "从 :"},
        {10102, "%d cameras (more than maximum number) are detected.",
         "\xe6\xa3\x80\xe6\xb5\x8b\xe5\x88\xb0\x25\x64\xe5\x8f\xb0\xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba"
         "\xef\xbc\x88\xe8\xb6\x85\xe5\x87\xba\xe4\xb8\x8a\xe9\x99\x90\xef\xbc\x89\xe3\x80\x82"},
        {10110, "Setup was succeeded.", "设置成功。"},
        {10139, "Setup was succeeded.", "设置成功。"},
        {10111, "Setup was failed.", "设置失败。"},
        {10140, "Setup was failed.", "设置失败。"},
        {10112, "Import was failed.\nSame \"Group\" number are set in the CSV file.",
         "\xe5\xaf\xbc\xe5\x85\xa5\xe5\xa4\xb1\xe8\xb4\xa5\xe3\x80\x82\x0a\x43\x53\x56\xe6\x96\x87\xe4"
         "\xbb\xb6\xe4\xb8\xad\xe8\xae\xbe\xe5\xae\x9a\xe4\xba\x86\xe7\x9b\xb8\xe5\x90\x8c\xe2\x80\x9c"
         "\xe7\xbe\xa4\xe7\xbb\x84\xe2\x80\x9d\xe7\xbc\x96\xe5\x8f\xb7\xe3\x80\x82"},
        {10115, "Import was failed.\nText format of \"Group\", %d, is incorrect.",
         "导入失败。\n“群组”%d的文本格式不正确。"},
        {10120,
         "List includes some updates.\nAre you sure you want to exit application with canceling to apply "
         "updates?",
         "列表包含一些更新。\n确定要取消应用更新并退出应用程序？"},
        {10131, "Orvane Setup Tool %d.%d.%d%s", "Orvane设置工具%d.%d.%d%s"},
        {10136, "No controller is found.", "未找到控制器。"},
        {10141, "[ : \" , (3 characters)] are unavailable for Name.",
         "\x5b\x20\x3a\x20\x22\x20\x2c\xef\xbc\x88\x33\xe4\xb8\xaa\xe5\xad\x97\xe7\xac\xa6\xef\xbc\x89"
         "\x5d\xe4\xb8\x8d\xe5\x8f\xaf\xe7\x94\xa8\xe4\xba\x8e\xe5\x90\x8d\xe7\xa7\xb0\xe3\x80\x82"},
        {10154, "Import was failed.\n%d cameras are set in the CSV file.", "导入失败。\nCSV文件中设定了%d台摄像机。"},
        {10155,
         "Language setting has been successfully changed. After restarting Orvane Setup Tool, it will be "
         "available.",
         "已成功更改语言设定。重新启动Orvane设置工具后语言设定有效。"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(LoadText(r.id, UiLanguage::English), r.english) << r.id;
        EXPECT_EQ(LoadText(r.id, UiLanguage::Chinese), r.chinese) << r.id;
    }
    // The escapes are real characters: one line feed, two double quotes.
    const std::string& text = LoadText(10112, UiLanguage::English);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '"'), 2);
    EXPECT_EQ(text.find('\\'), std::string::npos);
}

TEST(StringTableTest, EveryIdentifierHasTextInBothLanguages)
{
    const auto ids = TextIds();
    const std::vector<int> expected = {
        101,   103,   10001, 10002, 10003, 10004, 10011, 10012, 10013, 10027, 10028, 10029, 10030,
        10031, 10032, 10041, 10042, 10043, 10044, 10045, 10046, 10047, 10048, 10049, 10050, 10051,
        10052, 10053, 10054, 10055, 10056, 10057, 10058, 10059, 10060, 10061, 10065, 10066, 10067,
        10101, 10102, 10103, 10104, 10105, 10106, 10107, 10108, 10109, 10110, 10111, 10112, 10114,
        10115, 10116, 10117, 10118, 10120, 10121, 10122, 10123, 10124, 10126, 10127, 10128, 10129,
        10130, 10131, 10132, 10134, 10135, 10136, 10137, 10138, 10139, 10140, 10141, 10142, 10144,
        10145, 10146, 10147, 10148, 10149, 10150, 10151, 10152, 10154, 10155,
    };
    EXPECT_EQ(std::vector<int>(ids.begin(), ids.end()), expected);

    for (int id : ids) {
        const std::string& english = LoadText(id, UiLanguage::English);
        const std::string& chinese = LoadText(id, UiLanguage::Chinese);
        EXPECT_FALSE(english.empty()) << id;
        EXPECT_FALSE(chinese.empty()) << id;
        EXPECT_TRUE(std::all_of(english.begin(), english.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            << id;
        // Callers format either language with the same arguments.
        EXPECT_EQ(Placeholders(english), Placeholders(chinese)) << id;
    }
    // The system menu's About item and the About box's second line.
    EXPECT_EQ(LoadText(101, UiLanguage::English), LoadText(101, UiLanguage::Chinese));
    EXPECT_NE(LoadText(101, UiLanguage::English).find("About"), std::string::npos);
}

TEST(StringTableTest, UnknownIdentifierGivesEmptyText)
{
    for (int id : {0, -1, 1, 102, 104, 10000, 10005, 10113, 10133, 10156, 65535, 99999}) {
        EXPECT_TRUE(LoadText(id, UiLanguage::English).empty()) << id;
        EXPECT_TRUE(LoadText(id, UiLanguage::Chinese).empty()) << id;
        EXPECT_TRUE(LoadText(id).empty()) << id;
    }
}

}  // namespace
}  // namespace korvo
