// The Windows backends that need no mouse, under Wine in the Windows build: interface paths,
// the file system edge's exclusive create and wide paths, the owner lock between threads, the
// loop's wake event, the clock's deadlines and the desktop's pointer settings.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "core/util/atomic_file.h"
#include "core/util/path_text.h"
#include "platform/windows/file_system_edge.h"
#include "platform/windows/hid_bus.h"
#include "platform/windows/mouse_ownership.h"
#include "platform/windows/precise_clock.h"
#include "platform/windows/system_mouse.h"
#include "platform/windows/windows_device_backend.h"
#include "support/temp_folder.h"

namespace vm31::windows_platform {
namespace {

namespace fs = std::filesystem;
using vm31::testing::TempFolder;

TEST(InterfacePaths, IdsParentAndKeyComeFromThePath) {
  struct Case {
    const char* path;
    std::uint16_t vendorId, productId;
    const char* parent;
  } cases[] = {
      {R"(\\?\HID#VID_1A2B&PID_C3D4&MI_01&Col02#8&2c1e3f&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})",
       0x1a2b, 0xc3d4, R"(\\?\hid#vid_1a2b&pid_c3d4)"},
      {R"(\\?\hid#vid_1a2b&pid_c3d4&col01#8&2c1e3f&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
       0x1a2b, 0xc3d4, R"(\\?\hid#vid_1a2b&pid_c3d4)"},
      {R"(\\?\hid#vid_1a2b&pid_c3d4#7&11&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})", 0x1a2b,
       0xc3d4, R"(\\?\hid#vid_1a2b&pid_c3d4#7&11&0&0000)"},
      {R"(\\?\hid#some_bus_device#1&2#{4d1e55b2-f16f-11cf-88cb-001111000030})", 0, 0,
       R"(\\?\hid#some_bus_device#1&2)"},
      {"", 0, 0, ""},
  };
  for (const Case& c : cases) {
    const InterfacePathIds ids = IdsOfInterfacePath(c.path);
    EXPECT_EQ(ids.vendorId, c.vendorId) << c.path;
    EXPECT_EQ(ids.productId, c.productId) << c.path;
    EXPECT_EQ(ParentOfInterfacePath(c.path), c.parent) << c.path;
  }
  EXPECT_EQ(InterfacePathKey(R"(\\?\HID#VID_1A2B&PID_C3D4&Col02)"),
            R"(\\?\hid#vid_1a2b&pid_c3d4&col02)");
}

std::string ReadText(const fs::path& path) {
  auto content = ReadWholeFile(path);
  return content ? std::string(content.value().begin(), content.value().end()) : "<unreadable>";
}

class InstalledWindowsEdge {
 public:
  InstalledWindowsEdge() { InstallWindowsFileSystemEdge(); }
  ~InstalledWindowsEdge() { InstallFileSystemEdge(nullptr); }
};

TEST(WindowsFileSystemEdge, CreatesOnlyFilesThatDoNotExist) {
  TempFolder folder;
  const fs::path path = folder / "config.bin.0123456789abcdef.tmp";
  WindowsFileSystemEdge edge;
  std::FILE* created = edge.createNewFile(path);
  ASSERT_NE(created, nullptr);
  ASSERT_GE(std::fputs("first", created), 0);
  std::fclose(created);
  EXPECT_EQ(edge.createNewFile(path), nullptr) << "an existing file is never reused";
  EXPECT_EQ(ReadText(path), "first");
  EXPECT_TRUE(edge.syncFile(path));
  EXPECT_FALSE(edge.syncFile(folder / "missing"));
}

// A name beyond the ANSI code page (Cyrillic, Japanese) is saved and read back whole.
TEST(WindowsFileSystemEdge, SavesAndReadsWidePaths) {
  TempFolder folder;
  InstalledWindowsEdge installed;
  const fs::path sub = folder.path() / fs::path(u8"\u041c\u044b\u0448\u044c \u30de\u30a6\u30b9");
  fs::create_directories(sub);
  const fs::path path = sub / "str.ini";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{'o', 'l', 'd'}));
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(sub), fs::directory_iterator()), 1);
  EXPECT_NE(PathText(path).find("\xd0\x9c\xd1\x8b\xd1\x88\xd1\x8c"), std::string::npos)
      << "messages name the folder in UTF-8";
}

