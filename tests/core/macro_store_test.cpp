#include "core/macros/macro_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/macros/macro_compiler.h"
#include "core/macros/step_list.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using vm31::testing::TempFolder;
using Lines = std::vector<std::string>;

IniDocument Doc(std::string_view text) {
  return IniDocument::Parse(Bytes(text.begin(), text.end()));
}
std::string Text(const IniDocument& doc) {
  const Bytes bytes = doc.Serialize();
  return std::string(bytes.begin(), bytes.end());
}

std::string ItemsUpTo(int count) {
  std::string text;
  for (int k = 0; k < count; ++k)
    text += ItemKey(static_cast<std::size_t>(k)) + "=" + std::to_string(k) + " ms\n";
  return text;
}

TEST(MacroNames, FirstTwelveDistinctSectionsInFileOrder) {
  std::string file = "[Dash]\n[dash]\n";  // the second cannot be reached by its name
  for (int s = 1; s <= 12; ++s) file += "[M" + std::to_string(s) + "]\n";
  const MacroNameList list = MacroNames(Doc(file));
  EXPECT_EQ(list.names,
            (Lines{"Dash", "M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "M9", "M10", "M11"}));
  ASSERT_EQ(list.ignored.size(), 2u);
  EXPECT_EQ(list.ignored[0].name, "dash");
  EXPECT_EQ(list.ignored[0].filePosition, 1u);
  EXPECT_EQ(list.ignored[0].issue, SectionIssue::kDuplicateName);
  EXPECT_EQ(list.ignored[1].name, "M12");
  EXPECT_EQ(list.ignored[1].issue, SectionIssue::kBeyondTwelve);

  const std::string longName(300, 'L');
  EXPECT_EQ(MacroNames(Doc("[" + longName + "]\n")).names, Lines{longName}) << "never cut";
  EXPECT_TRUE(MacroNames(Doc("")).names.empty());
}

TEST(MacroLines, ItemCountAndItems) {
  struct Case {
    const char* what;
    std::string section;
    Lines lines;
    MacroLinesIssue issue;
    std::int32_t itemCount;
  };
  const Case cases[] = {
      {"plain",
       "ItemCount=2\nItem0=A   Dn\nItem1=50 ms\nItem2=stale\n",
       {"A   Dn", "50 ms"},
       MacroLinesIssue::kNone,
       2},
      {"zero", "ItemCount=0\nItem0=A   Dn\n", {}, MacroLinesIssue::kNone, 0},
      {"negative", "ItemCount=-3\nItem0=A   Dn\n", {}, MacroLinesIssue::kNegative, -3},
      {"no number", "ItemCount=many\nItem0=A   Dn\n", {}, MacroLinesIssue::kNotANumber, 0},
      {"no ItemCount", "Item0=A   Dn\n", {}, MacroLinesIssue::kNoItemCount, 0},
      {"2147483647 ends after the last item present",
       "ItemCount=2147483647\n" + ItemsUpTo(3),
       {"0 ms", "1 ms", "2 ms"},
       MacroLinesIssue::kMissingLines,
       2147483647},
      {"a gap reads as an empty line; later lines are kept",
       "ItemCount=5\nItem0=a\nItem1=b\nITEM3=d\n",
       {"a", "b", "", "d"},
       MacroLinesIssue::kMissingLines,
       5},
      {"duplicate keys: the first wins, key case ignored",
       "itemcount=2\nItemCount=9\nitem1=b\nItem0=a\nItem0=z\n",
       {"a", "b"},
       MacroLinesIssue::kNone,
       2},
      {"empty values are lines",
       "ItemCount=2\nItem0=\nItem1=x\n",
       {"", "x"},
       MacroLinesIssue::kNone,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const MacroLineList list = MacroLines(Doc("[M]\n" + c.section), "m");
    EXPECT_EQ(list.lines, c.lines);
    EXPECT_EQ(list.issue, c.issue);
    EXPECT_EQ(list.itemCount, c.itemCount);
    EXPECT_EQ(DescribeMacroLinesIssue(list).empty(), c.issue == MacroLinesIssue::kNone);
  }
}

TEST(MacroLines, CapsAndValueLength) {
  const MacroLineList capped = MacroLines(Doc("[M]\nItemCount=1500\n" + ItemsUpTo(1500)), "M");
  EXPECT_EQ(capped.lines.size(), static_cast<std::size_t>(kMaxMacroLines));
  EXPECT_EQ(capped.issue, MacroLinesIssue::kTooManyLines);

  const MacroLineList longValue =
      MacroLines(Doc("[M]\nItemCount=1\nItem0=" + std::string(1024 * 1024, 'v') + "\n"), "M");
  ASSERT_EQ(longValue.lines.size(), 1u);
  EXPECT_EQ(longValue.lines[0], std::string(kIniValueMaxCharacters, 'v'));
  EXPECT_EQ(longValue.cutLines, std::vector<std::size_t>{0});
  EXPECT_NE(DescribeCutLines(longValue).find("\"Item0\""), std::string::npos);

  // Exactly 1023 characters, or 1023 characters of three bytes each, are read whole.
  const std::string chinese = [] {
    std::string text;
    for (int i = 0; i < 1023; ++i) text += "\xE6\x8C\x89";
    return text;
  }();
  const MacroLineList fits = MacroLines(
      Doc("[M]\nItemCount=2\nItem0=" + std::string(1023, 'v') + "\nItem1=" + chinese + "\n"), "M");
  EXPECT_TRUE(fits.cutLines.empty());
  EXPECT_EQ(DescribeCutLines(fits), "");
}

// Confirming a macro must not move it: its slot is its position in the file, and the buttons'
// macro words name slots.
TEST(SaveMacro, RewritesTheSectionInPlace) {
  IniDocument doc =
      Doc("[One]\nItemCount=1\nItem0=A   Dn\n"
          "[Two]\nItemCount=5\nItem0=a\nItem1=b\nItem2=c\nItem3=d\nItem4=e\n"
          "[Three]\nItemCount=0\n");
  ASSERT_TRUE(SaveMacro(doc, "two", {"B   Dn", "20 ms"}));
  EXPECT_EQ(MacroNames(doc).names, (Lines{"One", "Two", "Three"}));
  EXPECT_EQ(MacroLines(doc, "Two").lines, (Lines{"B   Dn", "20 ms"}));
  EXPECT_FALSE(doc.find("Two", "Item2")) << "old lines beyond the new count are gone";

  ASSERT_TRUE(SaveMacro(doc, "Four", {}));
  EXPECT_EQ(MacroNames(doc).names, (Lines{"One", "Two", "Three", "Four"}));
  EXPECT_EQ(doc.find("Four", "ItemCount"), "0") << "an empty macro still writes ItemCount";
}

TEST(SaveMacro, RefusesWhatCannotBeStoredAndLeavesTheDocument) {
  const IniDocument original = Doc("[M]\nItemCount=1\nItem0=A   Dn\n");
  const Lines tooMany(static_cast<std::size_t>(kMaxMacroLines) + 1, "50 ms");
  struct Case {
    const char* what;
    std::string name;
    Lines lines;
    ErrorCode code;
  };
  const Case cases[] = {
      {"blank name", "", {"A   Dn"}, ErrorCode::kUsage},
      {"line break in a line",
       "M",
       {"A   Dn", "50 ms\n[Other]\nItemCount=1"},
       ErrorCode::kBadFormat},
      {"carriage return in the name", "M\rX", {}, ErrorCode::kBadFormat},
      {"too many lines", "M", tooMany, ErrorCode::kOutOfRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniDocument doc = original;
    const Status status = SaveMacro(doc, c.name, c.lines);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, c.code);
    EXPECT_NE(status.error().message.find("record.ini"), std::string::npos);
    EXPECT_EQ(Text(doc), Text(original));
  }
  IniDocument doc = original;
  EXPECT_TRUE(SaveMacro(doc, "M", Lines(static_cast<std::size_t>(kMaxMacroLines), "50 ms")));
  EXPECT_EQ(MacroLines(doc, "M").lines.size(), static_cast<std::size_t>(kMaxMacroLines));
}

TEST(DeleteMacro, RemovesTheWholeSectionIgnoringCase) {
  IniDocument doc = Doc("[One]\nItemCount=1\nItem0=A   Dn\n[Two]\nItemCount=0\n");
  ASSERT_TRUE(DeleteMacro(doc, "ONE"));
  EXPECT_EQ(Text(doc), "[Two]\nItemCount=0\n");
  const Status missing = DeleteMacro(doc, "One");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, ErrorCode::kNotFound);
}

// Every name "New" accepts is stored and read back as typed, on disk, and nothing else moves.
TEST(MacroStore, AcceptedNamesRoundTripThroughTheFile) {
  TempFolder folder;
  const auto path = folder / "record.ini";
  const Lines names = {"Dash",
                       "a]b",
                       "[x",
                       "a=b",
                       "; not a comment",
                       "名字 两个",
                       "x\xFFy",
                       std::string(kMacroNameMaxCharacters, 'n')};
  Lines accepted;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ASSERT_EQ(NewMacroCheck(accepted, name), NewMacroResult::kOk);
    auto doc = IniDocument::Load(path);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(SaveMacro(doc.value(), name, {name + "   Dn", "50 ms"}));
    ASSERT_TRUE(doc.value().Save(path));
    accepted.push_back(name);
  }
  auto loaded = IniDocument::Load(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(MacroNames(loaded.value()).names, accepted);
  for (const std::string& name : accepted) {
    EXPECT_EQ(MacroLines(loaded.value(), name).lines, (Lines{name + "   Dn", "50 ms"})) << name;
  }
}

// The page's whole cycle on a real file: confirm three macros, delete the second, confirm the
// third again; the file and the blocks agree on the slots.
TEST(MacroStore, ConfirmDeleteConfirmOnDisk) {
  TempFolder folder;
  const auto path = folder / "record.ini";
  MouseConfig config;
  auto confirm = [&](const std::string& name, const Lines& lines) {
    auto doc = IniDocument::Load(path);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(SaveMacro(doc.value(), name, lines));
    ASSERT_TRUE(doc.value().Save(path));
    EXPECT_TRUE(CompileMacros(doc.value(), config).clean());
  };
  confirm("One", {"A   Dn", "50 ms"});
  confirm("Two", {"B   Dn", "50 ms"});
  confirm("Three", {"C   Dn", "50 ms"});
  config.setMacroLoopCount(1, 7);
  {
    auto doc = IniDocument::Load(path);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(DeleteMacro(doc.value(), "Two"));
    ASSERT_TRUE(doc.value().Save(path));
  }
  confirm("Three", {"C   Up", "100 ms"});
  auto doc = IniDocument::Load(path);
  ASSERT_TRUE(doc);
  EXPECT_EQ(MacroNames(doc.value()).names, (Lines{"One", "Three"}));
  const auto block1 = config.macroBlock(1);
  EXPECT_EQ(config.macroLoopCount(1), 7);
  EXPECT_EQ(block1[2], 0x8A);
  EXPECT_EQ(block1[3], 0x06);
  EXPECT_EQ(config.macroBlock(2)[3], 0x06) << "block 2 keeps the old third macro";
}

}  // namespace
}  // namespace vm31
