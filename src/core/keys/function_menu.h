#pragma once
// The key-function rules of the basic page: which function a button gets from the function list
// and its sub-dialogs, the caption that goes with it, the DPI-switch cascade, the guard that
// keeps one button on "Left Click", and the Shift coupling of the two key groups.
//
// These work on the settings record and the button captions only; opening lists and dialogs is
// the window's business. Buttons are 0..11, groups 0..1; other values change nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/keys/key_functions.h"
#include "core/settings/mouse_config.h"
#include "core/settings/preferences.h"
#include "core/text/text_table.h"

namespace vm31 {

// The DPI-switch cascade: position p stores dpiSwitchStage p + 1. The same in every language.
inline constexpr std::array<std::string_view, 4> kDpiSwitchMenu{"DPI +", "DPI -", "DPI Loop",
                                                                "Shift DPI"};

// The menu position whose hover opens the DPI-switch cascade.
inline constexpr int kFunctionDpiSwitch = static_cast<int>(KeyFunction::kDpiSwitch);
// Buttons that the Shift uniqueness check covers (the eight a key group really uses).
inline constexpr int kShiftCheckedButtons = 8;

// True for the menu positions whose function has a sub-dialog (its row's dialog is not kNone).
bool FunctionNeedsDialog(int function);

// What a sub-dialog returned with OK.
struct FunctionParameters {
  int position = 0;         // the chosen entry of the dialog's list (Windows, media, fire, macro)
  std::string entryText{};  // that entry's text as the dialog showed it
  std::uint8_t fireSpeed = 0;
  std::uint8_t fireCount = 0;
  std::string keyName{};       // single key; first key of a combination
  std::string modifierName{};  // combination
  std::string keyName2{};      // combination
  int macroPlayMode = 1;       // 1..3
};

enum class AssignOutcome {
  kListStays,  // nothing selected or "DPI Switch": the list stays on screen, nothing changed
  kUnchanged,  // the list closes, nothing changed (Shift taken, a sub-dialog cancelled)
  kAssigned,   // the list closes, the function and caption are stored
};

// Refuses to open button `button`'s list when it holds "Left Click" in `group` and no other of
// the group's twelve buttons does: some button must stay the left button.
bool LeftButtonGuardBlocks(const MouseConfig& config, int group, int button);

// Assigns function `function` (the list position; -1: nothing selected) to `button` of `group`.
// For the functions with a sub-dialog, `parameters` is what it returned with OK, or nullopt when
// it was cancelled: a cancelled dialog changes neither the function nor its parameters nor the
// caption. A button that held Shift takes its new function and caption in both groups; Shift
// itself goes to both groups and only when no button 0..7 of `group` holds it yet.
AssignOutcome AssignFunction(MouseConfig& config, ButtonLabels& labels, int button, int group,
                             int function, const std::optional<FunctionParameters>& parameters,
                             UiLanguage language);

// Makes `button` of `group` a DPI switch with cascade position `position` (0..3): caption, code 6
// and dpiSwitchStage position + 1. No Shift coupling. False (nothing changed) for a bad position.
bool AssignDpiStage(MouseConfig& config, ButtonLabels& labels, int button, int group, int position);

// The caption a function gets (its row's caption rule); `parameters` is ignored for the functions
// without a dialog.
std::string FunctionLabel(KeyFunction function, const FunctionParameters& parameters,
                          UiLanguage language);

// The caption that choosing `button`'s stored function in `group` would have written, its
// parameters taken from the record: the Windows, media and fire-key list entries' texts in
// `language`, the key and modifier names, the DPI cascade entry of its stage and the name of its
// macro in `macroNames` (record.ini's list, position = macro index). "" for a code outside the
// function table.
std::string StoredFunctionLabel(const MouseConfig& config, int group, int button,
                                std::span<const std::string> macroNames, UiLanguage language);

// Gives every empty caption of `labels` its StoredFunctionLabel; captions with text stay as they
// are. True when one was filled.
bool FillMissingLabels(const MouseConfig& config, ButtonLabels& labels,
                       std::span<const std::string> macroNames, UiLanguage language);

}  // namespace vm31
