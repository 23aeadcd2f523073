#include "platform/windows/emulator_tcp.h"

// winsock2.h before windows.h, which would bring the old winsock.h (kept apart so that the
// include sorting leaves the order).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <bcrypt.h>
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "core/util/path_text.h"
#include "platform/windows/runtime_folder.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/win32_handle.h"

namespace vm31::windows_platform {
namespace {

using Clock = std::chrono::steady_clock;

Status EnsureWinsock() {
  static std::once_flag once;
  static int started = -1;
  std::call_once(once, [] {
    WSADATA data{};
    started = ::WSAStartup(MAKEWORD(2, 2), &data);
  });
  if (started != 0) return Win32Error("Winsock", static_cast<unsigned long>(started));
  return Ok{};
}

class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  UniqueSocket(UniqueSocket&& other) noexcept
      : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) reset(std::exchange(other.socket_, INVALID_SOCKET));
    return *this;
  }
  ~UniqueSocket() { reset(); }
  SOCKET get() const { return socket_; }
  bool valid() const { return socket_ != INVALID_SOCKET; }
  void reset(SOCKET socket = INVALID_SOCKET) {
    if (valid()) ::closesocket(socket_);
    socket_ = socket;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// A dead connection: reset, aborted, closed.
bool IsGone(int error) {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN ||
         error == WSAENOTCONN || error == WSAENOTSOCK;
}

Error SocketError(const std::string& what, int error) {
  if (IsGone(error)) return MakeError(ErrorCode::kNotFound, "emulated mouse: the device is gone");
  return Win32Error(what, static_cast<unsigned long>(error));
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1 << 30));
}

// Waits until the socket can be read (data or its end) or written; false at the deadline.
bool WaitSocket(SOCKET socket, bool forWriting, Clock::time_point deadline) {
  for (;;) {
    const int milliseconds = MillisecondsUntil(deadline);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int ready =
        ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &limit);
    if (ready != 0) return true;  // ready, or failed: the next call says why
    if (milliseconds == 0) return false;
  }
}

bool ReadableNow(SOCKET socket) {
  return WaitSocket(socket, false, Clock::now());
}

// The sockets here are non-blocking (WSAEventSelect makes them so), so every transfer waits on
// its deadline, never longer.
Status SendAll(SOCKET socket, std::span<const std::uint8_t> bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    const int sent = ::send(socket, reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
    if (sent == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error != WSAEWOULDBLOCK) return SocketError("emulated mouse: send", error);
      if (!WaitSocket(socket, true, deadline)) {
        return MakeError(ErrorCode::kIo, "emulated mouse: not taking data");
      }
      continue;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(sent));
  }
  return Ok{};
}

Status ReceiveAll(SOCKET socket, std::span<std::uint8_t> bytes, Clock::time_point deadline) {
  while (!bytes.empty()) {
    const int got = ::recv(socket, reinterpret_cast<char*>(bytes.data()),
                           static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), 0);
    if (got == 0) return MakeError(ErrorCode::kNotFound, "emulated mouse: the device is gone");
    if (got == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error != WSAEWOULDBLOCK) return SocketError("emulated mouse: receive", error);
      if (!WaitSocket(socket, false, deadline)) {
        return MakeError(ErrorCode::kIo, "emulated mouse: no answer");
      }
      continue;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(got));
  }
  return Ok{};
}

bool SameKey(const EmulatorKey& a, const EmulatorKey& b) {
  std::uint8_t difference = 0;  // every byte compared, whatever the first difference
  for (std::size_t i = 0; i < a.size(); ++i) difference |= a[i] ^ b[i];
  return difference == 0;
}

Result<EmulatorKey> RandomKey() {
  EmulatorKey key{};
  if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, key.data(), static_cast<ULONG>(key.size()),
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return MakeError(ErrorCode::kIo, "no random numbers for the emulator's keys");
  }
  return key;
}

std::string Hex(const EmulatorKey& key) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : key) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::optional<EmulatorKey> KeyFromHex(std::string_view text) {
  EmulatorKey key{};
  if (text.size() != key.size() * 2) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < key.size(); ++i) {
    const int high = digit(text[2 * i]);
    const int low = digit(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    key[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return key;
}

// A protected DACL that lets this user alone at the file.
Result<std::wstring> UserOnlySecurity() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return Win32Error("cannot read this process's user", ::GetLastError());
  }
  UniqueHandle ownedToken(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> storage(std::max<DWORD>(size, sizeof(TOKEN_USER)));
  if (!::GetTokenInformation(token, TokenUser, storage.data(), size, &size)) {
    return Win32Error("cannot read this process's user", ::GetLastError());
  }
  wchar_t* sid = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(storage.data())->User.Sid, &sid)) {
    return Win32Error("cannot name this process's user", ::GetLastError());
  }
  std::wstring descriptor = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
  ::LocalFree(sid);
  return descriptor;
}

