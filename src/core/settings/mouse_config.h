#pragma once
// The settings record: everything the user sets for the mouse, as the 1985 bytes that config.bin
// stores behind its flag byte. The layout is a file format, so the record is a plain byte array
// addressed through the offsets below; every field is one byte or an array of bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vm31 {

inline constexpr std::size_t kMouseConfigSize = 1985;
inline constexpr int kButtonCount = 12;   // button positions of a key group
inline constexpr int kKeyGroupCount = 2;  // the two button configurations
inline constexpr int kKeyAttributeCount = 16;
inline constexpr std::size_t kKeyGroupSize = kKeyAttributeCount * kButtonCount;  // 192
inline constexpr int kMacroCount = 12;
inline constexpr std::size_t kMacroBlockSize = 128;
inline constexpr int kDpiStageCount = 4;
inline constexpr int kLightModeCount = 3;

// Byte offsets inside the record.
namespace config_offset {
inline constexpr std::size_t kKeyGroups = 0;               // 2 x 192, attribute-major
inline constexpr std::size_t kMacroBlocks = 384;           // 12 x 128
inline constexpr std::size_t kReservedAfterMacros = 1920;  // 5 bytes, kept as loaded
inline constexpr std::size_t kReportRateCode = 1925;       // 1 = 1000 Hz, 2 = 500, 4 = 250, 8 = 125
inline constexpr std::size_t kReservedAfterRate = 1926;    // 1 byte, kept as loaded
inline constexpr std::size_t kDpiLevel = 1927;             // 4: index into the sensor's DPI table
inline constexpr std::size_t kDpiStageEnabled = 1931;      // 4: 1 = stage in use
inline constexpr std::size_t kDpiColor = 1935;             // 4 x (red, green, blue)
inline constexpr std::size_t kLightMode = 1947;   // 0 none, 1 standard, 2 respiration, 3 neon
inline constexpr std::size_t kLightLevel = 1948;  // 3: level of modes 1..3, zero-based
inline constexpr std::size_t kRgbEffect = 1951;   // 3: effect of modes 1..3
inline constexpr std::size_t kReservedAfterLight = 1954;  // 1 byte, kept as loaded
inline constexpr std::size_t kEnhancePointerPrecision = 1955;
inline constexpr std::size_t kScrollOneScreen = 1956;
inline constexpr std::size_t kPointerSpeedLevel = 1957;
inline constexpr std::size_t kWheelScrollLines = 1958;
inline constexpr std::size_t kDoubleClickLevel = 1959;
inline constexpr std::size_t kEditedKeyGroup = 1960;  // 0 or 1
inline constexpr std::size_t kDpiSwitchStage = 1961;  // 2 x 12, per button of each group
inline constexpr std::size_t kEnd = kDpiSwitchStage + kKeyGroupCount * kButtonCount;
}  // namespace config_offset

static_assert(config_offset::kMacroBlocks == kKeyGroupCount * kKeyGroupSize);
static_assert(config_offset::kReservedAfterMacros ==
              config_offset::kMacroBlocks + kMacroCount * kMacroBlockSize);
static_assert(config_offset::kEnd == kMouseConfigSize);

// The sixteen per-button attributes of a key group, in storage order. Attribute k of button b
// sits at k * 12 + b inside the group.
enum class KeyAttribute : std::uint8_t {
  kKeyFunction = 0,  // function code 0..15, the position in the function menu
  kMediaIndex,
  kMediaCode,
  kWindowsIndex,
  kWindowsCode,
  kWindowsClass,
  kFireIndex,
  kFireKey,
  kFireSpeed,
  kFireCount,
  kSingleKey,
  kComboModifiers,
  kComboKey1,
  kComboKey2,
  kMacroIndex,
  kMacroMode,
};
static_assert(static_cast<int>(KeyAttribute::kMacroMode) == kKeyAttributeCount - 1);

struct MouseConfig {
  std::array<std::uint8_t, kMouseConfigSize> bytes{};

  // Accessors take indexes the caller has checked: group 0..1, button 0..11, stage 0..3,
  // macro 0..11, mode 0..2. They assert in debug builds and never reach outside the record.
  std::uint8_t keyAttribute(int group, KeyAttribute attribute, int button) const;
  void setKeyAttribute(int group, KeyAttribute attribute, int button, std::uint8_t value);
  std::uint8_t keyFunction(int group, int button) const {
    return keyAttribute(group, KeyAttribute::kKeyFunction, button);
  }

