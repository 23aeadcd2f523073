#pragma once
// Editing of the macro list and the step list of the advanced page as pure functions: each takes
// the current lines (or names) and selection and returns the result; the window applies it to
// its controls and shows the messages that belong to the return codes.
//
// Step lines follow the MacroEventLine syntax (macro_compiler.h). Insertions keep events
// separated by exactly one delay line; a newly inserted delay is always "50 ms".

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/mouse_config.h"

namespace vm31 {

// The entries of the mouse-event drop-down, in order (three blanks before Dn and Up).
inline constexpr std::array<std::string_view, 9> kMouseEventList = {
    "L-Button Click", "R-Button Click", "M-Button Click", "L-Button   Dn", "L-Button   Up",
    "R-Button   Dn",  "R-Button   Up",  "M-Button   Dn",  "M-Button   Up"};

inline constexpr std::string_view kInsertedDelayLine = "50 ms";
inline constexpr std::int32_t kMinEditedDelayMs = 20;
inline constexpr std::int32_t kMaxEditedDelayMs = 10000;
inline constexpr std::int32_t kMaxLoopCount = 65535;

// A delay line of the step list: one that contains "ms" (every such line counts as a delay).
bool IsDelayLine(std::string_view line);

enum class NewMacroResult {
  kOk,
  kBlank,         // "Macro name is blank"
  kTooMany,       // "Macro numbers up to 12."
  kExists,        // "Macro name already exists"
  kTooLong,       // over 31 characters: such a section could not be read back
  kBadCharacter,  // a control character (line break, tab ...) or blanks at either end: the
                  // section would not read back under the same name (names are trimmed, line
                  // breaks cannot be stored)
};

// The checks of "New" for the text typed into the macro-name field against the names of the
// macro list. Blank text is refused first. When the list is empty there is nothing to compare
// with; otherwise twelve entries refuse, then an existing name (whole text, letter case ignored).
// Names that could not be stored and read back as typed are refused last.
NewMacroResult NewMacroCheck(const std::vector<std::string>& names, std::string_view typed);

struct StepListEdit {
  std::vector<std::string> lines;
  std::optional<std::size_t> selection;
  bool changed = false;
};

// Inserts a mouse-event entry. A click entry (one containing "Click") becomes three lines: the
// entry with " Click" replaced by "   Dn", "50 ms", the entry with " Click" replaced by "   Up";
// any other entry is one line. By the selection:
// 1. none (or out of range): only into an empty list of a selected macro, at the top, followed
//    by "50 ms"; the selection stays empty. Otherwise nothing changes.
// 2. a delay line (containing "ms"): after it the entry's lines, then "50 ms"; the first inserted
//    line is selected.
// 3. an event line: after it "50 ms", then the entry's lines; the entry's first line is selected.
// An empty entry changes nothing.
StepListEdit InsertMouseEvent(const std::vector<std::string>& lines,
                              std::optional<std::size_t> selection, std::string_view entry,
                              bool macroSelected);

// Applies the delay dialog's result to the selected line when it is a delay line (contains
// "ms"): "20 ms" below 20, "10000 ms" above 10000, else the entered text + " ms". The line is
// replaced in place and stays selected. Entered text that is not plain digits (the field takes
// digits only, so only pasted text) is replaced by the value's decimal text, so no other
// character reaches the step list.
StepListEdit EditDelay(const std::vector<std::string>& lines, std::optional<std::size_t> selection,
                       std::int32_t value, std::string_view text);

// Removes the selected line only (a delay after an event stays); nothing is selected afterwards.
StepListEdit DeleteEventLine(const std::vector<std::string>& lines,
                             std::optional<std::size_t> selection);

struct LoopCount {
  std::uint16_t value = 1;  // 1..65535
  bool fieldReset = false;  // the field's text must become "1"
};

// The loop-count field's text as a number; below 1 or above 65535 (no number included) gives 1
// and asks for the field to be reset.
LoopCount ParseLoopCount(std::string_view text);

// ParseLoopCount, then stores the value in bytes 0 (high) and 1 (low) of the block of the
// selected macro (0..11). A selection outside 0..11 (or none, -1) stores nothing.
LoopCount SetLoopCount(MouseConfig& config, int selectedMacro, std::string_view text);

}  // namespace vm31
