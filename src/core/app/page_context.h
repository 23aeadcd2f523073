#pragma once
// What every part of the main window's face works with: the window's state (settings record,
// texts, skin, fonts, files) and its attached ports, with the drawing helpers all parts share.
//
// Every change on screen goes the same way: the changed elements are drawn into the back buffer
// and then the whole buffer is presented, so the screen always shows the complete face and
// nothing flickers. Pictures come from the current skin folder at every draw.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/layout.h"
#include "core/app/main_window.h"
#include "core/keys/function_menu.h"
#include "core/ui/skin_pictures.h"
#include "core/ui/system_mouse.h"

namespace vm31 {

// The caption of the pages' warning boxes.
inline constexpr std::string_view kPageWarningCaption = "Warning";

// The colours and font of child control `id` (the window's control-colour rule): the macro
// name and loop-count edits and the macro lists in the label colour (lists over RGB 14, 15, 14),
// other lists white on black, the DPI swatches in their stage's colour, the value fields in the
// label colour on black, the recording hint in the label colour over the face, any other static
// field in the label colour on RGB 100, 150, 100.
ControlStyle MainControlStyle(int id, const MouseConfig& config, Rgb uiTextColor,
                              const FontSpec& font);

// The sensor type whose DPI table the window uses: 1..3 have their own eight-level tables, every
// other type the twelve-level table of type 0.
int DpiTableSensor(std::uint8_t sensorTypeCopy);

// What the program plugs into the face; each may be set or changed at any time.
struct PageHooks {
  // Asks for the parameters of a key function that needs them (Windows .. Macro Key); nullopt
  // when the dialog was cancelled. Unset: the function's own dialog runs over the window.
  std::function<std::optional<FunctionParameters>(int function)> functionDialog;
  // Runs the skin chooser; true when a new skin was confirmed (the page is then redrawn).
  // Unset: RunSkinChooser (skin_choice.h) runs the skins dialog over the window.
  std::function<bool()> skinChooser;
  // The desktop's pointer settings. Unset: no desktop backend applies (as NoDesktopSystemMouse),
  // the values stay in the record only.
  SystemMouse* systemMouse = nullptr;
};

class PageContext {
 public:
  PageContext(CTarnwickDlg& window, const AttachedPorts& ports) : window_(window), ports_(ports) {}

  CTarnwickDlg& window() const { return window_; }
  Controls& controls() const { return ports_.controls; }
  WindowHost& host() const { return ports_.host; }
  Canvas& canvas() const { return ports_.canvas; }
  MouseConfig& config() const { return window_.mouseConfig(); }
  UiLanguage language() const { return window_.language(); }
  const std::string& text(UiText id) const { return window_.text(id); }

  // Draws `picture` of the current skin with its top left corner at the top left of `at`.
  void drawImage(SkinPicture picture, const Rect& at) const;
  // In the label colour and the normal (or title) font.
  void drawText(std::string_view text, const Rect& box, TextFormat format,
                bool title = false) const;
  void present() const { ports_.canvas.present(); }
  // A message box over the window; a caption makes it a warning.
  void tell(std::string_view text, std::string_view caption = {}) const;
  // Writes the window's button captions into str.ini, in the section of its language, as one
  // atomic save. A str.ini that cannot be read is not written over (it still holds the other
  // keys); that or a failed save is told in a message box naming the file and the problem.
  void storeButtonLabels() const;

  ControlStyle styleOf(int controlId) const;
  // Creates `child` (a row of layout::kPageControls) with its style.
  void createPageControl(const layout::ChildControl& child) const;

 private:
  CTarnwickDlg& window_;
  AttachedPorts ports_;
};

}  // namespace vm31
