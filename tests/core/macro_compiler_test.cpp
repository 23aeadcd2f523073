#include "core/macros/macro_compiler.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <string>
#include <vector>

#include "core/macros/macro_store.h"

namespace vm31 {
namespace {

constexpr std::uint8_t kCanary = 0xCC;

IniDocument Doc(std::string_view text) {
  return IniDocument::Parse(Bytes(text.begin(), text.end()));
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::uint8_t b : bytes) {
    char cell[4];
    std::snprintf(cell, sizeof cell, "%02X ", b);
    text += cell;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

// The block a compiled macro must leave: the given first bytes, zero up to byte 127.
std::string BlockHex(std::vector<std::uint8_t> head) {
  head.resize(kMacroBlockSize, 0);
  return Hex(head);
}

MouseConfig CanaryConfig() {
  MouseConfig config;
  config.bytes.fill(kCanary);
  return config;
}

// A section with the given lines, "ItemCount" matching.
std::string Section(std::string_view name, const std::vector<std::string>& lines) {
  std::string text =
      "[" + std::string(name) + "]\n" + "ItemCount=" + std::to_string(lines.size()) + "\n";
  for (std::size_t k = 0; k < lines.size(); ++k) text += ItemKey(k) + "=" + lines[k] + "\n";
  return text;
}

std::vector<CompileIssue> Issues(const CompileReport& report) {
  std::vector<CompileIssue> issues;
  for (const auto& problem : report.problems) issues.push_back(problem.issue);
  return issues;
}

TEST(MacroEntryEncoding, DelaysAndReleaseBit) {
  struct Case {
    bool release;
    std::int32_t delayMs;
    std::string expected;  // entries as "delay code" pairs, code 0x2A
  };
  const Case cases[] = {
      {false, 50, "05 2A"},
      {true, 50, "85 2A"},
      {false, 0, "00 2A"},
      {false, 9, "00 2A"},
      {false, 1270, "7F 2A"},  // the longest one-entry delay
      {true, 1270, "FF 2A"},
      {false, 1271, "47 2A 0C 03"},  // 71 ms + 12 x 100 ms
      {false, 2000, "00 2A 14 03"},
      {true, 1350, "B2 2A 0D 03"},  // the second entry carries no release bit
      {true, kMaxMacroDelayMs, "E3 2A FF 03"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.delayMs) + (c.release ? " release" : " press"));
    const EncodedEvent event = EncodeMacroEvent(c.release, 0x2A, c.delayMs);
    std::vector<std::uint8_t> bytes;
    for (int e = 0; e < event.count; ++e) {
      bytes.push_back(event.entries[e].delay);
      bytes.push_back(event.entries[e].code);
    }
    EXPECT_EQ(Hex(bytes), c.expected);
  }
}

TEST(MacroEventLine, Kinds) {
  EXPECT_EQ(ParseMacroEventLine("Right Ctrl   Dn").kind, MacroLineKind::kPress);
  EXPECT_EQ(ParseMacroEventLine("Right Ctrl   Dn").keyName, "Right Ctrl");
  EXPECT_EQ(ParseMacroEventLine("L-Button   Up").kind, MacroLineKind::kRelease);
  EXPECT_EQ(ParseMacroEventLine("L-Button   Up").keyName, "L-Button");
  EXPECT_EQ(ParseMacroEventLine("50 ms").kind, MacroLineKind::kOther);
  EXPECT_EQ(ParseMacroEventLine("A  Dn").kind, MacroLineKind::kOther);  // two blanks only
  EXPECT_EQ(ParseDelayLine("1350 ms"), 1350);
  EXPECT_EQ(ParseDelayLine("A   Dn"), 0);
  EXPECT_EQ(ParseDelayLine("4000000000 ms"), 2147483647);
}

TEST(CompileMacros, DashExampleKeepsTheLoopCount) {
  MouseConfig config = CanaryConfig();
  config.setMacroLoopCount(0, 0x0102);
  const CompileReport report =
      CompileMacros(Doc(Section("Dash", {"A   Dn", "50 ms", "A   Up", "50 ms"})), config);
  EXPECT_EQ(Hex(config.macroBlock(0)), BlockHex({0x01, 0x02, 0x05, 0x04, 0x85, 0x04}));
  EXPECT_TRUE(report.clean());
  ASSERT_EQ(report.macros.size(), 1u);
  EXPECT_EQ(report.macros[0].entries, 2);
  EXPECT_EQ(Hex(config.macroBlock(1)), Hex(CanaryConfig().macroBlock(1))) << "no macro there";
}

TEST(CompileMacros, LongDelaysLastEventAndUnknownKeys) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::vector<std::uint8_t> entries;
  };
  const Case cases[] = {
      {"press then 2000 ms", {"A   Dn", "2000 ms", "A   Up"}, {0x00, 0x04, 0x14, 0x03, 0x80, 0x04}},
      {"release then 1350 ms",
       {"B   Up", "1350 ms", "B   Dn"},
       {0xB2, 0x05, 0x0D, 0x03, 0x00, 0x05}},
      {"1270 ms is one entry", {"Right Ctrl   Dn", "1270 ms"}, {0x7F, 0xE4}},
      {"1271 ms is two", {"Right Ctrl   Dn", "1271 ms"}, {0x47, 0xE4, 0x0C, 0x03}},
      {"last event gets 0", {"C   Dn", "50 ms", "C   Up"}, {0x05, 0x06, 0x80, 0x06}},
      {"unknown key name is code 0", {"Ä   Dn", "50 ms", "Ctrl   Up"}, {0x05, 0x00, 0x80, 0xE0}},
      {"mouse buttons", {"L-Button   Dn", "50 ms", "M-Button   Up"}, {0x05, 0xF0, 0x80, 0xF2}},
      {"event followed by an event", {"A   Dn", "B   Dn", "70 ms"}, {0x00, 0x04, 0x07, 0x05}},
      {"lines neither event nor delay skipped", {"junk", "A   Dn", "30 ms", ""}, {0x03, 0x04}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MouseConfig config = CanaryConfig();
    CompileMacros(Doc(Section("M", c.lines)), config);
    std::vector<std::uint8_t> head(2 + c.entries.size(), kCanary);  // loop count kept
    std::copy(c.entries.begin(), c.entries.end(), head.begin() + 2);
    EXPECT_EQ(Hex(config.macroBlock(0)), BlockHex(head));
  }
}

TEST(CompileMacros, ItemCountZeroClearsNegativeLeavesOthersKeep) {
  MouseConfig config = CanaryConfig();
  const CompileReport report =
      CompileMacros(Doc("[Empty]\nItemCount=0\nItem0=A   Dn\n"
                        "[Negative]\nItemCount=-1\nItem0=A   Dn\nItem1=50 ms\n"
                        "[Word]\nItemCount=abc\n"
                        "[NoCount]\nItem0=A   Dn\n"),
                    config);
  EXPECT_EQ(Hex(config.macroBlock(0)), BlockHex({})) << "loop count zeroed too";
  EXPECT_EQ(Hex(config.macroBlock(1)), Hex(CanaryConfig().macroBlock(1)));
  EXPECT_EQ(Hex(config.macroBlock(2)), BlockHex({})) << "no number reads as 0";
  EXPECT_EQ(Hex(config.macroBlock(3)), BlockHex({}));
  for (int b = 4; b < kMacroCount; ++b) {
    EXPECT_EQ(Hex(config.macroBlock(b)), Hex(CanaryConfig().macroBlock(b))) << b;
  }
  ASSERT_EQ(report.macros.size(), 4u);
  EXPECT_EQ(report.macros[0].action, BlockAction::kCleared);
  EXPECT_EQ(report.macros[1].action, BlockAction::kLeft);
  EXPECT_EQ(Issues(report), (std::vector<CompileIssue>{CompileIssue::kItemCountUnusable,
                                                       CompileIssue::kItemCountUnusable,
                                                       CompileIssue::kItemCountUnusable}));
  EXPECT_EQ(report.problems[0].macroName, "Negative");
}

// Deleting the second of three macros and confirming the third: the third is now second in the
// file and compiles into block 1, under block 1's old loop count; block 2 keeps its old bytes.
TEST(CompileMacros, DeleteSecondOfThreeThenConfirmThird) {
  IniDocument doc = Doc(Section("One", {"A   Dn", "50 ms"}) + Section("Two", {"B   Dn", "50 ms"}) +
                        Section("Three", {"C   Dn", "50 ms"}));
  MouseConfig config = CanaryConfig();
  for (int b = 0; b < 3; ++b) config.setMacroLoopCount(b, static_cast<std::uint16_t>(b + 1));
  CompileMacros(doc, config);
  const std::string oldBlock2 = Hex(config.macroBlock(2));

  ASSERT_TRUE(DeleteMacro(doc, "Two"));
  ASSERT_TRUE(SaveMacro(doc, "Three", {"C   Dn", "60 ms", "C   Up"}));
  const CompileReport report = CompileMacros(doc, config);

  EXPECT_EQ(MacroNames(doc).names, (std::vector<std::string>{"One", "Three"}));
  EXPECT_EQ(Hex(config.macroBlock(1)), BlockHex({0x00, 0x02, 0x06, 0x06, 0x80, 0x06}));
  EXPECT_EQ(Hex(config.macroBlock(2)), oldBlock2);
  EXPECT_TRUE(report.clean());
}

std::string OneMegabyte(char c) {
  return std::string(1024 * 1024, c);
}

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

// Junk that a damaged or foreign file may hold: deterministic bytes of every value with enough
// brackets, "=" and line breaks to form sections and keys.
std::string BinaryJunk() {
  std::string junk;
  std::uint32_t state = 12345;
  const char pieces[] = {'[', ']', '=', '\n', '\r', '\0'};
  for (int i = 0; i < 64 * 1024; ++i) {
    state = state * 1103515245u + 12345u;
    const std::uint32_t r = state >> 16;
    junk += (r % 5 == 0) ? pieces[r % sizeof pieces] : static_cast<char>(r & 0xFF);
  }
  return "\n[J]\nItemCount=3\nItem0=A   Dn\n" + junk;
}

std::string ManySections(int count) {
  std::string text;
  for (int s = 0; s < count; ++s) text += Section("S" + std::to_string(s), {"A   Dn", "50 ms"});
  return text;
}

std::vector<std::string> Events(int count, std::string_view delay) {
  std::vector<std::string> lines;
  for (int e = 0; e < count; ++e) {
    lines.emplace_back("A   Dn");
    lines.emplace_back(delay);
  }
  return lines;
}

// Bad input gives a clear result: each case states what lands in block 0 (nullopt when only
// the absence of a crash and of stray writes can be said) and the problems reported. Around the
// blocks the record is filled with a canary, which must survive everywhere outside the blocks
// and in every block no macro was compiled into.
TEST(CompileMacros, BadInputTable) {
  struct Case {
    const char* what;
    std::string file;
    std::optional<std::string> block0;  // expected hex of block 0
    int macros;  // macros found, -1 when unknown; blocks from here on must keep the canary
    std::vector<CompileIssue> issues;
  };
  std::vector<std::uint8_t> fullOfEvents = {kCanary, kCanary};
  for (int e = 0; e < kMacroEntryCapacity; ++e) {
    fullOfEvents.push_back(0x05);
    fullOfEvents.push_back(0x04);
  }
  std::vector<std::uint8_t> twoEntryEventAtTheEnd = fullOfEvents;
  twoEntryEventAtTheEnd.resize(kMacroBlockSize - 2);  // 62 entries, the last slot stays 0
  std::vector<std::string> lastDoesNotFit = Events(62, "50 ms");
  lastDoesNotFit.insert(lastDoesNotFit.end(), {"A   Dn", "2000 ms"});

  const std::string dash = "ItemCount=2\nItem0=A   Dn\nItem1=50 ms\n";
  const std::string dashBlock = BlockHex({kCanary, kCanary, 0x05, 0x04});
  const Case cases[] = {
      {"lines without =", "[M]\nnonsense\n" + dash + "more nonsense\n", dashBlock, 1, {}},
      {"duplicate keys: first wins",
       "[M]\nItemCount=2\nItemCount=0\nItem0=A   Dn\nItem0=B   Dn\nItem1=50 ms\n",
       dashBlock,
       1,
       {}},
      {"duplicate section takes no slot",
       "[M]\n" + dash + "[m]\nItemCount=2\nItem0=B   Dn\nItem1=50 ms\n[N]\n" + dash,
       dashBlock,
       2,
       {CompileIssue::kDuplicateSection}},
      {"1 MB name and 1 MB value",
       "[" + OneMegabyte('N') + "]\nItemCount=2\nItem0=A   Dn\nItem1=50 ms" + OneMegabyte('x') +
           "\n",
       dashBlock,
       1,
       {CompileIssue::kNameTooLong, CompileIssue::kLineCut}},
      {"1 MB line without =", OneMegabyte('z') + "\n[M]\n" + dash, dashBlock, 1, {}},
      {"binary junk", BinaryJunk(), std::nullopt, -1, {}},
      {"invalid UTF-8",
       "[M\xC0\xFF\xFE]\nItemCount=2\nItem0=\xE2\x82   Dn\nItem1=50 ms\n",
       BlockHex({kCanary, kCanary, 0x05, 0x00}),
       1,
       {}},
      {"more than twelve sections",
       ManySections(14),
       dashBlock,
       12,
       {CompileIssue::kSectionIgnored, CompileIssue::kSectionIgnored}},
      {"name of 32 characters",
       "[" + std::string(32, 'N') + "]\n" + dash,
       dashBlock,
       1,
       {CompileIssue::kNameTooLong}},
      {"31 two-byte characters are 31 characters",
       "[" + Repeat("\xC3\xA9", 31) + "]\n" + dash,
       dashBlock,
       1,
       {}},
      {"ItemCount negative",
       "[M]\nItemCount=-2\nItem0=A   Dn\nItem1=50 ms\n",
       Hex(CanaryConfig().macroBlock(0)),
       1,
       {CompileIssue::kItemCountUnusable}},
      {"ItemCount 2147483647",
       "[M]\nItemCount=2147483647\nItem0=A   Dn\nItem1=50 ms\n",
       dashBlock,
       1,
       {CompileIssue::kItemCountUnusable}},
      {"ItemCount beyond int32",
       "[M]\nItemCount=99999999999\nItem0=A   Dn\nItem1=50 ms\n",
       dashBlock,
       1,
       {CompileIssue::kItemCountUnusable}},
      {"70 events: block full at 63",
       Section("M", Events(70, "50 ms")),
       BlockHex(fullOfEvents),
       1,
       {CompileIssue::kBlockFull}},
      {"a two-entry event never split",
       Section("M", lastDoesNotFit),
       BlockHex(twoEntryEventAtTheEnd),
       1,
       {CompileIssue::kBlockFull}},
      {"delay of 4 000 000 000 ms clamped",
       Section("M", {"A   Dn", "4000000000 ms"}),
       BlockHex({kCanary, kCanary, 0x63, 0x04, 0xFF, 0x03}),
       1,
       {CompileIssue::kDelayOutOfRange}},
      {"negative delay taken as 0",
       Section("M", {"A   Dn", "-500 ms"}),
       BlockHex({kCanary, kCanary, 0x00, 0x04}),
       1,
       {CompileIssue::kDelayOutOfRange}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MouseConfig config = CanaryConfig();
    const CompileReport report = CompileMacros(Doc(c.file), config);
    if (c.block0) {
      EXPECT_EQ(Hex(config.macroBlock(0)), *c.block0);
    }
    if (c.macros >= 0) {
      EXPECT_EQ(report.macros.size(), static_cast<std::size_t>(c.macros));
      for (int b = c.macros; b < kMacroCount; ++b) {
        EXPECT_EQ(Hex(config.macroBlock(b)), Hex(CanaryConfig().macroBlock(b))) << "block " << b;
      }
      EXPECT_EQ(Issues(report), c.issues);
    } else {
      EXPECT_LE(report.macros.size(), static_cast<std::size_t>(kMacroCount));
    }
    for (std::size_t at = 0; at < kMouseConfigSize; ++at) {
      if (at >= config_offset::kMacroBlocks && at < config_offset::kReservedAfterMacros) continue;
      ASSERT_EQ(config.bytes[at], kCanary) << "stray write at offset " << at;
    }
    for (const CompileProblem& problem : report.problems) {
      EXPECT_FALSE(problem.text.empty());
      EXPECT_LT(FormatCompileProblem(problem).size(), 400u) << "names are shortened for display";
    }
  }
}

TEST(CompileMacros, ReportInWords) {
  MouseConfig config = CanaryConfig();
  const CompileReport report =
      CompileMacros(Doc(ManySections(12) + Section("Late", {"A   Dn"}) + Section("S3", {"B   Dn"}) +
                        Section("S0x", Events(64, "2000 ms"))),
                    config);
  std::vector<std::string> lines;
  for (const auto& problem : report.problems) lines.push_back(FormatCompileProblem(problem));
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "\"Late\": section 13 lies beyond the twelve macros the mouse holds; ignored",
                "\"S3\": section 14 repeats an earlier macro name; ignored",
                "\"S0x\": section 15 lies beyond the twelve macros the mouse holds; ignored",
            }));

  MouseConfig other = CanaryConfig();
  const CompileReport full = CompileMacros(
      Doc(Section("Long", Events(40, "2000 ms")) + Section("Far", {"A   Dn", "99999 ms"})), other);
  lines.clear();
  for (const auto& problem : full.problems) lines.push_back(FormatCompileProblem(problem));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "\"Long\" (slot 1): block full at 62 of 63 entries; 9 events dropped",
                       "\"Far\" (slot 2): 1 delay above 25599 ms clamped to 25599 ms",
                   }));
}

}  // namespace
}  // namespace vm31
