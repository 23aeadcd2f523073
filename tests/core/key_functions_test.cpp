// The key-function table as its users read it: the menu texts, what AssignFunction stores for
// each function's dialog result, the caption and the key word that follow.

#include "core/keys/key_functions.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "core/keys/function_menu.h"

namespace vm31 {
namespace {

constexpr UiLanguage kAllLanguages[] = {UiLanguage::kSimplifiedChinese,
                                        UiLanguage::kTraditionalChinese, UiLanguage::kEnglish};

TEST(FunctionMenuText, CodesZeroToFifteenInCodeOrder) {
  struct Case {
    int code;
    std::string_view chs, cht, english;
  };
  const Case cases[] = {
      {0, "左键", "左鍵", "Left Click"},
      {4, "后退方向键", "後退方向鍵", "Backward"},
      {7, "RGB打开/关闭", "RGB打開/關閉", "RGB On/Off"},
      {10, "火力键", "火力鍵", "Fire Key"},
      {13, "宏", "巨集", "Macro Key"},
      {15, "按键关闭", "按鍵關閉", "Key Off"},
      {-1, "", "", ""},
      {16, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(FunctionMenuText(c.code, UiLanguage::kSimplifiedChinese), c.chs);
    EXPECT_EQ(FunctionMenuText(c.code, UiLanguage::kTraditionalChinese), c.cht);
    EXPECT_EQ(FunctionMenuText(c.code, UiLanguage::kEnglish), c.english);
  }
}

TEST(FunctionMenuText, EveryCodeHasItsOwnEntryInEveryLanguage) {
  for (UiLanguage language : kAllLanguages) {
    std::set<std::string_view> texts;
    for (int code = 0; code < kFunctionMenuCount; ++code) {
      const std::string_view text = FunctionMenuText(code, language);
      EXPECT_FALSE(text.empty()) << "code " << code;
      EXPECT_TRUE(texts.insert(text).second) << "code " << code << " repeats " << text;
    }
  }
}

// What each kind of dialog gives back with OK, as the dialog runner fills it in, and how the
// caption it leads to ends.
struct DialogResult {
  FunctionDialog dialog;
  FunctionParameters result;
  std::string captionEnd;
};

const DialogResult kDialogResults[] = {
    {FunctionDialog::kWindowsList, {.position = 2, .entryText = "Calculator"}, "Calculator"},
    {FunctionDialog::kMediaList, {.position = 4, .entryText = "Mute"}, "-Mute"},
    {FunctionDialog::kFireKey,
     {.position = 2, .entryText = "C", .fireSpeed = 30, .fireCount = 5},
     "-C"},
    {FunctionDialog::kSingleKey, {.keyName = "Esc"}, "-Esc"},
    {FunctionDialog::kComboKey,
     {.keyName = "C", .modifierName = "Left Ctrl", .keyName2 = "B"},
     "-Left Ctrl+C+B"},
    {FunctionDialog::kMacro, {.position = 3, .entryText = "Reload", .macroPlayMode = 2}, "-Reload"},
};

const DialogResult* ResultOf(FunctionDialog dialog) {
  for (const DialogResult& result : kDialogResults) {
    if (result.dialog == dialog) return &result;
  }
  return nullptr;
}

constexpr std::uint8_t kCanary = 0xAA;
constexpr int kButton = 2;
constexpr int kGroup = 0;

// Every function assigned through the menu with its dialog's result, over a button whose
// attributes all hold a canary: the attributes its row names take values from that result (none
// is left over, none is zero as a field the dialog does not give would be), no other attribute
// changes, the key word carries nothing left over and the caption takes the dialog's text.
TEST(KeyFunctions, EachFunctionStoresWhatItsDialogGives) {
  for (const KeyFunctionRow& row : KeyFunctionTable()) {
    const int code = static_cast<int>(row.function);
    SCOPED_TRACE("function " + std::to_string(code));
    MouseConfig config = FactoryConfig();
    for (int a = 1; a < kKeyAttributeCount; ++a) {
      config.setKeyAttribute(kGroup, static_cast<KeyAttribute>(a), kButton, kCanary);
    }
    const MouseConfig before = config;
    ButtonLabels labels = FactoryButtonLabels(UiLanguage::kEnglish);
    const DialogResult* dialog = ResultOf(row.dialog);
    EXPECT_EQ(FunctionNeedsDialog(code), row.dialog != FunctionDialog::kNone);
    ASSERT_EQ(dialog != nullptr, row.dialog != FunctionDialog::kNone);
    if (dialog != nullptr) {
      EXPECT_EQ(
          AssignFunction(config, labels, kButton, kGroup, code, std::nullopt, UiLanguage::kEnglish),
          AssignOutcome::kUnchanged);
      EXPECT_EQ(config, before);
    }
    const AssignOutcome outcome =
        AssignFunction(config, labels, kButton, kGroup, code,
                       dialog ? std::optional(dialog->result) : std::nullopt, UiLanguage::kEnglish);
    if (row.function == KeyFunction::kDpiSwitch) {  // chosen in its cascade instead
      EXPECT_EQ(outcome, AssignOutcome::kListStays);
      continue;
    }
    ASSERT_EQ(outcome, AssignOutcome::kAssigned);
    EXPECT_EQ(config.keyFunction(kGroup, kButton), code);
    for (int a = 1; a < kKeyAttributeCount; ++a) {
      const auto attribute = static_cast<KeyAttribute>(a);
      const std::uint8_t value = config.keyAttribute(kGroup, attribute, kButton);
      if (row.attributes.contains(attribute)) {
        EXPECT_NE(value, kCanary) << "attribute " << a << " not filled";
        EXPECT_NE(value, 0) << "attribute " << a << " has no source in the dialog's result";
      } else {
        EXPECT_EQ(value, kCanary) << "attribute " << a << " changed";
      }
    }
    for (const std::uint8_t byte : EncodeKeyAction(config, kGroup, kButton).bytes()) {
      EXPECT_NE(byte, kCanary) << FormatKeyAction(EncodeKeyAction(config, kGroup, kButton));
    }
    const std::string& caption = labels.texts[static_cast<std::size_t>(kButton)];
    if (dialog == nullptr) {
      EXPECT_EQ(caption, FunctionMenuText(code, UiLanguage::kEnglish));
    } else {
      EXPECT_TRUE(caption.ends_with(dialog->captionEnd)) << caption;
    }
  }
}

}  // namespace
}  // namespace vm31
