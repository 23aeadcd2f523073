#include "platform/linux/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/linux/fd.h"

namespace vm31::linux_platform {

bool IsPrivateFolder(const std::filesystem::path& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

Result<std::filesystem::path> UserRuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    if (IsPrivateFolder(runtime)) return std::filesystem::path(runtime);
  }
  const std::filesystem::path folder = "/tmp/kor-vm31-" + std::to_string(::geteuid());
  if (::mkdir(folder.c_str(), 0700) < 0 && errno != EEXIST) {
    return ErrnoError(folder.string(), errno);
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) < 0) return ErrnoError(folder.string(), errno);
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    return MakeError(
        ErrorCode::kAccessDenied,
        folder.string() + ": not a folder of this user; remove it or set XDG_RUNTIME_DIR");
  }
  // Our own folder with a widened mode (umask 000 at creation, a chmod): narrowed again. Files
  // others planted while it was open are no danger: the lock refuses what is not its own file
  // and the sockets' peers are checked.
  if ((info.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) < 0) {
    return ErrnoError(folder.string(), errno);
  }
  return folder;
}

}  // namespace vm31::linux_platform
