#pragma once
// The key code tables: key names as the key-name service spells them, the modifier names of the
// combination dialog, and the lists of the fire-key, multimedia and Windows-key dialogs. Codes
// are USB HID Keyboard/Keypad usages (page 0x07), Consumer usages (page 0x0C) and the mouse's own
// button codes 0xF0..0xF8, which may stand wherever a keyboard usage may.
//
// Name lookups are exact: whole text, case-sensitive, no trimming. Position lookups give 0 for
// any position outside their list, so a stored index from a hand-edited file is harmless.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vm31 {

// The mouse's button codes, carried by mouse-button and fire words and usable as key codes.
enum MouseButtonCode : std::uint8_t {
  kMouseLeftButton = 0xF0,    // "L-Button"
  kMouseRightButton = 0xF1,   // "R-Button"
  kMouseMiddleButton = 0xF2,  // "M-Button"
  kMouseButton4 = 0xF3,       // "B4-Button" (backward)
  kMouseButton5 = 0xF4,       // "B5-Button" (forward)
  kMouseTiltLeft = 0xF5,      // "L-Tilt Wheel"
  kMouseTiltRight = 0xF6,     // "R-Tilt Wheel"
  kMatrixSlot14Code = 0xF7,   // fixed content of key-matrix slot 14; no name
  kMatrixSlot15Code = 0xF8,   // fixed content of key-matrix slot 15; no name
};

// One entry of a name table or dialog list: its text and its one-byte code (a usage, a modifier
// bit or a mouse-button code).
struct KeyName {
  std::string_view name;
  std::uint8_t code;
};

// One entry of the Windows-key list: its text and its 16-bit consumer usage.
struct WindowsKeyEntry {
  std::string_view name;
  std::uint16_t usage;
};

inline constexpr std::size_t kKeyNameCount = 107;
inline constexpr std::size_t kModifierNameCount = 8;
inline constexpr std::size_t kFireKeyCount = 61;
inline constexpr std::size_t kMediaKeyCount = 7;
inline constexpr std::size_t kWindowsKeyCount = 11;

// The tables in list order.
std::span<const KeyName, kKeyNameCount> KeyNameTable();
std::span<const KeyName, kModifierNameCount> ModifierNameTable();  // code = modifier bit
std::span<const KeyName, kFireKeyCount> FireKeyList();
std::span<const KeyName, kMediaKeyCount> MediaKeyList();  // code = consumer usage (all < 0x100)
std::span<const WindowsKeyEntry, kWindowsKeyCount> WindowsKeyList();

// The entry texts alone, in list order, for the dialogs' lists.
std::span<const std::string_view, kModifierNameCount> ModifierNames();
std::span<const std::string_view, kFireKeyCount> FireKeyNames();
std::span<const std::string_view, kMediaKeyCount> MediaKeyNames();
std::span<const std::string_view, kWindowsKeyCount> WindowsKeyNames();

// The key-name table's code of `name`; 0 when the name is not in the table.
std::uint8_t KeyUsageFromName(std::string_view name);

// The modifier bit (0x01 "Left Ctrl" .. 0x80 "Right Win") of `name`; 0 when not in the table.
// "Right Windows" is a key name, not a modifier name, and gives 0 here.
std::uint8_t ModifierBitFromName(std::string_view name);

// The name of a key code for display: the key-name table's entry, else the name of a mouse-button
// code the table lacks ("B4-Button", "B5-Button", "L-Tilt Wheel", "R-Tilt Wheel"); "" otherwise.
std::string_view KeyNameFromUsage(std::uint8_t code);

// The code of fire-key list position `position` (0..60); 0 outside the list.
std::uint8_t FireKeyCode(int position);

// The consumer usage of multimedia list position `position` (0..6); 0 outside the list.
std::uint8_t MediaKeyUsage(int position);

// A Windows-key entry as the key word carries it: the usage's low byte and its class (high byte).
struct WindowsKeyCode {
  std::uint8_t code;
  std::uint8_t keyClass;
  friend bool operator==(const WindowsKeyCode&, const WindowsKeyCode&) = default;
};

// The code of Windows-key list position `position` (0..10). The class follows from the position:
// 1 for positions 0..3, 2 for 4..10. Any other position gives {0, 0}.
WindowsKeyCode WindowsKeyUsage(int position);

}  // namespace vm31
