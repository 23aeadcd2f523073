// The record's typed accessors against its byte layout: each setter writes exactly its own byte
// at the offset config.bin has always had, and the getter reads it back.

#include "core/settings/mouse_config.h"

#include <gtest/gtest.h>

#include <functional>

namespace vm31 {
namespace {

namespace off = config_offset;

struct FieldCase {
  const char* name;
  std::function<void(MouseConfig&)> set;
  std::function<int(const MouseConfig&)> get;
  std::size_t offset;
  std::uint8_t stored;
};

TEST(MouseConfigFields, EachSetterWritesItsOwnByte) {
  const FieldCase cases[] = {
      {"report rate", [](MouseConfig& c) { c.setReportRateCode(4); },
       [](const MouseConfig& c) { return c.reportRateCode(); }, off::kReportRateCode, 4},
      {"dpi level 3", [](MouseConfig& c) { c.setDpiLevel(2, 9); },
       [](const MouseConfig& c) { return c.dpiLevel(2); }, off::kDpiLevel + 2, 9},
      {"stage 4 off", [](MouseConfig& c) { c.setDpiStageEnabled(3, false); },
       [](const MouseConfig& c) { return c.dpiStageEnabled(3) ? 1 : 0; }, off::kDpiStageEnabled + 3,
       0},
      {"stage 2 on", [](MouseConfig& c) { c.setDpiStageEnabled(1, true); },
       [](const MouseConfig& c) { return c.dpiStageEnabled(1) ? 1 : 0; }, off::kDpiStageEnabled + 1,
       1},
      {"light mode", [](MouseConfig& c) { c.setLightMode(3); },
       [](const MouseConfig& c) { return c.lightMode(); }, off::kLightMode, 3},
      {"light level of mode 2", [](MouseConfig& c) { c.setLightLevel(2, 5); },
       [](const MouseConfig& c) { return c.lightLevel(2); }, off::kLightLevel + 1, 5},
      {"effect of mode 3", [](MouseConfig& c) { c.setRgbEffect(3, 2); },
       [](const MouseConfig& c) { return c.rgbEffect(3); }, off::kRgbEffect + 2, 2},
      {"edited group", [](MouseConfig& c) { c.setEditedKeyGroup(1); },
       [](const MouseConfig& c) { return c.editedKeyGroup(); }, off::kEditedKeyGroup, 1},
      {"precision", [](MouseConfig& c) { c.setEnhancePointerPrecision(true); },
       [](const MouseConfig& c) { return c.enhancePointerPrecision() ? 1 : 0; },
       off::kEnhancePointerPrecision, 1},
      {"one screen", [](MouseConfig& c) { c.setScrollOneScreen(true); },
       [](const MouseConfig& c) { return c.scrollOneScreen() ? 1 : 0; }, off::kScrollOneScreen, 1},
      {"speed", [](MouseConfig& c) { c.setPointerSpeedLevel(11); },
       [](const MouseConfig& c) { return c.pointerSpeedLevel(); }, off::kPointerSpeedLevel, 11},
      {"lines", [](MouseConfig& c) { c.setWheelScrollLines(7); },
       [](const MouseConfig& c) { return c.wheelScrollLines(); }, off::kWheelScrollLines, 7},
      {"double-click", [](MouseConfig& c) { c.setDoubleClickLevel(2); },
       [](const MouseConfig& c) { return c.doubleClickLevel(); }, off::kDoubleClickLevel, 2},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MouseConfig before = FactoryConfig();
    MouseConfig config = before;
    c.set(config);
    EXPECT_EQ(config.at(c.offset), c.stored);
    EXPECT_EQ(c.get(config), c.stored);
    config.at(c.offset) = before.at(c.offset);
    EXPECT_EQ(config, before) << "another byte changed";
  }
}

TEST(MouseConfigFields, ColourAndSystemSettingsCopy) {
  MouseConfig config = FactoryConfig();
  config.setDpiColor(1, {10, 20, 30});
  EXPECT_EQ(config.at(off::kDpiColor + 3), 10);
  EXPECT_EQ(config.at(off::kDpiColor + 4), 20);
  EXPECT_EQ(config.at(off::kDpiColor + 5), 30);
  EXPECT_EQ(config.dpiColor(1), (std::array<std::uint8_t, 3>{10, 20, 30}));

  // Only the five bytes of the desktop's pointer settings are copied.
  MouseConfig from{};
  from.bytes.fill(0xAB);
  MouseConfig to = FactoryConfig();
  const MouseConfig original = to;
  to.copySystemMouseSettings(from);
  for (std::size_t offset = 0; offset < kMouseConfigSize; ++offset) {
    const bool system = offset >= off::kEnhancePointerPrecision && offset <= off::kDoubleClickLevel;
    EXPECT_EQ(to.at(offset), system ? 0xAB : original.at(offset)) << offset;
  }
}

}  // namespace
}  // namespace vm31
