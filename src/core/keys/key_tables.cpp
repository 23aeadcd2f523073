#include "core/keys/key_tables.h"

#include <array>

namespace vm31 {
namespace {

// Key names as the key-name service spells them. "Ctrl", "Shift" and "Alt" are the left-hand
// keys; "Eurpo(Note 2)" is the non-US "#" key and "Num Del" the keypad decimal key.
constexpr std::array<KeyName, kKeyNameCount> kKeyNames = {{
    {"A", 0x04},
    {"B", 0x05},
    {"C", 0x06},
    {"D", 0x07},
    {"E", 0x08},
    {"F", 0x09},
    {"G", 0x0A},
    {"H", 0x0B},
    {"I", 0x0C},
    {"J", 0x0D},
    {"K", 0x0E},
    {"L", 0x0F},
    {"M", 0x10},
    {"N", 0x11},
    {"O", 0x12},
    {"P", 0x13},
    {"Q", 0x14},
    {"R", 0x15},
    {"S", 0x16},
    {"T", 0x17},
    {"U", 0x18},
    {"V", 0x19},
    {"W", 0x1A},
    {"X", 0x1B},
    {"Y", 0x1C},
    {"Z", 0x1D},
    {"1", 0x1E},
    {"2", 0x1F},
    {"3", 0x20},
    {"4", 0x21},
    {"5", 0x22},
    {"6", 0x23},
    {"7", 0x24},
    {"8", 0x25},
    {"9", 0x26},
    {"0", 0x27},
    {"Enter", 0x28},
    {"Esc", 0x29},
    {"Backspace", 0x2A},
    {"Tab", 0x2B},
    {"Space", 0x2C},
    {"-", 0x2D},
    {"=", 0x2E},
    {"[", 0x2F},
    {"]", 0x30},
    {"\\", 0x31},
    {"Eurpo(Note 2)", 0x32},
    {";", 0x33},
    {"'", 0x34},
    {"`", 0x35},
    {",", 0x36},
    {".", 0x37},
    {"/", 0x38},
    {"Caps Lock", 0x39},
    {"F1", 0x3A},
    {"F2", 0x3B},
    {"F3", 0x3C},
    {"F4", 0x3D},
    {"F5", 0x3E},
    {"F6", 0x3F},
    {"F7", 0x40},
    {"F8", 0x41},
    {"F9", 0x42},
    {"F10", 0x43},
    {"F11", 0x44},
    {"F12", 0x45},
    {"Prnt Scrn", 0x46},
    {"Scroll Lock", 0x47},
    {"Pause", 0x48},
    {"Insert", 0x49},
    {"Home", 0x4A},
    {"Page Up", 0x4B},
    {"Delete", 0x4C},
    {"End", 0x4D},
    {"Page Down", 0x4E},
    {"Right", 0x4F},
    {"Left", 0x50},
    {"Down", 0x51},
    {"Up", 0x52},
    {"Num Lock", 0x53},
    {"Num /", 0x54},
    {"Num *", 0x55},
    {"Num -", 0x56},
    {"Num +", 0x57},
    {"Num Enter", 0x58},
    {"Num 1", 0x59},
    {"Num 2", 0x5A},
    {"Num 3", 0x5B},
    {"Num 4", 0x5C},
    {"Num 5", 0x5D},
    {"Num 6", 0x5E},
    {"Num 7", 0x5F},
    {"Num 8", 0x60},
    {"Num 9", 0x61},
    {"Num 0", 0x62},
    {"Num Del", 0x63},
    {"Ctrl", 0xE0},
    {"Shift", 0xE1},
    {"Alt", 0xE2},
    {"Left Windows", 0xE3},
    {"Right Ctrl", 0xE4},
    {"Right Shift", 0xE5},
    {"Right Alt", 0xE6},
    {"Right Windows", 0xE7},
    {"L-Button", kMouseLeftButton},
    {"R-Button", kMouseRightButton},
    {"M-Button", kMouseMiddleButton},
}};

// The standard HID keyboard modifier byte. The Windows keys are "Left Win"/"Right Win" here.
constexpr std::array<KeyName, kModifierNameCount> kModifierNames = {{
    {"Left Ctrl", 0x01},
    {"Left Shift", 0x02},
    {"Left Alt", 0x04},
    {"Left Win", 0x08},
    {"Right Ctrl", 0x10},
    {"Right Shift", 0x20},
    {"Right Alt", 0x40},
    {"Right Win", 0x80},
}};

// Consumer usages below 0x100: the key word carries them with a high byte of 0.
constexpr std::array<KeyName, kMediaKeyCount> kMediaKeys = {{
    {"Next", 0xB5},
    {"Previous", 0xB6},
    {"Stop", 0xB7},
    {"Play/Pause", 0xCD},
    {"Mute", 0xE2},
    {"Vol+", 0xE9},
    {"Vol-", 0xEA},
}};

constexpr std::array<WindowsKeyEntry, kWindowsKeyCount> kWindowsKeys = {{
    {"Multimedia Player", 0x0183},
    {"Mail", 0x018A},
    {"Calculator", 0x0192},
    {"My Computer", 0x0194},
    {"Browser-Search", 0x0221},
    {"Browser-Home", 0x0223},
    {"Browser-Back", 0x0224},
    {"Browser-Forward", 0x0225},
    {"Browser-Stop", 0x0226},
    {"Browser-Refresh", 0x0227},
    {"Browser-My Favorites", 0x022A},
}};

// The Windows-key class is derived from the list position, not looked up.
constexpr std::uint8_t WindowsKeyClass(std::size_t position) {
  if (position <= 3) return 1;
  if (position < kWindowsKeyCount) return 2;
  return 0;
}

template <typename Entry, std::size_t N>
constexpr std::array<std::string_view, N> NamesOf(const std::array<Entry, N>& entries) {
  std::array<std::string_view, N> names{};
  for (std::size_t i = 0; i < N; ++i) names[i] = entries[i].name;
  return names;
}

template <std::size_t N>
constexpr std::uint8_t CodeOfName(const std::array<KeyName, N>& table, std::string_view name) {
  for (const KeyName& entry : table) {
    if (entry.name == name) return entry.code;
  }
  return 0;
}

// Mouse-button names the key-name table lacks: shown for their codes and offered as fire keys.
constexpr std::array<KeyName, 4> kExtraMouseButtonNames = {{
    {"B4-Button", kMouseButton4},
    {"B5-Button", kMouseButton5},
    {"L-Tilt Wheel", kMouseTiltLeft},
    {"R-Tilt Wheel", kMouseTiltRight},
}};

constexpr std::size_t IndexOfName(std::string_view name) {
  for (std::size_t i = 0; i < kKeyNames.size(); ++i) {
    if (kKeyNames[i].name == name) return i;
  }
  return kKeyNames.size();
}

// The fire-key list's own names for modifier keys of the key-name table. The Windows keys are
// not offered.
struct RenamedKey {
  std::string_view fireName;
  std::string_view keyName;
};
constexpr std::array<RenamedKey, 6> kFireModifierKeys = {{
    {"L-CTRL", "Ctrl"},
    {"L-SHIFT", "Shift"},
    {"L-ALT", "Alt"},
    {"R-CTRL", "Right Ctrl"},
    {"R-SHIFT", "Right Shift"},
    {"R-ALT", "Right Alt"},
}};

// The fire-key list: the letters and digits, the modifier keys under their fire-list names, the
// function keys and the three mouse buttons of the key-name table, then the other mouse buttons.
constexpr std::array<KeyName, kFireKeyCount> BuildFireKeys() {
  std::array<KeyName, kFireKeyCount> list{};
  std::size_t count = 0;
  const auto appendRun = [&](std::string_view first, std::string_view last) {
    for (std::size_t i = IndexOfName(first); i <= IndexOfName(last); ++i)
      list[count++] = kKeyNames[i];
  };
  appendRun("A", "0");
  for (const RenamedKey& key : kFireModifierKeys) {
    list[count++] = {key.fireName, CodeOfName(kKeyNames, key.keyName)};
  }
  appendRun("F1", "F12");
  appendRun("L-Button", "M-Button");
  for (const KeyName& button : kExtraMouseButtonNames) list[count++] = button;
  return list;
}

constexpr std::array<KeyName, kFireKeyCount> kFireKeys = BuildFireKeys();

constexpr auto kModifierNameTexts = NamesOf(kModifierNames);
constexpr auto kFireKeyNameTexts = NamesOf(kFireKeys);
constexpr auto kMediaKeyNameTexts = NamesOf(kMediaKeys);
constexpr auto kWindowsKeyNameTexts = NamesOf(kWindowsKeys);

template <std::size_t N>
constexpr bool NamesAreUnique(const std::array<KeyName, N>& table) {
  for (std::size_t i = 0; i < N; ++i) {
    for (std::size_t j = i + 1; j < N; ++j) {
      if (table[i].name == table[j].name) return false;
    }
  }
  return true;
}

// Every Windows-key usage has the class of its position as its high byte, so deriving the class
// from the position and reading it from the usage agree.
constexpr bool WindowsClassesMatchUsages() {
  for (std::size_t i = 0; i < kWindowsKeyCount; ++i) {
    if (kWindowsKeys[i].usage >> 8 != WindowsKeyClass(i)) return false;
  }
  return true;
}

static_assert(kKeyNames.size() == 107);
static_assert(kModifierNames.size() == 8);
static_assert(kFireKeys.size() == 61);
static_assert(kMediaKeys.size() == 7);
static_assert(kWindowsKeys.size() == 11);
static_assert(NamesAreUnique(kKeyNames) && NamesAreUnique(kModifierNames));
static_assert(NamesAreUnique(kFireKeys) && !kFireKeys.back().name.empty(),
              "the fire-key parts fill the list exactly");
static_assert(WindowsClassesMatchUsages());
static_assert(CodeOfName(kKeyNames, "Right Windows") == 0xE7);
static_assert(CodeOfName(kModifierNames, "Right Windows") == 0);

template <typename Table>
auto EntryAt(const Table& table, int position) -> const typename Table::value_type* {
  if (position < 0 || static_cast<std::size_t>(position) >= table.size()) return nullptr;
  return &table[static_cast<std::size_t>(position)];
}

}  // namespace

std::span<const KeyName, kKeyNameCount> KeyNameTable() {
  return kKeyNames;
}
std::span<const KeyName, kModifierNameCount> ModifierNameTable() {
  return kModifierNames;
}
std::span<const KeyName, kFireKeyCount> FireKeyList() {
  return kFireKeys;
}
std::span<const KeyName, kMediaKeyCount> MediaKeyList() {
  return kMediaKeys;
}
std::span<const WindowsKeyEntry, kWindowsKeyCount> WindowsKeyList() {
  return kWindowsKeys;
}

std::span<const std::string_view, kModifierNameCount> ModifierNames() {
  return kModifierNameTexts;
}
std::span<const std::string_view, kFireKeyCount> FireKeyNames() {
  return kFireKeyNameTexts;
}
std::span<const std::string_view, kMediaKeyCount> MediaKeyNames() {
  return kMediaKeyNameTexts;
}
std::span<const std::string_view, kWindowsKeyCount> WindowsKeyNames() {
  return kWindowsKeyNameTexts;
}

std::uint8_t KeyUsageFromName(std::string_view name) {
  return CodeOfName(kKeyNames, name);
}

std::uint8_t ModifierBitFromName(std::string_view name) {
  return CodeOfName(kModifierNames, name);
}

std::string_view KeyNameFromUsage(std::uint8_t code) {
  if (code == 0) return {};
  for (const KeyName& entry : kKeyNames) {
    if (entry.code == code) return entry.name;
  }
  for (const KeyName& entry : kExtraMouseButtonNames) {
    if (entry.code == code) return entry.name;
  }
  return {};
}

std::uint8_t FireKeyCode(int position) {
  const KeyName* entry = EntryAt(kFireKeys, position);
  return entry ? entry->code : 0;
}

std::uint8_t MediaKeyUsage(int position) {
  const KeyName* entry = EntryAt(kMediaKeys, position);
  return entry ? entry->code : 0;
}

WindowsKeyCode WindowsKeyUsage(int position) {
  const WindowsKeyEntry* entry = EntryAt(kWindowsKeys, position);
  if (!entry) return {0, 0};
  return {static_cast<std::uint8_t>(entry->usage & 0xFF),
          WindowsKeyClass(static_cast<std::size_t>(position))};
}

}  // namespace vm31
