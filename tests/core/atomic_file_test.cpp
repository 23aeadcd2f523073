#include "core/util/atomic_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "support/temp_folder.h"

namespace vm31 {
namespace {

using vm31::testing::TempFolder;
namespace fs = std::filesystem;

void WriteText(const fs::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
  auto content = ReadWholeFile(path);
  return content ? std::string(content.value().begin(), content.value().end()) : "<unreadable>";
}

std::size_t EntryCount(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Settings kept elsewhere and linked into the data folder stay linked after a save.
TEST(WriteFileAtomically, ReplacesTheFileALinkNamesAndKeepsTheLink) {
  TempFolder folder;
  fs::create_directory(folder / "elsewhere");
  const auto real = folder / "elsewhere" / "str.ini";
  const auto link = folder / "str.ini";
  WriteText(real, "old");
  fs::create_symlink(real, link);

  ASSERT_TRUE(WriteFileAtomically(link, Bytes{'n', 'e', 'w'}));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadText(real), "new");
  EXPECT_EQ(EntryCount(folder / "elsewhere"), 1u) << "no temporary file is left behind";
}

TEST(WriteFileAtomically, KeepsThePermissionBitsOfTheOldFile) {
  TempFolder folder;
  const auto path = folder / "record.ini";
  WriteText(path, "old");
  const auto privateMode = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(path, privateMode);

  ASSERT_TRUE(WriteFileAtomically(path, Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, privateMode);
}

// Renaming needs only a writable folder; a read-only file must still not be replaced.
TEST(WriteFileAtomically, RefusesAFileThatCannotBeOpenedForWriting) {
  TempFolder folder;
  const auto path = folder / "config.bin";
  WriteText(path, "old");
  fs::permissions(path, fs::perms::owner_read);
  if (std::FILE* probe = std::fopen(path.c_str(), "r+b")) {
    std::fclose(probe);
    GTEST_SKIP() << "the permission bits do not bind this user (running as root)";
  }

  const Status saved = WriteFileAtomically(path, Bytes{'n', 'e', 'w'});
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.error().message.find(path.string()), std::string::npos);
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_EQ(EntryCount(folder.path()), 1u);
}

}  // namespace
}  // namespace vm31
