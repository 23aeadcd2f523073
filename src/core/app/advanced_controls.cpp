// The advanced page's controls: the desktop's pointer settings (tick boxes, sliders, "Default",
// the read at the first display and the write on OK and Apply), the macro area (macro list, New,
// Delete, Confirm, the step list's editing, the loop count) and the macro recorder.

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/app/main_pages.h"
#include "core/app/page_pictures.h"
#include "core/app/tray.h"
#include "core/macros/macro_compiler.h"
#include "core/macros/macro_store.h"
#include "core/settings/ini_file.h"
#include "core/ui/key_dialogs.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;
using namespace page_picture;

// English in every language, as it has always been.
constexpr std::string_view kTooManyMacrosMessage = "Macro numbers up to 12.";
// What the file or the mouse could not hold; these texts are the program's own (English).
constexpr std::string_view kNameTooLongMessage =
    "Macro name is too long: a macro name holds at most 31 characters.";
constexpr std::string_view kNameBadCharacterMessage =
    "Macro name cannot hold tabs or line breaks, nor begin or end with a blank.";
constexpr std::string_view kMacroFullText =
    "A macro holds at most 63 steps in the mouse: one per key or button event, two for an event "
    "followed by a delay over 1270 ms.";
constexpr std::string_view kNoDesktopMessage =
    "No supported desktop was found for the pointer settings (GNOME and KDE Plasma are "
    "supported). Pointer speed, pointer precision, wheel scroll lines and double-click time are "
    "kept in config.bin only; the desktop's own settings stay as they are.";

// Beside a slider whose setting the running desktop does not have, by UiLanguage.
constexpr std::array<std::string_view, 3> kUnavailableNote{"（此桌面不支持）", "（此桌面不支援）",
                                                           "(not available on this desktop)"};

// Ctrl+Break, which the caption names as the way to stop a recording: the Pause key with a Ctrl
// key held (HID usage 0x48; modifier bits of left and right Ctrl).
constexpr std::uint16_t kUsagePause = 0x48;
constexpr std::uint8_t kCtrlModifiers = 0x01 | 0x10;
constexpr std::uint16_t kUsageLeftCtrl = 0xE0;
constexpr std::uint16_t kUsageRightCtrl = 0xE4;

// A list selection (-1: none) as the step-list editing takes it.
std::optional<std::size_t> SelectedLine(int line) {
  if (line < 0) return std::nullopt;
  return static_cast<std::size_t>(line);
}

// Whether `lines` compile into one MacroBlock without dropping an event.
bool FitsOneBlock(const std::vector<std::string>& lines) {
  std::array<std::uint8_t, kMacroBlockSize> scratch{};
  return CompileMacroLines(lines, scratch).droppedEvents == 0;
}

std::string MacroFullMessage(std::string_view outcome) {
  return std::string(kMacroFullText) + " " + std::string(outcome);
}

// The desktop's pointer settings as just read from or written to the desktop are no edit of the
// user's: Cancel, which returns the record to the applied state, must not turn them back into
// older values that the page would then show and the next OK would write to the desktop.
void KeepSystemFieldsApplied(const MouseConfig& config, MouseConfig& applied) {
  for (std::size_t offset = config_offset::kEnhancePointerPrecision;
       offset <= config_offset::kDoubleClickLevel; ++offset) {
    applied.at(offset) = config.at(offset);
  }
}

// Compiled events follow record.ini, which Cancel does not undo: a confirmed macro must reach the
// mouse at the next OK even after a Cancel. The loop counts (bytes 0 and 1) stay the user's edits.
void KeepMacroEventsApplied(const MouseConfig& config, MouseConfig& applied) {
  for (int macro = 0; macro < kMacroCount; ++macro) {
    const auto from = config.macroBlock(macro);
    std::copy(from.begin() + 2, from.end(), applied.macroBlock(macro).begin() + 2);
  }
}

}  // namespace

// ---- shared helpers ----

void MainWindowPages::tell(std::string_view text, std::string_view caption) {
  if (WindowHost* host = dlg_.ports().host) {
    host->messageBox(text, caption,
                     caption.empty() ? MessageBoxIcon::kNone : MessageBoxIcon::kWarning);
  }
}

