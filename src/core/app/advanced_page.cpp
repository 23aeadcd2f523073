#include "core/app/advanced_page.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "core/app/tray.h"
#include "core/app/window_frame.h"
#include "core/macros/step_list.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;

constexpr RegionLook kButtonLook{SkinPicture::kButtonNormal, SkinPicture::kButtonOver};

// Beside a slider whose setting the running desktop does not have, by UiLanguage.
constexpr std::array<std::string_view, 3> kUnavailableNote{"（此桌面不支持）", "（此桌面不支援）",
                                                           "(not available on this desktop)"};

// The record's position 1..11 of slider `slider` (pointer speed, scroll lines, double-click).
std::uint8_t SliderValue(const MouseConfig& config, int slider) {
  switch (slider) {
    case 0:
      return config.pointerSpeedLevel();
    case 1:
      return config.wheelScrollLines();
    default:
      return config.doubleClickLevel();
  }
}

void SetSliderValue(MouseConfig& config, int slider, std::uint8_t value) {
  switch (slider) {
    case 0:
      config.setPointerSpeedLevel(value);
      return;
    case 1:
      config.setWheelScrollLines(value);
      return;
    default:
      config.setDoubleClickLevel(value);
      return;
  }
}

// A stored value past the last cell lights them all.
int LitCells(const MouseConfig& config, int slider) {
  return std::min<int>(SliderValue(config, slider), layout::kSliderCellCount);
}

SkinPicture TickPicture(bool ticked) {
  return ticked ? SkinPicture::kTickOn : SkinPicture::kTickOff;
}

}  // namespace

AdvancedPage::AdvancedPage(const PageContext& context, DesktopSettings& desktop,
                           const WindowFrame& frame)
    : context_(context),
      desktop_(desktop),
      frame_(frame),
      editor_(context),
      recorder_(context, editor_),
      regions_(context, pageRegions()) {}

std::vector<Region> AdvancedPage::pageRegions() {
  const auto end = [](auto action) {
    return [action] {
      action();
      return true;
    };
  };
  std::vector<Region> regions{
      {layout::kPointerPrecisionTick, std::nullopt, {}, end([this] { tickToggle(true); })},
      {layout::kScrollOneScreenTick, std::nullopt, {}, end([this] { tickToggle(false); })},
      {layout::kSystemDefaultButton, kButtonLook,
       CentredCaption(context_, UiText::kSystemDefault, layout::kSystemDefaultButton),
       end([this] { systemDefaults(); })},
      {layout::kStartRecordingButton, std::nullopt, {}, end([this] { recorder_.start(); })},
      {layout::kStopRecordingButton, std::nullopt, {}, end([this] { recorder_.stop(); })},
      {layout::kNewMacroButton, kButtonLook,
       CentredCaption(context_, UiText::kNewMacro, layout::kNewMacroButton),
       end([this] { editor_.newMacro(); }), RegionGroup::kMacroButtons},
      {layout::kDeleteMacroButton, kButtonLook,
       CentredCaption(context_, UiText::kDeleteMacro, layout::kDeleteMacroButton),
       end([this] { editor_.deleteMacro(); }), RegionGroup::kMacroButtons},
      {layout::kConfirmMacroButton, kButtonLook,
       CentredCaption(context_, UiText::kConfirmMacro, layout::kConfirmMacroButton),
       end([this] { editor_.saveMacro(); }), RegionGroup::kMacroButtons},
      // The field toggles its list and lets the press go on: no slider cell lies there, so the
      // window drag follows.
      {layout::kMouseEventField,
       std::nullopt,
       {},
       [this] {
         mouseEventFieldPress();
         return false;
       }},
  };
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
      regions.push_back(
          {layout::SliderCell(slider, cell), std::nullopt, {}, end([this, slider, cell] {
             sliderPress(slider, cell + 1);
           })});
    }
  }
  return regions;
}

// ---- show and leave ----

void AdvancedPage::createControls() {
  const MouseConfig& config = context_.config();
  // An unticked box is drawn too: the page picture need not show the empty box.
  context_.drawImage(TickPicture(config.enhancePointerPrecision()), layout::kPointerPrecisionTick);
  context_.drawImage(TickPicture(config.scrollOneScreen()), layout::kScrollOneScreenTick);
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kAdvanced) context_.createPageControl(child);
  }
  controlsCreated_ = true;
  editor_.showMacros();
}

void AdvancedPage::leave() {
  Controls& controls = context_.controls();
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kAdvanced) controls.destroy(child.id);
  }
  for (int list : layout::kAdvancedPageLists) controls.destroy(list);
  controlsCreated_ = false;
  mouseEventListOpen_ = false;
  recorder_.release();  // leaving the page ends a recording; its counters stay
}

