#include "core/settings/preferences.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "core/util/text.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using vm31::testing::TempFolder;

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

IniDocument LoadFile(const std::filesystem::path& path) {
  auto document = IniDocument::Load(path);
  EXPECT_TRUE(document.ok()) << (document.ok() ? "" : document.error().message);
  return document.ok() ? std::move(document).value() : IniDocument{};
}

void SaveFile(const IniDocument& document, const std::filesystem::path& path) {
  const Status saved = document.Save(path);
  ASSERT_TRUE(saved.ok()) << saved.error().message;
}

// The text of the lines from "[section]" up to the next section header, as stored.
std::string SectionText(const std::string& file, const std::string& section) {
  const std::size_t start = file.find("[" + section + "]");
  if (start == std::string::npos) return {};
  const std::size_t next = file.find("\n[", start);
  return file.substr(start, next == std::string::npos ? std::string::npos : next + 1 - start);
}

// The key names of a section's "key=value" lines, in file order.
std::vector<std::string> SectionKeys(const std::string& file, const std::string& section) {
  std::vector<std::string> keys;
  std::istringstream lines(SectionText(file, section));
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) keys.push_back(line.substr(0, equals));
  }
  return keys;
}

// Captions that differ from each other and from every factory text, some of them Chinese.
ButtonLabels DistinctLabels(std::string_view prefix) {
  ButtonLabels labels;
  for (int i = 0; i < kButtonLabelCount; ++i) {
    labels.texts[static_cast<std::size_t>(i)] =
        std::string(prefix) + (i % 3 == 0 ? "单键-A" : "Single Key-F") + std::to_string(i);
  }
  return labels;
}

TEST(LabelKey, GroupOneKeysAppendThreeToTheGroupZeroKey) {
  struct Case {
    int group, button;
    std::string_view expected;
  };
  const Case cases[] = {
      {0, 0, "Item1"},  {0, 9, "Item10"},  {0, 11, "Item12"},  {1, 0, "Item13"},
      {1, 1, "Item23"}, {1, 9, "Item103"}, {1, 11, "Item123"}, {2, 0, ""},
      {-1, 0, ""},      {0, 12, ""},       {0, -1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LabelKey(c.group, c.button), c.expected) << c.group << "/" << c.button;
  }
}

TEST(LabelSection, OnePerLanguage) {
  EXPECT_EQ(LabelSection(UiLanguage::kSimplifiedChinese), "Setting-CHS");
  EXPECT_EQ(LabelSection(UiLanguage::kTraditionalChinese), "Setting-CHT");
  EXPECT_EQ(LabelSection(UiLanguage::kEnglish), "Setting-EN");
}

TEST(Preferences, LabelsRoundTripThroughTheFileInKeyOrder) {
  TempFolder folder;
  const auto path = folder / "str.ini";
  const ButtonLabels labels = DistinctLabels("");

  IniDocument document = LoadFile(path);  // no file yet
  SaveLabels(document, UiLanguage::kEnglish, labels);
  SaveFile(document, path);

  const std::vector<std::string> expectedKeys{
      "Item1",  "Item2",  "Item3",  "Item4",  "Item5",  "Item6",   "Item7",   "Item8",
      "Item9",  "Item10", "Item11", "Item12", "Item13", "Item23",  "Item33",  "Item43",
      "Item53", "Item63", "Item73", "Item83", "Item93", "Item103", "Item113", "Item123"};
  EXPECT_EQ(SectionKeys(ReadText(path), "Setting-EN"), expectedKeys);

  const Preferences loaded = LoadPreferences(LoadFile(path));
  EXPECT_EQ(loaded.language, UiLanguage::kEnglish);
  EXPECT_EQ(loaded.labels, labels);
  // Group 1's first caption is under "Item13", not the thirteenth of group 0.
  EXPECT_EQ(LoadFile(path).read("Setting-EN", "Item13"), labels.texts[12]);
}

