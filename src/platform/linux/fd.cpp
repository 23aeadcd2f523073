#include "platform/linux/fd.h"

#include <unistd.h>

#include <cstring>

namespace vm31::linux_platform {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

Error ErrnoError(const std::string& what, int error) {
  ErrorCode code = ErrorCode::kIo;
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EPIPE:
    case ECONNRESET:
    case ECONNREFUSED:
    case ESHUTDOWN:
      code = ErrorCode::kNotFound;
      break;
    case EACCES:
    case EPERM:
      code = ErrorCode::kAccessDenied;
      break;
    default:
      break;
  }
  return MakeError(code, what + ": " + std::strerror(error));
}

}  // namespace vm31::linux_platform
