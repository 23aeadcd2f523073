#pragma once
// Whole-file reads and crash-safe whole-file writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/util/result.h"

namespace vm31 {

using Bytes = std::vector<std::uint8_t>;

// Reads a whole file. Files larger than `maxBytes` are refused with kBadFormat before their
// content is read, so a huge or endless file never fills memory.
Result<Bytes> ReadWholeFile(const std::filesystem::path& path,
                            std::uintmax_t maxBytes = 64u * 1024u * 1024u);

// Replaces `path` with `content` atomically: the bytes go to a temporary file in the same
// folder, are flushed to the operating system and checked for late errors (a full disk), and the
// temporary file is renamed over `path`. Readers, and a crash of the program or a full disk at any
// moment, see either the complete old file or the complete new one, never a torn or empty file.
// (The standard library cannot force the bytes onto the disk before the rename; surviving a power
// cut relies on the file system ordering data before the rename, as ext4 does for replacements.)
// The temporary file is removed when anything fails. An existing file keeps its permission bits;
// one that cannot be opened for writing is refused and left as it is; a symbolic link is followed
// and stays a link.
Status WriteFileAtomically(const std::filesystem::path& path, const Bytes& content);

}  // namespace vm31
