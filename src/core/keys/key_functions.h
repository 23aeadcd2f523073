#pragma once
// The key functions a button can hold, one row per function code. The code is the function's
// position in the function menu and what `keyFunction` stores; its row says everything else that
// follows from it: the menu text, the sub-dialog that asks for its parameters, the attributes
// that dialog's result fills, the caption the button then gets and the key word the mouse is sent.
// The function menu, `AssignFunction`, the dialog runner, the key encoding and vm31ctl's
// description of a settings file all read this table; a new function is a row here and its menu
// texts in the text table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/keys/key_encoding.h"
#include "core/settings/mouse_config.h"
#include "core/text/text_table.h"

namespace vm31 {

// The function codes, in menu order.
enum class KeyFunction : std::uint8_t {
  kLeftClick = 0,
  kRightClick,
  kMiddleClick,
  kForward,
  kBackward,
  kTripleClick,
  kDpiSwitch,  // chosen through the DPI-switch cascade (AssignDpiStage), not from the menu
  kLightingOnOff,
  kWindows,
  kMultimedia,
  kFireKey,
  kSingleKey,
  kComboKey,
  kMacroKey,
  kShift,   // held in both key groups at once
  kKeyOff,  // the last code: kKeyFunctionCount follows from it
};
inline constexpr int kKeyFunctionCount = static_cast<int>(KeyFunction::kKeyOff) + 1;

// Entries of the function menu: one per function code.
inline constexpr int kFunctionMenuCount = kKeyFunctionCount;

// The sub-dialog that asks for a function's parameters before the function is assigned.
enum class FunctionDialog : std::uint8_t {
  kNone,         // the function is assigned as chosen
  kWindowsList,  // a Windows-key list position and its text
  kMediaList,    // a multimedia list position and its text
  kFireKey,      // a fire-key list position and its text, the speed and the count
  kSingleKey,    // a captured key name
  kComboKey,     // a modifier name and two key names
  kMacro,        // a macro's list position and name, the play mode
};

// How the button's caption follows from the menu text (in the user-interface language) and the
// dialog's result. "-" and "+" are literal.
enum class CaptionRule : std::uint8_t {
  kMenuText,                // the menu text
  kEntryText,               // the chosen list entry's text alone
  kMenuTextAndEntry,        // menu text, "-", the chosen entry's text
  kMenuTextAndKey,          // menu text, "-", the captured key name
  kMenuTextAndCombination,  // menu text, "-", the present parts of the combination joined by "+":
                            // the modifier name (when it is a modifier), then each key name
                            // that names a key
};

// The attributes a function's dialog result fills, in the order they are stored and described.
struct FilledAttributes {
  std::array<KeyAttribute, 4> items{};
  std::size_t count = 0;

  constexpr const KeyAttribute* begin() const { return items.data(); }
  constexpr const KeyAttribute* end() const { return items.data() + count; }
  constexpr bool contains(KeyAttribute attribute) const {
    for (const KeyAttribute filled : *this) {
      if (filled == attribute) return true;
    }
    return false;
  }
};

struct KeyFunctionRow {
  KeyFunction function;
  UiText menuText;
  FunctionDialog dialog;
  FilledAttributes attributes;  // empty for the functions without a dialog
  CaptionRule caption;
  KeyWordRule word;
};

// Every row, in code order.
std::span<const KeyFunctionRow, kKeyFunctionCount> KeyFunctionTable();

// The row of one of the enumerators (a value cast from an unchecked byte is not one: use
// FindKeyFunction).
const KeyFunctionRow& KeyFunctionRowOf(KeyFunction function);

// The row of a stored or chosen function code; nullptr for a code without a row.
const KeyFunctionRow* FindKeyFunction(int code);

// The function menu's entry of code `code`; "" for a code without a row.
std::string_view FunctionMenuText(int code, UiLanguage language);

}  // namespace vm31
