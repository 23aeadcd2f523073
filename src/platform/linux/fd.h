#pragma once
// Small helpers over POSIX file descriptors shared by the Linux backends.

#include <cerrno>
#include <string>

#include "core/util/result.h"

namespace vm31::linux_platform {

// Owns one file descriptor and closes it once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// The error for a failed system call on `what` (a device node or socket), with errno `error`
// mapped onto the error codes: ENOENT/ENODEV/ENXIO/EPIPE/ECONNRESET/ECONNREFUSED are "gone"
// (kNotFound), EACCES/EPERM kAccessDenied, everything else kIo.
Error ErrnoError(const std::string& what, int error);

}  // namespace vm31::linux_platform
