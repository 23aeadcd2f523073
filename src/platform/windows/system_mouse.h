#pragma once
// The desktop's pointer settings on Windows (the `SystemMouse` port) through
// SystemParametersInfoW: the pointer speed (SPI_GETMOUSESPEED/SETMOUSESPEED), the pointer
// precision (SPI_GETMOUSE/SETMOUSE: the acceleration on with the system's default thresholds 6
// and 10, off with all three 0), the wheel's scroll lines (SPI_GETWHEELSCROLLLINES/SET..., the
// page scroll as 0xFFFFFFFF) and the double-click time (GetDoubleClickTime,
// SPI_SETDOUBLECLICKTIME). Every write is saved to the user's profile and announced to running
// programs (SPIF_UPDATEINIFILE | SPIF_SENDCHANGE).

#include "core/ui/ports.h"

namespace vm31::windows_platform {

class WindowsSystemMouse final : public SystemMouse {
 public:
  std::string desktopName() const override { return "Windows"; }
  SystemReading<bool> readPointerPrecision() override;
  SystemReading<int> readPointerSpeed() override;
  SystemReading<std::uint32_t> readWheelScrollLines() override;
  SystemReading<int> readDoubleClickTime() override;
  SystemWriting writePointerPrecision(bool on) override;
  SystemWriting writePointerSpeed(int speed) override;
  SystemWriting writeWheelScrollLines(std::uint32_t lines) override;
  SystemWriting writeDoubleClickTime(int milliseconds) override;
};

}  // namespace vm31::windows_platform
