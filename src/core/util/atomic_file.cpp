#include "core/util/atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

#include "core/util/path_text.h"

namespace vm31 {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::atomic<FileSystemEdge*> g_edge{nullptr};

constexpr std::size_t kTemporaryDigits = 16;
constexpr const char* kTemporaryEnding = ".tmp";

std::string Describe(const std::filesystem::path& path) {
  return "\"" + PathText(path) + "\"";
}

// Opening anything but a regular file may block (a pipe waits for its other end) or act on a
// device, so every open of a data file is preceded by this check.
std::optional<Error> NotRegularFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::regular) return std::nullopt;
  if (status.type() == std::filesystem::file_type::directory) {
    return MakeError(ErrorCode::kBadFormat, Describe(path) + ": is a folder, not a file");
  }
  return MakeError(ErrorCode::kBadFormat,
                   Describe(path) + ": is not a regular file (a pipe, device or socket)");
}

std::filesystem::path TemporarySibling(const std::filesystem::path& path) {
  // Shared by every thread that saves.
  static std::mutex generatorLock;
  static std::mt19937_64 generator{std::random_device{}()};
  unsigned long long number = 0;
  {
    const std::lock_guard<std::mutex> hold(generatorLock);
    number = generator();
  }
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", number);
  std::filesystem::path temporary = path;
  temporary += suffix;
  return temporary;
}

}  // namespace

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  // The C runtime's wide open: the path keeps every character (narrow paths are the ANSI code
  // page there).
  std::wstring wideMode;
  for (const char* c = mode; *c != '\0'; ++c) wideMode += static_cast<wchar_t>(*c);
  return ::_wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::FILE* FileSystemEdge::createNewFile(const std::filesystem::path& file) {
  return OpenFile(file, "wbx");  // "x": never reuse an existing file
}

Result<Bytes> ReadWholeFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return MakeError(ErrorCode::kNotFound, Describe(path) + ": file does not exist");
  }
  if (auto refused = NotRegularFile(path)) return *refused;
  FileHandle file{OpenFile(path, "rb")};
  if (!file) {
    return MakeError(ErrorCode::kIo, Describe(path) + ": cannot open for reading");
  }
  Bytes content;
  std::uint8_t chunk[64 * 1024];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    if (content.size() + got > maxBytes) {
      return MakeError(ErrorCode::kBadFormat, Describe(path) + ": file is larger than " +
                                                  std::to_string(maxBytes) + " bytes");
    }
    content.insert(content.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get())) {
    return MakeError(ErrorCode::kIo, Describe(path) + ": read error");
  }
  return content;
}

Result<PreparedFile> PreparedFile::Prepare(const std::filesystem::path& path,
                                           const Bytes& content) {
  std::error_code error;
  // A symbolic link (a settings file kept elsewhere) is followed: the file it names is replaced
  // and the link stays.
  std::filesystem::path target = path;
  if (std::filesystem::is_symlink(path, error)) {
    if (auto resolved = std::filesystem::canonical(path, error); !error) target = resolved;
  }
  // Renaming needs only a writable folder, so an existing file that cannot be opened for writing
  // (read-only, another user's) is refused here rather than silently replaced.
  std::optional<std::filesystem::perms> oldPermissions;
  const bool replacing = std::filesystem::exists(target, error);
  if (replacing) {
    if (auto refused = NotRegularFile(target)) return *refused;
    if (!FileHandle{OpenFile(target, "r+b")}) {
      return MakeError(ErrorCode::kIo,
                       Describe(path) + ": cannot open for writing; the old file is unchanged");
    }
    oldPermissions = std::filesystem::status(target, error).permissions();
  }
  FileSystemEdge* const edge = g_edge.load();
  std::filesystem::path temporary;
  FileHandle file;
  for (int attempt = 0; attempt < 8 && !file; ++attempt) {
    temporary = TemporarySibling(target);
    file.reset(edge != nullptr ? edge->createNewFile(temporary) : OpenFile(temporary, "wbx"));
  }
  if (!file) {
    return MakeError(ErrorCode::kIo, Describe(path) + ": cannot create a temporary file in " +
                                         Describe(path.parent_path()));
  }
  // From here on the temporary file goes again unless it is committed.
  PreparedFile prepared(path, target, temporary);
  const bool written = std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
  // fflush hands the bytes to the operating system; fclose reports late write errors such as a
  // full disk. Only a completely written file is renamed over the old one.
  const bool flushed = std::fflush(file.get()) == 0;
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !flushed || !closed) {
    return MakeError(ErrorCode::kIo, Describe(path) +
                                         ": write failed (disk full or not writable); the old "
                                         "file is unchanged");
  }
  // Before the rename: the new bytes on the disk, the old file's owner and mode on the new one.
  if (edge != nullptr) {
    Status synced = edge->syncFile(temporary);
    if (synced && replacing) synced = edge->keepOwner(target, temporary);
    if (!synced) {
      return MakeError(synced.error().code, synced.error().message + "; the old file is unchanged");
    }
  }
  if (oldPermissions) {
    std::error_code ignored;  // the content matters more than the mode bits
    std::filesystem::permissions(temporary, *oldPermissions, ignored);
  }
  return prepared;
}

