#include "core/app/main_pages.h"

#include <algorithm>
#include <string_view>

#include "core/app/page_pictures.h"
#include "core/macros/macro_store.h"
#include "core/settings/ini_file.h"
#include "core/settings/value_labels.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;
using namespace page_picture;

constexpr std::string_view kBasicPageImage = "/BasicSet2.png";
constexpr std::string_view kAdvancedPageImage = "/AdvancedSet2.png";
constexpr std::string_view kButtonNormal = "/button-normal.png";
constexpr std::string_view kButtonOver = "/button-over.png";
constexpr std::string_view kDropdownOver = "/DropdownBox-over.png";

// The captions of the mode buttons and of the DPI colour and tick rows are the same in every
// language.
constexpr std::string_view kModeA = "Mode A";
constexpr std::string_view kModeB = "Mode B";
constexpr std::string_view kColorCaption = "Color";
constexpr std::string_view kSelectCaption = "Select";
constexpr std::array<std::string_view, 4> kRateLabels{"125", "250", "500", "1000"};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kMacroListBackground{14, 15, 14};
constexpr Rgb kOtherStaticBackground{100, 150, 100};

enum class HoverGroup { kAlone, kBottomButtons, kTabs, kKeyRows, kMacroButtons };

struct HoverRow {
  HoverElement element;
  Rect rect;
  MainPage page;
  std::string_view overImage;
  std::string_view normalImage;
  HoverGroup group;
};

constexpr std::array<HoverRow, kHoverElementCount> kHoverTable{{
    {HoverElement::kOk, layout::kOkButton, MainPage::kNone, kButtonOver, kButtonNormal,
     HoverGroup::kBottomButtons},
    {HoverElement::kApply, layout::kApplyButton, MainPage::kNone, kButtonOver, kButtonNormal,
     HoverGroup::kBottomButtons},
    {HoverElement::kCancel, layout::kCancelButton, MainPage::kNone, kButtonOver, kButtonNormal,
     HoverGroup::kBottomButtons},
    {HoverElement::kSkins, layout::kSkinsButton, MainPage::kNone, "/button-Skins-over.png",
     "/button-Skins-normal.png", HoverGroup::kAlone},
    {HoverElement::kMinimise, layout::kMinimiseButton, MainPage::kNone, "/button-min-over.png",
     "/button-min-normal.png", HoverGroup::kAlone},
    {HoverElement::kClose, layout::kCloseButton, MainPage::kNone, "/button-close-over.png",
     "/button-close-normal.png", HoverGroup::kAlone},
    {HoverElement::kBasicTab, layout::kBasicTab, MainPage::kNone, "/button-PrePage-over.png",
     "/button-PrePage-normal.png", HoverGroup::kTabs},
    {HoverElement::kAdvancedTab, layout::kAdvancedTab, MainPage::kNone, "/button-NextPage-over.png",
     "/button-NextPage-normal.png", HoverGroup::kTabs},
    {HoverElement::kKeyDefault, layout::kKeyDefaultButton, MainPage::kBasic, kButtonOver,
     kButtonNormal, HoverGroup::kAlone},
    {HoverElement::kKeyRow1, layout::KeyRow(0), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kKeyRow2, layout::KeyRow(1), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kKeyRow3, layout::KeyRow(2), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kKeyRow4, layout::KeyRow(3), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kKeyRow5, layout::KeyRow(4), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kKeyRow6, layout::KeyRow(5), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kKeyRow7, layout::KeyRow(6), MainPage::kBasic, kDropdownOver, kDropdownNormal,
     HoverGroup::kKeyRows},
    {HoverElement::kSystemDefault, layout::kSystemDefaultButton, MainPage::kAdvanced, kButtonOver,
     kButtonNormal, HoverGroup::kAlone},
    {HoverElement::kNewMacro, layout::kNewMacroButton, MainPage::kAdvanced, kButtonOver,
     kButtonNormal, HoverGroup::kMacroButtons},
    {HoverElement::kDeleteMacro, layout::kDeleteMacroButton, MainPage::kAdvanced, kButtonOver,
     kButtonNormal, HoverGroup::kMacroButtons},
    {HoverElement::kConfirmMacro, layout::kConfirmMacroButton, MainPage::kAdvanced, kButtonOver,
     kButtonNormal, HoverGroup::kMacroButtons},
}};

