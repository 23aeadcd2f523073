// vm31ctl: the mouse tool's files and (where built) the mouse itself, from the command line.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/device_commands.h"
#include "cli/emulator_commands.h"
#include "cli/file_commands.h"
#include "core/util/atomic_file.h"
#include "platform/linux/file_system_edge.h"

namespace {

using vm31::cli::kExitOk;
using vm31::cli::kExitUsage;

constexpr const char* kHelp = R"(usage: vm31ctl COMMAND [OPTIONS]

Files (default: the program's data folder; see README):
  config show  [--config FILE] [--json]   every field by name; buttons with function, parameters and key word
  config check [--config FILE]            says whether the file would load and what is out of range
  macro list    [--macros FILE]
  macro show NAME [--macros FILE]
  macro compile [--macros FILE] [--config FILE]   compile record.ini into the macro blocks and save config.bin
  config factory --output FILE            write the factory config.bin (used by the build)

The mouse (the real one over hidraw, or the emulated one while `emulator run` runs):
  status                                  present? sensor type, rate, options (exit 1 when absent)
  apply [--config FILE] [--prefs FILE]    open, handshake, sensor refresh, then the apply sequence
  watch                                   print plug/unplug and device events until interrupted

The emulated mouse:
  emulator run [--sensor-type N] [--trace FILE]   foreground; plugged in while it runs
  emulator plug | unplug
  emulator press rate 1000|500|250|125 | dpi 1..4 | group 1|2 | macro N
  emulator fault ... | emulator status            (see docs/device-link.md)

  --help | --version

Exit status of the file commands: 0 success, 1 usage error, 2 file error (missing, unreadable,
would not load, or values out of range). Device commands: see docs/device-link.md.
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

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  vm31::linux_platform::InstallLinuxFileSystemEdge();
  // Saves killed in an earlier run leave their temporary files behind.
  vm31::RemoveStaleTemporaryFiles(vm31::cli::DefaultDataFiles().folder);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("vm31ctl %s\n", VM31_VERSION);
    return kExitOk;
  }
  // Device commands take every word after their own.
  const std::vector<std::pair<const char*, int (*)(const std::vector<std::string>&)>> deviceCommands = {
      {"status", vm31::cli::RunStatus},
      {"apply", vm31::cli::RunApply},
      {"watch", vm31::cli::RunWatch},
      {"emulator", vm31::cli::RunEmulator}};
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
