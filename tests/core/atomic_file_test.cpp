#include "core/util/atomic_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/util/path_text.h"
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
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links are a Unix fact here: Windows grants them to administrators "
                  "and developer mode only, and the C++ runtime cannot make them";
#endif
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
#ifdef _WIN32
  GTEST_SKIP() << "Unix mode bits: a Windows file has only its read-only attribute and ACLs";
#endif
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
  if (std::FILE* probe = OpenFile(path, "r+b")) {
    std::fclose(probe);
    GTEST_SKIP() << "the permission bits do not bind this user (running as root)";
  }

  const Status saved = WriteFileAtomically(path, Bytes{'n', 'e', 'w'});
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.error().message.find(PathText(path)), std::string::npos);
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_EQ(EntryCount(folder.path()), 1u);
}

// Records what a save asks of the platform, with what the folder held at that moment.
class RecordingEdge : public FileSystemEdge {
 public:
  explicit RecordingEdge(fs::path target) : target_(std::move(target)) {}
  Status syncFile(const fs::path& file) override {
    calls.push_back("syncFile " + Role(file) + " target=" + ReadText(target_));
    return Ok{};
  }
  Status syncFolder(const fs::path& folder) override {
    calls.push_back("syncFolder " + Role(folder) + " target=" + ReadText(target_));
    return Ok{};
  }
  Status keepOwner(const fs::path& original, const fs::path& replacement) override {
    calls.push_back("keepOwner " + Role(original) + " " + Role(replacement));
    if (refuseOwner)
      return MakeError(ErrorCode::kAccessDenied,
                       "\"" + original.generic_string() + "\": belongs to someone else");
    return Ok{};
  }
  std::vector<std::string> calls;
  bool refuseOwner = false;

 private:
  std::string Role(const fs::path& path) const {
    if (path == target_) return "target";
    if (path == target_.parent_path()) return "folder";
    if (path.parent_path() == target_.parent_path() &&
        IsTemporarySiblingName(path.filename().generic_string()) &&
        path.filename().generic_string().rfind(target_.filename().generic_string() + ".", 0) == 0) {
      return "temporary(" + ReadText(path) + ")";
    }
    return "other:" + path.generic_string();
  }
  fs::path target_;
};

class InstalledEdge {
 public:
  explicit InstalledEdge(FileSystemEdge* edge) { InstallFileSystemEdge(edge); }
  ~InstalledEdge() { InstallFileSystemEdge(nullptr); }
};

