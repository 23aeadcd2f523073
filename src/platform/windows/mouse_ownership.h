#pragma once
// The mouse's single owner across programs: a named mutex per mouse in the session's namespace
// ("Local\kor-vm31-<device>"), held for the length of a handshake or an apply. Windows releases
// it when its holder ends, even when killed.

#include <string>

#include "core/device/ports.h"

namespace vm31::windows_platform {

class NamedMutexOwnership : public MouseOwnership {
 public:
  Result<std::unique_ptr<OwnershipLock>> acquire(const HidInterfaceInfo& control,
                                                 std::chrono::milliseconds patience) override;

  // "Local\kor-vm31-<device>", the device named by its control collection's path with every
  // character other than letters, digits, '.' and '-' replaced by '_'.
  static std::string MutexName(const std::string& controlPath);
};

}  // namespace vm31::windows_platform
