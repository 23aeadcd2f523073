// The key-function rules: what each function-list entry stores and which caption it gives, the
// Shift coupling of the two groups, cancelled dialogs, the DPI-switch cascade and the guard that
// keeps a left button.

#include "core/keys/function_menu.h"

#include <gtest/gtest.h>

#include "core/keys/key_encoding.h"
#include "core/keys/key_tables.h"
#include "core/text/dialog_texts.h"

namespace vm31 {
namespace {

struct Fixture {
  MouseConfig config = FactoryConfig();
  ButtonLabels labels = FactoryButtonLabels(UiLanguage::kEnglish);
  std::uint8_t attr(int group, KeyAttribute a, int button) const {
    return config.keyAttribute(group, a, button);
  }
  const std::string& label(int group, int button) const {
    return labels.texts[static_cast<std::size_t>(group * 12 + button)];
  }
  AssignOutcome assign(int button, int group, int function,
                       std::optional<FunctionParameters> p = std::nullopt) {
    return AssignFunction(config, labels, button, group, function, p, UiLanguage::kEnglish);
  }
};

TEST(FunctionMenu, DialogResultsStoreTheirAttributesAndCaption) {
  struct Case {
    int function;
    FunctionParameters p;
    std::string label;
    std::vector<std::pair<KeyAttribute, int>> attributes;
  };
  const std::vector<Case> cases = {
      {9,
       {.position = 4, .entryText = "Mute"},
       "Multimedia-Mute",
       {{KeyAttribute::kMediaIndex, 4}, {KeyAttribute::kMediaCode, 0xE2}}},
      {8,
       {.position = 2, .entryText = "Calculator"},
       "Calculator",
       {{KeyAttribute::kWindowsIndex, 2}, {KeyAttribute::kWindowsClass, 1}}},
      {10,
       {.position = 2, .entryText = "C", .fireSpeed = 30, .fireCount = 5},
       "Fire Key-C",
       {{KeyAttribute::kFireIndex, 2},
        {KeyAttribute::kFireKey, 0x06},
        {KeyAttribute::kFireSpeed, 30},
        {KeyAttribute::kFireCount, 5}}},
      {11, {.keyName = "Esc"}, "Single Key-Esc", {{KeyAttribute::kSingleKey, 0x29}}},
      {12,
       {.keyName = "C", .modifierName = "Left Ctrl"},
       "Combo Key-Left Ctrl+C",
       {{KeyAttribute::kComboModifiers, 0x01},
        {KeyAttribute::kComboKey1, 0x06},
        {KeyAttribute::kComboKey2, 0}}},
      {12,
       {.keyName = "A", .modifierName = "", .keyName2 = "B"},
       "Combo Key-A+B",
       {{KeyAttribute::kComboModifiers, 0}, {KeyAttribute::kComboKey2, 0x05}}},
      {13,
       {.position = 3, .entryText = "Reload", .macroPlayMode = 2},
       "Macro Key-Reload",
       {{KeyAttribute::kMacroIndex, 3}, {KeyAttribute::kMacroMode, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Fixture f;
    EXPECT_EQ(f.assign(2, 1, c.function, c.p), AssignOutcome::kAssigned);
    EXPECT_EQ(f.attr(1, KeyAttribute::kKeyFunction, 2), c.function);
    EXPECT_EQ(f.label(1, 2), c.label);
    EXPECT_EQ(f.label(0, 2), "Mid Click");  // the other group keeps its own
    for (const auto& [attribute, value] : c.attributes) {
      EXPECT_EQ(f.attr(1, attribute, 2), value) << static_cast<int>(attribute);
    }
  }
}

TEST(FunctionMenu, TheCombinationReachesTheKeyWord) {
  Fixture f;
  f.assign(2, 0, 12, FunctionParameters{.keyName = "C", .modifierName = "Left Ctrl"});
  EXPECT_EQ(EncodeKeyAction(f.config, 0, 2), (KeyAction{0x00, 0x01, 0x06, 0x00}));
}

TEST(FunctionMenu, DirectEntriesTakeTheirMenuText) {
  Fixture f;
  EXPECT_EQ(f.assign(3, 0, 7), AssignOutcome::kAssigned);
  EXPECT_EQ(f.label(0, 3), "RGB On/Off");
  EXPECT_EQ(f.attr(0, KeyAttribute::kKeyFunction, 3), 7);
}

TEST(FunctionMenu, NothingSelectedOrDpiSwitchLeaveTheListOpen) {
  Fixture f;
  const MouseConfig before = f.config;
  EXPECT_EQ(f.assign(1, 0, -1), AssignOutcome::kListStays);
  EXPECT_EQ(f.assign(1, 0, 6), AssignOutcome::kListStays);
  EXPECT_EQ(f.config, before);
}

TEST(FunctionMenu, ACancelledDialogChangesNothing) {
  Fixture f;
  const MouseConfig before = f.config;
  const ButtonLabels labelsBefore = f.labels;
  for (int function = 8; function <= 13; ++function) {
    EXPECT_EQ(f.assign(1, 0, function), AssignOutcome::kUnchanged) << function;
  }
  // A macro key confirmed without a macro chosen is no choice either.
  EXPECT_EQ(f.assign(1, 0, 13, FunctionParameters{}), AssignOutcome::kUnchanged);
  EXPECT_EQ(f.config, before);
  EXPECT_EQ(f.labels, labelsBefore);
}

TEST(FunctionMenu, ShiftGoesToBothGroupsOnceAndCouplesTheNextChoice) {
  Fixture f;
  EXPECT_EQ(f.assign(2, 0, 14), AssignOutcome::kAssigned);
  EXPECT_EQ(f.attr(1, KeyAttribute::kKeyFunction, 2), 14);
  EXPECT_EQ(f.label(1, 2), "Shift");
  // A second Shift in buttons 0..7 of the group is refused.
  const MouseConfig before = f.config;
  EXPECT_EQ(f.assign(6, 0, 14), AssignOutcome::kUnchanged);
  EXPECT_EQ(f.config, before);
  // Leaving Shift in either group leaves it in both, with the same caption.
  EXPECT_EQ(f.assign(2, 1, 15), AssignOutcome::kAssigned);
  EXPECT_EQ(f.attr(0, KeyAttribute::kKeyFunction, 2), 15);
  EXPECT_EQ(f.attr(1, KeyAttribute::kKeyFunction, 2), 15);
  EXPECT_EQ(f.label(0, 2), "Key Off");
  EXPECT_EQ(f.label(1, 2), "Key Off");
}

TEST(FunctionMenu, AShiftPastTheEighthButtonDoesNotBlock) {
  Fixture f;
  f.config.setKeyAttribute(0, KeyAttribute::kKeyFunction, 9, 14);
  EXPECT_EQ(f.assign(2, 0, 14), AssignOutcome::kAssigned);
}

TEST(FunctionMenu, DpiCascadeStoresTheOperation) {
  Fixture f;
  ASSERT_TRUE(AssignDpiStage(f.config, f.labels, 4, 1, 0));
  EXPECT_EQ(f.attr(1, KeyAttribute::kKeyFunction, 4), 6);
  EXPECT_EQ(f.config.dpiSwitchStage(1, 4), 1);
  EXPECT_EQ(f.label(1, 4), "DPI +");
  EXPECT_EQ(EncodeKeyAction(f.config, 1, 4), (KeyAction{0x07, 0x00, 0x01, 0x00}));
  EXPECT_FALSE(AssignDpiStage(f.config, f.labels, 4, 1, 4));
}

TEST(FunctionMenu, LeftButtonGuard) {
  Fixture f;  // only button 0 is a left click
  EXPECT_TRUE(LeftButtonGuardBlocks(f.config, 0, 0));
  EXPECT_FALSE(LeftButtonGuardBlocks(f.config, 0, 1));
  f.config.setKeyAttribute(0, KeyAttribute::kKeyFunction, 3, 0);
  EXPECT_FALSE(LeftButtonGuardBlocks(f.config, 0, 0));
  EXPECT_FALSE(LeftButtonGuardBlocks(f.config, 0, 3));
  f.config.setKeyAttribute(0, KeyAttribute::kKeyFunction, 3, 1);
  EXPECT_TRUE(LeftButtonGuardBlocks(f.config, 0, 0));
  EXPECT_FALSE(LeftButtonGuardBlocks(f.config, 5, 0));  // outside the record
}

// A caption derived from the record is the one choosing the stored function wrote, in every
// language: the dialog's entry texts, key and modifier names, the macro's name in record.ini.
TEST(StoredFunctionLabel, EqualsTheCaptionChoosingTheFunctionWrote) {
  const std::vector<std::string> macroNames{"Alpha", "Dash"};
  for (const UiLanguage language :
       {UiLanguage::kSimplifiedChinese, UiLanguage::kTraditionalChinese, UiLanguage::kEnglish}) {
    struct Case {
      int function;
      FunctionParameters p;
    };
    const std::vector<Case> cases = {
        {5, {}},
        {7, {}},
        {8, {.position = 2, .entryText = std::string(WindowsOptionText(2, language))}},
        {9, {.position = 4, .entryText = std::string(MediaOptionText(4, language))}},
        {10,
         {.position = 2,
          .entryText = std::string(FireKeyNames()[2]),
          .fireSpeed = 30,
          .fireCount = 5}},
        {11, {.keyName = "Esc"}},
        {12, {.keyName = "C", .modifierName = "Left Ctrl"}},
        {12, {.keyName = "C"}},
        {12, {.keyName = "A", .keyName2 = "B"}},
        {13, {.position = 1, .entryText = "Dash", .macroPlayMode = 2}},
        {14, {}},
        {15, {}},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(language) << " function " << c.function
                                      << " " << c.p.keyName);
      MouseConfig config = FactoryConfig();
      ButtonLabels labels;
      ASSERT_EQ(AssignFunction(config, labels, 3, 1, c.function, c.p, language),
                AssignOutcome::kAssigned);
      EXPECT_FALSE(labels.texts[12 + 3].empty());
      EXPECT_EQ(StoredFunctionLabel(config, 1, 3, macroNames, language), labels.texts[12 + 3]);
    }
    for (int position = 0; position < 4; ++position) {
      MouseConfig config = FactoryConfig();
      ButtonLabels labels;
      ASSERT_TRUE(AssignDpiStage(config, labels, 3, 0, position));
      EXPECT_EQ(StoredFunctionLabel(config, 0, 3, macroNames, language), labels.texts[3]);
    }
  }

  MouseConfig config = FactoryConfig();
  ButtonLabels labels;
  ASSERT_EQ(AssignFunction(config, labels, 2, 0, 12, FunctionParameters{.keyName = "C"},
                           UiLanguage::kSimplifiedChinese),
            AssignOutcome::kAssigned);
  ASSERT_EQ(
      AssignFunction(config, labels, 4, 0, 13,
                     FunctionParameters{.position = 1, .entryText = "Dash"}, UiLanguage::kEnglish),
      AssignOutcome::kAssigned);
  EXPECT_EQ(StoredFunctionLabel(config, 0, 2, macroNames, UiLanguage::kSimplifiedChinese),
            "组合键-C");
  EXPECT_EQ(StoredFunctionLabel(config, 0, 4, macroNames, UiLanguage::kEnglish), "Macro Key-Dash");
  // A macro record.ini no longer lists, and a code outside the table.
  EXPECT_EQ(StoredFunctionLabel(config, 0, 4, {}, UiLanguage::kEnglish), "Macro Key-");
  config.setKeyAttribute(0, KeyAttribute::kKeyFunction, 5, 16);
  EXPECT_EQ(StoredFunctionLabel(config, 0, 5, macroNames, UiLanguage::kEnglish), "");
}

TEST(StoredFunctionLabel, FillsOnlyEmptyCaptions) {
  const MouseConfig config = FactoryConfig();
  ButtonLabels labels;
  labels.texts[0] = "Shoot";
  EXPECT_TRUE(FillMissingLabels(config, labels, {}, UiLanguage::kTraditionalChinese));
  EXPECT_EQ(labels.texts[0], "Shoot");
  EXPECT_EQ(labels.texts[1], "右鍵");
  EXPECT_EQ(labels.texts[12 + 5], "DPI Loop");
  EXPECT_EQ(labels.texts[12 + 6], "三連發");
  EXPECT_EQ(labels.texts[12 + 11], "按鍵關閉");
  const ButtonLabels filled = labels;
  EXPECT_FALSE(FillMissingLabels(config, labels, {}, UiLanguage::kEnglish));
  EXPECT_EQ(labels, filled);
}

}  // namespace
}  // namespace vm31
