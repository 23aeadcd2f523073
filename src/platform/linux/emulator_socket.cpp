#include "platform/linux/emulator_socket.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "platform/linux/wait.h"

namespace vm31::linux_platform {
namespace {

Status WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
    if (written < 0) {
      if (errno == EINTR) continue;
      return ErrnoError("emulated mouse", errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return Ok{};
}

using Deadline = std::optional<EmulatorDeadline>;

// One recv() of at most `capacity` bytes, at least one; with a deadline, waiting no longer.
Result<std::size_t> ReceiveSome(int fd, std::uint8_t* data, std::size_t capacity,
                                Deadline deadline) {
  for (;;) {
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      pollfd check{fd, POLLIN, 0};
      const int ready = left.count() > 0 ? ::poll(&check, 1, static_cast<int>(left.count())) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return ErrnoError("emulated mouse", errno);
      if (ready == 0) return MakeError(ErrorCode::kIo, "emulated mouse: no answer");
    }
    const ssize_t got = ::recv(fd, data, capacity, 0);
    if (got == 0) return MakeError(ErrorCode::kNotFound, "emulated mouse: the device is gone");
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return MakeError(ErrorCode::kIo, "emulated mouse: no answer");
      }
      return ErrnoError("emulated mouse", errno);
    }
    return static_cast<std::size_t>(got);
  }
}

// Reads `size` bytes; with a deadline, all of them before it, however the peer trickles them.
Status ReadAll(int fd, std::uint8_t* data, std::size_t size, Deadline deadline = std::nullopt) {
  while (size > 0) {
    auto got = ReceiveSome(fd, data, size, deadline);
    if (!got) return got.error();
    data += got.value();
    size -= got.value();
  }
  return Ok{};
}

// A connected Unix socket as the shared client's connection. What arrives is read in chunks
// of up to kReadAhead bytes, so an answer's header and payload take one wait and one recv()
// between them, not two each.
class UnixConnection final : public EmulatorConnection {
 public:
  static constexpr std::size_t kReadAhead = 4096;

  UnixConnection(UniqueFd fd, WakeFlag wake) : fd_(std::move(fd)), wake_(std::move(wake)) {}

  Status send(std::span<const std::uint8_t> bytes) override {
    return WriteAll(fd_.get(), bytes.data(), bytes.size());
  }
  Status receive(std::span<std::uint8_t> bytes, EmulatorDeadline deadline) override {
    std::size_t filled = takeReadAhead(bytes);
    while (filled < bytes.size()) {
      auto got = ReceiveSome(fd_.get(), readAhead_.data(), readAhead_.size(), deadline);
      if (!got) return got.error();
      readAheadBegin_ = 0;
      readAheadEnd_ = got.value();
      filled += takeReadAhead(bytes.subspan(filled));
    }
    return Ok{};
  }
  Result<ConnectionWait> waitReadable(std::optional<std::chrono::milliseconds> timeout) override {
    if (readAheadBegin_ < readAheadEnd_) {
      // Bytes read ahead are data waiting; a pending wake still wins over them.
      return wake_.consume() ? ConnectionWait::kWoken : ConnectionWait::kReadable;
    }
    auto waited = WaitReadable(fd_.get(), &wake_, timeout);
    if (!waited) return waited.error();
    switch (waited.value()) {
      case WaitOutcome::kWoken:
        return ConnectionWait::kWoken;
      case WaitOutcome::kTimedOut:
        return ConnectionWait::kTimedOut;
      case WaitOutcome::kReadable:
      case WaitOutcome::kHangup:
        break;
    }
    return ConnectionWait::kReadable;  // a hang-up is read as the end of the connection
  }
  bool consumeWake() override { return wake_.consume(); }
  void wake() override { wake_.raise(); }

 private:
  // Moves what was read ahead into the front of `bytes`; returns how many bytes it moved.
  std::size_t takeReadAhead(std::span<std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), readAheadEnd_ - readAheadBegin_);
    std::copy_n(readAhead_.begin() + static_cast<std::ptrdiff_t>(readAheadBegin_), count,
                bytes.begin());
    readAheadBegin_ += count;
    return count;
  }

  UniqueFd fd_;
  WakeFlag wake_;
  std::array<std::uint8_t, kReadAhead> readAhead_{};
  std::size_t readAheadBegin_ = 0;
  std::size_t readAheadEnd_ = 0;
};

Result<std::unique_ptr<EmulatorConnection>> ConnectDeviceSocket(
    const std::filesystem::path& socket) {
  auto fd = ConnectUnix(socket);
  if (!fd) return fd.error();
  auto wake = WakeFlag::create();
  if (!wake) return wake.error();
  return std::unique_ptr<EmulatorConnection>(
      new UnixConnection(std::move(fd).value(), std::move(wake).value()));
}

}  // namespace

Status SendFrame(int fd, char type, std::span<const std::uint8_t> payload) {
  const auto bytes = EncodeFrame(type, payload);
  return WriteAll(fd, bytes.data(), bytes.size());
}

Result<EmulatorFrame> ReceiveFrame(int fd, std::optional<EmulatorDeadline> deadline) {
  return ReadFrame([&](std::span<std::uint8_t> bytes) {
    return ReadAll(fd, bytes.data(), bytes.size(), deadline);
  });
}

Result<UniqueFd> ConnectUnix(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.native().size() >= sizeof address.sun_path) {
    return MakeError(ErrorCode::kUsage, path.string() + ": socket path too long");
  }
  std::strcpy(address.sun_path, path.c_str());
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return ErrnoError("socket", errno);
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
    return ErrnoError(path.string(), errno);
  }
  // Another user's emulated mouse must never receive this user's settings.
  ucred peer{};
  socklen_t length = sizeof peer;
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) < 0) {
    return ErrnoError(path.string(), errno);
  }
  if (peer.uid != ::geteuid()) {
    return MakeError(ErrorCode::kAccessDenied, path.string() + ": served by uid " +
                                                   std::to_string(peer.uid) +
                                                   ", not by this user; not used");
  }
  return fd;
}

