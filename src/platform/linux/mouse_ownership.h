#pragma once
// The mouse's single owner across programs: a lock file per mouse in the user's runtime folder,
// flock'ed for the length of a handshake or an apply, holding the owner's program name and pid
// so that a program that has to wait can say who is programming the mouse.

#include <filesystem>
#include <string>

#include "core/device/ports.h"

namespace vm31::linux_platform {

class LockFileOwnership : public MouseOwnership {
 public:
  // Lock files are created in `folder` (0600, never through a symbolic link); `programName` and
  // this process's pid go into the file while the lock is held.
  LockFileOwnership(std::filesystem::path folder, std::string programName);

  Result<std::unique_ptr<OwnershipLock>> acquire(const HidInterfaceInfo& control,
                                                 std::chrono::milliseconds patience) override;

  // "kor-vm31-<device>.lock", the device named by its control collection's node (or socket)
  // with every character other than letters, digits, '.' and '-' replaced by '_'.
  static std::string LockFileName(const std::string& controlPath);

 private:
  std::filesystem::path folder_;
  std::string programName_;
};

}  // namespace vm31::linux_platform
