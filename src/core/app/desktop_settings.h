#pragma once
// The desktop's pointer settings as the main window keeps them: read from the desktop into the
// record at the advanced page's first display in a run, written back by OK, Apply and the page's
// "Default" button, and the problems of either shown to the user.

#include <array>

#include "core/app/page_context.h"

namespace vm31 {

class DesktopSettings {
 public:
  DesktopSettings(const PageContext& context, const PageHooks& hooks)
      : context_(context), hooks_(hooks) {}

  // Whether the desktop's values were read into the record during this run.
  bool systemSettingsRead() const { return read_; }
  // Takes the desktop's values into the record (and into the applied record: they are no edit
  // of the user's) and remembers which settings the desktop lacks.
  void readFromDesktop();
  // Writes the record's values to the desktop; nothing until they were read in this run.
  void writeToDesktop();
  // The page's "Default": the default values into the record, the applied record and the
  // desktop.
  void writeDefaults();
  // Whether the desktop lacked `setting` at the read.
  bool unavailable(SystemSetting setting) const {
    return unavailable_[static_cast<std::size_t>(setting)];
  }

 private:
  SystemMouse& desktopMouse();
  void showReport(const SystemMouseReport& report, bool noticeNoDesktop);

  const PageContext& context_;
  const PageHooks& hooks_;
  NoDesktopSystemMouse noDesktop_;
  bool read_ = false;
  std::array<bool, kSystemSettingCount> unavailable_{};  // as the first read found them
  bool noDesktopNoticeShown_ = false;
};

}  // namespace vm31
