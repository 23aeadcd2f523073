#pragma once
// The fixture of the popup-dialog tests: a skin folder in a temporary folder holding every
// picture of a skin, the skin state in force naming it, a font, and a recording window that runs
// one dialog. Paths in the log are relative to the skin folder ("img /button-over.png @270,253").

#include <filesystem>
#include <string>
#include <string_view>

#include "core/ui/popup_frame.h"
#include "core/ui/skin_pictures.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace vm31::testing {

// Points on the painted OK and Cancel buttons of every popup dialog.
inline constexpr Point kOnOk{200, 260};
inline constexpr Point kOnCancel{300, 260};

// Writes every picture of a skin into `folder`, each a 380 x 280 PNG header (see
// WritePngHeader: all the recording window reads of a picture).
inline void WriteSkin(const std::filesystem::path& folder) {
  for (const SkinPictureRow& row : kSkinPictures) {
    WritePngHeader(folder / std::string(row.fileName.substr(1)), 380, 280);
  }
}

struct DialogSetup {
  std::filesystem::path skinFolder = "Dark";  // the skin in force, in the temporary folder
  UiLanguage language = UiLanguage::kEnglish;
  bool pictures = true;  // false: the skin folder is left without pictures
};

struct DialogRig {
  explicit DialogRig(const DialogSetup& setup = {}) {
    const std::filesystem::path folder = temp.path() / setup.skinFolder;
    if (setup.pictures) WriteSkin(folder);
    skin.currentSkinFolder = folder.generic_string();
    skin.currentSkinName = folder.filename().generic_string();
    skin.uiLanguage = setup.language;
    window.stripPrefix = skin.currentSkinFolder;
  }

  // Attaches `dialog` to the window and initialises it; the log keeps what that drew.
  bool start(WindowModel& dialog) {
    window.model = &dialog;
    dialog.attach(window.ports());
    return dialog.onInitialise();
  }
  // The same, with the log cleared afterwards: the test sees only what follows.
  bool open(WindowModel& dialog) {
    const bool ok = start(dialog);
    log.clear();
    return ok;
  }
  // Types `text` into edit `id` one character at a time, as the user does.
  void type(WindowModel& dialog, int id, std::string_view text) {
    for (char c : text) {
      window.setText(id, window.text(id) + c);
      dialog.onControlNotify(id, ControlNotification::kEditChange);
    }
  }
  // Chooses item `index` of list `list` as a click does: selection, then the notification.
  void choose(WindowModel& dialog, int list, int index) {
    window.setSelection(list, index);
    dialog.onControlNotify(list, ControlNotification::kSelectionChange);
  }

  TempFolder temp;
  SkinState skin;
  FontSpec font{"Arial", 12, 400};
  Log log;
  RecordingWindow window{log};
};

}  // namespace vm31::testing