// A connection that passed the admission.
class TcpConnection final : public EmulatorConnection {
 public:
  TcpConnection(UniqueSocket socket, UniqueHandle readable, UniqueHandle wake)
      : socket_(std::move(socket)), readable_(std::move(readable)), wake_(std::move(wake)) {}

  ~TcpConnection() override { ::WSAEventSelect(socket_.get(), nullptr, 0); }

  Status send(std::span<const std::uint8_t> bytes) override {
    return SendAll(socket_.get(), bytes, EmulatorAnswerDeadline());
  }
  Status receive(std::span<std::uint8_t> bytes, EmulatorDeadline deadline) override {
    return ReceiveAll(socket_.get(), bytes, deadline);
  }
  Result<ConnectionWait> waitReadable(std::optional<std::chrono::milliseconds> timeout) override {
    const auto deadline = timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
    for (;;) {
      if (consumeWake()) return ConnectionWait::kWoken;
      // The network event may be left from data already read: the socket itself decides.
      if (ReadableNow(socket_.get())) return ConnectionWait::kReadable;
      ::ResetEvent(readable_.get());
      if (ReadableNow(socket_.get())) return ConnectionWait::kReadable;
      const HANDLE waits[2] = {wake_.get(), readable_.get()};
      const DWORD milliseconds =
          deadline ? static_cast<DWORD>(MillisecondsUntil(*deadline)) : INFINITE;
      const DWORD outcome = ::WaitForMultipleObjects(2, waits, FALSE, milliseconds);
      if (outcome == WAIT_TIMEOUT) {
        if (consumeWake()) return ConnectionWait::kWoken;
        return ConnectionWait::kTimedOut;
      }
      if (outcome != WAIT_OBJECT_0 && outcome != WAIT_OBJECT_0 + 1) {
        return Win32Error("emulated mouse: wait", ::GetLastError());
      }
    }
  }
  bool consumeWake() override {
    if (::WaitForSingleObject(wake_.get(), 0) != WAIT_OBJECT_0) return false;
    ::ResetEvent(wake_.get());
    return true;
  }
  void wake() override { ::SetEvent(wake_.get()); }

 private:
  UniqueSocket socket_;
  UniqueHandle readable_;
  UniqueHandle wake_;
};

// A connected, admitted socket to the port of `file`, non-blocking, its reads and its end
// signalling `readable`.
Result<UniqueSocket> ConnectAdmitted(const std::filesystem::path& file, HANDLE readable) {
  if (auto started = EnsureWinsock(); !started) return started.error();
  auto address = ReadEmulatorAddress(file);
  if (!address) return address.error();
  UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket.valid()) return SocketError("emulated mouse: socket", ::WSAGetLastError());
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  peer.sin_port = htons(address.value().port);
  if (::connect(socket.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == SOCKET_ERROR) {
    return MakeError(ErrorCode::kNotFound, PathText(file) + ": nobody serves port " +
                                               std::to_string(address.value().port));
  }
  if (::WSAEventSelect(socket.get(), readable, FD_READ | FD_CLOSE) == SOCKET_ERROR) {
    return SocketError("emulated mouse: WSAEventSelect", ::WSAGetLastError());
  }
  const auto deadline = EmulatorAnswerDeadline();
  if (auto sent = SendAll(socket.get(), address.value().clientKey, deadline); !sent) {
    return sent.error();
  }
  // A peer that closes instead of answering turned the client key down: not this user's
  // emulator either.
  EmulatorKey answer{};
  auto answered = ReceiveAll(socket.get(), answer, deadline);
  if (!answered && answered.error().code != ErrorCode::kNotFound) {
    return MakeError(answered.error().code, PathText(file) + ": " + answered.error().message);
  }
  if (!answered || !SameKey(answer, address.value().emulatorKey)) {
    return MakeError(ErrorCode::kAccessDenied,
                     PathText(file) + ": port " + std::to_string(address.value().port) +
                         " is not served by this user's emulated mouse; not used");
  }
  return socket;
}