void AdvancedPage::show() {
  frame_.drawFrame(SkinPicture::kAdvancedPage);
  frame_.drawTabs();
  frame_.drawBottomButtons();
  for (const Rect& button : {layout::kSystemDefaultButton, layout::kNewMacroButton,
                             layout::kDeleteMacroButton, layout::kConfirmMacroButton}) {
    context_.drawImage(kButtonLook.normal, button);
  }
  for (int slider = 0; slider < layout::kSliderCount; ++slider) drawSlider(slider, 0);

  context_.drawText(context_.text(UiText::kEnhancePointerPrecision),
                    layout::kPointerPrecisionCaption, TextFormat::kLeft);
  context_.drawText(context_.text(UiText::kScrollOneScreen), layout::kScrollOneScreenCaption,
                    TextFormat::kLeft);
  context_.drawText(context_.text(UiText::kSystemDefault), layout::kSystemDefaultButton,
                    TextFormat::kCentre);
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
      context_.drawText(std::to_string(cell + 1), layout::SliderNumber(slider, cell),
                        TextFormat::kTopCentre);
    }
  }
  const std::pair<UiText, Rect> centred[] = {
      {UiText::kSelectMacro, layout::kSelectMacroCaption},
      {UiText::kKeyPressSequence, layout::kKeyPressSequenceCaption},
      {UiText::kRecordOption, layout::kRecordOptionCaption},
      {UiText::kNewMacro, layout::kNewMacroButton},
      {UiText::kDeleteMacro, layout::kDeleteMacroButton},
      {UiText::kConfirmMacro, layout::kConfirmMacroButton},
  };
  for (const auto& [text, box] : centred) {
    context_.drawText(context_.text(text), box, TextFormat::kCentre);
  }
  // The recording captions may wrap: the box shrinks evenly to the text's height, which centres
  // the wrapped lines vertically.
  for (const auto& [text, box] :
       {std::pair{UiText::kStartRecording, layout::kStartRecordingCaption},
        std::pair{UiText::kStopRecording, layout::kStopRecordingCaption}}) {
    Rect shrunk = box;
    const int height = context_.canvas().measureWrappedHeight(context_.text(text), box.width(),
                                                              context_.window().normalFont());
    if (height > 0 && height < box.height()) {
      shrunk.top = box.top + (box.height() - height) / 2;
      shrunk.bottom = shrunk.top + height;
    }
    context_.drawText(context_.text(text), shrunk, TextFormat::kWordWrap);
  }
  const std::pair<UiText, Rect> left[] = {
      {UiText::kLoopTimes, layout::kLoopCountCaption},
      {UiText::kMacroName, layout::kMacroNameCaption},
      {UiText::kInsertMouseEvent, layout::kMouseEventCaption},
  };
  for (const auto& [text, box] : left)
    context_.drawText(context_.text(text), box, TextFormat::kLeft);
  frame_.drawBottomCaptions();
  const std::pair<UiText, Rect> titles[] = {
      {UiText::kMouseSpeed, layout::kMouseSpeedTitle},
      {UiText::kScrollingSpeed, layout::kScrollingSpeedTitle},
      {UiText::kDoubleClickSpeed, layout::kDoubleClickSpeedTitle},
      {UiText::kMacroSetting, layout::kMacroSettingTitle},
  };
  for (const auto& [text, box] : titles) {
    context_.drawText(context_.text(text), box, TextFormat::kCentre);
  }
  context_.drawText(context_.text(UiText::kAdvancedSettings), layout::kPageTitle, TextFormat::kLeft,
                    true);

  // The first display in a run takes the desktop's own values into the record.
  if (!desktop_.systemSettingsRead()) desktop_.readFromDesktop();
  drawUnavailableNotes();
  // The sliders show the record's positions: only the lit cells are drawn again.
  const MouseConfig& config = context_.config();
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    for (int cell = 0; cell < LitCells(config, slider); ++cell) {
      context_.drawImage(SkinPicture::kSliderCellLight, layout::SliderCell(slider, cell));
    }
  }

  if (!controlsCreated_) createControls();
  context_.present();
}

// ---- the desktop's pointer settings ----

void AdvancedPage::drawUnavailableNotes() const {
  // Beside the title of each slider whose setting the desktop lacks; the slider still works and
  // its value is kept in config.bin.
  constexpr std::array<std::pair<SystemSetting, Rect>, layout::kSliderCount> kNotes{{
      {SystemSetting::kPointerSpeed, layout::kMouseSpeedTitle},
      {SystemSetting::kWheelScrollLines, layout::kScrollingSpeedTitle},
      {SystemSetting::kDoubleClickTime, layout::kDoubleClickSpeedTitle},
  }};
  const auto language = static_cast<std::size_t>(context_.language());
  for (const auto& [setting, title] : kNotes) {
    if (!desktop_.unavailable(setting)) continue;
    context_.drawText(kUnavailableNote[language],
                      Rect{title.right + 20, title.top, 425, title.bottom}, TextFormat::kLeft);
  }
}

