#include "core/text/text_table.h"

#include <array>

namespace vm31 {
namespace {

struct UiTextRow {
  UiText id;
  std::string_view chs;
  std::string_view cht;
  std::string_view english;
};

constexpr std::string_view kWebAddressText = "https://example.com/kor-vm31";

constexpr std::array<UiTextRow, kUiTextCount> kUiTextTable{{
    {UiText::kBasicSettings, "基本设置", "基本設置", "Basic Settings"},
    {UiText::kAdvancedSettings, "高级设置", "高級設置", "Advanced Settings"},
    {UiText::kColorSetting, "颜色设置", "顏色設置", "Color Setting"},
    {UiText::kOk, "确定", "確定", "OK"},
    {UiText::kApply, "应用", "應用", "Apply"},
    {UiText::kCancel, "取消", "取消", "Cancel"},

    {UiText::kKeySetting, "按键设置", "按鍵設置", "Key Setting"},
    {UiText::kKeyDefault, "按键恢复", "按鍵恢復", "Default"},
    {UiText::kKeyConfiguration1, "按键配置1", "按鍵配置1", "Key Configuration 1"},
    {UiText::kKeyConfiguration2, "按键配置2", "按鍵配置2", "Key Configuration 2"},
    {UiText::kKeyConfiguration3, "按键配置3", "按鍵配置3", "Key Configuration 3"},
    {UiText::kKeyConfiguration4, "按键配置4", "按鍵配置4", "Key Configuration 4"},
    {UiText::kReportRateSetting, "报告率设置", "報告率設置", "Report Rate Setting"},
    {UiText::kDpiSetting, "DPI设置", "DPI設置", "DPI Setting"},

    {UiText::kAuxiliaryLedSetting, "辅灯设置", "輔燈設置", "Auxiliary LED Setting"},
    {UiText::kAsRespirationLed, "设为呼吸灯", "設為呼吸燈", "As Respiration LED"},
    {UiText::kAsHeartBeatLed, "设为心跳灯", "設為心跳燈", "As Heart Beat LED"},
    {UiText::kAsKeyGroupSwitchLed, "设为按键组切换灯", "設為按鍵群組切換燈",
     "As Key Group Switch LED"},
    {UiText::kDpiEffect, "DPI显示特效", "DPI顯示特效", "DPI Effect"},
    {UiText::kLightMode, "模式", "模式", "Mode"},
    {UiText::kLightParameter, "参数", "參數", "Parameter"},
    {UiText::kLightSpeed, "速度:请调整灯光显示速度", "速度", "Speed"},
    {UiText::kLightBrightness, "亮度:请调整灯光显示亮度", "亮度", "Brightness"},
    {UiText::kLightEffect, "效果", "效果", "Effect"},
    {UiText::kLightModeOff, "关闭模式", "關閉模式", "Off"},
    {UiText::kLightModeStandard, "标准模式", "標準模式", "Standard"},
    {UiText::kLightModeRespiration, "呼吸模式", "呼吸模式", "Respiration"},
    {UiText::kLightModeNeon, "霓虹模式", "霓虹模式", "Neon"},
    {UiText::kRgbEffectOff, "关闭", "關閉", "Non-Disolay"},
    {UiText::kRgbEffect, "RGB效果", "RGB效果", "RGB Effect"},
    {UiText::kRgbFlash, "RGB闪烁", "RGB閃爍", "RGB Flash"},
    {UiText::kRgbFixedOn, "RGB常亮", "RGB常亮", "RGB Fixed On"},

    {UiText::kMouseSpeed, "鼠标移动速度", "滑鼠移動速度", "Mouse Speed"},
    {UiText::kScrollingSpeed, "鼠标滚动速度", "滑鼠滾動速度", "Scrolling Speed"},
    {UiText::kDoubleClickSpeed, "鼠标双击速度", "滑鼠雙擊速度", "Double-Click Speed"},
    {UiText::kEnhancePointerPrecision, "提高指针准确度", "提高指針準確度",
     "Enhance Pointer Precision"},
    {UiText::kScrollOneScreen, "一次滚动一个屏幕", "一次滾動一個螢幕", "Scroll One Screen"},
    {UiText::kSystemDefault, "恢复默认", "恢復默認", "Default"},

    {UiText::kMacroSetting, "宏设置", "巨集設置", "Macro Setting"},
    {UiText::kSelectMacro, "选择宏", "選擇巨集", "Select Macro"},
    {UiText::kKeyPressSequence, "按键序列", "按鍵序列", "Key Press Sequence"},
    {UiText::kRecordOption, "录制选项", "錄製選項", "Record Option"},
    {UiText::kMacroName, "宏名称", "巨集名稱", "Macro Name"},
    {UiText::kStartRecording, "开始录制", "開始錄製", "Start Recording"},
    {UiText::kStopRecording, "停止录制", "停止錄製", "Stop Recording"},
    {UiText::kRecordEventsOption, "只录制键盘事件", "只錄製鍵盤事件", "Record Mouse Event"},
    {UiText::kLoopTimes, "循环次数", "迴圈次數", "Loop Times"},
    {UiText::kInsertMouseEvent, "插入一个鼠标事件", "插入一個滑鼠事件", "Insert A Mouse Event"},
    {UiText::kNewMacro, "新建", "新建", "New"},
    {UiText::kDeleteMacro, "删除", "刪除", "Delete"},
    {UiText::kConfirmMacro, "确认", "確認", "Confirm"},
    {UiText::kMacroNameBlank, "宏名称为空", "巨集名稱為空", "Macro name is blank"},
    {UiText::kMacroNameExists, "宏名称已经存在", "巨集名稱已經存在", "Macro name already exists"},
    {UiText::kStopRecordingHint, "按Ctrl+Break可以停止录制", "按Ctrl+Break可以停止錄製",
     "Press Ctrl+Break key to stop recording"},
    {UiText::kStopWithoutRecording, "没有开始录制,点击停止录制按钮没有意义！",
     "沒有開始錄製，點擊停止錄製按鈕沒有意義！",
     "It doesn\u2019t start recording, unnecessary to press Stop key!"},

    {UiText::kFunctionLeftClick, "左键", "左鍵", "Left Click"},
    {UiText::kFunctionRightClick, "右键", "右鍵", "Right Click"},
    {UiText::kFunctionMidClick, "中键", "中鍵", "Mid Click"},
    {UiText::kFunctionForward, "前进方向键", "前進方向鍵", "Forward"},
    {UiText::kFunctionBackward, "后退方向键", "後退方向鍵", "Backward"},
    {UiText::kFunctionTripleClick, "三连发", "三連發", "Triple-click"},
    {UiText::kFunctionDpiSwitch, "DPI切换", "DPI切換", "DPI Switch"},
    {UiText::kFunctionRgbOnOff, "RGB打开/关闭", "RGB打開/關閉", "RGB On/Off"},
    {UiText::kFunctionWindows, "Windows", "Windows", "Windows"},
    {UiText::kFunctionMultimedia, "多媒体", "多媒體", "Multimedia"},
    {UiText::kFunctionFireKey, "火力键", "火力鍵", "Fire Key"},
    {UiText::kFunctionSingleKey, "单键", "單鍵", "Single Key"},
    {UiText::kFunctionComboKey, "组合键", "複合鍵", "Combo Key"},
    {UiText::kFunctionMacroKey, "宏", "巨集", "Macro Key"},
    {UiText::kFunctionShift, "Shift", "Shift", "Shift"},
    {UiText::kFunctionKeyOff, "按键关闭", "按鍵關閉", "Key Off"},
    {UiText::kReportRateSwitch, "报告率切换", "報告率切換", "Report Rate Switch"},
    {UiText::kLeftKeyMustBeSelected, "左键功能必须选择！", "左鍵功能必須選擇！",
     "Left key must be selected!"},

    {UiText::kRateSwitched1000Hz, "报告率切换到1000HZ", "報告率切換到1000HZ",
     "Switch report rate into 1000HZ"},
    {UiText::kRateSwitched500Hz, "报告率切换到500HZ", "報告率切換到500HZ",
     "Switch report rate into 500HZ"},
    {UiText::kRateSwitched250Hz, "报告率切换到250HZ", "報告率切換到250HZ",
     "Switch report rate into 250HZ"},
    {UiText::kRateSwitched125Hz, "报告率切换到125HZ", "報告率切換到125HZ",
     "Switch report rate into 125HZ"},
    {UiText::kDpiStage1, "DPI切换到第一段", "DPI切換到第一段", "Switch DPI into the first stage "},
    {UiText::kDpiStage2, "DPI切换到第二段", "DPI切換到第二段", "Switch DPI into the second stage "},
    {UiText::kDpiStage3, "DPI切换到第三段", "DPI切換到第三段", "Switch DPI into the third stage "},
    {UiText::kDpiStage4, "DPI切换到第四段", "DPI切換到第四段", "Switch DPI into the fourth stage "},
    {UiText::kKeyMatrix1, "切换到按键组1", "切換到按鍵群組1", "Switch to key matrix 1"},
    {UiText::kKeyMatrix2, "切换到按键组2", "切換到按鍵群組2", "Switch to key matrix 2"},
    {UiText::kKeyMatrix3, "切换到按键组3", "切換到按鍵群組3", "Switch to key matrix 3"},
    {UiText::kKeyMatrix4, "切换到按键组4", "切換到按鍵群組4", "Switch to key matrix 4"},
    {UiText::kSwitchToMacro, "切换到宏", "切換到巨集", "Switch to macro key"},
    {UiText::kTrayExit, "退出", "退出", "Exit"},
    {UiText::kMouseNotDetected, "系统没有检测到游戏鼠标！", "系統沒有檢測到遊戲滑鼠！",
     "The system did not detect the gaming mouse!"},
    {UiText::kMouseDetected, "系统检测到游戏鼠标。", "系統檢測到遊戲滑鼠。",
     "The system detect the gaming mouse."},
    {UiText::kMouseAccessRefused, "游戏鼠标已插入，但当前用户无权打开它（",
     "遊戲滑鼠已插入，但目前使用者無權開啟它（",
     "The gaming mouse is plugged in, but this user may not open it ("},
    {UiText::kMouseAccessAdvice,
     "）。请安装 udev 规则 70-kor-vm31.rules（见 README），然后拔下鼠标再重新插入。",
     "）。請安裝 udev 規則 70-kor-vm31.rules（見 README），然後拔下滑鼠再重新插入。",
     "). Install the udev rule 70-kor-vm31.rules (see the README), then unplug and plug in the "
     "mouse again."},
    {UiText::kMouseBusy, "游戏鼠标正被另一个程序使用（", "遊戲滑鼠正被另一個程式使用（",
     "The gaming mouse is in use by another program ("},
    {UiText::kMouseBusyAdvice, "）。请在该程序完成后重试。", "）。請在該程式完成後重試。",
     "). Try again when it is done."},

    {UiText::kPreferenceSection, "Setting-CHS", "Setting-CHT", "Setting-EN"},
    {UiText::kWebAddress, kWebAddressText, kWebAddressText, kWebAddressText},
}};

// Row i must be the slot with value i, so a slot added to the enum without its row (or a row
// moved) stops the build instead of shifting every text after it.
constexpr bool RowsFollowEnumOrder() {
  for (std::size_t i = 0; i < kUiTextTable.size(); ++i) {
    if (static_cast<std::size_t>(kUiTextTable[i].id) != i) return false;
  }
  return true;
}
static_assert(RowsFollowEnumOrder(), "text table rows must follow the UiText order");

constexpr bool EveryCellFilled() {
  for (const UiTextRow& row : kUiTextTable) {
    if (row.chs.empty() || row.cht.empty() || row.english.empty()) return false;
  }
  return true;
}
static_assert(EveryCellFilled(), "every slot has a text in every language");

}  // namespace

UiLanguage UiLanguageFromCode(std::string_view lan) {
  if (lan == "CHS") return UiLanguage::kSimplifiedChinese;
  if (lan == "CHT") return UiLanguage::kTraditionalChinese;
  return UiLanguage::kEnglish;
}

std::string_view UiTextFor(UiText id, UiLanguage language) {
  const auto index = static_cast<std::size_t>(id);
  if (index >= kUiTextTable.size()) return {};
  const UiTextRow& row = kUiTextTable[index];
  switch (language) {
    case UiLanguage::kSimplifiedChinese:
      return row.chs;
    case UiLanguage::kTraditionalChinese:
      return row.cht;
    case UiLanguage::kEnglish:
      break;
  }
  return row.english;
}

std::string MouseAccessRefusedText(UiLanguage language, std::string_view refusal) {
  std::string text(UiTextFor(UiText::kMouseAccessRefused, language));
  text += refusal;
  text += UiTextFor(UiText::kMouseAccessAdvice, language);
  return text;
}

std::string MouseBusyText(UiLanguage language, std::string_view problem) {
  std::string text(UiTextFor(UiText::kMouseBusy, language));
  text += problem;
  text += UiTextFor(UiText::kMouseBusyAdvice, language);
  return text;
}

}  // namespace vm31