Result<std::unique_ptr<TcpConnection>> ConnectTcp(const std::filesystem::path& file) {
  UniqueHandle readable(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle wake(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!readable.valid() || !wake.valid()) {
    return Win32Error("emulated mouse: cannot create an event", ::GetLastError());
  }
  auto socket = ConnectAdmitted(file, readable.get());
  if (!socket) return socket.error();
  return std::make_unique<TcpConnection>(std::move(socket).value(), std::move(readable),
                                         std::move(wake));
}

// --- the emulator's side -------------------------------------------------------------------

HANDLE& StopEvent() {
  static HANDLE event = nullptr;
  return event;
}

BOOL WINAPI StopHandler(DWORD) {
  ::SetEvent(StopEvent());
  return TRUE;
}

struct ServedConnection {
  UniqueSocket socket;
  bool control = false;
  bool admitted = false;
  bool ended = false;  // closed after the round (its last request served, or it failed)
  DeviceConnectionState device;
};

class TcpServer final : public EmulatorEndpoints {
 public:
  TcpServer(EmulatorService& service, const std::filesystem::path& folder, HANDLE stop)
      : service_(service),
        controlFile_(folder / kEmulatorControlFileName),
        deviceFile_(folder / kEmulatorDeviceFileName),
        stop_(stop) {}

  ~TcpServer() override {
    closeDeviceEndpoint();
    if (controlListener_.valid()) {
      controlListener_.reset();
      ::DeleteFileW(controlFile_.c_str());
    }
  }

  Status run(const std::function<void()>& started) {
    if (ConnectTcp(controlFile_)) {
      return MakeError(ErrorCode::kBusy,
                       "an emulated mouse already runs (" + PathText(controlFile_) + ")");
    }
    ::DeleteFileW(deviceFile_.c_str());  // left behind by an emulator that was killed
    network_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!network_.valid()) return Win32Error("cannot create an event", ::GetLastError());
    auto client = RandomKey();
    auto emulator = RandomKey();
    if (!client) return client.error();
    if (!emulator) return emulator.error();
    clientKey_ = client.value();
    emulatorKey_ = emulator.value();
    auto control = listen(controlFile_);
    if (!control) return control.error();
    controlListener_ = std::move(control).value();
    service_.mouse().plug();
    if (auto synced = service_.follow(*this); !synced) return synced.error();
    started();
    for (;;) {
      const HANDLE waits[2] = {stop_, network_.get()};
      const DWORD outcome = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (outcome == WAIT_OBJECT_0) break;
      if (outcome != WAIT_OBJECT_0 + 1) return Win32Error("wait", ::GetLastError());
      // Every socket that is ready is served in this round (its recv or accept re-enables its
      // network event), so resetting the shared event first loses nothing.
      ::ResetEvent(network_.get());
      serveRound();
      std::erase_if(connections_, [](const auto& c) { return c->ended; });
      if (auto synced = service_.follow(*this); !synced) return synced.error();
    }
    return Ok{};
  }

  // --- EmulatorEndpoints ---
  bool deviceEndpointOpen() const override { return deviceListener_.valid(); }

  Status openDeviceEndpoint() override {
    auto listener = listen(deviceFile_);
    if (!listener) return listener.error();
    deviceListener_ = std::move(listener).value();
    return Ok{};
  }

  void closeDeviceEndpoint() override {
    if (!deviceListener_.valid()) return;
    // The connections first, so that a presence connection has ended before the file goes.
    std::erase_if(connections_, [](const auto& c) { return !c->control; });
    deviceListener_.reset();
    ::DeleteFileW(deviceFile_.c_str());
  }

  void dropDeviceConnections(
      const std::function<bool(const DeviceConnectionState&)>& stale) override {
    std::erase_if(connections_, [&](const auto& c) { return !c->control && stale(c->device); });
  }

  void pushEventReport(std::span<const std::uint8_t> report) override {
    const auto frame = EncodeFrame('I', report);
    for (const auto& connection : connections_) {
      if (!connection->device.pushEvents) continue;
      const auto deadline = Clock::now() + kEmulatorClientStall;
      if (!SendAll(connection->socket.get(), frame, deadline)) connection->ended = true;
    }
    std::erase_if(connections_, [](const auto& c) { return c->ended; });
  }

 private:
  // A listener on 127.0.0.1 (a port Windows picks, held exclusively) and its address file.
  Result<UniqueSocket> listen(const std::filesystem::path& file) {
    UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket.valid()) return SocketError("socket", ::WSAGetLastError());
    BOOL exclusive = TRUE;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) ==
            SOCKET_ERROR ||
        ::listen(socket.get(), 16) == SOCKET_ERROR ||
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length) ==
            SOCKET_ERROR ||
        ::WSAEventSelect(socket.get(), network_.get(), FD_ACCEPT) == SOCKET_ERROR) {
      return SocketError("emulated mouse: listen on 127.0.0.1", ::WSAGetLastError());
    }
    EmulatorAddress written{ntohs(address.sin_port), clientKey_, emulatorKey_};
    if (auto saved = WriteEmulatorAddress(file, written); !saved) return saved.error();
    return socket;
  }

  void accept(SOCKET listener, bool control) {
    for (;;) {
      UniqueSocket socket(::accept(listener, nullptr, nullptr));
      if (!socket.valid()) return;  // none left (WSAEWOULDBLOCK)
      // An accepted socket takes the listener's event selection; it wants reads and its end.
      if (::WSAEventSelect(socket.get(), network_.get(), FD_READ | FD_CLOSE) == SOCKET_ERROR) {
        continue;
      }
      auto connection = std::make_unique<ServedConnection>();
      connection->socket = std::move(socket);
      connection->control = control;
      connections_.push_back(std::move(connection));
    }
  }

  void serveRound() {
    if (ReadableNow(controlListener_.get())) accept(controlListener_.get(), true);
    if (deviceListener_.valid() && ReadableNow(deviceListener_.get())) {
      accept(deviceListener_.get(), false);
    }
    // Each ready connection is served once; the ones that end are closed after the round.
    for (const auto& connection : connections_) {
      if (!ReadableNow(connection->socket.get())) continue;
      bool keep = false;
      if (!connection->admitted) {
        keep = admit(*connection);
      } else {
        keep = connection->control ? serveControl(*connection) : serveDevice(*connection);
      }
      if (!keep) connection->ended = true;
    }
  }

  // The client key first, within the stall time, or the connection is closed unanswered.
  bool admit(ServedConnection& connection) {
    const auto deadline = Clock::now() + kEmulatorClientStall;
    EmulatorKey key{};
    if (!ReceiveAll(connection.socket.get(), key, deadline) || !SameKey(key, clientKey_)) {
      return false;
    }
    connection.admitted = true;
    return static_cast<bool>(SendAll(connection.socket.get(), emulatorKey_, deadline));
  }

  bool serveDevice(ServedConnection& connection) {
    const auto deadline = Clock::now() + kEmulatorClientStall;
    auto received = ReadFrame([&](std::span<std::uint8_t> bytes) {
      return ReceiveAll(connection.socket.get(), bytes, deadline);
    });
    if (!received) return false;
    const auto answer = service_.answerDeviceFrame(connection.device, std::move(received).value());
    if (!answer) return true;
    return static_cast<bool>(SendAll(connection.socket.get(),
                                     EncodeFrame(answer->type, answer->payload),
                                     Clock::now() + kEmulatorClientStall));
  }

  bool serveControl(ServedConnection& connection) {
    const auto deadline = Clock::now() + kEmulatorClientStall;
    std::string line;
    std::array<std::uint8_t, 1> c{};
    while (line.size() < kMaxControlLine) {
      if (!ReceiveAll(connection.socket.get(), c, deadline) || c[0] == '\n') break;
      line += static_cast<char>(c[0]);
    }
    const std::string reply = service_.answerControlLine(line) + "\n";
    (void)SendAll(connection.socket.get(),
                  std::span(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size()),
                  Clock::now() + kEmulatorClientStall);
    return false;  // one request per connection
  }

  EmulatorService& service_;
  std::filesystem::path controlFile_;
  std::filesystem::path deviceFile_;
  HANDLE stop_;
  UniqueHandle network_;  // set by every socket's network events
  EmulatorKey clientKey_{};
  EmulatorKey emulatorKey_{};
  UniqueSocket controlListener_;
  UniqueSocket deviceListener_;
  std::vector<std::unique_ptr<ServedConnection>> connections_;
};

}  // namespace

