#include "core/keys/key_tables.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

namespace vm31 {
namespace {

TEST(KeyTables, KeyUsageFromNameMatchesWholeTextExactly) {
  struct Case {
    std::string_view name;
    std::uint8_t code;
  };
  const Case cases[] = {
      {"Enter", 0x28},
      {"Num Del", 0x63},
      {"Right Windows", 0xE7},
      {"Left Windows", 0xE3},
      {"M-Button", 0xF2},
      {"Eurpo(Note 2)", 0x32},
      {"\\", 0x31},
      {"0", 0x27},
      {"Ctrl", 0xE0},  // the plain names are the left-hand keys
      {"Alt", 0xE2},
      // Case-sensitive, no trimming, no prefixes.
      {"enter", 0},
      {"ENTER", 0},
      {"Enter ", 0},
      {" Enter", 0},
      {"Ente", 0},
      {std::string_view("Enter\0", 6), 0},
      {"a", 0},
      {"", 0},
      // Modifier-table spellings are not key names.
      {"Right Win", 0},
      {"Left Ctrl", 0},
      // Fire-list spellings are not key names either.
      {"L-CTRL", 0},
      {"B4-Button", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(KeyUsageFromName(c.name), c.code);
  }
}

TEST(KeyTables, ModifierBitFromNameMatchesWholeTextExactly) {
  struct Case {
    std::string_view name;
    std::uint8_t bit;
  };
  const Case cases[] = {
      {"Left Ctrl", 0x01},
      {"Left Shift", 0x02},
      {"Left Alt", 0x04},
      {"Left Win", 0x08},
      {"Right Ctrl", 0x10},
      {"Right Shift", 0x20},
      {"Right Alt", 0x40},
      {"Right Win", 0x80},
      {"Right Windows", 0},  // the longer name belongs to the key-name table
      {"Left Windows", 0},
      {"Ctrl", 0},
      {"left ctrl", 0},
      {"Left Ctrl ", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(ModifierBitFromName(c.name), c.bit);
  }
}

// The key-name table runs through the HID usages in order: 0x04..0x63 without a gap, the eight
// modifier keys 0xE0..0xE7, then the three mouse buttons. A missing, doubled or misplaced entry
// breaks the sequence.
TEST(KeyTables, KeyNameCodesFollowTheUsageTable) {
  std::vector<std::uint8_t> expected;
  for (int code = 0x04; code <= 0x63; ++code) expected.push_back(static_cast<std::uint8_t>(code));
  for (int code = 0xE0; code <= 0xE7; ++code) expected.push_back(static_cast<std::uint8_t>(code));
  for (int code = 0xF0; code <= 0xF2; ++code) expected.push_back(static_cast<std::uint8_t>(code));

  std::vector<std::uint8_t> actual;
  for (const KeyName& entry : KeyNameTable()) actual.push_back(entry.code);
  EXPECT_EQ(actual, expected);

  // Spot checks of the names against their usages.
  for (int i = 0; i < 26; ++i) {
    EXPECT_EQ(KeyUsageFromName(std::string(1, static_cast<char>('A' + i))), 0x04 + i);
  }
  for (int i = 1; i <= 12; ++i) EXPECT_EQ(KeyUsageFromName("F" + std::to_string(i)), 0x39 + i);
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(KeyUsageFromName("Num " + std::to_string(i)), 0x58 + i);
}

TEST(KeyTables, EveryNameMapsBackToItsCode) {
  std::set<std::string_view> names;
  for (const KeyName& entry : KeyNameTable()) {
    SCOPED_TRACE(std::string(entry.name));
    EXPECT_TRUE(names.insert(entry.name).second) << "duplicate name";
    EXPECT_EQ(KeyUsageFromName(entry.name), entry.code);
    EXPECT_EQ(KeyNameFromUsage(entry.code), entry.name);
  }

  std::uint8_t allBits = 0;
  ASSERT_EQ(ModifierNames().size(), ModifierNameTable().size());
  for (std::size_t i = 0; i < ModifierNameTable().size(); ++i) {
    const KeyName& entry = ModifierNameTable()[i];
    SCOPED_TRACE(std::string(entry.name));
    EXPECT_EQ(ModifierNames()[i], entry.name);
    EXPECT_EQ(ModifierBitFromName(entry.name), entry.code);
    EXPECT_EQ(entry.code, 1u << i) << "one bit per modifier, in bit order";
    allBits = static_cast<std::uint8_t>(allBits | entry.code);
  }
  EXPECT_EQ(allBits, 0xFF);

  ASSERT_EQ(FireKeyNames().size(), FireKeyList().size());
  for (std::size_t i = 0; i < FireKeyList().size(); ++i) {
    SCOPED_TRACE(std::string(FireKeyList()[i].name));
    EXPECT_EQ(FireKeyNames()[i], FireKeyList()[i].name);
    EXPECT_EQ(FireKeyCode(static_cast<int>(i)), FireKeyList()[i].code);
    EXPECT_NE(FireKeyList()[i].code, 0);
  }

  ASSERT_EQ(MediaKeyNames().size(), MediaKeyList().size());
  for (std::size_t i = 0; i < MediaKeyList().size(); ++i) {
    SCOPED_TRACE(std::string(MediaKeyList()[i].name));
    EXPECT_EQ(MediaKeyNames()[i], MediaKeyList()[i].name);
    EXPECT_EQ(MediaKeyUsage(static_cast<int>(i)), MediaKeyList()[i].code);
  }

  // The class rule by position agrees with each usage's high byte.
  ASSERT_EQ(WindowsKeyNames().size(), WindowsKeyList().size());
  for (std::size_t i = 0; i < WindowsKeyList().size(); ++i) {
    const WindowsKeyEntry& entry = WindowsKeyList()[i];
    SCOPED_TRACE(std::string(entry.name));
    EXPECT_EQ(WindowsKeyNames()[i], entry.name);
    const WindowsKeyCode code = WindowsKeyUsage(static_cast<int>(i));
    EXPECT_EQ(code.code, entry.usage & 0xFF);
    EXPECT_EQ(code.keyClass, entry.usage >> 8);
  }
}

TEST(KeyTables, FireKeyCodeByPosition) {
  struct Case {
    int position;
    std::uint8_t code;
  };
  const Case cases[] = {
      {0, 0x04},  {25, 0x1D},   {26, 0x1E},   {35, 0x27}, {36, 0xE0},
      {38, 0xE2}, {39, 0xE4},  // "R-CTRL": the list skips the left Windows key
      {40, 0xE5}, {41, 0xE6},   {42, 0x3A},   {53, 0x45}, {54, 0xF0},
      {57, 0xF3}, {60, 0xF6},   {61, 0},      {62, 0},    {255, 0},
      {-1, 0},    {INT_MIN, 0}, {INT_MAX, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(FireKeyCode(c.position), c.code);
  }
  EXPECT_EQ(FireKeyNames()[39], "R-CTRL");
  EXPECT_EQ(FireKeyNames()[40], "R-SHIFT");
}

TEST(KeyTables, MediaKeyUsageByPosition) {
  struct Case {
    int position;
    std::uint8_t usage;
  };
  const Case cases[] = {{0, 0xB5}, {2, 0xB7}, {3, 0xCD}, {4, 0xE2},   {6, 0xEA},
                        {7, 0},    {-1, 0},   {255, 0},  {INT_MIN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(MediaKeyUsage(c.position), c.usage);
  }
}

TEST(KeyTables, WindowsKeyUsageByPositionWithClassRule) {
  struct Case {
    int position;
    WindowsKeyCode expected;
  };
  const Case cases[] = {
      {0, {0x83, 1}}, {3, {0x94, 1}}, {4, {0x21, 2}}, {10, {0x2A, 2}},
      {11, {0, 0}},   {-1, {0, 0}},   {255, {0, 0}},  {INT_MAX, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    const WindowsKeyCode actual = WindowsKeyUsage(c.position);
    EXPECT_EQ(actual.code, c.expected.code);
    EXPECT_EQ(actual.keyClass, c.expected.keyClass);
  }
}

TEST(KeyTables, KeyNameFromUsageNamesEveryMouseButtonButNoUnknownCode) {
  struct Case {
    std::uint8_t code;
    std::string_view name;
  };
  const Case cases[] = {
      {0xE0, "Ctrl"},
      {0xF0, "L-Button"},
      {0xF3, "B4-Button"},
      {0xF4, "B5-Button"},
      {0xF5, "L-Tilt Wheel"},
      {0xF6, "R-Tilt Wheel"},
      {0x00, ""},
      {0x01, ""},
      {0x64, ""},
      {0xE8, ""},
      {0xF7, ""},
      {0xFF, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    EXPECT_EQ(KeyNameFromUsage(c.code), c.name);
  }
  // Every fire-list code has a display name.
  for (const KeyName& entry : FireKeyList()) {
    EXPECT_FALSE(KeyNameFromUsage(entry.code).empty()) << entry.name;
  }
}

}  // namespace
}  // namespace vm31
