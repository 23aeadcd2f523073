#include "platform/linux/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/linux/runtime_folder.h"

namespace vm31::linux_platform {
namespace {

std::filesystem::path LockPath(const std::filesystem::path& folder) {
  return folder / kInstanceLockName;
}

}  // namespace

Result<std::filesystem::path> InstanceFolder() {
  // The emulated mouse's sockets live in the same per-user runtime folder.
  return UserRuntimeFolder();
}

std::filesystem::path InstanceChannelPath(const std::filesystem::path& folder) {
  return folder / (std::string(kInstanceLockName) + ".show");
}

Result<std::unique_ptr<InstanceLock>> InstanceLock::acquire(const std::filesystem::path& folder) {
  const auto path = LockPath(folder);
  // Never through a symbolic link, never blocking on a pipe; and only a file that is plainly
  // this user's own lock (a regular file of ours with no second name) is truncated below.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    if (errno == ELOOP) {
      return MakeError(ErrorCode::kAccessDenied,
                       path.string() +
                           ": is a symbolic link, not this program's lock file; "
                           "remove it");
    }
    return ErrnoError(path.string(), errno);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) < 0) return ErrnoError(path.string(), errno);
  if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_nlink != 1) {
    return MakeError(ErrorCode::kAccessDenied,
                     path.string() +
                         ": is not this program's lock file (another user's file, a "
                         "second name of a file, or no regular file); remove it");
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) < 0) {
    if (errno == EWOULDBLOCK) return std::unique_ptr<InstanceLock>();
    return ErrnoError(path.string(), errno);
  }
  // A mode left by an instance that ended is stale until this one announces its own.
  if (::ftruncate(fd.get(), 0) < 0) return ErrnoError(path.string(), errno);
  return std::unique_ptr<InstanceLock>(new InstanceLock(folder, std::move(fd)));
}

Status InstanceLock::announce(InstanceMode mode) {
  const std::string text = mode == InstanceMode::kWindow ? "window\n" : "tray\n";
  if (::ftruncate(lock_.get(), 0) < 0 ||
      ::pwrite(lock_.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    return ErrnoError(LockPath(folder_).string(), errno);
  }
  return Ok{};
}

InstanceMode InstanceLock::runningMode(const std::filesystem::path& folder) {
  UniqueFd fd(::open(LockPath(folder).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return InstanceMode::kUnknown;
  char text[16] = {};
  const ssize_t got = ::read(fd.get(), text, sizeof text - 1);
  if (got <= 0) return InstanceMode::kUnknown;
  const std::string mode(text, static_cast<std::size_t>(got));
  if (mode == "window\n") return InstanceMode::kWindow;
  if (mode == "tray\n") return InstanceMode::kTray;
  return InstanceMode::kUnknown;
}

}  // namespace vm31::linux_platform
