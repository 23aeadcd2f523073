#include "core/keys/key_encoding.h"

namespace vm31 {
namespace {

// Where one byte of a key word comes from.
enum class ByteSource : std::uint8_t {
  kConstant,          // the rule's value
  kAttribute,         // the button's attribute number `value`, as stored
  kAttributePlusOne,  // the same plus one, modulo 256 (macro number from the zero-based index)
  kDpiStage,          // the button's dpiSwitchStage
  kDpiShiftFlag,      // 1 when dpiSwitchStage is kDpiOperationShift, else 0
};

struct ByteRule {
  ByteSource source;
  std::uint8_t value;
};

constexpr ByteRule Const(std::uint8_t value) {
  return {ByteSource::kConstant, value};
}
constexpr ByteRule Attr(KeyAttribute attribute) {
  return {ByteSource::kAttribute, static_cast<std::uint8_t>(attribute)};
}
constexpr ByteRule AttrPlusOne(KeyAttribute attribute) {
  return {ByteSource::kAttributePlusOne, static_cast<std::uint8_t>(attribute)};
}
constexpr ByteRule kDpiStageByte = {ByteSource::kDpiStage, 0};
constexpr ByteRule kDpiShiftFlagByte = {ByteSource::kDpiShiftFlag, 0};
constexpr ByteRule kZero = Const(0);

using WordRule = std::array<ByteRule, kKeyActionSize>;

// The key word of each function code, indexed by keyFunction. Codes above 15 encode zero.
constexpr std::array<WordRule, kKeyFunctionCount> kFunctionEncodings = {{
    // "Left Click", "Right Click", "Mid Click", "Forward", "Backward"
    {Const(kKindMouseButton), kZero, Const(kMouseLeftButton), kZero},
    {Const(kKindMouseButton), kZero, Const(kMouseRightButton), kZero},
    {Const(kKindMouseButton), kZero, Const(kMouseMiddleButton), kZero},
    {Const(kKindMouseButton), kZero, Const(kMouseButton5), kZero},
    {Const(kKindMouseButton), kZero, Const(kMouseButton4), kZero},
    // "Triple-click": fire the left button at speed 34, three times
    {Const(kKindFire), Const(kMouseLeftButton), Const(34), Const(3)},
    // "DPI Switch"
    {Const(kKindDpi), kZero, kDpiStageByte, kDpiShiftFlagByte},
    // "RGB On/Off"
    {Const(kKindDeviceFunction), kZero, Const(kDeviceFunctionLighting), kZero},
    // "Windows": the usage's low byte and class (high byte)
    {Const(kKindConsumer), kZero, Attr(KeyAttribute::kWindowsCode),
     Attr(KeyAttribute::kWindowsClass)},
    // "Multimedia": usages below 0x100
    {Const(kKindConsumer), kZero, Attr(KeyAttribute::kMediaCode), kZero},
    // "Fire Key"
    {Const(kKindFire), Attr(KeyAttribute::kFireKey), Attr(KeyAttribute::kFireSpeed),
     Attr(KeyAttribute::kFireCount)},
    // "Single Key"
    {Const(kKindKeyboard), kZero, Attr(KeyAttribute::kSingleKey), kZero},
    // "Combo Key"
    {Const(kKindKeyboard), Attr(KeyAttribute::kComboModifiers), Attr(KeyAttribute::kComboKey1),
     Attr(KeyAttribute::kComboKey2)},
    // "Macro Key": play mode, macro number 1..12
    {Const(kKindMacro), Attr(KeyAttribute::kMacroMode), AttrPlusOne(KeyAttribute::kMacroIndex),
     kZero},
    // "Shift"
    {Const(kKindDeviceFunction), kZero, Const(kDeviceFunctionShift), kZero},
    // "Key Off"
    {kZero, kZero, kZero, kZero},
}};
static_assert(kFunctionEncodings.size() == kKeyFunctionCount);

std::uint8_t EvaluateByte(const ByteRule& rule, const MouseConfig& config, int group, int button) {
  switch (rule.source) {
    case ByteSource::kConstant:
      return rule.value;
    case ByteSource::kAttribute:
      return config.keyAttribute(group, static_cast<KeyAttribute>(rule.value), button);
    case ByteSource::kAttributePlusOne:
      return static_cast<std::uint8_t>(
          config.keyAttribute(group, static_cast<KeyAttribute>(rule.value), button) + 1);
    case ByteSource::kDpiStage:
      return config.dpiSwitchStage(group, button);
    case ByteSource::kDpiShiftFlag:
      return config.dpiSwitchStage(group, button) == kDpiOperationShift ? 1 : 0;
  }
  return 0;
}

void WriteSlot(KeyMatrix& matrix, int slot, const KeyAction& action) {
  const auto bytes = action.bytes();
  const std::size_t offset = static_cast<std::size_t>(slot) * kKeyActionSize;
  for (std::size_t i = 0; i < kKeyActionSize; ++i) matrix[offset + i] = bytes[i];
}

}  // namespace

KeyAction EncodeKeyAction(const MouseConfig& config, int group, int button) {
  if (group < 0 || group >= kKeyGroupCount || button < 0 || button >= kButtonCount) return {};
  const std::uint8_t function = config.keyFunction(group, button);
  if (function >= kFunctionEncodings.size()) return {};
  const WordRule& rule = kFunctionEncodings[function];
  return {
      EvaluateByte(rule[0], config, group, button), EvaluateByte(rule[1], config, group, button),
      EvaluateByte(rule[2], config, group, button), EvaluateByte(rule[3], config, group, button)};
}

int MatrixSlot(int button) {
  if (button < 0 || button >= kButtonCount) return -1;
  if (button == 3) return 4;
  if (button == 4) return 3;
  return button;
}

KeyMatrices BuildKeyMatrices(const MouseConfig& config) {
  KeyMatrices matrices{};
  // Matrix 1 (index 0) carries group 0, matrix 3 (index 2) group 1.
  constexpr std::array<std::size_t, kKeyGroupCount> kMatrixOfGroup = {0, 2};
  for (int group = 0; group < kKeyGroupCount; ++group) {
    KeyMatrix& matrix = matrices[kMatrixOfGroup[static_cast<std::size_t>(group)]];
    for (int button = 0; button < kButtonCount; ++button) {
      WriteSlot(matrix, MatrixSlot(button), EncodeKeyAction(config, group, button));
    }
    WriteSlot(matrix, 14, kMatrixSlot14Action);
    WriteSlot(matrix, 15, kMatrixSlot15Action);
  }
  return matrices;
}

std::string FormatKeyAction(KeyAction action) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(3 * kKeyActionSize - 1);
  for (const std::uint8_t byte : action.bytes()) {
    if (!text.empty()) text += ' ';
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
  }
  return text;
}

}  // namespace vm31
