// Skin folders and drawing a skin picture: which root a skin comes from, and what a missing
// picture does on the main window and on a popup dialog.

#include <gtest/gtest.h>

#include "core/settings/data_location.h"
#include "core/ui/fonts.h"
#include "core/ui/skin.h"
#include "core/util/path_text.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using testing::Log;
using testing::RecordingWindow;
using testing::TempFolder;
using testing::WritePngHeader;

TEST(SkinFolders, UserSkinsOverrideInstalledOnesWhichOverrideTheExecutables) {
  TempFolder temp;
  // An installed layout: <prefix>/bin/KOR_VM31 with <prefix>/share/kor-vm31/Skins.
  const auto prefix = temp.path() / "prefix";
  const auto bin = prefix / "bin";
  const auto installed = prefix / "share" / "kor-vm31" / "Skins";
  const auto user = temp.path() / "data" / "kor-vm31" / "Skins";
  std::filesystem::create_directories(bin);
  WritePngHeader(user / "Dark" / "main.png", 884, 654);
  WritePngHeader(installed / "Dark" / "main.png", 884, 654);
  WritePngHeader(installed / "Light" / "main.png", 884, 654);
  WritePngHeader(bin / "Skins" / "Light" / "main.png", 884, 654);
  WritePngHeader(bin / "Skins" / "Old" / "main.png", 884, 654);
  std::filesystem::create_directories(installed / "Empty");  // a folder without main.png

  const auto roots = SkinsRoots(
      bin, SkinEnvironment{(temp.path() / "data").generic_string(), "/nonexistent-home"});
  ASSERT_EQ(roots, (std::vector<std::filesystem::path>{user, installed, bin / "Skins"}));
  EXPECT_EQ(ResolveSkinFolder(roots, "Dark"), (user / "Dark").generic_string());
  EXPECT_EQ(ResolveSkinFolder(roots, "Light"), (installed / "Light").generic_string());
  EXPECT_EQ(ResolveSkinFolder(roots, "Old"), (bin / "Skins" / "Old").generic_string());
  // Nowhere to be found: the executable's folder, where every picture is then missing.
  EXPECT_EQ(ResolveSkinFolder(roots, "Empty"), (bin / "Skins").generic_string() + "/Empty");
  EXPECT_EQ(ResolveSkinFolder(roots, "../Skins/Dark"),
            (bin / "Skins").generic_string() + "/../Skins/Dark");

  // Without an absolute XDG_DATA_HOME the user's skins are under $HOME/.local/share.
  const auto home = temp.path() / "home";
  EXPECT_EQ(SkinsRoots(bin, SkinEnvironment{"relative", PathText(home)}).front(),
            home / ".local" / "share" / "kor-vm31" / "Skins");
  EXPECT_EQ(SkinsRoots(bin, SkinEnvironment{}).size(), 2u);

  std::vector<std::string> names;
  for (const SkinEntry& skin : ListSkins(roots)) names.push_back(skin.name + "@" + skin.folder);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Dark@" + (user / "Dark").generic_string(),
                       "Empty@" + (installed / "Empty").generic_string(),
                       "Light@" + (installed / "Light").generic_string(),
                       "Old@" + (bin / "Skins" / "Old").generic_string(),
                   }));
}

// The skin to start with: the one named when a root holds it, else the default one, else the
// first whole skin (a folder without "/main.png" is none), else the named one where it would be.
TEST(SkinFolders, TheStartSkinFallsBackToTheDefaultThenToAnyWholeSkin) {
  TempFolder temp;
  const auto user = temp.path() / "user";
  const auto bin = temp.path() / "bin" / "Skins";
  const std::vector<std::filesystem::path> roots{user, bin};
  const auto start = [&roots](std::string_view name) {
    const SkinEntry skin = ResolveStartSkin(roots, name);
    return skin.name + "@" + skin.folder;
  };
  EXPECT_EQ(start("Gone"), "Gone@" + bin.generic_string() + "/Gone");  // no skin anywhere

  std::filesystem::create_directories(user / "Aqua");  // sorts first, but has no main.png
  WritePngHeader(bin / "Light" / "main.png", 884, 654);
  EXPECT_EQ(start("Gone"), "Light@" + (bin / "Light").generic_string());
  EXPECT_EQ(start("Aqua"), "Light@" + (bin / "Light").generic_string());

  WritePngHeader(bin / "Dark" / "main.png", 884, 654);
  WritePngHeader(user / "Dark" / "main.png", 884, 654);
  EXPECT_EQ(start("Light"), "Light@" + (bin / "Light").generic_string());
  for (std::string_view unknown : {"Gone", "", "../Skins/Light"}) {
    EXPECT_EQ(start(unknown), "Dark@" + (user / "Dark").generic_string());
  }
}