constexpr bool HoverTableInOrder() {
  for (std::size_t i = 0; i < kHoverTable.size(); ++i) {
    if (static_cast<std::size_t>(kHoverTable[i].element) != i) return false;
  }
  return true;
}
static_assert(HoverTableInOrder());

const HoverRow& RowOf(HoverElement element) {
  return kHoverTable[static_cast<std::size_t>(element)];
}

int KeyRowOf(HoverElement element) {
  return static_cast<int>(element) - static_cast<int>(HoverElement::kKeyRow1);
}

// The lighting parameter label of the stored level of `mode` (1..3); "" for any other mode.
std::string LightParameterText(const MouseConfig& config, int mode) {
  switch (mode) {
    case 1:
      return StandardLevelLabel(config.lightLevel(1));
    case 2:
      return RespirationLevelLabel(config.lightLevel(2));
    case 3:
      return NeonLevelLabel(config.lightLevel(3));
    default:
      return {};
  }
}

}  // namespace

int DpiTableSensor(std::uint8_t sensorTypeCopy) {
  return sensorTypeCopy >= 1 && sensorTypeCopy <= 3 ? sensorTypeCopy : 0;
}

ControlStyle MainControlStyle(int controlId, const MouseConfig& config, Rgb uiTextColor,
                              const FontSpec& font) {
  ControlStyle style;
  style.font = font;
  style.centred = true;
  if (controlId == id::kLoopCount || controlId == id::kMacroName) {
    style.text = uiTextColor;
    style.background = kBlack;
    style.numbersOnly = controlId == id::kLoopCount;
  } else if (controlId == id::kMacroList || controlId == id::kMacroStepList) {
    style.text = uiTextColor;
    style.background = kMacroListBackground;
    style.centred = false;
  } else if (controlId >= id::kFirstSwatch && controlId < id::kFirstSwatch + kDpiStageCount) {
    const auto colour = config.dpiColor(controlId - id::kFirstSwatch);
    style.background = Rgb{colour[0], colour[1], colour[2]};
  } else if (controlId == id::kLightModeValue || controlId == id::kLightParameterValue ||
             controlId == id::kLightEffectValue || controlId == id::kMouseEventValue) {
    style.text = uiTextColor;
    style.background = kBlack;
  } else if (controlId == id::kDpiSwitchList ||
             (controlId >= id::kFirstKeyList && controlId <= id::kLastKeyList) ||
             controlId == id::kLightModeList || controlId == id::kLightParameterList ||
             controlId == id::kLightEffectList || controlId == id::kMouseEventList) {
    style.text = kWhite;
    style.background = kBlack;
    style.centred = false;
  } else {
    style.text = uiTextColor;
    style.background = kOtherStaticBackground;
  }
  return style;
}

// ---- drawing primitives ----

void MainWindowPages::drawImage(std::string_view fileName, const Rect& at) {
  DrawSkinPng(dlg_.ports().canvas, dlg_.skin().currentSkinFolder, fileName, Point{at.left, at.top});
}

void MainWindowPages::drawText(std::string_view text, const Rect& box, TextFormat format,
                               bool title) {
  Canvas* canvas = dlg_.ports().canvas;
  if (canvas == nullptr) return;
  canvas->drawText(text, box, title ? dlg_.titleFont() : dlg_.normalFont(), dlg_.skin().uiTextColor,
                   format);
}

