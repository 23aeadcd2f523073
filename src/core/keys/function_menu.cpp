#include "core/keys/function_menu.h"

#include "core/keys/key_tables.h"
#include "core/text/dialog_texts.h"

namespace vm31 {

namespace {

bool ValidPlace(int group, int button) {
  return group >= 0 && group < kKeyGroupCount && button >= 0 && button < kButtonCount;
}

std::string& LabelOf(ButtonLabels& labels, int group, int button) {
  return labels.texts[static_cast<std::size_t>(group * kLabelButtonCount + button)];
}

std::string MenuText(const KeyFunctionRow& row, UiLanguage language) {
  return std::string(UiTextFor(row.menuText, language));
}

constexpr auto kShiftCode = static_cast<std::uint8_t>(KeyFunction::kShift);

// The value a dialog's result gives `attribute`. Each attribute has one source, whichever
// function fills it.
std::uint8_t ParameterValue(KeyAttribute attribute, const FunctionParameters& p) {
  switch (attribute) {
    case KeyAttribute::kWindowsIndex:
    case KeyAttribute::kMediaIndex:
    case KeyAttribute::kFireIndex:
    case KeyAttribute::kMacroIndex:
      return static_cast<std::uint8_t>(p.position);
    case KeyAttribute::kWindowsCode:
      return WindowsKeyUsage(p.position).code;
    case KeyAttribute::kWindowsClass:
      return WindowsKeyUsage(p.position).keyClass;
    case KeyAttribute::kMediaCode:
      return MediaKeyUsage(p.position);
    case KeyAttribute::kFireKey:
      return FireKeyCode(p.position);
    case KeyAttribute::kFireSpeed:
      return p.fireSpeed;
    case KeyAttribute::kFireCount:
      return p.fireCount;
    case KeyAttribute::kSingleKey:
    case KeyAttribute::kComboKey1:
      return KeyUsageFromName(p.keyName);
    case KeyAttribute::kComboKey2:
      return KeyUsageFromName(p.keyName2);
    case KeyAttribute::kComboModifiers:
      return ModifierBitFromName(p.modifierName);
    case KeyAttribute::kMacroMode:
      return static_cast<std::uint8_t>(p.macroPlayMode - 1);
    case KeyAttribute::kKeyFunction:
      break;
  }
  return 0;
}

// The combination's present parts joined by "+".
std::string CombinationText(const FunctionParameters& p) {
  std::string parts;
  const auto add = [&](const std::string& part) {
    if (!parts.empty()) parts += "+";
    parts += part;
  };
  if (ModifierBitFromName(p.modifierName) != 0) add(p.modifierName);
  if (KeyUsageFromName(p.keyName) != 0) add(p.keyName);
  if (KeyUsageFromName(p.keyName2) != 0) add(p.keyName2);
  return parts;
}

}  // namespace

bool FunctionNeedsDialog(int function) {
  const KeyFunctionRow* row = FindKeyFunction(function);
  return row != nullptr && row->dialog != FunctionDialog::kNone;
}

bool LeftButtonGuardBlocks(const MouseConfig& config, int group, int button) {
  constexpr auto kLeftClick = static_cast<std::uint8_t>(KeyFunction::kLeftClick);
  if (!ValidPlace(group, button) || config.keyFunction(group, button) != kLeftClick) return false;
  for (int other = 0; other < kButtonCount; ++other) {
    if (other != button && config.keyFunction(group, other) == kLeftClick) return false;
  }
  return true;
}

std::string FunctionLabel(KeyFunction function, const FunctionParameters& p, UiLanguage language) {
  const KeyFunctionRow& row = KeyFunctionRowOf(function);
  const std::string menuText = MenuText(row, language);
  switch (row.caption) {
    case CaptionRule::kMenuText:
      return menuText;
    case CaptionRule::kEntryText:
      return p.entryText;
    case CaptionRule::kMenuTextAndEntry:
      return menuText + "-" + p.entryText;
    case CaptionRule::kMenuTextAndKey:
      return menuText + "-" + p.keyName;
    case CaptionRule::kMenuTextAndCombination:
      return menuText + "-" + CombinationText(p);
  }
  return menuText;
}

AssignOutcome AssignFunction(MouseConfig& config, ButtonLabels& labels, int button, int group,
                             int function, const std::optional<FunctionParameters>& parameters,
                             UiLanguage language) {
  const KeyFunctionRow* row = FindKeyFunction(function);
  if (row == nullptr || row->function == KeyFunction::kDpiSwitch || !ValidPlace(group, button)) {
    return AssignOutcome::kListStays;
  }
  const int other = 1 - group;
  if (row->function == KeyFunction::kShift) {
    for (int b = 0; b < kShiftCheckedButtons; ++b) {
      if (config.keyFunction(group, b) == kShiftCode) return AssignOutcome::kUnchanged;
    }
    for (int g : {group, other}) {
      config.setKeyAttribute(g, KeyAttribute::kKeyFunction, button, kShiftCode);
      LabelOf(labels, g, button) = MenuText(*row, language);
    }
    return AssignOutcome::kAssigned;
  }
  FunctionParameters none;
  if (row->dialog != FunctionDialog::kNone) {
    if (!parameters) return AssignOutcome::kUnchanged;
    // A macro key confirmed without a macro chosen would silently take macro 1.
    if (row->dialog == FunctionDialog::kMacro && parameters->entryText.empty()) {
      return AssignOutcome::kUnchanged;
    }
    for (const KeyAttribute attribute : row->attributes) {
      config.setKeyAttribute(group, attribute, button, ParameterValue(attribute, *parameters));
    }
  }
  const std::string label = FunctionLabel(row->function, parameters ? *parameters : none, language);
  LabelOf(labels, group, button) = label;
  const auto code = static_cast<std::uint8_t>(row->function);
  if (config.keyFunction(group, button) == kShiftCode) {
    config.setKeyAttribute(other, KeyAttribute::kKeyFunction, button, code);
    LabelOf(labels, other, button) = label;
  }
  config.setKeyAttribute(group, KeyAttribute::kKeyFunction, button, code);
  return AssignOutcome::kAssigned;
}

std::string StoredFunctionLabel(const MouseConfig& config, int group, int button,
                                std::span<const std::string> macroNames, UiLanguage language) {
  if (!ValidPlace(group, button)) return {};
  const KeyFunctionRow* row = FindKeyFunction(config.keyFunction(group, button));
  if (row == nullptr) return {};
  const auto stored = [&](KeyAttribute attribute) {
    return config.keyAttribute(group, attribute, button);
  };
  FunctionParameters p;
  switch (row->function) {
    case KeyFunction::kDpiSwitch: {
      const int stage = config.dpiSwitchStage(group, button);
      if (stage >= 1 && stage <= static_cast<int>(kDpiSwitchMenu.size())) {
        return std::string(kDpiSwitchMenu[static_cast<std::size_t>(stage - 1)]);
      }
      break;
    }
    case KeyFunction::kWindows:
      p.entryText = WindowsOptionText(stored(KeyAttribute::kWindowsIndex), language);
      break;
    case KeyFunction::kMultimedia:
      p.entryText = MediaOptionText(stored(KeyAttribute::kMediaIndex), language);
      break;
    case KeyFunction::kFireKey:
      if (const std::size_t index = stored(KeyAttribute::kFireIndex);
          index < FireKeyNames().size()) {
        p.entryText = FireKeyNames()[index];
      }
      break;
    case KeyFunction::kSingleKey:
      p.keyName = KeyNameFromUsage(stored(KeyAttribute::kSingleKey));
      break;
    case KeyFunction::kComboKey:
      for (const KeyName& modifier : ModifierNameTable()) {
        if (modifier.code == stored(KeyAttribute::kComboModifiers)) p.modifierName = modifier.name;
      }
      p.keyName = KeyNameFromUsage(stored(KeyAttribute::kComboKey1));
      p.keyName2 = KeyNameFromUsage(stored(KeyAttribute::kComboKey2));
      break;
    case KeyFunction::kMacroKey:
      if (const std::size_t index = stored(KeyAttribute::kMacroIndex); index < macroNames.size()) {
        p.entryText = macroNames[index];
      }
      break;
    default:
      break;
  }
  return FunctionLabel(row->function, p, language);
}

bool FillMissingLabels(const MouseConfig& config, ButtonLabels& labels,
                       std::span<const std::string> macroNames, UiLanguage language) {
  bool filled = false;
  for (int group = 0; group < kKeyGroupCount; ++group) {
    for (int button = 0; button < kButtonCount; ++button) {
      std::string& label = LabelOf(labels, group, button);
      if (!label.empty()) continue;
      label = StoredFunctionLabel(config, group, button, macroNames, language);
      filled = filled || !label.empty();
    }
  }
  return filled;
}

bool AssignDpiStage(MouseConfig& config, ButtonLabels& labels, int button, int group,
                    int position) {
  if (!ValidPlace(group, button) || position < 0 ||
      position >= static_cast<int>(kDpiSwitchMenu.size())) {
    return false;
  }
  LabelOf(labels, group, button) = std::string(kDpiSwitchMenu[static_cast<std::size_t>(position)]);
  config.setKeyAttribute(group, KeyAttribute::kKeyFunction, button,
                         static_cast<std::uint8_t>(KeyFunction::kDpiSwitch));
  config.setDpiSwitchStage(group, button, static_cast<std::uint8_t>(position + 1));
  return true;
}

}  // namespace vm31
