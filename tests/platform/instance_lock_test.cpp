#include "platform/linux/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/other_user.h"
#include "support/temp_folder.h"

namespace vm31::linux_platform {
namespace {

using vm31::testing::RunAsNobody;
using vm31::testing::TempFolder;
namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Another user plants something at the lock's name in a folder both can write: the lock must
// neither follow it nor truncate a file it did not create.
TEST(InstanceLock, RefusesWhatAnotherUserPlantedAtTheLocksName) {
  if (!vm31::testing::CanActAsOtherUsers()) GTEST_SKIP() << "needs root to act as nobody";
  struct Case {
    const char* what;
    int (*plant)(const char* lock, const char* victim);
    const char* readThroughLock;
  } cases[] = {
      {"a symbolic link to the victim's file",
       [](const char* lock, const char* victim) { return ::symlink(victim, lock) == 0 ? 0 : 1; },
       "precious"},
      {"a file of its own",
       [](const char* lock, const char*) {
         std::ofstream(lock) << "tray\n";
         return fs::exists(lock) ? 0 : 1;
       },
       "tray\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder root;
    const auto shared = root / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all);  // 0777: a folder every user writes
    const auto victim = root / "precious.txt";
    std::ofstream(victim) << "precious";
    const auto lock = shared / kInstanceLockName;
    ASSERT_EQ(RunAsNobody([&] { return c.plant(lock.c_str(), victim.c_str()); }), 0);

    auto acquired = InstanceLock::acquire(shared);
    ASSERT_FALSE(acquired) << "took the planted file as its lock";
    EXPECT_NE(acquired.error().message.find(lock.string()), std::string::npos)
        << acquired.error().message;
    EXPECT_EQ(ReadText(victim), "precious");
    EXPECT_EQ(ReadText(lock), c.readThroughLock);
  }
}

TEST(InstanceLock, TakesAndEmptiesItsOwnStaleLock) {
  TempFolder folder;
  std::ofstream(folder / kInstanceLockName) << "window\n";
  auto acquired = InstanceLock::acquire(folder.path());
  ASSERT_TRUE(acquired) << acquired.error().message;
  ASSERT_TRUE(acquired.value());
  EXPECT_EQ(ReadText(folder / kInstanceLockName), "");
  EXPECT_EQ(InstanceLock::runningMode(folder.path()), InstanceMode::kUnknown);
}

}  // namespace
}  // namespace vm31::linux_platform
