#pragma once
// The key word the mouse holds per button and the key matrices the apply sequence sends.
//
// A KeyAction is four bytes, sent in this order: kind, data1, data2, data3 (read as a
// little-endian 32-bit word, kind is the least significant byte). The all-zero word makes the
// button do nothing. A KeyMatrix is sixteen words, slot 0 first; the mouse takes four matrices,
// numbered 1..4: key group 0 fills matrix 1, key group 1 fills matrix 3, matrices 2 and 4 are zero.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/keys/key_tables.h"
#include "core/settings/mouse_config.h"

namespace vm31 {

// Action kinds (byte 0 of a key word) and what the other three bytes carry.
inline constexpr std::uint8_t kKindKeyboard = 0x00;        // modifier bits, usage 1, usage 2
inline constexpr std::uint8_t kKindMouseButton = 0x01;     // 0, MouseButtonCode, 0
inline constexpr std::uint8_t kKindConsumer = 0x03;        // 0, usage low byte, usage high byte
inline constexpr std::uint8_t kKindDpi = 0x07;             // 0, DPI operation 1..4, 1 if it is 4
inline constexpr std::uint8_t kKindDeviceFunction = 0x08;  // 0, 2 Shift / 3 lighting on-off, 0
inline constexpr std::uint8_t kKindMacro = 0x09;           // play mode 0..2, macro 1..12, 0
inline constexpr std::uint8_t kKindFire = 0x0A;            // key code, speed, times (0 = held)

// data2 of a device-function word.
inline constexpr std::uint8_t kDeviceFunctionShift = 2;
inline constexpr std::uint8_t kDeviceFunctionLighting = 3;

// DPI operations (data2 of a DPI word, the button's dpiSwitchStage).
inline constexpr std::uint8_t kDpiOperationUp = 1;     // "DPI +"
inline constexpr std::uint8_t kDpiOperationDown = 2;   // "DPI -"
inline constexpr std::uint8_t kDpiOperationLoop = 3;   // "DPI Loop"
inline constexpr std::uint8_t kDpiOperationShift = 4;  // "Shift DPI", the one with data3 = 1

struct KeyAction {
  std::uint8_t kind = 0;
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;
  std::uint8_t data3 = 0;

  // The word in wire order.
  constexpr std::array<std::uint8_t, 4> bytes() const { return {kind, data1, data2, data3}; }
  friend bool operator==(const KeyAction&, const KeyAction&) = default;
};
inline constexpr std::size_t kKeyActionSize = 4;

// How a function's key word is made: a rule per byte, in wire order. Each key function's row
// holds its rule (key_functions.h).
enum class KeyWordSource : std::uint8_t {
  kConstant,          // the rule's value
  kAttribute,         // the button's attribute number `value`, as stored
  kAttributePlusOne,  // the same plus one, modulo 256 (macro number from the zero-based index)
  kDpiStage,          // the button's dpiSwitchStage
  kDpiShiftFlag,      // 1 when dpiSwitchStage is kDpiOperationShift, else 0
};

struct KeyWordByte {
  KeyWordSource source;
  std::uint8_t value;
  friend bool operator==(const KeyWordByte&, const KeyWordByte&) = default;
};
using KeyWordRule = std::array<KeyWordByte, kKeyActionSize>;

namespace key_word {
constexpr KeyWordByte Const(std::uint8_t value) {
  return {KeyWordSource::kConstant, value};
}
constexpr KeyWordByte Attr(KeyAttribute attribute) {
  return {KeyWordSource::kAttribute, static_cast<std::uint8_t>(attribute)};
}
constexpr KeyWordByte AttrPlusOne(KeyAttribute attribute) {
  return {KeyWordSource::kAttributePlusOne, static_cast<std::uint8_t>(attribute)};
}
inline constexpr KeyWordByte kDpiStage = {KeyWordSource::kDpiStage, 0};
inline constexpr KeyWordByte kDpiShiftFlag = {KeyWordSource::kDpiShiftFlag, 0};
inline constexpr KeyWordByte kZero = Const(0);
}  // namespace key_word

inline constexpr int kKeyMatrixCount = 4;
inline constexpr int kKeyMatrixSlotCount = 16;
using KeyMatrix = std::array<std::uint8_t, kKeyMatrixSlotCount * kKeyActionSize>;
using KeyMatrices = std::array<KeyMatrix, kKeyMatrixCount>;  // index 0 is matrix 1
static_assert(sizeof(KeyMatrix) == 64 && sizeof(KeyMatrices) == 256);

// The word of button `button` (0..11) of key group `group` (0..1), from its keyFunction and the
// attributes its function's word rule reads, all of the same button in the same group (and for
// the DPI switch its dpiSwitchStage). Attribute bytes are used as stored, without range checks,
// as a hand-edited config.bin may hold anything; a keyFunction without a row gives the all-zero
// word, and so does a group or button outside the record.
KeyAction EncodeKeyAction(const MouseConfig& config, int group, int button);

// The matrix slot of a key group's button: buttons 3 and 4 trade places (slot 4 holds button 3,
// slot 3 holds button 4), every other button b of 0..11 sits in slot b. -1 for other buttons.
int MatrixSlot(int button);

// Fixed words: slots 12 and 13 are zero, slots 14 and 15 hold these in matrices 1 and 3.
inline constexpr KeyAction kMatrixSlot14Action = {kKindMouseButton, 0, kMatrixSlot14Code, 0};
inline constexpr KeyAction kMatrixSlot15Action = {kKindMouseButton, 0, kMatrixSlot15Code, 0};

// The four matrices the apply sequence sends: the words of group 0 in matrix 1 and of group 1 in
// matrix 3, each at its button's MatrixSlot, the fixed words in slots 14 and 15, the rest zero.
KeyMatrices BuildKeyMatrices(const MouseConfig& config);

// The word's bytes as upper-case hex pairs separated by blanks: "01 00 F0 00".
std::string FormatKeyAction(KeyAction action);

}  // namespace vm31
