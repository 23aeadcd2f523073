#include "platform/windows/system_mouse.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows/win32_error.h"

namespace vm31::windows_platform {
namespace {

constexpr UINT kWriteFlags = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;
// The system's default mouse thresholds, which the acceleration goes with when it is on.
constexpr int kDefaultThreshold1 = 6;
constexpr int kDefaultThreshold2 = 10;

std::string Failure(const char* what) {
  return Win32Error(what, ::GetLastError()).message;
}

SystemWriting Written(BOOL done, const char* what) {
  if (done) return SystemWriting{SystemOutcome::kDone, {}};
  return SystemWriting{SystemOutcome::kFailed, Failure(what)};
}

}  // namespace

SystemReading<bool> WindowsSystemMouse::readPointerPrecision() {
  int mouse[3] = {};
  if (!::SystemParametersInfoW(SPI_GETMOUSE, 0, mouse, 0)) {
    return {SystemOutcome::kFailed, false, Failure("SPI_GETMOUSE")};
  }
  return {SystemOutcome::kDone, mouse[2] != 0, {}};
}

SystemReading<int> WindowsSystemMouse::readPointerSpeed() {
  int speed = 0;
  if (!::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0)) {
    return {SystemOutcome::kFailed, 0, Failure("SPI_GETMOUSESPEED")};
  }
  return {SystemOutcome::kDone, speed, {}};
}

SystemReading<std::uint32_t> WindowsSystemMouse::readWheelScrollLines() {
  UINT lines = 0;
  if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) {
    return {SystemOutcome::kFailed, 0, Failure("SPI_GETWHEELSCROLLLINES")};
  }
  return {SystemOutcome::kDone, static_cast<std::uint32_t>(lines), {}};
}

SystemReading<int> WindowsSystemMouse::readDoubleClickTime() {
  return {SystemOutcome::kDone, static_cast<int>(::GetDoubleClickTime()), {}};
}

SystemWriting WindowsSystemMouse::writePointerPrecision(bool on) {
  int mouse[3] = {on ? kDefaultThreshold1 : 0, on ? kDefaultThreshold2 : 0, on ? 1 : 0};
  return Written(::SystemParametersInfoW(SPI_SETMOUSE, 0, mouse, kWriteFlags), "SPI_SETMOUSE");
}

SystemWriting WindowsSystemMouse::writePointerSpeed(int speed) {
  const int clamped = std::clamp(speed, kMinPointerSpeed, kMaxPointerSpeed);
  // Windows reads the speed from pvParam (the value itself, not a pointer to it); Wine 8 reads
  // it from uiParam. Both carry it.
  return Written(
      ::SystemParametersInfoW(SPI_SETMOUSESPEED, static_cast<UINT>(clamped),
                              reinterpret_cast<void*>(static_cast<INT_PTR>(clamped)), kWriteFlags),
      "SPI_SETMOUSESPEED");
}

SystemWriting WindowsSystemMouse::writeWheelScrollLines(std::uint32_t lines) {
  return Written(::SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, static_cast<UINT>(lines), nullptr,
                                         kWriteFlags),
                 "SPI_SETWHEELSCROLLLINES");
}

SystemWriting WindowsSystemMouse::writeDoubleClickTime(int milliseconds) {
  return Written(
      ::SystemParametersInfoW(SPI_SETDOUBLECLICKTIME, static_cast<UINT>(std::max(0, milliseconds)),
                              nullptr, kWriteFlags),
      "SPI_SETDOUBLECLICKTIME");
}

}  // namespace vm31::windows_platform
