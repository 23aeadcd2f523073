// The skin chooser: which skins it lists, what choosing a skin and a label colour gives, and what
// confirming does to the main window and to str.ini (real skin folders and files in a temporary
// folder, the recording host).

#include "core/ui/skins_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/app/main_pages.h"
#include "core/settings/preferences.h"
#include "support/dialog_rig.h"
#include "support/main_window_rig.h"

namespace vm31 {
namespace {

using testing::kOnCancel;
using testing::kOnOk;
using testing::LinesStarting;
using testing::Log;
using testing::MainWindowRig;
using testing::RecordingWindow;
using testing::WritePngHeader;
using testing::WriteSkin;

constexpr Point kOnList{145, 135};  // inside the click rectangle, right of the value field
constexpr Point kOnSwatch{60, 100};
constexpr Point kAway{300, 100};

void WriteText(const std::filesystem::path& file, std::string_view text) {
  ASSERT_TRUE(WriteFileAtomically(file, Bytes(text.begin(), text.end())).ok());
}

std::string ReadText(const std::filesystem::path& file) {
  Result<Bytes> bytes = ReadWholeFile(file);
  return bytes ? std::string(bytes.value().begin(), bytes.value().end()) : std::string("<none>");
}

std::vector<std::string> Items(const RecordingWindow& window, int id) {
  std::vector<std::string> items;
  for (int i = 0; i < window.itemCount(id); ++i) items.push_back(window.itemText(id, i));
  return items;
}

// Two skin roots - the user's and the installed one - with the installed "Dark" in force.
struct ChooserRig : testing::DialogRig {
  ChooserRig() : DialogRig({.skinFolder = std::filesystem::path("share") / "Skins" / "Dark"}) {
    font = FontSpec{"Arial", 14, 400};
    skin.uiTextColor = Rgb{0, 255, 0};
  }
  using DialogRig::choose;
  void choose(CSkinsDialog& dialog, int index) { choose(dialog, CSkinsDialog::kListId, index); }

  std::filesystem::path user = temp.path() / "data" / "Skins";
  std::filesystem::path installed = temp.path() / "share" / "Skins";
  std::vector<std::filesystem::path> roots{user, installed};
};

TEST(SkinsDialog, OpensWithTheSkinInForceAndThePrompt) {
  ChooserRig rig;
  CSkinsDialog dialog(rig.skin, rig.font, rig.roots);
  ASSERT_TRUE(rig.start(dialog));
  EXPECT_EQ(LinesStarting(rig.log, "background"), Log{"background /skins.png 380x280"});
  // Wider than its box in this font: two centred lines split at the middle blank.
  EXPECT_EQ(LinesStarting(rig.log, "text 'Please"),
            Log{"text 'Please click to set' [12,64,181,79] centre"});
  EXPECT_EQ(LinesStarting(rig.log, "text 'the UI"),
            Log{"text 'the UI text color' [12,79,181,94] centre"});
  EXPECT_EQ(rig.window.text(CSkinsDialog::kValueId), "Dark");
  EXPECT_EQ(rig.window.controlRect(CSkinsDialog::kValueId), (Rect{42, 128, 136, 144}));
  EXPECT_EQ(rig.window.controlRect(CSkinsDialog::kSwatchId), (Rect{42, 94, 151, 110}));
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kListId));
  dialog.onLeftButtonDown(kOnOk);
  EXPECT_EQ(rig.window.modalCode, kModalOk);
  EXPECT_EQ(dialog.chosenFolder(), rig.skin.currentSkinFolder);
  EXPECT_EQ(dialog.chosenName(), "Dark");
  EXPECT_EQ(dialog.chosenColour(), (Rgb{0, 255, 0}));
}

