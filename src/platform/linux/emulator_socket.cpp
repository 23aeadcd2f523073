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
#include <cstdlib>
#include <cstring>
#include <deque>

#include "platform/linux/wait.h"

namespace vm31::linux_platform {
namespace {

// Upper bound for one answer on a control connection: the emulator answers at once (plus its
// injected latency), so only a wedged emulator ever reaches it.
constexpr int kControlAnswerSeconds = 5;
constexpr std::size_t kInfoRecordBytes = 14;
// What a control handle keeps of the input reports that arrive while it waits for an answer.
constexpr std::size_t kMaxQueuedReports = 64;
constexpr std::size_t kMaxReportBytes = 4096;

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

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

std::chrono::steady_clock::time_point AnswerDeadline() {
  return std::chrono::steady_clock::now() + std::chrono::seconds(kControlAnswerSeconds);
}

// Reads `size` bytes; with a deadline, all of them before it, however the peer trickles them.
Status ReadAll(int fd, std::uint8_t* data, std::size_t size, Deadline deadline = std::nullopt) {
  while (size > 0) {
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      pollfd check{fd, POLLIN, 0};
      const int ready = left.count() > 0 ? ::poll(&check, 1, static_cast<int>(left.count())) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return ErrnoError("emulated mouse", errno);
      if (ready == 0) return MakeError(ErrorCode::kIo, "emulated mouse: no answer");
    }
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got == 0) return MakeError(ErrorCode::kNotFound, "emulated mouse: the device is gone");
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return MakeError(ErrorCode::kIo, "emulated mouse: no answer");
      }
      return ErrnoError("emulated mouse", errno);
    }
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return Ok{};
}

std::uint16_t GetU16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::optional<std::size_t> CollectionIndexOfPath(const std::string& path) {
  const auto hash = path.rfind('#');
  if (hash == std::string::npos || hash + 1 >= path.size()) return std::nullopt;
  std::size_t index = 0;
  for (std::size_t i = hash + 1; i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9' || index > 1000) return std::nullopt;
    index = index * 10 + static_cast<std::size_t>(path[i] - '0');
  }
  return index;
}

class EmulatorHandle : public HidHandle {
 public:
  EmulatorHandle(UniqueFd fd, WakeFlag wake, HidOpenMode mode, std::string path)
      : fd_(std::move(fd)), wake_(std::move(wake)), mode_(mode), path_(std::move(path)) {}

  Result<std::size_t> setFeature(std::span<const std::uint8_t> report) override {
    return transferResult('S', report, "set feature report");
  }

  Result<std::size_t> getFeature(std::span<std::uint8_t> report) override {
    auto answer = request('G', report);
    if (!answer) return answer.error();
    if (answer.value().type == 'D') {
      const auto& data = answer.value().payload;
      std::fill(report.begin(), report.end(), 0);
      const std::size_t length = std::min(report.size(), data.size());
      std::copy_n(data.begin(), length, report.begin());
      return length;
    }
    return resultOf(answer.value(), "get feature report");
  }

  Result<std::size_t> write(std::span<const std::uint8_t> report) override {
    return transferResult('W', report, "write output report");
  }

  Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override {
    if (wake_.consume()) return HidReadResult{HidReadStatus::kWoken, 0};
    if (mode_ == HidOpenMode::kControl) {
      auto answer = request('Q', {});
      if (!answer) return answer.error();
      if (answer.value().type == 'D') return deliver(answer.value().payload, buffer);
      if (answer.value().type != 'N') return resultOf(answer.value(), "read input report").error();
      // Nothing queued: like a device that sends nothing, wait for the time-out or a wake.
    } else if (!queued_.empty()) {
      auto report = std::move(queued_.front());
      queued_.pop_front();
      return deliver(report, buffer);
    }
    for (;;) {
      auto waited = WaitReadable(fd_.get(), &wake_, timeout);
      if (!waited) return waited.error();
      if (waited.value() == WaitOutcome::kWoken) return HidReadResult{HidReadStatus::kWoken, 0};
      if (waited.value() == WaitOutcome::kTimedOut) {
        return HidReadResult{HidReadStatus::kTimedOut, 0};
      }
      // A hang-up ends here as kNotFound; a frame begun must be complete within the deadline.
      auto frame = ReceiveFrame(fd_.get(), AnswerDeadline());
      if (!frame) return frame.error();
      if (frame.value().type == 'I') return deliver(frame.value().payload, buffer);
    }
  }

