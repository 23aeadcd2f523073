#include "platform/linux/file_system_edge.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/linux/fd.h"

namespace vm31::linux_platform {
namespace {

std::string Quoted(const std::filesystem::path& path) {
  return "\"" + path.string() + "\"";
}

Error SystemError(const std::filesystem::path& path, const std::string& what, int error) {
  return MakeError(ErrorCode::kIo, Quoted(path) + ": " + what + ": " + std::strerror(error));
}

Status Sync(const std::filesystem::path& path, int flags, const char* what) {
  UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return SystemError(path, what, errno);
  if (::fsync(fd.get()) < 0) return SystemError(path, what, errno);
  return Ok{};
}

std::string UserName(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  const std::string number = "uid " + std::to_string(uid);
  return entry != nullptr ? std::string(entry->pw_name) + " (" + number + ")" : number;
}

}  // namespace

Status LinuxFileSystemEdge::syncFile(const std::filesystem::path& file) {
  return Sync(file, O_RDONLY, "cannot sync the new content to the disk");
}

Status LinuxFileSystemEdge::syncFolder(const std::filesystem::path& folder) {
  return Sync(folder.empty() ? std::filesystem::path(".") : folder, O_RDONLY | O_DIRECTORY,
              "cannot sync the folder to the disk");
}

Status LinuxFileSystemEdge::keepOwner(const std::filesystem::path& original,
                                      const std::filesystem::path& replacement) {
  struct stat old {
  }, created{};
  if (::stat(original.c_str(), &old) < 0)
    return SystemError(original, "cannot read its owner", errno);
  if (::lstat(replacement.c_str(), &created) < 0) {
    return SystemError(replacement, "cannot read its owner", errno);
  }
  if (old.st_uid == created.st_uid && old.st_gid == created.st_gid) return Ok{};
  if (::lchown(replacement.c_str(), old.st_uid, old.st_gid) < 0) {
    const int error = errno;
    if (error != EPERM) return SystemError(replacement, "cannot set its owner", error);
    // The saver's own file in a group the saver is not in: it stays the saver's, in the saver's
    // group.
    if (old.st_uid == ::geteuid()) return Ok{};
    return MakeError(ErrorCode::kAccessDenied,
                     Quoted(original) + ": belongs to " + UserName(old.st_uid) + "; saving it as " +
                         UserName(::geteuid()) +
                         " would change its owner, so it is not saved (save it as its owner)");
  }
  return Ok{};
}

void InstallLinuxFileSystemEdge() {
  static LinuxFileSystemEdge edge;
  InstallFileSystemEdge(&edge);
}

}  // namespace vm31::linux_platform
