#include "platform/windows/executable_folder.h"

#include <windows.h>

#include <string>

#include "platform/windows/win32_error.h"

namespace vm31::windows_platform {

Result<std::filesystem::path> ExecutableFolder() {
  // The buffer grows until the whole path fits (long paths exceed MAX_PATH).
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return Win32Error("the program's file name", ::GetLastError());
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer).parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace vm31::windows_platform
