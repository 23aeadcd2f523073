#include "core/app/basic_page.h"

#include <algorithm>
#include <string>

#include "core/app/window_frame.h"
#include "core/settings/report_rate.h"
#include "core/settings/value_labels.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;

// The captions of the mode buttons and of the DPI colour and tick rows are the same in every
// language.
constexpr std::string_view kModeA = "Mode A";
constexpr std::string_view kModeB = "Mode B";
constexpr std::string_view kColorCaption = "Color";
constexpr std::string_view kSelectCaption = "Select";

// Levels 9..12 exist only in the twelve-level table of sensor type 0.
constexpr int kEightLevels = 8;

// The regions before the key rows: mode A, mode B, "Default".
constexpr std::size_t kFirstKeyRowRegion = 3;

constexpr RegionLook kKeyRowLook{SkinPicture::kDropdownNormal, SkinPicture::kDropdownOver};

// The report-rate segment of `code`: any code but 8, 4 and 2 shows as 1000 Hz, the rate the
// mouse falls back to.
int RateSegment(std::uint8_t code) {
  int segment = layout::kReportRateSegmentCount - 1;
  for (int i = 0; i < layout::kReportRateSegmentCount - 1; ++i) {
    if (layout::kReportRateCodes[static_cast<std::size_t>(i)] == code) segment = i;
  }
  return segment;
}

}  // namespace

BasicPage::BasicPage(const PageContext& context, const PageHooks& hooks, const WindowFrame& frame)
    : context_(context),
      frame_(frame),
      lists_(context, hooks,
             [this](int button) {
               if (button < layout::kKeyRowCount) {
                 redrawKeyRow(button);
                 context_.present();
               }
             }),
      regions_(context, pageRegions()) {}

std::vector<Region> BasicPage::pageRegions() {
  // Presses in this order; the first region under the point that ends the press wins (mode A
  // over mode B on their shared column).
  std::vector<Region> regions{
      {layout::kModeAButton,
       std::nullopt,
       {},
       [this] {
         switchKeyGroup(0);
         return true;
       }},
      {layout::kModeBButton,
       std::nullopt,
       {},
       [this] {
         switchKeyGroup(1);
         return true;
       }},
      {layout::kKeyDefaultButton, RegionLook{SkinPicture::kButtonNormal, SkinPicture::kButtonOver},
       CentredCaption(context_, UiText::kKeyDefault, layout::kKeyDefaultButton),
       [this] {
         defaultKeys();
         return true;
       }},
  };
  for (int row = 0; row < layout::kKeyRowCount; ++row) {
    regions.push_back({layout::KeyRow(row), kKeyRowLook, [this, row] { drawKeyRowTexts(row); },
                       [this, row] {
                         lists_.keyRowPress(row);
                         return true;
                       },
                       RegionGroup::kKeyRows});
  }
  for (int segment = 0; segment < layout::kReportRateSegmentCount; ++segment) {
    regions.push_back({layout::kReportRateSegments[static_cast<std::size_t>(segment)],
                       std::nullopt,
                       {},
                       [this, segment] {
                         reportRatePress(segment);
                         return true;
                       }});
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    regions.push_back({layout::DpiTick(stage), std::nullopt, {}, [this, stage] {
                         tickPress(stage);
                         return true;
                       }});
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    regions.push_back({layout::DpiSwatch(stage), std::nullopt, {}, [this, stage] {
                         colourPress(stage);
                         return true;
                       }});
  }
  const Rect lightFields[] = {layout::kLightModeField, layout::kLightParameterField,
                              layout::kLightEffectField};
  for (int field = 0; field < 3; ++field) {
    regions.push_back({lightFields[field], std::nullopt, {}, [this, field] {
                         lists_.lightFieldPress(field);
                         return true;
                       }});
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    for (int level = 0; level < layout::kMaxDpiLevels; ++level) {
      regions.push_back({layout::DpiCell(stage, level), std::nullopt, {}, [this, stage, level] {
                           return levelPress(stage, level);
                         }});
    }
  }
  return regions;
}

bool BasicPage::keyRowLit(int row) const {
  return regions_.lit(kFirstKeyRowRegion + static_cast<std::size_t>(row));
}

// ---- drawing ----

void BasicPage::drawKeyRowTexts(int row) const {
  const Rect r = layout::KeyRow(row);
  const int split = r.left + layout::kKeyRowNumberWidth;
  const ButtonLabels& labels = context_.window().preferences().labels;
  const std::string& caption = labels.texts[static_cast<std::size_t>(
      EditedKeyGroup(context_.config()) * kLabelButtonCount + row)];
  context_.drawText(std::to_string(row + 1), Rect{r.left, r.top, split, r.bottom},
                    TextFormat::kLeft);
  context_.drawText(caption, layout::KeyRowCaption(row), TextFormat::kLeft);
}

