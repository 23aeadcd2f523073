// The press dispatch of the main window and the basic page's controls: key groups, the key
// rows' function lists and the DPI-switch cascade, report rate, DPI stages, levels and colours,
// the lighting lists, and OK, Apply and Cancel.

#include <algorithm>
#include <string>

#include "core/app/function_dialogs.h"
#include "core/app/main_pages.h"
#include "core/app/page_pictures.h"
#include "core/app/skin_choice.h"
#include "core/settings/config_file.h"
#include "core/settings/ini_file.h"
#include "core/settings/value_labels.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;
using namespace page_picture;

// The DPI-switch cascade's size; it opens beside the "DPI Switch" entry.
constexpr int kDpiSwitchListWidth = 60;
constexpr int kDpiSwitchListHeight = 80;
// Levels 9..12 exist only in the twelve-level table of sensor type 0.
constexpr int kEightLevels = 8;

constexpr std::array<int, 3> kLightLists{id::kLightModeList, id::kLightParameterList,
                                         id::kLightEffectList};
constexpr std::array<Rect, 3> kLightFields{layout::kLightModeField, layout::kLightParameterField,
                                           layout::kLightEffectField};

int KeyListId(int button) {
  return id::kFirstKeyList + button;
}

// The parameter list's height and entries follow the stored lighting mode.
int ParameterListHeight(int mode) {
  switch (mode) {
    case 1:
      return 173;
    case 2:
      return 93;
    default:
      return 203;
  }
}

std::string ParameterEntry(int mode, int index) {
  switch (mode) {
    case 1:
      return StandardLevelLabel(index);
    case 2:
      return RespirationLevelLabel(index);
    default:
      return NeonLevelLabel(index);
  }
}

int ParameterCount(int mode) {
  switch (mode) {
    case 1:
      return kStandardLevelCount;
    case 2:
      return kRespirationLevelCount;
    default:
      return kNeonLevelCount;
  }
}

ControlStyle ListStyle(const CTarnwickDlg& dlg, int listId, const MouseConfig& config) {
  return MainControlStyle(listId, config, dlg.skin().uiTextColor, dlg.normalFont());
}

}  // namespace

ButtonLabels& MainWindowPages::labels() {
  return dlg_.preferences().labels;
}

// ---- the press dispatch ----

void MainWindowPages::onLeftButtonDown(Point at) {
  WindowHost* host = dlg_.ports().host;
  const bool onOk = layout::kOkButton.contains(at);
  const bool onApply = !onOk && layout::kApplyButton.contains(at);
  const bool onCancel = !onApply && !onOk && layout::kCancelButton.contains(at);
  if (onOk) runApply(true);
  if (onApply) runApply(false);
  if (layout::kSkinsButton.contains(at)) {
    if (!skinChooser) {
      RunSkinChooser(dlg_, this);
    } else if (skinChooser()) {
      rebuildPage(dlg_.currentPage);
    }
  }
  if (layout::kMinimiseButton.contains(at)) {
    if (host != nullptr) host->hide();
    return;
  }
  if (layout::kCloseButton.contains(at)) {
    dlg_.exitProgram();
    return;
  }
  if (layout::kBasicTab.contains(at)) {
    showBasicPage();
    return;
  }
  if (layout::kAdvancedTab.contains(at)) {
    showAdvancedPage();
    return;
  }
  if (onCancel) cancelEdits();
  if (dlg_.currentPage == MainPage::kBasic && basicPagePress(at)) return;
  if (dlg_.currentPage == MainPage::kAdvanced && advancedPagePress(at)) return;
  if (host != nullptr) host->startDrag();
}

