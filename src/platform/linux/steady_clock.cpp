#include "platform/linux/steady_clock.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>
#include <thread>

namespace vm31::linux_platform {

Clock::TimePoint SteadyClock::now() {
  return std::chrono::steady_clock::now();
}

void SteadyClock::waitUntil(TimePoint deadline) {
  thread_local bool slackCut = false;
  if (!slackCut) {
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);  // nanoseconds
    slackCut = true;
  }
  const auto sleepUntil = deadline - kSpinMargin;
  const auto since =
      std::chrono::duration_cast<std::chrono::nanoseconds>(sleepUntil.time_since_epoch());
  timespec at{};
  at.tv_sec = static_cast<time_t>(since.count() / 1'000'000'000);
  at.tv_nsec = static_cast<long>(since.count() % 1'000'000'000);
  if (since.count() > 0 && now() < sleepUntil) {
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
  }
  while (now() < deadline) {
    std::this_thread::yield();  // lets another runnable thread have the core meanwhile
  }
}

}  // namespace vm31::linux_platform