void MainWindowPages::present() {
  if (Canvas* canvas = dlg_.ports().canvas) canvas->present();
}

int MainWindowPages::editedGroup() const {
  // Any stored value but 1 shows (and edits) the first group.
  return dlg_.mouseConfig().editedKeyGroup() == 1 ? 1 : 0;
}

const std::string& MainWindowPages::buttonLabel(int button) const {
  return dlg_.preferences()
      .labels.texts[static_cast<std::size_t>(editedGroup() * kLabelButtonCount + button)];
}

// ---- shared parts of both pages ----

void MainWindowPages::drawCommonFrame(std::string_view pageImage) {
  drawImage(pageImage, Rect{});
  drawImage("/button-min-normal.png", layout::kMinimiseButton);
  drawImage("/button-close-normal.png", layout::kCloseButton);
  drawImage("/button-Skins-normal.png", layout::kSkinsButton);
}

void MainWindowPages::drawBottomCaptions() {
  drawText(dlg_.text(UiText::kOk), layout::kOkButton, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kApply), layout::kApplyButton, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kCancel), layout::kCancelButton, TextFormat::kCentre);
}

// ---- basic page ----

void MainWindowPages::drawKeyRowTexts(int row) {
  const Rect r = layout::KeyRow(row);
  const int split = r.left + layout::kKeyRowNumberWidth;
  drawText(std::to_string(row + 1), Rect{r.left, r.top, split, r.bottom}, TextFormat::kLeft);
  drawText(buttonLabel(row), Rect{split, r.top, r.right, r.bottom}, TextFormat::kLeft);
}

void MainWindowPages::drawKeyRow(int row, bool over) {
  drawImage(over ? kDropdownOver : kDropdownNormal, layout::KeyRow(row));
  drawKeyRowTexts(row);
}

void MainWindowPages::drawModeButtons() {
  const int group = editedGroup();
  drawImage(group == 0 ? kButtonOver : kButtonNormal, layout::kModeAButton);
  drawText(kModeA, layout::kModeAButton, TextFormat::kCentre);
  drawImage(group == 1 ? kButtonOver : kButtonNormal, layout::kModeBButton);
  drawText(kModeB, layout::kModeBButton, TextFormat::kCentre);
}

void MainWindowPages::drawReportRate() {
  const std::uint8_t code = dlg_.mouseConfig().reportRateCode();
  // Any code but 8, 4 and 2 shows as 1000 Hz, the rate the mouse falls back to.
  int segment = layout::kReportRateSegmentCount - 1;
  for (int i = 0; i < layout::kReportRateSegmentCount - 1; ++i) {
    if (layout::kReportRateCodes[static_cast<std::size_t>(i)] == code) segment = i;
  }
  drawImage(kRateLight, layout::kReportRateSegments[static_cast<std::size_t>(segment)]);
}

void MainWindowPages::drawDpiStage(int stage) {
  const MouseConfig& config = dlg_.mouseConfig();
  const bool enabled = config.dpiStageEnabled(stage);
  drawImage(enabled ? kTickOn : kTickOff, layout::DpiTick(stage));
  // A stored level past the column lights the whole column.
  const int lit = enabled ? std::min(config.dpiLevel(stage) + 1, dpiLevelCount_) : 0;
  for (int level = 0; level < dpiLevelCount_; ++level) {
    drawImage(level < lit ? kDpiLight : kDpiDark, layout::DpiCell(stage, level));
  }
}

void MainWindowPages::drawDpiLevelLabels() {
  const int sensor = DpiTableSensor(dlg_.link().state().sensorTypeCopy);
  for (int level = 0; level < dpiLevelCount_; ++level) {
    drawText(DpiLabel(sensor, level), layout::DpiLevelLabel(level, dpiLevelCount_),
             TextFormat::kRight);
  }
}

bool MainWindowPages::basicControlsExist() const {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return true;
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kBasic && !controls->exists(child.id)) return false;
  }
  return true;
}