int MainWindowPages::selectedMacro() const {
  const Controls* controls = dlg_.ports().controls;
  return controls == nullptr ? -1 : controls->selection(id::kMacroList);
}

std::vector<std::string> MainWindowPages::macroNames() const {
  std::vector<std::string> names;
  if (const Controls* controls = dlg_.ports().controls) {
    for (int i = 0; i < controls->itemCount(id::kMacroList); ++i) {
      names.push_back(controls->itemText(id::kMacroList, i));
    }
  }
  return names;
}

std::vector<std::string> MainWindowPages::stepLines() const {
  std::vector<std::string> lines;
  if (const Controls* controls = dlg_.ports().controls) {
    for (int i = 0; i < controls->itemCount(id::kMacroStepList); ++i) {
      lines.push_back(controls->itemText(id::kMacroStepList, i));
    }
  }
  return lines;
}

// Puts an edit on screen with the fewest item changes, so the list keeps its scroll position.
void MainWindowPages::showStepEdit(const std::vector<std::string>& before,
                                   const StepListEdit& edit) {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr || !edit.changed) return;
  const std::vector<std::string>& after = edit.lines;
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  for (std::size_t i = before.size() - suffix; i > prefix; --i) {
    controls->deleteItem(id::kMacroStepList, static_cast<int>(i - 1));
  }
  for (std::size_t i = prefix; i < after.size() - suffix; ++i) {
    controls->insertItem(id::kMacroStepList, static_cast<int>(i), after[i]);
  }
  controls->setSelection(id::kMacroStepList,
                         edit.selection ? static_cast<int>(*edit.selection) : -1);
}

// ---- the desktop's pointer settings ----

SystemMouse& MainWindowPages::desktopMouse() {
  return systemMouse != nullptr ? *systemMouse : noDesktop_;
}

void MainWindowPages::showSystemMouseReport(const SystemMouseReport& report, bool noticeNoDesktop) {
  for (std::string_view failure : report.failures) tell(failure, kSystemMouseMessageCaption);
  if (noticeNoDesktop && !noDesktopNoticeShown_ && desktopMouse().desktopName().empty()) {
    noDesktopNoticeShown_ = true;
    tell(kNoDesktopMessage, kSystemMouseMessageCaption);
  }
}

void MainWindowPages::readSystemSettings() {
  const SystemMouseReport report = ReadSystemMouseSettings(desktopMouse(), dlg_.mouseConfig());
  KeepSystemFieldsApplied(dlg_.mouseConfig(), dlg_.appliedConfig());
  systemSettingsRead_ = true;
  unavailableSettings_ = report.unavailable;
  showSystemMouseReport(report, false);
}

void MainWindowPages::drawUnavailableNotes() {
  // Beside the title of each slider whose setting the desktop lacks; the slider still works and
  // its value is kept in config.bin.
  constexpr std::array<std::pair<SystemSetting, Rect>, layout::kSliderCount> kNotes{{
      {SystemSetting::kPointerSpeed, layout::kMouseSpeedTitle},
      {SystemSetting::kWheelScrollLines, layout::kScrollingSpeedTitle},
      {SystemSetting::kDoubleClickTime, layout::kDoubleClickSpeedTitle},
  }};
  const auto language = static_cast<std::size_t>(dlg_.language());
  for (const auto& [setting, title] : kNotes) {
    if (!unavailableSettings_[static_cast<std::size_t>(setting)]) continue;
    drawText(kUnavailableNote[language], Rect{title.right + 20, title.top, 425, title.bottom},
             TextFormat::kLeft);
  }
}

void MainWindowPages::writeSystemSettings() {
  // Until the advanced page read the desktop in this run, the record holds the values of an
  // earlier run: writing them would undo what the user has set on the desktop since. (That
  // user has not seen the settings either, so a missing backend is not mentioned.)
  if (!systemSettingsRead_) return;
  showSystemMouseReport(WriteSystemMouseSettings(desktopMouse(), dlg_.mouseConfig()), true);
}

void MainWindowPages::tickToggle(std::size_t offset, const Rect& box) {
  std::uint8_t& flag = dlg_.mouseConfig().at(offset);
  flag = flag != 0 ? 0 : 1;
  drawImage(flag != 0 ? kTickOn : kTickOff, box);
  present();
}

