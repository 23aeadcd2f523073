#pragma once
// The macro store: the macros of record.ini, one section per macro, read and written through an
// IniDocument. A section holds "ItemCount" (decimal) and the step-list lines "Item0" ..
// "Item<n-1>" in list order. Sections are macros in file order: the first is slot 1 (MacroBlock
// 0), and a macro's position in the macro list is always its block index.
//
// Limits of the file format as the program has always read it, and how this store treats them:
// - Twelve macros (twelve MacroBlocks). Every section name is read; the first twelve distinct
//   names in file order are the macros. Later sections take no slot and are reported; they stay
//   in the file untouched.
// - A later section whose name repeats an earlier one (ignoring letter case) can never be
//   reached by name, since lookups find the first. It takes no slot, so list positions and block
//   indexes stay aligned, and it is reported.
// - Names were copied into 32-character buffers (31 characters) and only the first 255
//   characters of the name list were scanned. Names here are never cut and the whole list is
//   scanned: a cut name would not find its own section and would compile as an empty macro,
//   losing it. A name over 31 characters is still a macro and is reported; the program itself
//   never creates one (NewMacroCheck refuses it).
// - "ItemCount" n: n <= 0 gives no lines. Lines Item0 .. Item<n-1> are read, at most
//   kMaxMacroLines of them; a missing "Item<k>" reads as an empty line (as a missing key always
//   has), and reading ends after the last "Item<k>" present, so a count of 2147483647 yields only
//   the lines the file holds. Values are read as IniDocument::read gives them (at most 1023
//   characters); a longer line is cut there, which can lose its step, and is listed as cut.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ini_file.h"
#include "core/settings/mouse_config.h"
#include "core/util/result.h"

namespace vm31 {

inline constexpr int kMaxMacros = kMacroCount;  // 12 sections become slots 1..12
inline constexpr std::size_t kMacroNameMaxCharacters = 31;
// Eight times the lines a 63-entry block can use (an event and its delay line per entry); bounds
// the work of reading a hand-edited file (each line is one lookup in the document) and writing.
inline constexpr std::int32_t kMaxMacroLines = 1024;

inline constexpr std::string_view kItemCountKey = "ItemCount";
std::string ItemKey(std::size_t index);  // "Item0", "Item1", ...

// True when `name` has more than kMacroNameMaxCharacters UTF-8 characters (an invalid byte
// counts as one character).
bool MacroNameTooLong(std::string_view name);

enum class SectionIssue {
  kBeyondTwelve,   // a distinct section after the twelfth: no slot, ignored
  kDuplicateName,  // repeats an earlier section name: unreachable, ignored
};

struct IgnoredSection {
  std::string name;
  std::size_t filePosition = 0;  // 0-based position among all section headers of the file
  SectionIssue issue = SectionIssue::kBeyondTwelve;
};

struct MacroNameList {
  std::vector<std::string> names;  // at most kMaxMacros; position == block index
  std::vector<IgnoredSection> ignored;
};

MacroNameList MacroNames(const IniDocument& doc);

enum class MacroLinesIssue {
  kNone,
  kNoItemCount,   // the section has no "ItemCount": read as 0
  kNotANumber,    // "ItemCount" holds no number: read as 0
  kNegative,      // "ItemCount" below 0: no lines
  kMissingLines,  // "ItemCount" names "Item" keys the section lacks: read as empty lines
  kTooManyLines,  // more than kMaxMacroLines: stopped there
};

struct MacroLineList {
  std::int32_t itemCount = 0;  // "ItemCount" as the program has always parsed it
  std::vector<std::string> lines;
  MacroLinesIssue issue = MacroLinesIssue::kNone;
  std::vector<std::size_t> cutLines;  // indexes k of the "Item<k>" values longer than 1023
};

MacroLineList MacroLines(const IniDocument& doc, std::string_view name);

// Describes a MacroLineList's issue in words ("" for kNone), e.g. for the report of the compiler.
std::string DescribeMacroLinesIssue(const MacroLineList& list);

// Names the cut lines of `list` and the limit in words ("" when no line was cut).
std::string DescribeCutLines(const MacroLineList& list);

// Rewrites the macro's section with "ItemCount" (also when 0) and Item0 .. Item<n-1> in list
// order. The section keeps its place in the file, so every macro keeps its slot (deleting and
// appending it would move it to the end and change which macro each button's slot number
// plays); a new name is appended. Refused, leaving the document unchanged: a blank name, a name
// or line holding a line break (it could not be stored as one line and would not read back as
// given), more than kMaxMacroLines lines.
Status SaveMacro(IniDocument& doc, std::string_view name, const std::vector<std::string>& lines);

// Removes the first section named `name` (letter case ignored) with all its keys. Blocks are not
// recompiled here. kNotFound when there is no such section.
Status DeleteMacro(IniDocument& doc, std::string_view name);

}  // namespace vm31
