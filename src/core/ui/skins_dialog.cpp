#include "core/ui/skins_dialog.h"

#include <optional>
#include <string_view>
#include <utility>

#include "core/text/dialog_texts.h"

namespace vm31 {

namespace {

// The colour chooser always starts at black, whatever colour is in force.
constexpr Rgb kChooserStart{0, 0, 0};

// The blank of `text` nearest its middle; npos when it has none.
std::size_t BlankNearestMiddle(std::string_view text) {
  std::size_t best = std::string_view::npos;
  for (std::size_t at = text.find(' '); at != std::string_view::npos; at = text.find(' ', at + 1)) {
    const auto distance = [&](std::size_t i) {
      return i > text.size() / 2 ? i - text.size() / 2 : text.size() / 2 - i;
    };
    if (best == std::string_view::npos || distance(at) < distance(best)) best = at;
  }
  return best;
}

}  // namespace

CSkinsDialog::CSkinsDialog(SkinState skin, FontSpec font, std::vector<std::filesystem::path> roots)
    : PopupFrame(SkinPicture::kSkinsDialog, kSkinsBackgroundFailureCaption, skin, std::move(font)),
      roots_(std::move(roots)),
      list_({kValueId, kValueRect, kClickRect, kListId, kListRect, false}, {}, {}),
      chosenFolder_(skin.currentSkinFolder),
      chosenName_(skin.currentSkinName),
      chosenColour_(skin.uiTextColor) {}

void CSkinsDialog::createControls() {
  list_.create(controls(), font(), chosenName_);
  controls().create(kSwatchId, ControlKind::kStatic, kSwatchRect, swatchStyle());
}

ControlStyle CSkinsDialog::swatchStyle() const {
  ControlStyle style;
  style.background = chosenColour_;
  style.font = font();
  return style;
}

void CSkinsDialog::drawOwnTexts() {
  const std::string_view prompt = DialogTextFor(DialogText::kSkinsColorPrompt, language());
  // The label colour in force when the dialog opened, not the one being chosen.
  const Rgb colour = skin().uiTextColor;
  // A prompt wider than its box (the English one in most fonts) would be cut at both ends: it
  // goes on two centred lines instead, split at the blank nearest its middle.
  Canvas* canvas = ports_.canvas;
  const int width = kPromptRect.width();
  const bool fits = canvas == nullptr || canvas->measureWrappedHeight(prompt, width, font()) <=
                                             canvas->measureWrappedHeight("X", width, font());
  const std::size_t blank = fits ? std::string_view::npos : BlankNearestMiddle(prompt);
  if (blank == std::string_view::npos) {
    drawText(prompt, kPromptRect, TextFormat::kCentre, colour);
    return;
  }
  const int middle = kPromptRect.top + kPromptRect.height() / 2;
  drawText(prompt.substr(0, blank),
           Rect{kPromptRect.left, kPromptRect.top, kPromptRect.right, middle}, TextFormat::kCentre,
           colour);
  drawText(prompt.substr(blank + 1),
           Rect{kPromptRect.left, middle, kPromptRect.right, kPromptRect.bottom},
           TextFormat::kCentre, colour);
}

void CSkinsDialog::onDialogPress(Point at) {
  if (!list_.isOpen() && kClickRect.contains(at)) {
    // The skin folders are read again at every opening, so a skin added meanwhile shows up.
    // A missing or unreadable root adds nothing.
    std::vector<std::string> names;
    for (SkinEntry& entry : ListSkins(roots_)) names.push_back(std::move(entry.name));
    list_.setOptions(std::move(names));
  }
  list_.onPress(controls(), at);
  if (kSwatchRect.contains(at)) {
    if (std::optional<Rgb> colour = ports_.host->chooseColour(kChooserStart)) {
      chosenColour_ = *colour;
      controls().setStyle(kSwatchId, swatchStyle());
    }
  }
}

void CSkinsDialog::onControlNotify(int controlId, ControlNotification notification) {
  if (!list_.onNotify(controls(), controlId, notification)) return;
  chosenName_ = list_.text();
  // The folder a later start finds for this name (a user's copy of a skin before the installed
  // one), so the skin in use now and after a restart are the same.
  chosenFolder_ = ResolveSkinFolder(roots_, chosenName_);
}

void CSkinsDialog::onControlMouseMove(int controlId, Point at) {
  list_.onControlMouseMove(controls(), controlId, at);
}

void CSkinsDialog::onWheel(int delta, Point) {
  list_.onWheel(controls(), delta);
}

}  // namespace vm31
