#include "core/app/main_pages.h"

namespace vm31 {

MainWindowPages::MainWindowPages(CTarnwickDlg& dlg) : dlg_(dlg) {}

MainWindowPages::~MainWindowPages() = default;

void MainWindowPages::attach(const AttachedPorts& ports) {
  if (frame_) return;
  context_ = std::make_unique<PageContext>(dlg_, ports);
  frame_ = std::make_unique<WindowFrame>(*context_, hooks_, *this);
}

MainPage MainWindowPages::currentPage() const {
  return frame_ ? frame_->currentPage() : MainPage::kNone;
}

bool MainWindowPages::basicPageInitialised() const {
  return frame_ && frame_->basic().initialised();
}

bool MainWindowPages::holdsKeyboard() const {
  return frame_ && frame_->advanced().recorder().holdsKeyboard();
}

}  // namespace vm31
