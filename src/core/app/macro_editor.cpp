#include "core/app/macro_editor.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/macros/macro_compiler.h"
#include "core/macros/macro_store.h"
#include "core/settings/ini_file.h"
#include "core/ui/key_dialogs.h"
#include "core/util/path_text.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;

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

// A list selection (-1: none) as the step-list editing takes it.
std::optional<std::size_t> SelectedLine(int line) {
  if (line < 0) return std::nullopt;
  return static_cast<std::size_t>(line);
}

}  // namespace

bool FitsOneMacroBlock(const std::vector<std::string>& lines) {
  std::array<std::uint8_t, kMacroBlockSize> scratch{};
  return CompileMacroLines(lines, scratch).droppedEvents == 0;
}

std::string MacroFullMessage(std::string_view outcome) {
  return std::string(kMacroFullText) + " " + std::string(outcome);
}

int MacroEditor::selectedMacro() const {
  return context_.controls().selection(id::kMacroList);
}

std::vector<std::string> MacroEditor::macroNames() const {
  const Controls& controls = context_.controls();
  std::vector<std::string> names;
  for (int i = 0; i < controls.itemCount(id::kMacroList); ++i) {
    names.push_back(controls.itemText(id::kMacroList, i));
  }
  return names;
}

std::vector<std::string> MacroEditor::stepLines() const {
  const Controls& controls = context_.controls();
  std::vector<std::string> lines;
  for (int i = 0; i < controls.itemCount(id::kMacroStepList); ++i) {
    lines.push_back(controls.itemText(id::kMacroStepList, i));
  }
  return lines;
}

// Puts an edit on screen with the fewest item changes, so the list keeps its scroll position.
void MacroEditor::showStepEdit(const std::vector<std::string>& before, const StepListEdit& edit) {
  if (!edit.changed) return;
  Controls& controls = context_.controls();
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
    controls.deleteItem(id::kMacroStepList, static_cast<int>(i - 1));
  }
  for (std::size_t i = prefix; i < after.size() - suffix; ++i) {
    controls.insertItem(id::kMacroStepList, static_cast<int>(i), after[i]);
  }
  controls.setSelection(id::kMacroStepList,
                        edit.selection ? static_cast<int>(*edit.selection) : -1);
}

// ---- the macro store ----

void MacroEditor::showMacros() {
  Controls& controls = context_.controls();
  Result<IniDocument> file = IniDocument::Load(context_.window().paths().data.macros);
  const IniDocument doc = file ? std::move(file).value() : IniDocument{};
  const MacroNameList names = MacroNames(doc);
  controls.clearItems(id::kMacroList);
  controls.clearItems(id::kMacroStepList);
  for (const std::string& name : names.names) controls.addItem(id::kMacroList, name);
  if (names.names.empty()) {
    controls.setText(id::kLoopCount, "");
    return;
  }
  controls.setText(id::kMacroName, names.names.front());
  for (const std::string& line : MacroLines(doc, names.names.front()).lines) {
    controls.addItem(id::kMacroStepList, line);
  }
  controls.setSelection(id::kMacroList, 0);
  controls.setText(id::kLoopCount, std::to_string(context_.config().macroLoopCount(0)));
}

void MacroEditor::loadMacro() {
  const int macro = selectedMacro();
  if (macro < 0) return;
  Controls& controls = context_.controls();
  const std::string name = controls.itemText(id::kMacroList, macro);
  controls.setText(id::kMacroName, name);
  Result<IniDocument> file = IniDocument::Load(context_.window().paths().data.macros);
  if (!file) context_.tell(file.error().message);
  const MacroLineList list = MacroLines(file ? file.value() : IniDocument{}, name);
  controls.clearItems(id::kMacroStepList);
  for (const std::string& line : list.lines) controls.addItem(id::kMacroStepList, line);
  if (list.itemCount != 0 && macro < kMacroCount) {
    controls.setText(id::kLoopCount, std::to_string(context_.config().macroLoopCount(macro)));
  }
}

void MacroEditor::newMacro() {
  Controls& controls = context_.controls();
  const std::string typed = controls.text(id::kMacroName);
  switch (NewMacroCheck(macroNames(), typed)) {
    case NewMacroResult::kOk:
      break;
    case NewMacroResult::kBlank:
      context_.tell(context_.text(UiText::kMacroNameBlank));
      return;
    case NewMacroResult::kTooMany:
      context_.tell(kTooManyMacrosMessage, kPageWarningCaption);
      return;
    case NewMacroResult::kExists:
      context_.tell(context_.text(UiText::kMacroNameExists));
      return;
    case NewMacroResult::kTooLong:
      context_.tell(kNameTooLongMessage, kPageWarningCaption);
      return;
    case NewMacroResult::kBadCharacter:
      context_.tell(kNameBadCharacterMessage, kPageWarningCaption);
      return;
  }
  controls.addItem(id::kMacroList, typed);
  controls.clearItems(id::kMacroStepList);
  const int macro = controls.itemCount(id::kMacroList) - 1;
  controls.setSelection(id::kMacroList, macro);
  // The new macro's block may hold the loop count of a macro deleted before (or 0): it starts
  // at 1, as the loop-count field then shows.
  if (macro >= 0 && macro < kMacroCount) {
    context_.config().setMacroLoopCount(macro, 1);
    controls.setText(id::kLoopCount, "1");
  }
}

