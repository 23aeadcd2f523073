#include "core/ui/popup_frame.h"

#include <algorithm>

#include "core/text/dialog_texts.h"

namespace vm31 {

namespace {

constexpr Rgb kControlBackground{40, 40, 40};
constexpr int kWheelLines = 3;

constexpr std::array<Rect, 3> kButtons{PopupButtonRects::kClose, PopupButtonRects::kOk,
                                       PopupButtonRects::kCancel};

}  // namespace

ControlStyle PopupControlStyle(const FontSpec& font) {
  ControlStyle style;
  style.text = Rgb{255, 255, 255};
  style.background = kControlBackground;
  style.font = font;
  return style;
}

// ---- DropList ----

DropList::DropList(Shape shape, std::vector<std::string> options, std::vector<int> coveredIds)
    : shape_(shape), options_(std::move(options)), covered_(std::move(coveredIds)) {}

void DropList::create(Controls& controls, const FontSpec& font, std::string_view text) {
  font_ = font;
  ControlStyle style = PopupControlStyle(font);
  style.centred = shape_.centred;
  controls.create(shape_.valueId, ControlKind::kStatic, shape_.valueRect, style);
  controls.setText(shape_.valueId, text);
  text_ = std::string(text);
  open_ = false;
}

void DropList::open(Controls& controls) {
  for (int id : covered_) controls.setVisible(id, false);
  // A hidden field's focus would pass on to the next control (the new list among them).
  controls.setFocus(kNoControl);
  ControlStyle style = PopupControlStyle(font_);
  style.border = true;
  controls.create(shape_.listId, ControlKind::kListBox, shape_.listRect, style);
  for (const std::string& option : options_) controls.addItem(shape_.listId, option);
  open_ = true;
}

void DropList::close(Controls& controls) {
  controls.destroy(shape_.listId);
  for (int id : covered_) controls.setVisible(id, true);
  open_ = false;
}

bool DropList::onPress(Controls& controls, Point at) {
  if (shape_.clickRect.contains(at)) {
    if (open_) {
      close(controls);
    } else {
      open(controls);
    }
    return true;
  }
  if (open_ && !shape_.listRect.contains(at)) close(controls);
  return false;
}

bool DropList::onNotify(Controls& controls, int controlId, ControlNotification notification) {
  if (controlId != shape_.listId || !open_ ||
      (notification != ControlNotification::kSelectionChange &&
       notification != ControlNotification::kDoubleClick)) {
    return false;
  }
  const int chosen = controls.selection(shape_.listId);
  if (chosen < 0) return false;
  index_ = chosen;
  text_ = controls.itemText(shape_.listId, chosen);
  controls.setText(shape_.valueId, text_);
  close(controls);
  return true;
}

void DropList::onControlMouseMove(Controls& controls, int controlId, Point at) {
  if (controlId != shape_.listId || !open_) return;
  const int item = controls.itemAt(shape_.listId, at);
  if (item >= 0) controls.setSelection(shape_.listId, item);
}

void DropList::onWheel(Controls& controls, int delta) {
  if (!open_) return;
  const int top = controls.topIndex(shape_.listId);
  controls.setTopIndex(shape_.listId,
                       std::max(0, delta > 0 ? top - kWheelLines : top + kWheelLines));
}

// ---- PopupFrame ----

PopupFrame::PopupFrame(SkinPicture background, std::string_view failureCaption, SkinState skin,
                       FontSpec font)
    : background_(background),
      failureCaption_(failureCaption),
      skin_(std::move(skin)),
      font_(std::move(font)) {}

bool PopupFrame::onInitialise() {
  ended_ = false;
  lit_.fill(false);
  WindowHost& host = *ports_.host;
  if (!host.setBackgroundImage(SkinPicturePath(skin_.currentSkinFolder, background_))) {
    host.messageBox(kPopupBackgroundFailureText, failureCaption_, MessageBoxIcon::kNone);
    // Without its picture the dialog has no size and no controls: it ends as cancelled.
    endWith(kModalCancel);
    return false;
  }
  createControls();
  // The keys go to the dialog until the user clicks a field: the window system would otherwise
  // give the focus to the first field as the dialog comes up.
  controls().setFocus(kNoControl);
  paint();
  return true;
}

void PopupFrame::endWith(int code) {
  if (ended_) return;
  ended_ = true;
  if (code == kModalOk) beforeOk();
  ports_.host->endModal(code);
}

void PopupFrame::drawText(std::string_view text, const Rect& box, TextFormat format, Rgb colour) {
  if (ports_.canvas != nullptr) ports_.canvas->drawText(text, box, font_, colour, format);
}

void PopupFrame::drawButton(int button, bool over) {
  const Rect& r = kButtons[static_cast<std::size_t>(button)];
  if (button == 0) {
    DrawDialogPng(*ports_.host, ports_.canvas, skin_.currentSkinFolder,
                  over ? SkinPicture::kCloseOver : SkinPicture::kCloseNormal, Point{r.left, r.top});
    return;
  }
  DrawDialogPng(*ports_.host, ports_.canvas, skin_.currentSkinFolder,
                over ? SkinPicture::kButtonOver : SkinPicture::kButtonNormal, Point{r.left, r.top});
  drawText(DialogTextFor(button == 1 ? DialogText::kPopupOk : DialogText::kPopupCancel,
                         skin_.uiLanguage),
           r, TextFormat::kCentre, skin_.uiTextColor);
}

void PopupFrame::paint() {
  drawButton(1, false);
  drawButton(2, false);
  drawOwnTexts();
  drawButton(0, false);
  if (ports_.canvas != nullptr) ports_.canvas->present();
}

void PopupFrame::onMouseMove(Point at) {
  for (const Rect& r : kButtons) {
    if (r.contains(at)) return;  // the hover that follows the rest lights it
  }
  if (std::none_of(lit_.begin(), lit_.end(), [](bool lit) { return lit; })) return;
  for (int button = 0; button < 3; ++button) {
    if (lit_[static_cast<std::size_t>(button)]) drawButton(button, false);
  }
  lit_.fill(false);
  if (ports_.canvas != nullptr) ports_.canvas->present();
}

void PopupFrame::onHover(Point at) {
  for (int button = 0; button < 3; ++button) {
    if (!kButtons[static_cast<std::size_t>(button)].contains(at)) continue;
    drawButton(button, true);
    lit_[static_cast<std::size_t>(button)] = true;
    // OK and Cancel touch: lighting one puts the other out.
    if (button != 0) {
      const int sibling = button == 1 ? 2 : 1;
      if (lit_[static_cast<std::size_t>(sibling)]) {
        drawButton(sibling, false);
        lit_[static_cast<std::size_t>(sibling)] = false;
      }
    }
    if (ports_.canvas != nullptr) ports_.canvas->present();
    return;
  }
}

void PopupFrame::onLeftButtonDown(Point at) {
  onDialogPress(at);
  if (PopupButtonRects::kOk.contains(at)) {
    endWith(kModalOk);
  } else if (PopupButtonRects::kCancel.contains(at) || PopupButtonRects::kClose.contains(at)) {
    endWith(kModalCancel);
  }
}

KeyDisposition PopupFrame::standardKeys(const KeyEvent& key) {
  if (!key.down) return KeyDisposition::kPass;
  if (key.usage == kUsageReturn || key.usage == kUsageKeypadEnter) {
    endWith(kModalOk);
    return KeyDisposition::kSwallow;
  }
  if (key.usage == kUsageEscape) {
    endWith(kModalCancel);
    return KeyDisposition::kSwallow;
  }
  return KeyDisposition::kPass;
}

}  // namespace vm31