TEST(NamedMutexOwnership, ASecondHolderWaitsAndIsToldTheMouseIsBusy) {
  HidInterfaceInfo control;
  control.path = R"(\\?\hid#vid_1a2b&pid_c3d4&col01#test-owner-lock)";
  NamedMutexOwnership ownership;
  auto first = ownership.acquire(control, std::chrono::milliseconds(0));
  ASSERT_TRUE(first) << first.error().message;

  // A mutex is held per thread: the other program is played by another thread.
  std::optional<Error> refused;
  std::thread([&] {
    NamedMutexOwnership other;
    auto second = other.acquire(control, std::chrono::milliseconds(50));
    if (!second) refused = second.error();
  }).join();
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->code, ErrorCode::kBusy);

  first.value().reset();
  bool taken = false;
  std::thread([&] {
    NamedMutexOwnership other;
    taken = static_cast<bool>(other.acquire(control, std::chrono::milliseconds(0)));
  }).join();
  EXPECT_TRUE(taken) << "released when the lock is destroyed";
  EXPECT_EQ(NamedMutexOwnership::MutexName(R"(\\?\hid#a&b)"), "Local\\kor-vm31-____hid_a_b");
}

TEST(EventWake, IsSetWhileRaisedAndCountsTwoRaisesOnce) {
  auto wake = EventWake::create();
  ASSERT_TRUE(wake);
  const auto isSet = [&] {
    return ::WaitForSingleObject(wake.value()->event(), 0) == WAIT_OBJECT_0;
  };
  EXPECT_FALSE(isSet());
  wake.value()->raise();
  wake.value()->raise();
  EXPECT_TRUE(isSet());
  EXPECT_TRUE(isSet()) << "waiting does not clear it";
  wake.value()->consume();
  EXPECT_FALSE(isSet());
}

TEST(PreciseClock, NeverReturnsBeforeTheDeadline) {
  PreciseClock clock;
  for (const auto wait : {std::chrono::microseconds(0), std::chrono::microseconds(300),
                          std::chrono::microseconds(2000), std::chrono::microseconds(5000)}) {
    const auto deadline = clock.now() + wait;
    clock.waitUntil(deadline);
    EXPECT_GE(clock.now(), deadline) << wait.count() << " us";
  }
  const auto past = clock.now() - std::chrono::seconds(1);
  clock.waitUntil(past);  // at once
  EXPECT_GE(clock.now(), past);
}

// Each pointer setting written through SystemParametersInfoW reads back as written, both ways
// (the speed passes Wine's reading of uiParam and Windows' of pvParam); the session's own values
// come back at the end.
TEST(WindowsSystemMouse, EverySettingReadsBackAsWritten) {
  WindowsSystemMouse mouse;
  EXPECT_EQ(mouse.desktopName(), "Windows");
  const auto precision = mouse.readPointerPrecision();
  const auto speed = mouse.readPointerSpeed();
  const auto lines = mouse.readWheelScrollLines();
  const auto doubleClick = mouse.readDoubleClickTime();
  for (const SystemOutcome outcome :
       {precision.outcome, speed.outcome, lines.outcome, doubleClick.outcome}) {
    ASSERT_EQ(outcome, SystemOutcome::kDone)
        << precision.detail << speed.detail << lines.detail << doubleClick.detail;
  }
  for (const bool on : {!precision.value, precision.value}) {
    ASSERT_EQ(mouse.writePointerPrecision(on).outcome, SystemOutcome::kDone);
    EXPECT_EQ(mouse.readPointerPrecision().value, on);
  }
  for (const int value : {3, 17, speed.value}) {
    const SystemWriting written = mouse.writePointerSpeed(value);
    ASSERT_EQ(written.outcome, SystemOutcome::kDone) << written.detail;
    EXPECT_EQ(mouse.readPointerSpeed().value, value);
  }
  for (const std::uint32_t value : {7u, kWheelPageScroll, lines.value}) {
    ASSERT_EQ(mouse.writeWheelScrollLines(value).outcome, SystemOutcome::kDone);
    EXPECT_EQ(mouse.readWheelScrollLines().value, value);
  }
  for (const int value : {350, 700, doubleClick.value}) {
    ASSERT_EQ(mouse.writeDoubleClickTime(value).outcome, SystemOutcome::kDone);
    EXPECT_EQ(mouse.readDoubleClickTime().value, value);
  }
}

}  // namespace
}  // namespace vm31::windows_platform
