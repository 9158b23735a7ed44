// Menu bar of the main window in both UI languages, as data: popups with
// their items, texts (UTF-8, "&" marks the accelerator) and command ids.
// Both languages share structure and command ids; only the texts differ.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "app/StringTable.h"

namespace korvo {

// Menu resources: English and Chinese menu bar.
inline constexpr int IDR_MENU_ENGLISH = 132;
inline constexpr int IDR_MENU_CHINESE = 134;

// Command ids of the menu bar.
inline constexpr int ID_FILE_IMPORT = 30001;
inline constexpr int ID_FILE_EXPORT = 30002;
inline constexpr int ID_EDIT_REFRESH = 30003;
inline constexpr int ID_EDIT_AUTO_ASSIGN = 30004;
inline constexpr int ID_EDIT_COPY = 30005;
inline constexpr int ID_EDIT_APPLY = 30006;
inline constexpr int ID_HELP_ABOUT = 30007;
inline constexpr int ID_EDIT_IP_ASSIGN = 30008;
inline constexpr int ID_EDIT_CLEAR = 30009;
inline constexpr int ID_LANGUAGE_ENGLISH = 32771;
inline constexpr int ID_LANGUAGE_CHINESE = 32772;
inline constexpr int ID_APP_EXIT = 57665;  // close request, as the close button

// Command id of the About item appended to the system menu (text: string 101).
// A system command whose id with the lowest four bits cleared equals it opens
// the About box.
inline constexpr int IDM_ABOUTBOX = 16;

// Every command id of the menu bar, in menu order.
inline constexpr std::array<int, 12> kMenuCommandIds = {
    ID_FILE_IMPORT,    ID_FILE_EXPORT,      ID_APP_EXIT,   ID_EDIT_REFRESH,
    ID_EDIT_IP_ASSIGN, ID_EDIT_AUTO_ASSIGN, ID_EDIT_COPY,  ID_EDIT_CLEAR,
    ID_EDIT_APPLY,     ID_LANGUAGE_ENGLISH, ID_LANGUAGE_CHINESE, ID_HELP_ABOUT,
};

// The main window's menu enable flags, by index. Page states set them; each
// flag enables or disables one menu item when its popup opens.
enum MenuFlag : std::size_t {
    kFlagImport = 0,
    kFlagExport,
    kFlagRefresh,
    kFlagIpAssign,
    kFlagAutoAssign,
    kFlagCopy,
    kFlagClear,
    kFlagApply,
    kFlagEnglish,
    kFlagChinese,
    kFlagAbout,
    kMenuFlagCount
};

// Flag index -> command id of the item it governs.
inline constexpr std::array<int, kMenuFlagCount> kMenuFlagCommands = {
    ID_FILE_IMPORT,   ID_FILE_EXPORT, ID_EDIT_REFRESH, ID_EDIT_IP_ASSIGN,
    ID_EDIT_AUTO_ASSIGN, ID_EDIT_COPY, ID_EDIT_CLEAR,  ID_EDIT_APPLY,
    ID_LANGUAGE_ENGLISH, ID_LANGUAGE_CHINESE, ID_HELP_ABOUT,
};

// Flag index of a command id, or -1 for a command without flag (Exit, and any
// id outside the menu): such an item stays enabled.
constexpr int MenuFlagForCommand(int commandId)
{
    for (std::size_t i = 0; i < kMenuFlagCommands.size(); ++i) {
        if (kMenuFlagCommands[i] == commandId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

enum class MenuItemKind { Command, Separator };

struct MenuItem {
    MenuItemKind kind = MenuItemKind::Command;
    std::string text;   // empty for a separator
    int commandId = 0;  // 0 for a separator
};

struct MenuPopup {
    std::string text;
    std::vector<MenuItem> items;
};

struct MenuBar {
    int resourceId = 0;  // IDR_MENU_ENGLISH or IDR_MENU_CHINESE
    UiLanguage language = UiLanguage::English;
    std::vector<MenuPopup> popups;
};

// Menu bar of a language (English for any value other than Chinese). The
// reference stays valid for the whole run.
const MenuBar& MenuFor(UiLanguage language);

}  // namespace korvo
