#include "core/settings/preferences.h"

#include "core/util/text.h"

namespace vm31 {
namespace {

constexpr std::array<std::string_view, kButtonLabelCount> kLabelKeys{
    "Item1",  "Item2",  "Item3",  "Item4",  "Item5",  "Item6",   "Item7",   "Item8",
    "Item9",  "Item10", "Item11", "Item12", "Item13", "Item23",  "Item33",  "Item43",
    "Item53", "Item63", "Item73", "Item83", "Item93", "Item103", "Item113", "Item123"};

constexpr bool GroupOneKeysAppendThree() {
  for (std::size_t button = 0; button < kLabelButtonCount; ++button) {
    const std::string_view groupZero = kLabelKeys[button];
    const std::string_view groupOne = kLabelKeys[kLabelButtonCount + button];
    if (groupOne.size() != groupZero.size() + 1 || !groupOne.starts_with(groupZero) ||
        groupOne.back() != '3') {
      return false;
    }
  }
  return true;
}
static_assert(GroupOneKeysAppendThree(), "group 1 keys are the group 0 keys with \"3\" appended");

// The factory caption of button 5 in every language.
constexpr std::string_view kDpiLoopLabel = "DPI Loop";

void ReadAllButLanguage(const IniDocument& prefs, Preferences& preferences) {
  const std::string_view section = LabelSection(preferences.language);
  for (std::size_t i = 0; i < kLabelKeys.size(); ++i) {
    preferences.labels.texts[i] = prefs.read(section, kLabelKeys[i]);
  }
  preferences.redText = prefs.read(kSkinsSection, kRedKey);
  preferences.greenText = prefs.read(kSkinsSection, kGreenKey);
  preferences.blueText = prefs.read(kSkinsSection, kBlueKey);
  preferences.skinName = prefs.read(kSkinsSection, kSkinPathKey);
}

std::uint8_t ColorByte(std::string_view text) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(ParseLeadingInt(text)) & 0xFFu);
}

}  // namespace

std::string_view LabelSection(UiLanguage language) {
  return UiTextFor(UiText::kPreferenceSection, language);
}

std::string_view LabelKey(int group, int button) {
  if (group < 0 || group >= kLabelGroupCount || button < 0 || button >= kLabelButtonCount) {
    return {};
  }
  return kLabelKeys[static_cast<std::size_t>(group * kLabelButtonCount + button)];
}

UiLanguage UiLanguageFromLocale(const LocaleEnvironment& environment) {
  std::string_view locale;
  for (const auto* variable : {&environment.lcAll, &environment.lcMessages, &environment.lang}) {
    if (*variable && !(*variable)->empty()) {
      locale = **variable;
      break;
    }
  }
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale == "zh_CN" || locale == "zh_SG") return UiLanguage::kSimplifiedChinese;
  if (locale == "zh_TW" || locale == "zh_HK" || locale == "zh_MO") {
    return UiLanguage::kTraditionalChinese;
  }
  return UiLanguage::kEnglish;
}

Preferences LoadPreferences(const IniDocument& prefs, UiLanguage withoutCode) {
  Preferences preferences;
  preferences.languageCode = prefs.read(kSkinsSection, kLanguageKey);
  preferences.language =
      preferences.languageCode.empty() ? withoutCode : UiLanguageFromCode(preferences.languageCode);
  ReadAllButLanguage(prefs, preferences);
  return preferences;
}

void ReloadLabels(const IniDocument& prefs, Preferences& preferences) {
  ReadAllButLanguage(prefs, preferences);
}

void SaveLabels(IniDocument& prefs, UiLanguage language, const ButtonLabels& labels) {
  const std::string_view section = LabelSection(language);
  for (std::size_t i = 0; i < kLabelKeys.size(); ++i) {
    prefs.write(section, kLabelKeys[i], labels.texts[i]);
  }
}

void SaveSkinPreferences(IniDocument& prefs, int red, int green, int blue,
                         std::string_view skinName) {
  prefs.write(kSkinsSection, kRedKey, std::to_string(red));
  prefs.write(kSkinsSection, kGreenKey, std::to_string(green));
  prefs.write(kSkinsSection, kBlueKey, std::to_string(blue));
  prefs.write(kSkinsSection, kSkinPathKey, skinName);
}

std::array<std::uint8_t, 3> UiTextColorFrom(const Preferences& preferences) {
  return {ColorByte(preferences.redText), ColorByte(preferences.greenText),
          ColorByte(preferences.blueText)};
}

ButtonLabels FactoryButtonLabels(UiLanguage language) {
  // The menu texts of the first five functions (codes 0..4).
  constexpr std::array<UiText, 5> kClickTexts{
      UiText::kFunctionLeftClick, UiText::kFunctionRightClick, UiText::kFunctionMidClick,
      UiText::kFunctionForward, UiText::kFunctionBackward};
  ButtonLabels labels;
  for (int group = 0; group < kLabelGroupCount; ++group) {
    for (int button = 0; button < kLabelButtonCount; ++button) {
      std::string_view text;
      if (button <= 4) {
        text = UiTextFor(kClickTexts[static_cast<std::size_t>(button)], language);
      } else if (button == 5) {
        text = kDpiLoopLabel;
      } else if (button == 6) {
        text = UiTextFor(UiText::kFunctionTripleClick, language);  // its factory code is 5
      } else {
        text = UiTextFor(UiText::kFunctionKeyOff, language);
      }
      labels.texts[static_cast<std::size_t>(group * kLabelButtonCount + button)] = text;
    }
  }
  return labels;
}

}  // namespace vm31
