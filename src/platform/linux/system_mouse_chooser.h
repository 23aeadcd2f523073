#pragma once
// Picks the desktop backend of the `SystemMouse` port for the running session.

#include <filesystem>
#include <memory>
#include <string>

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

}  // namespace vm31
