#include "cli/emulator_commands.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "cli/cli_support.h"
#include "core/settings/report_rate.h"
#include "emulator/emulated_mouse.h"
#include "emulator/wire_trace.h"
#include "platform/linux/emulator_socket.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/wait.h"

namespace vm31::cli {
namespace {

using linux_platform::ConnectUnix;
using linux_platform::UniqueFd;

constexpr int kOk = kExitOk;
constexpr int kNotRunning = kExitAbsent;
constexpr int kBadUsage = kExitUsage;
// The emulated mouse could not be served (sockets, another emulator already serving).
constexpr int kServeFailed = kExitDeviceFailure;

constexpr std::uint8_t kControlCollection = 0;
constexpr std::uint8_t kEventCollection = 1;
// A client that starts a frame or a line and stops sending is dropped after this long.
constexpr int kClientStallSeconds = 1;

std::optional<int> ParseNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::int32_t ErrnoOf(const Error& error) {
  return error.code == ErrorCode::kNotFound ? -ENODEV : -EIO;
}

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
  if (!fd.valid()) return linux_platform::ErrnoError("socket", errno);
  // The socket file's mode comes from the umask at bind(); it is narrowed to this user before
  // anyone can connect (listen), whatever the umask.
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
      ::chmod(temporary.c_str(), 0600) < 0 || ::listen(fd.get(), 16) < 0 ||
      ::rename(temporary.c_str(), path.c_str()) < 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return linux_platform::ErrnoError(path.string(), error);
  }
  return fd;
}

struct Connection {
  UniqueFd fd;
  bool control = false;  // a control-socket client (one text line)
  std::optional<std::uint8_t> collection;
  bool pushEvents = false;
  std::uint64_t generation = 0;
};

class EmulatorServer {
 public:
  EmulatorServer(EmulatedMouse& mouse, std::filesystem::path folder)
      : mouse_(mouse),
        folder_(std::move(folder)),
        devicePath_(folder_ / linux_platform::kEmulatorDeviceSocketName),
        controlPath_(folder_ / linux_platform::kEmulatorControlSocketName) {}

  ~EmulatorServer() {
    mouse_.setListener(nullptr);  // the mouse outlives the server and unplugs when destroyed
    closeDevice();
    if (controlListener_.valid()) ::unlink(controlPath_.c_str());
  }

