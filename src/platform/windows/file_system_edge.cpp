#include "platform/windows/file_system_edge.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "core/util/path_text.h"
#include "platform/windows/win32_error.h"

namespace vm31::windows_platform {

Status WindowsFileSystemEdge::syncFile(const std::filesystem::path& file) {
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const std::string what = "\"" + PathText(file) + "\": cannot sync the new content to the disk";
  if (handle == INVALID_HANDLE_VALUE) return Win32Error(what, ::GetLastError());
  const bool flushed = ::FlushFileBuffers(handle) != 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  if (!flushed) return Win32Error(what, error);
  return Ok{};
}

Status WindowsFileSystemEdge::syncFolder(const std::filesystem::path&) {
  return Ok{};
}

Status WindowsFileSystemEdge::keepOwner(const std::filesystem::path&,
                                        const std::filesystem::path&) {
  return Ok{};
}

std::FILE* WindowsFileSystemEdge::createNewFile(const std::filesystem::path& file) {
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  // The C runtime takes the handle over: closing the FILE closes it.
  const int descriptor =
      ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(handle);
    return nullptr;
  }
  std::FILE* opened = ::_fdopen(descriptor, "wb");
  if (opened == nullptr) ::_close(descriptor);
  return opened;
}

void InstallWindowsFileSystemEdge() {
  static WindowsFileSystemEdge edge;
  InstallFileSystemEdge(&edge);
}

}  // namespace vm31::windows_platform
