#include "platform/linux/steady_clock.h"

#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace vm31::linux_platform {

namespace {

using Nanoseconds = std::chrono::nanoseconds;

// What this thread's sleeps have lately overslept, as a running average (new samples weigh 1/4,
// each at most twice the average and the reserve, so that it follows the typical lateness and
// not the rare far later wake-up); it starts at a typical figure and follows the machine.
thread_local Nanoseconds recentLateness{std::chrono::microseconds(100)};

void SleepUntil(Clock::TimePoint until) {
  const Nanoseconds since = until.time_since_epoch();
  if (since.count() <= 0) return;
  timespec at{};
  at.tv_sec = static_cast<time_t>(since.count() / 1'000'000'000);
  at.tv_nsec = static_cast<long>(since.count() % 1'000'000'000);
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

// The kernel's scheduling attributes of sched_getattr and sched_setattr (the 56-byte layout of
// Linux 5.3; older kernels take it as long as the fields they do not know are zero), declared
// here since C libraries differ in whether and where they declare them.
struct SchedulingAttributes {
  std::uint32_t size;
  std::uint32_t policy;
  std::uint64_t flags;
  std::int32_t nice;
  std::uint32_t priority;
  std::uint64_t runtime;  // for the normal policy: the time slice (Linux 6.12 and later)
  std::uint64_t deadline;
  std::uint64_t period;
  std::uint32_t utilizationMin;
  std::uint32_t utilizationMax;
};
constexpr std::uint64_t kResetOnFork = 0x01;  // SCHED_FLAG_RESET_ON_FORK

}  // namespace

void RequestShortTimeSlices() {
  // The shortest slice the scheduler accepts; a longer request would give up part of the gain.
  constexpr std::uint64_t kSliceNanoseconds = 100'000;
  SchedulingAttributes attributes{};
  if (::syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0) != 0) return;
  if (attributes.policy != SCHED_OTHER) return;
  attributes.size = sizeof attributes;
  // Threads and processes started from this thread begin with the default slice again (and the
  // normal policy, as they would anyway).
  attributes.flags = kResetOnFork;
  attributes.runtime = kSliceNanoseconds;
  // A kernel that refuses the request leaves the thread as it was: waits stay correct, only
  // later under load.
  ::syscall(SYS_sched_setattr, 0, &attributes, 0);
}

Clock::TimePoint SteadyClock::now() {
  return std::chrono::steady_clock::now();
}

void SteadyClock::waitUntil(TimePoint deadline) {
  thread_local bool scheduledForWaits = false;
  if (!scheduledForWaits) {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);  // nanoseconds
    RequestShortTimeSlices();
    scheduledForWaits = true;
  }
  const Nanoseconds shortBy =
      std::clamp<Nanoseconds>(recentLateness + kSpinReserve, kSpinReserve, kLongestSpin);
  const TimePoint wakeAt = deadline - shortBy;
  if (now() < wakeAt) {
    SleepUntil(wakeAt);
    // A wake-up far later than the recent ones (the thread not run for a time slice or more on
    // a busy machine) is counted as twice the recent lateness at most: a spin cannot cover such
    // delays, and letting one raise the estimate would only make the next waits spin longer.
    const Nanoseconds late = std::clamp<Nanoseconds>(now() - wakeAt, Nanoseconds::zero(),
                                                     2 * recentLateness + kSpinReserve);
    recentLateness += (late - recentLateness) / 4;
  }
  while (now() < deadline) {
    // Reads the clock until the deadline: a few tens of microseconds.
  }
}

}  // namespace vm31::linux_platform
