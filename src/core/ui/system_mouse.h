#pragma once
// The desktop's own mouse settings (pointer speed, pointer precision, wheel scroll lines,
// double-click time) as the advanced page edits them through the `SystemMouse` port (ports.h):
// the mapping between the page's 11-cell sliders and the system values, and the reader, writer
// and "Default" operations over the settings record with the messages the user sees when the
// desktop refuses a value.
//
// A desktop may lack a setting altogether (GNOME has no wheel scroll lines): such a setting is
// "unavailable", which is not a failure and shows no message; its value stays in the record.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/mouse_config.h"
#include "core/ui/ports.h"

namespace vm31 {

// Slider positions of the advanced page.
inline constexpr int kSliderCells = 11;

// The values the "Default" button writes.
inline constexpr bool kDefaultPointerPrecision = false;
inline constexpr int kDefaultPointerSpeed = 10;
inline constexpr std::uint32_t kDefaultWheelScrollLines = 3;
inline constexpr int kDefaultDoubleClickTime = 500;  // ms

// Messages (caption kSystemMouseMessageCaption) of a desktop that refuses a value.
inline constexpr std::string_view kSystemMouseMessageCaption = "Warning";
inline constexpr std::string_view kSetPrecisionFailed = "SETMOUSE failed.";
inline constexpr std::string_view kSetSpeedFailed = "SETMOUSESPEED failed.";
inline constexpr std::string_view kSetWheelLinesFailed = "SETWHEELSCROLLLINES failed.";
inline constexpr std::string_view kSetDoubleClickFailed = "SPI_SETDOUBLECLICKTIME failed.";
inline constexpr std::string_view kGetSpeedFailed = "GETMOUSESPEED failed.";
inline constexpr std::string_view kGetWheelLinesFailed = "GETWHEELSCROLLLINES failed.";
inline constexpr std::string_view kGetDoubleClickFailed = "GetDoubleClickTime failed.";

// --- The slider mapping. Positions are 1..11. ---

// Speed 1..20 -> position speed / 2 + 1; values outside 1..20 are clamped first.
int SliderPositionFromPointerSpeed(int speed);
// Position 1 -> 1, else 2 x position - 2; positions outside 1..11 are clamped first.
int PointerSpeedFromSliderPosition(int position);
// (900 - ms) / 70 + 1, clamped to 1..11 (times above 900 ms show position 1, below 200 ms 11).
int SliderPositionFromDoubleClickTime(int milliseconds);
// 970 - 70 x position: position 1 = 900 ms .. 11 = 200 ms; clamped to 1..11 first.
int DoubleClickTimeFromSliderPosition(int position);

// The record's wheel fields read from a system value: the page-scroll value gives scroll one
// screen 1 with lines 0; anything else gives scroll one screen 0 and the lines, capped at 255
// (the record's byte). Lines above 11 are kept as they are, so an apply without touching the
// slider gives the desktop its own value back; the slider lights at most its 11 cells.
struct WheelFields {
  std::uint8_t scrollOneScreen = 0;
  std::uint8_t lines = 0;
  friend bool operator==(const WheelFields&, const WheelFields&) = default;
};
WheelFields WheelFieldsFromSystem(std::uint32_t systemLines);
// The page-scroll value when scroll one screen is set, else the lines.
std::uint32_t SystemWheelLinesFromFields(WheelFields fields);
// Cells of the scroll slider lit for a stored lines value: 0..11.
int LitScrollCells(std::uint8_t lines);

// Desktops that keep the pointer speed as -1..1 with 0 as their default (GNOME's "speed", KDE's
// pointer acceleration): linear, with the system default 10 at 0, 20 at 1 and 0 at -1.
double DesktopSpeedFromPointerSpeed(int speed);
// The inverse, rounded to the nearest speed and clamped to 1..20.
int PointerSpeedFromDesktopSpeed(double desktopSpeed);

// --- The operations of the advanced page over the record. ---

// The four settings, in the order they are read and written.
enum class SystemSetting { kPointerPrecision, kPointerSpeed, kWheelScrollLines, kDoubleClickTime };
inline constexpr std::size_t kSystemSettingCount = 4;

// What one operation asks the window to show: the failure messages in order (each as a box
// with caption kSystemMouseMessageCaption), and which settings the desktop lacks.
struct SystemMouseReport {
  std::vector<std::string_view> failures;
  std::vector<std::string> details;  // for the debug output, one per failure or unavailable
  bool anyUnavailable = false;
  std::array<bool, kSystemSettingCount> unavailable{};  // by SystemSetting
  bool isUnavailable(SystemSetting setting) const {
    return unavailable[static_cast<std::size_t>(setting)];
  }
};

// First display of the advanced page: reads the four settings into offsets 1955..1959. A setting
// that cannot be read keeps its stored value (a failing precision read counts as 0, without a
// message).
SystemMouseReport ReadSystemMouseSettings(SystemMouse& system, MouseConfig& config);

// OK and Apply: writes precision, speed, wheel lines and double-click time from the record, in
// that order; a failure does not stop the later writes.
SystemMouseReport WriteSystemMouseSettings(SystemMouse& system, const MouseConfig& config);

// The "Default" button: writes the default values to the system, then stores 0, 0, 6, 3, 6 at
// offsets 1955..1959.
SystemMouseReport WriteDefaultSystemMouseSettings(SystemMouse& system, MouseConfig& config);

}  // namespace vm31
