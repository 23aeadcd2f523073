// The runtime folder, its watch and the emulated mouse's socket client against what another user or
// a misbehaving peer can do.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "core/device/device_definition.h"
#include "platform/linux/emulator_socket.h"
#include "platform/linux/linux_device_backend.h"
#include "platform/linux/runtime_folder.h"
#include "support/temp_folder.h"

namespace vm31::linux_platform {
namespace {

using vm31::testing::TempFolder;
namespace fs = std::filesystem;

class RuntimeVariable {
 public:
  explicit RuntimeVariable(const fs::path& value) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", value.c_str(), 1);
  }
  ~RuntimeVariable() {
    if (old_) {
      ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST(UserRuntimeFolder, UsesXdgRuntimeDirOnlyWhenItIsTheUsersOwnPrivateFolder) {
  const fs::path fallback = "/tmp/kor-vm31-" + std::to_string(::geteuid());
  struct Case {
    const char* what;
    mode_t mode;
    bool otherOwner;
    bool used;
  } cases[] = {
      {"own, 0700", 0700, false, true},
      {"own, 0755", 0755, false, false},
      {"own, 0777", 0777, false, false},
      {"own, 1777 like /tmp", 01777, false, false},
      {"another user's, 0700", 0700, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.otherOwner && ::geteuid() != 0) continue;  // only root can give a folder away
    TempFolder root;
    const auto folder = root / "runtime";
    fs::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), c.mode), 0);
    if (c.otherOwner) {
      ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    }
    RuntimeVariable variable(folder);

    auto chosen = UserRuntimeFolder();
    ASSERT_TRUE(chosen) << chosen.error().message;
    EXPECT_EQ(chosen.value(), c.used ? folder : fallback);
  }
}

TEST(UserRuntimeFolder, NarrowsItsOwnFallbackFolderBackToThisUser) {
  RuntimeVariable variable("relative/is/never/used");
  auto first = UserRuntimeFolder();
  ASSERT_TRUE(first) << first.error().message;
  ASSERT_EQ(::chmod(first.value().c_str(), 0777), 0);
  auto again = UserRuntimeFolder();
  ASSERT_TRUE(again) << again.error().message;
  EXPECT_TRUE(IsPrivateFolder(again.value()));
}

// A folder with a short path: a socket's path must fit in 108 bytes.
class SocketFolder {
 public:
  SocketFolder() {
    char name[] = "/tmp/vm31-peer-XXXXXX";
    if (::mkdtemp(name) != nullptr) path_ = name;
  }
  ~SocketFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A stand-in for the emulator's device socket that answers an open and then misbehaves.
class MisbehavingPeer {
 public:
  explicit MisbehavingPeer(const fs::path& folder) : path_(folder / kEmulatorDeviceSocketName) {
    listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.native().size() >= sizeof address.sun_path) return;
    std::strcpy(address.sun_path, path_.c_str());
    bound_ = ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
             ::listen(listener_.get(), 1) == 0;
  }
  ~MisbehavingPeer() {
    ::shutdown(listener_.get(), SHUT_RDWR);  // an accept still waiting gives up
    if (thread_.joinable()) thread_.join();
  }
  bool bound() const { return bound_; }

  // Accepts one connection, answers its open, then hands the connection to `behave` once the
  // next request has arrived; keeps the connection until the client closes it.
  template <typename Behaviour>
  void serve(Behaviour behave) {
    thread_ = std::thread([this, behave] {
      UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (!client.valid()) return;
      auto open = ReceiveFrame(client.get());
      if (!open || !SendFrame(client.get(), 'R', EncodeResult(0))) return;
      if (!ReceiveFrame(client.get())) return;
      behave(client.get());
      // Stays connected until the client lets go, like a device that is still plugged in.
      std::uint8_t byte = 0;
      while (::recv(client.get(), &byte, 1, 0) > 0) {
      }
    });
  }

  HidInterfaceInfo info() const {
    HidInterfaceInfo info;
    info.path = std::string(kEmulatorPathPrefix) + path_.string() + "#0";
    return info;
  }

 private:
  fs::path path_;
  UniqueFd listener_;
  bool bound_ = false;
  std::thread thread_;
};

std::vector<std::uint8_t> Numbered(std::uint32_t number, std::size_t size) {
  std::vector<std::uint8_t> report(size, 0xAB);
  for (int i = 0; i < 4; ++i) report[i] = static_cast<std::uint8_t>(number >> (8 * i));
  return report;
}

std::uint32_t NumberOf(const std::uint8_t* report) {
  return report[0] | report[1] << 8 | report[2] << 16 | static_cast<std::uint32_t>(report[3]) << 24;
}

// Input reports pushed before an answer are kept for read(), but only so many: a peer cannot
// make the client buffer without limit. The newest are kept, in order.
TEST(EmulatorSocketClient, KeepsABoundedNumberOfTheReportsPushedBeforeAnAnswer) {
  SocketFolder folder;
  MisbehavingPeer peer(folder.path());
  ASSERT_TRUE(peer.bound());
  constexpr std::uint32_t kPushed = 3000;
  peer.serve([](int client) {
    for (std::uint32_t i = 0; i < kPushed; ++i) {
      if (!SendFrame(client, 'I', Numbered(i, 8 * 1024))) return;
    }
    (void)SendFrame(client, 'D', std::vector<std::uint8_t>{6, 1, 2, 3});
  });
  EmulatorSocketBus bus(folder.path());
  auto handle = bus.open(peer.info(), HidOpenMode::kEvents);
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
    ASSERT_GE(read.value().length, 4u);
    EXPECT_LE(read.value().length, 4096u) << "a queued report is cut to a report's size";
    delivered.push_back(NumberOf(buffer.data()));
    ASSERT_LE(delivered.size(), 64u) << "more reports kept than the bound";
  }
  ASSERT_EQ(delivered.size(), 64u);
  for (std::size_t i = 0; i < delivered.size(); ++i) EXPECT_EQ(delivered[i], kPushed - 64 + i);
}