TEST(SkinsDialog, ListsFoldersOnlyWithTheUsersCopyOfASkinFirst) {
  ChooserRig rig;
  WriteSkin(rig.user / "Dark");
  WriteSkin(rig.user / "Neon");
  WriteSkin(rig.installed / "Amber");
  WritePngHeader(rig.user / "Zebra.png", 16, 16);  // files in a root are no skins
  WriteText(rig.installed / "notes.ini", "[x]\r\n");
  CSkinsDialog dialog(rig.skin, rig.font, rig.roots);
  ASSERT_TRUE(rig.open(dialog));

  dialog.onLeftButtonDown(kOnList);
  ASSERT_TRUE(dialog.listOpen());
  EXPECT_EQ(rig.window.controlRect(CSkinsDialog::kListId), (Rect{42, 146, 151, 266}));
  EXPECT_EQ(Items(rig.window, CSkinsDialog::kListId),
            (std::vector<std::string>{"Dark", "Neon", "Amber"}));
  rig.choose(dialog, 0);
  EXPECT_FALSE(dialog.listOpen());
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kListId));
  EXPECT_EQ(rig.window.text(CSkinsDialog::kValueId), "Dark");
  EXPECT_EQ(dialog.chosenName(), "Dark");
  EXPECT_EQ(dialog.chosenFolder(), (rig.user / "Dark").generic_string());

  // The folders are read again at the next opening.
  WriteSkin(rig.installed / "Blue");
  dialog.onLeftButtonDown(kOnList);
  EXPECT_EQ(Items(rig.window, CSkinsDialog::kListId),
            (std::vector<std::string>{"Dark", "Neon", "Amber", "Blue"}));
  rig.choose(dialog, 3);
  EXPECT_EQ(dialog.chosenFolder(), (rig.installed / "Blue").generic_string());
}

TEST(SkinsDialog, TheListScrollsHighlightsAndClosesOnAPressOutside) {
  ChooserRig rig;
  for (char c = 'A'; c <= 'L'; ++c) WriteSkin(rig.installed / (std::string("Skin") + c));
  CSkinsDialog dialog(rig.skin, rig.font, rig.roots);
  ASSERT_TRUE(rig.open(dialog));
  dialog.onWheel(-120, {60, 150});  // no list: nothing to scroll
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kListId));

  dialog.onLeftButtonDown(kOnList);
  ASSERT_EQ(rig.window.itemCount(CSkinsDialog::kListId), 13);
  dialog.onWheel(-120, {60, 150});
  EXPECT_EQ(rig.window.topIndex(CSkinsDialog::kListId), 3);
  dialog.onWheel(-120, {300, 30});  // anywhere on the dialog
  EXPECT_EQ(rig.window.topIndex(CSkinsDialog::kListId), 6);
  dialog.onWheel(120, {60, 150});
  EXPECT_EQ(rig.window.topIndex(CSkinsDialog::kListId), 3);
  dialog.onControlMouseMove(CSkinsDialog::kListId, {60, 146 + 2 * 16 + 3});
  EXPECT_EQ(rig.window.selection(CSkinsDialog::kListId), 5);
  EXPECT_EQ(dialog.chosenName(), "Dark");  // highlighted, not chosen

  dialog.onLeftButtonDown(kAway);
  EXPECT_FALSE(dialog.listOpen());
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kListId));
  EXPECT_EQ(dialog.chosenName(), "Dark");
  EXPECT_EQ(dialog.chosenFolder(), rig.skin.currentSkinFolder);
  // A second press on the click rectangle closes the list as well.
  dialog.onLeftButtonDown(kOnList);
  dialog.onLeftButtonDown(kOnList);
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kListId));
}

TEST(SkinsDialog, TheSwatchTakesTheChosenColourAndACancelledChooserChangesNothing) {
  ChooserRig rig;
  CSkinsDialog dialog(rig.skin, rig.font, rig.roots);
  ASSERT_TRUE(rig.open(dialog));
  const auto swatchColour = [&] {
    return rig.window.controlStyle(CSkinsDialog::kSwatchId).value_or(ControlStyle{}).background;
  };
  EXPECT_EQ(swatchColour(), (Rgb{0, 255, 0}));
  rig.window.colourChoice = std::nullopt;
  dialog.onLeftButtonDown(kOnSwatch);
  EXPECT_EQ(rig.log, Log{"colour chooser"});
  EXPECT_EQ(dialog.chosenColour(), (Rgb{0, 255, 0}));

  rig.window.colourChoice = Rgb{200, 10, 30};
  dialog.onLeftButtonDown(kOnSwatch);
  EXPECT_EQ(dialog.chosenColour(), (Rgb{200, 10, 30}));
  EXPECT_EQ(swatchColour(), (Rgb{200, 10, 30}));
  EXPECT_FALSE(rig.window.modalCode.has_value());
  // Next to the swatch nothing asks for a colour.
  rig.log.clear();
  dialog.onLeftButtonDown({kOnSwatch.x, 112});
  EXPECT_EQ(LinesStarting(rig.log, "colour"), Log{});
}

