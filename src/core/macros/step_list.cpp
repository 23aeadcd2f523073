#include "core/macros/step_list.h"

#include <algorithm>

#include "core/macros/macro_store.h"
#include "core/util/text.h"

namespace vm31 {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string_view::npos;
       at = text.find(from, start)) {
    result.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  result.append(text.substr(start));
  return result;
}

std::vector<std::string> EntryLines(std::string_view entry) {
  if (entry.find("Click") == std::string_view::npos) return {std::string(entry)};
  return {ReplaceAll(entry, " Click", "   Dn"), std::string(kInsertedDelayLine),
          ReplaceAll(entry, " Click", "   Up")};
}

StepListEdit Unchanged(const std::vector<std::string>& lines,
                       std::optional<std::size_t> selection) {
  return {lines, selection, false};
}

}  // namespace

bool IsDelayLine(std::string_view line) {
  return line.find("ms") != std::string_view::npos;
}

NewMacroResult NewMacroCheck(const std::vector<std::string>& names, std::string_view typed) {
  if (typed.empty()) return NewMacroResult::kBlank;
  if (std::all_of(typed.begin(), typed.end(), IsBlank)) return NewMacroResult::kBlank;
  if (!names.empty()) {
    if (names.size() >= static_cast<std::size_t>(kMaxMacros)) return NewMacroResult::kTooMany;
    const bool exists = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
      return EqualsIgnoringAsciiCase(name, typed);
    });
    if (exists) return NewMacroResult::kExists;
  }
  if (MacroNameTooLong(typed)) return NewMacroResult::kTooLong;
  const bool badCharacter = std::any_of(
      typed.begin(), typed.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (badCharacter || IsBlank(typed.front()) || IsBlank(typed.back())) {
    return NewMacroResult::kBadCharacter;
  }
  return NewMacroResult::kOk;
}

StepListEdit InsertMouseEvent(const std::vector<std::string>& lines,
                              std::optional<std::size_t> selection, std::string_view entry,
                              bool macroSelected) {
  if (entry.empty()) return Unchanged(lines, selection);
  const std::vector<std::string> entryLines = EntryLines(entry);
  StepListEdit edit{lines, selection, true};
  if (!selection || *selection >= lines.size()) {
    if (!lines.empty() || !macroSelected) return Unchanged(lines, selection);
    edit.lines = entryLines;
    edit.lines.emplace_back(kInsertedDelayLine);
    edit.selection.reset();
    return edit;
  }
  const auto at = edit.lines.begin() + static_cast<std::ptrdiff_t>(*selection) + 1;
  if (IsDelayLine(lines[*selection])) {
    std::vector<std::string> inserted = entryLines;
    inserted.emplace_back(kInsertedDelayLine);
    edit.lines.insert(at, inserted.begin(), inserted.end());
    edit.selection = *selection + 1;
  } else {
    std::vector<std::string> inserted{std::string(kInsertedDelayLine)};
    inserted.insert(inserted.end(), entryLines.begin(), entryLines.end());
    edit.lines.insert(at, inserted.begin(), inserted.end());
    edit.selection = *selection + 2;
  }
  return edit;
}

StepListEdit EditDelay(const std::vector<std::string>& lines, std::optional<std::size_t> selection,
                       std::int32_t value, std::string_view text) {
  if (!selection || *selection >= lines.size() || !IsDelayLine(lines[*selection])) {
    return Unchanged(lines, selection);
  }
  std::string line;
  if (value < kMinEditedDelayMs) {
    line = std::to_string(kMinEditedDelayMs) + " ms";
  } else if (value > kMaxEditedDelayMs) {
    line = std::to_string(kMaxEditedDelayMs) + " ms";
  } else {
    const bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
      return c >= '0' && c <= '9';
    });
    line = (digitsOnly ? std::string(text) : std::to_string(value)) + " ms";
  }
  StepListEdit edit{lines, selection, true};
  edit.lines[*selection] = std::move(line);
  return edit;
}

StepListEdit DeleteEventLine(const std::vector<std::string>& lines,
                             std::optional<std::size_t> selection) {
  if (!selection || *selection >= lines.size()) return Unchanged(lines, selection);
  StepListEdit edit{lines, std::nullopt, true};
  edit.lines.erase(edit.lines.begin() + static_cast<std::ptrdiff_t>(*selection));
  return edit;
}

LoopCount ParseLoopCount(std::string_view text) {
  const std::int32_t parsed = ParseLeadingInt(text);
  if (parsed < 1 || parsed > kMaxLoopCount) return {1, true};
  return {static_cast<std::uint16_t>(parsed), false};
}

LoopCount SetLoopCount(MouseConfig& config, int selectedMacro, std::string_view text) {
  const LoopCount count = ParseLoopCount(text);
  if (selectedMacro >= 0 && selectedMacro < kMacroCount) {
    config.setMacroLoopCount(selectedMacro, count.value);
  }
  return count;
}

}  // namespace vm31
