#include "emulator/virtual_clock.h"

namespace vm31 {

Clock::TimePoint VirtualClock::now() {
  std::lock_guard lock(mutex_);
  return now_;
}

void VirtualClock::waitUntil(TimePoint deadline) {
  std::lock_guard lock(mutex_);
  if (deadline <= now_) return;
  waits_.push_back(deadline - now_);
  now_ = deadline;
}

void VirtualClock::advance(std::chrono::nanoseconds duration) {
  std::lock_guard lock(mutex_);
  now_ += duration;
}

std::vector<std::chrono::nanoseconds> VirtualClock::waits() const {
  std::lock_guard lock(mutex_);
  return waits_;
}

std::chrono::nanoseconds VirtualClock::totalWaited() const {
  std::lock_guard lock(mutex_);
  std::chrono::nanoseconds total{0};
  for (auto wait : waits_) total += wait;
  return total;
}

void VirtualClock::clearWaits() {
  std::lock_guard lock(mutex_);
  waits_.clear();
}

}  // namespace vm31
