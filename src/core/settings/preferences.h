#pragma once
// The user-interface preferences kept in str.ini: the language ("Skins"/"Lan"), the skin folder
// name and the label colour ("Skins"/"Path", "RColor", "GColor", "BColor"), and the twenty-four
// button captions, kept per language in "Setting-CHS", "Setting-CHT" or "Setting-EN".
//
// The functions work on a loaded IniDocument; the caller loads and saves the file. A missing
// file, section or key reads as the empty text: English, black labels, the skins root itself
// as skin folder, empty captions.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/ini_file.h"
#include "core/text/text_table.h"

namespace vm31 {

inline constexpr std::string_view kSkinsSection = "Skins";
inline constexpr std::string_view kLanguageKey = "Lan";
inline constexpr std::string_view kRedKey = "RColor";
inline constexpr std::string_view kGreenKey = "GColor";
inline constexpr std::string_view kBlueKey = "BColor";
inline constexpr std::string_view kSkinPathKey = "Path";

inline constexpr int kLabelGroupCount = 2;
inline constexpr int kLabelButtonCount = 12;
inline constexpr int kButtonLabelCount = kLabelGroupCount * kLabelButtonCount;

// The captions of the key rows: index = group * 12 + button.
struct ButtonLabels {
  std::array<std::string, kButtonLabelCount> texts;

  friend bool operator==(const ButtonLabels&, const ButtonLabels&) = default;
};

// The caption section of `language`: "Setting-CHS", "Setting-CHT" or "Setting-EN".
std::string_view LabelSection(UiLanguage language);

// The key of the caption of `button` (0..11) in `group` (0..1): "Item1".."Item12" for group 0,
// and for group 1 the group-0 key with "3" appended ("Item13", "Item23", ..., "Item123"), so
// "Item13" is the first caption of group 1, not the thirteenth of group 0. "" outside the range.
std::string_view LabelKey(int group, int button);

struct Preferences {
  std::string languageCode;  // the "Lan" value as stored
  UiLanguage language = UiLanguage::kEnglish;
  std::string skinName;                      // folder name under the skins root
  std::string redText, greenText, blueText;  // colour values as stored
  ButtonLabels labels;
};

// The locale variables of the user's environment; empty optionals are unset variables.
struct LocaleEnvironment {
  std::optional<std::string> lcAll{};       // LC_ALL
  std::optional<std::string> lcMessages{};  // LC_MESSAGES
  std::optional<std::string> lang{};        // LANG
};

// The language of the user's locale, for a str.ini without a "Lan" value. The first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty names the locale, as for the C library's
// messages. Its language and territory ("zh_CN" of "zh_CN.UTF-8@pinyin") choose: zh_CN and
// zh_SG Simplified Chinese, zh_TW, zh_HK and zh_MO Traditional Chinese, anything else English.
UiLanguage UiLanguageFromLocale(const LocaleEnvironment& environment);

// Reads "Lan" first (it selects the caption section), then the captions, the colour texts and
// the skin name. Every value is cut to 1023 characters. A missing or empty "Lan" gives
// `withoutCode` (the locale's language); a "Lan" value, whatever it is, wins over it. The
// program never writes "Lan", so the choice follows the locale until the user sets one.
Preferences LoadPreferences(const IniDocument& prefs,
                            UiLanguage withoutCode = UiLanguage::kEnglish);

// Everything LoadPreferences reads except the language, which stays as it is in `preferences`
// (the captions come from that language's section). Used when edits were cancelled, so the
// captions return to their saved wording.
void ReloadLabels(const IniDocument& prefs, Preferences& preferences);

// Writes the twenty-four captions into the section of `language` in key order "Item1".."Item12",
// "Item13".."Item123". Existing keys keep their place in the file; missing ones are appended.
// The ini writer keeps each value on its line, so a caption can never add keys to the file.
void SaveLabels(IniDocument& prefs, UiLanguage language, const ButtonLabels& labels);

// Writes "RColor", "GColor", "BColor" as decimal text and "Path" as the skin name into "Skins".
void SaveSkinPreferences(IniDocument& prefs, int red, int green, int blue,
                         std::string_view skinName);

// The label colour (red, green, blue) from the stored colour texts. Each text is read as a
// leading decimal integer (blanks and a sign accepted, no digits = 0) and kept as its lowest
// byte, as the colour has always been taken: "300" gives 44, "-5" gives 251, "" gives 0.
std::array<std::uint8_t, 3> UiTextColorFrom(const Preferences& preferences);

// The factory captions of both groups in `language`, each naming the button's factory function:
// buttons 0..4 the menu texts of function codes 0..4, button 5 "DPI Loop", button 6 the
// "Triple-click" menu text (its factory code is 5), buttons 7..11 the "Key Off" menu text.
ButtonLabels FactoryButtonLabels(UiLanguage language);

}  // namespace vm31
