#pragma once
// Compiling the macros of record.ini into the mouse's twelve 128-byte MacroBlocks.
//
// MacroBlock layout: byte 0 loop count high, byte 1 loop count low (1..65535; 0 in the block of
// an empty macro), bytes 2..127 up to 63 two-byte entries in event order, zero after the last.
// Entry: [delay byte, key code]. The delay byte has bit 7 set for a release. A delay d of at most
// 1270 ms is one entry with d / 10 in bits 0..6. A longer delay takes two entries:
// [d % 100 | release bit, key code] then [d / 100, 0x03] (no release bit on the second).
//
// MacroEventLine: a press is key name + "   Dn", a release key name + "   Up" (three blanks), a
// delay decimal milliseconds + " ms". Each event takes the delay of the line right after it
// (every " ms" removed, the leading number, 0 without one); the last line has no line after it
// and gets 0 - lines past "ItemCount" are never looked at. Key codes come from KeyUsageFromName,
// 0 for a name the table does not hold.
//
// Choices where the format has no room:
// - A delay beyond what two entries carry (d / 100 > 255) is clamped to kMaxMacroDelayMs
//   (25599 ms); a negative delay is taken as 0. Both are reported.
// - A block holds 63 entries. An event that no longer fits (a two-entry event with one entry
//   left included) is not written, nor is any later event; the rest of the block stays 0 and
//   the report counts the dropped events. Nothing is ever written outside the block.
// - Sections beyond the twelfth and repeated section names take no block (see macro_store.h);
//   names over 31 characters compile normally. All of these are reported.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/macros/macro_store.h"
#include "core/settings/ini_file.h"
#include "core/settings/mouse_config.h"

namespace vm31 {

inline constexpr std::string_view kPressSuffix = "   Dn";
inline constexpr std::string_view kReleaseSuffix = "   Up";
inline constexpr std::string_view kDelaySuffix = " ms";

inline constexpr std::size_t kMacroEntriesOffset = 2;  // after the loop count
inline constexpr std::size_t kMacroEntrySize = 2;
inline constexpr int kMacroEntryCapacity = 63;
static_assert(kMacroEntriesOffset + kMacroEntrySize * kMacroEntryCapacity == kMacroBlockSize);

inline constexpr std::uint8_t kReleaseBit = 0x80;
inline constexpr std::int32_t kMaxOneEntryDelayMs = 1270;  // 127 x 10 ms
inline constexpr std::int32_t kMaxMacroDelayMs = 255 * 100 + 99;
inline constexpr std::uint8_t kLongDelayCode = 0x03;  // code byte of a delay's second entry

enum class MacroLineKind { kPress, kRelease, kOther };

struct MacroEventLine {
  MacroLineKind kind = MacroLineKind::kOther;
  std::string keyName;  // the line with every suffix of its kind removed; empty for kOther
};

// A line containing "   Dn" is a press, else one containing "   Up" a release, else neither.
MacroEventLine ParseMacroEventLine(std::string_view line);
// Every " ms" removed, then the leading decimal number (0 without one; saturates at int32).
std::int32_t ParseDelayLine(std::string_view line);

struct MacroEntry {
  std::uint8_t delay = 0;
  std::uint8_t code = 0;
  friend bool operator==(const MacroEntry&, const MacroEntry&) = default;
};

struct EncodedEvent {
  std::array<MacroEntry, 2> entries{};
  int count = 0;  // 1 or 2
};

// `delayMs` must lie in 0..kMaxMacroDelayMs; callers clamp first.
EncodedEvent EncodeMacroEvent(bool release, std::uint8_t code, std::int32_t delayMs);

struct LinesCompileResult {
  int entries = 0;         // entries written
  int droppedEvents = 0;   // events that found the block full
  int clampedDelays = 0;   // delays above kMaxMacroDelayMs
  int negativeDelays = 0;  // delays below 0
};

// Writes the entries of `lines` into bytes 2..127 of `block` after zeroing them; bytes 0 and 1
// (the loop count) are left as they are.
LinesCompileResult CompileMacroLines(const std::vector<std::string>& lines,
                                     std::span<std::uint8_t, kMacroBlockSize> block);

enum class CompileIssue {
  kSectionIgnored,     // beyond the twelfth macro: compiled nowhere
  kDuplicateSection,   // repeats an earlier name: compiled nowhere
  kNameTooLong,        // over 31 characters: compiled, but outside the program's own limits
  kItemCountUnusable,  // missing, not a number, negative, beyond the lines present or the cap
  kBlockFull,          // events dropped at 63 entries
  kDelayOutOfRange,    // delays clamped
  kLineCut,            // step lines over 1023 characters, compiled as cut there
};

struct CompileProblem {
  std::string macroName;
  int block = -1;  // 0..11, -1 when the section has no block
  CompileIssue issue = CompileIssue::kSectionIgnored;
  std::string text;  // what happened, in words, without the name
};

enum class BlockAction {
  kCleared,   // "ItemCount" 0 (or no number): all 128 bytes zeroed, the loop count too
  kLeft,      // "ItemCount" negative: the block is left as it was
  kCompiled,  // entries rewritten, loop count kept
};

struct CompiledMacro {
  std::string name;
  int block = 0;
  std::int32_t itemCount = 0;
  BlockAction action = BlockAction::kCompiled;
  int entries = 0;
};

struct CompileReport {
  std::vector<CompiledMacro> macros;  // in block order
  std::vector<CompileProblem> problems;
  bool clean() const { return problems.empty(); }
};

// One line per problem: the macro's name in quotes (cut to 40 characters for display), its slot
// and the text, e.g. "Dash" (slot 3): block full at 63 entries; 4 events dropped.
std::string FormatCompileProblem(const CompileProblem& problem);

// Compiles the first twelve macros of the document into blocks 0..11 of `config` by file order.
// Blocks without a macro in the file keep their content.
CompileReport CompileMacros(const IniDocument& doc, MouseConfig& config);

}  // namespace vm31
