#pragma once
// The popup dialogs' own texts. Each dialog carries its texts in the three user-interface
// languages (chosen by the language in force when the dialog opens); texts that are English in
// every language are plain constants. UTF-8, used byte for byte.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/text/text_table.h"

namespace vm31 {

// One enumerator per language-dependent dialog text, in table order.
enum class DialogText {
  // Labels of the painted OK and Cancel buttons every popup dialog shares.
  kPopupOk,
  kPopupCancel,
  // Single-key dialog: the prompt above the captured key.
  kSingleKeyPrompt,
  // Fire-key dialog: captions above the two number fields and the two explanations below.
  kFireSpeedCaption,
  kFireTimesCaption,
  kFireSpeedExplanation,
  kFireTimesExplanation,
  // Delay-time dialog.
  kDelayPrompt,
  kDelayRangeHint,
  // Macro key dialog: the prompt above the macro list and the three play options, in
  // MacroPlayMode order 1..3.
  kMacroSelectPrompt,
  kMacroPlayRepeatCountOrAnyKey,
  kMacroPlayUntilAnyKey,
  kMacroPlayUntilReleased,
  // Skins dialog: the prompt above the colour swatch.
  kSkinsColorPrompt,
};

inline constexpr std::size_t kDialogTextCount =
    static_cast<std::size_t>(DialogText::kSkinsColorPrompt) + 1;

// The text of `id` in `language`; "" for a value outside the enum.
std::string_view DialogTextFor(DialogText id, UiLanguage language);

// The play-option text of MacroPlayMode `playMode` (1..3); "" for any other value.
std::string_view MacroPlayModeText(int playMode, UiLanguage language);

// The media dialog's options (index 0..6: next, previous, stop, play/pause, mute, volume up,
// volume down) and the Windows dialog's options (index 0..10: player, mail, calculator, my
// computer, then the seven browser functions). "" outside the list.
inline constexpr int kMediaOptionCount = 7;
inline constexpr int kWindowsOptionCount = 11;
std::string_view MediaOptionText(int index, UiLanguage language);
std::string_view WindowsOptionText(int index, UiLanguage language);

// The combination dialog's modifier list, the same in every language.
inline constexpr std::array<std::string_view, 8> kComboModifierOptions{
    "Left Ctrl",  "Left Shift",  "Left Alt",  "Left Win",
    "Right Ctrl", "Right Shift", "Right Alt", "Right Win"};

// Message box shown when a dialog's background picture cannot be loaded: this text, with the
// dialog's own caption below.
inline constexpr std::string_view kPopupBackgroundFailureText = "error";
inline constexpr std::string_view kSingleKeyBackgroundFailureCaption =
    "Single Key Dialog Load background image failed!!!";
inline constexpr std::string_view kWindowsBackgroundFailureCaption =
    "Windows Dialog Load background image failed!!!";
inline constexpr std::string_view kMediaBackgroundFailureCaption =
    "Media Dialog Load background image failed!!!";
inline constexpr std::string_view kFireKeyBackgroundFailureCaption =
    "FireKey Dialog Load background image failed!!!";
inline constexpr std::string_view kMacroKeyBackgroundFailureCaption =
    "Macro Key Dialog Load background image failed!!!";
inline constexpr std::string_view kComboBackgroundFailureCaption =
    "Combo Dialog Load background image failed!!!";
inline constexpr std::string_view kDelayTimeBackgroundFailureCaption =
    "DelayTime Dialog Load background image failed!!!";
inline constexpr std::string_view kSkinsBackgroundFailureCaption =
    "Skins Dialog Load background image failed!!!";

// Messages shown when a key-capturing dialog cannot install its keyboard hook; `errorNumber` is
// the system's error number. Each ends in a line break, as the message always has.
std::string SingleKeyHookInstallError(int errorNumber);
std::string ComboKeyHookInstallError(int errorNumber);

}  // namespace vm31