PreparedFile::PreparedFile(std::filesystem::path path, std::filesystem::path target,
                           std::filesystem::path temporary)
    : path_(std::move(path)), target_(std::move(target)), temporary_(std::move(temporary)) {}

PreparedFile::PreparedFile(PreparedFile&& other) noexcept
    : path_(std::move(other.path_)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})) {}

PreparedFile& PreparedFile::operator=(PreparedFile&& other) noexcept {
  if (this != &other) {
    discard();
    path_ = std::move(other.path_);
    target_ = std::move(other.target_);
    temporary_ = std::exchange(other.temporary_, {});
  }
  return *this;
}

PreparedFile::~PreparedFile() {
  discard();
}

void PreparedFile::discard() {
  if (temporary_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
  temporary_.clear();
}

Status PreparedFile::rename() {
  if (temporary_.empty()) {
    return MakeError(ErrorCode::kUsage, Describe(path_) + ": the save was already committed");
  }
  std::error_code error;
  std::filesystem::rename(temporary_, target_, error);
  if (error) {
    discard();
    return MakeError(ErrorCode::kIo,
                     Describe(path_) + ": cannot replace the file: " + error.message());
  }
  temporary_.clear();
  return Ok{};
}

namespace {

// After the rename: the folder entry that names the new file on the disk.
Status SyncFolderAfterRename(const std::filesystem::path& folder) {
  FileSystemEdge* const edge = g_edge.load();
  if (edge == nullptr) return Ok{};
  if (auto synced = edge->syncFolder(folder); !synced) {
    return MakeError(
        synced.error().code,
        synced.error().message + "; the new file is in place but may not survive a power cut");
  }
  return Ok{};
}

}  // namespace

Status PreparedFile::commit() {
  if (auto renamed = rename(); !renamed) return renamed;
  return SyncFolderAfterRename(target_.parent_path());
}

std::vector<Status> CommitPreparedFiles(std::span<PreparedFile* const> saves) {
  std::vector<Status> outcomes;
  outcomes.reserve(saves.size());
  for (PreparedFile* save : saves) outcomes.push_back(save->rename());
  // Each folder of a renamed file once, in the order the saves were given.
  std::vector<std::filesystem::path> synced;
  for (std::size_t i = 0; i < saves.size(); ++i) {
    if (!outcomes[i]) continue;
    const std::filesystem::path folder = saves[i]->target_.parent_path();
    if (std::find(synced.begin(), synced.end(), folder) != synced.end()) continue;
    synced.push_back(folder);
    const Status folderSynced = SyncFolderAfterRename(folder);
    if (folderSynced) continue;
    for (std::size_t j = i; j < saves.size(); ++j) {
      if (outcomes[j] && saves[j]->target_.parent_path() == folder) {
        outcomes[j] = MakeError(folderSynced.error().code,
                                Describe(saves[j]->path_) + ": " + folderSynced.error().message);
      }
    }
  }
  return outcomes;
}

Status WriteFileAtomically(const std::filesystem::path& path, const Bytes& content) {
  Result<PreparedFile> prepared = PreparedFile::Prepare(path, content);
  if (!prepared) return prepared.error();
  return prepared.value().commit();
}

void InstallFileSystemEdge(FileSystemEdge* edge) {
  g_edge.store(edge);
}

bool IsTemporarySiblingName(const std::string& name) {
  const std::string ending = kTemporaryEnding;
  const std::size_t suffix = 1 + kTemporaryDigits + ending.size();  // ".<digits>.tmp"
  if (name.size() <= suffix || name.compare(name.size() - ending.size(), ending.size(), ending)) {
    return false;
  }
  const std::size_t dot = name.size() - suffix;
  if (name[dot] != '.') return false;
  for (std::size_t i = dot + 1; i < dot + 1 + kTemporaryDigits; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& folder, std::chrono::minutes olderThan) {
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) return 0;
  const auto limit = std::filesystem::file_time_type::clock::now() - olderThan;
  int removed = 0;
  // Stepped with increment(error): a folder that fails midway ends the sweep, never throws.
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::filesystem::directory_entry& entry = *entries;
    if (!IsTemporarySiblingName(PathText(entry.path().filename()))) continue;
    std::error_code entryError;
    if (!entry.is_regular_file(entryError) || entry.is_symlink(entryError)) continue;
    const auto modified = entry.last_write_time(entryError);
    if (entryError || modified > limit) continue;
    if (std::filesystem::remove(entry.path(), entryError)) ++removed;
  }
  return removed;
}

}  // namespace vm31
