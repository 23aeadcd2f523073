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
  const KeyFunctionRow* row = FindKeyFunction(function);
  if (row == nullptr) return std::nullopt;
  FunctionParameters p;
  switch (row->dialog) {
    case FunctionDialog::kNone:
      return std::nullopt;
    case FunctionDialog::kWindowsList: {
      CWindowsDialog dialog(skin, font);
      return RunChoice(owner, dialog);
    }
    case FunctionDialog::kMediaList: {
      CMediaDialog dialog(skin, font);
      return RunChoice(owner, dialog);
    }
    case FunctionDialog::kFireKey: {
      CFireKeyDialog dialog(skin, font);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.position = dialog.keyIndex();
      p.entryText = dialog.keyText();
      p.fireSpeed = dialog.speed();
      p.fireCount = dialog.times();
      return p;
    }
    case FunctionDialog::kSingleKey: {
      CSingleDialog dialog(skin, font);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.keyName = dialog.keyName();
      return p;
    }
    case FunctionDialog::kComboKey: {
      CComboDialog dialog(skin, font);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.modifierName = dialog.modifierName();
      p.keyName = dialog.firstKeyName();
      p.keyName2 = dialog.secondKeyName();
      return p;
    }
    case FunctionDialog::kMacro: {
      CMacroDialog dialog(skin, font, macroFile);
      if (owner.runModal(dialog) != kModalOk) return std::nullopt;
      p.position = dialog.macroPosition();
      p.entryText = dialog.macroName();
      p.macroPlayMode = dialog.playMode();
      return p;
    }
  }
  return std::nullopt;
}

}  // namespace vm31