  int run(int signalFd, const std::string& banner) {
    if (ConnectUnix(controlPath_)) {
      return Fail(kServeFailed, "an emulated mouse already runs (" + controlPath_.string() + ")");
    }
    ::unlink(devicePath_.c_str());  // left behind by an emulator that was killed
    auto changed = linux_platform::WakeFlag::create();
    if (!changed) return Fail(kServeFailed, changed.error().message);
    changed_.emplace(std::move(changed).value());
    mouse_.setListener([this] { changed_->raise(); });
    auto listener = Listen(controlPath_);
    if (!listener) return Fail(kServeFailed, listener.error().message);
    controlListener_ = std::move(listener).value();
    mouse_.plug();
    if (auto synced = sync(); !synced) return Fail(kServeFailed, synced.error().message);
    Say(banner);
    Say("plugged in");
    for (;;) {
      std::vector<pollfd> fds = {{signalFd, POLLIN, 0},
                                 {changed_->fd(), POLLIN, 0},
                                 {controlListener_.get(), POLLIN, 0},
                                 {deviceListener_.get(), POLLIN, 0}};
      for (const auto& connection : connections_) fds.push_back({connection->fd.get(), POLLIN, 0});
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return Fail(kServeFailed, "poll failed");
      }
      if (fds[0].revents & POLLIN) break;
      if (fds[1].revents & POLLIN) changed_->consume();
      if (fds[2].revents & POLLIN) accept(controlListener_.get(), true);
      if (fds[3].revents & POLLIN) accept(deviceListener_.get(), false);
      // Connections are served in the order poll listed them; a connection closed meanwhile
      // (an unplug) is simply gone from the list.
      std::vector<Connection*> ready;
      for (std::size_t i = 4; i < fds.size(); ++i) {
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
          ready.push_back(connections_[i - 4].get());
      }
      for (Connection* connection : ready) {
        if (!isOpen(connection)) continue;
        const bool keep =
            connection->control ? serveControl(*connection) : serveDevice(*connection);
        if (!keep) drop(connection);
      }
      if (auto synced = sync(); !synced) return Fail(kServeFailed, synced.error().message);
      reportProblems();
    }
    Say("stopped");
    return kOk;
  }

 private:
  bool isOpen(const Connection* connection) const {
    for (const auto& c : connections_) {
      if (c.get() == connection) return true;
    }
    return false;
  }

  void drop(const Connection* connection) {
    std::erase_if(connections_, [&](const auto& c) { return c.get() == connection; });
  }

  void accept(int listener, bool control) {
    for (;;) {
      UniqueFd fd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
      if (!fd.valid()) return;
      const timeval stall{kClientStallSeconds, 0};
      ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &stall, sizeof stall);
      // A reader that stops reading its event reports cannot stall the emulated mouse for long.
      ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
      auto connection = std::make_unique<Connection>();
      connection->fd = std::move(fd);
      connection->control = control;
      connections_.push_back(std::move(connection));
    }
  }

  // Follows the model: the device socket exists exactly while the mouse is plugged in, handles
  // of an earlier plug are closed, and queued event reports go to every reader.
  Status sync() {
    const bool plugged = mouse_.plugged();
    if (plugged && !deviceListener_.valid()) {
      auto listener = Listen(devicePath_);
      if (!listener) return listener.error();
      deviceListener_ = std::move(listener).value();
      if (announcedUnplug_) Say("plugged in");
      announcedUnplug_ = false;
    } else if (!plugged && deviceListener_.valid()) {
      closeDevice();
      Say("unplugged");
      announcedUnplug_ = true;
    }
    const std::uint64_t generation = mouse_.generation();
    std::erase_if(connections_, [&](const auto& c) {
      return !c->control && c->collection && c->generation != generation;
    });
    while (auto report = mouse_.takeEventReport(generation)) {
      // Like the kernel, every open reader gets its copy; without readers the report is lost.
      for (const auto& connection : connections_) {
        if (connection->pushEvents)
          (void)linux_platform::SendFrame(connection->fd.get(), 'I', *report);
      }
    }
    return Ok{};
  }

  void closeDevice() {
    if (!deviceListener_.valid()) return;
    ::unlink(devicePath_.c_str());
    deviceListener_.reset();
    std::erase_if(connections_, [](const auto& c) { return !c->control; });
  }

  void reportProblems() {
    const auto problems = mouse_.problems();
    for (std::size_t i = reportedProblems_; i < problems.size(); ++i) {
      std::fprintf(stderr, "emulated mouse: %s\n", problems[i].c_str());
    }
    reportedProblems_ = problems.size();
  }

  bool answer(Connection& connection, char type, std::span<const std::uint8_t> payload) {
    return static_cast<bool>(linux_platform::SendFrame(connection.fd.get(), type, payload));
  }
  bool answerResult(Connection& connection, std::int32_t value) {
    return answer(connection, 'R', linux_platform::EncodeResult(value));
  }
  bool answerTransfer(Connection& connection, const Result<std::size_t>& result) {
    return answerResult(
        connection, result ? static_cast<std::int32_t>(result.value()) : ErrnoOf(result.error()));
  }

  bool serveDevice(Connection& connection) {
    auto received = linux_platform::ReceiveFrame(connection.fd.get());
    if (!received) return false;
    linux_platform::Frame& frame = received.value();
    const std::uint64_t generation = mouse_.generation();
    switch (frame.type) {
      case 'E': {
        std::vector<std::uint8_t> records;
        for (const HidInterfaceInfo& info : {mouse_.controlInfo(""), mouse_.eventInfo("")}) {
          for (std::uint16_t value :
               {info.vendorId, info.productId, info.usagePage, info.usage, info.featureReportLength,
                info.inputReportLength, info.outputReportLength}) {
            records.push_back(static_cast<std::uint8_t>(value));
            records.push_back(static_cast<std::uint8_t>(value >> 8));
          }
        }
        return answer(connection, 'L', records);
      }
      case 'O': {
        if (frame.payload.size() != 2 || frame.payload[0] > kEventCollection) {
          return answerResult(connection, -EINVAL);
        }
        if (!mouse_.plugged()) return answerResult(connection, -ENODEV);
        connection.collection = frame.payload[0];
        connection.generation = generation;
        connection.pushEvents = frame.payload[0] == kEventCollection;
        return answerResult(connection, 0);
      }
      case 'P':
        return true;  // closed on unplug: that is the whole message
      default:
        break;
    }
    if (!connection.collection) return answerResult(connection, -EBADF);
    const std::uint64_t opened = connection.generation;
    const bool control = *connection.collection == kControlCollection;
    switch (frame.type) {
      case 'S':
        if (!control) return answerResult(connection, -EPIPE);
        return answerTransfer(connection, mouse_.setFeature(opened, frame.payload));
      case 'G': {
        if (!control) return answerResult(connection, -EPIPE);
        auto got = mouse_.getFeature(opened, frame.payload);
        if (!got) return answerResult(connection, ErrnoOf(got.error()));
        frame.payload.resize(std::min(frame.payload.size(), got.value()));
        return answer(connection, 'D', frame.payload);
      }
      case 'W':
        if (!control) return answerResult(connection, -EPIPE);
        return answerTransfer(connection, mouse_.writeOutput(opened, frame.payload));
      case 'Q': {
        if (!control) return answer(connection, 'N', {});
        Bytes buffer(kEmulatedControlInputLength, 0);
        auto read = mouse_.readControl(opened, buffer);
        if (!read) return answerResult(connection, ErrnoOf(read.error()));
        if (read.value().status != HidReadStatus::kReport) return answer(connection, 'N', {});
        buffer.resize(read.value().length);
        return answer(connection, 'D', buffer);
      }
      default:
        return answerResult(connection, -EINVAL);
    }
  }

  bool serveControl(Connection& connection) {
    std::string line;
    char c = 0;
    while (line.size() < 256) {
      const ssize_t got = ::recv(connection.fd.get(), &c, 1, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0 || c == '\n') break;
      line += c;
    }
    const std::string reply = controlRequest(line) + "\n";
    (void)::send(connection.fd.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
    return false;  // one request per connection
  }

  std::string controlRequest(const std::string& line) {
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.size() == 1 && w[0] == "plug") {
      mouse_.plug();
      return "ok plugged";
    }
    if (w.size() == 1 && w[0] == "unplug") {
      mouse_.unplug();
      return "ok unplugged";
    }
    if (w.size() == 1 && w[0] == "status") {
      const auto state = mouse_.state();
      return std::string("ok ") + (mouse_.plugged() ? "plugged" : "unplugged") + " sensor-type " +
             std::to_string(state.sensorInfo.sensorType) + " report-rate-code " +
             std::to_string(state.reportRateCode) + " problems " +
             std::to_string(mouse_.problems().size());
    }
    if (w.size() == 3 && w[0] == "press") {
      static const std::pair<const char*, PressKind> kKinds[] = {{"rate", PressKind::kRate},
                                                                 {"dpi", PressKind::kDpi},
                                                                 {"group", PressKind::kGroup},
                                                                 {"macro", PressKind::kMacro}};
      const auto value = ParseNumber(w[2], 0, 100000);
      for (const auto& [name, kind] : kKinds) {
        if (w[1] != name) continue;
        if (!value) return "error the value must be a number";
        auto pressed = mouse_.press(kind, *value);
        return pressed ? "ok pressed " + w[1] + " " + w[2] : "error " + pressed.error().message;
      }
      return "error press what? rate, dpi, group or macro";
    }
    if (w.size() == 3 && w[0] == "fault") {
      EmulatorFaults faults = mouse_.faults();
      const bool on = w[2] == "on";
      if (w[1] == "no-reply" || w[1] == "overlong" || w[1] == "wrong-index") {
        if (!on && w[2] != "off") return "error on or off";
        (w[1] == "no-reply"   ? faults.noReply
         : w[1] == "overlong" ? faults.overlongReply
                              : faults.wrongIndex) = on;
      } else if (w[1] == "unplug-at") {
        const auto n = ParseNumber(w[2], 0, 1000000);
        if (!n) return "error unplug-at takes a transfer number (0 = never)";
        faults.unplugAtTransfer = *n;
      } else if (w[1] == "latency") {
        const auto us = ParseNumber(w[2], 0, 1000000);
        if (!us) return "error latency takes microseconds (0..1000000)";
        faults.latency = std::chrono::microseconds(*us);
      } else {
        return "error unknown fault";
      }
      mouse_.setFaults(faults);
      return "ok fault " + w[1] + " " + w[2];
    }
    return "error unknown request: " + line;
  }

  EmulatedMouse& mouse_;
  std::filesystem::path folder_;
  std::filesystem::path devicePath_;
  std::filesystem::path controlPath_;
  std::optional<linux_platform::WakeFlag> changed_;
  UniqueFd controlListener_;
  UniqueFd deviceListener_;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::size_t reportedProblems_ = 0;
  bool announcedUnplug_ = false;
};

