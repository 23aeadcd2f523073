#include "core/macros/macro_compiler.h"

#include <algorithm>

#include "core/keys/key_tables.h"
#include "core/util/text.h"

namespace vm31 {

namespace {

std::string RemoveAll(std::string_view text, std::string_view piece) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at = text.find(piece); at != std::string_view::npos;
       at = text.find(piece, start)) {
    result.append(text.substr(start, at - start));
    start = at + piece.size();
  }
  result.append(text.substr(start));
  return result;
}

std::string Plural(int count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

}  // namespace

MacroEventLine ParseMacroEventLine(std::string_view line) {
  if (line.find(kPressSuffix) != std::string_view::npos) {
    return {MacroLineKind::kPress, RemoveAll(line, kPressSuffix)};
  }
  if (line.find(kReleaseSuffix) != std::string_view::npos) {
    return {MacroLineKind::kRelease, RemoveAll(line, kReleaseSuffix)};
  }
  return {};
}

std::int32_t ParseDelayLine(std::string_view line) {
  return ParseLeadingInt(RemoveAll(line, kDelaySuffix));
}

EncodedEvent EncodeMacroEvent(bool release, std::uint8_t code, std::int32_t delayMs) {
  const std::int32_t d = std::clamp(delayMs, std::int32_t{0}, kMaxMacroDelayMs);
  const std::uint8_t releaseBit = release ? kReleaseBit : 0;
  EncodedEvent event;
  if (d <= kMaxOneEntryDelayMs) {
    event.entries[0] = {static_cast<std::uint8_t>(d / 10 | releaseBit), code};
    event.count = 1;
  } else {
    event.entries[0] = {static_cast<std::uint8_t>(d % 100 | releaseBit), code};
    event.entries[1] = {static_cast<std::uint8_t>(d / 100), kLongDelayCode};
    event.count = 2;
  }
  return event;
}

LinesCompileResult CompileMacroLines(const std::vector<std::string>& lines,
                                     std::span<std::uint8_t, kMacroBlockSize> block) {
  std::fill(block.begin() + kMacroEntriesOffset, block.end(), std::uint8_t{0});
  LinesCompileResult result;
  bool full = false;
  for (std::size_t j = 0; j < lines.size(); ++j) {
    const MacroEventLine event = ParseMacroEventLine(lines[j]);
    if (event.kind == MacroLineKind::kOther) continue;
    if (full) {
      ++result.droppedEvents;
      continue;
    }
    std::int32_t delay = j + 1 < lines.size() ? ParseDelayLine(lines[j + 1]) : 0;
    if (delay < 0) {
      ++result.negativeDelays;
      delay = 0;
    } else if (delay > kMaxMacroDelayMs) {
      ++result.clampedDelays;
      delay = kMaxMacroDelayMs;
    }
    const EncodedEvent encoded = EncodeMacroEvent(event.kind == MacroLineKind::kRelease,
                                                  KeyUsageFromName(event.keyName), delay);
    if (result.entries + encoded.count > kMacroEntryCapacity) {
      full = true;
      ++result.droppedEvents;
      continue;
    }
    for (int e = 0; e < encoded.count; ++e) {
      const std::size_t at =
          kMacroEntriesOffset + kMacroEntrySize * static_cast<std::size_t>(result.entries);
      block[at] = encoded.entries[e].delay;
      block[at + 1] = encoded.entries[e].code;
      ++result.entries;
    }
  }
  return result;
}

std::string FormatCompileProblem(const CompileProblem& problem) {
  constexpr std::size_t kShownNameCharacters = 40;
  std::string name = TruncateCharacters(problem.macroName, kShownNameCharacters);
  if (name.size() < problem.macroName.size()) name += "...";
  std::string where =
      problem.block >= 0 ? " (slot " + std::to_string(problem.block + 1) + ")" : std::string();
  return "\"" + name + "\"" + where + ": " + problem.text;
}

CompileReport CompileMacros(const IniDocument& doc, MouseConfig& config) {
  CompileReport report;
  const MacroNameList names = MacroNames(doc);
  for (const IgnoredSection& section : names.ignored) {
    CompileProblem problem{section.name, -1, CompileIssue::kSectionIgnored, ""};
    if (section.issue == SectionIssue::kDuplicateName) {
      problem.issue = CompileIssue::kDuplicateSection;
      problem.text = "section " + std::to_string(section.filePosition + 1) +
                     " repeats an earlier macro name; ignored";
    } else {
      problem.text = "section " + std::to_string(section.filePosition + 1) +
                     " lies beyond the twelve macros the mouse holds; ignored";
    }
    report.problems.push_back(std::move(problem));
  }

  for (std::size_t t = 0; t < names.names.size(); ++t) {
    const std::string& name = names.names[t];
    const int blockIndex = static_cast<int>(t);
    auto addProblem = [&](CompileIssue issue, std::string text) {
      report.problems.push_back({name, blockIndex, issue, std::move(text)});
    };
    if (MacroNameTooLong(name)) {
      addProblem(CompileIssue::kNameTooLong, "name longer than " +
                                                 std::to_string(kMacroNameMaxCharacters) +
                                                 " characters; compiled as it stands");
    }

    const MacroLineList list = MacroLines(doc, name);
    if (list.issue != MacroLinesIssue::kNone) {
      addProblem(
          CompileIssue::kItemCountUnusable,
          DescribeMacroLinesIssue(list) + (list.itemCount < 0 ? "; block left unchanged" : ""));
    }
    if (!list.cutLines.empty()) addProblem(CompileIssue::kLineCut, DescribeCutLines(list));

    CompiledMacro compiled{name, blockIndex, list.itemCount, BlockAction::kCompiled, 0};
    auto block = config.macroBlock(blockIndex);
    if (list.itemCount == 0) {
      std::fill(block.begin(), block.end(), std::uint8_t{0});
      compiled.action = BlockAction::kCleared;
    } else if (list.itemCount < 0) {
      compiled.action = BlockAction::kLeft;
    } else {
      const LinesCompileResult result = CompileMacroLines(list.lines, block);
      compiled.entries = result.entries;
      if (result.droppedEvents > 0) {
        addProblem(CompileIssue::kBlockFull,
                   "block full at " + std::to_string(result.entries) + " of " +
                       std::to_string(kMacroEntryCapacity) + " entries; " +
                       Plural(result.droppedEvents, "event") + " dropped");
      }
      if (result.clampedDelays > 0) {
        addProblem(CompileIssue::kDelayOutOfRange,
                   Plural(result.clampedDelays, "delay") + " above " +
                       std::to_string(kMaxMacroDelayMs) + " ms clamped to " +
                       std::to_string(kMaxMacroDelayMs) + " ms");
      }
      if (result.negativeDelays > 0) {
        addProblem(CompileIssue::kDelayOutOfRange,
                   Plural(result.negativeDelays, "negative delay") + " taken as 0 ms");
      }
    }
    report.macros.push_back(std::move(compiled));
  }
  return report;
}

}  // namespace vm31
