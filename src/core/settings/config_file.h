#pragma once
// config.bin: exactly 1986 bytes, the first-run flag byte followed by the settings record.
// There is no header, version or checksum: the size is the only validation. The program never
// creates the file; it only replaces one that is already there.

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/settings/mouse_config.h"
#include "core/util/atomic_file.h"
#include "core/util/result.h"

namespace vm31 {

inline constexpr std::size_t kConfigFileSize = 1 + kMouseConfigSize;  // 1986

// The message the window shows when config.bin is missing, at load and at save.
inline constexpr const char* kConfigMissingMessage = "Config file is not exist.";

enum class ConfigLoadOutcome {
  kLoaded,      // the flag and the record were read
  kMissing,     // no file: the window says kConfigMissingMessage, the record stays as it was
  kUnreadable,  // exists but cannot be read: ignored, the record stays as it was
  kWrongSize,   // any size but 1986 bytes: ignored silently, the record stays as it was
};

struct ConfigLoadResult {
  ConfigLoadOutcome outcome;
  std::string detail;  // names the file and the problem (for logs and vm31ctl); empty when loaded
};

// Reads config.bin into `config` and `firstRunFlag`. Only a 1986-byte file changes them.
ConfigLoadResult LoadConfig(const std::filesystem::path& path, MouseConfig& config,
                            std::uint8_t& firstRunFlag);

// Replaces an existing config.bin with the flag byte 1 and the record. The in-memory flag is
// not changed. A missing file is refused with kNotFound and kConfigMissingMessage; a failed
// write leaves the old file complete and unchanged.
Status SaveConfig(const std::filesystem::path& path, const MouseConfig& config);
// SaveConfig up to the rename (PreparedFile): the same checks and errors, the file untouched
// until the commit.
Result<PreparedFile> PrepareConfigSave(const std::filesystem::path& path,
                                       const MouseConfig& config);

// The file image of a record behind a flag byte (used by SaveConfig and for the factory file).
Bytes ConfigFileImage(std::uint8_t firstRunFlag, const MouseConfig& config);

}  // namespace vm31