bool MainWindowPages::advancedControlsExist() const {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return true;
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kAdvanced && !controls->exists(child.id)) return false;
  }
  return true;
}

void MainWindowPages::createBasicControls() {
  Controls* controls = dlg_.ports().controls;
  const MouseConfig& config = dlg_.mouseConfig();
  const UiLanguage language = dlg_.language();
  const int mode = config.lightMode();
  const int shownMode = mode >= 1 && mode <= 3 ? mode : 0;  // any other value shows as "Off"
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page != layout::ChildPage::kBasic) continue;
    controls->create(
        child.id, child.kind, child.rect,
        MainControlStyle(child.id, config, dlg_.skin().uiTextColor, dlg_.normalFont()));
  }
  controls->setText(id::kLightModeValue, LightModeLabel(shownMode, language));
  controls->setText(id::kLightParameterValue, LightParameterText(config, shownMode));
  controls->setText(
      id::kLightEffectValue,
      shownMode == 0 ? std::string() : RgbEffectLabel(config.rgbEffect(shownMode), language));
}

void MainWindowPages::firstBasicShow() {
  if (dlg_.basicPageInitialised) return;
  // The mouse's answer only decides the DPI table; a failed refresh keeps the type read before.
  (void)dlg_.link().sensorRefresh();
  if (dlg_.firstRunFlag() == 0) {
    dlg_.preferences().labels = FactoryButtonLabels(dlg_.language());
    Result<IniDocument> prefs = IniDocument::Load(dlg_.paths().data.prefs);
    if (prefs) {
      SaveLabels(prefs.value(), dlg_.language(), dlg_.preferences().labels);
      (void)prefs.value().Save(dlg_.paths().data.prefs);
    }
  }
  dlg_.basicPageInitialised = true;
}

void MainWindowPages::destroyBasicControls() {
  Controls* controls = dlg_.ports().controls;
  if (controls == nullptr) return;
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kBasic) controls->destroy(child.id);
  }
  for (int list : layout::kBasicPageLists) controls->destroy(list);
  keyListOpen_.fill(false);
  lightListOpen_.fill(false);
}

void MainWindowPages::destroyAdvancedControls() {
  Controls* controls = dlg_.ports().controls;
  if (controls != nullptr) {
    for (const layout::ChildControl& child : layout::kPageControls) {
      if (child.page == layout::ChildPage::kAdvanced) controls->destroy(child.id);
    }
    for (int list : layout::kAdvancedPageLists) controls->destroy(list);
  }
  mouseEventListOpen_ = false;
  releaseRecordingHold();  // leaving the page ends a recording; its counters stay
}

