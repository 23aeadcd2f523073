#pragma once
// Argument parsing and file defaults shared by vm31ctl's commands.

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/device/device_definition.h"
#include "core/settings/data_location.h"
#include "core/util/result.h"

namespace vm31::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFileError = 2;

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--config" -> "FILE"; flags map to ""
  bool has(const std::string& option) const { return options.count(option) != 0; }
  std::optional<std::string> value(const std::string& option) const;
};

// Splits `args` into positional words and options. `valued` options take the next word as their
// value, `flags` take none; any other word starting with "--" is a usage error (nullopt, with a
// message printed to standard error naming the word).
std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                                    const std::set<std::string>& valued,
                                    const std::set<std::string>& flags);

// The folder vm31ctl runs from (the current folder when /proc/self/exe cannot be read).
std::filesystem::path ProgramFolder();

// The data files the program itself would use: portable beside vm31ctl when that folder holds
// config.bin, else the per-user folder.
DataFiles DefaultDataFiles();

// The device definition the program itself would use: the copy in the data folder of
// DefaultDataFiles(), else the factory one installed with vm31ctl, else the built-in values.
Result<DeviceDefinition> LoadProgramDeviceDefinition();

// Prints "vm31ctl: <message>" to standard error.
void PrintError(const std::string& message);
// PrintError(message), then gives `status` back: `return Fail(kExitUsage, "...");`.
int Fail(int status, const std::string& message);
// Prints one line to standard output at once (watch and the emulator print as events come).
void Say(const std::string& line);

}  // namespace vm31::cli