int RunServer(const std::vector<std::string>& args) {
  std::optional<int> sensorType;
  std::optional<std::string> tracePath;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--sensor-type" && i + 1 < args.size()) {
      sensorType = ParseNumber(args[++i], 0, 255);
      if (!sensorType) return Fail(kBadUsage, "--sensor-type takes 0..255");
    } else if (args[i] == "--trace" && i + 1 < args.size()) {
      tracePath = args[++i];
    } else {
      return Fail(kBadUsage, "usage: vm31ctl emulator run [--sensor-type N] [--trace FILE]");
    }
  }
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  UniqueFd signals(::signalfd(-1, &stopSignals, SFD_CLOEXEC));
  if (!signals.valid()) return Fail(kServeFailed, "cannot watch SIGINT");

  auto folder = linux_platform::UserRuntimeFolder();
  if (!folder) return Fail(kExitFileError, folder.error().message);
  // The same device definition the program uses, so that both sides share the codec.
  auto definition = LoadProgramDeviceDefinition();
  if (!definition) return Fail(kExitFileError, definition.error().message);

  linux_platform::SteadyClock clock;
  EmulatedMouse mouse(definition.value(), clock);
  if (sensorType) mouse.setSensorType(static_cast<std::uint8_t>(*sensorType));
  std::ofstream traceFile;
  std::unique_ptr<WireTrace> trace;
  if (tracePath) {
    traceFile.open(*tracePath, std::ios::binary | std::ios::trunc);
    if (!traceFile) return Fail(kExitFileError, *tracePath + ": cannot be written");
    trace = std::make_unique<WireTrace>(traceFile, clock, definition.value());
    mouse.setTrace(trace.get());
  }
  EmulatorServer server(mouse, folder.value());
  const int status = server.run(
      signals.get(), "emulated mouse running (sensor type " +
                         std::to_string(mouse.state().sensorInfo.sensorType) + ", sockets in " +
                         folder.value().string() + "); Ctrl+C ends it");
  mouse.setTrace(nullptr);
  return status;
}

