#pragma once
// The real monotonic clock on Windows. Waits sleep to an absolute deadline on a waitable timer
// (high resolution where Windows offers it, Windows 10 1803 and later; elsewhere a plain timer
// with the system timer at 1 ms while the program runs), then spend the last kSpinMargin checking
// the clock, because a sleeping thread wakes up to a timer period late. A wait never ends before
// its deadline, and time spent between two waits is never added on top of the protocol's
// minimums.

#include <chrono>

#include "core/device/ports.h"

namespace vm31::windows_platform {

class PreciseClock : public Clock {
 public:
  static constexpr std::chrono::microseconds kSpinMargin{1500};

  PreciseClock();
  ~PreciseClock() override;
  PreciseClock(const PreciseClock&) = delete;
  PreciseClock& operator=(const PreciseClock&) = delete;

  TimePoint now() override;
  void waitUntil(TimePoint deadline) override;

 private:
  void* timer_ = nullptr;  // HANDLE of the waitable timer; null: Sleep
  bool raisedTimerResolution_ = false;
};

}  // namespace vm31::windows_platform
