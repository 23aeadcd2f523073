#pragma once
// Runs the sub-dialog of a key function that needs parameters (Windows, Multimedia, Fire Key,
// Single Key, Combo Key, Macro Key) over the main window and turns its result into the
// parameters the function rules store.

#include <filesystem>
#include <optional>

#include "core/keys/function_menu.h"
#include "core/ui/ports.h"
#include "core/ui/skin.h"

namespace vm31 {

// nullopt when the dialog ended with anything but OK, and for functions without a dialog.
std::optional<FunctionParameters> RunFunctionDialog(WindowHost& owner, int function,
                                                    const SkinState& skin, const FontSpec& font,
                                                    const std::filesystem::path& macroFile);

}  // namespace vm31