// A power cut must find either file complete: the new bytes are on the disk before the rename
// makes them the file, and the rename is on the disk before the save reports success.
TEST(WriteFileAtomically, SyncsTheNewFileBeforeTheRenameAndTheFolderAfterIt) {
  TempFolder folder;
  const auto path = folder / "config.bin";
  WriteText(path, "old");
  RecordingEdge edge(path);
  InstalledEdge installed(&edge);

  ASSERT_TRUE(WriteFileAtomically(path, Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(edge.calls, (std::vector<std::string>{"syncFile temporary(new) target=old",
                                                  "keepOwner target temporary(new)",
                                                  "syncFolder folder target=new"}));
}

TEST(WriteFileAtomically, AnOwnerThatCannotBeKeptLeavesTheOldFileAsItIs) {
  TempFolder folder;
  const auto path = folder / "config.bin";
  WriteText(path, "old");
  RecordingEdge edge(path);
  edge.refuseOwner = true;
  InstalledEdge installed(&edge);

  const Status saved = WriteFileAtomically(path, Bytes{'n', 'e', 'w'});
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.error().message.find("belongs to someone else"), std::string::npos);
  EXPECT_NE(saved.error().message.find("the old file is unchanged"), std::string::npos);
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_EQ(EntryCount(folder.path()), 1u) << "the temporary file is removed";
}

TEST(WriteFileAtomically, ANewFileHasNoOwnerToKeep) {
  TempFolder folder;
  const auto path = folder / "record.ini";
  RecordingEdge edge(path);
  InstalledEdge installed(&edge);

  ASSERT_TRUE(WriteFileAtomically(path, Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(edge.calls, (std::vector<std::string>{"syncFile temporary(new) target=<unreadable>",
                                                  "syncFolder folder target=new"}));
}

// A save prepared ahead: synced beside the file, which stays old until the commit; a prepared
// save never committed leaves nothing behind, and a commit happens once.
TEST(PreparedFile, TheFileChangesAtTheCommitAndADroppedSaveLeavesNoTrace) {
  TempFolder folder;
  const auto path = folder / "config.bin";
  WriteText(path, "old");
  RecordingEdge edge(path);
  InstalledEdge installed(&edge);

  Result<PreparedFile> prepared = PreparedFile::Prepare(path, Bytes{'n', 'e', 'w'});
  ASSERT_TRUE(prepared);
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_EQ(edge.calls, (std::vector<std::string>{"syncFile temporary(new) target=old",
                                                  "keepOwner target temporary(new)"}));
  ASSERT_TRUE(prepared.value().commit());
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_EQ(edge.calls.back(), "syncFolder folder target=new");
  EXPECT_EQ(prepared.value().commit().error().code, ErrorCode::kUsage);
  EXPECT_EQ(ReadText(path), "new");

  {
    Result<PreparedFile> dropped = PreparedFile::Prepare(path, Bytes{'x'});
    ASSERT_TRUE(dropped);
    EXPECT_EQ(EntryCount(folder.path()), 2u);
    PreparedFile moved = std::move(dropped).value();  // the moved-from save removes nothing
    EXPECT_EQ(EntryCount(folder.path()), 2u);
  }
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_EQ(EntryCount(folder.path()), 1u) << "the temporary file is removed";
}

// Records each folder sync with the content every watched file has at that moment; a folder
// named in `failing` cannot be synced.
class FolderSyncEdge : public FileSystemEdge {
 public:
  explicit FolderSyncEdge(std::vector<fs::path> watched) : watched_(std::move(watched)) {}
  Status syncFile(const fs::path&) override { return Ok{}; }
  Status syncFolder(const fs::path& folder) override {
    std::string call = "syncFolder " + folder.filename().generic_string();
    for (const auto& file : watched_) call += " " + ReadText(file);
    calls.push_back(call);
    if (folder == failing) {
      return MakeError(ErrorCode::kIo, "\"" + folder.generic_string() + "\": no space left");
    }
    return Ok{};
  }
  Status keepOwner(const fs::path&, const fs::path&) override { return Ok{}; }
  std::vector<std::string> calls;
  fs::path failing;

 private:
  std::vector<fs::path> watched_;
};

// Saves committed together: every file renamed before any folder is synced, each folder synced
// once, after which (and only then) each save reports success; a folder that cannot be synced
// fails the saves in it, by their names, and no other.
TEST(CommitPreparedFiles, RenamesEverySaveThenSyncsEachFolderOnce) {
  TempFolder folder;
  fs::create_directory(folder / "data");
  fs::create_directory(folder / "other");
  const fs::path files[] = {folder / "data" / "config.bin", folder / "data" / "str.ini",
                            folder / "other" / "record.ini"};
  for (const bool folderFails : {false, true}) {
    SCOPED_TRACE(folderFails ? "the data folder cannot be synced" : "every folder synced");
    for (const auto& file : files) WriteText(file, "old");
    FolderSyncEdge edge({files[0], files[1], files[2]});
    if (folderFails) edge.failing = folder / "data";
    InstalledEdge installed(&edge);
    std::vector<PreparedFile> prepared;
    for (const auto& file : files) {
      auto save = PreparedFile::Prepare(file, Bytes{'n', 'e', 'w'});
      ASSERT_TRUE(save);
      prepared.push_back(std::move(save).value());
    }
    std::vector<PreparedFile*> saves;
    for (auto& save : prepared) saves.push_back(&save);

    const std::vector<Status> outcomes = CommitPreparedFiles(saves);
    EXPECT_EQ(edge.calls, (std::vector<std::string>{"syncFolder data new new new",
                                                    "syncFolder other new new new"}));
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(outcomes[2]);
    for (int i : {0, 1}) {
      EXPECT_EQ(static_cast<bool>(outcomes[i]), !folderFails);
      if (!folderFails) continue;
      const std::string& message = outcomes[i].error().message;
      EXPECT_NE(message.find(PathText(files[i])), std::string::npos) << message;
      EXPECT_NE(message.find("no space left"), std::string::npos) << message;
      EXPECT_NE(message.find("may not survive a power cut"), std::string::npos) << message;
    }
    for (const auto& file : files) EXPECT_EQ(ReadText(file), "new");
    EXPECT_EQ(EntryCount(folder / "data"), 2u) << "no temporary file is left behind";
    EXPECT_EQ(prepared[0].commit().error().code, ErrorCode::kUsage) << "committed once";
  }
}

TEST(RemoveStaleTemporaryFiles, RemovesOnlyOldFilesOfTheSavesOwnPattern) {
  TempFolder folder;
  struct Case {
    const char* name;
    bool old;
    bool removed;
  } cases[] = {
      {"config.bin.0123456789abcdef.tmp", true, true},
      {"str.ini.fedcba9876543210.tmp", true, true},
      {"record.ini.0123456789abcdef.tmp", false, false},  // a save running now
#ifndef _WIN32  // Windows file names ignore case: this would be the first case's file again
      {"config.bin.0123456789ABCDEF.tmp", true, false},  // not the pattern (upper case)
#endif
      {"config.bin.0123456789abcde.tmp", true, false},  // 15 digits
      {".0123456789abcdef.tmp", true, false},           // no file name before it
      {"notes.tmp", true, false},
      {"config.bin", true, false},
  };
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const auto& c : cases) {
    WriteText(folder / c.name, "x");
    if (c.old) fs::last_write_time(folder / c.name, longAgo);
  }
  fs::create_directory(folder / "config.bin.1111111111111111.tmp");  // a folder is never removed
  // The C++ runtime of MinGW cannot set a folder's time (it opens the folder as a file); there
  // the folder stays young, and must stay all the same.
  std::error_code folderTime;
  fs::last_write_time(folder / "config.bin.1111111111111111.tmp", longAgo, folderTime);
#ifndef _WIN32
  ASSERT_FALSE(folderTime) << folderTime.message();
#endif

  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 2);
  for (const auto& c : cases) EXPECT_EQ(fs::exists(folder / c.name), !c.removed) << c.name;
  EXPECT_TRUE(fs::exists(folder / "config.bin.1111111111111111.tmp"));
}

}  // namespace
}  // namespace vm31
