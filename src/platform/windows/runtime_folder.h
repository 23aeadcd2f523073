#pragma once
// The per-user runtime folder: where the emulated mouse's address file and the mouse's owner
// locks live. %LOCALAPPDATA%\kor-vm31\run, else kor-vm31\run in the user's temporary folder;
// both lie in the user's profile, whose permissions admit only the user (and administrators).

#include <filesystem>

#include "core/util/result.h"

namespace vm31::windows_platform {

Result<std::filesystem::path> UserRuntimeFolder();

}  // namespace vm31::windows_platform