void BasicPage::redrawKeyRow(int row) const {
  regions_.draw(kFirstKeyRowRegion + static_cast<std::size_t>(row), false);
}

void BasicPage::drawModeButtons() const {
  const int group = EditedKeyGroup(context_.config());
  context_.drawImage(group == 0 ? SkinPicture::kButtonOver : SkinPicture::kButtonNormal,
                     layout::kModeAButton);
  context_.drawText(kModeA, layout::kModeAButton, TextFormat::kCentre);
  context_.drawImage(group == 1 ? SkinPicture::kButtonOver : SkinPicture::kButtonNormal,
                     layout::kModeBButton);
  context_.drawText(kModeB, layout::kModeBButton, TextFormat::kCentre);
}

void BasicPage::drawReportRate() const {
  const int segment = RateSegment(context_.config().reportRateCode());
  context_.drawImage(SkinPicture::kRateCellLight,
                     layout::kReportRateSegments[static_cast<std::size_t>(segment)]);
}

void BasicPage::drawDpiStage(int stage) const {
  const MouseConfig& config = context_.config();
  const bool enabled = config.dpiStageEnabled(stage);
  context_.drawImage(enabled ? SkinPicture::kTickOn : SkinPicture::kTickOff,
                     layout::DpiTick(stage));
  // A stored level past the column lights the whole column.
  const int lit = enabled ? std::min(config.dpiLevel(stage) + 1, dpiLevelCount_) : 0;
  for (int level = 0; level < dpiLevelCount_; ++level) {
    context_.drawImage(level < lit ? SkinPicture::kDpiCellLight : SkinPicture::kDpiCellDark,
                       layout::DpiCell(stage, level));
  }
}

void BasicPage::drawDpiLevelLabels() const {
  const int sensor = DpiTableSensor(context_.window().link().state().sensorTypeCopy);
  for (int level = 0; level < dpiLevelCount_; ++level) {
    context_.drawText(DpiLabel(sensor, level), layout::DpiLevelLabel(level, dpiLevelCount_),
                      TextFormat::kRight);
  }
}

// ---- show and leave ----

void BasicPage::createControls() {
  const MouseConfig& config = context_.config();
  const UiLanguage language = context_.language();
  const int mode = config.lightMode();
  const int shownMode = mode >= 1 && mode <= 3 ? mode : 0;  // any other value shows as "Off"
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kBasic) context_.createPageControl(child);
  }
  Controls& controls = context_.controls();
  controls.setText(id::kLightModeValue, LightModeLabel(shownMode, language));
  controls.setText(id::kLightParameterValue, LightParameterText(config, shownMode));
  controls.setText(
      id::kLightEffectValue,
      shownMode == 0 ? std::string() : RgbEffectLabel(config.rgbEffect(shownMode), language));
  controlsCreated_ = true;
}

void BasicPage::firstShow() {
  if (initialised_) return;
  CTarnwickDlg& window = context_.window();
  // The mouse's answer only decides the DPI table; a failed refresh keeps the type read before.
  (void)window.link().sensorRefresh();
  if (window.firstRunFlag() == 0) {
    window.buttonLabels() = FactoryButtonLabels(window.language());
    context_.storeButtonLabels();
  }
  initialised_ = true;
}

void BasicPage::leave() {
  Controls& controls = context_.controls();
  for (const layout::ChildControl& child : layout::kPageControls) {
    if (child.page == layout::ChildPage::kBasic) controls.destroy(child.id);
  }
  controlsCreated_ = false;
  lists_.destroyAll();
}

