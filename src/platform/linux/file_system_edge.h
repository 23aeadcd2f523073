#pragma once
// The Linux edge of the core's atomic saves: fsync of the file and of its folder, and the old
// file's owner and group kept on its replacement.

#include "core/util/atomic_file.h"

namespace vm31::linux_platform {

class LinuxFileSystemEdge : public FileSystemEdge {
 public:
  Status syncFile(const std::filesystem::path& file) override;
  Status syncFolder(const std::filesystem::path& folder) override;
  // A user other than root cannot give a file away: saving another user's file (group-writable,
  // say) is refused, naming its owner, rather than silently making it the saver's. The saver's
  // own file in a group the saver is not in is saved in the saver's group.
  Status keepOwner(const std::filesystem::path& original,
                   const std::filesystem::path& replacement) override;
};

// Installs one process-wide LinuxFileSystemEdge for every later save; called first by each
// program.
void InstallLinuxFileSystemEdge();

}  // namespace vm31::linux_platform
