#pragma once
// The lists the basic page opens on presses: the function list of a key row with the DPI-switch
// cascade beside its "DPI Switch" entry, and the three lighting lists (mode, parameter, effect).
// The lists keep their own state: which are marked open and which are on screen (a function list
// can stay on screen after "DPI Switch" was chosen without being marked open).

#include <array>
#include <functional>
#include <string>

#include "core/app/page_context.h"

namespace vm31 {

// The key group the basic page shows and edits: any stored value but 1 is the first group.
int EditedKeyGroup(const MouseConfig& config);
// The lighting parameter label of the stored level of `mode` (1..3); "" for any other mode.
std::string LightParameterText(const MouseConfig& config, int mode);

class BasicPageLists {
 public:
  // `captionChanged(button)` redraws the caption of `button` after a function was assigned.
  BasicPageLists(const PageContext& context, const PageHooks& hooks,
                 std::function<void(int button)> captionChanged)
      : context_(context), hooks_(hooks), captionChanged_(std::move(captionChanged)) {}
  // Its owner's callback points at the owner: a copy would call the original.
  BasicPageLists(const BasicPageLists&) = delete;
  BasicPageLists& operator=(const BasicPageLists&) = delete;

  // Closes every list the press at `at` is not on (key rows and their lists, the lighting
  // fields and their lists).
  void closeStale(Point at);
  // Toggles key row `row`'s function list; a button the left-button guard protects is refused
  // with a warning.
  void keyRowPress(int row);
  // Toggles the list of lighting field `field` (0 mode, 1 parameter, 2 effect).
  void lightFieldPress(int field);
  // A chosen function, DPI-switch operation or lighting entry.
  void onControlNotify(int controlId, ControlNotification notification);
  // Pointer over an open function list: the entry under it is highlighted (not chosen), and
  // over "DPI Switch" the DPI-switch cascade opens beside it.
  void onControlMouseMove(int controlId, Point at);
  // Destroys every list of the page; none is open afterwards.
  void destroyAll();

  // Whether the function list of button `button` (0..11) is marked open.
  bool keyListOpen(int button) const { return keyListOpen_[static_cast<std::size_t>(button)]; }
  // Whether the lighting list of field `field` (0 mode, 1 parameter, 2 effect) is marked open.
  bool lightListOpen(int field) const { return lightListOpen_[static_cast<std::size_t>(field)]; }

 private:
  void closeKeyList(int button);
  void closeLightList(int field);
  void destroyCascade();
  // The first button whose function list is on screen among the first `buttons`; -1: none.
  int buttonWithListShown(int buttons) const;
  void functionListChosen();
  void dpiSwitchChosen();
  void lightListChosen(int field);
  ButtonLabels& labels() const { return context_.window().buttonLabels(); }

  const PageContext& context_;
  const PageHooks& hooks_;
  std::function<void(int button)> captionChanged_;
  std::array<bool, kButtonCount> keyListOpen_{};
  std::array<bool, kButtonCount> keyListShown_{};
  bool cascadeShown_ = false;
  std::array<bool, 3> lightListOpen_{};
};

}  // namespace vm31