std::string FormatEmulatorAddress(const EmulatorAddress& address) {
  return "port " + std::to_string(address.port) + "\nclient-key " + Hex(address.clientKey) +
         "\nemulator-key " + Hex(address.emulatorKey) + "\n";
}

std::optional<EmulatorAddress> ParseEmulatorAddress(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // every line ends
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(end + 1);
  }
  if (lines.size() != 3) return std::nullopt;
  const auto value = [](std::string_view line,
                        std::string_view name) -> std::optional<std::string_view> {
    if (line.size() <= name.size() + 1 || line.substr(0, name.size()) != name ||
        line[name.size()] != ' ') {
      return std::nullopt;
    }
    return line.substr(name.size() + 1);
  };
  const auto port = value(lines[0], "port");
  const auto client = value(lines[1], "client-key");
  const auto emulator = value(lines[2], "emulator-key");
  if (!port || !client || !emulator) return std::nullopt;
  const auto number = ParseEmulatorNumber(std::string(*port), 1, 65535);
  const auto clientKey = KeyFromHex(*client);
  const auto emulatorKey = KeyFromHex(*emulator);
  if (!number || !clientKey || !emulatorKey) return std::nullopt;
  return EmulatorAddress{static_cast<std::uint16_t>(*number), *clientKey, *emulatorKey};
}