int Request(const std::string& line) {
  auto answer = linux_platform::EmulatorControlRequest(line);
  if (!answer) return Fail(kNotRunning, answer.error().message);
  if (answer.value().rfind("ok", 0) == 0) {
    Say(answer.value().size() > 3 ? answer.value().substr(3) : answer.value());
    return kOk;
  }
  return Fail(kBadUsage,
              answer.value().rfind("error ", 0) == 0 ? answer.value().substr(6) : answer.value());
}

constexpr const char* kUsage =
    "usage: vm31ctl emulator run [--sensor-type N] [--trace FILE]\n"
    "       vm31ctl emulator plug | unplug | status\n"
    "       vm31ctl emulator press rate 1000|500|250|125 | dpi 1..4 | group 1|2 | macro N\n"
    "       vm31ctl emulator fault no-reply|overlong|wrong-index on|off | unplug-at N | "
    "latency MICROSECONDS";

// The usage text has several lines and holds no outside text, so it is printed as it stands.
int UsageError() {
  std::fprintf(stderr, "vm31ctl: %s\n", kUsage);
  return kBadUsage;
}

}  // namespace

int RunEmulator(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError();
  const std::string& verb = args[0];
  if (verb == "run") return RunServer(args);
  if ((verb == "plug" || verb == "unplug" || verb == "status") && args.size() == 1) {
    return Request(verb);
  }
  if (verb == "press" && args.size() == 3) {
    const std::string& kind = args[1];
    const std::string& value = args[2];
    const std::optional<int> number = ParseNumber(value, 0, 100000);
    const bool valid = (kind == "rate" && number && FindReportRateByHz(*number) != nullptr) ||
                       (kind == "dpi" && ParseNumber(value, 1, 4)) ||
                       (kind == "group" && ParseNumber(value, 1, 2)) ||
                       (kind == "macro" && ParseNumber(value, 1, 255));
    if (!valid) return UsageError();
    return Request("press " + kind + " " + value);
  }
  if (verb == "fault" && args.size() == 3) return Request("fault " + args[1] + " " + args[2]);
  return UsageError();
}

}  // namespace vm31::cli
