#pragma once
// The advanced page: the desktop's pointer settings (two tick boxes, three sliders, "Default"),
// the macro area with its recorder, and the mouse-event list, drawn from the settings record and
// record.ini, and what a press on each does.

#include "core/app/desktop_settings.h"
#include "core/app/macro_editor.h"
#include "core/app/macro_recorder.h"
#include "core/app/page_regions.h"

namespace vm31 {

class WindowFrame;

class AdvancedPage {
 public:
  AdvancedPage(const PageContext& context, DesktopSettings& desktop, const WindowFrame& frame);

  // Draws the page in full and creates its controls; the first display in a run takes the
  // desktop's own pointer settings into the record.
  void show();
  // Destroys the page's controls and lists and ends a recording (its counters stay).
  void leave();
  // A press on the page (after the frame's): closes the mouse-event list unless the press is on
  // it or its field, then runs the region under it. True when the press ended there.
  bool press(Point at);
  // The macro and step lists, the mouse-event list and the loop-count field.
  void onControlNotify(int controlId, ControlNotification notification);
  // Over the step list the line under the pointer is selected.
  void onControlMouseMove(int controlId, Point at);
  // The step list's context menu and its "Delete" command.
  void onControlRightButtonDown(int controlId, Point at);
  void onCommand(int command);

  RegionTable& regions() { return regions_; }
  const RegionTable& regions() const { return regions_; }
  MacroRecorder& recorder() { return recorder_; }
  const MacroRecorder& recorder() const { return recorder_; }
  bool mouseEventListOpen() const { return mouseEventListOpen_; }

 private:
  std::vector<Region> pageRegions();
  void createControls();
  void drawSlider(int slider, int litCells) const;
  void drawUnavailableNotes() const;
  void tickToggle(bool precision);
  void sliderPress(int slider, int cell);
  void systemDefaults();
  void closeMouseEventList();
  void mouseEventFieldPress();
  void insertMouseEvent();

  const PageContext& context_;
  DesktopSettings& desktop_;
  const WindowFrame& frame_;
  bool controlsCreated_ = false;
  bool mouseEventListOpen_ = false;
  MacroEditor editor_;
  MacroRecorder recorder_;
  RegionTable regions_;
};

}  // namespace vm31
