#include "platform/windows/mouse_ownership.h"

#include <windows.h>

#include <cctype>

#include "platform/windows/win32_error.h"
#include "platform/windows/win32_handle.h"

namespace vm31::windows_platform {
namespace {

class MutexLock final : public OwnershipLock {
 public:
  explicit MutexLock(UniqueHandle mutex) : mutex_(std::move(mutex)) {}
  ~MutexLock() override { ::ReleaseMutex(mutex_.get()); }

 private:
  UniqueHandle mutex_;
};

}  // namespace

std::string NamedMutexOwnership::MutexName(const std::string& controlPath) {
  std::string name = "Local\\kor-vm31-";
  for (const char c : controlPath) {
    const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
    name += plain ? c : '_';
  }
  return name;
}

Result<std::unique_ptr<OwnershipLock>> NamedMutexOwnership::acquire(
    const HidInterfaceInfo& control, std::chrono::milliseconds patience) {
  const std::string name = MutexName(control.path);
  UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, WideFromUtf8(name).c_str()));
  if (!mutex.valid()) return Win32Error(name + ": cannot create the owner lock", ::GetLastError());
  const DWORD outcome = ::WaitForSingleObject(mutex.get(), static_cast<DWORD>(patience.count()));
  // An abandoned mutex is one whose holder ended without releasing it: it is ours now.
  if (outcome == WAIT_OBJECT_0 || outcome == WAIT_ABANDONED) {
    return std::unique_ptr<OwnershipLock>(new MutexLock(std::move(mutex)));
  }
  if (outcome == WAIT_TIMEOUT) {
    return MakeError(ErrorCode::kBusy, "the mouse is busy: another program is programming it");
  }
  return Win32Error(name + ": cannot take the owner lock", ::GetLastError());
}

}  // namespace vm31::windows_platform