void MainWindowPages::showBasicPage() {
  if (dlg_.currentPage == MainPage::kBasic) return;
  dlg_.currentPage = MainPage::kBasic;
  destroyAdvancedControls();
  firstBasicShow();

  drawCommonFrame(kBasicPageImage);
  for (const Rect& button : {layout::kOkButton, layout::kApplyButton, layout::kCancelButton,
                             layout::kKeyDefaultButton}) {
    drawImage(kButtonNormal, button);
  }
  drawImage("/button-PrePage-normal.png", layout::kBasicTab);
  drawImage("/button-NextPage-normal.png", layout::kAdvancedTab);
  for (int row = 0; row < layout::kKeyRowCount; ++row)
    drawImage(kDropdownNormal, layout::KeyRow(row));
  for (const Rect& segment : layout::kReportRateSegments) drawImage(kRateDark, segment);

  drawText(dlg_.text(UiText::kBasicSettings), layout::kPageTitle, TextFormat::kLeft, true);
  drawText(dlg_.text(UiText::kKeySetting), layout::kKeySettingTitle, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kReportRateSetting), layout::kReportRateTitle, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kDpiSetting), layout::kDpiSettingTitle, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kDpiEffect), layout::kDpiEffectTitle, TextFormat::kCentre);
  drawBottomCaptions();
  drawText(dlg_.text(UiText::kKeyDefault), layout::kKeyDefaultButton, TextFormat::kCentre);

  for (int row = 0; row < layout::kKeyRowCount; ++row) drawKeyRowTexts(row);
  drawModeButtons();

  for (int segment = 0; segment < layout::kReportRateSegmentCount; ++segment) {
    drawText(kRateLabels[static_cast<std::size_t>(segment)], layout::ReportRateLabel(segment),
             TextFormat::kTopCentre);
  }
  drawText(kColorCaption, layout::kColorCaption, TextFormat::kRight);
  drawText(kSelectCaption, layout::kSelectCaption, TextFormat::kRight);
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    drawText(std::to_string(stage + 1), layout::StageNumber(stage), TextFormat::kTopCentre);
  }
  drawText(dlg_.text(UiText::kLightMode), layout::LightCaption(0), TextFormat::kRight);
  drawText(dlg_.text(UiText::kLightParameter), layout::LightCaption(1), TextFormat::kRight);
  drawText(dlg_.text(UiText::kLightEffect), layout::LightCaption(2), TextFormat::kRight);

  if (!basicControlsExist()) {
    dpiLevelCount_ = DpiLevelCount(DpiTableSensor(dlg_.link().state().sensorTypeCopy));
    drawDpiLevelLabels();
    createBasicControls();
  }

  drawReportRate();
  for (int stage = 0; stage < kDpiStageCount; ++stage) drawDpiStage(stage);
  present();
}

// ---- advanced page ----

void MainWindowPages::showMacros() {
  Controls* controls = dlg_.ports().controls;
  Result<IniDocument> file = IniDocument::Load(dlg_.paths().data.macros);
  const IniDocument doc = file ? std::move(file).value() : IniDocument{};
  const MacroNameList names = MacroNames(doc);
  controls->clearItems(id::kMacroList);
  controls->clearItems(id::kMacroStepList);
  for (const std::string& name : names.names) controls->addItem(id::kMacroList, name);
  if (names.names.empty()) {
    controls->setText(id::kLoopCount, "");
    return;
  }
  controls->setText(id::kMacroName, names.names.front());
  for (const std::string& line : MacroLines(doc, names.names.front()).lines) {
    controls->addItem(id::kMacroStepList, line);
  }
  controls->setSelection(id::kMacroList, 0);
  controls->setText(id::kLoopCount, std::to_string(dlg_.mouseConfig().macroLoopCount(0)));
}

void MainWindowPages::createAdvancedControls() {
  Controls* controls = dlg_.ports().controls;
  const MouseConfig& config = dlg_.mouseConfig();
  // An unticked box is drawn too: the page picture need not show the empty box.
  drawImage(config.at(config_offset::kEnhancePointerPrecision) != 0 ? kTickOn : kTickOff,
            layout::kPointerPrecisionTick);
  drawImage(config.at(config_offset::kScrollOneScreen) != 0 ? kTickOn : kTickOff,
            layout::kScrollOneScreenTick);
  for (int controlId :
       {id::kMouseEventValue, id::kMacroName, id::kLoopCount, id::kMacroList, id::kMacroStepList}) {
    const auto child =
        std::find_if(layout::kPageControls.begin(), layout::kPageControls.end(),
                     [&](const layout::ChildControl& c) { return c.id == controlId; });
    controls->create(
        child->id, child->kind, child->rect,
        MainControlStyle(child->id, config, dlg_.skin().uiTextColor, dlg_.normalFont()));
  }
  showMacros();
}

