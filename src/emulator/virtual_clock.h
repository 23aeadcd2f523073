#pragma once
// A clock for tests: time stands still until someone waits, and every wait is recorded instead
// of slept. Thread-safe.

#include <chrono>
#include <mutex>
#include <vector>

#include "core/device/ports.h"

namespace vm31 {

class VirtualClock : public Clock {
 public:
  TimePoint now() override;
  void waitUntil(TimePoint deadline) override;
  void advance(std::chrono::nanoseconds duration);

  // The length of every wait that had to wait (deadline after now), in order.
  std::vector<std::chrono::nanoseconds> waits() const;
  std::chrono::nanoseconds totalWaited() const;
  void clearWaits();

 private:
  mutable std::mutex mutex_;
  TimePoint now_{};
  std::vector<std::chrono::nanoseconds> waits_;
};

}  // namespace vm31
