#include "core/app/page_regions.h"

#include <algorithm>
#include <set>

namespace vm31 {

std::function<void()> CentredCaption(const PageContext& context, UiText text, const Rect& box) {
  return [&context, text, box] { context.drawText(context.text(text), box, TextFormat::kCentre); };
}

bool RegionTable::press(Point at) const {
  std::set<RegionGroup> pressed;
  for (const Region& region : regions_) {
    if (!region.press || !region.rect.contains(at)) continue;
    if (region.group != RegionGroup::kAlone && !pressed.insert(region.group).second) continue;
    if (region.press()) return true;
  }
  return false;
}

bool RegionTable::lightsUnder(Point at) const {
  return std::any_of(regions_.begin(), regions_.end(), [at](const Region& region) {
    return region.look && region.rect.contains(at);
  });
}

bool RegionTable::hover(Point at) {
  bool drawn = false;
  for (std::size_t i = 0; i < regions_.size(); ++i) {
    const Region& region = regions_[i];
    if (!region.look || !region.rect.contains(at)) continue;
    draw(i, true);
    if (region.group != RegionGroup::kAlone) {
      for (std::size_t sibling = 0; sibling < regions_.size(); ++sibling) {
        if (sibling == i || regions_[sibling].group != region.group || !lit_[sibling]) continue;
        draw(sibling, false);
        lit_[sibling] = false;
      }
    }
    lit_[i] = true;
    drawn = true;
  }
  return drawn;
}

bool RegionTable::anyLit() const {
  return std::find(lit_.begin(), lit_.end(), true) != lit_.end();
}

void RegionTable::restore() {
  for (std::size_t i = 0; i < regions_.size(); ++i) {
    if (lit_[i]) draw(i, false);
  }
  forget();
}

void RegionTable::forget() {
  std::fill(lit_.begin(), lit_.end(), false);
}

void RegionTable::draw(std::size_t index, bool over) const {
  const Region& region = regions_[index];
  if (region.look) context_.drawImage(over ? region.look->over : region.look->normal, region.rect);
  if (region.caption) region.caption();
}

}  // namespace vm31