TEST(SkinsDialog, AMissingBackgroundIsReportedAndEndsAsCancel) {
  ChooserRig rig;
  std::filesystem::remove(rig.installed / "Dark" / "skins.png");
  CSkinsDialog dialog(rig.skin, rig.font, rig.roots);
  EXPECT_FALSE(rig.start(dialog));
  EXPECT_EQ(LinesStarting(rig.log, "message"),
            Log{"message 'error' caption 'Skins Dialog Load background image failed!!!'"});
  EXPECT_EQ(rig.window.modalCode, kModalCancel);
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kValueId));
  EXPECT_FALSE(rig.window.exists(CSkinsDialog::kSwatchId));
}

// ---- confirming on the main window ----

constexpr Point kSkinsButton{705, 10};

// The lines logged after the dialog's modal run ended.
Log AfterModal(const Log& log) {
  auto end = std::find(log.begin(), log.end(), "modal end");
  return end == log.end() ? Log{} : Log(end + 1, log.end());
}

TEST(SkinChoice, OkWithoutTouchingRewritesTheFourValuesAndRebuildsThePage) {
  MainWindowRig rig;
  // Only the language and a caption left in the file: OK writes the values in force.
  WriteText(rig.bin / "str.ini", "[Skins]\r\nLan=EN\r\n[Setting-EN]\r\nItem1=Shoot\r\n");
  rig.window.modalScript = [](WindowModel& popup, RecordingWindow&) {
    popup.onLeftButtonDown(kOnOk);
  };
  rig.press(kSkinsButton);
  EXPECT_EQ(ReadText(rig.bin / "str.ini"),
            "[Skins]\r\nLan=EN\r\nRColor=0\r\nGColor=255\r\nBColor=0\r\nPath=Dark\r\n"
            "[Setting-EN]\r\nItem1=Shoot\r\n");
  EXPECT_EQ(rig.dlg->skin().currentSkinFolder, (rig.bin / "Skins" / "Dark").generic_string());
  EXPECT_EQ(rig.dlg->skin().uiTextColor, (Rgb{0, 255, 0}));

  // The page is drawn again in full, then the window is shown and raised.
  const Log after = AfterModal(rig.log);
  const auto page = std::find(after.begin(), after.end(), "img /BasicSet2.png @0,0");
  const auto shown = std::find(page, after.end(), "show");
  ASSERT_NE(shown, after.end());
  ASSERT_NE(shown + 1, after.end());
  EXPECT_EQ(*(shown + 1), "raise");
  EXPECT_EQ(LinesStarting(after, "message"), Log{});
}

TEST(SkinChoice, AChosenSkinIsUsedAtOnceAndFoundAgainAfterARestart) {
  MainWindowRig rig;
  const auto light = rig.bin / "Skins" / "Light";
  WriteSkin(light);
  WritePngHeader(rig.bin / "Skins" / "readme.png", 16, 16);
  rig.window.modalScript = [](WindowModel& popup, RecordingWindow& window) {
    window.colourChoice = Rgb{12, 34, 56};
    popup.onLeftButtonDown(kOnList);
    EXPECT_EQ(Items(window, CSkinsDialog::kListId), (std::vector<std::string>{"Dark", "Light"}));
    window.setSelection(CSkinsDialog::kListId, 1);
    popup.onControlNotify(CSkinsDialog::kListId, ControlNotification::kDoubleClick);
    popup.onLeftButtonDown(kOnSwatch);
    popup.onLeftButtonDown(kOnOk);
  };
  rig.press(kSkinsButton);

  EXPECT_EQ(rig.dlg->skin().currentSkinFolder, light.generic_string());
  EXPECT_EQ(rig.dlg->skin().currentSkinName, "Light");
  EXPECT_EQ(rig.dlg->skin().uiTextColor, (Rgb{12, 34, 56}));
  // The page is drawn from the new folder.
  const Log after = AfterModal(rig.log);
  EXPECT_NE(std::find(after.begin(), after.end(),
                      "img " + light.generic_string() + "/BasicSet2.png @0,0"),
            after.end());
  for (const std::string& line : LinesStarting(after, "img ")) {
    EXPECT_EQ(line.rfind("img " + light.generic_string() + "/", 0), 0u) << line;
  }

  Result<IniDocument> stored = IniDocument::Load(rig.bin / "str.ini");
  ASSERT_TRUE(stored);
  const Preferences preferences = LoadPreferences(stored.value());
  EXPECT_EQ(preferences.skinName, "Light");  // the name only, not the folder
  EXPECT_EQ(preferences.redText, "12");
  EXPECT_EQ(preferences.greenText, "34");
  EXPECT_EQ(preferences.blueText, "56");
  EXPECT_EQ(preferences.labels.texts[0], "Shoot");
  // What the next start makes of the stored name.
  EXPECT_EQ(ResolveSkinFolder(rig.dlg->paths().skinRoots, preferences.skinName),
            light.generic_string());
}

