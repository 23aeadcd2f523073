#include "core/app/basic_lists.h"

#include "core/app/function_dialogs.h"
#include "core/settings/value_labels.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;

// The DPI-switch cascade's size; it opens beside the "DPI Switch" entry.
constexpr int kDpiSwitchListWidth = 60;
constexpr int kDpiSwitchListHeight = 80;
// The DPI-switch operations apply to buttons 1..8 only.
constexpr int kDpiSwitchButtons = 8;

constexpr std::array<int, 3> kLightLists{id::kLightModeList, id::kLightParameterList,
                                         id::kLightEffectList};
constexpr std::array<Rect, 3> kLightFields{layout::kLightModeField, layout::kLightParameterField,
                                           layout::kLightEffectField};

int KeyListId(int button) {
  return id::kFirstKeyList + button;
}

// The lighting mode whose levels the parameter list offers: a mode outside 1..3 offers the
// neon levels.
int ListedLevelMode(int mode) {
  return mode == 1 || mode == 2 ? mode : 3;
}

// The neon levels are too many for one column within the face: they flow over two.
int ParameterListColumns(int mode) {
  return ListedLevelMode(mode) == 3 ? 2 : 1;
}

// The parameter list's height follows the stored lighting mode; the neon list is tall enough
// for its levels in two columns inside its border, with the row a wrapping list keeps spare.
int ParameterListHeight(int mode) {
  switch (ListedLevelMode(mode)) {
    case 1:
      return 173;
    case 2:
      return 93;
    default:
      return 261;
  }
}

std::string ParameterEntry(int mode, int index) {
  return LightLevelLabel(ListedLevelMode(mode), index);
}

int ParameterCount(int mode) {
  return LightLevelCount(ListedLevelMode(mode));
}

}  // namespace

int EditedKeyGroup(const MouseConfig& config) {
  return config.editedKeyGroup() == 1 ? 1 : 0;
}

std::string LightParameterText(const MouseConfig& config, int mode) {
  if (mode < 1 || mode > kLightModeCount) return {};
  return LightLevelLabel(mode, config.lightLevel(mode));
}

void BasicPageLists::destroyAll() {
  for (int list : layout::kBasicPageLists) context_.controls().destroy(list);
  keyListOpen_.fill(false);
  keyListShown_.fill(false);
  cascadeShown_ = false;
  lightListOpen_.fill(false);
}

void BasicPageLists::closeKeyList(int button) {
  context_.controls().destroy(KeyListId(button));
  keyListOpen_[static_cast<std::size_t>(button)] = false;
  keyListShown_[static_cast<std::size_t>(button)] = false;
}

void BasicPageLists::closeLightList(int field) {
  context_.controls().destroy(kLightLists[static_cast<std::size_t>(field)]);
  lightListOpen_[static_cast<std::size_t>(field)] = false;
}

void BasicPageLists::destroyCascade() {
  context_.controls().destroy(id::kDpiSwitchList);
  cascadeShown_ = false;
}

int BasicPageLists::buttonWithListShown(int buttons) const {
  for (int button = 0; button < buttons; ++button) {
    if (keyListShown_[static_cast<std::size_t>(button)]) return button;
  }
  return -1;
}

void BasicPageLists::closeStale(Point at) {
  for (int row = 0; row < layout::kKeyRowCount; ++row) {
    const auto r = static_cast<std::size_t>(row);
    if (layout::KeyRow(row).contains(at) || layout::kKeyLists[r].contains(at)) continue;
    // A list left on screen after "DPI Switch" was chosen closes too, marked open or not.
    if (keyListOpen_[r] || keyListShown_[r]) closeKeyList(row);
    destroyCascade();
  }
  const std::array<Rect, 3> listRects{
      layout::kLightModeList,
      layout::LightParameterList(ParameterListHeight(context_.config().lightMode())),
      layout::kLightEffectList};
  for (int field = 0; field < 3; ++field) {
    const auto f = static_cast<std::size_t>(field);
    if (kLightFields[f].contains(at)) continue;
    if (field != 1 && listRects[f].contains(at)) continue;
    if (lightListOpen_[f]) closeLightList(field);
  }
}

void BasicPageLists::keyRowPress(int row) {
  const auto r = static_cast<std::size_t>(row);
  if (keyListOpen_[r]) {
    closeKeyList(row);
    return;
  }
  for (int other = 0; other < kButtonCount; ++other) {
    if (other != row && keyListOpen_[static_cast<std::size_t>(other)]) closeKeyList(other);
  }
  if (LeftButtonGuardBlocks(context_.config(), EditedKeyGroup(context_.config()), row)) {
    context_.tell(context_.text(UiText::kLeftKeyMustBeSelected), kPageWarningCaption);
    return;
  }
  const int list = KeyListId(row);
  if (!keyListShown_[r]) {
    Controls& controls = context_.controls();
    controls.create(list, ControlKind::kListBox, layout::kKeyLists[r], context_.styleOf(list));
    for (int function = 0; function < kFunctionMenuCount; ++function) {
      controls.addItem(list, FunctionMenuText(function, context_.language()));
    }
    keyListShown_[r] = true;
  }
  keyListOpen_[r] = true;
}

