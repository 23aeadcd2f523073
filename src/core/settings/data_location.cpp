#include "core/settings/data_location.h"

#include <array>
#include <string_view>
#include <system_error>

#include "core/util/atomic_file.h"

namespace vm31 {
namespace {
constexpr std::array<const char*, 3> kDataFileNames = {"config.bin", "record.ini", "str.ini"};
}

DataFiles DataFilesIn(const std::filesystem::path& folder) {
  return {folder, folder / "config.bin", folder / "record.ini", folder / "str.ini"};
}

std::filesystem::path UserDataFolder(const UserEnvironment& environment) {
  if (environment.xdgConfigHome && !environment.xdgConfigHome->empty() &&
      std::filesystem::path(*environment.xdgConfigHome).is_absolute()) {
    return std::filesystem::path(*environment.xdgConfigHome) / "kor-vm31";
  }
  const std::string home = environment.home.value_or("");
  return std::filesystem::path(home.empty() ? "." : home) / ".config" / "kor-vm31";
}

std::filesystem::path ChooseDataFolder(const std::filesystem::path& executableFolder,
                                       const UserEnvironment& environment) {
  std::error_code error;
  if (std::filesystem::is_regular_file(executableFolder / "config.bin", error)) {
    return executableFolder;
  }
  return UserDataFolder(environment);
}

std::optional<std::filesystem::path> FindInDataDirs(const std::optional<std::string>& xdgDataDirs,
                                                    const std::filesystem::path& relative) {
  if (!xdgDataDirs) return std::nullopt;
  std::string_view rest = *xdgDataDirs;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::filesystem::path dir(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    std::error_code error;
    if (dir.is_absolute() && std::filesystem::is_directory(dir / relative, error)) {
      return dir / relative;
    }
  }
  return std::nullopt;
}

std::filesystem::path FactoryFolder(const std::filesystem::path& executableFolder,
                                    const std::optional<std::string>& xdgDataDirs) {
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
    return MakeError(ErrorCode::kIo, "\"" + dataFolder.string() +
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

}  // namespace vm31
