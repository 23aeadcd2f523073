#include "core/settings/mouse_config.h"

#include <algorithm>

#include <cassert>

namespace vm31 {
namespace {

std::size_t KeyAttributeOffset(int group, KeyAttribute attribute, int button) {
  assert(group >= 0 && group < kKeyGroupCount);
  assert(button >= 0 && button < kButtonCount);
  return config_offset::kKeyGroups + static_cast<std::size_t>(group) * kKeyGroupSize +
         static_cast<std::size_t>(attribute) * kButtonCount + static_cast<std::size_t>(button);
}

std::size_t MacroOffset(int index) {
  assert(index >= 0 && index < kMacroCount);
  return config_offset::kMacroBlocks + static_cast<std::size_t>(index) * kMacroBlockSize;
}

}  // namespace

std::uint8_t& MouseConfig::at(std::size_t offset) {
  return bytes.at(offset);
}
std::uint8_t MouseConfig::at(std::size_t offset) const {
  return bytes.at(offset);
}

std::uint8_t MouseConfig::keyAttribute(int group, KeyAttribute attribute, int button) const {
  return at(KeyAttributeOffset(group, attribute, button));
}

void MouseConfig::setKeyAttribute(int group, KeyAttribute attribute, int button,
                                  std::uint8_t value) {
  at(KeyAttributeOffset(group, attribute, button)) = value;
}

std::span<std::uint8_t, kMacroBlockSize> MouseConfig::macroBlock(int index) {
  return std::span<std::uint8_t, kMacroBlockSize>(bytes.data() + MacroOffset(index),
                                                  kMacroBlockSize);
}

std::span<const std::uint8_t, kMacroBlockSize> MouseConfig::macroBlock(int index) const {
  return std::span<const std::uint8_t, kMacroBlockSize>(bytes.data() + MacroOffset(index),
                                                        kMacroBlockSize);
}

std::uint16_t MouseConfig::macroLoopCount(int index) const {
  const auto block = macroBlock(index);
  return static_cast<std::uint16_t>(block[0] << 8 | block[1]);
}

void MouseConfig::setMacroLoopCount(int index, std::uint16_t count) {
  auto block = macroBlock(index);
  block[0] = static_cast<std::uint8_t>(count >> 8);
  block[1] = static_cast<std::uint8_t>(count & 0xFF);
}

std::uint8_t MouseConfig::dpiLevel(int stage) const {
  assert(stage >= 0 && stage < kDpiStageCount);
  return at(config_offset::kDpiLevel + static_cast<std::size_t>(stage));
}

bool MouseConfig::dpiStageEnabled(int stage) const {
  assert(stage >= 0 && stage < kDpiStageCount);
  return at(config_offset::kDpiStageEnabled + static_cast<std::size_t>(stage)) != 0;
}

std::array<std::uint8_t, 3> MouseConfig::dpiColor(int stage) const {
  assert(stage >= 0 && stage < kDpiStageCount);
  const std::size_t offset = config_offset::kDpiColor + 3 * static_cast<std::size_t>(stage);
  return {at(offset), at(offset + 1), at(offset + 2)};
}

std::uint8_t MouseConfig::lightLevel(int mode) const {
  assert(mode >= 1 && mode <= kLightModeCount);
  return at(config_offset::kLightLevel + static_cast<std::size_t>(mode - 1));
}

std::uint8_t MouseConfig::rgbEffect(int mode) const {
  assert(mode >= 1 && mode <= kLightModeCount);
  return at(config_offset::kRgbEffect + static_cast<std::size_t>(mode - 1));
}

void MouseConfig::setDpiLevel(int stage, std::uint8_t level) {
  assert(stage >= 0 && stage < kDpiStageCount);
  at(config_offset::kDpiLevel + static_cast<std::size_t>(stage)) = level;
}

void MouseConfig::setDpiStageEnabled(int stage, bool enabled) {
  assert(stage >= 0 && stage < kDpiStageCount);
  at(config_offset::kDpiStageEnabled + static_cast<std::size_t>(stage)) = enabled ? 1 : 0;
}

void MouseConfig::setDpiColor(int stage, std::array<std::uint8_t, 3> colour) {
  assert(stage >= 0 && stage < kDpiStageCount);
  const std::size_t offset = config_offset::kDpiColor + 3 * static_cast<std::size_t>(stage);
  for (std::size_t i = 0; i < colour.size(); ++i) at(offset + i) = colour[i];
}

void MouseConfig::setLightLevel(int mode, std::uint8_t level) {
  assert(mode >= 1 && mode <= kLightModeCount);
  at(config_offset::kLightLevel + static_cast<std::size_t>(mode - 1)) = level;
}

void MouseConfig::setRgbEffect(int mode, std::uint8_t effect) {
  assert(mode >= 1 && mode <= kLightModeCount);
  at(config_offset::kRgbEffect + static_cast<std::size_t>(mode - 1)) = effect;
}

void MouseConfig::copySystemMouseSettings(const MouseConfig& from) {
  for (std::size_t offset = config_offset::kEnhancePointerPrecision;
       offset <= config_offset::kDoubleClickLevel; ++offset) {
    at(offset) = from.at(offset);
  }
}

void MouseConfig::copyMacroEvents(const MouseConfig& from) {
  for (int macro = 0; macro < kMacroCount; ++macro) {
    const auto source = from.macroBlock(macro);
    std::copy(source.begin() + 2, source.end(), macroBlock(macro).begin() + 2);
  }
}

std::uint8_t MouseConfig::dpiSwitchStage(int group, int button) const {
  assert(group >= 0 && group < kKeyGroupCount && button >= 0 && button < kButtonCount);
  return at(config_offset::kDpiSwitchStage +
            static_cast<std::size_t>(group * kButtonCount + button));
}

void MouseConfig::setDpiSwitchStage(int group, int button, std::uint8_t stage) {
  assert(group >= 0 && group < kKeyGroupCount && button >= 0 && button < kButtonCount);
  at(config_offset::kDpiSwitchStage + static_cast<std::size_t>(group * kButtonCount + button)) =
      stage;
}

void ApplyDefaultKeyFunctions(MouseConfig& config) {
  for (int group = 0; group < kKeyGroupCount; ++group) {
    for (int button = 0; button < kButtonCount; ++button) {
      config.setKeyAttribute(group, KeyAttribute::kKeyFunction, button,
                             kDefaultKeyFunctions[static_cast<std::size_t>(button)]);
    }
    config.setDpiSwitchStage(group, 5, 3);  // button 5: "DPI Loop"
  }
}

void ApplyDefaultSystemMouseSettings(MouseConfig& config) {
  config.at(config_offset::kEnhancePointerPrecision) = 0;
  config.at(config_offset::kScrollOneScreen) = 0;
  config.at(config_offset::kPointerSpeedLevel) = 6;
  config.at(config_offset::kWheelScrollLines) = 3;
  config.at(config_offset::kDoubleClickLevel) = 6;
}

MouseConfig FactoryConfig() {
  MouseConfig config;
  ApplyDefaultKeyFunctions(config);
  ApplyDefaultSystemMouseSettings(config);
  config.at(config_offset::kReportRateCode) = 1;  // 1000 Hz
  // Levels index the sensor's DPI table; 1, 3, 5, 7 are distinct and valid for every sensor.
  constexpr std::array<std::uint8_t, kDpiStageCount> kLevels = {1, 3, 5, 7};
  constexpr std::array<std::array<std::uint8_t, 3>, kDpiStageCount> kColors = {
      {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}}};
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    const auto s = static_cast<std::size_t>(stage);
    config.at(config_offset::kDpiLevel + s) = kLevels[s];
    config.at(config_offset::kDpiStageEnabled + s) = 1;
    for (std::size_t c = 0; c < 3; ++c)
      config.at(config_offset::kDpiColor + 3 * s + c) = kColors[s][c];
  }
  config.at(config_offset::kLightMode) = 1;       // standard
  config.at(config_offset::kLightLevel + 0) = 9;  // 100 %
  config.at(config_offset::kRgbEffect + 1) = 1;   // respiration: "RGB Effect"
  config.at(config_offset::kRgbEffect + 2) = 2;   // neon: "RGB Effect"
  return config;
}

}  // namespace vm31
