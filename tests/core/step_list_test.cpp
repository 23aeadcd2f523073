#include "core/macros/step_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/macros/macro_compiler.h"

namespace vm31 {
namespace {

using Lines = std::vector<std::string>;
constexpr std::optional<std::size_t> kNone = std::nullopt;

Lines TwelveNames() {
  Lines names;
  for (int i = 1; i <= 12; ++i) names.push_back("M" + std::to_string(i));
  return names;
}

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(NewMacroCheck, Results) {
  struct Case {
    Lines names;
    std::string typed;
    NewMacroResult result;
  };
  const Case cases[] = {
      {{}, "", NewMacroResult::kBlank},
      {{"Dash"}, "  ", NewMacroResult::kBlank},
      {{}, "Dash", NewMacroResult::kOk},
      {{"Dash"}, "Dash", NewMacroResult::kExists},
      {{"Jump", "Dash"}, "dASH", NewMacroResult::kExists},  // letter case ignored
      {{"Dash"}, "Dash2", NewMacroResult::kOk},             // whole-name match only
      {{"Dash"}, "Das", NewMacroResult::kOk},
      {TwelveNames(), "Thirteen", NewMacroResult::kTooMany},
      {TwelveNames(), "M1", NewMacroResult::kTooMany},
      {{"M1"}, std::string(kMacroNameMaxCharacters, 'n'), NewMacroResult::kOk},
      {{"M1"}, std::string(kMacroNameMaxCharacters + 1, 'n'), NewMacroResult::kTooLong},
      {{}, Repeat("\xE5\x90\x8D", 31), NewMacroResult::kOk},  // characters, not bytes
      {{}, Repeat("\xE5\x90\x8D", 32), NewMacroResult::kTooLong},
      {{}, " Dash", NewMacroResult::kBadCharacter},  // would be read back as "Dash"
      {{"Dash"}, "Dash ", NewMacroResult::kBadCharacter},
      {{}, "Da\nsh", NewMacroResult::kBadCharacter},
      {{}, "Da\tsh", NewMacroResult::kBadCharacter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.typed + "\" against " + std::to_string(c.names.size()) + " names");
    EXPECT_EQ(NewMacroCheck(c.names, c.typed), c.result);
  }
}

TEST(InsertMouseEvent, ThreePlacesByTheSelection) {
  const Lines click = {"L-Button   Dn", "50 ms", "L-Button   Up", "50 ms"};
  struct Case {
    const char* what;
    Lines lines;
    std::optional<std::size_t> selection;
    std::string entry;
    bool macroSelected;
    Lines expected;
    std::optional<std::size_t> expectedSelection;
  };
  const Case cases[] = {
      {"click into an empty list", {}, kNone, "L-Button Click", true, click, kNone},
      {"press into an empty list",
       {},
       kNone,
       "M-Button   Dn",
       true,
       {"M-Button   Dn", "50 ms"},
       kNone},
      {"after an event line",
       click,
       2,
       "R-Button Click",
       true,
       {"L-Button   Dn", "50 ms", "L-Button   Up", "50 ms", "R-Button   Dn", "50 ms",
        "R-Button   Up", "50 ms"},
       4},
      {"after a delay line",
       click,
       1,
       "M-Button   Up",
       true,
       {"L-Button   Dn", "50 ms", "M-Button   Up", "50 ms", "L-Button   Up", "50 ms"},
       2},
      {"click after the last delay",
       {"A   Dn", "50 ms"},
       1,
       "R-Button Click",
       false,  // only the empty-list case asks for a selected macro
       {"A   Dn", "50 ms", "R-Button   Dn", "50 ms", "R-Button   Up", "50 ms"},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const StepListEdit edit = InsertMouseEvent(c.lines, c.selection, c.entry, c.macroSelected);
    EXPECT_TRUE(edit.changed);
    EXPECT_EQ(edit.lines, c.expected);
    EXPECT_EQ(edit.selection, c.expectedSelection);
  }
}

TEST(InsertMouseEvent, NothingWithoutAUsablePlace) {
  const Lines some = {"A   Dn", "50 ms"};
  struct Case {
    const char* what;
    Lines lines;
    std::optional<std::size_t> selection;
    std::string entry;
    bool macroSelected;
  };
  const Case cases[] = {
      {"empty list, no macro selected", {}, kNone, "L-Button Click", false},
      {"lines but no selection", some, kNone, "L-Button Click", true},
      {"selection past the end", some, 2, "L-Button Click", true},
      {"no entry", some, 0, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const StepListEdit edit = InsertMouseEvent(c.lines, c.selection, c.entry, c.macroSelected);
    EXPECT_FALSE(edit.changed);
    EXPECT_EQ(edit.lines, c.lines);
    EXPECT_EQ(edit.selection, c.selection);
  }
}

// Every entry of the drop-down, inserted into an empty macro, compiles to its button's code with
// the press and release bits the entry names.
TEST(InsertMouseEvent, EveryListEntryCompiles) {
  const std::vector<std::vector<std::uint8_t>> expected = {{0x05, 0xF0, 0x85, 0xF0},
                                                           {0x05, 0xF1, 0x85, 0xF1},
                                                           {0x05, 0xF2, 0x85, 0xF2},
                                                           {0x05, 0xF0},
                                                           {0x85, 0xF0},
                                                           {0x05, 0xF1},
                                                           {0x85, 0xF1},
                                                           {0x05, 0xF2},
                                                           {0x85, 0xF2}};
  ASSERT_EQ(expected.size(), kMouseEventList.size());
  for (std::size_t i = 0; i < kMouseEventList.size(); ++i) {
    SCOPED_TRACE(kMouseEventList[i]);
    const StepListEdit edit = InsertMouseEvent({}, kNone, kMouseEventList[i], true);
    MouseConfig config;
    CompileMacroLines(edit.lines, config.macroBlock(0));
    std::vector<std::uint8_t> entries(config.macroBlock(0).begin() + 2,
                                      config.macroBlock(0).begin() + 2 + expected[i].size() + 2);
    std::vector<std::uint8_t> want = expected[i];
    want.insert(want.end(), {0, 0});
    EXPECT_EQ(entries, want);
  }
}

TEST(EditDelay, ClampsAndKeepsTheTypedText) {
  const Lines lines = {"A   Dn", "50 ms", "A   Up"};
  struct Case {
    std::int32_t value;
    std::string text;
    std::string line;
  };
  const Case cases[] = {
      {5, "5", "20 ms"},
      {19, "19", "20 ms"},
      {20, "20", "20 ms"},
      {750, "750", "750 ms"},
      {10000, "10000", "10000 ms"},
      {10001, "10001", "10000 ms"},
      {20000, "20000", "10000 ms"},
      {0, "", "20 ms"},
      {2147483647, "99999999999", "10000 ms"},
      {75, "0075", "0075 ms"},   // the dialog's text as typed
      {50, "50\n[X]", "50 ms"},  // pasted junk never reaches the list
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const StepListEdit edit = EditDelay(lines, 1, c.value, c.text);
    EXPECT_TRUE(edit.changed);
    EXPECT_EQ(edit.lines, (Lines{"A   Dn", c.line, "A   Up"}));
    EXPECT_EQ(edit.selection, std::optional<std::size_t>(1));
  }
  EXPECT_FALSE(EditDelay(lines, 0, 500, "500").changed) << "an event line is no delay";
  EXPECT_FALSE(EditDelay(lines, kNone, 500, "500").changed);
  EXPECT_FALSE(EditDelay(lines, 3, 500, "500").changed);
}

TEST(DeleteEventLine, RemovesOnlyTheSelectedLine) {
  const Lines lines = {"A   Dn", "50 ms", "A   Up", "50 ms"};
  const StepListEdit edit = DeleteEventLine(lines, 2);
  EXPECT_TRUE(edit.changed);
  EXPECT_EQ(edit.lines, (Lines{"A   Dn", "50 ms", "50 ms"}));
  EXPECT_EQ(edit.selection, kNone);
  EXPECT_FALSE(DeleteEventLine(lines, 4).changed);
  EXPECT_FALSE(DeleteEventLine(lines, kNone).changed);
  EXPECT_FALSE(DeleteEventLine({}, 0).changed);
}

TEST(LoopCount, ParseAndStore) {
  struct Case {
    std::string text;
    std::uint16_t value;
    bool reset;
  };
  const Case cases[] = {
      {"1", 1, false},    {"300", 300, false},      {"65535", 65535, false}, {"0", 1, true},
      {"70000", 1, true}, {"65536", 1, true},       {"-4", 1, true},         {"", 1, true},
      {"abc", 1, true},   {"99999999999", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const LoopCount count = ParseLoopCount(c.text);
    EXPECT_EQ(count.value, c.value);
    EXPECT_EQ(count.fieldReset, c.reset);
  }

  MouseConfig config;
  const LoopCount stored = SetLoopCount(config, 11, "300");
  EXPECT_EQ(stored.value, 300);
  EXPECT_EQ(config.macroBlock(11)[0], 0x01) << "high byte first";
  EXPECT_EQ(config.macroBlock(11)[1], 0x2C);
  const MouseConfig before = config;
  for (int outside : {-1, 12, 1000}) {
    SCOPED_TRACE(outside);
    EXPECT_EQ(SetLoopCount(config, outside, "500").value, 500);
    EXPECT_EQ(config, before);
  }
}

}  // namespace
}  // namespace vm31
