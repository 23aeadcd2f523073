#pragma once
// The folder of the running executable (GetModuleFileNameW), where the program looks for a
// portable config.bin and, beside it, the factory files.

#include <filesystem>

#include "core/util/result.h"

namespace vm31::windows_platform {

Result<std::filesystem::path> ExecutableFolder();

}  // namespace vm31::windows_platform
