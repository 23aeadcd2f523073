#pragma once
// The tray side of the main window: the notices the program gives about the mouse (presence
// and the switches made with the mouse's own buttons) and the tray menu.

#include <optional>
#include <string>
#include <vector>

#include "core/device/ports.h"
#include "core/settings/mouse_config.h"
#include "core/text/text_table.h"
#include "core/ui/ports.h"

namespace vm31 {

// The tray icon's tool tip: the program's title.
inline constexpr std::string_view kMainTitle = "Gaming Mouse Setting";

// Commands of the program's popup menus.
inline constexpr int kCommandExit = 1028;         // tray menu: end the program
inline constexpr int kCommandDeleteStep = 32772;  // key-sequence list menu: delete the entry

inline constexpr std::string_view kInfoTitle = "Info";
inline constexpr std::string_view kWarningTitle = "Warning";
inline constexpr int kSwitchNoticeTimeoutMs = 5000;
inline constexpr int kPresenceNoticeTimeoutMs = 100;

struct TrayNotice {
  std::string text;
  std::string title;
  int timeoutMs = 0;
  friend bool operator==(const TrayNotice&, const TrayNotice&) = default;
};

// The notice for a device event, or nullopt when the event shows nothing. Switches:
//   report rate, value 1, 2, 4, 8: the report-rate text for 1000, 500, 250, 125 Hz; "Info",
//     5000 ms.
//   DPI stage 1..4: that stage's text followed directly by the DPI label of the stage's level in
//     `config` for `sensorType`; "Info", 5000 ms.
//   key group 1 or 2: the key-group text; "Info", 5000 ms.
//   macro key, non-zero: the macro-switch text followed by the value in decimal; "Info", 5000 ms.
// Presence: detected: the detected text; "Info", 100 ms. Not detected: the not-detected text;
//   "Warning", 100 ms. Access denied (the mouse is there but may not be opened): the
//   access-refused text around `accessRefusal` when given, else `openProblem`; busy (another
//   program is programming it): `openProblem`; either falls back to the not-detected text;
//   "Warning", 100 ms.
// Texts come from `language`'s column of the text table.
std::optional<TrayNotice> DeviceEventNotice(const DeviceEvent& event, UiLanguage language,
                                            const MouseConfig& config, int sensorType,
                                            std::string_view openProblem = {},
                                            std::string_view accessRefusal = {});

// The tray menu: one item, kCommandExit, "退出" / "退出" / "Exit".
std::vector<MenuItem> TrayMenu(UiLanguage language);

}  // namespace vm31
