#include "platform/windows/win32_handle.h"

#include <windows.h>

namespace vm31::windows_platform {

void UniqueHandle::reset(Native handle) {
  if (valid()) ::CloseHandle(handle_);
  handle_ = handle;
}

}  // namespace vm31::windows_platform
