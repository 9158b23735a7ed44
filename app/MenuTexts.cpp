// Menu bars 132 (English) and 134 (Chinese).
#include "app/MenuTexts.h"

namespace korvo {
namespace {

MenuItem Command(const char* text, int commandId)
{
    return MenuItem{MenuItemKind::Command, text, commandId};
}

MenuItem Separator()
{
    return MenuItem{MenuItemKind::Separator, std::string(), 0};
}

MenuBar BuildEnglish()
{
    MenuBar bar;
    bar.resourceId = IDR_MENU_ENGLISH;
    bar.language = UiLanguage::English;
    bar.popups = {
        {"&File",
         {Command("&Import", ID_FILE_IMPORT), Command("&Export", ID_FILE_EXPORT),
          Command("E&xit", ID_APP_EXIT)}},
        {"&Edit",
         {Command("&Refresh", ID_EDIT_REFRESH), Separator(),
          Command("&IP assign", ID_EDIT_IP_ASSIGN), Command("A&uto assign", ID_EDIT_AUTO_ASSIGN),
          Command("&Copy", ID_EDIT_COPY), Command("C&lear", ID_EDIT_CLEAR), Separator(),
          Command("&Apply", ID_EDIT_APPLY)}},
        {"&Language",
         {Command("&English", ID_LANGUAGE_ENGLISH), Command("&Chinese", ID_LANGUAGE_CHINESE)}},
        {"&Help", {Command("&About", ID_HELP_ABOUT)}},
    };
    return bar;
}

MenuBar BuildChinese()
{
    MenuBar bar;
    bar.resourceId = IDR_MENU_CHINESE;
    bar.language = UiLanguage::Chinese;
    bar.popups = {
        {"文件(&F)",
         {Command("导入(&I)", ID_FILE_IMPORT), Command("导出(&E)", ID_FILE_EXPORT),
          Command("退出(&x)", ID_APP_EXIT)}},
        {"编辑(&E)",
         {Command("刷新(&R)", ID_EDIT_REFRESH), Separator(),
          Command("IP分配(&I)", ID_EDIT_IP_ASSIGN), Command("自动分配(&u)", ID_EDIT_AUTO_ASSIGN),
          Command("复制(&C)", ID_EDIT_COPY), Command("清除(C&)", ID_EDIT_CLEAR), Separator(),
          Command("应用(&A)", ID_EDIT_APPLY)}},
        {"语言(&L)",
         {Command("英文(&E)", ID_LANGUAGE_ENGLISH), Command("简体中文(&C)", ID_LANGUAGE_CHINESE)}},
        {"帮助(&H)", {Command("关于(&A)", ID_HELP_ABOUT)}},
    };
    return bar;
}

}  // namespace

const MenuBar& MenuFor(UiLanguage language)
{
    static const MenuBar english = BuildEnglish();
    static const MenuBar chinese = BuildChinese();
    return language == UiLanguage::Chinese ? chinese : english;
}

}  // namespace korvo
