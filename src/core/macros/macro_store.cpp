#include "core/macros/macro_store.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/util/text.h"

namespace vm31 {

namespace {

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// "ItemCount" holds a number when, after leading blanks and one sign, a digit follows (the rule
// ParseLeadingInt reads by).
bool StartsWithNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return folded;
}

}  // namespace

std::string ItemKey(std::size_t index) {
  return "Item" + std::to_string(index);
}

bool MacroNameTooLong(std::string_view name) {
  return TruncateCharacters(name, kMacroNameMaxCharacters).size() < name.size();
}

MacroNameList MacroNames(const IniDocument& doc) {
  MacroNameList result;
  std::unordered_set<std::string> seen;  // names folded to lower case, as sections match
  const std::vector<std::string> sections = doc.sectionNames();
  for (std::size_t position = 0; position < sections.size(); ++position) {
    const std::string& name = sections[position];
    if (!seen.insert(FoldAsciiCase(name)).second) {
      result.ignored.push_back({name, position, SectionIssue::kDuplicateName});
    } else if (result.names.size() >= static_cast<std::size_t>(kMaxMacros)) {
      result.ignored.push_back({name, position, SectionIssue::kBeyondTwelve});
    } else {
      result.names.push_back(name);
    }
  }
  return result;
}

MacroLineList MacroLines(const IniDocument& doc, std::string_view name) {
  MacroLineList result;
  // One pass over the section; each key then costs one hash lookup. The first of duplicate keys
  // wins, as IniDocument::find has it.
  const auto entries = doc.sectionEntries(name);
  std::unordered_map<std::string, const std::string*> values;
  values.reserve(entries.size());
  for (const auto& [key, value] : entries) values.try_emplace(FoldAsciiCase(key), &value);
  auto lookup = [&values](std::string_view key) -> const std::string* {
    const auto found = values.find(FoldAsciiCase(key));
    return found == values.end() ? nullptr : found->second;
  };

  const std::string* countText = lookup(kItemCountKey);
  if (countText == nullptr) {
    result.issue = MacroLinesIssue::kNoItemCount;
    return result;
  }
  if (!StartsWithNumber(*countText)) {
    result.issue = MacroLinesIssue::kNotANumber;
    return result;
  }
  result.itemCount = ParseLeadingInt(*countText);
  if (result.itemCount < 0) {
    result.issue = MacroLinesIssue::kNegative;
    return result;
  }
  const std::int32_t wanted = std::min(result.itemCount, kMaxMacroLines);
  std::vector<const std::string*> found(static_cast<std::size_t>(wanted), nullptr);
  std::size_t present = 0;  // lines up to and including the last "Item<k>" the section holds
  for (std::size_t k = 0; k < found.size(); ++k) {
    found[k] = lookup(ItemKey(k));
    if (found[k] != nullptr) present = k + 1;
  }
  result.lines.reserve(present);
  for (std::size_t k = 0; k < present; ++k) {
    // As IniDocument::read gives it: values were always read into 1024-character buffers.
    result.lines.push_back(found[k] ? TruncateCharacters(*found[k], kIniValueMaxCharacters)
                                    : std::string());
    if (found[k] && result.lines.back().size() < found[k]->size()) result.cutLines.push_back(k);
  }
  if (std::find(found.begin(), found.end(), nullptr) != found.end()) {
    result.issue = MacroLinesIssue::kMissingLines;
  } else if (result.itemCount > kMaxMacroLines) {
    result.issue = MacroLinesIssue::kTooManyLines;
  }
  return result;
}

std::string DescribeMacroLinesIssue(const MacroLineList& list) {
  const std::string count = std::to_string(list.itemCount);
  const std::string read = std::to_string(list.lines.size());
  switch (list.issue) {
    case MacroLinesIssue::kNone:
      return "";
    case MacroLinesIssue::kNoItemCount:
      return "has no \"ItemCount\"; read as an empty macro";
    case MacroLinesIssue::kNotANumber:
      return "\"ItemCount\" is not a number; read as an empty macro";
    case MacroLinesIssue::kNegative:
      return "\"ItemCount\" is negative (" + count + "); no lines read";
    case MacroLinesIssue::kMissingLines:
      return "\"ItemCount\" is " + count + " but some of its \"Item\" keys are missing; " + read +
             " lines read, up to the last one present, missing ones as empty lines";
    case MacroLinesIssue::kTooManyLines:
      return "\"ItemCount\" is " + count + ", more than the " + std::to_string(kMaxMacroLines) +
             " lines a macro may hold; the first " + read + " lines read";
  }
  return "";
}

std::string DescribeCutLines(const MacroLineList& list) {
  if (list.cutLines.empty()) return "";
  std::string keys;
  for (std::size_t i = 0; i < list.cutLines.size(); ++i) {
    keys += (i == 0 ? "" : ", ") + std::string("\"") + ItemKey(list.cutLines[i]) + "\"";
  }
  return (list.cutLines.size() == 1 ? "line " + keys + " is" : "lines " + keys + " are") +
         " longer than the " + std::to_string(kIniValueMaxCharacters) +
         " characters a step line may hold; read cut to " + std::to_string(kIniValueMaxCharacters) +
         " characters, which may lose the step";
}

Status SaveMacro(IniDocument& doc, std::string_view name, const std::vector<std::string>& lines) {
  if (name.empty()) return MakeError(ErrorCode::kUsage, "record.ini: the macro name is blank");
  if (HasLineBreak(name)) {
    return MakeError(ErrorCode::kBadFormat, "record.ini: the macro name holds a line break");
  }
  if (lines.size() > static_cast<std::size_t>(kMaxMacroLines)) {
    return MakeError(ErrorCode::kOutOfRange,
                     "record.ini: macro \"" + std::string(name) + "\" has " +
                         std::to_string(lines.size()) + " lines, more than the " +
                         std::to_string(kMaxMacroLines) + " a macro may hold");
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (HasLineBreak(lines[k])) {
      return MakeError(ErrorCode::kBadFormat, "record.ini: line " + std::to_string(k) +
                                                  " of macro \"" + std::string(name) +
                                                  "\" holds a line break");
    }
  }
  std::vector<std::pair<std::string, std::string>> entries;
  entries.reserve(lines.size() + 1);
  entries.emplace_back(std::string(kItemCountKey), std::to_string(lines.size()));
  for (std::size_t k = 0; k < lines.size(); ++k) entries.emplace_back(ItemKey(k), lines[k]);
  doc.replaceSection(name, entries);
  return Ok{};
}

Status DeleteMacro(IniDocument& doc, std::string_view name) {
  if (!doc.removeSection(name)) {
    return MakeError(ErrorCode::kNotFound,
                     "record.ini: there is no macro \"" + std::string(name) + "\"");
  }
  return Ok{};
}

}  // namespace vm31
