#pragma once
// The frame of the main window around both pages: the page tabs, minimise and close, the Skins
// button, OK, Apply and Cancel, the hover feedback of all lit elements, and the routing of
// presses, moves and child-control events to the page on screen. The frame owns the pages and
// the desktop's pointer settings, which OK and Apply write.

#include "core/app/advanced_page.h"
#include "core/app/basic_page.h"
#include "core/app/desktop_settings.h"
#include "core/app/page_regions.h"

namespace vm31 {

// The frame's buttons, in the order of its region table.
enum class FrameButton { kOk, kApply, kCancel, kSkins, kMinimise, kClose, kBasicTab, kAdvancedTab };

class WindowFrame {
 public:
  // `pages` is the page code the window drives (the skin chooser rebuilds through it).
  WindowFrame(const PageContext& context, const PageHooks& hooks, MainPages& pages);

  MainPage currentPage() const { return page_; }
  // The basic page's show: the first time in a run it refreshes the sensor type from the mouse
  // and, when config.bin's first-run flag is 0, gives both key groups the factory captions and
  // stores them in str.ini. Showing the page already shown does nothing.
  void showBasicPage();
  // Shows the advanced page: system mouse settings from the record, the macros of record.ini.
  // Showing the page already shown does nothing.
  void showAdvancedPage();
  // Destroys `page`'s child controls and draws it again in full (kNone: the basic page).
  void rebuildPage(MainPage page);

  // Presses, in this order: OK, Apply, Cancel, Skins (each lets the press go on), minimise,
  // close, the tabs, the shown page's regions; a press nothing ends drags the window. A press on
  // the pixel column two bottom buttons share runs the left one only.
  void onLeftButtonDown(Point at);
  // Moves: over an element that lights up nothing happens until the hover arrives; elsewhere
  // every lit element is restored.
  void onMouseMove(Point at);
  // The pointer rested: the elements under it light up, lit siblings of their group go out.
  void onHover(Point at);
  void onControlNotify(int controlId, ControlNotification notification);
  void onControlMouseMove(int controlId, Point at);
  void onControlRightButtonDown(int controlId, Point at);
  void onCommand(int command);
  void onRecordingKey(const KeyEvent& key);

  // Draw steps of the frame's own elements for the pages' full draws, which interleave them with
  // their own: the page picture with minimise, close and Skins; the tabs; the bottom buttons'
  // pictures; their captions.
  void drawFrame(SkinPicture pagePicture) const;
  void drawTabs() const;
  void drawBottomButtons() const;
  void drawBottomCaptions() const;

  bool lit(FrameButton button) const { return regions_.lit(static_cast<std::size_t>(button)); }
  const BasicPage& basic() const { return basic_; }
  const AdvancedPage& advanced() const { return advanced_; }
  const DesktopSettings& desktop() const { return desktop_; }

 private:
  std::vector<Region> frameRegions();
  void runApply(bool hideAfter);
  void cancelEdits();
  void chooseSkin();
  // The region table of the page on screen; nullptr before the first show.
  RegionTable* shownRegions();

  const PageContext& context_;
  const PageHooks& hooks_;
  MainPages& pages_;
  MainPage page_ = MainPage::kNone;
  RegionTable regions_;
  DesktopSettings desktop_;
  BasicPage basic_;
  AdvancedPage advanced_;
};

}  // namespace vm31
