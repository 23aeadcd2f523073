// The emulated mouse's loopback TCP transport under Wine: the address files, the admission
// against a peer without the user's emulator key, and the client's bounds against a peer that
// streams input reports; and which watches the device backend sets up.

// winsock2.h before windows.h, which would bring the old winsock.h.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "core/util/path_text.h"
#include "emulator/emulator_protocol.h"
#include "platform/windows/emulator_tcp.h"
#include "platform/windows/windows_device_backend.h"
#include "support/temp_folder.h"

namespace vm31::windows_platform {
namespace {

namespace fs = std::filesystem;
using vm31::testing::TempFolder;

EmulatorAddress SampleAddress(std::uint16_t port) {
  EmulatorAddress address;
  address.port = port;
  for (std::uint8_t i = 0; i < 16; ++i) {
    address.clientKey[i] = static_cast<std::uint8_t>(0xa0 + i);
    address.emulatorKey[i] = static_cast<std::uint8_t>(i * 17);
  }
  return address;
}

TEST(EmulatorAddress, ParsesWhatItWritesAndNothingElse) {
  const EmulatorAddress address = SampleAddress(49712);
  const std::string text = FormatEmulatorAddress(address);
  EXPECT_EQ(ParseEmulatorAddress(text), address);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ParseEmulatorAddress(crlf), address) << "a file edited on Windows";

  const std::string client = "client-key a0a1a2a3a4a5a6a7a8a9aaabacadaeaf\n";
  const std::string emulator = "emulator-key 00112233445566778899aabbccddeeff\n";
  const std::string refused[] = {
      "",
      "port 49712\n" + client + emulator.substr(0, emulator.size() - 1),  // last line unended
      "port 0\n" + client + emulator,
      "port 65536\n" + client + emulator,
      "port 4x\n" + client + emulator,
      "port 49712\n" + client,
      "port 49712\n" + client + emulator + "more\n",
      "port 49712\n" + emulator + client,
      "port 49712\nclient-key a0a1\n" + emulator,
      "port 49712\nclient-key A0A1A2A3A4A5A6A7A8A9AAABACADAEAF\n" + emulator,
      "port  49712\n" + client + emulator,
  };
  for (const std::string& bad : refused) {
    EXPECT_FALSE(ParseEmulatorAddress(bad).has_value()) << bad;
  }
}

TEST(EmulatorAddress, FilesAreReplacedWholeAndTellMissingFromGarbled) {
  TempFolder folder;
  const fs::path file = folder / kEmulatorDeviceFileName;
  auto missing = ReadEmulatorAddress(file);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, ErrorCode::kNotFound);

  for (std::uint16_t port : {1000, 2000}) {
    ASSERT_TRUE(WriteEmulatorAddress(file, SampleAddress(port)));
    auto read = ReadEmulatorAddress(file);
    ASSERT_TRUE(read) << read.error().message;
    EXPECT_EQ(read.value(), SampleAddress(port));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1)
      << "nothing is left beside the file";

  std::ofstream(file, std::ios::binary | std::ios::trunc) << "port 1000\n";
  auto garbled = ReadEmulatorAddress(file);
  ASSERT_FALSE(garbled);
  EXPECT_EQ(garbled.error().code, ErrorCode::kBadFormat);
}

class Winsock {
 public:
  Winsock() {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~Winsock() { ::WSACleanup(); }
};

bool SendBytes(SOCKET socket, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const int sent = ::send(socket, reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(sent));
  }
  return true;
}

bool ReceiveBytes(SOCKET socket, std::span<std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const int got =
        ::recv(socket, reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
    if (got <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(got));
  }
  return true;
}

bool ReceiveOneFrame(SOCKET socket) {
  return static_cast<bool>(ReadFrame([&](std::span<std::uint8_t> bytes) -> Status {
    if (ReceiveBytes(socket, bytes)) return Ok{};
    return MakeError(ErrorCode::kNotFound, "closed");
  }));
}

bool SendOneFrame(SOCKET socket, char type, std::span<const std::uint8_t> payload) {
  return SendBytes(socket, EncodeFrame(type, payload));
}

// A stand-in for the emulator's device port, its address file in `folder`: it takes the client
// key, answers with `answerKey`, answers an open, and hands the connection to `behave` once the
// next request has arrived; it keeps the connection until the client closes it.
class MisbehavingPeer {
 public:
  explicit MisbehavingPeer(const fs::path& folder) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bound_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
             ::listen(listener_, 1) == 0 &&
             ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    address_ = SampleAddress(ntohs(address.sin_port));
    bound_ = bound_ && WriteEmulatorAddress(folder / kEmulatorDeviceFileName, address_);
  }
  ~MisbehavingPeer() {
    ::closesocket(listener_);  // an accept still waiting gives up
    if (thread_.joinable()) thread_.join();
  }
  bool bound() const { return bound_; }
  const EmulatorAddress& address() const { return address_; }

  template <typename Behaviour>
  void serve(EmulatorKey answerKey, Behaviour behave) {
    thread_ = std::thread([this, answerKey, behave] {
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      EmulatorKey key{};
      if (ReceiveBytes(client, key) && key == address_.clientKey && SendBytes(client, answerKey) &&
          ReceiveOneFrame(client) && SendOneFrame(client, 'R', EncodeResult(0)) &&
          ReceiveOneFrame(client)) {
        behave(client);
      }
      // Stays connected until the client lets go, like a device that is still plugged in.
      std::uint8_t byte = 0;
      while (::recv(client, reinterpret_cast<char*>(&byte), 1, 0) > 0) {
      }
      ::closesocket(client);
    });
  }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  bool bound_ = false;
  EmulatorAddress address_;
  std::thread thread_;
};