Status WriteEmulatorAddress(const std::filesystem::path& file, const EmulatorAddress& address) {
  auto security = UserOnlySecurity();
  if (!security) return security.error();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          security.value().c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return Win32Error("cannot make the emulator's address file private", ::GetLastError());
  }
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
  const std::filesystem::path temporary = file.native() + L".new";
  UniqueHandle handle(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD createError = ::GetLastError();
  ::LocalFree(descriptor);
  if (!handle.valid()) return Win32Error(PathText(temporary), createError);
  const std::string text = FormatEmulatorAddress(address);
  DWORD written = 0;
  const bool complete =
      ::WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  const DWORD writeError = ::GetLastError();
  handle.reset();
  if (!complete) {
    ::DeleteFileW(temporary.c_str());
    return Win32Error(PathText(temporary), writeError);
  }
  // Moved into place whole: a reader sees the old file or the new one, never a part.
  if (!::MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD moveError = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    return Win32Error(PathText(file), moveError);
  }
  return Ok{};
}

Result<EmulatorAddress> ReadEmulatorAddress(const std::filesystem::path& file) {
  // Shared for deletion too, so the emulator can replace or remove the file while it is read.
  UniqueHandle handle(::CreateFileW(file.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return MakeError(ErrorCode::kNotFound, PathText(file) + ": no such file");
    }
    return Win32Error(PathText(file), error);
  }
  std::array<char, 512> buffer{};
  DWORD got = 0;
  if (!::ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
    return Win32Error(PathText(file), ::GetLastError());
  }
  const auto address = ParseEmulatorAddress(std::string_view(buffer.data(), got));
  if (!address) {
    return MakeError(ErrorCode::kBadFormat, PathText(file) + ": not an emulator address file");
  }
  return *address;
}

Result<std::unique_ptr<EmulatorConnection>> ConnectEmulator(const std::filesystem::path& file) {
  auto connection = ConnectTcp(file);
  if (!connection) return connection.error();
  return std::unique_ptr<EmulatorConnection>(std::move(connection).value());
}

Status ServeEmulator(EmulatorService& service, const std::filesystem::path& folder,
                     const std::function<void()>& started) {
  if (auto winsock = EnsureWinsock(); !winsock) return winsock.error();
  HANDLE& stop = StopEvent();
  if (stop == nullptr) stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop == nullptr) return Win32Error("cannot create an event", ::GetLastError());
  if (!::SetConsoleCtrlHandler(&StopHandler, TRUE)) {
    return Win32Error("cannot watch Ctrl+C", ::GetLastError());
  }
  TcpServer server(service, folder, stop);
  return server.run(started);
}

std::string EmulatorEndpointsInWords(const std::filesystem::path& folder) {
  return "on 127.0.0.1, its ports in " + PathText(folder);
}

Result<std::string> EmulatorControlRequest(const std::string& line) {
  auto folder = UserRuntimeFolder();
  if (!folder) return folder.error();
  const auto file = folder.value() / kEmulatorControlFileName;
  auto connection = ConnectTcp(file);
  if (!connection && connection.error().code == ErrorCode::kAccessDenied) {
    return connection.error();
  }
  if (!connection) {
    return MakeError(ErrorCode::kNotFound, "the emulated mouse is not running (" +
                                               connection.error().message +
                                               "); start it with: vm31ctl emulator run");
  }
  return ExchangeControlLine(*connection.value(), line, PathText(file));
}

// --- EmulatorTcpBus -------------------------------------------------------------------------

