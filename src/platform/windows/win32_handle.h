#pragma once
// Owns a Win32 HANDLE and closes it once. Both INVALID_HANDLE_VALUE and null mean "none" (the
// calls that make handles disagree on which they return on failure).

#include <utility>

namespace vm31::windows_platform {

class UniqueHandle {
 public:
  using Native = void*;  // HANDLE, without <windows.h> in every includer
  UniqueHandle() = default;
  explicit UniqueHandle(Native handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Native get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != InvalidValue(); }
  void reset(Native handle = nullptr);

 private:
  static Native InvalidValue() { return reinterpret_cast<Native>(static_cast<long long>(-1)); }
  Native handle_ = nullptr;
};

}  // namespace vm31::windows_platform
