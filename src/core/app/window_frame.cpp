#include "core/app/window_frame.h"

#include <string>

#include "core/app/skin_choice.h"
#include "core/settings/config_file.h"

namespace vm31 {

namespace {

constexpr RegionLook kButtonLook{SkinPicture::kButtonNormal, SkinPicture::kButtonOver};

}  // namespace

WindowFrame::WindowFrame(const PageContext& context, const PageHooks& hooks, MainPages& pages)
    : context_(context),
      hooks_(hooks),
      pages_(pages),
      regions_(context, frameRegions()),
      desktop_(context, hooks),
      basic_(context, hooks, *this),
      advanced_(context, desktop_, *this) {}

std::vector<Region> WindowFrame::frameRegions() {
  const auto goOn = [](auto action) {
    return [action] {
      action();
      return false;
    };
  };
  const auto end = [](auto action) {
    return [action] {
      action();
      return true;
    };
  };
  return {
      {layout::kOkButton, kButtonLook, CentredCaption(context_, UiText::kOk, layout::kOkButton),
       goOn([this] { runApply(true); }), RegionGroup::kBottomButtons},
      {layout::kApplyButton, kButtonLook,
       CentredCaption(context_, UiText::kApply, layout::kApplyButton),
       goOn([this] { runApply(false); }), RegionGroup::kBottomButtons},
      {layout::kCancelButton, kButtonLook,
       CentredCaption(context_, UiText::kCancel, layout::kCancelButton),
       goOn([this] { cancelEdits(); }), RegionGroup::kBottomButtons},
      {layout::kSkinsButton,
       RegionLook{SkinPicture::kSkinsButtonNormal, SkinPicture::kSkinsButtonOver},
       {},
       goOn([this] { chooseSkin(); })},
      {layout::kMinimiseButton,
       RegionLook{SkinPicture::kMinimiseNormal, SkinPicture::kMinimiseOver},
       {},
       end([this] { context_.host().hide(); })},
      {layout::kCloseButton,
       RegionLook{SkinPicture::kCloseNormal, SkinPicture::kCloseOver},
       {},
       end([this] { context_.window().exitProgram(); })},
      {layout::kBasicTab,
       RegionLook{SkinPicture::kBasicTabNormal, SkinPicture::kBasicTabOver},
       {},
       end([this] { showBasicPage(); }),
       RegionGroup::kTabs},
      {layout::kAdvancedTab,
       RegionLook{SkinPicture::kAdvancedTabNormal, SkinPicture::kAdvancedTabOver},
       {},
       end([this] { showAdvancedPage(); }),
       RegionGroup::kTabs},
  };
}

// ---- pages ----

void WindowFrame::showBasicPage() {
  if (page_ == MainPage::kBasic) return;
  page_ = MainPage::kBasic;
  advanced_.leave();
  basic_.show();
}

void WindowFrame::showAdvancedPage() {
  if (page_ == MainPage::kAdvanced) return;
  page_ = MainPage::kAdvanced;
  basic_.leave();
  advanced_.show();
}

void WindowFrame::rebuildPage(MainPage page) {
  if (page == MainPage::kAdvanced) {
    advanced_.leave();
    page_ = MainPage::kNone;
    showAdvancedPage();
    return;
  }
  basic_.leave();
  page_ = MainPage::kNone;
  showBasicPage();
}

void WindowFrame::drawFrame(SkinPicture pagePicture) const {
  context_.drawImage(pagePicture, Rect{});
  for (FrameButton button : {FrameButton::kMinimise, FrameButton::kClose, FrameButton::kSkins}) {
    regions_.draw(static_cast<std::size_t>(button), false);
  }
}

void WindowFrame::drawTabs() const {
  regions_.draw(static_cast<std::size_t>(FrameButton::kBasicTab), false);
  regions_.draw(static_cast<std::size_t>(FrameButton::kAdvancedTab), false);
}

void WindowFrame::drawBottomButtons() const {
  for (const Rect& button : {layout::kOkButton, layout::kApplyButton, layout::kCancelButton}) {
    context_.drawImage(kButtonLook.normal, button);
  }
}

void WindowFrame::drawBottomCaptions() const {
  context_.drawText(context_.text(UiText::kOk), layout::kOkButton, TextFormat::kCentre);
  context_.drawText(context_.text(UiText::kApply), layout::kApplyButton, TextFormat::kCentre);
  context_.drawText(context_.text(UiText::kCancel), layout::kCancelButton, TextFormat::kCentre);
}

// ---- OK, Apply, Cancel, Skins ----

void WindowFrame::runApply(bool hideAfter) {
  CTarnwickDlg& window = context_.window();
  if (!window.devicePresent()) return;
  WindowHost& host = context_.host();
  const MouseConfig& config = window.mouseConfig();
  std::string problem;
  Result<ApplyOutcome> outcome = window.link().apply(config);
  if (!outcome) {
    problem = outcome.error().message;
  } else if (!outcome.value().ok()) {
    problem = outcome.value().message();
  }
  // The files are saved whatever the mouse answered: they are the source of truth.
  if (Status saved = SaveConfig(window.paths().data.config, config); !saved) {
    host.messageBox(saved.error().message, {}, MessageBoxIcon::kNone);
  }
  context_.storeButtonLabels();
  window.commitEdits();
  desktop_.writeToDesktop();
  if (!problem.empty()) host.messageBox(problem, kPageWarningCaption, MessageBoxIcon::kWarning);
  if (hideAfter) host.hide();
}

void WindowFrame::cancelEdits() {
  CTarnwickDlg& window = context_.window();
  window.revertEdits();
  window.requestRebuild();
  context_.host().hide();
}

void WindowFrame::chooseSkin() {
  if (!hooks_.skinChooser) {
    RunSkinChooser(context_.window(), &pages_);
  } else if (hooks_.skinChooser()) {
    rebuildPage(page_);
  }
}

// ---- events ----

void WindowFrame::onLeftButtonDown(Point at) {
  if (regions_.press(at)) return;
  if (page_ == MainPage::kBasic && basic_.press(at)) return;
  if (page_ == MainPage::kAdvanced && advanced_.press(at)) return;
  context_.host().startDrag();
}

RegionTable* WindowFrame::shownRegions() {
  switch (page_) {
    case MainPage::kBasic:
      return &basic_.regions();
    case MainPage::kAdvanced:
      return &advanced_.regions();
    case MainPage::kNone:
      break;
  }
  return nullptr;
}

void WindowFrame::onMouseMove(Point at) {
  RegionTable* page = shownRegions();
  // Before a page was drawn the window shows its bare background: nothing lights up. Over a lit
  // element the hover that follows the rest does the drawing.
  if (page != nullptr && (regions_.lightsUnder(at) || page->lightsUnder(at))) return;
  if (!regions_.anyLit() && !basic_.regions().anyLit() && !advanced_.regions().anyLit()) return;
  if (page != nullptr) {
    regions_.restore();
    page->restore();
  }
  // Marks of the other page's elements go out without drawing: that page is not shown.
  regions_.forget();
  basic_.regions().forget();
  advanced_.regions().forget();
  context_.present();
}

void WindowFrame::onHover(Point at) {
  RegionTable* page = shownRegions();
  if (page == nullptr) return;
  const bool frameDrawn = regions_.hover(at);
  const bool pageDrawn = page->hover(at);
  if (frameDrawn || pageDrawn) context_.present();
}

void WindowFrame::onControlNotify(int controlId, ControlNotification notification) {
  if (page_ == MainPage::kBasic) {
    basic_.onControlNotify(controlId, notification);
  } else if (page_ == MainPage::kAdvanced) {
    advanced_.onControlNotify(controlId, notification);
  }
}

void WindowFrame::onControlMouseMove(int controlId, Point at) {
  if (page_ == MainPage::kBasic) {
    basic_.onControlMouseMove(controlId, at);
  } else if (page_ == MainPage::kAdvanced) {
    advanced_.onControlMouseMove(controlId, at);
  }
}

void WindowFrame::onControlRightButtonDown(int controlId, Point at) {
  if (page_ == MainPage::kAdvanced) advanced_.onControlRightButtonDown(controlId, at);
}

void WindowFrame::onCommand(int command) {
  if (page_ == MainPage::kAdvanced) advanced_.onCommand(command);
}

void WindowFrame::onRecordingKey(const KeyEvent& key) {
  advanced_.recorder().onKey(key);
}

}  // namespace vm31
