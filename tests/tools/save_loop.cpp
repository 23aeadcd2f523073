// Test tool for the crash-safety test: `save_loop run FOLDER` saves config.bin, str.ini and
// record.ini over and over, each time with a new self-consistent content, until it is killed;
// `save_loop check FOLDER` exits 0 when every file holds one complete version and 1 otherwise.
#include <cstdio>
#include <string>

#include "core/settings/config_file.h"
#include "core/settings/ini_file.h"
#include "platform/linux/file_system_edge.h"

namespace {

constexpr int kItemsPerIni = 400;  // large enough that a kill often lands inside a write

vm31::IniDocument IniVersion(int version) {
  vm31::IniDocument ini;
  std::vector<std::pair<std::string, std::string>> entries;
  entries.emplace_back("ItemCount", std::to_string(kItemsPerIni));
  for (int i = 0; i < kItemsPerIni; ++i) {
    entries.emplace_back("Item" + std::to_string(i), "version " + std::to_string(version));
  }
  ini.replaceSection("Loop", entries);
  return ini;
}

int Run(const std::filesystem::path& folder) {
  const auto config = folder / "config.bin";
  for (int version = 1;; ++version) {
    vm31::MouseConfig record;
    record.bytes.fill(static_cast<std::uint8_t>(version % 250 + 1));
    if (!vm31::SaveConfig(config, record)) return 2;
    const auto ini = IniVersion(version);
    if (!ini.Save(folder / "str.ini") || !ini.Save(folder / "record.ini")) return 2;
  }
}

bool CheckConfig(const std::filesystem::path& path) {
  auto bytes = vm31::ReadWholeFile(path);
  if (!bytes || bytes.value().size() != vm31::kConfigFileSize) return false;
  const auto& b = bytes.value();
  for (std::size_t i = 2; i < b.size(); ++i) {
    if (b[i] != b[1]) return false;
  }
  return b[0] <= 1;
}

bool CheckIni(const std::filesystem::path& path) {
  auto ini = vm31::IniDocument::Load(path);
  if (!ini || ini.value().read("Loop", "ItemCount") != std::to_string(kItemsPerIni)) return false;
  const std::string first = ini.value().read("Loop", "Item0");
  if (first.rfind("version ", 0) != 0) return false;
  for (int i = 1; i < kItemsPerIni; ++i) {
    if (ini.value().read("Loop", "Item" + std::to_string(i)) != first) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  const std::string mode = argv[1];
  const std::filesystem::path folder = argv[2];
  if (mode == "run") {
    vm31::linux_platform::InstallLinuxFileSystemEdge();  // saves as the programs make them
    return Run(folder);
  }
  if (mode != "check") return 1;
  bool good = true;
  for (const char* name : {"config.bin"}) {
    if (!CheckConfig(folder / name)) { std::printf("torn or missing: %s\n", name); good = false; }
  }
  for (const char* name : {"str.ini", "record.ini"}) {
    if (!CheckIni(folder / name)) { std::printf("torn or missing: %s\n", name); good = false; }
  }
  return good ? 0 : 1;
}
