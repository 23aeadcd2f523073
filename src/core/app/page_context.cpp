#include "core/app/page_context.h"

#include "core/settings/ini_file.h"
#include "core/settings/preferences.h"
#include "core/ui/skin.h"

namespace vm31 {

namespace {

namespace id = layout::control_id;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kMacroListBackground{14, 15, 14};
constexpr Rgb kOtherStaticBackground{100, 150, 100};

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
    style.border = true;
  } else if (controlId == id::kRecordingHint) {
    style.text = uiTextColor;
    style.transparent = true;
  } else {
    style.text = uiTextColor;
    style.background = kOtherStaticBackground;
  }
  return style;
}

void PageContext::drawImage(SkinPicture picture, const Rect& at) const {
  DrawSkinPng(&ports_.canvas, window_.skin().currentSkinFolder, picture, Point{at.left, at.top});
}

void PageContext::drawText(std::string_view text, const Rect& box, TextFormat format,
                           bool title) const {
  ports_.canvas.drawText(text, box, title ? window_.titleFont() : window_.normalFont(),
                         window_.skin().uiTextColor, format);
}

void PageContext::tell(std::string_view text, std::string_view caption) const {
  ports_.host.messageBox(text, caption,
                         caption.empty() ? MessageBoxIcon::kNone : MessageBoxIcon::kWarning);
}

void PageContext::storeButtonLabels() const {
  const std::filesystem::path& file = window_.paths().data.prefs;
  Result<IniDocument> prefs = IniDocument::Load(file);
  if (!prefs) {
    tell(prefs.error().message);
    return;
  }
  // A file that already holds these captions is not written again (a first run stores the
  // factory captions at every start until config.bin is saved).
  const Bytes before = prefs.value().Serialize();
  SaveLabels(prefs.value(), window_.language(), window_.preferences().labels);
  if (prefs.value().Serialize() == before) return;
  if (Status saved = prefs.value().Save(file); !saved) tell(saved.error().message);
}

ControlStyle PageContext::styleOf(int controlId) const {
  return MainControlStyle(controlId, window_.mouseConfig(), window_.skin().uiTextColor,
                          window_.normalFont());
}

void PageContext::createPageControl(const layout::ChildControl& child) const {
  ports_.controls.create(child.id, child.kind, child.rect, styleOf(child.id));
}

}  // namespace vm31