void MainWindowPages::drawSlider(int slider, int litCells) {
  for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
    drawImage(cell < litCells ? kSliderLight : kSliderDark, layout::SliderCell(slider, cell));
  }
}

void MainWindowPages::sliderPress(int slider, int cell) {
  drawSlider(slider, cell);
  dlg_.mouseConfig().at(kSliderConfigOffsets[static_cast<std::size_t>(slider)]) =
      static_cast<std::uint8_t>(cell);
  present();
}

void MainWindowPages::systemDefaults() {
  MouseConfig& config = dlg_.mouseConfig();
  const bool precisionTicked = config.at(config_offset::kEnhancePointerPrecision) != 0;
  const bool scrollTicked = config.at(config_offset::kScrollOneScreen) != 0;
  showSystemMouseReport(WriteDefaultSystemMouseSettings(desktopMouse(), config), true);
  KeepSystemFieldsApplied(config, dlg_.appliedConfig());
  if (precisionTicked) drawImage(kTickOff, layout::kPointerPrecisionTick);
  if (scrollTicked) drawImage(kTickOff, layout::kScrollOneScreenTick);
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    drawSlider(slider,
               std::min<int>(config.at(kSliderConfigOffsets[static_cast<std::size_t>(slider)]),
                             layout::kSliderCellCount));
  }
  present();
}

// ---- presses ----

bool MainWindowPages::advancedPagePress(Point at) {
  Controls* controls = dlg_.ports().controls;
  if (!layout::kMouseEventList.contains(at) && !layout::kMouseEventField.contains(at) &&
      (mouseEventListOpen_ || (controls != nullptr && controls->exists(id::kMouseEventList)))) {
    closeMouseEventList();
  }
  if (layout::kPointerPrecisionTick.contains(at)) {
    tickToggle(config_offset::kEnhancePointerPrecision, layout::kPointerPrecisionTick);
    return true;
  }
  if (layout::kScrollOneScreenTick.contains(at)) {
    tickToggle(config_offset::kScrollOneScreen, layout::kScrollOneScreenTick);
    return true;
  }
  if (layout::kSystemDefaultButton.contains(at)) {
    systemDefaults();
    return true;
  }
  if (layout::kStartRecordingButton.contains(at)) {
    startRecording();
    return true;
  }
  if (layout::kStopRecordingButton.contains(at)) {
    stopRecording();
    return true;
  }
  if (layout::kNewMacroButton.contains(at)) {
    newMacro();
    return true;
  }
  if (layout::kDeleteMacroButton.contains(at)) {
    deleteMacro();
    return true;
  }
  if (layout::kConfirmMacroButton.contains(at)) {
    saveMacro();
    return true;
  }
  // The field toggles its list and lets the press go on: no slider cell lies there, so the
  // window drag follows.
  if (layout::kMouseEventField.contains(at)) mouseEventFieldPress();
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
      if (layout::SliderCell(slider, cell).contains(at)) {
        sliderPress(slider, cell + 1);
        return true;
      }
    }
  }
  return false;
}

void MainWindowPages::closeMouseEventList() {
  if (Controls* controls = dlg_.ports().controls) controls->destroy(id::kMouseEventList);
  mouseEventListOpen_ = false;
}

void MainWindowPages::mouseEventFieldPress() {
  if (mouseEventListOpen_) {
    closeMouseEventList();
    return;
  }
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  if (!controls->exists(id::kMouseEventList)) {
    controls->create(id::kMouseEventList, ControlKind::kListBox, layout::kMouseEventList,
                     MainControlStyle(id::kMouseEventList, dlg_.mouseConfig(),
                                      dlg_.skin().uiTextColor, dlg_.normalFont()));
    for (std::string_view entry : kMouseEventList) controls->addItem(id::kMouseEventList, entry);
  }
  mouseEventListOpen_ = true;
}

// ---- notifications, pointer and menu ----

