// UI text tables, English and Chinese (UTF-8).
#include "app/StringTable.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <iterator>
#include <vector>

namespace korvo {
namespace {

struct RawText {
    int id;
    const char* english;
    const char* chinese;
};

// Identifier, English text, Chinese text. Kept in ascending identifier order.
// 101 is the About item of the system menu, 10132 the About box's second line.
constexpr RawText kTexts[] = {
    {101, "&About Orvane Setup Tool...",
     "&About Orvane Setup Tool..."},
    {103, "Windows sockets initialization failed.",
     "Windows接口初始化失败。"},
    {10001, "Orvane Setup Tool",
     "Orvane设置工具"},
    {10002, "Auto IP assign",
     "自动IP分配"},
    {10003, "Table information copy",
     "表格信息复制"},
    {10004, "Auto camera assign",
     "自动摄像机分配"},
    {10011, "Camera",
     "摄像机"},
    {10012, "Controller",
     "控制器"},
    {10013, "Camera Table",
     "摄像台"},
    {10027, "Refresh",
     "刷新"},
    {10028, "IP assign",
     "IP分配"},
    {10029, "Auto assign",
     "自动分配"},
    {10030, "Copy",
     "复制"},
    {10031, "Clear",
     "清除"},
    {10032, "Apply",
     "应用"},
    {10041, "Name",
     "名称"},
    {10042, "MAC address",
     "MAC地址"},
    {10043, "IP address",
     "IP地址"},
    {10044, "Subnet mask",
     "子网掩码"},
    {10045, "Message",
     "消息"},
    {10046, "Name",
     "名称"},
    {10047, "Group - No",
     "群组 - 无"},
    {10048, "Camera Name",
     "摄像机名称"},
    {10049, "Gateway address",
     "网关地址"},
    {10050, "Version",
     "版本"},
    {10051, "Camera List",
     "摄像机列表"},
    {10052, "IP Address range",
     "IP地址范围"},
    {10053, "Controller List",
     "控制器列表"},
    {10054, "OK",
     "确定"},
    {10055, "Cancel",
     "取消"},
    {10056, "From :",
     "从 :"},
    {10057, "To :",
     "到 :"},
    {10058, "Filter",
     "过滤器"},
    {10059, "Unused",
     "不使用"},
    {10060, "Camera Name order",
     "摄像机名称顺序"},
    {10061, "Range",
     "范围"},
    {10065, "From",
     "从"},
    {10066, "To",
     "到"},
    {10067, "Information",
     "信息"},
    {10101, "More IP addresses are needed to complete Auto IP assign.",
     "需要更多IP地址才可完成自动IP分配。"},
    {10102, "%d cameras (more than maximum number) are detected.",
     "检测到%d台摄像机（超出上限）。"},
    {10103, "%d controllers (more than maximum number) are detected.",
     "检测到%d台控制器（超出上限）。"},
    {10104, "Import was succeeded.",
     "导入成功。"},
    {10105, "Import was failed.",
     "导入失败。"},
    {10106, "Getting configurations.",
     "获取配置。"},
    {10107, "Network setting now.",
     "立即设置网络。"},
    {10108, "Configuration is protected (read only).",
     "配置受保护（只读）。"},
    {10109, "IP address is conflicted.",
     "IP地址冲突。"},
    {10110, "Setup was succeeded.",
     "设置成功。"},
    {10111, "Setup was failed.",
     "设置失败。"},
    {10112, "Import was failed.\nSame \"Group\" number are set in the CSV file.",
     "导入失败。\nCSV文件中设定了相同“群组”编号。"},
    {10114, "Import was failed.\nMore than 112 cameras are set in the CSV file.",
     "导入失败。\nCSV文件中设定的摄像机超过112台。"},
    {10115, "Import was failed.\nText format of \"Group\", %d, is incorrect.",
     "导入失败。\n“群组”%d的文本格式不正确。"},
    {10116, "Import was failed.\nText format of \"Camera name\", %d, is incorrect.",
     "导入失败。\n“摄像机名称”%d的文本格式不正确。"},
    {10117, "Import was failed.\nText format of \"IP address\", %d, is incorrect.",
     "导入失败。\n“IP地址”%d的文本格式不正确。"},
    {10118, "Import was failed.\nText format of \"MAC address\", %d, is incorrect.",
     "导入失败。\n“MAC地址”%d的文本格式不正确。"},
    {10120, "List includes some updates.\nAre you sure you want to exit application with canceling to apply updates?",
     "列表包含一些更新。\n确定要取消应用更新并退出应用程序？"},
    {10121, "List includes some updates.\nAre you sure you want to refresh List with canceling to apply updates?",
     "列表包含一些更新。\n确定要取消应用更新并刷新列表？"},
    {10122, "Same IP address are assigned.\nSetup will be started except for these conflicted IP address.",
     "分配了相同IP地址。\n设置将开始，这些冲突的IP地址除外。"},
    {10123, "List includes some updates.\nAre you sure you want to change List with canceling to apply updates?",
     "列表包含一些更新。\n确定要取消应用更新并更改列表？"},
    {10124, "Setting configurations. Please wait.",
     "正在设定配置。请稍候。"},
    {10126, "Getting configurations was succeeded.",
     "获取配置成功。"},
    {10127, "Getting configurations was failed.",
     "获取配置失败。"},
    {10128, "Unknown camera is assigned.",
     "分配了未知摄像机。"},
    {10129, "Auto IP assign was succeeded.",
     "自动IP分配成功。"},
    {10130, "Auto IP assign was failed.",
     "自动IP分配失败。"},
    {10131, "Orvane Setup Tool %d.%d.%d%s",
     "Orvane设置工具%d.%d.%d%s"},
    {10132, "Copyright (C) 2026 Orvane",
     "Copyright (C) 2026 Orvane"},
    {10134, "The range of IP address is invalid.",
     "IP地址范围无效。"},
    {10135, "Auto IP assign was succeeded.",
     "自动IP分配成功。"},
    {10136, "No controller is found.",
     "未找到控制器。"},
    {10137, "Name is invalid.",
     "名称无效。"},
    {10138, "IP address is invalid.",
     "IP地址无效。"},
    {10139, "Setup was succeeded.",
     "设置成功。"},
    {10140, "Setup was failed.",
     "设置失败。"},
    {10141, "[ : \" , (3 characters)] are unavailable for Name.",
     "[ : \" ,（3个字符）]不可用于名称。"},
    {10142, "Import was failed.\nText format of \"Subnet mask\", %d, is incorrect.",
     "导入失败。\n“子网掩码”%d的文本格式不正确。"},
    {10144, "Import was failed.\nText format of %d, is incorrect.",
     "导入失败。\n%d的文本格式不正确。"},
    {10145, "Import was failed.\nLower than 100 cameras are set in the CSV file.",
     "导入失败。\nCSV文件中设定的摄像机少于100台。"},
    {10146, "Auto camera assign was succeeded.",
     "自动摄像机分配成功。"},
    {10147, "CSV file could not be opened.",
     "CSV文件无法打开。"},
    {10148, "Export was succeeded.",
     "导出成功。"},
    {10149, "Export was failed.",
     "导出失败。"},
    {10150, "Invalid file format.",
     "无效的文件格式。"},
    {10151, "Subnet mask is invalid.",
     "子网掩码无效。"},
    {10152, "Gateway address is invalid.",
     "网关地址无效。"},
    {10154, "Import was failed.\n%d cameras are set in the CSV file.",
     "导入失败。\nCSV文件中设定了%d台摄像机。"},
    {10155, "Language setting has been successfully changed. After restarting Orvane Setup Tool, it will be available.",
     "已成功更改语言设定。重新启动Orvane设置工具后语言设定有效。"},
};

constexpr bool IdsAscending()
{
    for (std::size_t i = 1; i < std::size(kTexts); ++i) {
        if (kTexts[i - 1].id >= kTexts[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(IdsAscending(), "text identifiers must be unique and ascending");

struct Tables {
    std::vector<int> ids;
    std::vector<std::string> english;
    std::vector<std::string> chinese;
};

const Tables& GetTables()
{
    static const Tables tables = [] {
        Tables t;
        t.ids.reserve(std::size(kTexts));
        t.english.reserve(std::size(kTexts));
        t.chinese.reserve(std::size(kTexts));
        for (const RawText& raw : kTexts) {
            t.ids.push_back(raw.id);
            t.english.emplace_back(raw.english);
            t.chinese.emplace_back(raw.chinese);
        }
        return t;
    }();
    return tables;
}

std::atomic<UiLanguage> g_language{UiLanguage::English};

}  // namespace

UiLanguage LanguageFromSetting(const std::string& value)
{
    return value == "cn" ? UiLanguage::Chinese : UiLanguage::English;
}

const char* LanguageSettingValue(UiLanguage language)
{
    return language == UiLanguage::Chinese ? "cn" : "en";
}

void SetUiLanguage(UiLanguage language)
{
    g_language.store(language == UiLanguage::Chinese ? UiLanguage::Chinese : UiLanguage::English);
}

UiLanguage CurrentUiLanguage()
{
    return g_language.load();
}

const std::string& LoadText(int id)
{
    return LoadText(id, CurrentUiLanguage());
}

const std::string& LoadText(int id, UiLanguage language)
{
    static const std::string empty;
    const Tables& tables = GetTables();
    const auto it = std::lower_bound(tables.ids.begin(), tables.ids.end(), id);
    if (it == tables.ids.end() || *it != id) {
        return empty;
    }
    const auto index = static_cast<std::size_t>(it - tables.ids.begin());
    return language == UiLanguage::Chinese ? tables.chinese[index] : tables.english[index];
}

std::span<const int> TextIds()
{
    return GetTables().ids;
}

}  // namespace korvo
