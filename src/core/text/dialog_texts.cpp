#include "core/text/dialog_texts.h"

namespace vm31 {
namespace {

struct TextRow {
  std::string_view chs;
  std::string_view cht;
  std::string_view english;

  constexpr std::string_view in(UiLanguage language) const {
    switch (language) {
      case UiLanguage::kSimplifiedChinese:
        return chs;
      case UiLanguage::kTraditionalChinese:
        return cht;
      case UiLanguage::kEnglish:
        break;
    }
    return english;
  }
};

struct DialogTextRow {
  DialogText id;
  TextRow text;
};

// The play options have one Chinese wording, used for both Chinese languages.
constexpr std::string_view kPlayRepeatCountChinese = "重复指定次数或按任意键结束";
constexpr std::string_view kPlayUntilAnyKeyChinese = "重复直到按任意键结束";
constexpr std::string_view kPlayUntilReleasedChinese = "重复直到该按键松开结束";

constexpr std::array<DialogTextRow, kDialogTextCount> kDialogTextTable{{
    {DialogText::kPopupOk, {"确定", "確定", "OK"}},
    {DialogText::kPopupCancel, {"取消", "取消", "Cancel"}},
    {DialogText::kSingleKeyPrompt, {"请输入一个按键", "請輸入一個按鍵", "Please enter a key"}},
    {DialogText::kFireSpeedCaption, {"速度", "速度", "Speed"}},
    {DialogText::kFireTimesCaption, {"次数", "次數", "Times"}},
    {DialogText::kFireSpeedExplanation,
     {"速度(数值范围5-255，数值越小速度越快)", "速度(數值範圍5-255，數值越小速度越快)",
      "Speed (value range 5-255, with smaller values faster)"}},
    {DialogText::kFireTimesExplanation,
     {"次数(数值范围0-255，0表示按键放开火力键结束)",
      "次數(數值範圍0-255，0表示按鍵放開火力鍵結束)",
      "Times (value range 0-255,0 indicates fire key to end when the key released)"}},
    {DialogText::kDelayPrompt, {"请输入一个延时", "請輸入一個延時", "Please enter a delay"}},
    {DialogText::kDelayRangeHint,
     {"(数值范围 20-10000)", "(數值範圍 20-10000)", "(value range 20-10000)"}},
    {DialogText::kMacroSelectPrompt,
     {"请从列表框选择一个宏", "請從清單方塊選擇一個巨集", "Please select a macro"}},
    {DialogText::kMacroPlayRepeatCountOrAnyKey,
     {kPlayRepeatCountChinese, kPlayRepeatCountChinese,
      "Repeat a specified number of times or press any key to end"}},
    {DialogText::kMacroPlayUntilAnyKey,
     {kPlayUntilAnyKeyChinese, kPlayUntilAnyKeyChinese, "Repeat until press any key to end"}},
    {DialogText::kMacroPlayUntilReleased,
     {kPlayUntilReleasedChinese, kPlayUntilReleasedChinese, "Repeat until the key is released"}},
    {DialogText::kSkinsColorPrompt,
     {"请点击设置UI文本颜色", "請點擊設置UI文本顏色", "Please click to set the UI text color"}},
}};

constexpr bool RowsFollowEnumOrder() {
  for (std::size_t i = 0; i < kDialogTextTable.size(); ++i) {
    if (static_cast<std::size_t>(kDialogTextTable[i].id) != i) return false;
  }
  return true;
}
static_assert(RowsFollowEnumOrder(), "dialog text rows must follow the DialogText order");

constexpr std::array<TextRow, kMediaOptionCount> kMediaOptions{{
    {"下一首", "下一首", "Next"},
    {"上一首", "上一首", "Previous"},
    {"停止", "停止", "Stop"},
    {"播放/暂停", "播放/暫停", "Play/Pause"},
    {"静音", "靜音", "Mute"},
    {"音量+", "音量+", "Vol+"},
    {"音量-", "音量-", "Vol-"},
}};

constexpr std::array<TextRow, kWindowsOptionCount> kWindowsOptions{{
    {"打开多媒体播放器", "打開多媒體播放器", "Multimedia Player"},
    {"邮件", "郵件", "Mail"},
    {"计算器", "計算器", "Calculator"},
    {"我的电脑", "我的電腦", "My Computer"},
    {"浏览器-搜索", "瀏覽器-搜索", "Browser-Search"},
    {"浏览器-主页", "瀏覽器-主頁", "Browser-Home"},
    {"浏览器-后退", "瀏覽器-後退", "Browser-Back"},
    {"浏览器-前进", "瀏覽器-前進", "Browser-Forward"},
    {"浏览器-停止", "瀏覽器-停止", "Browser-Stop"},
    {"浏览器-刷新", "瀏覽器-刷新", "Browser-Refresh"},
    {"浏览器-收藏夹", "瀏覽器-我的最愛", "Browser-My Favorites"},
}};

template <std::size_t N>
constexpr bool EveryCellFilled(const std::array<TextRow, N>& rows) {
  for (const TextRow& row : rows) {
    if (row.chs.empty() || row.cht.empty() || row.english.empty()) return false;
  }
  return true;
}
static_assert(EveryCellFilled(kMediaOptions));
static_assert(EveryCellFilled(kWindowsOptions));

}  // namespace

std::string_view DialogTextFor(DialogText id, UiLanguage language) {
  const auto index = static_cast<std::size_t>(id);
  if (index >= kDialogTextTable.size()) return {};
  return kDialogTextTable[index].text.in(language);
}

std::string_view MacroPlayModeText(int playMode, UiLanguage language) {
  if (playMode < 1 || playMode > 3) return {};
  return DialogTextFor(
      static_cast<DialogText>(static_cast<int>(DialogText::kMacroPlayRepeatCountOrAnyKey) +
                              playMode - 1),
      language);
}

std::string_view MediaOptionText(int index, UiLanguage language) {
  if (index < 0 || index >= kMediaOptionCount) return {};
  return kMediaOptions[static_cast<std::size_t>(index)].in(language);
}

std::string_view WindowsOptionText(int index, UiLanguage language) {
  if (index < 0 || index >= kWindowsOptionCount) return {};
  return kWindowsOptions[static_cast<std::size_t>(index)].in(language);
}

std::string SingleKeyHookInstallError(int errorNumber) {
  return "KeyboardHook_SingleDlgKey Install error code :" + std::to_string(errorNumber) + "\n";
}

std::string ComboKeyHookInstallError(int errorNumber) {
  return "KeyboardHook_ComboDlg Install error code :" + std::to_string(errorNumber) + "\n";
}

}  // namespace vm31
