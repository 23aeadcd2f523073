#pragma once
// One running instance per user session: a lock file named "VEL_KORVM31Mutex" in the user's
// runtime folder ($XDG_RUNTIME_DIR, else /tmp/kor-vm31-<uid>, made 0700 and refused when
// another user owns it), held with flock() for the life of the process. The kernel drops the
// lock when the process ends, however it ends, so a crash never blocks the next start.
//
// The lock file also says how the running instance is reached: "tray" (it lives in the tray, a
// plain second start ends silently) or "window" (no tray on this desktop: a second start asks it
// to bring its window forward). Requests travel over the local socket "VEL_KORVM31Mutex.show"
// beside the lock (InstanceChannelPath), which the shell serves.

#include <filesystem>
#include <memory>

#include "core/util/result.h"
#include "platform/linux/fd.h"

namespace vm31::linux_platform {

inline constexpr const char* kInstanceLockName = "VEL_KORVM31Mutex";

enum class InstanceMode { kUnknown, kTray, kWindow };

// The user's runtime folder, where the lock lives.
Result<std::filesystem::path> InstanceFolder();
// The socket a second start sends its request to.
std::filesystem::path InstanceChannelPath(const std::filesystem::path& folder);

class InstanceLock {
 public:
  // Takes the lock in `folder`. A null pointer means another process holds it. Never follows a
  // symbolic link and never takes over a file that is not plainly this user's own lock.
  static Result<std::unique_ptr<InstanceLock>> acquire(const std::filesystem::path& folder);

  // Records how this instance is reached. The shell opens its request channel first, so a start
  // that reads the mode can send.
  Status announce(InstanceMode mode);

  // A second start: how the running instance said it is reached (kUnknown before it said).
  static InstanceMode runningMode(const std::filesystem::path& folder);

 private:
  InstanceLock(std::filesystem::path folder, UniqueFd lock)
      : folder_(std::move(folder)), lock_(std::move(lock)) {}

  std::filesystem::path folder_;
  UniqueFd lock_;
};

}  // namespace vm31::linux_platform
