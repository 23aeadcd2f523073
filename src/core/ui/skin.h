#pragma once
// Skins: where the skin folders are, how a skin name becomes the folder the pictures come from,
// and drawing one of its pictures.
//
// A skin is a folder of PNG pictures named as in kSkinPictures (skin_pictures.h). The skin
// folders come from three roots, searched in this order:
//   1. the user's own skins: $XDG_DATA_HOME/kor-vm31/Skins (default ~/.local/share/...);
//   2. the installed skins: <prefix>/share/kor-vm31/Skins beside an executable in <prefix>/bin,
//      else kor-vm31/Skins in a folder of $XDG_DATA_DIRS, else the data folder configured at
//      build time;
//   3. the executable's own Skins folder (the build tree, an unpacked portable copy).
// `CurrentSkinFolder` for a skin name is the folder of that name in the first root that holds
// one with "/main.png" in it, so a user's copy of a skin overrides the installed one. When no root
// has it, it is the folder of that name in the executable's Skins folder, which then behaves as
// a skin whose every picture is missing.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/text_table.h"
#include "core/ui/ports.h"
#include "core/ui/skin_pictures.h"

namespace vm31 {

// The message a popup dialog shows when one of its pictures cannot be loaded.
inline constexpr std::string_view kLoadImageFailedMessage = "LoadPng---Load image failed.";

// The environment values the user's skins folder depends on; empty optionals are unset.
struct SkinEnvironment {
  std::optional<std::string> xdgDataHome;
  std::optional<std::string> home;
  std::optional<std::string> xdgDataDirs{};  // where installed skins are looked for next
};

// The skin roots in search order (user, installed, executable). The user's root is left out
// when neither variable gives an absolute folder.
std::vector<std::filesystem::path> SkinsRoots(const std::filesystem::path& executableFolder,
                                              const SkinEnvironment& environment);

// The folder of skin `skinName` (see above). `roots` in search order; the last one is the
// fallback. The text has no trailing separator; picture paths are formed by concatenation.
std::string ResolveSkinFolder(const std::vector<std::filesystem::path>& roots,
                              std::string_view skinName);

// Every skin folder name found in the roots, each name once (the first root's copy wins), in
// root order and, within a root, sorted by name.
struct SkinEntry {
  std::string name;
  std::string folder;
};
std::vector<SkinEntry> ListSkins(const std::vector<std::filesystem::path>& roots);

// The skin of the factory str.ini, which the program starts with when str.ini names no skin
// that a root holds.
inline constexpr std::string_view kDefaultSkinName = "Dark";

// The skin to start with, so that the window never comes up without its pictures: `skinName`
// when a root holds it; else kDefaultSkinName; else the first skin with "/main.png" that
// ListSkins gives; when no root holds any skin, `skinName` in the folder ResolveSkinFolder gives.
SkinEntry ResolveStartSkin(const std::vector<std::filesystem::path>& roots,
                           std::string_view skinName);

// The process-wide skin state: set at start-up and replaced together when the user picks
// another skin. Popup dialogs copy `currentSkinFolder` when they open.
struct SkinState {
  std::string currentSkinFolder;
  std::string currentSkinName;
  Rgb uiTextColor{0, 255, 0};
  UiLanguage uiLanguage = UiLanguage::kEnglish;
};

// Plain concatenation: no separator is added or removed.
inline std::string SkinImagePath(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  path += fileName;
  return path;
}

// The file of `picture` in the skin folder `folder`.
inline std::string SkinPicturePath(std::string_view folder, SkinPicture picture) {
  return SkinImagePath(folder, SkinPictureFile(picture));
}

// Draws `picture` of `folder` at `at` (see Canvas::drawImage). False, silently, when there is no
// canvas or the picture cannot be loaded. Used by the main window.
bool DrawSkinPng(Canvas* canvas, std::string_view folder, SkinPicture picture, Point at);

// The same for popup dialogs, except that a picture that cannot be loaded shows
// kLoadImageFailedMessage in a message box owned by the dialog, captioned with the program's
// name, at every failed draw.
bool DrawDialogPng(WindowHost& dialog, Canvas* canvas, std::string_view folder, SkinPicture picture,
                   Point at);

}  // namespace vm31