Result<std::string> EmulatorControlRequest(const std::string& line) {
  auto folder = UserRuntimeFolder();
  if (!folder) return folder.error();
  const auto path = folder.value() / kEmulatorControlSocketName;
  auto fd = ConnectUnix(path);
  if (!fd && fd.error().code == ErrorCode::kAccessDenied) return fd.error();
  if (!fd) {
    return MakeError(ErrorCode::kNotFound, "the emulated mouse is not running (no " +
                                               path.string() +
                                               "); start it with: vm31ctl emulator run");
  }
  auto wake = WakeFlag::create();
  if (!wake) return wake.error();
  UnixConnection connection(std::move(fd).value(), std::move(wake).value());
  return ExchangeControlLine(connection, line, path.string());
}

// --- EmulatorSocketBus ----------------------------------------------------------------------

EmulatorSocketBus::EmulatorSocketBus(std::filesystem::path folder)
    : EmulatorClientBus(
          (folder / kEmulatorDeviceSocketName).string(),
          [socket = folder / kEmulatorDeviceSocketName] { return ConnectDeviceSocket(socket); }),
      socket_(std::move(folder) / kEmulatorDeviceSocketName) {}

// --- EmulatorHotplugSource ------------------------------------------------------------------

struct EmulatorHotplugSource::State {
  std::filesystem::path folder;
  EmulatorSocketBus bus;
  UniqueFd epoll;
  UniqueFd inotify;
  UniqueFd presence;
  std::vector<HidInterfaceInfo> announced;  // the collections of the plugged-in mouse
};

EmulatorHotplugSource::EmulatorHotplugSource(std::unique_ptr<State> state)
    : state_(std::move(state)) {}
EmulatorHotplugSource::~EmulatorHotplugSource() = default;

Result<std::unique_ptr<EmulatorHotplugSource>> EmulatorHotplugSource::create(
    std::filesystem::path folder) {
  auto state = std::unique_ptr<State>(new State{folder, EmulatorSocketBus(folder), {}, {}, {}, {}});
  state->epoll.reset(::epoll_create1(EPOLL_CLOEXEC));
  if (!state->epoll.valid()) return ErrnoError("epoll", errno);
  state->inotify.reset(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  if (!state->inotify.valid()) return ErrnoError("inotify", errno);
  if (::inotify_add_watch(state->inotify.get(), folder.c_str(),
                          IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM) < 0) {
    return ErrnoError(folder.string(), errno);
  }
  epoll_event watch{};
  watch.events = EPOLLIN;
  watch.data.fd = state->inotify.get();
  if (::epoll_ctl(state->epoll.get(), EPOLL_CTL_ADD, state->inotify.get(), &watch) < 0) {
    return ErrnoError("epoll", errno);
  }
  std::unique_ptr<EmulatorHotplugSource> source(new EmulatorHotplugSource(std::move(state)));
  source->connectPresence(nullptr);  // a mouse plugged in already is found by enumerate()
  return source;
}

int EmulatorHotplugSource::fd() const {
  return state_->epoll.get();
}

void EmulatorHotplugSource::connectPresence(std::vector<HotplugEvent>* arrivals) {
  if (state_->presence.valid()) return;
  auto listed = state_->bus.enumerate();
  if (!listed || listed.value().empty()) return;
  auto fd = ConnectUnix(state_->bus.socketPath());
  if (!fd || !SendFrame(fd.value().get(), 'P', {})) return;
  state_->presence = std::move(fd).value();
  epoll_event watch{};
  watch.events = EPOLLIN | EPOLLRDHUP;
  watch.data.fd = state_->presence.get();
  ::epoll_ctl(state_->epoll.get(), EPOLL_CTL_ADD, state_->presence.get(), &watch);
  state_->announced = std::move(listed).value();
  if (!arrivals) return;
  for (const auto& info : state_->announced) {
    arrivals->push_back({HotplugEvent::Kind::kArrival, info.path, info.vendorId, info.productId});
  }
}

void EmulatorHotplugSource::dropPresence(std::vector<HotplugEvent>* removals) {
  if (!state_->presence.valid()) return;
  ::epoll_ctl(state_->epoll.get(), EPOLL_CTL_DEL, state_->presence.get(), nullptr);
  state_->presence.reset();
  for (const auto& info : state_->announced) {
    removals->push_back({HotplugEvent::Kind::kRemoval, info.path, info.vendorId, info.productId});
  }
  state_->announced.clear();
}

std::vector<HotplugEvent> EmulatorHotplugSource::takePending() {
  std::vector<HotplugEvent> events;
  // The presence connection first: an unplug followed at once by a plug must read as removal,
  // then arrival.
  if (state_->presence.valid()) {
    pollfd check{state_->presence.get(), POLLIN | POLLRDHUP, 0};
    if (::poll(&check, 1, 0) > 0) dropPresence(&events);  // the emulator never writes on it
  }
  alignas(inotify_event) std::array<char, 4096> buffer{};
  for (;;) {
    const ssize_t got = ::read(state_->inotify.get(), buffer.data(), buffer.size());
    if (got <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0 || std::strcmp(event->name, kEmulatorDeviceSocketName) != 0) continue;
      if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
        connectPresence(&events);
      } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
        dropPresence(&events);
      }
    }
  }
  return events;
}

}  // namespace vm31::linux_platform
