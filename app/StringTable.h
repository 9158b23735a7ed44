// UI text tables: every text the program shows, by numeric identifier, in
// English (1033) and Chinese (2052). Both tables hold the same identifiers.
// Texts are UTF-8; the English ones are plain ASCII.
#pragma once

#include <span>
#include <string>

namespace korvo {

enum class UiLanguage { English = 1033, Chinese = 2052 };

// "cn" (exactly, case-sensitive) selects Chinese; any other value English.
UiLanguage LanguageFromSetting(const std::string& value);

// Value written to the Language setting for a language: "en" or "cn".
const char* LanguageSettingValue(UiLanguage language);

// UI language of every later LoadText(id); English until set.
void SetUiLanguage(UiLanguage language);
UiLanguage CurrentUiLanguage();

// Text of an identifier in the current UI language; the empty text for an
// identifier without text. The reference stays valid for the whole run.
const std::string& LoadText(int id);
const std::string& LoadText(int id, UiLanguage language);

// Every identifier of the tables, ascending.
std::span<const int> TextIds();

}  // namespace korvo
