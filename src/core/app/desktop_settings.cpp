#include "core/app/desktop_settings.h"

namespace vm31 {

namespace {

constexpr std::string_view kNoDesktopMessage =
    "No supported desktop was found for the pointer settings (GNOME and KDE Plasma are "
    "supported). Pointer speed, pointer precision, wheel scroll lines and double-click time are "
    "kept in config.bin only; the desktop's own settings stay as they are.";

}  // namespace

SystemMouse& DesktopSettings::desktopMouse() {
  return hooks_.systemMouse != nullptr ? *hooks_.systemMouse : noDesktop_;
}

void DesktopSettings::showReport(const SystemMouseReport& report, bool noticeNoDesktop) {
  for (std::string_view failure : report.failures) {
    context_.tell(failure, kSystemMouseMessageCaption);
  }
  if (noticeNoDesktop && !noDesktopNoticeShown_ && desktopMouse().desktopName().empty()) {
    noDesktopNoticeShown_ = true;
    context_.tell(kNoDesktopMessage, kSystemMouseMessageCaption);
  }
}

// The desktop's pointer settings as just read from or written to the desktop are no edit of the
// user's: Cancel, which returns the record to the applied state, must not turn them back into
// older values that the page would then show and the next OK would write to the desktop.
void DesktopSettings::readFromDesktop() {
  CTarnwickDlg& window = context_.window();
  const SystemMouseReport report = ReadSystemMouseSettings(desktopMouse(), window.mouseConfig());
  window.keepSystemSettingsApplied();
  read_ = true;
  unavailable_ = report.unavailable;
  showReport(report, false);
}

void DesktopSettings::writeToDesktop() {
  // Until the advanced page read the desktop in this run, the record holds the values of an
  // earlier run: writing them would undo what the user has set on the desktop since. (That
  // user has not seen the settings either, so a missing backend is not mentioned.)
  if (!read_) return;
  showReport(WriteSystemMouseSettings(desktopMouse(), context_.config()), true);
}

void DesktopSettings::writeDefaults() {
  CTarnwickDlg& window = context_.window();
  showReport(WriteDefaultSystemMouseSettings(desktopMouse(), window.mouseConfig()), true);
  window.keepSystemSettingsApplied();
}

}  // namespace vm31