void MainWindowPages::advancedControlNotify(int controlId, ControlNotification notification) {
  const bool change = notification == ControlNotification::kSelectionChange;
  switch (controlId) {
    case id::kMacroList:
      if (change) loadMacro();
      return;
    case id::kMacroStepList:
      if (notification == ControlNotification::kDoubleClick) editDelay();
      return;
    case id::kMouseEventList:
      if (change) insertMouseEvent();
      return;
    case id::kLoopCount:
      if (notification == ControlNotification::kEditChange) loopCountChanged();
      return;
    default:
      // The name field (150) needs no more than its own repaint.
      return;
  }
}

void MainWindowPages::advancedControlMouseMove(int controlId, Point at) {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr || controlId != id::kMacroStepList) return;
  const int line = controls->itemAt(controlId, at);
  if (line >= 0) controls->setSelection(controlId, line);
}

void MainWindowPages::onControlRightButtonDown(int controlId, Point /*at*/) {
  WindowHost* host = dlg_.ports().host;
  if (dlg_.currentPage != MainPage::kAdvanced || controlId != id::kMacroStepList ||
      host == nullptr) {
    return;
  }
  host->popupMenu({MenuItem{kCommandDeleteStep, dlg_.text(UiText::kDeleteMacro)}});
}

void MainWindowPages::onCommand(int command) {
  if (command == kCommandDeleteStep && dlg_.currentPage == MainPage::kAdvanced) deleteStepLine();
}

// ---- the macro store ----

void MainWindowPages::loadMacro() {
  Controls* controls = dlg_.ports().controls;
  const int macro = selectedMacro();
  if (controls == nullptr || macro < 0) return;
  const std::string name = controls->itemText(id::kMacroList, macro);
  controls->setText(id::kMacroName, name);
  Result<IniDocument> file = IniDocument::Load(dlg_.paths().data.macros);
  if (!file) tell(file.error().message);
  const MacroLineList list = MacroLines(file ? file.value() : IniDocument{}, name);
  controls->clearItems(id::kMacroStepList);
  for (const std::string& line : list.lines) controls->addItem(id::kMacroStepList, line);
  if (list.itemCount != 0 && macro < kMacroCount) {
    controls->setText(id::kLoopCount, std::to_string(dlg_.mouseConfig().macroLoopCount(macro)));
  }
}

void MainWindowPages::newMacro() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const std::string typed = controls->text(id::kMacroName);
  switch (NewMacroCheck(macroNames(), typed)) {
    case NewMacroResult::kOk:
      break;
    case NewMacroResult::kBlank:
      tell(dlg_.text(UiText::kMacroNameBlank));
      return;
    case NewMacroResult::kTooMany:
      tell(kTooManyMacrosMessage, kPageWarningCaption);
      return;
    case NewMacroResult::kExists:
      tell(dlg_.text(UiText::kMacroNameExists));
      return;
    case NewMacroResult::kTooLong:
      tell(kNameTooLongMessage, kPageWarningCaption);
      return;
    case NewMacroResult::kBadCharacter:
      tell(kNameBadCharacterMessage, kPageWarningCaption);
      return;
  }
  controls->addItem(id::kMacroList, typed);
  controls->clearItems(id::kMacroStepList);
  const int macro = controls->itemCount(id::kMacroList) - 1;
  controls->setSelection(id::kMacroList, macro);
  // The new macro's block may hold the loop count of a macro deleted before (or 0): it starts
  // at 1, as the loop-count field then shows.
  if (macro >= 0 && macro < kMacroCount) {
    dlg_.mouseConfig().setMacroLoopCount(macro, 1);
    controls->setText(id::kLoopCount, "1");
  }
}

void MainWindowPages::deleteMacro() {
  Controls* controls = dlg_.ports().controls;
  const int macro = selectedMacro();
  if (controls == nullptr || macro < 0) return;
  const std::string name = controls->itemText(id::kMacroList, macro);
  const std::filesystem::path& path = dlg_.paths().data.macros;
  Result<IniDocument> file = IniDocument::Load(path);
  if (!file) {
    tell(file.error().message);
    return;
  }
  // A macro never confirmed has no section: the file stays as it is.
  if (DeleteMacro(file.value(), name)) {
    if (Status saved = file.value().Save(path); !saved) {
      tell(saved.error().message);
      return;
    }
  }
  controls->deleteItem(id::kMacroList, macro);
  controls->setSelection(id::kMacroList, -1);
  controls->clearItems(id::kMacroStepList);
  controls->setText(id::kMacroName, "");
}

