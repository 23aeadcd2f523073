#pragma once
// The real monotonic clock. Waits end as close after their deadline as the machine allows and
// never before it, at little CPU cost, also while other programs keep the cores busy:
// - the calling thread's timer slack is cut to 1 ns, so the kernel does not round a wake-up
//   late on purpose;
// - the wait sleeps on CLOCK_MONOTONIC (the clock behind std::chrono::steady_clock on Linux) to
//   an absolute point before the deadline, so time spent between two waits is never added on
//   top of the protocol's minimums;
// - that point lies the thread's recent typical wake-up lateness before the deadline (a sleeping
//   thread wakes some 50..200 us after the time it asked for on a desktop or a virtual machine),
//   plus a small reserve; a wake-up that comes milliseconds late (not run for a time slice) is
//   not covered, since spinning for it at every wait would cost far more than it saves; the rest is
//   spent reading the clock without giving the core away, since a yield to a busy process would
//   cost a whole time slice;
// - the thread runs in short time slices (RequestShortTimeSlices), so that waking up on a core
//   another program keeps busy it is run sooner, more often at once than after that program's
//   slice.
// Over the 95 waits of an apply that keeps the total within a per cent or two of the protocol's
// minimum idle and loaded, with a few milliseconds of spinning in all (docs/performance.md).

#include <chrono>

#include "core/device/ports.h"

namespace vm31::linux_platform {

class SteadyClock : public Clock {
 public:
  // Bounds of the time slept short of a deadline: the reserve always kept, and the most.
  // 10 us of reserve spend about 0.7 ms less CPU per apply than 20 us did, at the same ratios
  // within their spread (side by side, docs/performance.md).
  static constexpr std::chrono::microseconds kSpinReserve{10};
  static constexpr std::chrono::microseconds kLongestSpin{500};

  TimePoint now() override;
  void waitUntil(TimePoint deadline) override;
};

// Asks the scheduler to run the calling thread in the shortest time slices it grants (0.1 ms)
// instead of the default (0.7 ms times one plus the log2 of the processors: 1.4 ms on two). The
// thread keeps its fair share of the processor and its priority; what changes is that when it
// wakes up beside programs that keep every core busy, the scheduler may run it at once rather
// than let the running one finish its own slice. Needs no privilege (Linux 6.12 and later; older
// kernels ignore the request). A thread of another policy than the normal one (batch, idle, real
// time), as its user chose, is left as it is. Threads and processes it starts later get the default
// slice. Called once per thread, on its first wait, by SteadyClock.
void RequestShortTimeSlices();

}  // namespace vm31::linux_platform
