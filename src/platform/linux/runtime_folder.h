#pragma once
// The per-user runtime folder: where the single-instance lock and the emulated mouse's sockets
// live.

#include <filesystem>

#include "core/util/result.h"

namespace vm31::linux_platform {

// $XDG_RUNTIME_DIR when it is an absolute path of a folder that belongs to this user and only
// this user can enter (mode 0700, as the session manager creates it), else
// /tmp/kor-vm31-<uid>: created 0700, refused when it is not this user's own folder, and set back
// to 0700 when its mode was widened. Another user's files in a shared folder (a planted symbolic
// link, an emulated mouse of theirs) are thus never seen.
Result<std::filesystem::path> UserRuntimeFolder();

// True when `folder` (not followed when a symbolic link) is a folder of this user with mode
// 0700.
bool IsPrivateFolder(const std::filesystem::path& folder);

}  // namespace vm31::linux_platform
