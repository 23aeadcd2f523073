// The advanced page's system mouse settings: the slider mapping both ways, and the reader,
// writer and "Default" operations against a scripted desktop.

#include "core/ui/system_mouse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings/mouse_config.h"

namespace vm31 {
namespace {

TEST(SystemMouseMapping, PointerSpeedBothWays) {
  struct Case {
    int speed;
    int position;
  };
  // Read direction: speed / 2 + 1.
  for (const Case c : {Case{1, 1}, Case{2, 2}, Case{3, 2}, Case{10, 6}, Case{19, 10}, Case{20, 11},
                       Case{0, 1}, Case{99, 11}}) {
    EXPECT_EQ(SliderPositionFromPointerSpeed(c.speed), c.position) << "speed " << c.speed;
  }
  // Write direction: 1 for position 1, else 2 x position - 2.
  for (const Case c :
       {Case{1, 1}, Case{2, 2}, Case{10, 6}, Case{20, 11}, Case{1, 0}, Case{20, 40}}) {
    EXPECT_EQ(PointerSpeedFromSliderPosition(c.position), c.speed) << "position " << c.position;
  }
}

TEST(SystemMouseMapping, DoubleClickBothWays) {
  struct Case {
    int milliseconds;
    int position;
  };
  for (const Case c : {Case{900, 1}, Case{500, 6}, Case{200, 11}, Case{430, 7}, Case{950, 1},
                       Case{5000, 1}, Case{100, 11}, Case{-5, 11}}) {
    EXPECT_EQ(SliderPositionFromDoubleClickTime(c.milliseconds), c.position)
        << c.milliseconds << " ms";
  }
  // 970 - 70 x position: position 6 writes 550 ms, which reads back as 6 again (the "Default"
  // button writes its 500 ms directly).
  for (const Case c : {Case{900, 1}, Case{550, 6}, Case{200, 11}, Case{900, 0}, Case{200, 255}}) {
    EXPECT_EQ(DoubleClickTimeFromSliderPosition(c.position), c.milliseconds)
        << "position " << c.position;
  }
}

TEST(SystemMouseMapping, WheelPageScrollIsTickAndEmptySlider) {
  EXPECT_EQ(WheelFieldsFromSystem(kWheelPageScroll), (WheelFields{1, 0}));
  EXPECT_EQ(WheelFieldsFromSystem(3), (WheelFields{0, 3}));
  EXPECT_EQ(WheelFieldsFromSystem(40), (WheelFields{0, 40}));
  EXPECT_EQ(WheelFieldsFromSystem(100000), (WheelFields{0, 255}));
  // The tick wins whatever the slider shows.
  EXPECT_EQ(SystemWheelLinesFromFields({1, 7}), kWheelPageScroll);
  EXPECT_EQ(SystemWheelLinesFromFields({0, 7}), 7u);
  EXPECT_EQ(LitScrollCells(0), 0);
  EXPECT_EQ(LitScrollCells(3), 3);
  EXPECT_EQ(LitScrollCells(40), 11);
}

TEST(SystemMouseMapping, DesktopSpeedScaleKeepsTheDefaultAtZero) {
  EXPECT_DOUBLE_EQ(DesktopSpeedFromPointerSpeed(10), 0.0);
  EXPECT_DOUBLE_EQ(DesktopSpeedFromPointerSpeed(20), 1.0);
  EXPECT_DOUBLE_EQ(DesktopSpeedFromPointerSpeed(1), -0.9);
  for (int speed = kMinPointerSpeed; speed <= kMaxPointerSpeed; ++speed) {
    EXPECT_EQ(PointerSpeedFromDesktopSpeed(DesktopSpeedFromPointerSpeed(speed)), speed);
  }
  EXPECT_EQ(PointerSpeedFromDesktopSpeed(-1.0), 1);
  EXPECT_EQ(PointerSpeedFromDesktopSpeed(7.0), 20);
  EXPECT_EQ(PointerSpeedFromDesktopSpeed(0.04), 10);
}

// A desktop whose answers the test sets per setting, and that logs every write.
class ScriptedDesktop final : public SystemMouse {
 public:
  SystemReading<bool> precision{SystemOutcome::kDone, true, {}};
  SystemReading<int> speed{SystemOutcome::kDone, 10, {}};
  SystemReading<std::uint32_t> lines{SystemOutcome::kDone, 3, {}};
  SystemReading<int> doubleClick{SystemOutcome::kDone, 500, {}};
  SystemOutcome precisionWrite = SystemOutcome::kDone;
  SystemOutcome speedWrite = SystemOutcome::kDone;
  SystemOutcome linesWrite = SystemOutcome::kDone;
  SystemOutcome doubleClickWrite = SystemOutcome::kDone;
  std::vector<std::string> writes;

