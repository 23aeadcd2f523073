#include "core/settings/data_location.h"

#include <array>
#include <cctype>
#include <string_view>
#include <system_error>

#include "core/util/atomic_file.h"
#include "core/util/path_text.h"

namespace vm31 {
namespace {
constexpr std::array<const char*, 3> kDataFileNames = {"config.bin", "record.ini", "str.ini"};
}

DataFiles DataFilesIn(const std::filesystem::path& folder) {
  return {folder, folder / "config.bin", folder / "record.ini", folder / "str.ini"};
}

bool IsAbsolutePathText(const std::string& text, HostSystem system) {
  if (system == HostSystem::kPosix) return !text.empty() && text[0] == '/';
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const bool drive = text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) &&
                     text[1] == ':' && separator(text[2]);
  const bool server = text.size() >= 3 && separator(text[0]) && separator(text[1]);
  return drive || server;
}

std::filesystem::path UserDataFolder(const UserEnvironment& environment, HostSystem system) {
  if (system == HostSystem::kWindows) {
    const std::string appData = environment.appData.value_or("");
    return IsAbsolutePathText(appData, system) ? PathFromUtf8(appData) / "kor-vm31"
                                               : std::filesystem::path("kor-vm31");
  }
  if (environment.xdgConfigHome && IsAbsolutePathText(*environment.xdgConfigHome, system)) {
    return PathFromUtf8(*environment.xdgConfigHome) / "kor-vm31";
  }
  const std::string home = environment.home.value_or("");
  return (home.empty() ? std::filesystem::path(".") : PathFromUtf8(home)) / ".config" / "kor-vm31";
}

std::filesystem::path ChooseDataFolder(const std::filesystem::path& executableFolder,
                                       const UserEnvironment& environment, HostSystem system) {
  std::error_code error;
  if (std::filesystem::is_regular_file(executableFolder / "config.bin", error)) {
    return executableFolder;
  }
  return UserDataFolder(environment, system);
}

std::optional<std::filesystem::path> FindInDataDirs(const std::optional<std::string>& xdgDataDirs,
                                                    const std::filesystem::path& relative) {
  if (!xdgDataDirs) return std::nullopt;
  std::string_view rest = *xdgDataDirs;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string entry(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (!IsAbsolutePathText(entry, HostSystem::kPosix)) continue;
    const std::filesystem::path dir = PathFromUtf8(entry);
    std::error_code error;
    if (std::filesystem::is_directory(dir / relative, error)) return dir / relative;
  }
  return std::nullopt;
}

std::filesystem::path FactoryFolder(const std::filesystem::path& executableFolder,
                                    const std::optional<std::string>& xdgDataDirs,
                                    HostSystem system) {
  if (system == HostSystem::kWindows) return executableFolder / "factory";
  std::error_code error;
  const auto relocated = executableFolder.parent_path() / "share" / "kor-vm31" / "factory";
  if (std::filesystem::is_directory(relocated, error)) return relocated;
  if (auto listed = FindInDataDirs(xdgDataDirs, std::filesystem::path("kor-vm31") / "factory")) {
    return *listed;
  }
  return VM31_FACTORY_INSTALL_DIR;
}

Status FillFromFactory(const std::filesystem::path& dataFolder,
                       const std::filesystem::path& factoryFolder) {
  std::error_code error;
  std::filesystem::create_directories(dataFolder, error);
  if (error) {
    return MakeError(ErrorCode::kIo, "\"" + PathText(dataFolder) +
                                         "\": cannot create the data folder: " + error.message());
  }
  for (const char* name : kDataFileNames) {
    const auto target = dataFolder / name;
    if (std::filesystem::exists(target, error)) continue;
    auto content = ReadWholeFile(factoryFolder / name);
    if (!content) return content.error();
    if (auto written = WriteFileAtomically(target, content.value()); !written) {
      return written.error();
    }
  }
  return Ok{};
}

StartFolders PrepareStartFolders(const std::filesystem::path& executableFolder,
                                 const UserEnvironment& environment,
                                 const std::optional<std::string>& xdgDataDirs) {
  StartFolders folders{ChooseDataFolder(executableFolder, environment),
                       FactoryFolder(executableFolder, xdgDataDirs)};
  RemoveStaleTemporaryFiles(folders.data);
  if (folders.data != executableFolder)
    folders.filled = FillFromFactory(folders.data, folders.factory);
  return folders;
}

}  // namespace vm31
