#pragma once
// The advanced page's macro area: the macro list over record.ini with New, Delete and Confirm,
// the step list's editing (inserted mouse events, delays, deleted lines) and the loop count.
// Every edit must still fit the mouse's macro block.

#include <string>
#include <string_view>
#include <vector>

#include "core/app/page_context.h"
#include "core/macros/step_list.h"

namespace vm31 {

// Whether `lines` compile into one MacroBlock without dropping an event.
bool FitsOneMacroBlock(const std::vector<std::string>& lines);
// The warning that a macro would not fit the mouse, followed by `outcome`.
std::string MacroFullMessage(std::string_view outcome);

class MacroEditor {
 public:
  explicit MacroEditor(const PageContext& context) : context_(context) {}

  // Fills the macro list from record.ini and shows the first macro (name, steps, loop count).
  void showMacros();
  // The selected macro's name, steps and loop count into the fields.
  void loadMacro();
  // "New": the typed name as a new macro (refused with the reason when it cannot be one).
  void newMacro();
  // "Delete": the selected macro out of the list and record.ini.
  void deleteMacro();
  // "Confirm": the selected macro's steps into record.ini, then every macro compiled into the
  // record.
  void saveMacro();
  // Inserts the mouse event `entry` at the step list's selection.
  void insertMouseEvent(const std::string& entry);
  // Double-click on a delay line: the delay dialog changes it.
  void editDelay();
  // The step list menu's "Delete".
  void deleteStepLine();
  // The loop-count field was edited.
  void loopCountChanged();

  // The selected macro's position; -1 when none is selected.
  int selectedMacro() const;
  std::vector<std::string> stepLines() const;

 private:
  std::vector<std::string> macroNames() const;
  void showStepEdit(const std::vector<std::string>& before, const StepListEdit& edit);

  const PageContext& context_;
};

}  // namespace vm31
