#pragma once
// The real monotonic clock. Waits sleep to an absolute deadline on CLOCK_MONOTONIC (the clock
// behind std::chrono::steady_clock on Linux), so time spent between two waits is never added on
// top of the protocol's minimums, and the calling thread's timer slack is cut to 1 us so that a
// 2 ms wait does not end 50 us late. Even so, a sleeping thread wakes 50..200 us after its
// deadline on a typical desktop or virtual machine, which over the ~45 waits of an apply adds
// several per cent; so the wait sleeps to kSpinMargin before the deadline and spends the rest
// checking the clock. A wait never ends before its deadline.

#include <chrono>

#include "core/device/ports.h"

namespace vm31::linux_platform {

class SteadyClock : public Clock {
 public:
  static constexpr std::chrono::microseconds kSpinMargin{300};

  TimePoint now() override;
  void waitUntil(TimePoint deadline) override;
};

}  // namespace vm31::linux_platform