void MacroEditor::deleteMacro() {
  const int macro = selectedMacro();
  if (macro < 0) return;
  Controls& controls = context_.controls();
  const std::string name = controls.itemText(id::kMacroList, macro);
  const std::filesystem::path& path = context_.window().paths().data.macros;
  Result<IniDocument> file = IniDocument::Load(path);
  if (!file) {
    context_.tell(file.error().message);
    return;
  }
  // A macro never confirmed has no section: the file stays as it is.
  if (DeleteMacro(file.value(), name)) {
    if (Status saved = file.value().Save(path); !saved) {
      context_.tell(saved.error().message);
      return;
    }
  }
  controls.deleteItem(id::kMacroList, macro);
  controls.setSelection(id::kMacroList, -1);
  controls.clearItems(id::kMacroStepList);
  controls.setText(id::kMacroName, "");
}

void MacroEditor::saveMacro() {
  const int macro = selectedMacro();
  if (macro < 0) return;
  const std::string name = context_.controls().itemText(id::kMacroList, macro);
  const std::vector<std::string> lines = stepLines();
  if (!FitsOneMacroBlock(lines)) {
    context_.tell("Macro \"" + name + "\" needs more steps than the mouse holds. " +
                      MacroFullMessage("Nothing was saved: remove some lines and confirm again."),
                  kPageWarningCaption);
    return;
  }
  CTarnwickDlg& window = context_.window();
  const std::filesystem::path& path = window.paths().data.macros;
  Result<IniDocument> file = IniDocument::Load(path);
  if (!file) {
    context_.tell(file.error().message);
    return;
  }
  IniDocument& doc = file.value();
  // A macro's list position is its block: macros listed before this one and not confirmed yet
  // get their (empty) sections first, so the file keeps the list's order.
  const std::vector<std::string> names = macroNames();
  for (int earlier = 0; earlier < macro; ++earlier) {
    const std::string& other = names[static_cast<std::size_t>(earlier)];
    if (doc.hasSection(other)) continue;
    if (Status stored = SaveMacro(doc, other, {}); !stored) {
      context_.tell(stored.error().message);
      return;
    }
  }
  if (Status stored = SaveMacro(doc, name, lines); !stored) {
    context_.tell(stored.error().message);
    return;
  }
  if (Status saved = doc.Save(path); !saved) {
    context_.tell(saved.error().message);
    return;
  }
  const CompileReport report = CompileMacros(doc, window.mouseConfig());
  window.keepMacroEventsApplied();
  if (!report.clean()) {
    std::string text = PathText(path) + ": some macros do not compile as they stand:";
    for (const CompileProblem& problem : report.problems) {
      text += "\n" + FormatCompileProblem(problem);
    }
    context_.tell(text, kPageWarningCaption);
  }
}

// ---- the step list ----

void MacroEditor::insertMouseEvent(const std::string& entry) {
  const std::vector<std::string> before = stepLines();
  const int line = context_.controls().selection(id::kMacroStepList);
  const StepListEdit edit =
      InsertMouseEvent(before, SelectedLine(line), entry, selectedMacro() >= 0);
  if (edit.changed && !FitsOneMacroBlock(edit.lines)) {
    context_.tell(MacroFullMessage("The event was not inserted."), kPageWarningCaption);
  } else {
    showStepEdit(before, edit);
  }
}

void MacroEditor::editDelay() {
  Controls& controls = context_.controls();
  const int line = controls.selection(id::kMacroStepList);
  if (line < 0 || !IsDelayLine(controls.itemText(id::kMacroStepList, line))) return;
  CDelayTimeDialog dialog(context_.window().skin(), context_.window().normalFont());
  if (context_.host().runModal(dialog) != kModalOk) return;
  const std::vector<std::string> before = stepLines();
  const StepListEdit edit =
      EditDelay(before, static_cast<std::size_t>(line), dialog.value(), dialog.text());
  if (edit.changed && !FitsOneMacroBlock(edit.lines)) {
    context_.tell(MacroFullMessage("The delay was not changed."), kPageWarningCaption);
    return;
  }
  showStepEdit(before, edit);
}

void MacroEditor::deleteStepLine() {
  const std::vector<std::string> before = stepLines();
  const int line = context_.controls().selection(id::kMacroStepList);
  showStepEdit(before, DeleteEventLine(before, SelectedLine(line)));
}

void MacroEditor::loopCountChanged() {
  Controls& controls = context_.controls();
  const LoopCount count =
      SetLoopCount(context_.config(), selectedMacro(), controls.text(id::kLoopCount));
  if (count.fieldReset) controls.setText(id::kLoopCount, "1");
}

}  // namespace vm31