void BasicPageLists::lightFieldPress(int field) {
  const auto f = static_cast<std::size_t>(field);
  if (lightListOpen_[f]) {
    closeLightList(field);
    return;
  }
  Controls& controls = context_.controls();
  const int mode = context_.config().lightMode();
  const int list = kLightLists[f];
  const UiLanguage language = context_.language();
  if (field == 0) {
    controls.create(list, ControlKind::kListBox, layout::kLightModeList, context_.styleOf(list));
    for (int m = 1; m <= kLightModeCount; ++m) controls.addItem(list, LightModeLabel(m, language));
  } else if (field == 1) {
    ControlStyle style = context_.styleOf(list);
    style.columns = ParameterListColumns(mode);
    controls.create(list, ControlKind::kListBox,
                    layout::LightParameterList(ParameterListHeight(mode)), style);
    for (int i = 0; i < ParameterCount(mode); ++i) controls.addItem(list, ParameterEntry(mode, i));
  } else if (mode == 1) {
    controls.setText(id::kLightEffectValue, RgbEffectLabel(1, language));
  } else if (mode == 2 || mode == 3) {
    controls.create(list, ControlKind::kListBox, layout::kLightEffectList, context_.styleOf(list));
    // Mode 2 offers effects 1 and 2, mode 3 effects 2 and 3.
    controls.addItem(list, RgbEffectLabel(mode - 1, language));
    controls.addItem(list, RgbEffectLabel(mode, language));
  }
  lightListOpen_[f] = true;
}

// ---- choices ----

void BasicPageLists::onControlNotify(int controlId, ControlNotification notification) {
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

void BasicPageLists::functionListChosen() {
  const int button = buttonWithListShown(kButtonCount);
  if (button < 0) return;
  Controls& controls = context_.controls();
  CTarnwickDlg& window = context_.window();
  const int list = KeyListId(button);
  const int function = controls.selection(list);
  std::optional<FunctionParameters> parameters;
  if (FunctionNeedsDialog(function)) {
    if (hooks_.functionDialog) {
      parameters = hooks_.functionDialog(function);
    } else {
      parameters = RunFunctionDialog(context_.host(), function, window.skin(), window.normalFont(),
                                     window.paths().data.macros);
    }
  }
  const AssignOutcome outcome =
      AssignFunction(context_.config(), labels(), button, EditedKeyGroup(context_.config()),
                     function, parameters, context_.language());
  if (outcome != AssignOutcome::kListStays) {
    controls.destroy(list);
    keyListShown_[static_cast<std::size_t>(button)] = false;
  }
  captionChanged_(button);
  keyListOpen_[static_cast<std::size_t>(button)] = false;
}

void BasicPageLists::dpiSwitchChosen() {
  const int position = context_.controls().selection(id::kDpiSwitchList);
  if (position < 0) return;
  const int button = buttonWithListShown(kDpiSwitchButtons);
  if (button < 0) return;
  AssignDpiStage(context_.config(), labels(), button, EditedKeyGroup(context_.config()), position);
  captionChanged_(button);
  destroyCascade();
  closeKeyList(button);
}

void BasicPageLists::lightListChosen(int field) {
  Controls& controls = context_.controls();
  const int list = kLightLists[static_cast<std::size_t>(field)];
  const int index = controls.selection(list);
  if (index < 0) return;
  MouseConfig& config = context_.config();
  const UiLanguage language = context_.language();
  const std::string entry = controls.itemText(list, index);
  if (field == 0) {
    const int mode = index + 1;
    config.setLightMode(static_cast<std::uint8_t>(mode));
    controls.setText(id::kLightModeValue, entry);
    controls.setText(id::kLightParameterValue, ParameterEntry(mode, config.lightLevel(mode)));
    controls.setText(id::kLightEffectValue, mode == 1
                                                ? RgbEffectLabel(1, language)
                                                : RgbEffectLabel(config.rgbEffect(mode), language));
  } else if (field == 1) {
    const int mode = config.lightMode();
    // With no lighting mode stored there is no level to keep.
    if (mode >= 1 && mode <= kLightModeCount) {
      config.setLightLevel(mode, static_cast<std::uint8_t>(index));
    }
    controls.setText(id::kLightParameterValue, entry);
  } else {
    const int mode = config.lightMode();
    if (mode == 2 || mode == 3) {
      config.setRgbEffect(mode, static_cast<std::uint8_t>(index + mode - 1));
    }
    controls.setText(id::kLightEffectValue, entry);
  }
  closeLightList(field);
}

// ---- hover selection in the function lists ----

void BasicPageLists::onControlMouseMove(int controlId, Point at) {
  // Only the key rows' lists (buttons 1..7) are ever opened.
  if (controlId < id::kFirstKeyList || controlId >= id::kFirstKeyList + layout::kKeyRowCount ||
      !keyListShown_[static_cast<std::size_t>(controlId - id::kFirstKeyList)]) {
    return;
  }
  Controls& controls = context_.controls();
  const int entry = controls.itemAt(controlId, at);
  if (entry < 0) return;
  controls.setSelection(controlId, entry);
  if (entry != kFunctionDpiSwitch) {
    destroyCascade();
    return;
  }
  if (cascadeShown_) return;
  // The entry's top: the first pixel row of the list that lies in the entry.
  const Rect list = layout::kKeyLists[static_cast<std::size_t>(controlId - id::kFirstKeyList)];
  int top = at.y;
  while (top > list.top && controls.itemAt(controlId, Point{at.x, top - 1}) == entry) --top;
  const Rect cascade{list.right, top, list.right + kDpiSwitchListWidth, top + kDpiSwitchListHeight};
  controls.create(id::kDpiSwitchList, ControlKind::kListBox, cascade,
                  context_.styleOf(id::kDpiSwitchList));
  for (std::string_view text : kDpiSwitchMenu) controls.addItem(id::kDpiSwitchList, text);
  cascadeShown_ = true;
}

}  // namespace vm31
