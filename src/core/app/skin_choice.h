#pragma once
// The skin button of the main window: runs the skin chooser over the window and, when the user
// confirms, makes the choice current, stores it and redraws the shown page with it.

#include "core/app/main_window.h"

namespace vm31 {

// Runs CSkinsDialog over `dlg`. After OK, in this order: the chosen folder, name and label
// colour become the window's skin state; str.ini's "Skins" section gets "RColor", "GColor",
// "BColor" (decimal) and "Path" (the skin's name), written atomically; the page shown (none:
// nothing) is rebuilt through `pages`; the window is shown and raised. When str.ini cannot be
// read or written the problem is shown, naming the file, and nothing is written; the choice
// stays in force for this run. The window's background picture changes only at the next start.
// True when a choice was confirmed.
bool RunSkinChooser(CTarnwickDlg& dlg, MainPages* pages);

}  // namespace vm31
