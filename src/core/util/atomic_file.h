#pragma once
// Whole-file reads and crash-safe whole-file writes.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/util/result.h"

namespace vm31 {

using Bytes = std::vector<std::uint8_t>;

// Reads a whole file. Only regular files are read: a pipe, device or socket is refused by name
// before it is opened (opening a pipe would block until a writer comes). Files larger than
// `maxBytes` are refused with kBadFormat before their content is read, so a huge or endless file
// never fills memory.
// Opens `path` with the C library's `mode` ("rb", "r+b", ...), the path given whole on every
// system (wide on Windows); nullptr when it cannot be opened.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

Result<Bytes> ReadWholeFile(const std::filesystem::path& path,
                            std::uintmax_t maxBytes = 64u * 1024u * 1024u);

// What a durable save needs beyond the standard library. The platform installs its edge once at
// start (InstallFileSystemEdge); without one, saves stay atomic against crashes of the program
// but a power cut may still lose the last save, and a replaced file gets the saving user as owner.
class FileSystemEdge {
 public:
  virtual ~FileSystemEdge() = default;
  // Forces the bytes of a written, closed file onto the disk.
  virtual Status syncFile(const std::filesystem::path& file) = 0;
  // Forces a folder's entries (a rename just made in it) onto the disk.
  virtual Status syncFolder(const std::filesystem::path& folder) = 0;
  // Gives `replacement` the owner and group of `original`; when the saving user cannot, an error
  // that names the owner.
  virtual Status keepOwner(const std::filesystem::path& original,
                           const std::filesystem::path& replacement) = 0;
  // Creates `file`, which must not exist yet, open for writing in binary; nullptr when it exists
  // or cannot be created. The default is the C library's exclusive mode ("wbx"), which some
  // Windows C runtimes ignore: a Windows edge creates the file with the system's own call.
  virtual std::FILE* createNewFile(const std::filesystem::path& file);
};

// Installs the edge every later WriteFileAtomically uses (nullptr: none). `edge` must outlive
// every save; install it before a second thread saves.
void InstallFileSystemEdge(FileSystemEdge* edge);

// Replaces `path` with `content` atomically: the bytes go to a temporary sibling file
// ("<name>.<16 hex digits>.tmp"), are flushed and checked for late errors (a full disk), synced
// to the disk, and the temporary file is renamed over `path`; then the folder is synced. Readers,
// and a crash of the program, a full disk or (with an edge) a power cut at any moment, see either
// the complete old file or the complete new one, never a torn or empty file. The temporary file
// is removed when anything fails. An existing file keeps its permission bits and (with an edge)
// its owner and group; one that cannot be opened for writing, or is no regular file, is refused
// and left as it is; a symbolic link is followed and stays a link.
Status WriteFileAtomically(const std::filesystem::path& path, const Bytes& content);

// WriteFileAtomically in two steps, for a save whose content is known before the moment it must
// take effect: Prepare does everything up to the rename (the temporary sibling written, synced,
// given the old file's owner and mode; the same refusals and errors), commit() renames it over
// the file and syncs the folder. Until the commit the old file is untouched; a prepared save
// that is never committed (dropped, or moved from) removes its temporary file.
class PreparedFile {
 public:
  static Result<PreparedFile> Prepare(const std::filesystem::path& path, const Bytes& content);
  PreparedFile(PreparedFile&& other) noexcept;
  PreparedFile& operator=(PreparedFile&& other) noexcept;
  PreparedFile(const PreparedFile&) = delete;
  PreparedFile& operator=(const PreparedFile&) = delete;
  ~PreparedFile();

  // Puts the new content in place; once (a second call is refused with kUsage).
  Status commit();

 private:
  friend std::vector<Status> CommitPreparedFiles(std::span<PreparedFile* const> saves);

  PreparedFile(std::filesystem::path path, std::filesystem::path target,
               std::filesystem::path temporary);
  void discard();
  // commit() up to the folder sync: the rename alone.
  Status rename();

  std::filesystem::path path_;       // as the caller named it (in messages)
  std::filesystem::path target_;     // the file replaced (a link's target)
  std::filesystem::path temporary_;  // empty once committed or discarded
};

// Commits several prepared saves, in the order given, and then syncs each of their folders once:
// the durability of committing them one by one (each file complete whenever it is looked at,
// every rename on the disk before any success is returned) with one folder wait for the saves of
// one folder instead of one each. One status per save, in order; a folder that cannot be synced
// fails each save in it, as commit() would.
std::vector<Status> CommitPreparedFiles(std::span<PreparedFile* const> saves);

// True for a name WriteFileAtomically gives its temporary files.
bool IsTemporarySiblingName(const std::string& name);

// Removes the temporary files of WriteFileAtomically in `folder` that a killed save left
// behind: regular files of that name pattern not modified for `olderThan` (younger ones may
// belong to a save running right now). Returns how many were removed; problems are ignored.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder,
                              std::chrono::minutes olderThan = std::chrono::minutes(10));

}  // namespace vm31
