#include "core/app/skin_choice.h"

#include <filesystem>
#include <string>
#include <string_view>

#include "core/settings/ini_file.h"
#include "core/settings/preferences.h"
#include "core/ui/skins_dialog.h"

namespace vm31 {

namespace {

// A file that cannot be read is never written over: it still holds the language and the button
// captions.
Status StoreSkinChoice(const std::filesystem::path& prefsFile, Rgb colour,
                       std::string_view skinName) {
  Result<IniDocument> prefs = IniDocument::Load(prefsFile);
  if (!prefs) return prefs.error();
  SaveSkinPreferences(prefs.value(), colour.red, colour.green, colour.blue, skinName);
  return prefs.value().Save(prefsFile);
}

}  // namespace

bool RunSkinChooser(CTarnwickDlg& dlg, MainPages* pages) {
  WindowHost* host = dlg.ports().host;
  if (host == nullptr) return false;
  CSkinsDialog dialog(dlg.skin(), dlg.normalFont(), dlg.paths().skinRoots);
  if (host->runModal(dialog) != kModalOk) return false;

  const Rgb colour = dialog.chosenColour();
  dlg.setSkin(dialog.chosenFolder(), dialog.chosenName(), colour);

  if (Status stored = StoreSkinChoice(dlg.paths().data.prefs, colour, dialog.chosenName());
      !stored) {
    host->messageBox(stored.error().message, {}, MessageBoxIcon::kNone);
  }
  if (pages != nullptr && pages->currentPage() != MainPage::kNone) {
    pages->rebuildPage(pages->currentPage());
  }
  host->show();
  host->bringToFront();
  return true;
}

}  // namespace vm31