TEST(Preferences, EachLanguageKeepsItsOwnCaptions) {
  TempFolder folder;
  const auto path = folder / "str.ini";
  const std::string chsSection = "[Setting-CHS]\r\nItem1=左键\r\nItem2=右键\r\nItem13=宏-Boss\r\n";
  WriteText(path, "[Skins]\r\nLan=CHT\r\nPath=Dark\r\n" + chsSection);

  Preferences preferences = LoadPreferences(LoadFile(path));
  EXPECT_EQ(preferences.languageCode, "CHT");
  EXPECT_EQ(preferences.language, UiLanguage::kTraditionalChinese);
  EXPECT_EQ(preferences.labels, ButtonLabels{}) << "no Setting-CHT captions yet";

  IniDocument document = LoadFile(path);
  const ButtonLabels chtLabels = DistinctLabels("T");
  SaveLabels(document, preferences.language, chtLabels);
  SaveFile(document, path);
  const std::string file = ReadText(path);
  EXPECT_EQ(SectionText(file, "Setting-CHS"), chsSection) << "Setting-CHS is left as it was";
  EXPECT_EQ(LoadPreferences(LoadFile(path)).labels, chtLabels);

  // The user switches the file to CHS: the captions of that language come back.
  document = LoadFile(path);
  document.write("Skins", "Lan", "CHS");
  SaveFile(document, path);
  preferences = LoadPreferences(LoadFile(path));
  EXPECT_EQ(preferences.language, UiLanguage::kSimplifiedChinese);
  EXPECT_EQ(preferences.labels.texts[0], "左键");
  EXPECT_EQ(preferences.labels.texts[1], "右键");
  EXPECT_EQ(preferences.labels.texts[12], "宏-Boss");
  EXPECT_EQ(preferences.labels.texts[2], "");
}

TEST(Preferences, ValuesAreCutTo1023Characters) {
  TempFolder folder;
  const auto path = folder / "str.ini";
  std::string longLabel;
  for (int i = 0; i < 1500; ++i) longLabel += "键";  // three bytes each
  const std::string longPath(2000, 'p');
  WriteText(path, "[Skins]\nPath=" + longPath + "\n[Setting-EN]\nItem5=" + longLabel + "\n");

  const Preferences preferences = LoadPreferences(LoadFile(path));
  EXPECT_EQ(preferences.labels.texts[4], TruncateCharacters(longLabel, 1023));
  EXPECT_EQ(preferences.labels.texts[4].size(), 1023u * 3u);
  EXPECT_EQ(preferences.skinName, std::string(1023, 'p'));
}

TEST(Preferences, MissingFileOrKeysGiveEnglishBlackAndEmpty) {
  TempFolder folder;
  const auto missing = folder / "str.ini";
  const auto sparse = folder / "sparse.ini";
  WriteText(sparse, "[Skins]\nRColor=\n[Setting-EN]\nItem7=Key Off\n");

  for (const auto& path : {missing, sparse}) {
    SCOPED_TRACE(path.filename().generic_string());
    const Preferences preferences = LoadPreferences(LoadFile(path));
    EXPECT_EQ(preferences.languageCode, "");
    EXPECT_EQ(preferences.language, UiLanguage::kEnglish);
    EXPECT_EQ(preferences.skinName, "");
    EXPECT_EQ(UiTextColorFrom(preferences), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(preferences.labels.texts[0], "");
  }
  EXPECT_EQ(LoadPreferences(LoadFile(sparse)).labels.texts[6], "Key Off");
  EXPECT_FALSE(std::filesystem::exists(missing)) << "reading never creates the file";
}

TEST(UiLanguageFromLocale, ChineseTerritoriesChooseTheirScriptEverythingElseEnglish) {
  struct Case {
    LocaleEnvironment environment;
    UiLanguage expected;
  };
  const Case cases[] = {
      {{.lang = "zh_CN.UTF-8"}, UiLanguage::kSimplifiedChinese},
      {{.lang = "zh_SG"}, UiLanguage::kSimplifiedChinese},
      {{.lang = "zh_CN.GB18030@pinyin"}, UiLanguage::kSimplifiedChinese},
      {{.lang = "zh_TW.UTF-8"}, UiLanguage::kTraditionalChinese},
      {{.lang = "zh_HK.UTF-8"}, UiLanguage::kTraditionalChinese},
      {{.lang = "zh_MO"}, UiLanguage::kTraditionalChinese},
      {{.lang = "de_DE.UTF-8"}, UiLanguage::kEnglish},
      {{.lang = "zh_CNX"}, UiLanguage::kEnglish},
      {{.lang = "C.UTF-8"}, UiLanguage::kEnglish},
      {{}, UiLanguage::kEnglish},
      // LC_ALL before LC_MESSAGES before LANG; an empty variable counts as unset.
      {{.lcAll = "zh_TW.UTF-8", .lcMessages = "zh_CN.UTF-8", .lang = "de_DE.UTF-8"},
       UiLanguage::kTraditionalChinese},
      {{.lcAll = "", .lcMessages = "zh_CN.UTF-8", .lang = "zh_TW.UTF-8"},
       UiLanguage::kSimplifiedChinese},
      {{.lcAll = "de_DE.UTF-8", .lang = "zh_CN.UTF-8"}, UiLanguage::kEnglish},
      {{.lcMessages = "", .lang = "zh_HK.UTF-8"}, UiLanguage::kTraditionalChinese},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.environment.lcAll.value_or("-") + " " + c.environment.lcMessages.value_or("-") +
                 " " + c.environment.lang.value_or("-"));
    EXPECT_EQ(UiLanguageFromLocale(c.environment), c.expected);
  }
}

