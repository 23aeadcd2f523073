// vm31ctl: the mouse tool's files and (where built) the mouse itself, from the command line.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/device_commands.h"
#include "cli/emulator_commands.h"
#include "cli/file_commands.h"
#include "cli/platform_backends.h"
#include "core/util/atomic_file.h"

namespace {

using vm31::cli::kExitOk;
using vm31::cli::kExitUsage;

// The help of the system built for: the Linux text is also the man page's (help2man).
#ifdef _WIN32
constexpr const char* kHelp =
    R"(Usage: vm31ctl COMMAND [OPTIONS]
The KOR VM31 gaming mouse's files and the mouse itself (the real one over the HID driver, or the
emulated one while `vm31ctl emulator run` runs), from the command line.
)"
#else
constexpr const char* kHelp =
    R"(Usage: vm31ctl COMMAND [OPTIONS]
The KOR VM31 gaming mouse's files and the mouse itself (the real one over hidraw, or the emulated
one while `vm31ctl emulator run` runs), from the command line.
)"
#endif
    R"(
File commands:
  config show [--config FILE] [--json]    every field by name; buttons with function, parameters and key word
  config check [--config FILE]            says whether the file would load and what is out of range
  macro list [--macros FILE] [--json]     the macros of record.ini by slot, with their line counts
  macro show NAME [--macros FILE] [--json]   the step lines of one macro
  macro compile [--macros FILE] [--config FILE]   compile record.ini into the macro blocks and save config.bin
  config factory --output FILE            write the factory config.bin (used by the build)

Device commands:
  status [--json]                         present? sensor type, rate, options
  apply [--config FILE] [--prefs FILE]    open, handshake, sensor refresh, then the apply sequence
  watch [--json]                          print plug/unplug and device events until interrupted
)"
    R"(
Emulator commands:
  emulator run [--sensor-type N] [--trace FILE]   serve the emulated mouse (foreground; plugged in while it runs)
  emulator plug | unplug | status         plug in or unplug the emulated mouse, or show its state
  emulator press rate 1000|500|250|125 | dpi 1..4 | group 1|2 | macro N   press one of its buttons
  emulator fault no-reply|overlong|wrong-index on|off | unplug-at N | latency MICROSECONDS   inject a fault
)"
    R"(
Options:
  --config FILE    config.bin to use instead of the data folder's
  --macros FILE    record.ini to use instead of the data folder's
  --prefs FILE     str.ini to use instead of the data folder's
  --json           one JSON object per line (per event for watch); text that is not UTF-8
                   has each invalid byte as U+FFFD
  --help           show this help and exit
  --version        show the version and exit

Data folder:
  Without --config, --macros or --prefs the program's data folder is used: the folder of
)"
#ifdef _WIN32
    R"(  vm31ctl when it holds config.bin, else %APPDATA%\kor-vm31, which is first filled from
  the factory files in the folder "factory" beside vm31ctl, as the program does on its start.
)"
#else
    R"(  vm31ctl when it holds config.bin, else $XDG_CONFIG_HOME/kor-vm31 (~/.config/kor-vm31),
  which is first filled from the installed factory files, as the program does on its start.
)"
#endif
    R"(  In text output, control characters and bytes that are not UTF-8 are shown as \xNN.

Exit status:
  0    success
  1    the mouse is absent or not accessible; for emulator commands, the emulator is not running
  2    usage error
  3    file error: missing, unreadable, not a regular file, would not load, values out of
       range, or a save failed
  4    device failure: a transfer failed, the macros read back differ, or the mouse stayed
       busy with another program past the wait
)";

struct Command {
  const char* group;
  const char* name;
  std::function<int(const std::vector<std::string>&)> run;
};

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"config", "show", vm31::cli::RunConfigShow},
      {"config", "check", vm31::cli::RunConfigCheck},
      {"config", "factory", vm31::cli::RunConfigFactory},
      {"macro", "list", vm31::cli::RunMacroList},
      {"macro", "show", vm31::cli::RunMacroShow},
      {"macro", "compile", vm31::cli::RunMacroCompile},
  };
  return commands;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("vm31ctl %s\n", VM31_VERSION);
    return kExitOk;
  }
  // Device commands take every word after their own.
  const std::vector<std::pair<const char*, int (*)(const std::vector<std::string>&)>>
      deviceCommands = {
          {"status", vm31::cli::RunStatus},
          {"apply", vm31::cli::RunApply},
          {"watch", vm31::cli::RunWatch},
          {"emulator", vm31::cli::RunEmulator},
      };
  for (const auto& [name, run] : deviceCommands) {
    if (!args.empty() && args[0] == name) {
      return run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
  }
  if (args.size() >= 2) {
    for (const Command& command : Commands()) {
      if (args[0] == command.group && args[1] == command.name) {
        return command.run(std::vector<std::string>(args.begin() + 2, args.end()));
      }
    }
  }
  vm31::cli::PrintError(args.empty() ? "no command given (see vm31ctl --help)"
                                     : "unknown command \"" + args[0] +
                                           (args.size() > 1 ? " " + args[1] : "") +
                                           "\" (see vm31ctl --help)");
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  vm31::cli::InstallPlatformFileSystemEdge();
#ifdef _WIN32
  // The words as typed, whatever the ANSI code page holds, and UTF-8 out to the console.
  std::vector<std::string> words = vm31::windows_platform::CommandLineWords();
  if (!words.empty()) words.erase(words.begin());
  vm31::windows_platform::UseUtf8Console();
  (void)argc;
  (void)argv;
#else
  std::vector<std::string> words(argv + 1, argv + argc);
#endif
  // Errors are values throughout; an exception here is a fault, reported instead of an abort.
  try {
    // Saves killed in an earlier run leave their temporary files behind.
    vm31::RemoveStaleTemporaryFiles(vm31::cli::ProgramDataFolder());
    return Run(words);
  } catch (const std::filesystem::filesystem_error& error) {
    vm31::cli::PrintError(error.what());
    return vm31::cli::kExitFileError;
  } catch (const std::exception& error) {
    vm31::cli::PrintError(error.what());
    return vm31::cli::kExitDeviceFailure;
  }
}
