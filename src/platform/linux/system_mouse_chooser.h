#pragma once
// Picks the desktop backend of the `SystemMouse` port for the running session.

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "core/ui/system_mouse.h"

namespace vm31 {

// What the choice depends on, as the session's environment gives it.
struct DesktopSession {
  std::string currentDesktop;          // $XDG_CURRENT_DESKTOP, e.g. "KDE" or "ubuntu:GNOME"
  std::filesystem::path configFolder;  // $XDG_CONFIG_HOME, else ~/.config
};

// The session of this process.
DesktopSession CurrentDesktopSession();

// KDE Plasma when the current desktop names KDE (any of its ":"-separated entries); else GNOME's
// GSettings when its mouse schema is installed; else a backend that reports every setting
// unavailable (desktopName() empty).
std::unique_ptr<SystemMouse> CreateSystemMouse(const DesktopSession& session);
std::unique_ptr<SystemMouse> CreateSystemMouse();

// The backend CreateSystemMouse(session) picks, picked at the first call of any of its
// operations rather than up front: a process that never touches the pointer settings never
// loads the desktop's settings libraries (GSettings, its schemas, the settings service).
// One thread only.
class SystemMouseChosenOnFirstUse final : public SystemMouse {
 public:
  explicit SystemMouseChosenOnFirstUse(DesktopSession session) : session_(std::move(session)) {}
  SystemMouseChosenOnFirstUse() : SystemMouseChosenOnFirstUse(CurrentDesktopSession()) {}

  // Whether the backend has been picked yet.
  bool chosen() const { return chosen_ != nullptr; }

  std::string desktopName() const override { return backend().desktopName(); }
  SystemReading<bool> readPointerPrecision() override { return backend().readPointerPrecision(); }
  SystemReading<int> readPointerSpeed() override { return backend().readPointerSpeed(); }
  SystemReading<std::uint32_t> readWheelScrollLines() override {
    return backend().readWheelScrollLines();
  }
  SystemReading<int> readDoubleClickTime() override { return backend().readDoubleClickTime(); }
  SystemWriting writePointerPrecision(bool on) override {
    return backend().writePointerPrecision(on);
  }
  SystemWriting writePointerSpeed(int speed) override { return backend().writePointerSpeed(speed); }
  SystemWriting writeWheelScrollLines(std::uint32_t lines) override {
    return backend().writeWheelScrollLines(lines);
  }
  SystemWriting writeDoubleClickTime(int milliseconds) override {
    return backend().writeDoubleClickTime(milliseconds);
  }

 private:
  SystemMouse& backend() const {
    if (!chosen_) chosen_ = CreateSystemMouse(session_);
    return *chosen_;
  }

  DesktopSession session_;
  mutable std::unique_ptr<SystemMouse> chosen_;
};

}  // namespace vm31