TEST(SkinChoice, ACancelledDialogChangesNeitherTheStateNorTheFile) {
  MainWindowRig rig;
  WriteSkin(rig.bin / "Skins" / "Light");
  const std::string before = ReadText(rig.bin / "str.ini");
  rig.window.modalScript = [](WindowModel& popup, RecordingWindow& window) {
    window.colourChoice = Rgb{1, 2, 3};
    popup.onLeftButtonDown(kOnList);
    window.setSelection(CSkinsDialog::kListId, 1);
    popup.onControlNotify(CSkinsDialog::kListId, ControlNotification::kSelectionChange);
    popup.onLeftButtonDown(kOnSwatch);
    popup.onLeftButtonDown(kOnCancel);
  };
  rig.press(kSkinsButton);
  EXPECT_EQ(ReadText(rig.bin / "str.ini"), before);
  EXPECT_EQ(rig.dlg->skin().currentSkinFolder, (rig.bin / "Skins" / "Dark").generic_string());
  EXPECT_EQ(rig.dlg->skin().currentSkinName, "Dark");
  EXPECT_EQ(rig.dlg->skin().uiTextColor, (Rgb{0, 255, 0}));
  const Log after = AfterModal(rig.log);
  EXPECT_EQ(LinesStarting(after, "img"), Log{});
  EXPECT_EQ(LinesStarting(after, "show"), Log{});
}

// Unplugging the mouse hides the window; the dialog open over it ends as Cancel there and then,
// so nothing it would do at OK (showing the window again) happens.
TEST(SkinChoice, UnpluggingTheMouseEndsTheOpenDialogAsCancel) {
  MainWindowRig rig;
  rig.window.visible = true;
  const std::string before = ReadText(rig.bin / "str.ini");
  std::optional<int> codeAtUnplug;
  rig.window.modalScript = [&rig, &codeAtUnplug](WindowModel&, RecordingWindow& window) {
    rig.bus.unplug();
    for (const HotplugEvent& event : rig.bus.takePending()) rig.dlg->onHotplug(event);
    codeAtUnplug = window.modalCode;
  };
  rig.press(kSkinsButton);
  EXPECT_EQ(codeAtUnplug, kModalCancel);
  EXPECT_FALSE(rig.window.visible);
  EXPECT_EQ(LinesStarting(AfterModal(rig.log), "show"), Log{});
  EXPECT_EQ(ReadText(rig.bin / "str.ini"), before);
}

TEST(SkinChoice, APreferencesFileThatCannotBeReadIsReportedAndLeftAlone) {
  MainWindowRig rig;
  const auto prefs = rig.bin / "str.ini";
  std::filesystem::remove(prefs);
  std::filesystem::create_directories(prefs / "inner");  // a folder where the file should be
  rig.window.modalScript = [](WindowModel& popup, RecordingWindow& window) {
    window.colourChoice = Rgb{9, 9, 9};
    popup.onLeftButtonDown(kOnSwatch);
    popup.onLeftButtonDown(kOnOk);
  };
  rig.press(kSkinsButton);
  const Log after = AfterModal(rig.log);
  const Log messages = LinesStarting(after, "message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(prefs.generic_string()), std::string::npos) << messages[0];
  EXPECT_TRUE(std::filesystem::is_directory(prefs / "inner"));
  // The choice is in force for this run all the same, and the page shows it.
  EXPECT_EQ(rig.dlg->skin().uiTextColor, (Rgb{9, 9, 9}));
  EXPECT_NE(std::find(after.begin(), after.end(), "img /BasicSet2.png @0,0"), after.end());
}

}  // namespace
}  // namespace vm31