  std::string desktopName() const override { return "scripted"; }
  SystemReading<bool> readPointerPrecision() override { return precision; }
  SystemReading<int> readPointerSpeed() override { return speed; }
  SystemReading<std::uint32_t> readWheelScrollLines() override { return lines; }
  SystemReading<int> readDoubleClickTime() override { return doubleClick; }
  SystemWriting writePointerPrecision(bool on) override {
    writes.push_back(std::string("precision ") + (on ? "on" : "off"));
    return {precisionWrite, {}};
  }
  SystemWriting writePointerSpeed(int value) override {
    writes.push_back("speed " + std::to_string(value));
    return {speedWrite, {}};
  }
  SystemWriting writeWheelScrollLines(std::uint32_t value) override {
    writes.push_back("lines " + std::to_string(value));
    return {linesWrite, {}};
  }
  SystemWriting writeDoubleClickTime(int value) override {
    writes.push_back("double-click " + std::to_string(value));
    return {doubleClickWrite, {}};
  }
};

std::vector<int> SystemFields(const MouseConfig& config) {
  std::vector<int> fields;
  for (std::size_t offset = config_offset::kEnhancePointerPrecision;
       offset <= config_offset::kDoubleClickLevel; ++offset) {
    fields.push_back(config.at(offset));
  }
  return fields;
}

MouseConfig StoredFields(std::vector<std::uint8_t> fields) {
  MouseConfig config;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    config.at(config_offset::kEnhancePointerPrecision + i) = fields[i];
  }
  return config;
}

TEST(SystemMouseSettings, ReadFillsTheRecord) {
  ScriptedDesktop desktop;
  desktop.lines.value = kWheelPageScroll;
  desktop.doubleClick.value = 200;
  MouseConfig config = StoredFields({0, 0, 1, 1, 1});
  const SystemMouseReport report = ReadSystemMouseSettings(desktop, config);
  EXPECT_EQ(SystemFields(config), (std::vector<int>{1, 1, 6, 0, 11}));
  EXPECT_TRUE(report.failures.empty());
  EXPECT_FALSE(report.anyUnavailable);
}

TEST(SystemMouseSettings, ReadFailuresAndUnavailableSettings) {
  ScriptedDesktop desktop;
  desktop.precision.outcome = SystemOutcome::kFailed;    // counts as 0, no message
  desktop.speed.outcome = SystemOutcome::kFailed;        // message, stored value kept
  desktop.lines.outcome = SystemOutcome::kUnavailable;   // no message, stored value kept
  desktop.doubleClick.outcome = SystemOutcome::kFailed;  // message, stored value kept
  MouseConfig config = StoredFields({1, 1, 4, 9, 2});
  const SystemMouseReport report = ReadSystemMouseSettings(desktop, config);
  EXPECT_EQ(SystemFields(config), (std::vector<int>{0, 1, 4, 9, 2}));
  EXPECT_EQ(report.failures,
            (std::vector<std::string_view>{"GETMOUSESPEED failed.", "GetDoubleClickTime failed."}));
  EXPECT_TRUE(report.anyUnavailable);
}

TEST(SystemMouseSettings, WriteUsesTheMappingAndTheTick) {
  ScriptedDesktop desktop;
  const MouseConfig config = StoredFields({1, 1, 1, 7, 11});
  const SystemMouseReport report = WriteSystemMouseSettings(desktop, config);
  EXPECT_EQ(desktop.writes, (std::vector<std::string>{"precision on", "speed 1", "lines 4294967295",
                                                      "double-click 200"}));
  EXPECT_TRUE(report.failures.empty());

  ScriptedDesktop plain;
  (void)WriteSystemMouseSettings(plain, StoredFields({0, 0, 6, 7, 6}));
  EXPECT_EQ(plain.writes,
            (std::vector<std::string>{"precision off", "speed 10", "lines 7", "double-click 550"}));
}

TEST(SystemMouseSettings, EveryFailedWriteIsReportedAndTheRestStillWritten) {
  ScriptedDesktop desktop;
  desktop.precisionWrite = SystemOutcome::kFailed;
  desktop.speedWrite = SystemOutcome::kFailed;
  desktop.linesWrite = SystemOutcome::kUnavailable;
  desktop.doubleClickWrite = SystemOutcome::kFailed;
  const SystemMouseReport report = WriteSystemMouseSettings(desktop, StoredFields({0, 0, 6, 3, 6}));
  EXPECT_EQ(desktop.writes.size(), 4u);
  EXPECT_EQ(report.failures,
            (std::vector<std::string_view>{"SETMOUSE failed.", "SETMOUSESPEED failed.",
                                           "SPI_SETDOUBLECLICKTIME failed."}));
  EXPECT_TRUE(report.anyUnavailable);
}

TEST(SystemMouseSettings, DefaultWritesTheDefaultsAndResetsTheRecord) {
  ScriptedDesktop desktop;
  desktop.linesWrite = SystemOutcome::kFailed;
  MouseConfig config = StoredFields({1, 1, 11, 0, 1});
  const SystemMouseReport report = WriteDefaultSystemMouseSettings(desktop, config);
  EXPECT_EQ(desktop.writes,
            (std::vector<std::string>{"precision off", "speed 10", "lines 3", "double-click 500"}));
  EXPECT_EQ(SystemFields(config), (std::vector<int>{0, 0, 6, 3, 6}));
  EXPECT_EQ(report.failures, (std::vector<std::string_view>{"SETWHEELSCROLLLINES failed."}));
}

TEST(SystemMouseSettings, NoDesktopLeavesTheRecordAndReportsNoFailure) {
  NoDesktopSystemMouse none;
  MouseConfig config = StoredFields({1, 0, 4, 5, 8});
  const SystemMouseReport read = ReadSystemMouseSettings(none, config);
  const SystemMouseReport written = WriteSystemMouseSettings(none, config);
  EXPECT_EQ(SystemFields(config), (std::vector<int>{1, 0, 4, 5, 8}));
  EXPECT_TRUE(read.failures.empty());
  EXPECT_TRUE(written.failures.empty());
  EXPECT_TRUE(read.anyUnavailable);
  EXPECT_TRUE(written.anyUnavailable);
  EXPECT_TRUE(none.desktopName().empty());
}

}  // namespace
}  // namespace vm31
