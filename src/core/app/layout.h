#pragma once
// The main window's fixed layout: every clickable, hoverable or drawn region of both pages, and
// the child controls the pages create, in window client pixels. The rectangles never move: not
// with the skin (a smaller "/main.png" cuts off the right and bottom), not with the language.
//
// Hit rule: a point is inside when left <= x < right and top <= y < bottom (Rect::contains).
// Neighbouring buttons share one pixel column (x = 666 lies in OK and Apply, x = 770 in Apply
// and Cancel, x = 357 in both mode buttons); whoever tests decides which one wins.

#include <array>

#include "core/settings/report_rate.h"
#include "core/ui/ports.h"

namespace vm31::layout {

// Every region lies inside this size: the main skin picture is expected to cover it.
inline constexpr Size kFaceSize{875, 644};

// Common regions (both pages).
inline constexpr Rect kOkButton{562, 623, 667, 644};
inline constexpr Rect kApplyButton{666, 623, 771, 644};
inline constexpr Rect kCancelButton{770, 623, 875, 644};
inline constexpr Rect kSkinsButton{701, 5, 719, 23};
inline constexpr Rect kMinimiseButton{825, 5, 843, 23};
inline constexpr Rect kCloseButton{850, 5, 868, 23};
inline constexpr Rect kBasicTab{14, 54, 54, 94};
inline constexpr Rect kAdvancedTab{60, 54, 100, 94};
inline constexpr Rect kPageTitle{105, 51, 320, 99};
// The recorder's Ctrl+Break hint, in the title strip while a recording holds the keyboard.
inline constexpr Rect kRecordingHintLine{330, 5, 695, 23};

// Basic page.
inline constexpr int kKeyRowCount = 7;         // buttons 1..7 of the edited key group
inline constexpr int kKeyRowNumberWidth = 20;  // the row's number; the caption takes the rest
inline constexpr int kKeyRowArrowWidth = 19;   // the drop arrow at the right end of the row

constexpr Rect KeyRow(int row) {  // row 0..6
  return Rect{252, 199 + 23 * row, 463, 220 + 23 * row};
}
// The caption's box: after the row's number, ending before the drop arrow.
constexpr Rect KeyRowCaption(int row) {
  const Rect r = KeyRow(row);
  return Rect{r.left + kKeyRowNumberWidth, r.top, r.right - kKeyRowArrowWidth, r.bottom};
}
inline constexpr std::array<Rect, kKeyRowCount> kKeyLists{
    Rect{252, 221, 463, 491}, Rect{252, 244, 463, 514}, Rect{252, 267, 463, 537},
    Rect{252, 290, 463, 560}, Rect{252, 313, 463, 583}, Rect{252, 336, 463, 606},
    Rect{463, 100, 674, 370}};  // the last key row's list opens to the right of the rows

inline constexpr Rect kModeAButton{253, 518, 358, 539};
inline constexpr Rect kModeBButton{357, 518, 462, 539};
inline constexpr Rect kKeyDefaultButton{307, 549, 412, 570};

inline constexpr int kReportRateSegmentCount = static_cast<int>(kReportRateCount);  // slowest first
inline constexpr std::array<Rect, kReportRateSegmentCount> kReportRateSegments{
    Rect{542, 204, 612, 215}, Rect{614, 204, 684, 215}, Rect{686, 204, 756, 215},
    Rect{758, 204, 828, 215}};
inline constexpr std::array<std::uint8_t, kReportRateSegmentCount> kReportRateCodes =
    ReportRateCodes();

inline constexpr int kDpiStageCount = 4;
inline constexpr int kMaxDpiLevels = 12;
inline constexpr int kDpiCellSize = 16;
inline constexpr int kDpiLevelPitch = 18;

constexpr Rect DpiCell(int stage, int level) {  // stage 0..3, level 0..11 (bottom up)
  const int left = 554 + 27 * stage;
  const int top = 500 - kDpiLevelPitch * level;
  return Rect{left, top, left + kDpiCellSize, top + kDpiCellSize};
}
constexpr Rect DpiSwatch(int stage) {
  return Rect{554 + 27 * stage, 523, 570 + 27 * stage, 539};
}
constexpr Rect DpiTick(int stage) {
  return Rect{554 + 27 * stage, 541, 570 + 27 * stage, 557};
}
// The label of DPI level `level` (0..11), right-aligned left of the first column; the box is
// wider for the eight-level tables, whose labels are longer.
constexpr Rect DpiLevelLabel(int level, int levelCount) {
  return Rect{levelCount == 8 ? 494 : 514, 500 - kDpiLevelPitch * level, 544,
              516 - kDpiLevelPitch * level};
}

inline constexpr std::array<int, 3> kLightingRows{330, 360, 390};  // mode, parameter, effect
inline constexpr Rect kLightModeField{767, 330, 851, 344};
inline constexpr Rect kLightParameterField{767, 360, 851, 374};
inline constexpr Rect kLightEffectField{767, 390, 851, 404};
inline constexpr Rect kLightModeList{766, 347, 851, 407};
constexpr Rect LightParameterList(int height) {
  return Rect{767, 377, 851, 374 + height};
}
inline constexpr Rect kLightEffectList{766, 407, 851, 447};
constexpr Rect LightValueField(int row) {  // static fields 80..82, row 0..2
  return Rect{767, kLightingRows[static_cast<std::size_t>(row)], 835,
              kLightingRows[static_cast<std::size_t>(row)] + 14};
}
constexpr Rect LightCaption(int row) {  // "Mode", "Parameter", "Effect"
  return Rect{697, kLightingRows[static_cast<std::size_t>(row)], 757,
              kLightingRows[static_cast<std::size_t>(row)] + 14};
}

// Fixed text places of the basic page.
inline constexpr Rect kKeySettingTitle{259, 160, 364, 181};
inline constexpr Rect kReportRateTitle{504, 161, 609, 182};
inline constexpr Rect kDpiSettingTitle{504, 275, 609, 296};
inline constexpr Rect kDpiEffectTitle{704, 275, 809, 296};
inline constexpr Rect kColorCaption{494, 523, 544, 539};
inline constexpr Rect kSelectCaption{494, 541, 544, 557};
constexpr Rect ReportRateLabel(int segment) {  // 10 to 30 pixels below the segment
  const Rect s = kReportRateSegments[static_cast<std::size_t>(segment)];
  return Rect{s.left, s.bottom + 10, s.right, s.bottom + 30};
}
constexpr Rect StageNumber(int stage) {  // 5 to 30 pixels below the tick box
  const Rect t = DpiTick(stage);
  return Rect{t.left, t.bottom + 5, t.right, t.bottom + 30};
}

// Advanced page.
inline constexpr int kSliderCount = 3;       // pointer speed, scroll lines, double-click time
inline constexpr int kSliderCellCount = 11;  // cells 1..11 from the left
inline constexpr std::array<int, kSliderCount> kSliderTops{200, 350, 500};
constexpr Rect SliderCell(int slider, int cell) {  // slider 0..2, cell 0..10
  const int left = 52 + 24 * cell;
  const int top = kSliderTops[static_cast<std::size_t>(slider)];
  return Rect{left, top, left + 24, top + 11};
}
constexpr Rect SliderNumber(int slider, int cell) {  // 10 to 30 pixels below the cell
  const Rect c = SliderCell(slider, cell);
  return Rect{c.left, c.bottom + 10, c.right, c.bottom + 30};
}
inline constexpr Rect kPointerPrecisionTick{51, 255, 67, 271};
inline constexpr Rect kPointerPrecisionCaption{77, 255, 408, 271};
inline constexpr Rect kScrollOneScreenTick{51, 405, 67, 421};
inline constexpr Rect kScrollOneScreenCaption{77, 405, 408, 421};
inline constexpr Rect kSystemDefaultButton{38, 584, 143, 605};
inline constexpr Rect kStartRecordingButton{735, 229, 764, 258};
inline constexpr Rect kStartRecordingCaption{765, 227, 874, 260};
inline constexpr Rect kStopRecordingButton{735, 265, 764, 294};
inline constexpr Rect kStopRecordingCaption{765, 263, 874, 296};
inline constexpr Rect kMacroList{462, 220, 591, 512};
inline constexpr Rect kMacroStepList{592, 220, 725, 512};
inline constexpr Rect kMacroNameField{735, 322, 799, 336};
inline constexpr Rect kMacroNameCaption{735, 302, 874, 322};
inline constexpr Rect kLoopCountField{735, 362, 799, 376};
inline constexpr Rect kLoopCountCaption{735, 342, 874, 362};
inline constexpr Rect kMouseEventField{735, 402, 854, 416};
inline constexpr Rect kMouseEventValue{735, 402, 839, 416};
inline constexpr Rect kMouseEventCaption{735, 382, 874, 402};
inline constexpr Rect kMouseEventList{734, 419, 854, 569};
inline constexpr Rect kNewMacroButton{513, 528, 618, 549};
inline constexpr Rect kDeleteMacroButton{617, 528, 722, 549};
inline constexpr Rect kConfirmMacroButton{721, 528, 826, 549};

// Fixed text places of the advanced page.
inline constexpr Rect kMouseSpeedTitle{38, 160, 143, 181};
inline constexpr Rect kScrollingSpeedTitle{38, 310, 143, 331};
inline constexpr Rect kDoubleClickSpeedTitle{38, 460, 143, 481};
inline constexpr Rect kMacroSettingTitle{469, 160, 578, 181};
inline constexpr Rect kSelectMacroCaption{457, 196, 592, 220};
inline constexpr Rect kKeyPressSequenceCaption{591, 196, 726, 220};
inline constexpr Rect kRecordOptionCaption{725, 196, 875, 220};

// Child controls: the id their notifications carry, their kind and rectangle.
namespace control_id {
inline constexpr int kDpiSwitchList = 37;
inline constexpr int kFirstKeyList = 41;  // 41..52: the function list of button 1..12
inline constexpr int kLastKeyList = 52;
inline constexpr int kLightModeList = 63;
inline constexpr int kLightParameterList = 64;
inline constexpr int kLightEffectList = 65;
inline constexpr int kFirstSwatch = 71;  // 71..74: the colour of DPI stage 1..4
inline constexpr int kLightModeValue = 80;
inline constexpr int kLightParameterValue = 81;
inline constexpr int kLightEffectValue = 82;
inline constexpr int kMouseEventValue = 119;
inline constexpr int kLoopCount = 149;
inline constexpr int kMacroName = 150;
inline constexpr int kMacroList = 151;
inline constexpr int kMacroStepList = 152;
inline constexpr int kMouseEventList = 154;
inline constexpr int kRecordingHint = 155;  // a static over kRecordingHintLine
}  // namespace control_id

enum class ChildPage { kBasic, kAdvanced };

struct ChildControl {
  int id = 0;
  ControlKind kind = ControlKind::kStatic;
  Rect rect;
  ChildPage page = ChildPage::kBasic;
};

// The child controls that exist while their page is drawn (created with the page); the lists
// that open on a press are made by their controls and are not part of this table.
inline constexpr std::array<ChildControl, 12> kPageControls{{
    {control_id::kFirstSwatch + 0, ControlKind::kStatic, DpiSwatch(0), ChildPage::kBasic},
    {control_id::kFirstSwatch + 1, ControlKind::kStatic, DpiSwatch(1), ChildPage::kBasic},
    {control_id::kFirstSwatch + 2, ControlKind::kStatic, DpiSwatch(2), ChildPage::kBasic},
    {control_id::kFirstSwatch + 3, ControlKind::kStatic, DpiSwatch(3), ChildPage::kBasic},
    {control_id::kLightModeValue, ControlKind::kStatic, LightValueField(0), ChildPage::kBasic},
    {control_id::kLightParameterValue, ControlKind::kStatic, LightValueField(1), ChildPage::kBasic},
    {control_id::kLightEffectValue, ControlKind::kStatic, LightValueField(2), ChildPage::kBasic},
    {control_id::kMouseEventValue, ControlKind::kStatic, kMouseEventValue, ChildPage::kAdvanced},
    {control_id::kMacroName, ControlKind::kEdit, kMacroNameField, ChildPage::kAdvanced},
    {control_id::kLoopCount, ControlKind::kEdit, kLoopCountField, ChildPage::kAdvanced},
    {control_id::kMacroList, ControlKind::kListBox, kMacroList, ChildPage::kAdvanced},
    {control_id::kMacroStepList, ControlKind::kListBox, kMacroStepList, ChildPage::kAdvanced},
}};

// The lists a page opens on presses; destroyed with their page.
static_assert(control_id::kLastKeyList - control_id::kFirstKeyList + 1 == 12);
inline constexpr std::array<int, 16> kBasicPageLists = [] {
  std::array<int, 16> lists{};
  std::size_t next = 0;
  lists[next++] = control_id::kDpiSwitchList;
  for (int id = control_id::kFirstKeyList; id <= control_id::kLastKeyList; ++id) lists[next++] = id;
  lists[next++] = control_id::kLightModeList;
  lists[next++] = control_id::kLightParameterList;
  lists[next++] = control_id::kLightEffectList;
  return lists;
}();
inline constexpr std::array<int, 1> kAdvancedPageLists{control_id::kMouseEventList};

// Regions must lie inside the face.
constexpr bool InsideFace(const Rect& r) {
  return r.left >= 0 && r.top >= 0 && r.right <= kFaceSize.width && r.bottom <= kFaceSize.height &&
         r.left < r.right && r.top < r.bottom;
}
static_assert(InsideFace(kCancelButton) && InsideFace(kCloseButton) && InsideFace(KeyRow(6)) &&
              InsideFace(DpiCell(3, 11)) && InsideFace(SliderCell(2, 10)) &&
              InsideFace(kRecordOptionCaption) && InsideFace(kKeyLists[5]));
static_assert(DpiCell(0, 11).top == 302);  // the twelve-level grid reaches y = 302
static_assert(KeyRow(6) == Rect{252, 337, 463, 358});

}  // namespace vm31::layout
