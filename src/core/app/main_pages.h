#pragma once
// The face of the main window as the window drives it (MainPages): made of the frame
// (window_frame.h) with the basic and advanced pages it owns, built when the window is attached.
// The program plugs in the function dialogs, the skin chooser and the desktop's pointer settings
// through the setters, at any time.

#include <cassert>
#include <memory>

#include "core/app/page_context.h"
#include "core/app/window_frame.h"

namespace vm31 {

class MainWindowPages : public MainPages {
 public:
  explicit MainWindowPages(CTarnwickDlg& dlg);
  ~MainWindowPages() override;

  void setFunctionDialog(std::function<std::optional<FunctionParameters>(int function)> dialog) {
    hooks_.functionDialog = std::move(dialog);
  }
  void setSkinChooser(std::function<bool()> chooser) { hooks_.skinChooser = std::move(chooser); }
  // Read at the first display of the advanced page in a run, written by OK, Apply and the page's
  // "Default" button.
  void setSystemMouse(SystemMouse* systemMouse) { hooks_.systemMouse = systemMouse; }

  // Builds the parts at the first attach; a later attach changes nothing (the host attaches its
  // window once, and rebuilding would drop every part's state). Before it, the queries below
  // answer for an empty face and every event is ignored.
  void attach(const AttachedPorts& ports) override;
  MainPage currentPage() const override;
  bool basicPageInitialised() const override;
  bool holdsKeyboard() const override;

  void showBasicPage() override {
    if (frame_) frame_->showBasicPage();
  }
  void showAdvancedPage() {
    if (frame_) frame_->showAdvancedPage();
  }
  void rebuildPage(MainPage page) override {
    if (frame_) frame_->rebuildPage(page);
  }
  void onLeftButtonDown(Point at) override {
    if (frame_) frame_->onLeftButtonDown(at);
  }
  void onMouseMove(Point at) override {
    if (frame_) frame_->onMouseMove(at);
  }
  void onHover(Point at) override {
    if (frame_) frame_->onHover(at);
  }
  void onControlNotify(int controlId, ControlNotification notification) override {
    if (frame_) frame_->onControlNotify(controlId, notification);
  }
  void onControlMouseMove(int controlId, Point at) override {
    if (frame_) frame_->onControlMouseMove(controlId, at);
  }
  void onControlRightButtonDown(int controlId, Point at) override {
    if (frame_) frame_->onControlRightButtonDown(controlId, at);
  }
  void onCommand(int command) override {
    if (frame_) frame_->onCommand(command);
  }
  void onRecordingKey(const KeyEvent& key) override {
    if (frame_) frame_->onRecordingKey(key);
  }

  // The parts, once attached (asserted).
  const WindowFrame& frame() const {
    assert(frame_);
    return *frame_;
  }
  const BasicPage& basic() const { return frame().basic(); }
  const AdvancedPage& advanced() const { return frame().advanced(); }
  const DesktopSettings& desktop() const { return frame().desktop(); }
  const MacroRecorder& recorder() const { return frame().advanced().recorder(); }

 private:
  CTarnwickDlg& dlg_;
  PageHooks hooks_;
  std::unique_ptr<PageContext> context_;
  std::unique_ptr<WindowFrame> frame_;
};

}  // namespace vm31
