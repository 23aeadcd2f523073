#pragma once
// The real monotonic clock. Waits end as close after their deadline as the machine allows and
// never before it, at little CPU cost, also while other programs keep the cores busy:
// - the calling thread's timer slack is cut to 1 ns, so the kernel does not round a wake-up
//   late on purpose;
// - the wait sleeps on CLOCK_MONOTONIC (the clock behind std::chrono::steady_clock on Linux) to
//   an absolute point before the deadline, so time spent between two waits is never added on
//   top of the protocol's minimums;
// - that point lies the thread's recent wake-up lateness before the deadline (a sleeping thread
//   wakes some 50..200 us after the time it asked for on a desktop or a virtual machine), plus a
//   small reserve; the rest is spent reading the clock without giving the core away, since a
//   yield to a busy process would cost a whole time slice.
// Over the 95 waits of an apply that keeps the total within a per cent or two of the protocol's
// minimum idle and loaded, with a few milliseconds of spinning in all (docs/performance.md).

#include <chrono>

#include "core/device/ports.h"

namespace vm31::linux_platform {

class SteadyClock : public Clock {
 public:
  // Bounds of the time slept short of a deadline: the reserve always kept, and the most.
  static constexpr std::chrono::microseconds kSpinReserve{20};
  static constexpr std::chrono::microseconds kLongestSpin{500};

  TimePoint now() override;
  void waitUntil(TimePoint deadline) override;
};

}  // namespace vm31::linux_platform
