#include "core/keys/key_functions.h"

namespace vm31 {
namespace {

using key_word::Attr;
using key_word::AttrPlusOne;
using key_word::Const;
using key_word::kDpiShiftFlag;
using key_word::kDpiStage;
using key_word::kZero;
using A = KeyAttribute;

constexpr FilledAttributes kNothing{};

constexpr KeyFunctionRow Direct(KeyFunction function, UiText menuText, KeyWordRule word) {
  return {function, menuText, FunctionDialog::kNone, kNothing, CaptionRule::kMenuText, word};
}

constexpr KeyWordRule MouseButtonWord(std::uint8_t code) {
  return {Const(kKindMouseButton), kZero, Const(code), kZero};
}

constexpr std::array<KeyFunctionRow, kKeyFunctionCount> kKeyFunctions{{
    Direct(KeyFunction::kLeftClick, UiText::kFunctionLeftClick, MouseButtonWord(kMouseLeftButton)),
    Direct(KeyFunction::kRightClick, UiText::kFunctionRightClick,
           MouseButtonWord(kMouseRightButton)),
    Direct(KeyFunction::kMiddleClick, UiText::kFunctionMidClick,
           MouseButtonWord(kMouseMiddleButton)),
    Direct(KeyFunction::kForward, UiText::kFunctionForward, MouseButtonWord(kMouseButton5)),
    Direct(KeyFunction::kBackward, UiText::kFunctionBackward, MouseButtonWord(kMouseButton4)),
    // The left button fired at speed 34, three times.
    Direct(KeyFunction::kTripleClick, UiText::kFunctionTripleClick,
           {Const(kKindFire), Const(kMouseLeftButton), Const(34), Const(3)}),
    Direct(KeyFunction::kDpiSwitch, UiText::kFunctionDpiSwitch,
           {Const(kKindDpi), kZero, kDpiStage, kDpiShiftFlag}),
    Direct(KeyFunction::kLightingOnOff, UiText::kFunctionRgbOnOff,
           {Const(kKindDeviceFunction), kZero, Const(kDeviceFunctionLighting), kZero}),
    // The consumer usage's low byte and its class (the high byte).
    {KeyFunction::kWindows,
     UiText::kFunctionWindows,
     FunctionDialog::kWindowsList,
     {{A::kWindowsIndex, A::kWindowsCode, A::kWindowsClass}, 3},
     CaptionRule::kEntryText,
     {Const(kKindConsumer), kZero, Attr(A::kWindowsCode), Attr(A::kWindowsClass)}},
    // Consumer usages below 0x100.
    {KeyFunction::kMultimedia,
     UiText::kFunctionMultimedia,
     FunctionDialog::kMediaList,
     {{A::kMediaIndex, A::kMediaCode}, 2},
     CaptionRule::kMenuTextAndEntry,
     {Const(kKindConsumer), kZero, Attr(A::kMediaCode), kZero}},
    {KeyFunction::kFireKey,
     UiText::kFunctionFireKey,
     FunctionDialog::kFireKey,
     {{A::kFireIndex, A::kFireKey, A::kFireSpeed, A::kFireCount}, 4},
     CaptionRule::kMenuTextAndEntry,
     {Const(kKindFire), Attr(A::kFireKey), Attr(A::kFireSpeed), Attr(A::kFireCount)}},
    {KeyFunction::kSingleKey,
     UiText::kFunctionSingleKey,
     FunctionDialog::kSingleKey,
     {{A::kSingleKey}, 1},
     CaptionRule::kMenuTextAndKey,
     {Const(kKindKeyboard), kZero, Attr(A::kSingleKey), kZero}},
    {KeyFunction::kComboKey,
     UiText::kFunctionComboKey,
     FunctionDialog::kComboKey,
     {{A::kComboModifiers, A::kComboKey1, A::kComboKey2}, 3},
     CaptionRule::kMenuTextAndCombination,
     {Const(kKindKeyboard), Attr(A::kComboModifiers), Attr(A::kComboKey1), Attr(A::kComboKey2)}},
    // The play mode and the macro number 1..12.
    {KeyFunction::kMacroKey,
     UiText::kFunctionMacroKey,
     FunctionDialog::kMacro,
     {{A::kMacroIndex, A::kMacroMode}, 2},
     CaptionRule::kMenuTextAndEntry,
     {Const(kKindMacro), Attr(A::kMacroMode), AttrPlusOne(A::kMacroIndex), kZero}},
    Direct(KeyFunction::kShift, UiText::kFunctionShift,
           {Const(kKindDeviceFunction), kZero, Const(kDeviceFunctionShift), kZero}),
    Direct(KeyFunction::kKeyOff, UiText::kFunctionKeyOff, {kZero, kZero, kZero, kZero}),
}};

// Row i must be function code i, so a row added or moved out of order stops the build instead
// of shifting every function after it.
constexpr bool RowsFollowCodeOrder() {
  for (std::size_t i = 0; i < kKeyFunctions.size(); ++i) {
    if (static_cast<std::size_t>(kKeyFunctions[i].function) != i) return false;
  }
  return true;
}
static_assert(RowsFollowCodeOrder(), "key-function rows must follow the code order");

// A function's attributes come from its dialog alone: without a dialog there is nothing to fill,
// `keyFunction` itself is never a parameter, and the key word reads only attributes the dialog
// filled (anything else would send whatever an earlier function left in that byte).
constexpr bool AttributesMatchDialogsAndWords() {
  for (const KeyFunctionRow& row : kKeyFunctions) {
    if ((row.dialog == FunctionDialog::kNone) != (row.attributes.count == 0)) return false;
    if (row.attributes.contains(KeyAttribute::kKeyFunction)) return false;
    for (const KeyWordByte& byte : row.word) {
      const bool readsAttribute = byte.source == KeyWordSource::kAttribute ||
                                  byte.source == KeyWordSource::kAttributePlusOne;
      if (readsAttribute && !row.attributes.contains(static_cast<KeyAttribute>(byte.value))) {
        return false;
      }
    }
  }
  return true;
}
static_assert(AttributesMatchDialogsAndWords());

// Only a dialog gives a caption more than the menu text.
constexpr bool CaptionsHaveTheirDialogs() {
  for (const KeyFunctionRow& row : kKeyFunctions) {
    if (row.dialog == FunctionDialog::kNone && row.caption != CaptionRule::kMenuText) return false;
  }
  return true;
}
static_assert(CaptionsHaveTheirDialogs());

}  // namespace

std::span<const KeyFunctionRow, kKeyFunctionCount> KeyFunctionTable() {
  return kKeyFunctions;
}

const KeyFunctionRow& KeyFunctionRowOf(KeyFunction function) {
  return kKeyFunctions[static_cast<std::size_t>(function)];
}

const KeyFunctionRow* FindKeyFunction(int code) {
  if (code < 0 || code >= kKeyFunctionCount) return nullptr;
  return &kKeyFunctions[static_cast<std::size_t>(code)];
}

std::string_view FunctionMenuText(int code, UiLanguage language) {
  const KeyFunctionRow* row = FindKeyFunction(code);
  return row ? UiTextFor(row->menuText, language) : std::string_view{};
}

}  // namespace vm31
