#include "core/text/text_table.h"

#include <gtest/gtest.h>

#include <string>

#include "core/text/dialog_texts.h"

namespace vm31 {
namespace {

constexpr UiLanguage kAllLanguages[] = {UiLanguage::kSimplifiedChinese,
                                        UiLanguage::kTraditionalChinese, UiLanguage::kEnglish};

TEST(UiLanguageFromCode, OnlyTheExactCodesSelectChinese) {
  struct Case {
    std::string_view code;
    UiLanguage expected;
  };
  const Case cases[] = {
      {"CHS", UiLanguage::kSimplifiedChinese},
      {"CHT", UiLanguage::kTraditionalChinese},
      {"chs", UiLanguage::kEnglish},
      {"cht", UiLanguage::kEnglish},
      {"", UiLanguage::kEnglish},
      {"EN", UiLanguage::kEnglish},
      {" CHS", UiLanguage::kEnglish},
      {"CHS ", UiLanguage::kEnglish},
      {"CH", UiLanguage::kEnglish},
      {"CHSX", UiLanguage::kEnglish},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UiLanguageFromCode(c.code), c.expected) << "code '" << c.code << "'";
  }
}

// Texts where a slip in copying is likely: trailing blanks, the curly apostrophe, columns that
// differ in length or wording, spellings kept as the program always had them.
TEST(UiTextTable, TextsThatAreEasyToGetWrong) {
  struct Case {
    UiText id;
    UiLanguage language;
    std::string_view expected;
  };
  const Case cases[] = {
      {UiText::kDpiStage1, UiLanguage::kEnglish, "Switch DPI into the first stage "},
      {UiText::kDpiStage4, UiLanguage::kEnglish, "Switch DPI into the fourth stage "},
      {UiText::kDpiStage2, UiLanguage::kSimplifiedChinese, "DPI切换到第二段"},
      {UiText::kDpiStage3, UiLanguage::kTraditionalChinese, "DPI切換到第三段"},
      {UiText::kStopWithoutRecording, UiLanguage::kEnglish,
       "It doesn\xE2\x80\x99t start recording, unnecessary to press Stop key!"},
      {UiText::kStopWithoutRecording, UiLanguage::kSimplifiedChinese,
       "没有开始录制,点击停止录制按钮没有意义！"},
      {UiText::kStopWithoutRecording, UiLanguage::kTraditionalChinese,
       "沒有開始錄製，點擊停止錄製按鈕沒有意義！"},
      {UiText::kLightSpeed, UiLanguage::kSimplifiedChinese, "速度:请调整灯光显示速度"},
      {UiText::kLightSpeed, UiLanguage::kTraditionalChinese, "速度"},
      {UiText::kLightBrightness, UiLanguage::kSimplifiedChinese, "亮度:请调整灯光显示亮度"},
      {UiText::kLightBrightness, UiLanguage::kTraditionalChinese, "亮度"},
      {UiText::kRgbEffectOff, UiLanguage::kEnglish, "Non-Disolay"},
      {UiText::kRecordEventsOption, UiLanguage::kEnglish, "Record Mouse Event"},
      {UiText::kRecordEventsOption, UiLanguage::kSimplifiedChinese, "只录制键盘事件"},
      {UiText::kKeyDefault, UiLanguage::kSimplifiedChinese, "按键恢复"},
      {UiText::kSystemDefault, UiLanguage::kSimplifiedChinese, "恢复默认"},
      {UiText::kFunctionComboKey, UiLanguage::kTraditionalChinese, "複合鍵"},
      {UiText::kFunctionTripleClick, UiLanguage::kEnglish, "Triple-click"},
      {UiText::kKeyMatrix1, UiLanguage::kTraditionalChinese, "切換到按鍵群組1"},
      {UiText::kRateSwitched1000Hz, UiLanguage::kEnglish, "Switch report rate into 1000HZ"},
      {UiText::kMouseDetected, UiLanguage::kEnglish, "The system detect the gaming mouse."},
      {UiText::kMouseNotDetected, UiLanguage::kTraditionalChinese, "系統沒有檢測到遊戲滑鼠！"},
      {UiText::kLeftKeyMustBeSelected, UiLanguage::kSimplifiedChinese, "左键功能必须选择！"},
      {UiText::kPreferenceSection, UiLanguage::kSimplifiedChinese, "Setting-CHS"},
      {UiText::kPreferenceSection, UiLanguage::kTraditionalChinese, "Setting-CHT"},
      {UiText::kPreferenceSection, UiLanguage::kEnglish, "Setting-EN"},
      {UiText::kBasicSettings, UiLanguage::kTraditionalChinese, "基本設置"},
      {UiText::kTrayExit, UiLanguage::kEnglish, "Exit"},
      {UiText::kWebAddress, UiLanguage::kSimplifiedChinese, "https://example.com/kor-vm31"},
      // Slots on both sides of each group boundary, where a swapped row would show.
      {UiText::kCancel, UiLanguage::kEnglish, "Cancel"},
      {UiText::kKeySetting, UiLanguage::kEnglish, "Key Setting"},
      {UiText::kDpiSetting, UiLanguage::kEnglish, "DPI Setting"},
      {UiText::kAuxiliaryLedSetting, UiLanguage::kEnglish, "Auxiliary LED Setting"},
      {UiText::kRgbFixedOn, UiLanguage::kEnglish, "RGB Fixed On"},
      {UiText::kMouseSpeed, UiLanguage::kEnglish, "Mouse Speed"},
      {UiText::kSystemDefault, UiLanguage::kEnglish, "Default"},
      {UiText::kMacroSetting, UiLanguage::kEnglish, "Macro Setting"},
      {UiText::kReportRateSwitch, UiLanguage::kEnglish, "Report Rate Switch"},
      {UiText::kRateSwitched125Hz, UiLanguage::kEnglish, "Switch report rate into 125HZ"},
      {UiText::kKeyMatrix4, UiLanguage::kSimplifiedChinese, "切换到按键组4"},
      {UiText::kSwitchToMacro, UiLanguage::kTraditionalChinese, "切換到巨集"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UiTextFor(c.id, c.language), c.expected)
        << "slot " << static_cast<int>(c.id) << ", language " << static_cast<int>(c.language);
  }
}

TEST(UiTextTable, EverySlotHasTextInEveryLanguageAndOnlyValidSlotsDo) {
  for (std::size_t i = 0; i < kUiTextCount; ++i) {
    for (UiLanguage language : kAllLanguages) {
      EXPECT_FALSE(UiTextFor(static_cast<UiText>(i), language).empty())
          << "slot " << i << ", language " << static_cast<int>(language);
    }
  }
  EXPECT_EQ(UiTextFor(static_cast<UiText>(kUiTextCount), UiLanguage::kEnglish), "");
  EXPECT_EQ(UiTextFor(static_cast<UiText>(-1), UiLanguage::kEnglish), "");
  // The web address is the one slot shared by every language.
  EXPECT_EQ(UiTextFor(UiText::kWebAddress, UiLanguage::kSimplifiedChinese),
            UiTextFor(UiText::kWebAddress, UiLanguage::kEnglish));
}

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

TEST(DialogTexts, LanguageDependentTexts) {
  struct Case {
    DialogText id;
    std::string_view chs, cht, english;
  };
  const Case cases[] = {
      {DialogText::kPopupOk, "确定", "確定", "OK"},
      {DialogText::kPopupCancel, "取消", "取消", "Cancel"},
      {DialogText::kSingleKeyPrompt, "请输入一个按键", "請輸入一個按鍵", "Please enter a key"},
      {DialogText::kFireTimesCaption, "次数", "次數", "Times"},
      {DialogText::kFireTimesExplanation, "次数(数值范围0-255，0表示按键放开火力键结束)",
       "次數(數值範圍0-255，0表示按鍵放開火力鍵結束)",
       "Times (value range 0-255,0 indicates fire key to end when the key released)"},
      {DialogText::kDelayRangeHint, "(数值范围 20-10000)", "(數值範圍 20-10000)",
       "(value range 20-10000)"},
      {DialogText::kMacroSelectPrompt, "请从列表框选择一个宏", "請從清單方塊選擇一個巨集",
       "Please select a macro"},
      {DialogText::kSkinsColorPrompt, "请点击设置UI文本颜色", "請點擊設置UI文本顏色",
       "Please click to set the UI text color"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.id));
    EXPECT_EQ(DialogTextFor(c.id, UiLanguage::kSimplifiedChinese), c.chs);
    EXPECT_EQ(DialogTextFor(c.id, UiLanguage::kTraditionalChinese), c.cht);
    EXPECT_EQ(DialogTextFor(c.id, UiLanguage::kEnglish), c.english);
  }
  for (std::size_t i = 0; i < kDialogTextCount; ++i) {
    for (UiLanguage language : kAllLanguages) {
      EXPECT_FALSE(DialogTextFor(static_cast<DialogText>(i), language).empty()) << i;
    }
  }
  EXPECT_EQ(DialogTextFor(static_cast<DialogText>(kDialogTextCount), UiLanguage::kEnglish), "");
}

