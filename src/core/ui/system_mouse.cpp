#include "core/ui/system_mouse.h"

#include <algorithm>
#include <cmath>

namespace vm31 {

namespace {

int ClampPosition(int position) {
  return std::clamp(position, 1, kSliderCells);
}

// Records one outcome in the report; `failure` is the message of a refused call.
void Note(SystemMouseReport& report, SystemSetting setting, SystemOutcome outcome,
          std::string_view failure, const std::string& detail) {
  switch (outcome) {
    case SystemOutcome::kDone:
      return;
    case SystemOutcome::kUnavailable:
      report.anyUnavailable = true;
      report.unavailable[static_cast<std::size_t>(setting)] = true;
      break;
    case SystemOutcome::kFailed:
      if (!failure.empty()) report.failures.push_back(failure);
      break;
  }
  if (!detail.empty()) report.details.push_back(detail);
}

void WriteValues(SystemMouse& system, bool precision, int speed, std::uint32_t wheelLines,
                 int doubleClickTime, SystemMouseReport& report) {
  SystemWriting written = system.writePointerPrecision(precision);
  Note(report, SystemSetting::kPointerPrecision, written.outcome, kSetPrecisionFailed,
       written.detail);
  written = system.writePointerSpeed(speed);
  Note(report, SystemSetting::kPointerSpeed, written.outcome, kSetSpeedFailed, written.detail);
  written = system.writeWheelScrollLines(wheelLines);
  Note(report, SystemSetting::kWheelScrollLines, written.outcome, kSetWheelLinesFailed,
       written.detail);
  written = system.writeDoubleClickTime(doubleClickTime);
  Note(report, SystemSetting::kDoubleClickTime, written.outcome, kSetDoubleClickFailed,
       written.detail);
}

}  // namespace

int SliderPositionFromPointerSpeed(int speed) {
  return std::clamp(speed, kMinPointerSpeed, kMaxPointerSpeed) / 2 + 1;
}

int PointerSpeedFromSliderPosition(int position) {
  position = ClampPosition(position);
  return position == 1 ? 1 : 2 * position - 2;
}

int SliderPositionFromDoubleClickTime(int milliseconds) {
  // Integer division truncates towards zero: clamp the time first so that times just above
  // 900 ms do not round up to position 1 by accident of the sign.
  const int time = std::clamp(milliseconds, 200, 900);
  return ClampPosition((900 - time) / 70 + 1);
}

int DoubleClickTimeFromSliderPosition(int position) {
  return 970 - 70 * ClampPosition(position);
}

WheelFields WheelFieldsFromSystem(std::uint32_t systemLines) {
  if (systemLines == kWheelPageScroll) return {1, 0};
  return {0, static_cast<std::uint8_t>(std::min<std::uint32_t>(systemLines, 255))};
}

std::uint32_t SystemWheelLinesFromFields(WheelFields fields) {
  return fields.scrollOneScreen != 0 ? kWheelPageScroll : fields.lines;
}

int LitScrollCells(std::uint8_t lines) {
  return std::min<int>(lines, kSliderCells);
}

double DesktopSpeedFromPointerSpeed(int speed) {
  return (std::clamp(speed, kMinPointerSpeed, kMaxPointerSpeed) - kDefaultPointerSpeed) / 10.0;
}

int PointerSpeedFromDesktopSpeed(double desktopSpeed) {
  if (!std::isfinite(desktopSpeed)) return kDefaultPointerSpeed;
  const double speed =
      std::round(std::clamp(desktopSpeed, -1.0, 1.0) * 10.0) + kDefaultPointerSpeed;
  return std::clamp(static_cast<int>(speed), kMinPointerSpeed, kMaxPointerSpeed);
}

SystemMouseReport ReadSystemMouseSettings(SystemMouse& system, MouseConfig& config) {
  SystemMouseReport report;

  const SystemReading<bool> precision = system.readPointerPrecision();
  Note(report, SystemSetting::kPointerPrecision, precision.outcome, {}, precision.detail);
  if (precision.outcome != SystemOutcome::kUnavailable) {
    config.at(config_offset::kEnhancePointerPrecision) =
        precision.outcome == SystemOutcome::kDone && precision.value ? 1 : 0;
  }

  const SystemReading<int> speed = system.readPointerSpeed();
  Note(report, SystemSetting::kPointerSpeed, speed.outcome, kGetSpeedFailed, speed.detail);
  if (speed.outcome == SystemOutcome::kDone) {
    config.at(config_offset::kPointerSpeedLevel) =
        static_cast<std::uint8_t>(SliderPositionFromPointerSpeed(speed.value));
  }

  const SystemReading<std::uint32_t> lines = system.readWheelScrollLines();
  Note(report, SystemSetting::kWheelScrollLines, lines.outcome, kGetWheelLinesFailed, lines.detail);
  if (lines.outcome == SystemOutcome::kDone) {
    const WheelFields fields = WheelFieldsFromSystem(lines.value);
    config.at(config_offset::kScrollOneScreen) = fields.scrollOneScreen;
    config.at(config_offset::kWheelScrollLines) = fields.lines;
  }

  const SystemReading<int> doubleClick = system.readDoubleClickTime();
  Note(report, SystemSetting::kDoubleClickTime, doubleClick.outcome, kGetDoubleClickFailed,
       doubleClick.detail);
  if (doubleClick.outcome == SystemOutcome::kDone) {
    config.at(config_offset::kDoubleClickLevel) =
        static_cast<std::uint8_t>(SliderPositionFromDoubleClickTime(doubleClick.value));
  }
  return report;
}

SystemMouseReport WriteSystemMouseSettings(SystemMouse& system, const MouseConfig& config) {
  SystemMouseReport report;
  const WheelFields wheel{config.at(config_offset::kScrollOneScreen),
                          config.at(config_offset::kWheelScrollLines)};
  WriteValues(system, config.at(config_offset::kEnhancePointerPrecision) != 0,
              PointerSpeedFromSliderPosition(config.at(config_offset::kPointerSpeedLevel)),
              SystemWheelLinesFromFields(wheel),
              DoubleClickTimeFromSliderPosition(config.at(config_offset::kDoubleClickLevel)),
              report);
  return report;
}

SystemMouseReport WriteDefaultSystemMouseSettings(SystemMouse& system, MouseConfig& config) {
  SystemMouseReport report;
  WriteValues(system, kDefaultPointerPrecision, kDefaultPointerSpeed, kDefaultWheelScrollLines,
              kDefaultDoubleClickTime, report);
  ApplyDefaultSystemMouseSettings(config);
  return report;
}

}  // namespace vm31