HidInterfaceInfo CollectionOf(const fs::path& folder) {
  HidInterfaceInfo info;
  info.path = std::string(kEmulatorPathPrefix) + PathText(folder / kEmulatorDeviceFileName) + "#0";
  return info;
}

// A port that does not answer with the emulator key of the file is never used: nothing is
// opened, so nothing of the user's reaches it.
TEST(EmulatorTcpClient, RefusesAPortWithoutTheEmulatorKey) {
  Winsock winsock;
  TempFolder folder;
  MisbehavingPeer peer(folder.path());
  ASSERT_TRUE(peer.bound());
  EmulatorKey wrong = peer.address().emulatorKey;
  wrong[15] ^= 1;
  peer.serve(wrong, [](SOCKET) {});
  auto connection = ConnectEmulator(folder / kEmulatorDeviceFileName);
  ASSERT_FALSE(connection);
  EXPECT_EQ(connection.error().code, ErrorCode::kAccessDenied);
  EXPECT_NE(connection.error().message.find("not served by this user's emulated mouse"),
            std::string::npos)
      << connection.error().message;
}

std::vector<std::uint8_t> Numbered(std::uint32_t number, std::size_t size) {
  std::vector<std::uint8_t> report(size, 0xAB);
  for (int i = 0; i < 4; ++i) report[i] = static_cast<std::uint8_t>(number >> (8 * i));
  return report;
}

// The same bounds as on Linux over TCP: the newest 64 reports pushed before an answer are kept,
// each cut to 4 KiB, and a peer that streams reports without answering cannot hold a request
// beyond its one deadline.
TEST(EmulatorTcpClient, KeepsItsBoundsAgainstAPeerThatStreamsReports) {
  Winsock winsock;
  {
    TempFolder folder;
    MisbehavingPeer peer(folder.path());
    ASSERT_TRUE(peer.bound());
    constexpr std::uint32_t kPushed = 1000;
    peer.serve(peer.address().emulatorKey, [](SOCKET client) {
      for (std::uint32_t i = 0; i < kPushed; ++i) {
        if (!SendOneFrame(client, 'I', Numbered(i, 8 * 1024))) return;
      }
      (void)SendOneFrame(client, 'D', std::vector<std::uint8_t>{6, 1, 2, 3});
    });
    EmulatorTcpBus bus(folder.path());
    auto handle = bus.open(CollectionOf(folder.path()), HidOpenMode::kEvents);
    ASSERT_TRUE(handle) << handle.error().message;
    std::array<std::uint8_t, 4> feature{6};
    auto answered = handle.value()->getFeature(feature);
    ASSERT_TRUE(answered) << answered.error().message;
    EXPECT_EQ(feature[3], 3);
    std::vector<std::uint32_t> delivered;
    std::vector<std::uint8_t> buffer(64 * 1024);
    for (;;) {
      auto read = handle.value()->read(buffer, std::chrono::milliseconds(0));
      ASSERT_TRUE(read) << read.error().message;
      if (read.value().status != HidReadStatus::kReport) break;
      EXPECT_LE(read.value().length, 4096u);
      delivered.push_back(buffer[0] | buffer[1] << 8 | buffer[2] << 16);
      ASSERT_LE(delivered.size(), 64u) << "more reports kept than the bound";
    }
    ASSERT_EQ(delivered.size(), 64u);
    EXPECT_EQ(delivered.front(), kPushed - 64);
    EXPECT_EQ(delivered.back(), kPushed - 1);
  }
  {
    TempFolder folder;
    MisbehavingPeer peer(folder.path());
    ASSERT_TRUE(peer.bound());
    peer.serve(peer.address().emulatorKey, [](SOCKET client) {
      for (std::uint32_t i = 0; SendOneFrame(client, 'I', Numbered(i, 64)); ++i) ::Sleep(1);
    });
    EmulatorTcpBus bus(folder.path());
    auto handle = bus.open(CollectionOf(folder.path()), HidOpenMode::kControl);
    ASSERT_TRUE(handle) << handle.error().message;
    std::array<std::uint8_t, 4> feature{6};
    auto answered = handle.value()->getFeature(feature);  // would never end without its deadline
    ASSERT_FALSE(answered);
    EXPECT_NE(answered.error().message.find("no answer"), std::string::npos)
        << answered.error().message;
    handle.value().reset();  // the peer's next send fails and its thread ends
  }
}

// A one-shot command's backend sets up no watches; the program's backend watches the emulated
// mouse's plugging too.
TEST(WindowsDeviceBackend, FollowsPluggingOnlyWhenAskedTo) {
  auto oneShot = WindowsDeviceBackend::create(DeviceDefinition{}, HotplugFollowing::kNone);
  ASSERT_TRUE(oneShot) << oneShot.error().message;
  EXPECT_TRUE(oneShot.value()->hotplugSignals().empty());
  EXPECT_FALSE(oneShot.value()->watchesEmulator());
  EXPECT_FALSE(oneShot.value()->watchesDeviceNotifications());

  auto following = WindowsDeviceBackend::create(DeviceDefinition{}, HotplugFollowing::kFollow);
  ASSERT_TRUE(following) << following.error().message;
  EXPECT_TRUE(following.value()->watchesEmulator());
  EXPECT_GE(following.value()->hotplugSignals().size(), 2u);
}

}  // namespace
}  // namespace vm31::windows_platform