void MainWindowPages::saveMacro() {
  Controls* controls = dlg_.ports().controls;
  const int macro = selectedMacro();
  if (controls == nullptr || macro < 0) return;
  const std::string name = controls->itemText(id::kMacroList, macro);
  const std::vector<std::string> lines = stepLines();
  if (!FitsOneBlock(lines)) {
    tell("Macro \"" + name + "\" needs more steps than the mouse holds. " +
             MacroFullMessage("Nothing was saved: remove some lines and confirm again."),
         kPageWarningCaption);
    return;
  }
  const std::filesystem::path& path = dlg_.paths().data.macros;
  Result<IniDocument> file = IniDocument::Load(path);
  if (!file) {
    tell(file.error().message);
    return;
  }
  IniDocument& doc = file.value();
  // A macro's list position is its block: macros listed before this one and not confirmed yet
  // get their (empty) sections first, so the file keeps the list's order.
  const std::vector<std::string> names = macroNames();
  for (int earlier = 0; earlier < macro; ++earlier) {
    const std::string& other = names[static_cast<std::size_t>(earlier)];
    if (!doc.hasSection(other)) (void)SaveMacro(doc, other, {});
  }
  if (Status stored = SaveMacro(doc, name, lines); !stored) {
    tell(stored.error().message);
    return;
  }
  if (Status saved = doc.Save(path); !saved) {
    tell(saved.error().message);
    return;
  }
  const CompileReport report = CompileMacros(doc, dlg_.mouseConfig());
  KeepMacroEventsApplied(dlg_.mouseConfig(), dlg_.appliedConfig());
  if (!report.clean()) {
    std::string text = path.string() + ": some macros do not compile as they stand:";
    for (const CompileProblem& problem : report.problems) {
      text += "\n" + FormatCompileProblem(problem);
    }
    tell(text, kPageWarningCaption);
  }
}

// ---- the step list ----

void MainWindowPages::insertMouseEvent() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const int chosen = controls->selection(id::kMouseEventList);
  if (chosen < 0) return;
  const std::string entry = controls->itemText(id::kMouseEventList, chosen);
  const std::vector<std::string> before = stepLines();
  const int line = controls->selection(id::kMacroStepList);
  const StepListEdit edit =
      InsertMouseEvent(before, SelectedLine(line), entry, selectedMacro() >= 0);
  if (edit.changed && !FitsOneBlock(edit.lines)) {
    tell(MacroFullMessage("The event was not inserted."), kPageWarningCaption);
  } else {
    showStepEdit(before, edit);
  }
  controls->setText(id::kMouseEventValue, entry);
  closeMouseEventList();
}

void MainWindowPages::editDelay() {
  Controls* controls = dlg_.ports().controls;
  WindowHost* host = dlg_.ports().host;
  if (controls == nullptr || host == nullptr) return;
  const int line = controls->selection(id::kMacroStepList);
  if (line < 0 || !IsDelayLine(controls->itemText(id::kMacroStepList, line))) return;
  CDelayTimeDialog dialog(dlg_.skin(), dlg_.normalFont());
  if (host->runModal(dialog) != kModalOk) return;
  const std::vector<std::string> before = stepLines();
  const StepListEdit edit =
      EditDelay(before, static_cast<std::size_t>(line), dialog.value(), dialog.text());
  if (edit.changed && !FitsOneBlock(edit.lines)) {
    tell(MacroFullMessage("The delay was not changed."), kPageWarningCaption);
    return;
  }
  showStepEdit(before, edit);
}

void MainWindowPages::deleteStepLine() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const std::vector<std::string> before = stepLines();
  const int line = controls->selection(id::kMacroStepList);
  showStepEdit(before, DeleteEventLine(before, SelectedLine(line)));
}

void MainWindowPages::loopCountChanged() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  const LoopCount count =
      SetLoopCount(dlg_.mouseConfig(), selectedMacro(), controls->text(id::kLoopCount));
  if (count.fieldReset) controls->setText(id::kLoopCount, "1");
}

// ---- the recorder ----

