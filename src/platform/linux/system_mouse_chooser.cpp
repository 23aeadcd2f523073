#include "platform/linux/system_mouse_chooser.h"

#include <cstdlib>
#include <string_view>

#include "core/util/text.h"
#include "platform/linux/system_mouse_gsettings.h"
#include "platform/linux/system_mouse_kde.h"

namespace vm31 {

namespace {

bool NamesKde(std::string_view desktops) {
  while (!desktops.empty()) {
    const std::size_t colon = desktops.find(':');
    if (EqualsIgnoringAsciiCase(desktops.substr(0, colon), "KDE")) return true;
    if (colon == std::string_view::npos) break;
    desktops.remove_prefix(colon + 1);
  }
  return false;
}

}  // namespace

DesktopSession CurrentDesktopSession() {
  DesktopSession session;
  if (const char* desktop = std::getenv("XDG_CURRENT_DESKTOP")) session.currentDesktop = desktop;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    session.configFolder = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    session.configFolder = std::filesystem::path(home) / ".config";
  }
  return session;
}

std::unique_ptr<SystemMouse> CreateSystemMouse(const DesktopSession& session) {
  if (NamesKde(session.currentDesktop) && !session.configFolder.empty()) {
    return std::make_unique<KdeSystemMouse>(session.configFolder);
  }
  if (std::unique_ptr<GSettingsSystemMouse> gsettings = GSettingsSystemMouse::Create()) {
    return gsettings;
  }
  return std::make_unique<NoDesktopSystemMouse>();
}

std::unique_ptr<SystemMouse> CreateSystemMouse() {
  return CreateSystemMouse(CurrentDesktopSession());
}

}  // namespace vm31