void BasicPage::show() {
  firstShow();
  frame_.drawFrame(SkinPicture::kBasicPage);
  frame_.drawBottomButtons();
  context_.drawImage(SkinPicture::kButtonNormal, layout::kKeyDefaultButton);
  frame_.drawTabs();
  for (int row = 0; row < layout::kKeyRowCount; ++row) {
    context_.drawImage(kKeyRowLook.normal, layout::KeyRow(row));
  }
  for (const Rect& segment : layout::kReportRateSegments) {
    context_.drawImage(SkinPicture::kRateCellDark, segment);
  }

  context_.drawText(context_.text(UiText::kBasicSettings), layout::kPageTitle, TextFormat::kLeft,
                    true);
  const std::pair<UiText, Rect> titles[] = {
      {UiText::kKeySetting, layout::kKeySettingTitle},
      {UiText::kReportRateSetting, layout::kReportRateTitle},
      {UiText::kDpiSetting, layout::kDpiSettingTitle},
      {UiText::kDpiEffect, layout::kDpiEffectTitle},
  };
  for (const auto& [text, box] : titles) {
    context_.drawText(context_.text(text), box, TextFormat::kCentre);
  }
  frame_.drawBottomCaptions();
  context_.drawText(context_.text(UiText::kKeyDefault), layout::kKeyDefaultButton,
                    TextFormat::kCentre);

  for (int row = 0; row < layout::kKeyRowCount; ++row) drawKeyRowTexts(row);
  drawModeButtons();

  for (int segment = 0; segment < layout::kReportRateSegmentCount; ++segment) {
    context_.drawText(std::to_string(kReportRates[static_cast<std::size_t>(segment)].hz),
                      layout::ReportRateLabel(segment), TextFormat::kTopCentre);
  }
  context_.drawText(kColorCaption, layout::kColorCaption, TextFormat::kRight);
  context_.drawText(kSelectCaption, layout::kSelectCaption, TextFormat::kRight);
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    context_.drawText(std::to_string(stage + 1), layout::StageNumber(stage),
                      TextFormat::kTopCentre);
  }
  const UiText lightCaptions[] = {UiText::kLightMode, UiText::kLightParameter,
                                  UiText::kLightEffect};
  for (int row = 0; row < 3; ++row) {
    context_.drawText(context_.text(lightCaptions[row]), layout::LightCaption(row),
                      TextFormat::kRight);
  }

  if (!controlsCreated_) {
    dpiLevelCount_ = DpiLevelCount(DpiTableSensor(context_.window().link().state().sensorTypeCopy));
    drawDpiLevelLabels();
    createControls();
  }

  drawReportRate();
  for (int stage = 0; stage < kDpiStageCount; ++stage) drawDpiStage(stage);
  context_.present();
}

// ---- presses ----

bool BasicPage::press(Point at) {
  lists_.closeStale(at);
  return regions_.press(at);
}

void BasicPage::switchKeyGroup(int group) {
  context_.config().setEditedKeyGroup(static_cast<std::uint8_t>(group));
  drawModeButtons();
  for (int row = 0; row < layout::kKeyRowCount; ++row) redrawKeyRow(row);
  context_.present();
}

void BasicPage::defaultKeys() {
  ApplyDefaultKeyFunctions(context_.config());
  context_.window().buttonLabels() = FactoryButtonLabels(context_.language());
  for (int row = 0; row < layout::kKeyRowCount; ++row) redrawKeyRow(row);
  context_.present();
}

void BasicPage::reportRatePress(int segment) {
  MouseConfig& config = context_.config();
  const std::uint8_t code = layout::kReportRateCodes[static_cast<std::size_t>(segment)];
  const std::uint8_t previous = config.reportRateCode();
  config.setReportRateCode(code);
  if (previous == code) return;
  const int previousSegment = RateSegment(previous);
  context_.drawImage(SkinPicture::kRateCellLight,
                     layout::kReportRateSegments[static_cast<std::size_t>(segment)]);
  if (previousSegment != segment) {
    context_.drawImage(SkinPicture::kRateCellDark,
                       layout::kReportRateSegments[static_cast<std::size_t>(previousSegment)]);
  }
  context_.present();
}

void BasicPage::tickPress(int stage) {
  MouseConfig& config = context_.config();
  if (config.dpiStageEnabled(stage)) {
    bool othersEnabled = false;
    for (int other = 0; other < kDpiStageCount; ++other) {
      if (other != stage && config.dpiStageEnabled(other)) othersEnabled = true;
    }
    if (!othersEnabled) return;  // the last enabled stage stays
    config.setDpiStageEnabled(stage, false);
  } else {
    config.setDpiStageEnabled(stage, true);
  }
  drawDpiStage(stage);
  context_.present();
}

void BasicPage::colourPress(int stage) {
  MouseConfig& config = context_.config();
  if (!config.dpiStageEnabled(stage)) return;
  const std::optional<Rgb> colour = context_.host().chooseColour(Rgb{});
  if (!colour) return;
  config.setDpiColor(stage, {colour->red, colour->green, colour->blue});
  const int swatch = id::kFirstSwatch + stage;
  context_.controls().setStyle(swatch, context_.styleOf(swatch));
}

bool BasicPage::levelPress(int stage, int level) {
  const bool twelveLevels = context_.window().link().state().sensorTypeCopy == 0;
  if (level >= kEightLevels && !twelveLevels) return false;
  context_.config().setDpiLevel(stage, static_cast<std::uint8_t>(level));
  for (int cell = 0; cell < dpiLevelCount_; ++cell) {
    context_.drawImage(cell <= level ? SkinPicture::kDpiCellLight : SkinPicture::kDpiCellDark,
                       layout::DpiCell(stage, cell));
  }
  context_.present();
  return true;
}

}  // namespace vm31
