#include "platform/windows/precise_clock.h"

#include <windows.h>

#include <timeapi.h>

#include <thread>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace vm31::windows_platform {

PreciseClock::PreciseClock() {
  timer_ = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                    TIMER_ALL_ACCESS);
  if (timer_ == nullptr) {
    // Older Windows: a plain timer, with the system's timer period cut to 1 ms.
    raisedTimerResolution_ = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    timer_ = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  }
}

PreciseClock::~PreciseClock() {
  if (timer_ != nullptr) ::CloseHandle(timer_);
  if (raisedTimerResolution_) ::timeEndPeriod(1);
}

Clock::TimePoint PreciseClock::now() {
  return std::chrono::steady_clock::now();
}

void PreciseClock::waitUntil(TimePoint deadline) {
  const auto sleepFor = deadline - kSpinMargin - now();
  if (sleepFor > std::chrono::microseconds(0)) {
    // A relative due time in 100 ns units (negative), from the steady clock's remaining time.
    const auto units = std::chrono::duration_cast<std::chrono::nanoseconds>(sleepFor).count() / 100;
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(units);
    if (timer_ != nullptr && ::SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      ::WaitForSingleObject(timer_, INFINITE);
    } else {
      ::Sleep(static_cast<DWORD>(
          std::chrono::duration_cast<std::chrono::milliseconds>(sleepFor).count()));
    }
  }
  while (now() < deadline) {
    std::this_thread::yield();  // lets another runnable thread have the core meanwhile
  }
}

}  // namespace vm31::windows_platform