void MainWindowPages::runApply(bool hideAfter) {
  if (!dlg_.devicePresent()) return;
  WindowHost* host = dlg_.ports().host;
  const MouseConfig& config = dlg_.mouseConfig();
  std::string problem;
  Result<ApplyOutcome> outcome = dlg_.link().apply(config);
  if (!outcome) {
    problem = outcome.error().message;
  } else if (!outcome.value().ok()) {
    problem = outcome.value().message();
  }
  // The files are saved whatever the mouse answered: they are the source of truth.
  if (Status saved = SaveConfig(dlg_.paths().data.config, config); !saved) {
    if (host != nullptr) host->messageBox(saved.error().message, {}, MessageBoxIcon::kNone);
  }
  if (Result<IniDocument> prefs = IniDocument::Load(dlg_.paths().data.prefs); prefs) {
    SaveLabels(prefs.value(), dlg_.language(), labels());
    (void)prefs.value().Save(dlg_.paths().data.prefs);
  }
  dlg_.appliedConfig() = config;
  writeSystemSettings();
  if (!problem.empty() && host != nullptr) {
    host->messageBox(problem, kPageWarningCaption, MessageBoxIcon::kWarning);
  }
  if (hideAfter && host != nullptr) host->hide();
}

void MainWindowPages::cancelEdits() {
  dlg_.mouseConfig() = dlg_.appliedConfig();
  dlg_.pageNeedsRebuild = true;
  if (WindowHost* host = dlg_.ports().host) host->hide();
}

// ---- basic page ----

void MainWindowPages::closeKeyList(int button) {
  if (Controls* controls = dlg_.ports().controls) controls->destroy(KeyListId(button));
  keyListOpen_[static_cast<std::size_t>(button)] = false;
}

void MainWindowPages::closeLightList(int field) {
  if (Controls* controls = dlg_.ports().controls) {
    controls->destroy(kLightLists[static_cast<std::size_t>(field)]);
  }
  lightListOpen_[static_cast<std::size_t>(field)] = false;
}

void MainWindowPages::closeStaleLists(Point at) {
  Controls* controls = dlg_.ports().controls;
  for (int row = 0; row < layout::kKeyRowCount; ++row) {
    if (layout::KeyRow(row).contains(at) ||
        layout::kKeyLists[static_cast<std::size_t>(row)].contains(at)) {
      continue;
    }
    // A list left on screen after "DPI Switch" was chosen closes too, marked open or not.
    if (keyListOpen_[static_cast<std::size_t>(row)] ||
        (controls != nullptr && controls->exists(KeyListId(row)))) {
      closeKeyList(row);
    }
    if (controls != nullptr) controls->destroy(id::kDpiSwitchList);
  }
  const std::array<Rect, 3> listRects{
      layout::kLightModeList,
      layout::LightParameterList(ParameterListHeight(dlg_.mouseConfig().lightMode())),
      layout::kLightEffectList};
  for (int field = 0; field < 3; ++field) {
    const auto f = static_cast<std::size_t>(field);
    if (kLightFields[f].contains(at)) continue;
    if (field != 1 && listRects[f].contains(at)) continue;
    if (lightListOpen_[f] || (controls != nullptr && controls->exists(kLightLists[f]))) {
      closeLightList(field);
    }
  }
}

bool MainWindowPages::basicPagePress(Point at) {
  closeStaleLists(at);
  if (layout::kModeAButton.contains(at)) {
    switchKeyGroup(0);
    return true;
  }
  if (layout::kModeBButton.contains(at)) {
    switchKeyGroup(1);
    return true;
  }
  if (layout::kKeyDefaultButton.contains(at)) {
    defaultKeys();
    return true;
  }
  for (int row = 0; row < layout::kKeyRowCount; ++row) {
    if (layout::KeyRow(row).contains(at)) {
      keyRowPress(row);
      return true;
    }
  }
  for (int segment = 0; segment < layout::kReportRateSegmentCount; ++segment) {
    if (layout::kReportRateSegments[static_cast<std::size_t>(segment)].contains(at)) {
      reportRatePress(segment);
      return true;
    }
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    if (layout::DpiTick(stage).contains(at)) {
      tickPress(stage);
      return true;
    }
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    if (layout::DpiSwatch(stage).contains(at)) {
      colourPress(stage);
      return true;
    }
  }
  for (int field = 0; field < 3; ++field) {
    if (kLightFields[static_cast<std::size_t>(field)].contains(at)) {
      lightFieldPress(field);
      return true;
    }
  }
  const int levels = dlg_.link().state().sensorTypeCopy == 0 ? layout::kMaxDpiLevels : kEightLevels;
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    for (int level = 0; level < levels; ++level) {
      if (layout::DpiCell(stage, level).contains(at)) {
        levelPress(stage, level);
        return true;
      }
    }
  }
  return false;
}

