#pragma once
// The desktop mouse settings of KDE Plasma, in the user's KDE configuration files:
//   kdeglobals [KDE] "WheelScrollLines" (lines, default 3) and "DoubleClickInterval" (ms,
//   default 400); kcminputrc [Mouse] "XLbInptAccelProfileFlat" (true = precision off, default
//   false) and "XLbInptPointerAcceleration" (-1..1, mapped linearly from the pointer speed 1..20
//   with 10 at 0; default 0).
// A missing file or key reads as the desktop's default. Plasma has no "scroll one screen": the
// page-scroll value is unavailable. After each write the KGlobalSettings "notifyChange" signal
// (settings changed, mouse category) goes out on the session bus so running KDE programs reload
// the values; without a session bus there is no running program to tell and the write stands.

#include <filesystem>

#include "core/ui/system_mouse.h"

namespace vm31 {

class KdeSystemMouse final : public SystemMouse {
 public:
  // `configFolder`: the user's configuration folder ($XDG_CONFIG_HOME, ~/.config by default);
  // created on the first write when missing.
  explicit KdeSystemMouse(std::filesystem::path configFolder)
      : configFolder_(std::move(configFolder)) {}

  std::string desktopName() const override { return "KDE Plasma"; }
  SystemReading<bool> readPointerPrecision() override;
  SystemReading<int> readPointerSpeed() override;
  SystemReading<std::uint32_t> readWheelScrollLines() override;
  SystemReading<int> readDoubleClickTime() override;
  SystemWriting writePointerPrecision(bool on) override;
  SystemWriting writePointerSpeed(int speed) override;
  SystemWriting writeWheelScrollLines(std::uint32_t lines) override;
  SystemWriting writeDoubleClickTime(int milliseconds) override;

 private:
  std::filesystem::path configFolder_;
};

}  // namespace vm31