TEST(DialogTexts, MacroPlayModesByOption) {
  EXPECT_EQ(MacroPlayModeText(1, UiLanguage::kEnglish),
            "Repeat a specified number of times or press any key to end");
  EXPECT_EQ(MacroPlayModeText(2, UiLanguage::kEnglish), "Repeat until press any key to end");
  EXPECT_EQ(MacroPlayModeText(3, UiLanguage::kEnglish), "Repeat until the key is released");
  EXPECT_EQ(MacroPlayModeText(3, UiLanguage::kSimplifiedChinese), "重复直到该按键松开结束");
  EXPECT_EQ(MacroPlayModeText(2, UiLanguage::kTraditionalChinese), "重复直到按任意键结束");
  EXPECT_EQ(MacroPlayModeText(0, UiLanguage::kEnglish), "");
  EXPECT_EQ(MacroPlayModeText(4, UiLanguage::kEnglish), "");
}

TEST(DialogTexts, MediaAndWindowsOptionsByIndex) {
  EXPECT_EQ(MediaOptionText(0, UiLanguage::kEnglish), "Next");
  EXPECT_EQ(MediaOptionText(3, UiLanguage::kTraditionalChinese), "播放/暫停");
  EXPECT_EQ(MediaOptionText(6, UiLanguage::kSimplifiedChinese), "音量-");
  EXPECT_EQ(MediaOptionText(7, UiLanguage::kEnglish), "");
  EXPECT_EQ(MediaOptionText(-1, UiLanguage::kEnglish), "");

  EXPECT_EQ(WindowsOptionText(0, UiLanguage::kSimplifiedChinese), "打开多媒体播放器");
  EXPECT_EQ(WindowsOptionText(10, UiLanguage::kTraditionalChinese), "瀏覽器-我的最愛");
  EXPECT_EQ(WindowsOptionText(10, UiLanguage::kSimplifiedChinese), "浏览器-收藏夹");
  EXPECT_EQ(WindowsOptionText(10, UiLanguage::kEnglish), "Browser-My Favorites");
  EXPECT_EQ(WindowsOptionText(11, UiLanguage::kEnglish), "");
}

TEST(DialogTexts, HookInstallErrorsCarryTheErrorNumber) {
  EXPECT_EQ(SingleKeyHookInstallError(5), "KeyboardHook_SingleDlgKey Install error code :5\n");
  EXPECT_EQ(ComboKeyHookInstallError(-2), "KeyboardHook_ComboDlg Install error code :-2\n");
}

}  // namespace
}  // namespace vm31