  void wake() override { wake_.raise(); }

 private:
  static HidReadResult deliver(const std::vector<std::uint8_t>& report,
                               std::span<std::uint8_t> buffer) {
    const std::size_t length = std::min(buffer.size(), report.size());
    std::copy_n(report.begin(), length, buffer.begin());
    return HidReadResult{HidReadStatus::kReport, length};
  }

  // Sends a request and returns its answer, which must come within one deadline however many
  // frames arrive before it. Input reports pushed meanwhile are kept in order, at most
  // kMaxQueuedReports of them (the oldest are dropped, as a device's own buffer would), each cut
  // to kMaxReportBytes: a peer that streams reports cannot make this side grow.
  Result<Frame> request(char type, std::span<const std::uint8_t> payload) {
    if (auto sent = SendFrame(fd_.get(), type, payload); !sent) return named(sent.error());
    const auto deadline = AnswerDeadline();
    for (;;) {
      auto frame = ReceiveFrame(fd_.get(), deadline);
      if (!frame) return named(frame.error());
      if (frame.value().type != 'I') return frame;
      auto& report = frame.value().payload;
      if (report.size() > kMaxReportBytes) report.resize(kMaxReportBytes);
      if (queued_.size() == kMaxQueuedReports) queued_.pop_front();
      queued_.push_back(std::move(report));
    }
  }

  Result<std::size_t> transferResult(char type, std::span<const std::uint8_t> report,
                                     const char* what) {
    auto answer = request(type, report);
    if (!answer) return answer.error();
    return resultOf(answer.value(), what);
  }

  Result<std::size_t> resultOf(const Frame& frame, const char* what) const {
    const auto value = DecodeResult(frame);
    if (!value) return MakeError(ErrorCode::kIo, path_ + ": " + what + ": a garbled answer");
    if (*value < 0) return ErrnoError(path_ + ": " + what, -*value);
    return static_cast<std::size_t>(*value);
  }

  Error named(Error error) const {
    error.message = path_ + ": " + error.message;
    return error;
  }

  UniqueFd fd_;
  WakeFlag wake_;
  HidOpenMode mode_;
  std::string path_;
  std::deque<std::vector<std::uint8_t>> queued_;
};

}  // namespace

Status SendFrame(int fd, char type, std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> bytes(5 + payload.size());
  bytes[0] = static_cast<std::uint8_t>(type);
  const auto size = static_cast<std::uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) bytes[1 + i] = static_cast<std::uint8_t>(size >> (8 * i));
  std::copy(payload.begin(), payload.end(), bytes.begin() + 5);
  return WriteAll(fd, bytes.data(), bytes.size());
}

Result<Frame> ReceiveFrame(int fd, std::optional<std::chrono::steady_clock::time_point> deadline) {
  std::array<std::uint8_t, 5> header{};
  if (auto got = ReadAll(fd, header.data(), header.size(), deadline); !got) return got.error();
  std::uint32_t size = 0;
  for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(header[1 + i]) << (8 * i);
  if (size > kMaxFramePayload)
    return MakeError(ErrorCode::kBadFormat, "emulated mouse: oversized frame");
  Frame frame;
  frame.type = static_cast<char>(header[0]);
  frame.payload.resize(size);
  if (auto got = ReadAll(fd, frame.payload.data(), size, deadline); !got) return got.error();
  return frame;
}

