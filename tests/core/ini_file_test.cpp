#include "core/settings/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>

#include "support/temp_folder.h"

namespace vm31 {
namespace {

using vm31::testing::TempFolder;

Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}
std::string ToText(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// UTF-16LE bytes with a byte-order mark for ASCII and BMP text given as code units.
Bytes Utf16LeFile(std::u16string_view units) {
  Bytes bytes = {0xFF, 0xFE};
  for (char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TEST(IniDocument, Lookups) {
  const std::string file =
      "Lan=before any section\r\n"
      "  [ Skins ]  \r\n"
      "; Lan=commented out\r\n"
      "a line without an equals sign\r\n"
      "  Lan = CHS  \r\n"
      "LAN=second key of the same name\r\n"
      "Path=\"quoted\"\r\n"
      "Formula=a=b\r\n"
      "Empty=\r\n"
      "[Unclosed\r\n"
      "AfterUnclosed=still Skins\r\n"
      "[skins]\r\n"
      "Lan=duplicate section\r\n"
      "Only=in the duplicate\r\n"
      "[Name]With]Brackets]trailing\r\n"
      "Key=bracketed\r\n"
      "[Last]\r\n"
      "Tail=no final newline";
  const IniDocument document = IniDocument::Parse(ToBytes(file));

  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"Skins", "Lan", "CHS"},                    // names and value trimmed, first key wins
      {"SKINS", "lan", "CHS"},                    // letter case ignored
      {" Skins ", " Lan ", "CHS"},                // names asked for are trimmed too
      {"Skins", "Path", "\"quoted\""},            // quotes are part of the value
      {"Skins", "Formula", "a=b"},                // the first "=" splits
      {"Skins", "Empty", ""},                     // present but empty
      {"Skins", "AfterUnclosed", "still Skins"},  // "[" without "]" is no header
      {"Skins", "Only", std::nullopt},            // the duplicate section is never read
      {"Skins", "; Lan", std::nullopt},           // comments are no keys
      {"Skins", "a line without an equals sign", std::nullopt},
      {"Skins", "Missing", std::nullopt},
      {"Missing", "Lan", std::nullopt},
      {"", "Lan", std::nullopt},  // lines before the first section belong to none
      {"Name]With]Brackets", "Key", "bracketed"},
      {"Last", "Tail", "no final newline"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + " / " + c.key);
    EXPECT_EQ(document.find(c.section, c.key), c.expected);
    EXPECT_EQ(document.read(c.section, c.key), c.expected.value_or(""));
  }

  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(document.sectionEntries(" SKINS "), (Entries{{"Lan", "CHS"},
                                                         {"LAN", "second key of the same name"},
                                                         {"Path", "\"quoted\""},
                                                         {"Formula", "a=b"},
                                                         {"Empty", ""},
                                                         {"AfterUnclosed", "still Skins"}}))
      << "the first section only, every key line in file order";
  EXPECT_TRUE(document.sectionEntries("Missing").empty());

  EXPECT_EQ(document.sectionNames(),
            (std::vector<std::string>{"Skins", "skins", "Name]With]Brackets", "Last"}));
  EXPECT_TRUE(document.hasSection("LAST"));
  EXPECT_FALSE(document.hasSection("Unclosed"));
}

TEST(IniDocument, MissingFileOrEmptyDocumentReadsEmpty) {
  for (const IniDocument& document : {IniDocument(), IniDocument::Parse({})}) {
    EXPECT_EQ(document.find("Skins", "Lan"), std::nullopt);
    EXPECT_EQ(document.read("Skins", "Lan"), "");
    EXPECT_TRUE(document.sectionNames().empty());
    EXPECT_TRUE(document.Serialize().empty());
  }
}

// Every edit compares the whole file text, so a changed, moved or lost neighbour line shows.
TEST(IniDocument, EditsKeepEveryOtherLine) {
  using Entries = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* name;
    std::string before;
    std::function<void(IniDocument&)> edit;
    std::string after;
  };
  const Case cases[] = {
      {"write replaces the first key in place, keeping its spelling and blanks",
       "; head\r\n[S]\r\n  LAN = old  \r\nlan=dup\r\nx=1\r\n",
       [](IniDocument& d) { d.write("s", "Lan", "new"); },
       "; head\r\n[S]\r\n  LAN = new\r\nlan=dup\r\nx=1\r\n"},
      {"write appends a key before the section's trailing blank lines",
       "[A]\r\nk=1\r\n; note\r\n\r\n  \r\n[B]\r\nk=2\r\n",
       [](IniDocument& d) { d.write("A", "j", "x y"); },
       "[A]\r\nk=1\r\n; note\r\nj=x y\r\n\r\n  \r\n[B]\r\nk=2\r\n"},
      {"write appends to the first of duplicate sections", "[A]\n[a]\n",
       [](IniDocument& d) { d.write("A", "k", "v"); }, "[A]\nk=v\n[a]\n"},
      {"write appends a new section at the end in the file's line-break style", "[A]\nk=1\n\n",
       [](IniDocument& d) { d.write("B", "j", "2"); }, "[A]\nk=1\n\n[B]\nj=2\n"},
      {"write after a last line without a break", "[A]\r\nk=1",
       [](IniDocument& d) { d.write("A", "j", "2"); }, "[A]\r\nk=1\r\nj=2\r\n"},
      {"write replaces a last key without a break, which stays without one", "[A]\r\nk=1",
       [](IniDocument& d) { d.write("A", "K", "22"); }, "[A]\r\nk=22"},
      {"a new document uses Windows line breaks", "",
       [](IniDocument& d) { d.write("Skins", "Lan", "CHS"); }, "[Skins]\r\nLan=CHS\r\n"},
      {"line breaks in names and values never make new lines", "[A]\n",
       [](IniDocument& d) { d.write("A", "k", "x\r\n[Evil]\ny=1"); }, "[A]\nk=x  [Evil] y=1\n"},
      {"removeSection takes the header and every line up to the next header",
       "top=1\r\n[A]\r\nk=1\r\n; c\r\n\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\n",
       [](IniDocument& d) { EXPECT_TRUE(d.removeSection("a")); },
       "top=1\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\n"},
      {"removeSection of the last section", "[A]\r\nk=1\r\n[B]\r\nk=2",
       [](IniDocument& d) { EXPECT_TRUE(d.removeSection("B")); }, "[A]\r\nk=1\r\n"},
      {"removeSection of a missing section changes nothing", "[A]\r\nk=1\r\n",
       [](IniDocument& d) { EXPECT_FALSE(d.removeSection("B")); }, "[A]\r\nk=1\r\n"},
      {"replaceSection keeps the section's slot and its comments",
       "[M1]\r\nItemCount=1\r\nItem0=a\r\n[M2]\r\n; c\r\nItemCount=3\r\nItem0=a\r\nItem1=b\r\n"
       "Item2=c\r\n\r\n[M3]\r\nItemCount=0\r\n",
       [](IniDocument& d) {
         d.replaceSection("m2", Entries{{"ItemCount", "1"}, {"Item0", "B   Dn"}});
       },
       "[M1]\r\nItemCount=1\r\nItem0=a\r\n[M2]\r\n; c\r\nItemCount=1\r\nItem0=B   Dn\r\n\r\n"
       "[M3]\r\nItemCount=0\r\n"},
      {"replaceSection of the last section without a final newline", "[A]\nx=1\n[M]\nk=1",
       [](IniDocument& d) {
         d.replaceSection("M", Entries{{"k", "2"}, {"j", "3"}});
       },
       "[A]\nx=1\n[M]\nk=2\nj=3\n"},
      {"replaceSection of a section without keys", "[M]\n; only a comment\n\n[N]\n",
       [](IniDocument& d) {
         d.replaceSection("M", Entries{{"k", "1"}});
       },
       "[M]\n; only a comment\nk=1\n\n[N]\n"},
      {"replaceSection appends a missing section", "[A]\r\nx=1\r\n",
       [](IniDocument& d) {
         d.replaceSection("M", Entries{{"ItemCount", "0"}});
       },
       "[A]\r\nx=1\r\n[M]\r\nItemCount=0\r\n"},
      {"replaceSection puts the keys where the first old key stood",
       "[M]\nk=1\n; between\nj=2\n\n[N]\n",
       [](IniDocument& d) {
         d.replaceSection("M", Entries{{"k", "9"}});
       },
       "[M]\nk=9\n; between\n\n[N]\n"},
      {"mixed line breaks stay as they were; new lines take the first line's style",
       "[A]\r\nk=1\nj=2\n",
       [](IniDocument& d) {
         d.write("A", "k", "9");
         d.write("A", "n", "3");
       },
       "[A]\r\nk=9\nj=2\nn=3\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument document = IniDocument::Parse(ToBytes(c.before));
    EXPECT_EQ(ToText(document.Serialize()), c.before) << "parsing alone changes nothing";
    c.edit(document);
    EXPECT_EQ(ToText(document.Serialize()), c.after);
  }
}

TEST(IniDocument, WrittenValuesReadBack) {
  IniDocument document = IniDocument::Parse(ToBytes("[Dash]\r\nItemCount=0\r\n"));
  document.replaceSection("Dash", {{"ItemCount", "2"}, {"Item0", "A   Dn"}, {"Item1", "50 ms"}});
  document.write("Dash", "Item2", "A   Up");
  document.write("Skins", "Path", "  padded  ");
  const IniDocument reread = IniDocument::Parse(document.Serialize());
  EXPECT_EQ(reread.read("Dash", "ItemCount"), "2");
  EXPECT_EQ(reread.read("dash", "item0"), "A   Dn");
  EXPECT_EQ(reread.read("Dash", "Item2"), "A   Up");
  EXPECT_EQ(reread.read("Skins", "Path"), "padded");
  EXPECT_EQ(reread.sectionNames(), (std::vector<std::string>{"Dash", "Skins"}));
}

TEST(IniDocument, EncodingsRoundTrip) {
  const std::string utf8Text = "[按键设置]\r\nItem1=左键\r\nEmoji=\xF0\x9F\x98\x80\r\n";
  Bytes utf8Bom = {0xEF, 0xBB, 0xBF};
  utf8Bom.insert(utf8Bom.end(), utf8Text.begin(), utf8Text.end());
  const Bytes utf16 = Utf16LeFile(u"[按键设置]\r\nItem1=左键\r\nEmoji=\xD83D\xDE00\r\n");
  struct Case {
    const char* name;
    Bytes file;
    IniEncoding encoding;
  };
  const Case cases[] = {
      {"UTF-8", ToBytes(utf8Text), IniEncoding::kUtf8},
      {"UTF-8 with BOM", utf8Bom, IniEncoding::kUtf8WithBom},
      {"UTF-16LE with BOM", utf16, IniEncoding::kUtf16LeWithBom},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument document = IniDocument::Parse(c.file);
    EXPECT_EQ(document.encoding(), c.encoding);
    EXPECT_EQ(document.sectionNames(), std::vector<std::string>{"按键设置"});
    EXPECT_EQ(document.read("按键设置", "Item1"), "左键");
    EXPECT_EQ(document.read("按键设置", "Emoji"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(document.Serialize(), c.file);

    document.write("按键设置", "Item2", "右键");
    const Bytes saved = document.Serialize();
    ASSERT_GE(saved.size(), c.file.size());
    const std::size_t bomSize = c.encoding == IniEncoding::kUtf8          ? 0
                                : c.encoding == IniEncoding::kUtf8WithBom ? 3
                                                                          : 2;
    EXPECT_TRUE(std::equal(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(bomSize),
                           saved.begin()))
        << "the byte-order mark is written back";
    const IniDocument reread = IniDocument::Parse(saved);
    EXPECT_EQ(reread.encoding(), c.encoding);
    EXPECT_EQ(reread.read("按键设置", "Item2"), "右键");
    EXPECT_EQ(reread.read("按键设置", "Item1"), "左键");
  }
  EXPECT_EQ(
      IniDocument::Parse(Utf16LeFile(u"[按键设置]\r\nItem1=左键\r\nItem2=右键\r\n")).Serialize(),
      Utf16LeFile(u"[按键设置]\r\nItem1=左键\r\nItem2=右键\r\n"));
}

TEST(IniDocument, BrokenUtf16ReadsAsReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  struct Case {
    const char* name;
    Bytes file;
    std::string value;
  };
  Bytes oddLength = Utf16LeFile(u"[S]\nk=ab");
  oddLength.push_back(0x41);
  const Case cases[] = {
      {"unpaired high surrogate",
       Utf16LeFile(u"[S]\nk=a\xD800"
                   u"b"),
       "a" + replacement + "b"},
      {"high surrogate at the end", Utf16LeFile(u"[S]\nk=a\xDBFF"), "a" + replacement},
      {"lone low surrogate",
       Utf16LeFile(u"[S]\nk=\xDC00"
                   u"b"),
       replacement + "b"},
      {"odd trailing byte", oddLength, "ab" + replacement},
      {"BOM only", Bytes{0xFF, 0xFE}, ""},
      {"BOM and one byte", Bytes{0xFF, 0xFE, 0x5B}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument document = IniDocument::Parse(c.file);
    EXPECT_EQ(document.encoding(), IniEncoding::kUtf16LeWithBom);
    EXPECT_EQ(document.read("S", "k"), c.value);
    document.write("S", "k", "fixed");
    EXPECT_EQ(IniDocument::Parse(document.Serialize()).read("S", "k"), "fixed");
  }
}

TEST(IniDocument, ReadCutsValuesTo1023CharactersWithoutSplittingOne) {
  std::string chinese;
  for (int i = 0; i < 1500; ++i) chinese += "按";
  std::string cutInFront(1022, 'a');
  cutInFront += "按键";
  struct Case {
    const char* name;
    std::string value;
    std::string read;
  };
  const Case cases[] = {
      {"1500 three-byte characters", chinese, chinese.substr(0, 1023 * 3)},
      {"a multi-byte character as the 1023rd", cutInFront, std::string(1022, 'a') + "按"},
      {"exactly 1023 characters", std::string(1023, 'x'), std::string(1023, 'x')},
      {"1024 characters", std::string(1024, 'x'), std::string(1023, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument document;
    document.write("Setting-CHS", "Item1", c.value);
    const IniDocument reread = IniDocument::Parse(document.Serialize());
    EXPECT_EQ(reread.read("Setting-CHS", "Item1"), c.read);
    EXPECT_EQ(reread.find("Setting-CHS", "Item1"), c.value);
  }
}

// Any bytes without a byte-order mark come back unchanged, and the document stays usable.
TEST(IniDocument, BadInputIsKeptAndNeverBreaksTheDocument) {
  std::string invalidUtf8 = "[S]\nk=\xFF\xC0\xAF\xED\xA0\x80 end\n";
  std::string withNul = std::string("[S]\nk=a\0b\n\0\0junk\n", 17);
  std::string longLine = "[S]\nk=" + std::string(1024 * 1024, 'v') + "\n";
  std::mt19937 generator(20240611);
  std::string random;
  const char alphabet[] = {'\0', '\n', '\r', '[', ']', '=', ';', ' ', 'k', 'S', '\xFF', '\xE6'};
  for (int i = 0; i < 20000; ++i) random += alphabet[generator() % sizeof alphabet];

  struct Case {
    const char* name;
    std::string file;
    std::optional<std::string> value;  // of [S] k
  };
  const Case cases[] = {
      {"invalid UTF-8", invalidUtf8, "\xFF\xC0\xAF\xED\xA0\x80 end"},
      {"NUL bytes", withNul, std::string("a\0b", 3)},
      {"a 1 MB line", longLine, std::string(1024 * 1024, 'v')},
      {"blank lines only", "\r\n\n\r\n", std::nullopt},
      {"a lone CR inside a line", "[S]\rk=1\n", std::nullopt},
      {"no final newline, CR at the end", "[S]\nk=1\r", "1"},
      {"random bytes", random, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IniDocument document = IniDocument::Parse(ToBytes(c.file));
    EXPECT_EQ(document.encoding(), IniEncoding::kUtf8);
    EXPECT_EQ(ToText(document.Serialize()), c.file);
    if (c.file != random) {
      EXPECT_EQ(document.find("S", "k"), c.value);
    }
    EXPECT_LE(document.read("S", "k").size(), kIniValueMaxCharacters * 4);

    document.write("Added", "key", "value");
    document.write("S", "k", "new");
    const IniDocument reread = IniDocument::Parse(document.Serialize());
    EXPECT_EQ(reread.read("Added", "key"), "value");
    EXPECT_EQ(reread.read("S", "k"), "new");
  }
}

TEST(IniDocument, ManySectionsAreAllListedAndFound) {
  std::string file;
  for (int i = 0; i < 10000; ++i) {
    file += "[Macro" + std::to_string(i) + "]\r\nItemCount=" + std::to_string(i) + "\r\n";
  }
  IniDocument document = IniDocument::Parse(ToBytes(file));
  const auto names = document.sectionNames();
  ASSERT_EQ(names.size(), 10000u);
  EXPECT_EQ(names.front(), "Macro0");
  EXPECT_EQ(names.back(), "Macro9999");
  EXPECT_EQ(document.read("macro9999", "itemcount"), "9999");
  document.replaceSection("Macro5000", {{"ItemCount", "1"}, {"Item0", "50 ms"}});
  EXPECT_EQ(document.sectionNames(), names);
  EXPECT_EQ(document.read("Macro5000", "Item0"), "50 ms");
}

TEST(IniDocument, LoadAndSaveRealFiles) {
  TempFolder folder;
  const auto path = folder / "record.ini";

  auto missing = IniDocument::Load(path);
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing.value().sectionNames().empty());
  missing.value().write("Dash", "ItemCount", "0");
  ASSERT_TRUE(missing.value().Save(path));
  EXPECT_EQ(ToText(ReadWholeFile(path).value()), "[Dash]\r\nItemCount=0\r\n");

  const Bytes utf16 = Utf16LeFile(u"[Skins]\r\nLan=CHS\r\n[Setting-CHS]\r\nItem1=左键\r\n");
  WriteBytes(path, utf16);
  auto loaded = IniDocument::Load(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded.value().read("Setting-CHS", "Item1"), "左键");
  loaded.value().write("Skins", "Path", "默认");
  ASSERT_TRUE(loaded.value().Save(path));
  EXPECT_EQ(ReadWholeFile(path).value(),
            Utf16LeFile(u"[Skins]\r\nLan=CHS\r\nPath=默认\r\n[Setting-CHS]\r\nItem1=左键\r\n"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left behind";
}

TEST(IniDocument, LoadRefusesFoldersAndHugeFiles) {
  TempFolder folder;
  const auto subfolder = folder / "str.ini";
  std::filesystem::create_directory(subfolder);
  const auto asFolder = IniDocument::Load(subfolder);
  ASSERT_FALSE(asFolder);
  EXPECT_NE(asFolder.error().message.find(subfolder.generic_string()), std::string::npos);

  const auto huge = folder / "huge.ini";
  WriteBytes(huge, ToBytes("[S]\nk=1\n"));
  const std::uintmax_t hugeSize = 16u * 1024u * 1024u + 1u;
  std::filesystem::resize_file(huge, hugeSize);  // sparse: costs no disk space
  const auto tooBig = IniDocument::Load(huge);
  ASSERT_FALSE(tooBig);
  EXPECT_NE(tooBig.error().message.find(huge.generic_string()), std::string::npos);
  EXPECT_NE(tooBig.error().message.find(std::to_string(hugeSize)), std::string::npos);

  std::filesystem::resize_file(huge, hugeSize - 1);  // exactly 16 MiB is still read
  const auto atLimit = IniDocument::Load(huge);
  ASSERT_TRUE(atLimit);
  EXPECT_EQ(atLimit.value().read("S", "k"), "1");
}

}  // namespace
}  // namespace vm31