TEST(Preferences, WithoutLanTheLocaleLanguageChoosesWithLanTheFileWins) {
  struct Case {
    std::optional<std::string> lan;  // nullopt: no "Lan" line
    UiLanguage locale;
    UiLanguage expected;
    std::string firstLabel;
  };
  const Case cases[] = {
      {std::nullopt, UiLanguage::kSimplifiedChinese, UiLanguage::kSimplifiedChinese, "左键"},
      {std::nullopt, UiLanguage::kTraditionalChinese, UiLanguage::kTraditionalChinese, "左鍵"},
      {std::nullopt, UiLanguage::kEnglish, UiLanguage::kEnglish, "Left Click"},
      {"", UiLanguage::kTraditionalChinese, UiLanguage::kTraditionalChinese, "左鍵"},
      {"CHS", UiLanguage::kTraditionalChinese, UiLanguage::kSimplifiedChinese, "左键"},
      {"EN", UiLanguage::kSimplifiedChinese, UiLanguage::kEnglish, "Left Click"},
      {"chs", UiLanguage::kSimplifiedChinese, UiLanguage::kEnglish, "Left Click"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lan.value_or("(none)"));
    IniDocument document;
    if (c.lan) document.write("Skins", "Lan", *c.lan);
    document.write("Setting-CHS", "Item1", "左键");
    document.write("Setting-CHT", "Item1", "左鍵");
    document.write("Setting-EN", "Item1", "Left Click");
    const Preferences preferences = LoadPreferences(document, c.locale);
    EXPECT_EQ(preferences.language, c.expected);
    EXPECT_EQ(preferences.languageCode, c.lan.value_or(""));
    EXPECT_EQ(preferences.labels.texts[0], c.firstLabel);
  }
}

TEST(Preferences, LowerCaseLanguageCodeIsEnglish) {
  IniDocument document;
  document.write("Skins", "Lan", "chs");
  document.write("Setting-CHS", "Item1", "左键");
  document.write("Setting-EN", "Item1", "Left Click");
  const Preferences preferences = LoadPreferences(document);
  EXPECT_EQ(preferences.languageCode, "chs");
  EXPECT_EQ(preferences.language, UiLanguage::kEnglish);
  EXPECT_EQ(preferences.labels.texts[0], "Left Click");
}

// The colour has always been taken as the number's lowest byte; values outside 0..255 wrap
// rather than clamp, so a hand-edited "300" gives 44 and "-5" gives 251.
TEST(UiTextColorFrom, EachTextIsALeadingIntegerKeptAsOneByte) {
  struct Case {
    std::string text;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {"0", 0},     {"255", 255},         {"128", 128}, {"300", 44},   {"256", 0}, {"-5", 251},
      {" -5", 251}, {"  42", 42},         {"+7", 7},    {"12abc", 12}, {"abc", 0}, {"", 0},
      {"-1", 255},  {"99999999999", 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.text + "'");
    Preferences preferences;
    preferences.redText = c.text;
    preferences.greenText = "1";
    preferences.blueText = c.text;
    EXPECT_EQ(UiTextColorFrom(preferences),
              (std::array<std::uint8_t, 3>{c.expected, 1, c.expected}));
  }
}

