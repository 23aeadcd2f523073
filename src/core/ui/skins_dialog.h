#pragma once
// CSkinsDialog: the skin chooser. The user picks one of the skin folders of the skin roots and
// the colour of the labels drawn on skinned buttons. The result members start as the skin state
// in force when the dialog opens; the caller reads them after a run that ended with kModalOk.

#include <filesystem>
#include <string>
#include <vector>

#include "core/ui/popup_frame.h"

namespace vm31 {

class CSkinsDialog : public PopupFrame {
 public:
  static constexpr int kValueId = 560;
  static constexpr int kSwatchId = 561;
  static constexpr int kListId = 562;
  static constexpr Rect kValueRect{42, 128, 136, 144};
  // A press here opens or closes the list: the value field widened to the right.
  static constexpr Rect kClickRect{42, 128, 151, 144};
  static constexpr Rect kListRect{42, 146, 151, 266};
  static constexpr Rect kSwatchRect{42, 94, 151, 110};
  // The prompt: the swatch widened by 30 on both sides, in the 30 pixels above it.
  static constexpr Rect kPromptRect{12, 64, 181, 94};

  // `roots`: the skin roots in search order (see skin.h). The list shows ListSkins(roots) in its
  // order: the user's skins, then the installed ones, then the executable's, each name once and
  // sorted by name within its root. A chosen name gives the folder ResolveSkinFolder finds for
  // it, the one the next start will use.
  CSkinsDialog(SkinState skin, FontSpec font, std::vector<std::filesystem::path> roots);

  KeyDisposition onKey(const KeyEvent& key) override { return standardKeys(key); }
  void onControlNotify(int controlId, ControlNotification notification) override;
  void onControlMouseMove(int controlId, Point at) override;
  void onWheel(int delta, Point at) override;

  const std::string& chosenFolder() const { return chosenFolder_; }
  const std::string& chosenName() const { return chosenName_; }
  Rgb chosenColour() const { return chosenColour_; }
  bool listOpen() const { return list_.isOpen(); }

 private:
  void createControls() override;
  void drawOwnTexts() override;
  void onDialogPress(Point at) override;
  // No text, filled with the chosen colour.
  ControlStyle swatchStyle() const;

  std::vector<std::filesystem::path> roots_;
  DropList list_;
  std::string chosenFolder_;
  std::string chosenName_;
  Rgb chosenColour_;
};

}  // namespace vm31
