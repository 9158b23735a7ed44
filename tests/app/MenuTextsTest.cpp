// Menu bars of both languages: structure, command ids, texts, enable flags.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/MenuTexts.h"

namespace korvo {
namespace {

TEST(MenuTextsTest, CommandIdValues)
{
    EXPECT_EQ(ID_FILE_IMPORT, 30001);
    EXPECT_EQ(ID_FILE_EXPORT, 30002);
    EXPECT_EQ(ID_EDIT_REFRESH, 30003);
    EXPECT_EQ(ID_EDIT_AUTO_ASSIGN, 30004);
    EXPECT_EQ(ID_EDIT_COPY, 30005);
    EXPECT_EQ(ID_EDIT_APPLY, 30006);
    EXPECT_EQ(ID_HELP_ABOUT, 30007);
    EXPECT_EQ(ID_EDIT_IP_ASSIGN, 30008);
    EXPECT_EQ(ID_EDIT_CLEAR, 30009);
    EXPECT_EQ(ID_LANGUAGE_ENGLISH, 32771);
    EXPECT_EQ(ID_LANGUAGE_CHINESE, 32772);
    EXPECT_EQ(ID_APP_EXIT, 57665);
    EXPECT_EQ(IDM_ABOUTBOX, 16);
    EXPECT_EQ(MenuFor(UiLanguage::English).resourceId, 132);
    EXPECT_EQ(MenuFor(UiLanguage::Chinese).resourceId, 134);
}

// Popup text, or an item (text, id); a separator has empty text and id 0.
struct Line {
    bool popup;
    const char* text;
    int id;
};

void ExpectMenu(const MenuBar& bar, const std::vector<Line>& expected)
{
    std::vector<Line> lines;
    for (const MenuPopup& popup : bar.popups) {
        lines.push_back({true, popup.text.c_str(), 0});
        for (const MenuItem& item : popup.items) {
            EXPECT_EQ(item.kind == MenuItemKind::Separator, item.commandId == 0);
            lines.push_back({false, item.text.c_str(), item.commandId});
        }
    }
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].popup, expected[i].popup) << i;
        EXPECT_STREQ(lines[i].text, expected[i].text) << i;
        EXPECT_EQ(lines[i].id, expected[i].id) << i;
    }
}

TEST(MenuTextsTest, ExactMenusOfBothLanguages)
{
    const MenuBar& english = MenuFor(UiLanguage::English);
    EXPECT_EQ(english.language, UiLanguage::English);
    ExpectMenu(english, {
                            {true, "&File", 0},
                            {false, "&Import", 30001},
                            {false, "&Export", 30002},
                            {false, "E&xit", 57665},
                            {true, "&Edit", 0},
                            {false, "&Refresh", 30003},
                            {false, "", 0},
                            {false, "&IP assign", 30008},
                            {false, "A&uto assign", 30004},
                            {false, "&Copy", 30005},
                            {false, "C&lear", 30009},
                            {false, "", 0},
                            {false, "&Apply", 30006},
                            {true, "&Language", 0},
                            {false, "&English", 32771},
                            {false, "&Chinese", 32772},
                            {true, "&Help", 0},
                            {false, "&About", 30007},
                        });
    const MenuBar& chinese = MenuFor(UiLanguage::Chinese);
    EXPECT_EQ(chinese.language, UiLanguage::Chinese);
    ExpectMenu(chinese, {
                            {true, "文件(&F)", 0},
                            {false, "导入(&I)", 30001},
                            {false, "导出(&E)", 30002},
                            {false, "退出(&x)", 57665},
                            {true, "编辑(&E)", 0},
                            {false, "\xe5\x88\xb7\xe6\x96\xb0(&R)", 30003},
                            {false, "", 0},
                            {false, "IP分配(&I)", 30008},
                            {false, "自动分配(&u)", 30004},
                            {false, "复制(&C)", 30005},
                            {false, "\xe6\xb8\x85\xe9\x99\xa4(C&)", 30009},
                            {false, "", 0},
                            {false, "应用(&A)", 30006},
                            {true, "语言(&L)", 0},
                            {false, "英文(&E)", 32771},
                            {false, "\xe7\xae\x80\xe4\xbd\x93\xe4\xb8\xad\xe6\x96\x87(&C)", 32772},
                            {true, "帮助(&H)", 0},
                            {false, "关于(&A)", 30007},
                        });
}

std::vector<int> CommandIds(const MenuBar& bar)
{
    std::vector<int> ids;
    for (const MenuPopup& popup : bar.popups) {
        for (const MenuItem& item : popup.items) {
            if (item.kind == MenuItemKind::Command) {
                ids.push_back(item.commandId);
            }
        }
    }
    return ids;
}

TEST(MenuTextsTest, CommandIdsMatchNamedConstantsAndFlags)
{
    const std::vector<int> english = CommandIds(MenuFor(UiLanguage::English));
    EXPECT_EQ(english, CommandIds(MenuFor(UiLanguage::Chinese)));
    EXPECT_EQ(english, std::vector<int>(kMenuCommandIds.begin(), kMenuCommandIds.end()));
    EXPECT_EQ(std::set<int>(english.begin(), english.end()).size(), english.size());

    // Flag order: Import, Export, Refresh, IP assign, Auto assign, Copy, Clear,
    // Apply, English, Chinese, About.
    const std::vector<int> flagOrder = {30001, 30002, 30003, 30008, 30004, 30005,
                                        30009, 30006, 32771, 32772, 30007};
    ASSERT_EQ(static_cast<std::size_t>(kMenuFlagCount), flagOrder.size());
    EXPECT_EQ(std::vector<int>(kMenuFlagCommands.begin(), kMenuFlagCommands.end()), flagOrder);
    EXPECT_EQ(kMenuFlagCommands[kFlagIpAssign], ID_EDIT_IP_ASSIGN);
    EXPECT_EQ(kMenuFlagCommands[kFlagAbout], ID_HELP_ABOUT);

    // Every menu command but Exit has exactly one flag.
    for (int id : english) {
        const int flag = MenuFlagForCommand(id);
        if (id == ID_APP_EXIT) {
            EXPECT_EQ(flag, -1);
        } else {
            ASSERT_GE(flag, 0) << id;
            EXPECT_EQ(kMenuFlagCommands[static_cast<std::size_t>(flag)], id);
        }
    }
    EXPECT_EQ(MenuFlagForCommand(0), -1);
    EXPECT_EQ(MenuFlagForCommand(IDM_ABOUTBOX), -1);
}

}  // namespace
}  // namespace korvo