EmulatorTcpBus::EmulatorTcpBus(const std::filesystem::path& folder)
    : EmulatorClientBus(
          PathText(folder / kEmulatorDeviceFileName),
          [file = folder / kEmulatorDeviceFileName] { return ConnectEmulator(file); }) {}

// --- EmulatorTcpHotplugSource ---------------------------------------------------------------

struct EmulatorTcpHotplugSource::State {
  std::filesystem::path deviceFile;
  EmulatorTcpBus bus;
  HANDLE folderChanged = INVALID_HANDLE_VALUE;  // a change notification handle
  UniqueHandle presenceEnded;                   // set by the presence connection's end
  UniqueSocket presence;
  std::vector<HidInterfaceInfo> announced;  // the collections of the plugged-in mouse

  ~State() {
    if (folderChanged != INVALID_HANDLE_VALUE) ::FindCloseChangeNotification(folderChanged);
  }
};

EmulatorTcpHotplugSource::EmulatorTcpHotplugSource(std::unique_ptr<State> state)
    : state_(std::move(state)) {}
EmulatorTcpHotplugSource::~EmulatorTcpHotplugSource() = default;

Result<std::unique_ptr<EmulatorTcpHotplugSource>> EmulatorTcpHotplugSource::create(
    const std::filesystem::path& folder) {
  if (auto winsock = EnsureWinsock(); !winsock) return winsock.error();
  auto state = std::unique_ptr<State>(new State{
      folder / kEmulatorDeviceFileName, EmulatorTcpBus(folder), INVALID_HANDLE_VALUE, {}, {}, {}});
  state->folderChanged =
      ::FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
  if (state->folderChanged == INVALID_HANDLE_VALUE) {
    return Win32Error(PathText(folder) + ": cannot watch the folder", ::GetLastError());
  }
  state->presenceEnded.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!state->presenceEnded.valid()) {
    return Win32Error("cannot create an event", ::GetLastError());
  }
  std::unique_ptr<EmulatorTcpHotplugSource> source(new EmulatorTcpHotplugSource(std::move(state)));
  source->connectPresence(nullptr);  // a mouse plugged in already is found by enumerate()
  return source;
}

std::vector<void*> EmulatorTcpHotplugSource::signals() const {
  return {state_->folderChanged, state_->presenceEnded.get()};
}

void EmulatorTcpHotplugSource::connectPresence(std::vector<HotplugEvent>* arrivals) {
  if (state_->presence.valid()) return;
  auto listed = state_->bus.enumerate();
  if (!listed || listed.value().empty()) return;
  ::ResetEvent(state_->presenceEnded.get());
  auto socket = ConnectAdmitted(state_->deviceFile, state_->presenceEnded.get());
  if (!socket) return;
  const auto presence = EncodeFrame('P', {});
  if (!SendAll(socket.value().get(), presence, EmulatorAnswerDeadline())) return;
  state_->presence = std::move(socket).value();
  state_->announced = std::move(listed).value();
  if (!arrivals) return;
  for (const auto& info : state_->announced) {
    arrivals->push_back({HotplugEvent::Kind::kArrival, info.path, info.vendorId, info.productId});
  }
}

void EmulatorTcpHotplugSource::dropPresence(std::vector<HotplugEvent>* removals) {
  if (!state_->presence.valid()) return;
  state_->presence.reset();
  for (const auto& info : state_->announced) {
    removals->push_back({HotplugEvent::Kind::kRemoval, info.path, info.vendorId, info.productId});
  }
  state_->announced.clear();
}

std::vector<HotplugEvent> EmulatorTcpHotplugSource::takePending() {
  std::vector<HotplugEvent> events;
  // The presence connection first: an unplug followed at once by a plug must read as removal,
  // then arrival. The emulator never writes on it, so anything readable is its end.
  bool ended = false;
  if (state_->presence.valid()) {
    ::ResetEvent(state_->presenceEnded.get());
    if (ReadableNow(state_->presence.get())) {
      dropPresence(&events);
      ended = true;
    }
  }
  bool changed = false;
  if (::WaitForSingleObject(state_->folderChanged, 0) == WAIT_OBJECT_0) {
    ::FindNextChangeNotification(state_->folderChanged);  // re-armed before the folder is read
    changed = true;
  }
  // After an end the emulator may be plugged in again already, its file written before this
  // source saw the end.
  if (changed || ended) connectPresence(&events);
  return events;
}

}  // namespace vm31::windows_platform
