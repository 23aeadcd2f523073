// The emulator's side of the Unix sockets (emulator_socket.h): a poll() loop over the stop
// signals, the control and device listeners and the connections, each round answered by the
// shared EmulatorService and followed by its rules.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/linux/emulator_socket.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/wait.h"

namespace vm31::linux_platform {
namespace {

Result<UniqueFd> Listen(const std::filesystem::path& path) {
  // Bound under a temporary name and renamed into place once listening, so whoever sees the
  // name appear can connect at once.
  const std::filesystem::path temporary = path.string() + ".new";
  ::unlink(temporary.c_str());
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (temporary.native().size() >= sizeof address.sun_path) {
    return MakeError(ErrorCode::kUsage, path.string() + ": socket path too long");
  }
  std::strcpy(address.sun_path, temporary.c_str());
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) return ErrnoError("socket", errno);
  // The socket file's mode comes from the umask at bind(); it is narrowed to this user before
  // anyone can connect (listen), whatever the umask.
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
      ::chmod(temporary.c_str(), 0600) < 0 || ::listen(fd.get(), 16) < 0 ||
      ::rename(temporary.c_str(), path.c_str()) < 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return ErrnoError(path.string(), error);
  }
  return fd;
}

struct Connection {
  UniqueFd fd;
  bool control = false;  // a control-socket client (one text line)
  bool ended = false;    // closed after the round
  DeviceConnectionState device;
};

class SocketServer final : public EmulatorEndpoints {
 public:
  SocketServer(EmulatorService& service, const std::filesystem::path& folder)
      : service_(service),
        devicePath_(folder / kEmulatorDeviceSocketName),
        controlPath_(folder / kEmulatorControlSocketName) {}

  ~SocketServer() override {
    service_.mouse().setListener(nullptr);  // the mouse outlives the server
    closeDeviceEndpoint();
    if (controlListener_.valid()) ::unlink(controlPath_.c_str());
  }

  Status run(int signalFd, const std::function<void()>& started) {
    if (ConnectUnix(controlPath_)) {
      return MakeError(ErrorCode::kBusy,
                       "an emulated mouse already runs (" + controlPath_.string() + ")");
    }
    ::unlink(devicePath_.c_str());  // left behind by an emulator that was killed
    auto changed = WakeFlag::create();
    if (!changed) return changed.error();
    changed_.emplace(std::move(changed).value());
    service_.mouse().setListener([this] { changed_->raise(); });
    auto listener = Listen(controlPath_);
    if (!listener) return listener.error();
    controlListener_ = std::move(listener).value();
    service_.mouse().plug();
    if (auto synced = service_.follow(*this); !synced) return synced.error();
    started();
    for (;;) {
      std::vector<pollfd> fds = {{signalFd, POLLIN, 0},
                                 {changed_->fd(), POLLIN, 0},
                                 {controlListener_.get(), POLLIN, 0},
                                 {deviceListener_.get(), POLLIN, 0}};
      for (const auto& connection : connections_) fds.push_back({connection->fd.get(), POLLIN, 0});
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return ErrnoError("poll", errno);
      }
      if (fds[0].revents & POLLIN) break;
      if (fds[1].revents & POLLIN) changed_->consume();
      if (fds[2].revents & POLLIN) accept(controlListener_.get(), true);
      if (fds[3].revents & POLLIN) accept(deviceListener_.get(), false);
      // Connections are served in the order poll listed them, each once; the ones that end
      // are closed after the round.
      for (std::size_t i = 4; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        Connection& connection = *connections_[i - 4];
        connection.ended =
            !(connection.control ? serveControl(connection) : serveDevice(connection));
      }
      std::erase_if(connections_, [](const auto& c) { return c->ended; });
      if (auto synced = service_.follow(*this); !synced) return synced.error();
    }
    return Ok{};
  }

  // --- EmulatorEndpoints ---
  bool deviceEndpointOpen() const override { return deviceListener_.valid(); }

  Status openDeviceEndpoint() override {
    auto listener = Listen(devicePath_);
    if (!listener) return listener.error();
    deviceListener_ = std::move(listener).value();
    return Ok{};
  }

  void closeDeviceEndpoint() override {
    if (!deviceListener_.valid()) return;
    ::unlink(devicePath_.c_str());
    deviceListener_.reset();
    std::erase_if(connections_, [](const auto& c) { return !c->control; });
  }

  void dropDeviceConnections(
      const std::function<bool(const DeviceConnectionState&)>& stale) override {
    std::erase_if(connections_, [&](const auto& c) { return !c->control && stale(c->device); });
  }

  void pushEventReport(std::span<const std::uint8_t> report) override {
    // Like the kernel, every open reader gets its copy (a stalled one is cut off by its send
    // time-out and dropped at its next read).
    for (const auto& connection : connections_) {
      if (connection->device.pushEvents) (void)SendFrame(connection->fd.get(), 'I', report);
    }
  }

 private:
  void accept(int listener, bool control) {
    for (;;) {
      UniqueFd fd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
      if (!fd.valid()) return;
      const auto stallSeconds = static_cast<time_t>(kEmulatorClientStall.count());
      const timeval stall{stallSeconds, 0};
      ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &stall, sizeof stall);
      // A reader that stops reading its event reports cannot stall the emulated mouse for long.
      ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
      auto connection = std::make_unique<Connection>();
      connection->fd = std::move(fd);
      connection->control = control;
      connections_.push_back(std::move(connection));
    }
  }

  bool serveDevice(Connection& connection) {
    auto received = ReceiveFrame(connection.fd.get());
    if (!received) return false;
    const auto answer = service_.answerDeviceFrame(connection.device, std::move(received).value());
    if (!answer) return true;
    return static_cast<bool>(SendFrame(connection.fd.get(), answer->type, answer->payload));
  }

  bool serveControl(Connection& connection) {
    std::string line;
    char c = 0;
    while (line.size() < kMaxControlLine) {
      const ssize_t got = ::recv(connection.fd.get(), &c, 1, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || c == '\n') break;
      line += c;
    }
    const std::string reply = service_.answerControlLine(line) + "\n";
    (void)::send(connection.fd.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
    return false;  // one request per connection
  }

  EmulatorService& service_;
  std::filesystem::path devicePath_;
  std::filesystem::path controlPath_;
  std::optional<WakeFlag> changed_;
  UniqueFd controlListener_;
  UniqueFd deviceListener_;
  std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace

Status ServeEmulator(EmulatorService& service, const std::filesystem::path& folder,
                     const std::function<void()>& started) {
  // SIGINT and SIGTERM through a descriptor the loop polls.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  UniqueFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
  if (!signals.valid()) return MakeError(ErrorCode::kIo, "cannot watch SIGINT");
  // Each transfer is answered, and its moment traced, as soon as it arrives, also on a busy
  // machine, as a device would.
  RequestShortTimeSlices();
  SocketServer server(service, folder);
  return server.run(signals.get(), started);
}

std::string EmulatorEndpointsInWords(const std::filesystem::path& folder) {
  return "sockets in " + folder.string();
}

}  // namespace vm31::linux_platform
