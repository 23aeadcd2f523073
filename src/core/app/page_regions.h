#pragma once
// A part's regions of the face - rectangle, pictures, caption and what a press there does - as
// one table that serves presses and hover feedback alike.
//
// Presses: the regions under the point run in table order until one ends the press; of a group
// only the first region under the point runs (neighbouring buttons share a pixel column, and the
// left one takes the press). Hover: every region with pictures under the point lights up in table
// order, and each one that lights puts out its lit siblings of the group, so of two buttons that
// share the column the right one stays lit.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "core/app/page_context.h"

namespace vm31 {

enum class RegionGroup { kAlone, kBottomButtons, kTabs, kKeyRows, kMacroButtons };

// The pictures of a region that lights up under the pointer.
struct RegionLook {
  SkinPicture normal;
  SkinPicture over;
};

struct Region {
  Rect rect;
  std::optional<RegionLook> look;  // none: the region never lights up
  std::function<void()> caption;   // draws the region's texts over its picture; may be empty
  std::function<bool()> press;     // true: the press ends here (nothing after it, no drag)
  RegionGroup group = RegionGroup::kAlone;
};

// The caption that draws `text` centred in `box`.
std::function<void()> CentredCaption(const PageContext& context, UiText text, const Rect& box);

class RegionTable {
 public:
  RegionTable(const PageContext& context, std::vector<Region> regions)
      : context_(context), regions_(std::move(regions)), lit_(regions_.size(), false) {}
  // The regions' handlers point at the part that owns the table: a copy would call the original.
  RegionTable(const RegionTable&) = delete;
  RegionTable& operator=(const RegionTable&) = delete;

  // Runs the presses under `at`; true when one of them ended the press.
  bool press(Point at) const;
  // Whether a region that lights up lies under `at`.
  bool lightsUnder(Point at) const;
  // Lights the regions under `at` (see above); true when anything was drawn.
  bool hover(Point at);
  bool anyLit() const;
  bool lit(std::size_t index) const { return lit_[index]; }
  // Draws every lit region in its normal look; all marks go out.
  void restore();
  // All marks go out without drawing (the part is not on screen).
  void forget();
  // Draws region `index` in its normal or lit look, with its caption.
  void draw(std::size_t index, bool over) const;

 private:
  const PageContext& context_;
  std::vector<Region> regions_;
  std::vector<bool> lit_;
};

}  // namespace vm31
