#pragma once
// The per-user runtime folder: where the single-instance lock and the emulated mouse's sockets
// live.

#include <filesystem>

#include "core/util/result.h"

namespace vm31::linux_platform {

// $XDG_RUNTIME_DIR when set to an absolute path of a folder, else /tmp/kor-vm31-<uid> (created
// 0700 and refused when another user owns it).
Result<std::filesystem::path> UserRuntimeFolder();

}  // namespace vm31::linux_platform
