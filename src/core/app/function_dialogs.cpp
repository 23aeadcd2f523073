#include "core/app/function_dialogs.h"

#include "core/ui/key_dialogs.h"

namespace vm31 {

namespace {

std::optional<FunctionParameters> RunChoice(WindowHost& owner, CChoiceDialog& dialog) {
  if (owner.runModal(dialog) != kModalOk) return std::nullopt;
  FunctionParameters p;
  p.position = dialog.choiceIndex();
  p.entryText = dialog.choiceText();
  return p;
}

}  // namespace

std::optional<FunctionParameters> RunFunctionDialog(WindowHost& owner, int function,
                                                    const SkinState& skin, const FontSpec& font,
                                                    const std::filesystem::path& macroFile) {
  FunctionParameters p;
  switch (function) {
    case 8:
    case 9: {
      CWindowsDialog windows(skin, font);
      CMediaDialog media(skin, font);
      return RunChoice(owner, function == 8 ? static_cast<CChoiceDialog&>(windows) : media);
    }
    case 10: {
      CFireKeyDialog dialog(skin, font);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.position = dialog.keyIndex();
      p.entryText = dialog.keyText();
      p.fireSpeed = dialog.speed();
      p.fireCount = dialog.times();
      return p;
    }
    case 11: {
      CSingleDialog dialog(skin, font);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.keyName = dialog.keyName();
      return p;
    }
    case 12: {
      CComboDialog dialog(skin, font);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.modifierName = dialog.modifierName();
      p.keyName = dialog.firstKeyName();
      p.keyName2 = dialog.secondKeyName();
      return p;
    }
    case 13: {
      CMacroDialog dialog(skin, font, macroFile);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.position = dialog.macroPosition();
      p.entryText = dialog.macroName();
      p.macroPlayMode = dialog.playMode();
      return p;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace vm31
