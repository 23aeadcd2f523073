#pragma once
// The main window's texts in the three user-interface languages. Every text the main window, its
// key lists and the tray show comes from one table with a column per language; other code asks
// for a slot by meaning. Texts are UTF-8 and are used byte for byte as they stand, trailing
// blanks and odd spellings included (the stored button captions and the device balloons depend
// on them).

#include <cstddef>
#include <string>
#include <string_view>

namespace vm31 {

enum class UiLanguage { kSimplifiedChinese, kTraditionalChinese, kEnglish };

// The language a "Lan" preference value selects: exactly "CHS" or "CHT" (case-sensitive, no
// trimming); anything else, the empty text included, is English.
UiLanguage UiLanguageFromCode(std::string_view lan);

// One enumerator per slot of the text table, in table order.
enum class UiText {
  // Page tabs and the window's buttons.
  kBasicSettings,
  kAdvancedSettings,
  kColorSetting,  // filled but never drawn
  kOk,
  kApply,
  kCancel,
  // Basic page.
  kKeySetting,
  kKeyDefault,  // restores the factory key functions of the edited group
  kKeyConfiguration1,
  kKeyConfiguration2,
  kKeyConfiguration3,
  kKeyConfiguration4,
  kReportRateSetting,
  kDpiSetting,
  // Lighting on the basic page.
  kAuxiliaryLedSetting,
  kAsRespirationLed,
  kAsHeartBeatLed,
  kAsKeyGroupSwitchLed,
  kDpiEffect,
  kLightMode,
  kLightParameter,
  kLightSpeed,       // Simplified Chinese carries a longer explanation than the others
  kLightBrightness,  // likewise
  kLightEffect,
  kLightModeOff,
  kLightModeStandard,
  kLightModeRespiration,
  kLightModeNeon,
  kRgbEffectOff,  // English "Non-Disolay", spelt as the program always has
  kRgbEffect,
  kRgbFlash,
  kRgbFixedOn,
  // Advanced page: the system mouse settings.
  kMouseSpeed,
  kScrollingSpeed,
  kDoubleClickSpeed,
  kEnhancePointerPrecision,
  kScrollOneScreen,
  kSystemDefault,
  // Advanced page: macros.
  kMacroSetting,
  kSelectMacro,
  kKeyPressSequence,
  kRecordOption,
  kMacroName,
  kStartRecording,
  kStopRecording,
  kRecordEventsOption,  // the Chinese columns say "keyboard events only", English "Record Mouse
                        // Event"
  kLoopTimes,
  kInsertMouseEvent,
  kNewMacro,
  kDeleteMacro,
  kConfirmMacro,
  kMacroNameBlank,
  kMacroNameExists,
  kStopRecordingHint,
  kStopWithoutRecording,
  // The key-function menu entries (the key-function table names each function's entry).
  kFunctionLeftClick,
  kFunctionRightClick,
  kFunctionMidClick,
  kFunctionForward,
  kFunctionBackward,
  kFunctionTripleClick,
  kFunctionDpiSwitch,
  kFunctionRgbOnOff,
  kFunctionWindows,
  kFunctionMultimedia,
  kFunctionFireKey,
  kFunctionSingleKey,
  kFunctionComboKey,
  kFunctionMacroKey,
  kFunctionShift,
  kFunctionKeyOff,
  kReportRateSwitch,
  kLeftKeyMustBeSelected,
  // Tray balloons (switches made on the mouse, presence) and the tray menu.
  kRateSwitched1000Hz,
  kRateSwitched500Hz,
  kRateSwitched250Hz,
  kRateSwitched125Hz,
  kDpiStage1,  // the English DPI-stage texts end in a blank; the DPI label follows it
  kDpiStage2,
  kDpiStage3,
  kDpiStage4,
  kKeyMatrix1,
  kKeyMatrix2,
  kKeyMatrix3,  // no device event uses matrices 3 and 4
  kKeyMatrix4,
  kSwitchToMacro,  // the macro number is appended
  kTrayExit,
  kMouseNotDetected,
  kMouseDetected,
  // The notice of a mouse this user may not open: the system's refusal goes between the two
  // (see MouseAccessRefusedText).
  kMouseAccessRefused,
  kMouseAccessAdvice,
  // The notice of a mouse another program holds: the system's account (it names the program)
  // goes between the two (see MouseBusyText).
  kMouseBusy,
  kMouseBusyAdvice,
  // The preferences section holding the button captions of this language.
  kPreferenceSection,
  // The maker's web address shown on the main window; the same in every language.
  kWebAddress,
};

inline constexpr std::size_t kUiTextCount = static_cast<std::size_t>(UiText::kWebAddress) + 1;

// The text of `id` in `language`. Never empty for a valid slot; "" for a value outside the enum.
std::string_view UiTextFor(UiText id, UiLanguage language);

// The notice of a mouse that is plugged in but may not be opened by this user, in `language`:
// kMouseAccessRefused, the system's `refusal` (it names the node), kMouseAccessAdvice.
std::string MouseAccessRefusedText(UiLanguage language, std::string_view refusal);

// The notice of a mouse another program is using, in `language`: kMouseBusy, the system's
// account of it (`problem`, which names the program), kMouseBusyAdvice.
std::string MouseBusyText(UiLanguage language, std::string_view problem);

}  // namespace vm31
