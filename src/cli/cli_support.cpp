#include "cli/cli_support.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/linux/executable_folder.h"

namespace vm31::cli {

std::optional<std::string> ParsedArgs::value(const std::string& option) const {
  const auto found = options.find(option);
  if (found == options.end()) return std::nullopt;
  return found->second;
}

std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                                    const std::set<std::string>& valued,
                                    const std::set<std::string>& flags) {
  ParsedArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.rfind("--", 0) != 0) {
      parsed.positional.push_back(word);
    } else if (valued.count(word) != 0) {
      if (i + 1 >= args.size()) {
        PrintError(word + " needs a value");
        return std::nullopt;
      }
      parsed.options[word] = args[++i];
    } else if (flags.count(word) != 0) {
      parsed.options[word] = "";
    } else {
      PrintError("unknown option " + word + " (see vm31ctl --help)");
      return std::nullopt;
    }
  }
  return parsed;
}

namespace {

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

std::filesystem::path ProgramFolder() {
  auto folder = linux_platform::ExecutableFolder();
  if (folder) return folder.value();
  std::error_code error;
  return std::filesystem::current_path(error);
}

DataFiles DefaultDataFiles() {
  const UserEnvironment environment{Environment("XDG_CONFIG_HOME"), Environment("HOME")};
  return DataFilesIn(ChooseDataFolder(ProgramFolder(), environment));
}

Result<DeviceDefinition> LoadProgramDeviceDefinition() {
  return LoadDeviceDefinition(DefaultDataFiles().folder, FactoryFolder(ProgramFolder()));
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "vm31ctl: %s\n", message.c_str());
}

int Fail(int status, const std::string& message) {
  PrintError(message);
  return status;
}

void Say(const std::string& line) {
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace vm31::cli
