#pragma once
// The basic page: the key rows of the edited key group with the mode buttons and "Default", the
// report rate, the DPI stages (tick, colour, level cells) and the lighting fields, drawn from the
// settings record, and what a press on each does.

#include "core/app/basic_lists.h"
#include "core/app/page_regions.h"

namespace vm31 {

class WindowFrame;

class BasicPage {
 public:
  BasicPage(const PageContext& context, const PageHooks& hooks, const WindowFrame& frame);

  // The page's first show in a run happened (sensor refresh, first-run captions).
  bool initialised() const { return initialised_; }
  // Draws the page in full and creates its controls; the first time in a run it refreshes the
  // sensor type from the mouse and, when config.bin's first-run flag is 0, gives both key groups
  // the factory captions and stores them in str.ini.
  void show();
  // Destroys the page's controls and lists.
  void leave();
  // A press on the page (after the frame's): closes the lists it is not on, then runs the region
  // under it. True when the press ended there.
  bool press(Point at);
  void onControlNotify(int controlId, ControlNotification notification) {
    lists_.onControlNotify(controlId, notification);
  }
  void onControlMouseMove(int controlId, Point at) { lists_.onControlMouseMove(controlId, at); }

  RegionTable& regions() { return regions_; }
  const RegionTable& regions() const { return regions_; }
  const BasicPageLists& lists() const { return lists_; }
  // DPI level cells per stage column: 8 for sensor types 1..3, else 12 (0 before the page was
  // first drawn).
  int dpiLevelCount() const { return dpiLevelCount_; }
  // Whether key row `row` (0..6) is lit under the pointer.
  bool keyRowLit(int row) const;

 private:
  std::vector<Region> pageRegions();
  void firstShow();
  void createControls();
  void drawKeyRowTexts(int row) const;
  void redrawKeyRow(int row) const;
  void drawModeButtons() const;
  void drawReportRate() const;
  void drawDpiStage(int stage) const;
  void drawDpiLevelLabels() const;
  void switchKeyGroup(int group);
  void defaultKeys();
  void reportRatePress(int segment);
  void tickPress(int stage);
  void colourPress(int stage);
  bool levelPress(int stage, int level);

  const PageContext& context_;
  const WindowFrame& frame_;
  bool initialised_ = false;
  bool controlsCreated_ = false;
  int dpiLevelCount_ = 0;
  BasicPageLists lists_;
  RegionTable regions_;
};

}  // namespace vm31
