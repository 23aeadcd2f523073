#include "win32/key_translation.h"

#include <windows.h>

#include <array>
#include <string_view>

#include "core/keys/key_tables.h"
#include "win32/wide_text.h"

namespace vm31::win32 {
namespace {

// Scan code set 1 to HID usages (page 7), keys without the E0 prefix, by scan code.
constexpr std::array<std::uint16_t, 0x80> kPlainKeys = [] {
  std::array<std::uint16_t, 0x80> table{};
  table[0x01] = 0x29;  // Escape
  // 1..9, 0, -, =, Backspace, Tab
  const std::uint16_t row1[] = {0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24,
                                0x25, 0x26, 0x27, 0x2D, 0x2E, 0x2A, 0x2B};
  for (int i = 0; i < 14; ++i) table[0x02 + i] = row1[i];
  // Q W E R T Y U I O P [ ] Return
  const std::uint16_t row2[] = {0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18,
                                0x0C, 0x12, 0x13, 0x2F, 0x30, 0x28};
  for (int i = 0; i < 13; ++i) table[0x10 + i] = row2[i];
  table[0x1D] = 0xE0;  // left Ctrl
  // A S D F G H J K L ; ' `
  const std::uint16_t row3[] = {0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B,
                                0x0D, 0x0E, 0x0F, 0x33, 0x34, 0x35};
  for (int i = 0; i < 12; ++i) table[0x1E + i] = row3[i];
  table[0x2A] = 0xE1;  // left Shift
  table[0x2B] = 0x31;  // backslash
  // Z X C V B N M , . /
  const std::uint16_t row4[] = {0x1D, 0x1B, 0x06, 0x19, 0x05, 0x11, 0x10, 0x36, 0x37, 0x38};
  for (int i = 0; i < 10; ++i) table[0x2C + i] = row4[i];
  table[0x36] = 0xE5;  // right Shift
  table[0x37] = 0x55;  // keypad *
  table[0x38] = 0xE2;  // left Alt
  table[0x39] = 0x2C;  // Space
  table[0x3A] = 0x39;  // Caps Lock
  for (int i = 0; i < 10; ++i) table[0x3B + i] = static_cast<std::uint16_t>(0x3A + i);  // F1..F10
  table[0x45] = 0x53;                                                                   // Num Lock
  table[0x46] = 0x47;  // Scroll Lock
  // keypad 7 8 9 - 4 5 6 + 1 2 3 0 .
  const std::uint16_t keypad[] = {0x5F, 0x60, 0x61, 0x56, 0x5C, 0x5D, 0x5E,
                                  0x57, 0x59, 0x5A, 0x5B, 0x62, 0x63};
  for (int i = 0; i < 13; ++i) table[0x47 + i] = keypad[i];
  table[0x56] = 0x64;  // the key beside left Shift on ISO keyboards
  table[0x57] = 0x44;  // F11
  table[0x58] = 0x45;  // F12
  return table;
}();

struct ExtendedKey {
  std::uint8_t scanCode;
  std::uint16_t usage;
};
constexpr ExtendedKey kExtendedKeys[] = {
    {0x1C, 0x58},  // keypad Enter
    {0x1D, 0xE4},  // right Ctrl
    {0x35, 0x54},  // keypad /
    {0x37, 0x46},  // Print Screen
    {0x38, 0xE6},  // right Alt
    {0x45, 0x53},  // Num Lock (as some keyboards send it)
    {0x46, 0x48},  // Break (Ctrl+Pause)
    {0x47, 0x4A},  // Home
    {0x48, 0x52},  // Up
    {0x49, 0x4B},  // Page Up
    {0x4B, 0x50},  // Left
    {0x4D, 0x4F},  // Right
    {0x4F, 0x4D},  // End
    {0x50, 0x51},  // Down
    {0x51, 0x4E},  // Page Down
    {0x52, 0x49},  // Insert
    {0x53, 0x4C},  // Delete
    {0x5B, 0xE3},  // left Windows
    {0x5C, 0xE7},  // right Windows
    {0x5D, 0x65},  // Menu
};

// The usage of the name the system's key-name service gives the key of `lParam`, as the key
// tables spell it; 0 when the service names no key there or names one the tables do not hold.
std::uint16_t UsageOfKeyName(std::intptr_t lParam) {
  constexpr LONG kDoNotCare = 1 << 25;  // would name both Ctrl keys "Ctrl": left and right apart
  wchar_t name[32] = {};                // the key dialogs keep at most 31 characters
  const int length = ::GetKeyNameTextW(static_cast<LONG>(lParam) & ~kDoNotCare, name, 32);
  if (length <= 0) return 0;
  return KeyUsageFromName(Utf8(std::wstring_view(name, static_cast<std::size_t>(length))));
}

bool Held(int virtualKey) {
  return (::GetKeyState(virtualKey) & 0x8000) != 0;
}

}  // namespace

std::uint16_t UsageOfScanCode(std::uint8_t scanCode, bool extended) {
  if (scanCode >= kPlainKeys.size()) return 0;
  if (!extended) return kPlainKeys[scanCode];
  for (const ExtendedKey& key : kExtendedKeys) {
    if (key.scanCode == scanCode) return key.usage;
  }
  return 0;
}

KeyEvent TranslateKeyMessage(bool down, std::uintptr_t virtualKey, std::intptr_t lParam,
                             std::uint64_t time) {
  KeyEvent key;
  key.down = down;
  key.time = time;
  const auto scanCode = static_cast<std::uint8_t>((lParam >> 16) & 0xFF);
  const bool extended = ((lParam >> 24) & 1) != 0;
  key.usage = UsageOfScanCode(scanCode, extended);
  // Pause comes with Num Lock's scan code and no extended flag: only its virtual key tells.
  if (virtualKey == VK_PAUSE) key.usage = 0x48;
  // A key the table does not place: the name the system gives it, where the key tables hold
  // that name (the table's usage stands wherever it has one: it tells the keypad apart).
  if (key.usage == 0) key.usage = UsageOfKeyName(lParam);
  if (Held(VK_LCONTROL)) key.modifiers |= 0x01;
  if (Held(VK_LSHIFT)) key.modifiers |= 0x02;
  if (Held(VK_LMENU)) key.modifiers |= 0x04;
  if (Held(VK_LWIN)) key.modifiers |= 0x08;
  if (Held(VK_RCONTROL)) key.modifiers |= 0x10;
  if (Held(VK_RSHIFT)) key.modifiers |= 0x20;
  if (Held(VK_RMENU)) key.modifiers |= 0x40;
  if (Held(VK_RWIN)) key.modifiers |= 0x80;
  return key;
}

}  // namespace vm31::win32
