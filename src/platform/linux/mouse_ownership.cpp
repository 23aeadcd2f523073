#include "platform/linux/mouse_ownership.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <thread>

#include "platform/linux/fd.h"

namespace vm31::linux_platform {
namespace {

// How often a waiting program looks whether the owner has finished.
constexpr auto kRetryInterval = std::chrono::milliseconds(20);
constexpr std::size_t kMaxHolderText = 200;

class LockFileLock : public OwnershipLock {
 public:
  explicit LockFileLock(UniqueFd fd) : fd_(std::move(fd)) {}
  // The file is emptied, not removed: removing a lock file lets two programs lock different
  // files of the same name.
  ~LockFileLock() override { (void)::ftruncate(fd_.get(), 0); }

 private:
  UniqueFd fd_;
};

// "<program> (pid N)" from the file's "<program> <pid>" line; the file is ours (0600 in the
// runtime folder) but its text is still checked before it goes into a message.
std::string HolderOf(int fd) {
  std::array<char, kMaxHolderText> text{};
  const ssize_t got = ::pread(fd, text.data(), text.size() - 1, 0);
  std::string line(text.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
  line = line.substr(0, line.find('\n'));
  const auto space = line.rfind(' ');
  if (space == std::string::npos || space == 0 || space + 1 == line.size()) {
    return "another program";
  }
  const std::string name = line.substr(0, space);
  const std::string pid = line.substr(space + 1);
  const bool printable =
      std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isprint(c) != 0; });
  const bool number =
      std::all_of(pid.begin(), pid.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  if (!printable || !number) return "another program";
  return name + " (pid " + pid + ")";
}

}  // namespace

LockFileOwnership::LockFileOwnership(std::filesystem::path folder, std::string programName)
    : folder_(std::move(folder)), programName_(std::move(programName)) {}

std::string LockFileOwnership::LockFileName(const std::string& controlPath) {
  std::string device = controlPath.substr(0, controlPath.rfind('#'));
  for (char& c : device) {
    const bool kept = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-';
    if (!kept) c = '_';
  }
  if (device.size() > kMaxHolderText) device = device.substr(device.size() - kMaxHolderText);
  return "kor-vm31-" + device + ".lock";
}

Result<std::unique_ptr<OwnershipLock>> LockFileOwnership::acquire(
    const HidInterfaceInfo& control, std::chrono::milliseconds patience) {
  const std::filesystem::path path = folder_ / LockFileName(control.path);
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) return ErrnoError(path.string(), errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) < 0) return ErrnoError(path.string(), errno);
  if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
    return MakeError(ErrorCode::kAccessDenied,
                     path.string() + ": not a regular file of this user; remove it");
  }
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) < 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return ErrnoError(path.string() + ": lock", errno);
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      return MakeError(ErrorCode::kBusy,
                       "the mouse is busy: " + HolderOf(fd.get()) + " is programming it");
    }
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kRetryInterval, deadline - now));
  }
  const std::string holder = programName_ + " " + std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd.get(), 0) < 0 ||
      ::pwrite(fd.get(), holder.data(), holder.size(), 0) != static_cast<ssize_t>(holder.size())) {
    return ErrnoError(path.string(), errno);
  }
  return std::unique_ptr<OwnershipLock>(std::make_unique<LockFileLock>(std::move(fd)));
}

}  // namespace vm31::linux_platform
