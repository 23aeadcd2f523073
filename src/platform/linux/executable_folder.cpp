#include "platform/linux/executable_folder.h"

namespace vm31::linux_platform {

Result<std::filesystem::path> ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return MakeError(ErrorCode::kIo, "/proc/self/exe: " + error.message());
  return exe.parent_path();
}

}  // namespace vm31::linux_platform
