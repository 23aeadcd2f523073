#include "core/keys/function_menu.h"

#include "core/keys/key_tables.h"

namespace vm31 {

namespace {

bool ValidPlace(int group, int button) {
  return group >= 0 && group < kKeyGroupCount && button >= 0 && button < kButtonCount;
}

std::string& LabelOf(ButtonLabels& labels, int group, int button) {
  return labels.texts[static_cast<std::size_t>(group * kLabelButtonCount + button)];
}

std::string MenuText(int function, UiLanguage language) {
  return std::string(FunctionMenuText(function, language));
}

void StoreParameters(MouseConfig& config, int group, int button, int function,
                     const FunctionParameters& p) {
  const auto set = [&](KeyAttribute attribute, std::uint8_t value) {
    config.setKeyAttribute(group, attribute, button, value);
  };
  const auto position = static_cast<std::uint8_t>(p.position);
  switch (function) {
    case 8: {
      const WindowsKeyCode code = WindowsKeyUsage(p.position);
      set(KeyAttribute::kWindowsIndex, position);
      set(KeyAttribute::kWindowsCode, code.code);
      set(KeyAttribute::kWindowsClass, code.keyClass);
      break;
    }
    case 9:
      set(KeyAttribute::kMediaIndex, position);
      set(KeyAttribute::kMediaCode, MediaKeyUsage(p.position));
      break;
    case 10:
      set(KeyAttribute::kFireIndex, position);
      set(KeyAttribute::kFireKey, FireKeyCode(p.position));
      set(KeyAttribute::kFireSpeed, p.fireSpeed);
      set(KeyAttribute::kFireCount, p.fireCount);
      break;
    case 11:
      set(KeyAttribute::kSingleKey, KeyUsageFromName(p.keyName));
      break;
    case 12:
      set(KeyAttribute::kComboModifiers, ModifierBitFromName(p.modifierName));
      set(KeyAttribute::kComboKey1, KeyUsageFromName(p.keyName));
      set(KeyAttribute::kComboKey2, KeyUsageFromName(p.keyName2));
      break;
    case 13:
      set(KeyAttribute::kMacroIndex, position);
      set(KeyAttribute::kMacroMode, static_cast<std::uint8_t>(p.macroPlayMode - 1));
      break;
    default:
      break;
  }
}

}  // namespace

bool LeftButtonGuardBlocks(const MouseConfig& config, int group, int button) {
  if (!ValidPlace(group, button) || config.keyFunction(group, button) != 0) return false;
  for (int other = 0; other < kButtonCount; ++other) {
    if (other != button && config.keyFunction(group, other) == 0) return false;
  }
  return true;
}

std::string FunctionLabel(int function, const FunctionParameters& p, UiLanguage language) {
  const std::string prefix = MenuText(function, language) + "-";
  switch (function) {
    case 8:
      return p.entryText;
    case 9:
    case 10:
    case 13:
      return prefix + p.entryText;
    case 11:
      return prefix + p.keyName;
    case 12: {
      std::string parts;
      const auto add = [&](const std::string& part) {
        if (!parts.empty()) parts += "+";
        parts += part;
      };
      if (ModifierBitFromName(p.modifierName) != 0) add(p.modifierName);
      if (KeyUsageFromName(p.keyName) != 0) add(p.keyName);
      if (KeyUsageFromName(p.keyName2) != 0) add(p.keyName2);
      return prefix + parts;
    }
    default:
      return MenuText(function, language);
  }
}

AssignOutcome AssignFunction(MouseConfig& config, ButtonLabels& labels, int button, int group,
                             int function, const std::optional<FunctionParameters>& parameters,
                             UiLanguage language) {
  if (function < 0 || function >= kFunctionMenuCount || function == kFunctionDpiSwitch ||
      !ValidPlace(group, button)) {
    return AssignOutcome::kListStays;
  }
  const int other = 1 - group;
  if (function == kFunctionShift) {
    for (int b = 0; b < kShiftCheckedButtons; ++b) {
      if (config.keyFunction(group, b) == kFunctionShift) return AssignOutcome::kUnchanged;
    }
    for (int g : {group, other}) {
      config.setKeyAttribute(g, KeyAttribute::kKeyFunction, button, kFunctionShift);
      LabelOf(labels, g, button) = MenuText(kFunctionShift, language);
    }
    return AssignOutcome::kAssigned;
  }
  FunctionParameters none;
  if (FunctionNeedsDialog(function)) {
    if (!parameters) return AssignOutcome::kUnchanged;
    // A macro key confirmed without a macro chosen would silently take macro 1.
    if (function == 13 && parameters->entryText.empty()) return AssignOutcome::kUnchanged;
    StoreParameters(config, group, button, function, *parameters);
  }
  const std::string label = FunctionLabel(function, parameters ? *parameters : none, language);
  LabelOf(labels, group, button) = label;
  const auto code = static_cast<std::uint8_t>(function);
  if (config.keyFunction(group, button) == kFunctionShift) {
    config.setKeyAttribute(other, KeyAttribute::kKeyFunction, button, code);
    LabelOf(labels, other, button) = label;
  }
  config.setKeyAttribute(group, KeyAttribute::kKeyFunction, button, code);
  return AssignOutcome::kAssigned;
}

bool AssignDpiStage(MouseConfig& config, ButtonLabels& labels, int button, int group,
                    int position) {
  if (!ValidPlace(group, button) || position < 0 ||
      position >= static_cast<int>(kDpiSwitchMenu.size())) {
    return false;
  }
  LabelOf(labels, group, button) = std::string(kDpiSwitchMenu[static_cast<std::size_t>(position)]);
  config.setKeyAttribute(group, KeyAttribute::kKeyFunction, button, kFunctionDpiSwitch);
  config.setDpiSwitchStage(group, button, static_cast<std::uint8_t>(position + 1));
  return true;
}

}  // namespace vm31
