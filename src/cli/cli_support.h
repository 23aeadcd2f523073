#pragma once
// Argument parsing and file defaults shared by vm31ctl's commands.

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "core/device/device_definition.h"
#include "core/settings/data_location.h"
#include "core/settings/preferences.h"
#include "core/util/result.h"

namespace vm31::cli {

// Exit statuses: one meaning each, across every command (the table of `vm31ctl --help`).
inline constexpr int kExitOk = 0;
inline constexpr int kExitAbsent = 1;  // mouse absent or not accessible; emulator not running
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFileError = 3;      // missing, unreadable, would not load, out of range,
                                              // a save failed
inline constexpr int kExitDeviceFailure = 4;  // a transfer failed, macros read back differ, busy

// The exit status of an error met while talking to the mouse once it was found (not of a file's;
// a mouse that is not found or does not answer the handshake is kExitAbsent).
int DeviceErrorStatus(const Error& error);

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

// The language of the user's locale, for a str.ini without a "Lan" value (as the program).
UiLanguage LocaleLanguage();

// The data folder the program itself would use (beside vm31ctl or the per-user folder), as a
// path only: nothing is created or filled.
std::filesystem::path ProgramDataFolder();

// The data files the program itself would use: portable beside vm31ctl when that folder holds
// config.bin, else the per-user folder, which is first filled from the factory files as the
// program does on its start (existing files are never touched). A failed fill is printed as a
// warning; the command then meets the missing file itself.
DataFiles DefaultDataFiles();

// The device definition the program itself would use: the copy in the data folder of
// DefaultDataFiles(), else the factory one installed with vm31ctl, else the built-in values.
Result<DeviceDefinition> LoadProgramDeviceDefinition();

// `text` as it may go to a terminal: control characters (C0, DEL, C1) and bytes that are not
// UTF-8 are shown as \xNN, so text taken from files and names cannot steer the terminal.
// Everything else, backslashes included, stands as it is.
std::string TerminalText(std::string_view text);

// Prints "vm31ctl: <message>" to standard error, each of its lines through TerminalText.
void PrintError(const std::string& message);
// PrintError(message), then gives `status` back: `return Fail(kExitUsage, "...");`.
int Fail(int status, const std::string& message);
// Prints one line to standard output at once, through TerminalText (watch and the emulator
// print as events come).
void Say(const std::string& line);
// Prints `object` as one line of JSON to standard output at once. Bytes of its strings that are
// not UTF-8 are written as U+FFFD, so the line is valid JSON whatever the files held.
void SayJson(const nlohmann::ordered_json& object);

}  // namespace vm31::cli
