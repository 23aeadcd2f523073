#include "core/ui/skin.h"

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

#include "core/settings/data_location.h"
#include "core/util/path_text.h"

namespace vm31 {
namespace {

std::optional<std::filesystem::path> UserSkinsRoot(const SkinEnvironment& environment) {
  if (environment.xdgDataHome && IsAbsolutePathText(*environment.xdgDataHome)) {
    return PathFromUtf8(*environment.xdgDataHome) / "kor-vm31" / "Skins";
  }
  if (environment.home && IsAbsolutePathText(*environment.home)) {
    return PathFromUtf8(*environment.home) / ".local" / "share" / "kor-vm31" / "Skins";
  }
  return std::nullopt;
}

std::filesystem::path InstalledSkinsRoot(const std::filesystem::path& executableFolder,
                                         const std::optional<std::string>& xdgDataDirs) {
  std::error_code error;
  const auto relocated = executableFolder.parent_path() / "share" / "kor-vm31" / "Skins";
  if (std::filesystem::is_directory(relocated, error)) return relocated;
  if (auto listed = FindInDataDirs(xdgDataDirs, std::filesystem::path("kor-vm31") / "Skins")) {
    return *listed;
  }
  // The factory files are installed to <datadir>/kor-vm31/factory, the skins beside them.
  return std::filesystem::path(VM31_FACTORY_INSTALL_DIR).parent_path() / "Skins";
}

bool HoldsSkin(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::is_regular_file(
      PathFromUtf8(SkinPicturePath(PathText(folder), SkinPicture::kMain)), error);
}

}  // namespace

std::vector<std::filesystem::path> SkinsRoots(const std::filesystem::path& executableFolder,
                                              const SkinEnvironment& environment) {
  std::vector<std::filesystem::path> roots;
  if (auto user = UserSkinsRoot(environment)) roots.push_back(*user);
  roots.push_back(InstalledSkinsRoot(executableFolder, environment.xdgDataDirs));
  roots.push_back(executableFolder / "Skins");
  return roots;
}

namespace {

// The folder of skin `skinName` in the first root that holds it with "/main.png".
std::optional<std::filesystem::path> FindSkin(const std::vector<std::filesystem::path>& roots,
                                              std::string_view skinName) {
  // A name that leaves its root ("..", a path) is never looked up: it names no skin.
  const std::filesystem::path name = PathFromUtf8(std::string(skinName));
  const bool plainName = !skinName.empty() && skinName != "." && skinName != ".." &&
                         name.filename() == name && !name.has_root_path();
  if (!plainName) return std::nullopt;
  for (const auto& root : roots) {
    const auto folder = root / name;
    if (HoldsSkin(folder)) return folder;
  }
  return std::nullopt;
}

}  // namespace

std::string ResolveSkinFolder(const std::vector<std::filesystem::path>& roots,
                              std::string_view skinName) {
  if (roots.empty()) return std::string(skinName);
  if (auto found = FindSkin(roots, skinName)) return PathText(*found);
  return SkinImagePath(PathText(roots.back()) + "/", skinName);
}

SkinEntry ResolveStartSkin(const std::vector<std::filesystem::path>& roots,
                           std::string_view skinName) {
  for (std::string_view name : {skinName, kDefaultSkinName}) {
    if (auto found = FindSkin(roots, name)) return SkinEntry{std::string(name), PathText(*found)};
  }
  for (SkinEntry& skin : ListSkins(roots)) {
    if (HoldsSkin(skin.folder)) return std::move(skin);
  }
  return SkinEntry{std::string(skinName), ResolveSkinFolder(roots, skinName)};
}

std::vector<SkinEntry> ListSkins(const std::vector<std::filesystem::path>& roots) {
  std::vector<SkinEntry> skins;
  std::set<std::string> seen;
  for (const auto& root : roots) {
    std::vector<SkinEntry> inRoot;
    std::error_code error;
    // increment(error) rather than a range loop: a folder that fails mid-listing ends the
    // listing instead of throwing.
    for (std::filesystem::directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
      std::error_code entryError;
      if (!it->is_directory(entryError)) continue;
      std::string name = PathText(it->path().filename());
      if (seen.count(name) != 0) continue;
      inRoot.push_back(SkinEntry{name, PathText(it->path())});
    }
    std::sort(inRoot.begin(), inRoot.end(),
              [](const SkinEntry& a, const SkinEntry& b) { return a.name < b.name; });
    for (auto& skin : inRoot) {
      seen.insert(skin.name);
      skins.push_back(std::move(skin));
    }
  }
  return skins;
}

bool DrawSkinPng(Canvas* canvas, std::string_view folder, SkinPicture picture, Point at) {
  if (canvas == nullptr) return false;
  return canvas->drawImage(SkinPicturePath(folder, picture), at);
}

bool DrawDialogPng(WindowHost& dialog, Canvas* canvas, std::string_view folder, SkinPicture picture,
                   Point at) {
  if (canvas == nullptr) return false;
  if (canvas->drawImage(SkinPicturePath(folder, picture), at)) return true;
  dialog.messageBox(kLoadImageFailedMessage, {}, MessageBoxIcon::kNone);
  return false;
}

}  // namespace vm31