TEST(Preferences, SkinPreferencesRoundTripAsDecimalText) {
  TempFolder folder;
  const auto path = folder / "str.ini";
  WriteText(path, "[Skins]\r\nLan=CHS\r\nPath=Old\r\n");

  IniDocument document = LoadFile(path);
  SaveSkinPreferences(document, 255, 0, 17, "Blue Steel");
  SaveFile(document, path);

  const IniDocument reread = LoadFile(path);
  EXPECT_EQ(reread.read("Skins", "RColor"), "255");
  EXPECT_EQ(reread.read("Skins", "GColor"), "0");
  EXPECT_EQ(reread.read("Skins", "BColor"), "17");
  EXPECT_EQ(reread.read("Skins", "Lan"), "CHS") << "the language is never written";
  const Preferences preferences = LoadPreferences(reread);
  EXPECT_EQ(preferences.skinName, "Blue Steel");
  EXPECT_EQ(UiTextColorFrom(preferences), (std::array<std::uint8_t, 3>{255, 0, 17}));
}

TEST(Preferences, ReloadLabelsKeepsTheLanguageAndRereadsTheRest) {
  IniDocument document;
  document.write("Skins", "Lan", "CHT");
  document.write("Setting-CHT", "Item1", "左鍵");
  Preferences preferences = LoadPreferences(document);
  preferences.labels.texts[0] = "edited, then cancelled";

  document.write("Skins", "Lan", "CHS");  // read once at start only
  document.write("Skins", "RColor", "10");
  document.write("Skins", "Path", "Red");
  ReloadLabels(document, preferences);

  EXPECT_EQ(preferences.languageCode, "CHT");
  EXPECT_EQ(preferences.language, UiLanguage::kTraditionalChinese);
  EXPECT_EQ(preferences.labels.texts[0], "左鍵");
  EXPECT_EQ(preferences.redText, "10");
  EXPECT_EQ(preferences.skinName, "Red");
}

TEST(Preferences, ALineBreakInACaptionCannotAddKeys) {
  IniDocument document;
  ButtonLabels labels;
  labels.texts[0] = "Macro Key-A\nItem2=injected";
  SaveLabels(document, UiLanguage::kEnglish, labels);
  const IniDocument reread = IniDocument::Parse(document.Serialize());
  EXPECT_EQ(reread.read("Setting-EN", "Item2"), "");
  EXPECT_NE(reread.read("Setting-EN", "Item1").find("Macro Key-A"), std::string::npos);
}

// Each caption names the button's factory function; button 7 holds Triple-click (code 5).
TEST(FactoryButtonLabels, SameForBothGroupsInTheLanguage) {
  const std::array<std::string_view, 12> english{
      "Left Click",   "Right Click", "Mid Click", "Forward", "Backward", "DPI Loop",
      "Triple-click", "Key Off",     "Key Off",   "Key Off", "Key Off",  "Key Off"};
  const std::array<std::string_view, 12> traditional{
      "左鍵",   "右鍵",     "中鍵",     "前進方向鍵", "後退方向鍵", "DPI Loop",
      "三連發", "按鍵關閉", "按鍵關閉", "按鍵關閉",   "按鍵關閉",   "按鍵關閉"};
  const ButtonLabels englishLabels = FactoryButtonLabels(UiLanguage::kEnglish);
  const ButtonLabels traditionalLabels = FactoryButtonLabels(UiLanguage::kTraditionalChinese);
  for (std::size_t i = 0; i < 24; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(englishLabels.texts[i], english[i % 12]);
    EXPECT_EQ(traditionalLabels.texts[i], traditional[i % 12]);
  }
  EXPECT_EQ(FactoryButtonLabels(UiLanguage::kSimplifiedChinese).texts[4], "后退方向键");
  EXPECT_EQ(FactoryButtonLabels(UiLanguage::kSimplifiedChinese).texts[6], "三连发");
}

}  // namespace
}  // namespace vm31
