#pragma once
// Blocking waits without timers: poll() on a descriptor plus an eventfd that another thread
// signals to interrupt the wait. Nothing here wakes up periodically.

#include <chrono>
#include <optional>

#include "platform/linux/fd.h"

namespace vm31::linux_platform {

// A wake-up flag another thread can raise (an eventfd). Raising it twice before it is consumed
// counts once.
class WakeFlag {
 public:
  static Result<WakeFlag> create();
  void raise() const;
  // Clears the flag; true when it had been raised.
  bool consume() const;
  int fd() const { return fd_.get(); }

 private:
  explicit WakeFlag(UniqueFd fd) : fd_(std::move(fd)) {}
  UniqueFd fd_;
};

enum class WaitOutcome {
  kReadable,  // `fd` has data
  kHangup,    // `fd` reports hang-up or error (a removed device, a closed socket)
  kWoken,     // the wake flag was raised (and is now consumed)
  kTimedOut,
};

// Waits until `fd` is readable, hangs up, `wake` is raised or `timeout` passes (never when
// empty). A raised wake flag wins over readable data, so a wake request is never lost.
Result<WaitOutcome> WaitReadable(int fd, const WakeFlag* wake,
                                 std::optional<std::chrono::milliseconds> timeout);

}  // namespace vm31::linux_platform
