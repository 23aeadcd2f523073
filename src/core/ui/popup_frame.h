#pragma once
// What every popup dialog shares: its skin picture as the whole window, the painted OK, Cancel
// and close buttons that light up under the pointer, the colours of its child controls, the way
// it ends, and the drop-down pattern (a value field that opens a list of options).
//
// A dialog is a WindowModel run through WindowHost::runModal; it ends with kModalOk or
// kModalCancel, and the caller reads the dialog's result members only after kModalOk.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/ports.h"
#include "core/ui/skin.h"

namespace vm31 {

inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;

// The painted buttons, the same in every popup dialog. OK and Cancel share the column x = 270;
// a press there is OK's.
struct PopupButtonRects {
  static constexpr Rect kClose{352, 6, 370, 24};
  static constexpr Rect kOk{166, 253, 271, 274};
  static constexpr Rect kCancel{270, 253, 375, 274};
};

// White text on RGB 40, 40, 40 in the dialog's font (edit fields, lists and value fields alike).
ControlStyle PopupControlStyle(const FontSpec& font);

// A value field and the list of options it opens (see the class comment of the file).
class DropList {
 public:
  struct Shape {
    int valueId = 0;
    Rect valueRect;
    Rect clickRect;  // the value field widened to the right: a press here toggles the list
    int listId = 0;
    Rect listRect;
    bool centred = false;
  };
  DropList(Shape shape, std::vector<std::string> options, std::vector<int> coveredIds);

  // Creates the value field showing `text` (the list starts closed).
  void create(Controls& controls, const FontSpec& font, std::string_view text);
  // A press at `at`: outside the list and the click rectangle closes an open list; inside the
  // click rectangle toggles it. True when the press was the list's.
  bool onPress(Controls& controls, Point at);
  // A list notification: a click or double click on an item chooses it and closes the list.
  // True when an item was chosen.
  bool onNotify(Controls& controls, int controlId, ControlNotification notification);
  // The pointer over the list highlights the item under it without choosing it.
  void onControlMouseMove(Controls& controls, int controlId, Point at);
  // Scrolls an open list by three lines: up for a positive distance, down otherwise.
  void onWheel(Controls& controls, int delta);
  // Replaces the options (lists filled from a file).
  void setOptions(std::vector<std::string> options) { options_ = std::move(options); }

  // Option `index`; "" outside the list.
  std::string option(int index) const {
    return index >= 0 && index < static_cast<int>(options_.size())
               ? options_[static_cast<std::size_t>(index)]
               : std::string();
  }
  bool isOpen() const { return open_; }
  int index() const { return index_; }
  const std::string& text() const { return text_; }

 private:
  void open(Controls& controls);
  void close(Controls& controls);

  Shape shape_;
  std::vector<std::string> options_;
  std::vector<int> covered_;
  FontSpec font_;
  bool open_ = false;
  int index_ = 0;
  std::string text_;
};

class PopupFrame : public WindowModel {
 public:
  PopupFrame(SkinPicture background, std::string_view failureCaption, SkinState skin,
             FontSpec font);

  void attach(const WindowPorts& ports) override { ports_ = ports; }
  // Takes the background picture as window and canvas, then the dialog's own controls; without
  // the picture it says so and ends as Cancel.
  bool onInitialise() override;
  void onLeftButtonDown(Point at) override;
  void onMouseMove(Point at) override;
  void onHover(Point at) override;

  bool okLit() const { return lit_[1]; }
  bool cancelLit() const { return lit_[2]; }
  bool closeLit() const { return lit_[0]; }

 protected:
  virtual void createControls() {}
  virtual void drawOwnTexts() {}
  // Dialog-specific presses, after the buttons.
  virtual void onDialogPress(Point) {}
  // Runs before the dialog ends with OK (fields whose value is taken at focus loss).
  virtual void beforeOk() {}

  void endWith(int code);
  // The dialogs' own texts are white; the button labels take the label colour.
  void drawText(std::string_view text, const Rect& box, TextFormat format,
                Rgb colour = Rgb{255, 255, 255});
  void paint();
  // Enter ends with OK, Escape with Cancel (the standard meaning of the two keys in a dialog).
  KeyDisposition standardKeys(const KeyEvent& key);

  Controls& controls() { return *ports_.controls; }
  UiLanguage language() const { return skin_.uiLanguage; }
  const FontSpec& font() const { return font_; }
  const SkinState& skin() const { return skin_; }
  WindowPorts ports_;

 private:
  void drawButton(int button, bool over);

  SkinPicture background_;
  std::string failureCaption_;
  SkinState skin_;
  FontSpec font_;
  std::array<bool, 3> lit_{};  // close, OK, Cancel
  bool ended_ = false;
};

}  // namespace vm31
