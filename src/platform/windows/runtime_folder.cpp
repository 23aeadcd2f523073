#include "platform/windows/runtime_folder.h"

#include <windows.h>

#include <cstdlib>
#include <system_error>

#include "core/util/path_text.h"

namespace vm31::windows_platform {

Result<std::filesystem::path> UserRuntimeFolder() {
  std::filesystem::path base;
  if (const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA"); local != nullptr && *local != L'\0') {
    base = local;
  } else {
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) {
      return MakeError(ErrorCode::kIo, "no per-user folder (LOCALAPPDATA and TEMP are unset)");
    }
    base = temporary;
  }
  const std::filesystem::path folder = base / "kor-vm31" / "run";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    return MakeError(
        ErrorCode::kIo,
        "\"" + PathText(folder) + "\": cannot create the runtime folder: " + error.message());
  }
  return folder;
}

}  // namespace vm31::windows_platform
