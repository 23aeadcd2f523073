#include "core/ui/key_dialogs.h"

#include "core/keys/key_tables.h"
#include "core/macros/macro_store.h"
#include "core/settings/ini_file.h"
#include "core/text/dialog_texts.h"
#include "core/util/text.h"

namespace vm31 {

namespace {

constexpr std::size_t kCapturedNameCharacters = 31;
constexpr std::uint16_t kUsageLeftWindows = 0xE3;
constexpr std::uint16_t kUsageRightWindows = 0xE7;
constexpr Rect kKeyFieldA{50, 120, 131, 134};
constexpr Rect kKeyFieldB{50, 170, 131, 184};

bool IsEnterOrEscapeDown(const KeyEvent& key) {
  return key.down &&
         (key.usage == kUsageReturn || key.usage == kUsageKeypadEnter || key.usage == kUsageEscape);
}

void CreateEdit(Controls& controls, int id, const Rect& rect, const FontSpec& font,
                std::string_view text, bool digits) {
  ControlStyle style = PopupControlStyle(font);
  style.centred = true;
  style.numbersOnly = digits;
  controls.create(id, ControlKind::kEdit, rect, style);
  controls.setText(id, text);
}

template <typename Names>
std::vector<std::string> Strings(const Names& names) {
  return std::vector<std::string>(names.begin(), names.end());
}

std::vector<std::string> OptionTexts(std::string_view (*text)(int, UiLanguage), int count,
                                     UiLanguage language) {
  std::vector<std::string> options;
  for (int i = 0; i < count; ++i) options.emplace_back(text(i, language));
  return options;
}

}  // namespace

std::string CapturedKeyName(const KeyEvent& key) {
  if (key.usage > 0xFF) return {};
  return TruncateCharacters(KeyNameFromUsage(static_cast<std::uint8_t>(key.usage)),
                            kCapturedNameCharacters);
}

// ---- single key ----

CSingleDialog::CSingleDialog(SkinState skin, FontSpec font)
    : PopupFrame(SkinPicture::kSingleKeyDialog, kSingleKeyBackgroundFailureCaption, std::move(skin),
                 std::move(font)) {}

void CSingleDialog::createControls() {
  ControlStyle style = PopupControlStyle(font());
  style.centred = true;
  style.transparent = true;
  controls().create(kValueId, ControlKind::kStatic, Rect{73, 128, 151, 144}, style);
}

void CSingleDialog::drawOwnTexts() {
  drawText(DialogTextFor(DialogText::kSingleKeyPrompt, language()), Rect{23, 108, 201, 124},
           TextFormat::kCentre);
}

KeyDisposition CSingleDialog::onKey(const KeyEvent& key) {
  keyName_ = CapturedKeyName(key);
  if (ports_.controls != nullptr) controls().setText(kValueId, keyName_);
  if (key.usage == kUsageLeftWindows || key.usage == kUsageRightWindows ||
      IsEnterOrEscapeDown(key)) {
    return KeyDisposition::kSwallow;
  }
  return KeyDisposition::kPass;
}

// ---- combination ----

CComboDialog::CComboDialog(SkinState skin, FontSpec font)
    : PopupFrame(SkinPicture::kComboKeyDialog, kComboBackgroundFailureCaption, std::move(skin),
                 std::move(font)),
      modifiers_({kModifierId, Rect{49, 69, 117, 85}, Rect{49, 69, 132, 85}, kModifierListId,
                  Rect{49, 87, 132, 227}, true},
                 Strings(kComboModifierOptions), {kFirstKeyId, kSecondKeyId}) {}

void CComboDialog::createControls() {
  modifiers_.create(controls(), font(), "");
  CreateEdit(controls(), kFirstKeyId, kKeyFieldA, font(), "", false);
  CreateEdit(controls(), kSecondKeyId, kKeyFieldB, font(), "", false);
}

void CComboDialog::onDialogPress(Point at) {
  modifiers_.onPress(controls(), at);
}

KeyDisposition CComboDialog::onKey(const KeyEvent& key) {
  if (ports_.controls != nullptr) {
    const int focused = controls().focusedControl();
    if (focused == kFirstKeyId || focused == kSecondKeyId) {
      std::string& name = focused == kFirstKeyId ? first_ : second_;
      name = CapturedKeyName(key);
      controls().setText(focused, name);
    }
  }
  return IsEnterOrEscapeDown(key) ? KeyDisposition::kSwallow : KeyDisposition::kPass;
}

void CComboDialog::onControlNotify(int controlId, ControlNotification notification) {
  modifiers_.onNotify(controls(), controlId, notification);
}

void CComboDialog::onControlMouseMove(int controlId, Point at) {
  modifiers_.onControlMouseMove(controls(), controlId, at);
}

// ---- media and Windows ----

CChoiceDialog::CChoiceDialog(SkinPicture background, std::string_view failureCaption,
                             SkinState skin, FontSpec font, DropList list)
    : PopupFrame(background, failureCaption, std::move(skin), std::move(font)),
      list_(std::move(list)) {}

// Until a choice is made the first option stands.
void CChoiceDialog::createControls() {
  list_.create(controls(), font(), list_.option(0));
}

void CChoiceDialog::onDialogPress(Point at) {
  list_.onPress(controls(), at);
}

void CChoiceDialog::onControlNotify(int controlId, ControlNotification notification) {
  list_.onNotify(controls(), controlId, notification);
}

void CChoiceDialog::onControlMouseMove(int controlId, Point at) {
  list_.onControlMouseMove(controls(), controlId, at);
}

namespace {
DropList ChoiceList(int valueId, int listId, int listBottom, std::vector<std::string> options) {
  return DropList({valueId, Rect{42, 128, 136, 144}, Rect{42, 128, 151, 144}, listId,
                   Rect{42, 146, 151, listBottom}, false},
                  std::move(options), {});
}
}  // namespace

CMediaDialog::CMediaDialog(SkinState skin, FontSpec font)
    : CChoiceDialog(SkinPicture::kMediaKeyDialog, kMediaBackgroundFailureCaption, skin,
                    std::move(font),
                    ChoiceList(kValueId, kListId, 266,
                               OptionTexts(&MediaOptionText, kMediaOptionCount, skin.uiLanguage))) {
}

CWindowsDialog::CWindowsDialog(SkinState skin, FontSpec font)
    : CChoiceDialog(
          SkinPicture::kWindowsKeyDialog, kWindowsBackgroundFailureCaption, skin, std::move(font),
          ChoiceList(kValueId, kListId, 306,
                     OptionTexts(&WindowsOptionText, kWindowsOptionCount, skin.uiLanguage))) {}

// ---- fire key ----

CFireKeyDialog::CFireKeyDialog(SkinState skin, FontSpec font)
    : PopupFrame(SkinPicture::kFireKeyDialog, kFireKeyBackgroundFailureCaption, std::move(skin),
                 std::move(font)),
      keys_({kKeyId, Rect{49, 69, 117, 85}, Rect{49, 69, 132, 85}, kKeyListId,
             Rect{49, 87, 132, 257}, true},
            Strings(FireKeyNames()), {kSpeedId, kTimesId}) {}

void CFireKeyDialog::createControls() {
  keys_.create(controls(), font(), FireKeyNames()[0]);
  CreateEdit(controls(), kSpeedId, kKeyFieldA, font(), "32", true);
  CreateEdit(controls(), kTimesId, kKeyFieldB, font(), "1", true);
}

void CFireKeyDialog::drawOwnTexts() {
  drawText(DialogTextFor(DialogText::kFireSpeedCaption, language()), Rect{10, 100, 171, 120},
           TextFormat::kCentre);
  drawText(DialogTextFor(DialogText::kFireTimesCaption, language()), Rect{10, 150, 171, 170},
           TextFormat::kCentre);
  for (const auto& [text, box] :
       {std::pair{DialogText::kFireSpeedExplanation, Rect{15, 184, 390, 218}},
        std::pair{DialogText::kFireTimesExplanation, Rect{15, 218, 390, 250}}}) {
    const std::string_view words = DialogTextFor(text, language());
    Rect shrunk = box;
    if (ports_.canvas != nullptr) {
      const int height = ports_.canvas->measureWrappedHeight(words, box.width(), font());
      if (height > 0 && height < box.height()) {
        shrunk.top = box.top + (box.height() - height) / 2;
        shrunk.bottom = shrunk.top + height;
      }
    }
    drawText(words, shrunk, TextFormat::kWordWrap);
  }
}

void CFireKeyDialog::onDialogPress(Point at) {
  keys_.onPress(controls(), at);
}

void CFireKeyDialog::takeSpeed() {
  if (ports_.controls == nullptr || !controls().exists(kSpeedId)) return;
  const int value = ParseLeadingInt(controls().text(kSpeedId));
  if (value < 5 || value > 255) {
    controls().setText(kSpeedId, "5");
    speed_ = 5;
  } else {
    speed_ = static_cast<std::uint8_t>(value);
  }
}

void CFireKeyDialog::takeTimes() {
  const int value = ParseLeadingInt(controls().text(kTimesId));
  if (value < 0 || value > 255) {
    controls().setText(kTimesId, "1");
    times_ = 1;
  } else {
    times_ = static_cast<std::uint8_t>(value);
  }
}

void CFireKeyDialog::onControlNotify(int controlId, ControlNotification notification) {
  if (controlId == kSpeedId && notification == ControlNotification::kFocusLost) takeSpeed();
  if (controlId == kTimesId && notification == ControlNotification::kEditChange) takeTimes();
  keys_.onNotify(controls(), controlId, notification);
}

void CFireKeyDialog::onControlMouseMove(int controlId, Point at) {
  keys_.onControlMouseMove(controls(), controlId, at);
}

void CFireKeyDialog::onWheel(int delta, Point) {
  keys_.onWheel(controls(), delta);
}

// ---- delay ----

CDelayTimeDialog::CDelayTimeDialog(SkinState skin, FontSpec font)
    : PopupFrame(SkinPicture::kDelayDialog, kDelayTimeBackgroundFailureCaption, std::move(skin),
                 std::move(font)) {}

void CDelayTimeDialog::createControls() {
  CreateEdit(controls(), kDelayId, Rect{74, 129, 150, 143}, font(), "", true);
}

void CDelayTimeDialog::drawOwnTexts() {
  drawText(DialogTextFor(DialogText::kDelayPrompt, language()), Rect{14, 89, 210, 109},
           TextFormat::kCentre);
  drawText(DialogTextFor(DialogText::kDelayRangeHint, language()), Rect{14, 109, 210, 129},
           TextFormat::kCentre);
}

void CDelayTimeDialog::onControlNotify(int controlId, ControlNotification notification) {
  if (controlId != kDelayId || notification != ControlNotification::kEditChange) return;
  text_ = controls().text(kDelayId);
  value_ = ParseLeadingInt(text_);
}

// ---- macro key ----

CMacroDialog::CMacroDialog(SkinState skin, FontSpec font, std::filesystem::path macroFile)
    : PopupFrame(SkinPicture::kMacroKeyDialog, kMacroKeyBackgroundFailureCaption, std::move(skin),
                 std::move(font)),
      macroFile_(std::move(macroFile)),
      macros_({kMacroId, Rect{42, 66, 336, 82}, Rect{42, 66, 351, 82}, kMacroListId,
               Rect{42, 84, 351, 244}, true},
              {}, {}) {}

void CMacroDialog::createControls() {
  // A missing or unreadable file leaves the list empty.
  Result<IniDocument> file = IniDocument::Load(macroFile_);
  macros_.setOptions(file ? MacroNames(file.value()).names : std::vector<std::string>{});
  macros_.create(controls(), font(), "");
  playMode_ = 1;
}

void CMacroDialog::drawPanes() {
  for (int option = 1; option <= 3; ++option) {
    const Rect pane = PlayPane(option);
    DrawDialogPng(*ports_.host, ports_.canvas, skin().currentSkinFolder,
                  option == playMode_ ? SkinPicture::kTickOn : SkinPicture::kTickOff,
                  Point{pane.left, pane.top});
  }
}

void CMacroDialog::drawOwnTexts() {
  drawText(DialogTextFor(DialogText::kMacroSelectPrompt, language()), Rect{20, 40, 372, 62},
           TextFormat::kLeft);
  drawPanes();
  for (int option = 1; option <= 3; ++option) {
    const Rect pane = PlayPane(option);
    drawText(MacroPlayModeText(option, language()),
             Rect{pane.right + 8, pane.top - 6, 380, pane.bottom + 6}, TextFormat::kLeft);
  }
}

void CMacroDialog::onDialogPress(Point at) {
  if (macros_.onPress(controls(), at)) return;
  for (int option = 1; option <= 3; ++option) {
    if (!PlayPane(option).contains(at) || macros_.isOpen()) continue;
    playMode_ = option;
    drawPanes();
    if (ports_.canvas != nullptr) ports_.canvas->present();
  }
}

void CMacroDialog::onControlNotify(int controlId, ControlNotification notification) {
  macros_.onNotify(controls(), controlId, notification);
}

void CMacroDialog::onControlMouseMove(int controlId, Point at) {
  macros_.onControlMouseMove(controls(), controlId, at);
}

void CMacroDialog::onWheel(int delta, Point) {
  macros_.onWheel(controls(), delta);
}

}  // namespace vm31
