#include "core/keys/key_encoding.h"

#include "core/keys/key_functions.h"

namespace vm31 {
namespace {

std::uint8_t EvaluateByte(const KeyWordByte& rule, const MouseConfig& config, int group,
                          int button) {
  switch (rule.source) {
    case KeyWordSource::kConstant:
      return rule.value;
    case KeyWordSource::kAttribute:
      return config.keyAttribute(group, static_cast<KeyAttribute>(rule.value), button);
    case KeyWordSource::kAttributePlusOne:
      return static_cast<std::uint8_t>(
          config.keyAttribute(group, static_cast<KeyAttribute>(rule.value), button) + 1);
    case KeyWordSource::kDpiStage:
      return config.dpiSwitchStage(group, button);
    case KeyWordSource::kDpiShiftFlag:
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
  const KeyFunctionRow* function = FindKeyFunction(config.keyFunction(group, button));
  if (function == nullptr) return {};
  const KeyWordRule& rule = function->word;
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
