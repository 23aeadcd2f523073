#pragma once
// The Windows edge of the core's atomic saves: the new file's bytes flushed to the disk
// (FlushFileBuffers) and the temporary file created with CREATE_NEW, so an existing file is
// never reused whatever the C runtime makes of fopen's "x".
//
// The folder needs no sync of its own: NTFS journals the rename. Owners are not carried over:
// a file replaced in the user's data folder takes the folder's inherited permissions, as a file
// the user saves anew.

#include "core/util/atomic_file.h"

namespace vm31::windows_platform {

class WindowsFileSystemEdge : public FileSystemEdge {
 public:
  Status syncFile(const std::filesystem::path& file) override;
  Status syncFolder(const std::filesystem::path& folder) override;
  Status keepOwner(const std::filesystem::path& original,
                   const std::filesystem::path& replacement) override;
  std::FILE* createNewFile(const std::filesystem::path& file) override;
};

// Installs one process-wide WindowsFileSystemEdge for every later save; called first by each
// program.
void InstallWindowsFileSystemEdge();

}  // namespace vm31::windows_platform
