#pragma once
// Where the program keeps config.bin, record.ini and str.ini.
//
// Portable use: when the executable's folder holds config.bin (an unpacked copy, the build
// tree), the three files live there, whatever the executable is called. Otherwise they live in
// the per-user folder, which the program fills on its first start from the factory files
// installed with it: on Linux $XDG_CONFIG_HOME/kor-vm31/ (default ~/.config/kor-vm31/), on
// Windows %APPDATA%\kor-vm31\.
//
// The rules of both systems are here and take the system as a value (default: the one built
// for), so each system's rules are checked on the other as well.

#include <filesystem>
#include <optional>
#include <string>

#include "core/util/path_text.h"
#include "core/util/result.h"

namespace vm31 {

struct DataFiles {
  std::filesystem::path folder;
  std::filesystem::path config;  // config.bin
  std::filesystem::path macros;  // record.ini
  std::filesystem::path prefs;   // str.ini
};

DataFiles DataFilesIn(const std::filesystem::path& folder);

enum class HostSystem { kPosix, kWindows };

#ifdef _WIN32
inline constexpr HostSystem kThisSystem = HostSystem::kWindows;
#else
inline constexpr HostSystem kThisSystem = HostSystem::kPosix;
#endif

// True when `text` is an absolute path on `system`, judged from the text alone: "/..." on Posix;
// a drive or server with a root ("C:\\...", "\\\\server\\...") on Windows.
bool IsAbsolutePathText(const std::string& text, HostSystem system = kThisSystem);

// The environment values the per-user folder depends on; empty optionals are unset variables.
struct UserEnvironment {
  std::optional<std::string> xdgConfigHome;
  std::optional<std::string> home;
  std::optional<std::string> appData;  // %APPDATA% (Windows), UTF-8
};

// Posix: $XDG_CONFIG_HOME/kor-vm31 when the variable holds an absolute path ("/..."), else
// $HOME/.config/kor-vm31. Windows: %APPDATA%\kor-vm31 when the variable holds an absolute path,
// else kor-vm31 in the current folder.
std::filesystem::path UserDataFolder(const UserEnvironment& environment,
                                     HostSystem system = kThisSystem);

// The executable's folder when it holds config.bin, else the per-user folder.
std::filesystem::path ChooseDataFolder(const std::filesystem::path& executableFolder,
                                       const UserEnvironment& environment,
                                       HostSystem system = kThisSystem);

// The first folder `<dir>/<relative>` that exists for a <dir> of $XDG_DATA_DIRS (a list
// separated by ":"; entries that are not absolute paths "/..." are skipped), or nothing.
std::optional<std::filesystem::path> FindInDataDirs(const std::optional<std::string>& xdgDataDirs,
                                                    const std::filesystem::path& relative);

// The factory files installed with the program. Posix: <prefix>/share/kor-vm31/factory found
// relative to an executable in <prefix>/bin, else kor-vm31/factory in a folder of $XDG_DATA_DIRS
// (when given), else the folder configured at build time. Windows: the folder "factory" beside
// the executable.
std::filesystem::path FactoryFolder(const std::filesystem::path& executableFolder,
                                    const std::optional<std::string>& xdgDataDirs = std::nullopt,
                                    HostSystem system = kThisSystem);

// Creates `dataFolder` if needed and copies each factory file it lacks. Existing files are never
// touched, so a user's settings survive every start.
Status FillFromFactory(const std::filesystem::path& dataFolder,
                       const std::filesystem::path& factoryFolder);

// A program's data at its start: the data folder chosen as ChooseDataFolder does, the factory
// folder, the temporary files of killed saves removed from the data folder, and a per-user
// folder filled from the factory files. `filled` is what the filling gave (a failure leaves the
// program to report it and go on with what is there).
struct StartFolders {
  std::filesystem::path data;
  std::filesystem::path factory;
  Status filled = Ok{};
};
StartFolders PrepareStartFolders(const std::filesystem::path& executableFolder,
                                 const UserEnvironment& environment,
                                 const std::optional<std::string>& xdgDataDirs);

}  // namespace vm31