void MainWindowPages::startRecording() {
  Controls* controls = dlg_.ports().controls;
  // Without a selected macro every recorded event would be dropped.
  if (controls == nullptr || selectedMacro() < 0) {
    tell(dlg_.text(UiText::kMacroNameBlank), kPageWarningCaption);
    return;
  }
  tell(dlg_.text(UiText::kStartRecording));
  // A recording under way starts afresh.
  controls->clearItems(id::kMacroStepList);
  dlg_.recordingKeys = true;
  recordingFlag_ = true;
  recordingStarted_ = 0;
  if (WindowHost* host = dlg_.ports().host) host->setCaption(dlg_.text(UiText::kStopRecordingHint));
}

void MainWindowPages::stopRecording() {
  tell(dlg_.text(UiText::kStopRecording));
  if (!recordingFlag_) {
    tell(dlg_.text(UiText::kStopWithoutRecording), kPageWarningCaption);
    return;
  }
  if (dlg_.recordingKeys) {
    releaseRecordingHold();
    recordingStarted_ = 2;
  }
}

void MainWindowPages::releaseRecordingHold() {
  if (!dlg_.recordingKeys) return;
  dlg_.recordingKeys = false;
  // An empty caption gives the window back the program's name (the host's default caption).
  if (WindowHost* host = dlg_.ports().host) host->setCaption("");
}

void MainWindowPages::onRecordingKey(const KeyEvent& key) {
  if (!dlg_.recordingKeys) return;
  if (key.down && key.usage == kUsagePause && (key.modifiers & kCtrlModifiers) != 0) {
    dropTrailingCtrlPress();
    stopRecording();
    return;
  }
  const std::string name = CapturedKeyName(key);
  // A key the key tables do not name would play as code 0, which the mouse cannot send.
  if (name.empty()) return;
  if (!key.down) {
    // A release that belongs to the keyboard's auto-repeat (some desktops send one before each
    // repeated press) is no release of the key.
    if (!key.autoRepeat) recordEvent(true, name);
    return;
  }
  // The keyboard's repeats of the key pressed last give no further press line.
  if (key.autoRepeat && name == lastRecordedKey_) return;
  recordEvent(false, name);
}

// The Ctrl held for Ctrl+Break was recorded as a press; a macro ending in it would leave Ctrl
// held on the mouse, so it goes together with the delay before it.
void MainWindowPages::dropTrailingCtrlPress() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr || recordingStarted_ != 1) return;
  int count = controls->itemCount(id::kMacroStepList);
  if (count == 0) return;
  const std::string last = controls->itemText(id::kMacroStepList, count - 1);
  const bool ctrlPress =
      last == CapturedKeyName(KeyEvent{.usage = kUsageLeftCtrl}) + std::string(kPressSuffix) ||
      last == CapturedKeyName(KeyEvent{.usage = kUsageRightCtrl}) + std::string(kPressSuffix);
  if (!ctrlPress) return;
  controls->deleteItem(id::kMacroStepList, --count);
  if (count > 0 && IsDelayLine(controls->itemText(id::kMacroStepList, count - 1))) {
    controls->deleteItem(id::kMacroStepList, --count);
  }
  controls->setSelection(id::kMacroStepList, count - 1);
}

void MainWindowPages::recordEvent(bool release, const std::string& keyName) {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr || selectedMacro() < 0) return;
  const std::string line = keyName + std::string(release ? kReleaseSuffix : kPressSuffix);
  std::vector<std::string> added;
  // The first event of a recording has no delay before it; every later one (and a release that
  // comes first, from a key held while the recording started) follows "50 ms".
  if (release || recordingStarted_ != 0) added.emplace_back(kInsertedDelayLine);
  added.push_back(line);
  std::vector<std::string> lines = stepLines();
  lines.insert(lines.end(), added.begin(), added.end());
  if (!FitsOneBlock(lines)) {
    releaseRecordingHold();
    recordingStarted_ = 2;
    tell(MacroFullMessage("Recording stopped; the events recorded so far are kept."),
         kPageWarningCaption);
    return;
  }
  for (const std::string& text : added) controls->addItem(id::kMacroStepList, text);
  recordingStarted_ = 1;
  if (!release) lastRecordedKey_ = keyName;
  controls->setSelection(id::kMacroStepList, controls->itemCount(id::kMacroStepList) - 1);
}

}  // namespace vm31
