#pragma once
// The folder of the running executable (from /proc/self/exe), where the program looks for a
// portable config.bin before it falls back to the per-user folder.

#include <filesystem>

#include "core/util/result.h"

namespace vm31::linux_platform {

Result<std::filesystem::path> ExecutableFolder();

}  // namespace vm31::linux_platform