// An executable outside its prefix (a link in another bin folder): the installed skins and
// factory files are found through $XDG_DATA_DIRS, in its order, skipping relative entries and
// folders without them; the folder beside the executable still comes first.
TEST(SkinsRoots, InstalledDataIsFoundThroughXdgDataDirs) {
#ifdef _WIN32
  GTEST_SKIP() << "XDG_DATA_DIRS is a Posix list: ':' separates its entries, so it cannot name a "
                  "Windows folder with its drive";
#endif
  TempFolder temp;
  const auto bin = temp.path() / "elsewhere" / "bin";
  const auto without = temp.path() / "without";
  const auto share = temp.path() / "share";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(without / "kor-vm31");
  std::filesystem::create_directories(share / "kor-vm31" / "Skins");
  std::filesystem::create_directories(share / "kor-vm31" / "factory");
  const std::string dirs = "relative:" + without.generic_string() + "::" + share.generic_string();

  EXPECT_EQ(SkinsRoots(bin, SkinEnvironment{std::nullopt, std::nullopt, dirs}).front(),
            share / "kor-vm31" / "Skins");
  EXPECT_EQ(FactoryFolder(bin, dirs), share / "kor-vm31" / "factory");
  EXPECT_EQ(FactoryFolder(bin, without.generic_string()),
            std::filesystem::path(VM31_FACTORY_INSTALL_DIR));
  EXPECT_EQ(FactoryFolder(bin), std::filesystem::path(VM31_FACTORY_INSTALL_DIR));

  const auto beside = temp.path() / "elsewhere" / "share" / "kor-vm31";
  std::filesystem::create_directories(beside / "factory");
  std::filesystem::create_directories(beside / "Skins");
  EXPECT_EQ(FactoryFolder(bin, dirs), beside / "factory");
  EXPECT_EQ(SkinsRoots(bin, SkinEnvironment{std::nullopt, std::nullopt, dirs}).front(),
            beside / "Skins");
}

TEST(SkinDrawing, MissingPicturesAreSilentOnTheMainWindowAndSaidOnDialogs) {
  TempFolder temp;
  const std::string folder = (temp.path() / "Dark").generic_string();
  WritePngHeader(temp.path() / "Dark" / "button-over.png", 105, 21);
  Log log;
  RecordingWindow window(log);
  window.stripPrefix = folder;

  EXPECT_TRUE(DrawSkinPng(&window, folder, SkinPicture::kButtonOver, {562, 623}));
  EXPECT_FALSE(DrawSkinPng(&window, folder, SkinPicture::kButtonNormal, {562, 623}));
  EXPECT_FALSE(DrawSkinPng(nullptr, folder, SkinPicture::kButtonOver, {0, 0}));
  EXPECT_EQ(log, (Log{"img /button-over.png @562,623", "img /button-normal.png @562,623 missing"}));

  // A dialog says so at every failed draw; the caption is the program's name (empty here).
  log.clear();
  EXPECT_TRUE(DrawDialogPng(window, &window, folder, SkinPicture::kButtonOver, {166, 253}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(DrawDialogPng(window, &window, folder, SkinPicture::kFireKeyDialog, {0, 0}));
  }
  EXPECT_EQ(log, (Log{"img /button-over.png @166,253", "img /fire-key.png @0,0 missing",
                      "message 'LoadPng---Load image failed.'", "img /fire-key.png @0,0 missing",
                      "message 'LoadPng---Load image failed.'"}));
}

TEST(UiFonts, EveryFaceHasInstalledStandIns) {
  for (UiLanguage language :
       {UiLanguage::kSimplifiedChinese, UiLanguage::kTraditionalChinese, UiLanguage::kEnglish}) {
    for (FontRole role : {FontRole::kNormal, FontRole::kTitle}) {
      for (SystemVersion version : {SystemVersion{}, SystemVersion{6, 2}}) {
        const FontSpec font = CreateUiFont(language, role, version);
        const auto families = FontFamiliesFor(font.face);
        ASSERT_GE(families.size(), 2u) << font.face;
        EXPECT_EQ(families.back(), font.face);
      }
    }
  }
  EXPECT_EQ(FontFamiliesFor("黑体").front(), "WenQuanYi Micro Hei");
  EXPECT_TRUE(FontFamiliesFor("Comic Sans").empty());
}

}  // namespace
}  // namespace vm31
