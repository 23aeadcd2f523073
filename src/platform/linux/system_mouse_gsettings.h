#pragma once
// The desktop mouse settings of GNOME and other GSettings desktops, in the schema
// "org.gnome.desktop.peripherals.mouse" (gsettings-desktop-schemas):
//   "speed"          double -1..1, mapped linearly from the pointer speed 1..20 (10 at 0);
//   "accel-profile"  "adaptive" is precision on; precision off writes "flat"; "default" and
//                    "flat" read as off;
//   "double-click"   int, milliseconds.
// Wheel scroll lines have no GSettings key: unavailable. Each write is flushed to the settings
// backend before it returns, so running programs and the next session see it.

#include <memory>

#include "core/ui/system_mouse.h"

namespace vm31 {

inline constexpr char kGnomeMouseSchema[] = "org.gnome.desktop.peripherals.mouse";

class GSettingsSystemMouse final : public SystemMouse {
 public:
  // nullptr when the schema is not installed or GIO has no persistent settings backend (no
  // dconf): writes there would be kept in memory only and lost.
  static std::unique_ptr<GSettingsSystemMouse> Create();
  ~GSettingsSystemMouse() override;
  GSettingsSystemMouse(const GSettingsSystemMouse&) = delete;
  GSettingsSystemMouse& operator=(const GSettingsSystemMouse&) = delete;

  std::string desktopName() const override { return "GNOME"; }
  SystemReading<bool> readPointerPrecision() override;
  SystemReading<int> readPointerSpeed() override;
  SystemReading<std::uint32_t> readWheelScrollLines() override;
  SystemReading<int> readDoubleClickTime() override;
  SystemWriting writePointerPrecision(bool on) override;
  SystemWriting writePointerSpeed(int speed) override;
  SystemWriting writeWheelScrollLines(std::uint32_t lines) override;
  SystemWriting writeDoubleClickTime(int milliseconds) override;

 private:
  struct State;
  explicit GSettingsSystemMouse(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace vm31
