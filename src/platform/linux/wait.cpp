#include "platform/linux/wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vm31::linux_platform {

Result<WakeFlag> WakeFlag::create() {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return ErrnoError("eventfd", errno);
  return WakeFlag(UniqueFd(fd));
}

void WakeFlag::raise() const {
  const std::uint64_t one = 1;
  // EAGAIN only when the counter is saturated, which still leaves the flag raised.
  [[maybe_unused]] const auto written = ::write(fd_.get(), &one, sizeof one);
}

bool WakeFlag::consume() const {
  std::uint64_t count = 0;
  return ::read(fd_.get(), &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

Result<WaitOutcome> WaitReadable(int fd, const WakeFlag* wake,
                                 std::optional<std::chrono::milliseconds> timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake ? wake->fd() : -1, POLLIN, 0}};
    int waitMs = -1;
    if (timeout) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      waitMs = left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
    }
    const int ready = ::poll(fds, wake ? 2 : 1, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return ErrnoError("poll", errno);
    }
    if (wake && (fds[1].revents & POLLIN) && wake->consume()) return WaitOutcome::kWoken;
    if (fds[0].revents & POLLIN) return WaitOutcome::kReadable;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitOutcome::kHangup;
    if (ready == 0 && timeout && Clock::now() >= deadline) return WaitOutcome::kTimedOut;
  }
}

}  // namespace vm31::linux_platform