void MainWindowPages::switchKeyGroup(int group) {
  dlg_.mouseConfig().at(config_offset::kEditedKeyGroup) = static_cast<std::uint8_t>(group);
  drawModeButtons();
  for (int row = 0; row < layout::kKeyRowCount; ++row) drawKeyRow(row, false);
  present();
}

void MainWindowPages::defaultKeys() {
  ApplyDefaultKeyFunctions(dlg_.mouseConfig());
  labels() = FactoryButtonLabels(dlg_.language());
  for (int row = 0; row < layout::kKeyRowCount; ++row) drawKeyRow(row, false);
  present();
}

void MainWindowPages::keyRowPress(int row) {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  if (keyListOpen_[static_cast<std::size_t>(row)]) {
    closeKeyList(row);
    return;
  }
  for (int other = 0; other < kButtonCount; ++other) {
    if (other != row && keyListOpen_[static_cast<std::size_t>(other)]) closeKeyList(other);
  }
  if (LeftButtonGuardBlocks(dlg_.mouseConfig(), editedGroup(), row)) {
    if (WindowHost* host = dlg_.ports().host) {
      host->messageBox(dlg_.text(UiText::kLeftKeyMustBeSelected), kPageWarningCaption,
                       MessageBoxIcon::kWarning);
    }
    return;
  }
  const int list = KeyListId(row);
  if (!controls->exists(list)) {
    controls->create(list, ControlKind::kListBox, layout::kKeyLists[static_cast<std::size_t>(row)],
                     ListStyle(dlg_, list, dlg_.mouseConfig()));
    for (int function = 0; function < kFunctionMenuCount; ++function) {
      controls->addItem(list, FunctionMenuText(function, dlg_.language()));
    }
  }
  keyListOpen_[static_cast<std::size_t>(row)] = true;
}

void MainWindowPages::reportRatePress(int segment) {
  MouseConfig& config = dlg_.mouseConfig();
  const std::uint8_t code = layout::kReportRateCodes[static_cast<std::size_t>(segment)];
  const std::uint8_t previous = config.reportRateCode();
  config.at(config_offset::kReportRateCode) = code;
  if (previous == code) return;
  int previousSegment = layout::kReportRateSegmentCount - 1;
  for (int i = 0; i < layout::kReportRateSegmentCount - 1; ++i) {
    if (layout::kReportRateCodes[static_cast<std::size_t>(i)] == previous) previousSegment = i;
  }
  drawImage(kRateLight, layout::kReportRateSegments[static_cast<std::size_t>(segment)]);
  if (previousSegment != segment) {
    drawImage(kRateDark, layout::kReportRateSegments[static_cast<std::size_t>(previousSegment)]);
  }
  present();
}

void MainWindowPages::tickPress(int stage) {
  MouseConfig& config = dlg_.mouseConfig();
  std::uint8_t& flag = config.at(config_offset::kDpiStageEnabled + static_cast<std::size_t>(stage));
  if (flag != 0) {
    bool othersEnabled = false;
    for (int other = 0; other < kDpiStageCount; ++other) {
      if (other != stage && config.dpiStageEnabled(other)) othersEnabled = true;
    }
    if (!othersEnabled) return;  // the last enabled stage stays
    flag = 0;
  } else {
    flag = 1;
  }
  drawDpiStage(stage);
  present();
}

void MainWindowPages::colourPress(int stage) {
  MouseConfig& config = dlg_.mouseConfig();
  WindowHost* host = dlg_.ports().host;
  if (!config.dpiStageEnabled(stage) || host == nullptr) return;
  const std::optional<Rgb> colour = host->chooseColour(Rgb{});
  if (!colour) return;
  const std::size_t at = config_offset::kDpiColor + 3 * static_cast<std::size_t>(stage);
  config.at(at) = colour->red;
  config.at(at + 1) = colour->green;
  config.at(at + 2) = colour->blue;
  if (Controls* controls = dlg_.ports().controls) {
    const int swatch = id::kFirstSwatch + stage;
    controls->setStyle(swatch, ListStyle(dlg_, swatch, config));
  }
}