// Reports that arrive together with an answer (one send, so the client reads them ahead with it)
// are delivered by the next reads in order, without waiting; a wake raised meanwhile comes first
// and the report after it is still there.
TEST(EmulatorSocketClient, ReportsReadAheadWithAnAnswerAreDeliveredInOrder) {
  SocketFolder folder;
  MisbehavingPeer peer(folder.path());
  ASSERT_TRUE(peer.bound());
  peer.serve([](int client) {
    std::vector<std::uint8_t> together = EncodeFrame('D', std::vector<std::uint8_t>{6, 1, 2, 3});
    for (std::uint32_t i : {1u, 2u}) {
      const auto frame = EncodeFrame('I', Numbered(i, 8));
      together.insert(together.end(), frame.begin(), frame.end());
    }
    (void)::send(client, together.data(), together.size(), MSG_NOSIGNAL);
  });
  EmulatorSocketBus bus(folder.path());
  auto handle = bus.open(peer.info(), HidOpenMode::kEvents);
  ASSERT_TRUE(handle) << handle.error().message;
  std::array<std::uint8_t, 4> feature{6};
  auto answered = handle.value()->getFeature(feature);
  ASSERT_TRUE(answered) << answered.error().message;
  EXPECT_EQ(feature[3], 3);

  std::array<std::uint8_t, 64> buffer{};
  const auto read = [&] {
    auto result = handle.value()->read(buffer, std::chrono::milliseconds(0));
    EXPECT_TRUE(result) << result.error().message;
    return result ? result.value().status : HidReadStatus::kTimedOut;
  };
  ASSERT_EQ(read(), HidReadStatus::kReport);
  EXPECT_EQ(NumberOf(buffer.data()), 1u);
  handle.value()->wake();
  EXPECT_EQ(read(), HidReadStatus::kWoken);
  ASSERT_EQ(read(), HidReadStatus::kReport);
  EXPECT_EQ(NumberOf(buffer.data()), 2u);
  EXPECT_EQ(read(), HidReadStatus::kTimedOut);
}

// A peer that keeps pushing reports and never answers, or trickles the answer byte by byte,
// cannot hold a request beyond its one deadline.
TEST(EmulatorSocketClient, ARequestEndsAtItsDeadlineHoweverThePeerStreams) {
  struct Case {
    const char* what;
    void (*behave)(int client);
  } cases[] = {
      {"endless reports",
       [](int client) {
         for (std::uint32_t i = 0; SendFrame(client, 'I', Numbered(i, 64)); ++i) {
           std::this_thread::sleep_for(std::chrono::milliseconds(1));
         }
       }},
      {"an answer trickled a byte every second",
       [](int client) {
         const std::uint8_t frame[] = {'D', 4, 0, 0, 0, 6, 1, 2, 3};
         for (std::uint8_t byte : frame) {
           if (::send(client, &byte, 1, MSG_NOSIGNAL) != 1) return;
           std::this_thread::sleep_for(std::chrono::seconds(1));
         }
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SocketFolder folder;
    MisbehavingPeer peer(folder.path());
    ASSERT_TRUE(peer.bound());
    peer.serve(c.behave);
    EmulatorSocketBus bus(folder.path());
    auto handle = bus.open(peer.info(), HidOpenMode::kControl);
    ASSERT_TRUE(handle) << handle.error().message;

    std::array<std::uint8_t, 4> feature{6};
    auto answered = handle.value()->getFeature(feature);
    ASSERT_FALSE(answered);
    EXPECT_NE(answered.error().message.find("no answer"), std::string::npos)
        << answered.error().message;
    handle.value().reset();  // the peer's next send fails and its thread ends
  }
}

// The inotify descriptors this process holds (the watch on the runtime folder is one).
int InotifyDescriptors() {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(entry.path(), error).string() == "anon_inode:inotify") ++count;
  }
  return count;
}

// A one-shot command's backend looks at the bus without watching the runtime folder (or udev);
// the program's backend watches it.
TEST(LinuxDeviceBackend, FollowsPluggingOnlyWhenAskedTo) {
  TempFolder root;
  fs::permissions(root.path(), fs::perms::owner_all, fs::perm_options::replace);
  const RuntimeVariable runtime(root.path());
  const int before = InotifyDescriptors();
  {
    auto oneShot = LinuxDeviceBackend::create(DeviceDefinition{}, HotplugFollowing::kNone);
    ASSERT_TRUE(oneShot.ok()) << oneShot.error().message;
    EXPECT_EQ(InotifyDescriptors(), before);
    EXPECT_FALSE(oneShot.value()->watchesUdev());
  }
  auto following = LinuxDeviceBackend::create(DeviceDefinition{}, HotplugFollowing::kFollow);
  ASSERT_TRUE(following.ok()) << following.error().message;
  EXPECT_EQ(InotifyDescriptors(), before + 1);
}

}  // namespace
}  // namespace vm31::linux_platform