std::vector<std::uint8_t> EncodeResult(std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

std::optional<std::int32_t> DecodeResult(const Frame& frame) {
  if (frame.type != 'R' || frame.payload.size() != 4) return std::nullopt;
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(frame.payload[i]) << (8 * i);
  return static_cast<std::int32_t>(bits);
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
  const timeval limit{kControlAnswerSeconds, 0};
  ::setsockopt(fd.value().get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  const std::string request = line + "\n";
  if (auto sent = WriteAll(fd.value().get(), reinterpret_cast<const std::uint8_t*>(request.data()),
                           request.size());
      !sent) {
    return sent.error();
  }
  // One deadline for the whole answer line, however it trickles in.
  const auto deadline = AnswerDeadline();
  std::string answer;
  std::uint8_t c = 0;
  while (answer.size() < 4096) {
    if (!ReadAll(fd.value().get(), &c, 1, deadline) || c == '\n') break;
    answer += static_cast<char>(c);
  }
  if (answer.empty()) return MakeError(ErrorCode::kIo, path.string() + ": no answer");
  return answer;
}

// --- EmulatorSocketBus ----------------------------------------------------------------------

EmulatorSocketBus::EmulatorSocketBus(std::filesystem::path folder)
    : socket_(std::move(folder) / kEmulatorDeviceSocketName) {}

Result<std::vector<HidInterfaceInfo>> EmulatorSocketBus::enumerate() {
  std::vector<HidInterfaceInfo> result;
  auto fd = ConnectUnix(socket_);
  if (!fd) return result;  // not running, or unplugged: nothing to list
  const timeval limit{kControlAnswerSeconds, 0};
  ::setsockopt(fd.value().get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (!SendFrame(fd.value().get(), 'E', {})) return result;
  auto frame = ReceiveFrame(fd.value().get(), AnswerDeadline());
  if (!frame || frame.value().type != 'L') return result;  // unplugged meanwhile
  const auto& bytes = frame.value().payload;
  for (std::size_t at = 0, index = 0; at + kInfoRecordBytes <= bytes.size();
       at += kInfoRecordBytes, ++index) {
    HidInterfaceInfo info;
    info.path = std::string(kEmulatorPathPrefix) + socket_.string() + "#" + std::to_string(index);
    info.vendorId = GetU16(bytes, at);
    info.productId = GetU16(bytes, at + 2);
    info.usagePage = GetU16(bytes, at + 4);
    info.usage = GetU16(bytes, at + 6);
    info.featureReportLength = GetU16(bytes, at + 8);
    info.inputReportLength = GetU16(bytes, at + 10);
    info.outputReportLength = GetU16(bytes, at + 12);
    result.push_back(std::move(info));
  }
  return result;
}

Result<std::unique_ptr<HidHandle>> EmulatorSocketBus::open(const HidInterfaceInfo& info,
                                                           HidOpenMode mode) {
  const auto index = CollectionIndexOfPath(info.path);
  if (!index || info.path.rfind(kEmulatorPathPrefix, 0) != 0) {
    return MakeError(ErrorCode::kNotFound, info.path + ": not an emulated collection");
  }
  auto fd = ConnectUnix(socket_);
  if (!fd) return MakeError(ErrorCode::kNotFound, info.path + ": the emulated mouse is unplugged");
  if (mode == HidOpenMode::kControl) {
    const timeval limit{kControlAnswerSeconds, 0};
    ::setsockopt(fd.value().get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  const std::array<std::uint8_t, 2> request = {
      static_cast<std::uint8_t>(*index),
      mode == HidOpenMode::kControl ? std::uint8_t{0} : std::uint8_t{1}};
  if (auto sent = SendFrame(fd.value().get(), 'O', request); !sent) return sent.error();
  auto answer = ReceiveFrame(fd.value().get(), AnswerDeadline());
  if (!answer) return MakeError(ErrorCode::kNotFound, info.path + ": " + answer.error().message);
  const auto value = DecodeResult(answer.value());
  if (!value || *value < 0) {
    return value ? ErrnoError(info.path, -*value)
                 : MakeError(ErrorCode::kIo, info.path + ": a garbled answer");
  }
  auto wake = WakeFlag::create();
  if (!wake) return wake.error();
  return std::unique_ptr<HidHandle>(
      new EmulatorHandle(std::move(fd).value(), std::move(wake).value(), mode, info.path));
}

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
