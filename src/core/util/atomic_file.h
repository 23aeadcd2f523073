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
// folder, are flushed to disk, and the temporary file is renamed over `path`. Readers (and a
// crash or a full disk at any moment) see either the complete old file or the complete new
// one, never a torn or empty file. The temporary file is removed when anything fails.
Status WriteFileAtomically(const std::filesystem::path& path, const Bytes& content);

}  // namespace vm31