  std::span<std::uint8_t, kMacroBlockSize> macroBlock(int index);
  std::span<const std::uint8_t, kMacroBlockSize> macroBlock(int index) const;
  // The loop count is bytes 0 (high) and 1 (low) of the macro's block.
  std::uint16_t macroLoopCount(int index) const;
  void setMacroLoopCount(int index, std::uint16_t count);

  std::uint8_t& at(std::size_t offset);
  std::uint8_t at(std::size_t offset) const;

  std::uint8_t reportRateCode() const { return at(config_offset::kReportRateCode); }
  void setReportRateCode(std::uint8_t code) { at(config_offset::kReportRateCode) = code; }
  std::uint8_t dpiLevel(int stage) const;
  void setDpiLevel(int stage, std::uint8_t level);
  bool dpiStageEnabled(int stage) const;  // any byte but 0 counts as in use, as the mouse takes it
  void setDpiStageEnabled(int stage, bool enabled);       // stores 1 or 0
  std::array<std::uint8_t, 3> dpiColor(int stage) const;  // red, green, blue
  void setDpiColor(int stage, std::array<std::uint8_t, 3> colour);
  std::uint8_t lightMode() const { return at(config_offset::kLightMode); }
  void setLightMode(std::uint8_t mode) { at(config_offset::kLightMode) = mode; }
  std::uint8_t lightLevel(int mode) const;  // mode 1..3
  void setLightLevel(int mode, std::uint8_t level);
  std::uint8_t rgbEffect(int mode) const;  // mode 1..3
  void setRgbEffect(int mode, std::uint8_t effect);
  std::uint8_t editedKeyGroup() const { return at(config_offset::kEditedKeyGroup); }
  void setEditedKeyGroup(std::uint8_t group) { at(config_offset::kEditedKeyGroup) = group; }

  // The desktop's pointer settings: two ticks (any byte but 0 is ticked; stored as 1 or 0) and
  // the positions of the three sliders.
  bool enhancePointerPrecision() const { return at(config_offset::kEnhancePointerPrecision) != 0; }
  void setEnhancePointerPrecision(bool on) {
    at(config_offset::kEnhancePointerPrecision) = on ? 1 : 0;
  }
  bool scrollOneScreen() const { return at(config_offset::kScrollOneScreen) != 0; }
  void setScrollOneScreen(bool on) { at(config_offset::kScrollOneScreen) = on ? 1 : 0; }
  std::uint8_t pointerSpeedLevel() const { return at(config_offset::kPointerSpeedLevel); }
  void setPointerSpeedLevel(std::uint8_t level) { at(config_offset::kPointerSpeedLevel) = level; }
  std::uint8_t wheelScrollLines() const { return at(config_offset::kWheelScrollLines); }
  void setWheelScrollLines(std::uint8_t lines) { at(config_offset::kWheelScrollLines) = lines; }
  std::uint8_t doubleClickLevel() const { return at(config_offset::kDoubleClickLevel); }
  void setDoubleClickLevel(std::uint8_t level) { at(config_offset::kDoubleClickLevel) = level; }
  // Copies the bytes of the desktop's pointer settings (precision .. double-click) from `from`.
  void copySystemMouseSettings(const MouseConfig& from);
  // Copies every macro block's events from `from`; each block's loop counts (bytes 0 and 1) stay.
  void copyMacroEvents(const MouseConfig& from);
  std::uint8_t dpiSwitchStage(int group, int button) const;
  void setDpiSwitchStage(int group, int button, std::uint8_t stage);

  friend bool operator==(const MouseConfig&, const MouseConfig&) = default;
};

// The key-configuration "Default": functions 0, 1, 2, 3, 4, 6, 5, 15, 15, 15, 15, 15 for buttons
// 0..11 of both groups, and DPI-switch operation 3 ("DPI Loop") for button 5 of both groups.
void ApplyDefaultKeyFunctions(MouseConfig& config);
inline constexpr std::array<std::uint8_t, kButtonCount> kDefaultKeyFunctions = {
    0, 1, 2, 3, 4, 6, 5, 15, 15, 15, 15, 15};

// The advanced page's "Default": precision 0, scroll one screen 0, speed 6, lines 3,
// double-click 6.
void ApplyDefaultSystemMouseSettings(MouseConfig& config);

// The record installed with the program (config.bin's factory content): the Default key
// functions, four enabled DPI stages at distinct levels and colours, 1000 Hz, standard lighting,
// the default system mouse settings.
MouseConfig FactoryConfig();

}  // namespace vm31
