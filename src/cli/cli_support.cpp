#include "cli/cli_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <system_error>

#include <nlohmann/json.hpp>

#include "cli/platform_backends.h"
#include "core/util/text.h"

namespace vm31::cli {

int DeviceErrorStatus(const Error& error) {
  switch (error.code) {
    case ErrorCode::kAccessDenied:
      return kExitAbsent;
    case ErrorCode::kUsage:
      return kExitUsage;
    default:  // a node gone or failing midway, a garbled reply, the mouse held by another program
      return kExitDeviceFailure;
  }
}

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

// An environment variable as UTF-8 (on Windows read wide, so no character is lost).
std::optional<std::string> Environment(const char* name) {
#ifdef _WIN32
  const wchar_t* value = ::_wgetenv(std::wstring(name, name + std::strlen(name)).c_str());
  if (value == nullptr) return std::nullopt;
  return platform::Utf8FromWide(value);
#else
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
#endif
}

}  // namespace

std::filesystem::path ProgramFolder() {
  auto folder = platform::ExecutableFolder();
  if (folder) return folder.value();
  std::error_code error;
  return std::filesystem::current_path(error);
}

UiLanguage LocaleLanguage() {
  return UiLanguageFromLocale(
      LocaleEnvironment{Environment("LC_ALL"), Environment("LC_MESSAGES"), Environment("LANG")});
}

std::filesystem::path ProgramDataFolder() {
  const UserEnvironment environment{Environment("XDG_CONFIG_HOME"), Environment("HOME"),
                                    Environment("APPDATA")};
  return ChooseDataFolder(ProgramFolder(), environment);
}

DataFiles DefaultDataFiles() {
  static const DataFiles files = [] {
    const auto programFolder = ProgramFolder();
    const auto folder = ProgramDataFolder();
    if (folder != programFolder) {
      if (auto filled =
              FillFromFactory(folder, FactoryFolder(programFolder, Environment("XDG_DATA_DIRS")));
          !filled) {
        PrintError("warning: " + filled.error().message);
      }
    }
    return DataFilesIn(folder);
  }();
  return files;
}

Result<DeviceDefinition> LoadProgramDeviceDefinition() {
  return LoadDeviceDefinition(ProgramDataFolder(),
                              FactoryFolder(ProgramFolder(), Environment("XDG_DATA_DIRS")));
}

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02x", byte);
  out += escape;
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t codePoint = 0;
    const std::size_t length = DecodeUtf8(text, i, codePoint);
    if (length == 0 || lead < 0x20 || lead == 0x7F) {
      AppendEscaped(out, lead);
      ++i;
    } else if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // U+0080..U+009F, the C1 controls (CSI among them)
      AppendEscaped(out, lead);
      AppendEscaped(out, static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

void PrintError(const std::string& message) {
  // A message of several lines (the apply's list of steps) keeps its line breaks; every other
  // control character is escaped line by line.
  std::string shown;
  for (std::size_t start = 0;;) {
    const std::size_t end = message.find('\n', start);
    shown += TerminalText(std::string_view(message).substr(start, end - start));
    if (end == std::string::npos) break;
    shown += '\n';
    start = end + 1;
  }
  std::fprintf(stderr, "vm31ctl: %s\n", shown.c_str());
}

int Fail(int status, const std::string& message) {
  PrintError(message);
  return status;
}

void Say(const std::string& line) {
  std::fprintf(stdout, "%s\n", TerminalText(line).c_str());
  std::fflush(stdout);
}

void SayJson(const nlohmann::ordered_json& object) {
  std::string line;
  try {
    line = object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  } catch (const std::exception& error) {  // replace leaves no invalid text; kept as a guard
    line = nlohmann::ordered_json{{"error",
                                   std::string("the JSON could not be written: ") + error.what()}}
               .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  }
  std::fprintf(stdout, "%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace vm31::cli