void MainWindowPages::levelPress(int stage, int level) {
  dlg_.mouseConfig().at(config_offset::kDpiLevel + static_cast<std::size_t>(stage)) =
      static_cast<std::uint8_t>(level);
  for (int cell = 0; cell < dpiLevelCount_; ++cell) {
    drawImage(cell <= level ? kDpiLight : kDpiDark, layout::DpiCell(stage, cell));
  }
  present();
}

void MainWindowPages::lightFieldPress(int field) {
  const auto f = static_cast<std::size_t>(field);
  if (lightListOpen_[f]) {
    closeLightList(field);
    return;
  }
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const MouseConfig& config = dlg_.mouseConfig();
  const int mode = config.lightMode();
  const int list = kLightLists[f];
  const UiLanguage language = dlg_.language();
  if (!controls->exists(list)) {
    if (field == 0) {
      controls->create(list, ControlKind::kListBox, layout::kLightModeList,
                       ListStyle(dlg_, list, config));
      for (int m = 1; m <= kLightModeCount; ++m)
        controls->addItem(list, LightModeLabel(m, language));
    } else if (field == 1) {
      controls->create(list, ControlKind::kListBox,
                       layout::LightParameterList(ParameterListHeight(mode)),
                       ListStyle(dlg_, list, config));
      for (int i = 0; i < ParameterCount(mode); ++i)
        controls->addItem(list, ParameterEntry(mode, i));
    } else if (mode == 1) {
      controls->setText(id::kLightEffectValue, RgbEffectLabel(1, language));
    } else if (mode == 2 || mode == 3) {
      controls->create(list, ControlKind::kListBox, layout::kLightEffectList,
                       ListStyle(dlg_, list, config));
      // Mode 2 offers effects 1 and 2, mode 3 effects 2 and 3.
      controls->addItem(list, RgbEffectLabel(mode - 1, language));
      controls->addItem(list, RgbEffectLabel(mode, language));
    }
  }
  lightListOpen_[f] = true;
}

// ---- list notifications ----

void MainWindowPages::onControlNotify(int controlId, ControlNotification notification) {
  if (dlg_.currentPage == MainPage::kAdvanced) {
    advancedControlNotify(controlId, notification);
    return;
  }
  if (dlg_.currentPage != MainPage::kBasic) return;
  const bool change = notification == ControlNotification::kSelectionChange;
  const bool doubleClick = notification == ControlNotification::kDoubleClick;
  if (controlId >= id::kFirstKeyList && controlId <= id::kLastKeyList) {
    if (change || (doubleClick && controlId <= id::kFirstKeyList + 7)) functionListChosen();
    return;
  }
  if (controlId == id::kDpiSwitchList) {
    if (change) dpiSwitchChosen();
    return;
  }
  for (int field = 0; field < 3; ++field) {
    if (controlId == kLightLists[static_cast<std::size_t>(field)] && (change || doubleClick)) {
      lightListChosen(field);
    }
  }
}

void MainWindowPages::functionListChosen() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  int button = -1;
  for (int b = 0; b < kButtonCount && button < 0; ++b) {
    if (controls->exists(KeyListId(b))) button = b;
  }
  if (button < 0) return;
  const int list = KeyListId(button);
  const int function = controls->selection(list);
  std::optional<FunctionParameters> parameters;
  if (FunctionNeedsDialog(function)) {
    if (functionDialog) {
      parameters = functionDialog(function);
    } else if (WindowHost* host = dlg_.ports().host) {
      parameters = RunFunctionDialog(*host, function, dlg_.skin(), dlg_.normalFont(),
                                     dlg_.paths().data.macros);
    }
  }
  const AssignOutcome outcome = AssignFunction(dlg_.mouseConfig(), labels(), button, editedGroup(),
                                               function, parameters, dlg_.language());
  if (outcome != AssignOutcome::kListStays) controls->destroy(list);
  if (button < layout::kKeyRowCount) {
    drawImage(kDropdownNormal, layout::KeyRow(button));
    drawKeyRowTexts(button);
    present();
  }
  keyListOpen_[static_cast<std::size_t>(button)] = false;
}