void MainWindowPages::showAdvancedPage() {
  if (dlg_.currentPage == MainPage::kAdvanced) return;
  dlg_.currentPage = MainPage::kAdvanced;
  destroyBasicControls();

  drawCommonFrame(kAdvancedPageImage);
  drawImage("/button-PrePage-normal.png", layout::kBasicTab);
  drawImage("/button-NextPage-normal.png", layout::kAdvancedTab);
  for (const Rect& button : {layout::kOkButton, layout::kApplyButton, layout::kCancelButton,
                             layout::kSystemDefaultButton, layout::kNewMacroButton,
                             layout::kDeleteMacroButton, layout::kConfirmMacroButton}) {
    drawImage(kButtonNormal, button);
  }
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
      drawImage(kSliderDark, layout::SliderCell(slider, cell));
    }
  }

  drawText(dlg_.text(UiText::kEnhancePointerPrecision), layout::kPointerPrecisionCaption,
           TextFormat::kLeft);
  drawText(dlg_.text(UiText::kScrollOneScreen), layout::kScrollOneScreenCaption, TextFormat::kLeft);
  drawText(dlg_.text(UiText::kSystemDefault), layout::kSystemDefaultButton, TextFormat::kCentre);
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    for (int cell = 0; cell < layout::kSliderCellCount; ++cell) {
      drawText(std::to_string(cell + 1), layout::SliderNumber(slider, cell),
               TextFormat::kTopCentre);
    }
  }
  drawText(dlg_.text(UiText::kSelectMacro), layout::kSelectMacroCaption, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kKeyPressSequence), layout::kKeyPressSequenceCaption,
           TextFormat::kCentre);
  drawText(dlg_.text(UiText::kRecordOption), layout::kRecordOptionCaption, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kNewMacro), layout::kNewMacroButton, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kDeleteMacro), layout::kDeleteMacroButton, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kConfirmMacro), layout::kConfirmMacroButton, TextFormat::kCentre);
  // The recording captions may wrap: the box shrinks evenly to the text's height, which centres
  // the wrapped lines vertically.
  for (const auto& [text, box] :
       {std::pair{UiText::kStartRecording, layout::kStartRecordingCaption},
        std::pair{UiText::kStopRecording, layout::kStopRecordingCaption}}) {
    Rect shrunk = box;
    if (Canvas* canvas = dlg_.ports().canvas) {
      const int height =
          canvas->measureWrappedHeight(dlg_.text(text), box.width(), dlg_.normalFont());
      if (height > 0 && height < box.height()) {
        shrunk.top = box.top + (box.height() - height) / 2;
        shrunk.bottom = shrunk.top + height;
      }
    }
    drawText(dlg_.text(text), shrunk, TextFormat::kWordWrap);
  }
  drawText(dlg_.text(UiText::kLoopTimes), layout::kLoopCountCaption, TextFormat::kLeft);
  drawText(dlg_.text(UiText::kMacroName), layout::kMacroNameCaption, TextFormat::kLeft);
  drawText(dlg_.text(UiText::kInsertMouseEvent), layout::kMouseEventCaption, TextFormat::kLeft);
  drawBottomCaptions();
  drawText(dlg_.text(UiText::kMouseSpeed), layout::kMouseSpeedTitle, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kScrollingSpeed), layout::kScrollingSpeedTitle, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kDoubleClickSpeed), layout::kDoubleClickSpeedTitle,
           TextFormat::kCentre);
  drawText(dlg_.text(UiText::kMacroSetting), layout::kMacroSettingTitle, TextFormat::kCentre);
  drawText(dlg_.text(UiText::kAdvancedSettings), layout::kPageTitle, TextFormat::kLeft, true);

  // The first display in a run takes the desktop's own values into the record.
  if (!systemSettingsRead_) readSystemSettings();
  drawUnavailableNotes();
  // The sliders show the record's positions; a stored value past the last cell lights them all.
  const MouseConfig& config = dlg_.mouseConfig();
  for (int slider = 0; slider < layout::kSliderCount; ++slider) {
    const int value =
        std::min<int>(config.at(kSliderConfigOffsets[static_cast<std::size_t>(slider)]),
                      layout::kSliderCellCount);
    for (int cell = 0; cell < value; ++cell)
      drawImage(kSliderLight, layout::SliderCell(slider, cell));
  }

  if (!advancedControlsExist()) createAdvancedControls();
  present();
}

