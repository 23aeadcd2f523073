#include "platform/linux/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/linux/fd.h"

namespace vm31::linux_platform {

Result<std::filesystem::path> UserRuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    std::error_code error;
    if (std::filesystem::is_directory(runtime, error)) return std::filesystem::path(runtime);
  }
  const std::filesystem::path folder = "/tmp/kor-vm31-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) < 0 && errno != EEXIST) {
    return ErrnoError(folder.string(), errno);
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) < 0) return ErrnoError(folder.string(), errno);
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    return MakeError(
        ErrorCode::kAccessDenied,
        folder.string() + ": not a folder of this user; remove it or set XDG_RUNTIME_DIR");
  }
  return folder;
}

}  // namespace vm31::linux_platform