void MainWindowPages::dpiSwitchChosen() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const int position = controls->selection(id::kDpiSwitchList);
  if (position < 0) return;
  int button = -1;
  for (int b = 0; b < 8 && button < 0; ++b) {
    if (controls->exists(KeyListId(b))) button = b;
  }
  if (button < 0) return;
  AssignDpiStage(dlg_.mouseConfig(), labels(), button, editedGroup(), position);
  if (button < layout::kKeyRowCount) {
    drawImage(kDropdownNormal, layout::KeyRow(button));
    drawKeyRowTexts(button);
    present();
  }
  controls->destroy(id::kDpiSwitchList);
  closeKeyList(button);
}

void MainWindowPages::lightListChosen(int field) {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const int list = kLightLists[static_cast<std::size_t>(field)];
  const int index = controls->selection(list);
  if (index < 0) return;
  MouseConfig& config = dlg_.mouseConfig();
  const UiLanguage language = dlg_.language();
  const std::string entry = controls->itemText(list, index);
  if (field == 0) {
    const int mode = index + 1;
    config.at(config_offset::kLightMode) = static_cast<std::uint8_t>(mode);
    controls->setText(id::kLightModeValue, entry);
    controls->setText(id::kLightParameterValue, ParameterEntry(mode, config.lightLevel(mode)));
    controls->setText(
        id::kLightEffectValue,
        mode == 1 ? RgbEffectLabel(1, language) : RgbEffectLabel(config.rgbEffect(mode), language));
  } else if (field == 1) {
    const int mode = config.lightMode();
    // With no lighting mode stored there is no level to keep.
    if (mode >= 1 && mode <= kLightModeCount) {
      config.at(config_offset::kLightLevel + static_cast<std::size_t>(mode - 1)) =
          static_cast<std::uint8_t>(index);
    }
    controls->setText(id::kLightParameterValue, entry);
  } else {
    const int mode = config.lightMode();
    if (mode == 2 || mode == 3) {
      config.at(config_offset::kRgbEffect + static_cast<std::size_t>(mode - 1)) =
          static_cast<std::uint8_t>(index + mode - 1);
    }
    controls->setText(id::kLightEffectValue, entry);
  }
  closeLightList(field);
}

// ---- hover selection in the function lists ----

void MainWindowPages::onControlMouseMove(int controlId, Point at) {
  if (dlg_.currentPage == MainPage::kAdvanced) {
    advancedControlMouseMove(controlId, at);
    return;
  }
  Controls* controls = dlg_.ports().controls;
  // Only the key rows' lists (buttons 1..7) are ever opened.
  if (controls == nullptr || controlId < id::kFirstKeyList ||
      controlId >= id::kFirstKeyList + layout::kKeyRowCount || !controls->exists(controlId)) {
    return;
  }
  const int entry = controls->itemAt(controlId, at);
  if (entry < 0) return;
  controls->setSelection(controlId, entry);
  if (entry != kFunctionDpiSwitch) {
    controls->destroy(id::kDpiSwitchList);
    return;
  }
  if (controls->exists(id::kDpiSwitchList)) return;
  // The entry's top: the first pixel row of the list that lies in the entry.
  const Rect list = layout::kKeyLists[static_cast<std::size_t>(controlId - id::kFirstKeyList)];
  int top = at.y;
  while (top > list.top && controls->itemAt(controlId, Point{at.x, top - 1}) == entry) --top;
  const Rect cascade{list.right, top, list.right + kDpiSwitchListWidth, top + kDpiSwitchListHeight};
  controls->create(id::kDpiSwitchList, ControlKind::kListBox, cascade,
                   ListStyle(dlg_, id::kDpiSwitchList, dlg_.mouseConfig()));
  for (std::string_view text : kDpiSwitchMenu) controls->addItem(id::kDpiSwitchList, text);
}

}  // namespace vm31