void MainWindowPages::rebuildPage(MainPage page) {
  if (page == MainPage::kAdvanced) {
    destroyAdvancedControls();
    dlg_.currentPage = MainPage::kNone;
    showAdvancedPage();
    return;
  }
  destroyBasicControls();
  dlg_.currentPage = MainPage::kNone;
  showBasicPage();
}

// ---- presses ----

// The press dispatch lives with the page controls (main_controls.cpp).

// ---- hover feedback ----

bool MainWindowPages::hoverActive(HoverElement element) const {
  // Before a page was drawn the window shows its bare background: nothing lights up.
  if (dlg_.currentPage == MainPage::kNone) return false;
  const MainPage page = RowOf(element).page;
  return page == MainPage::kNone || page == dlg_.currentPage;
}

void MainWindowPages::drawHoverElement(HoverElement element, bool over) {
  const HoverRow& row = RowOf(element);
  if (row.group == HoverGroup::kKeyRows) {
    drawKeyRow(KeyRowOf(element), over);
    return;
  }
  drawImage(over ? row.overImage : row.normalImage, row.rect);
  std::string_view caption;
  switch (element) {
    case HoverElement::kOk:
      caption = dlg_.text(UiText::kOk);
      break;
    case HoverElement::kApply:
      caption = dlg_.text(UiText::kApply);
      break;
    case HoverElement::kCancel:
      caption = dlg_.text(UiText::kCancel);
      break;
    case HoverElement::kKeyDefault:
      caption = dlg_.text(UiText::kKeyDefault);
      break;
    case HoverElement::kSystemDefault:
      caption = dlg_.text(UiText::kSystemDefault);
      break;
    case HoverElement::kNewMacro:
      caption = dlg_.text(UiText::kNewMacro);
      break;
    case HoverElement::kDeleteMacro:
      caption = dlg_.text(UiText::kDeleteMacro);
      break;
    case HoverElement::kConfirmMacro:
      caption = dlg_.text(UiText::kConfirmMacro);
      break;
    default:
      return;  // icon buttons carry no text
  }
  drawText(caption, row.rect, TextFormat::kCentre);
}

void MainWindowPages::onMouseMove(Point at) {
  for (const HoverRow& row : kHoverTable) {
    // Over a hoverable element the hover that follows the rest does the drawing.
    if (hoverActive(row.element) && row.rect.contains(at)) return;
  }
  if (std::none_of(hoverMarks_.begin(), hoverMarks_.end(), [](bool mark) { return mark; })) return;
  for (const HoverRow& row : kHoverTable) {
    // Marks of the other page's elements are cleared without drawing: that page is not shown.
    if (hoverMarks_[static_cast<std::size_t>(row.element)] && hoverActive(row.element)) {
      drawHoverElement(row.element, false);
    }
  }
  hoverMarks_.fill(false);
  present();
}

void MainWindowPages::onHover(Point at) {
  bool drawn = false;
  for (const HoverRow& row : kHoverTable) {
    if (!hoverActive(row.element) || !row.rect.contains(at)) continue;
    drawHoverElement(row.element, true);
    if (row.group != HoverGroup::kAlone) {
      for (const HoverRow& sibling : kHoverTable) {
        auto& mark = hoverMarks_[static_cast<std::size_t>(sibling.element)];
        if (sibling.group != row.group || sibling.element == row.element || !mark) continue;
        if (hoverActive(sibling.element)) drawHoverElement(sibling.element, false);
        mark = false;
      }
    }
    hoverMarks_[static_cast<std::size_t>(row.element)] = true;
    drawn = true;
  }
  if (drawn) present();
}

}  // namespace vm31
