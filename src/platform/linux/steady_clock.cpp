#include "platform/linux/steady_clock.h"

#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

namespace vm31::linux_platform {

namespace {

using Nanoseconds = std::chrono::nanoseconds;

// What this thread's sleeps have lately overslept, as a running average (new samples weigh 1/4);
// it starts at a typical figure and follows the machine.
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

}  // namespace

Clock::TimePoint SteadyClock::now() {
  return std::chrono::steady_clock::now();
}

void SteadyClock::waitUntil(TimePoint deadline) {
  thread_local bool slackCut = false;
  if (!slackCut) {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);  // nanoseconds
    slackCut = true;
  }
  const Nanoseconds shortBy =
      std::clamp<Nanoseconds>(recentLateness + kSpinReserve, kSpinReserve, kLongestSpin);
  const TimePoint wakeAt = deadline - shortBy;
  if (now() < wakeAt) {
    SleepUntil(wakeAt);
    const Nanoseconds late = std::max<Nanoseconds>(now() - wakeAt, Nanoseconds::zero());
    recentLateness += (late - recentLateness) / 4;
  }
  while (now() < deadline) {
    // Reads the clock until the deadline: a few tens of microseconds.
  }
}

}  // namespace vm31::linux_platform