void AdvancedPage::drawSlider(int slider, int litCells) const {
  for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
    context_.drawImage(
        cell < litCells ? SkinPicture::kSliderCellLight : SkinPicture::kSliderCellDark,
        layout::SliderCell(slider, cell));
  }
}

void AdvancedPage::tickToggle(bool precision) {
  MouseConfig& config = context_.config();
  bool ticked = false;
  if (precision) {
    ticked = !config.enhancePointerPrecision();
    config.setEnhancePointerPrecision(ticked);
  } else {
    ticked = !config.scrollOneScreen();
    config.setScrollOneScreen(ticked);
  }
  context_.drawImage(TickPicture(ticked),
                     precision ? layout::kPointerPrecisionTick : layout::kScrollOneScreenTick);
  context_.present();
}

void AdvancedPage::sliderPress(int slider, int cell) {
  drawSlider(slider, cell);
  SetSliderValue(context_.config(), slider, static_cast<std::uint8_t>(cell));
  context_.present();
}

void AdvancedPage::systemDefaults() {
  const MouseConfig& config = context_.config();
  const bool precisionTicked = config.enhancePointerPrecision();
  const bool scrollTicked = config.scrollOneScreen();
  desktop_.writeDefaults();
  if (precisionTicked) context_.drawImage(SkinPicture::kTickOff, layout::kPointerPrecisionTick);
  if (scrollTicked) context_.drawImage(SkinPicture::kTickOff, layout::kScrollOneScreenTick);
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    drawSlider(slider, LitCells(config, slider));
  }
  context_.present();
}

// ---- the mouse-event list ----

bool AdvancedPage::press(Point at) {
  if (!layout::kMouseEventList.contains(at) && !layout::kMouseEventField.contains(at) &&
      mouseEventListOpen_) {
    closeMouseEventList();
  }
  return regions_.press(at);
}

void AdvancedPage::closeMouseEventList() {
  context_.controls().destroy(id::kMouseEventList);
  mouseEventListOpen_ = false;
}

void AdvancedPage::mouseEventFieldPress() {
  if (mouseEventListOpen_) {
    closeMouseEventList();
    return;
  }
  Controls& controls = context_.controls();
  controls.create(id::kMouseEventList, ControlKind::kListBox, layout::kMouseEventList,
                  context_.styleOf(id::kMouseEventList));
  for (std::string_view entry : kMouseEventList) controls.addItem(id::kMouseEventList, entry);
  mouseEventListOpen_ = true;
}

void AdvancedPage::insertMouseEvent() {
  Controls& controls = context_.controls();
  const int chosen = controls.selection(id::kMouseEventList);
  if (chosen < 0) return;
  const std::string entry = controls.itemText(id::kMouseEventList, chosen);
  editor_.insertMouseEvent(entry);
  controls.setText(id::kMouseEventValue, entry);
  closeMouseEventList();
}

// ---- notifications, pointer and menu ----

void AdvancedPage::onControlNotify(int controlId, ControlNotification notification) {
  const bool change = notification == ControlNotification::kSelectionChange;
  switch (controlId) {
    case id::kMacroList:
      if (change) editor_.loadMacro();
      return;
    case id::kMacroStepList:
      if (notification == ControlNotification::kDoubleClick) editor_.editDelay();
      return;
    case id::kMouseEventList:
      if (change) insertMouseEvent();
      return;
    case id::kLoopCount:
      if (notification == ControlNotification::kEditChange) editor_.loopCountChanged();
      return;
    default:
      // The name field (150) needs no more than its own repaint.
      return;
  }
}

void AdvancedPage::onControlMouseMove(int controlId, Point at) {
  if (controlId != id::kMacroStepList) return;
  Controls& controls = context_.controls();
  const int line = controls.itemAt(controlId, at);
  if (line >= 0) controls.setSelection(controlId, line);
}

void AdvancedPage::onControlRightButtonDown(int controlId, Point /*at*/) {
  if (controlId != id::kMacroStepList) return;
  context_.host().popupMenu({MenuItem{kCommandDeleteStep, context_.text(UiText::kDeleteMacro)}});
}

void AdvancedPage::onCommand(int command) {
  if (command == kCommandDeleteStep) editor_.deleteStepLine();
}

}  // namespace vm31
