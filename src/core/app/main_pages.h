#pragma once
// The face of the main window as the window drives it (MainPages): made of the frame
// (window_frame.h) with the basic and advanced pages it owns, built when the window is attached.
// The program plugs in the function dialogs, the skin chooser and the desktop's pointer settings
// through the setters, at any time.

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

  // Builds the parts. The queries below answer before it too; every other call needs it.
  void attach(const AttachedPorts& ports) override;
  MainPage currentPage() const override;
  bool basicPageInitialised() const override;
  bool holdsKeyboard() const override;

  void showBasicPage() override { liveFrame().showBasicPage(); }
  void showAdvancedPage() { liveFrame().showAdvancedPage(); }
  void rebuildPage(MainPage page) override { liveFrame().rebuildPage(page); }
  void onLeftButtonDown(Point at) override { liveFrame().onLeftButtonDown(at); }
  void onMouseMove(Point at) override { liveFrame().onMouseMove(at); }
  void onHover(Point at) override { liveFrame().onHover(at); }
  void onControlNotify(int controlId, ControlNotification notification) override {
    liveFrame().onControlNotify(controlId, notification);
  }
  void onControlMouseMove(int controlId, Point at) override {
    liveFrame().onControlMouseMove(controlId, at);
  }
  void onControlRightButtonDown(int controlId, Point at) override {
    liveFrame().onControlRightButtonDown(controlId, at);
  }
  void onCommand(int command) override { liveFrame().onCommand(command); }
  void onRecordingKey(const KeyEvent& key) override { liveFrame().onRecordingKey(key); }

  // The parts, once attached.
  const WindowFrame& frame() const { return *frame_; }
  const BasicPage& basic() const { return frame_->basic(); }
  const AdvancedPage& advanced() const { return frame_->advanced(); }
  const DesktopSettings& desktop() const { return frame_->desktop(); }
  const MacroRecorder& recorder() const { return frame_->advanced().recorder(); }

 private:
  WindowFrame& liveFrame() { return *frame_; }

  CTarnwickDlg& dlg_;
  PageHooks hooks_;
  std::unique_ptr<PageContext> context_;
  std::unique_ptr<WindowFrame> frame_;
};

}  // namespace vm31
