#pragma once
// CTarnwickDlg: the behaviour of the program's main window - its initialisation order, its
// texts, fonts and skin, hiding on close, Escape and Return, the tray icon and its notices, the
// device link's presence changes, and the way out of the program. The window's two pages are
// drawn by the page code through `MainPages`.
//
// Threads: everything here runs on the user-interface thread. The host's EventSink hands the
// reader thread's events to onDeviceEvent there (synchronously), and the host's hotplug watch
// hands arrivals and removals to onHotplug.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/device_link.h"
#include "core/device/ports.h"
#include "core/settings/data_location.h"
#include "core/settings/mouse_config.h"
#include "core/settings/preferences.h"
#include "core/text/text_table.h"
#include "core/ui/fonts.h"
#include "core/ui/ports.h"
#include "core/ui/skin.h"
#include "core/util/result.h"

namespace vm31 {

// The message shown when the watch for arrivals and removals cannot be set up.
inline constexpr std::string_view kHotplugWatchFailedMessage =
    "RegisterDeviceNotification failed!!!";

// The two pages of the main window, drawn into the back buffer by the page code.
enum class MainPage { kNone = 0, kBasic = 1, kAdvanced = 2 };

class MainPages {
 public:
  virtual ~MainPages() = default;
  // The window's ports, once it is attached. Before that only the three queries below are
  // called.
  virtual void attach(const AttachedPorts& /*ports*/) {}
  // The page on screen (kNone until the first show).
  virtual MainPage currentPage() const = 0;
  // Whether the basic page's first show of this run happened (sensor refresh, first-run
  // captions).
  virtual bool basicPageInitialised() const = 0;
  // Whether a macro recording holds the keyboard: every key event goes to onRecordingKey first,
  // then every key-down is swallowed (releases pass).
  virtual bool holdsKeyboard() const = 0;
  // Shows the basic page: the first time in a run it also reads the sensor type from the mouse
  // and, on a first run, stores the factory captions. Showing the page already shown does
  // nothing.
  virtual void showBasicPage() = 0;
  // Full redraw of `page` from the settings record (after a Cancel or a skin change): destroys
  // that page's child controls and shows it again from scratch.
  virtual void rebuildPage(MainPage page) = 0;
  // Pointer events on the window surface, handed on by the window.
  virtual void onLeftButtonDown(Point) {}
  virtual void onMouseMove(Point) {}
  virtual void onHover(Point) {}
  // Notifications and pointer moves of the pages' child controls, handed on by the window.
  virtual void onControlNotify(int /*controlId*/, ControlNotification) {}
  virtual void onControlMouseMove(int /*controlId*/, Point) {}
  virtual void onControlRightButtonDown(int /*controlId*/, Point) {}
  // Menu commands other than the tray's Exit (the step list's "Delete").
  virtual void onCommand(int /*command*/) {}
  // A key event that reached the window while a macro recording holds the keyboard
  // (holdsKeyboard), before the window decides whether to swallow it.
  virtual void onRecordingKey(const KeyEvent&) {}
};

// Where the main window finds its files.
struct MainWindowPaths {
  DataFiles data;                                // config.bin, record.ini, str.ini
  std::vector<std::filesystem::path> skinRoots;  // search order, see skin.h
};

class CTarnwickDlg : public WindowModel {
 public:
  // `localeLanguage`: the language of the user's locale, used while str.ini names none.
  CTarnwickDlg(DeviceLink& link, Notifier& notifier, HotplugWatch& hotplug, MainWindowPaths paths,
               SystemVersion systemVersion = {}, UiLanguage localeLanguage = UiLanguage::kEnglish);

  // The page code; until it is set the window shows its bare background. Pages set before the
  // window is attached get the ports at attach.
  void setPages(MainPages* pages);

  void attach(const WindowPorts& ports) override;
  // The initialisation order: tray icon; open and handshake the mouse; start the reader; start
  // the hotplug watch (on failure: message, stop); load config.bin and copy it to the applied
  // record; read the language, fill the texts; read the other preferences; resolve the skin
  // folder, take "/main.png" as background and window size; publish the skin state; make the
  // fonts; with the mouse present, show the basic page. The window stays hidden - unless the
  // desktop has no tray, where it is shown, since nothing else could bring it up.
  bool onInitialise() override;
  // The window manager's close hides the window; the program stays in the tray.
  void onClose() override;
  // Return (the keypad's Enter included) and Escape hide the window and go no further.
  KeyDisposition onKey(const KeyEvent& key) override;
  // kCommandExit ends the program; other commands go to the page code.
  void onCommand(int command) override;
  // Presses, moves and hovers go to the page code.
  void onLeftButtonDown(Point at) override;
  void onMouseMove(Point at) override;
  void onHover(Point at) override;
  // Child-control notifications and moves go to the page code.
  void onControlNotify(int controlId, ControlNotification notification) override;
  void onControlMouseMove(int controlId, Point at) override;
  void onControlRightButtonDown(int controlId, Point at) override;

  // The tray icon was clicked.
  void onTray(TrayClick click);
  // A device event (switch on the mouse, presence notice): shows its notice.
  void onDeviceEvent(const DeviceEvent& event);
  // An arrival or removal from the hotplug watch. When the mouse is then absent the window is
  // hidden and a popup open over it ends as Cancel (the not-detected warning comes through
  // onDeviceEvent).
  void onHotplug(const HotplugEvent& event);
  // Another start of the program asked this one to come forward. With a tray nothing changes
  // (the tray is the way to the window); without one the window is shown and raised.
  void onSecondInstance();
  // The window was asked for (`KOR_VM31 --show`, at this start or another one): shown and
  // raised, tray or not. Without the mouse it shows the bare background.
  void onShowRequest();
  // Closes the device, removes the tray icon and ends the process with code 0. Nothing is saved.
  void exitProgram();

  // State other parts of the window use.
  bool initialised() const { return initialised_; }
  bool devicePresent() const { return link_.devicePresent(); }
  UiLanguage language() const { return skin_.uiLanguage; }
  // The text slot `id`; empty until the initialisation filled the texts.
  const std::string& text(UiText id) const;
  const std::string& preferenceSection() const { return text(UiText::kPreferenceSection); }
  const SkinState& skin() const { return skin_; }
  // Makes a confirmed skin choice current, in the preferences too. Every later draw reads its
  // pictures from `folder`; the window's background keeps the picture it was started with.
  void setSkin(std::string folder, std::string name, Rgb colour);
  const FontSpec& normalFont() const { return normalFont_; }
  const FontSpec& titleFont() const { return titleFont_; }
  std::optional<Size> backgroundSize() const { return backgroundSize_; }
  // The record the pages edit, and the button captions that go with it (str.ini's, saved by OK
  // and Apply).
  MouseConfig& mouseConfig() { return mouseConfig_; }
  ButtonLabels& buttonLabels() { return preferences_.labels; }
  // The record the mouse and config.bin were last given.
  const MouseConfig& appliedConfig() const { return appliedConfig_; }
  // OK and Apply: the edited record becomes the applied one.
  void commitEdits() { appliedConfig_ = mouseConfig_; }
  // Cancel: the record returns to the applied one.
  void revertEdits() { mouseConfig_ = appliedConfig_; }
  // The desktop's pointer settings just read from or written to the desktop are no edit of the
  // user's: they count as applied at once, so Cancel never turns them back.
  void keepSystemSettingsApplied() { appliedConfig_.copySystemMouseSettings(mouseConfig_); }
  // Compiled macro events follow record.ini, which Cancel does not undo: a confirmed macro must
  // reach the mouse at the next OK even after a Cancel. The loop counts stay the user's edits.
  void keepMacroEventsApplied() { appliedConfig_.copyMacroEvents(mouseConfig_); }
  std::uint8_t firstRunFlag() const { return firstRunFlag_; }
  const Preferences& preferences() const { return preferences_; }
  const MainWindowPaths& paths() const { return paths_; }
  DeviceLink& link() { return link_; }
  const WindowPorts& ports() const { return ports_; }

  // Cancel asks for this: the next show from the tray redraws the shown page from the record,
  // with the captions as str.ini holds them.
  void requestRebuild() { rebuildRequested_ = true; }
  bool rebuildRequested() const { return rebuildRequested_; }

 private:
  void showNotice(const DeviceEvent& event);
  void showFromTray();
  // Shows and raises the window where no tray can (no tray on the desktop, a second start).
  void showWindow();

  DeviceLink& link_;
  Notifier& notifier_;
  HotplugWatch& hotplug_;
  MainWindowPaths paths_;
  SystemVersion systemVersion_;
  UiLanguage localeLanguage_;
  MainPages* pages_ = nullptr;
  WindowPorts ports_;

  bool initialised_ = false;
  bool rebuildRequested_ = false;
  bool textsFilled_ = false;
  // Notices that came before the texts were filled (the presence notice at start-up); shown
  // once they are, so no notice is ever shown empty.
  std::vector<DeviceEvent> heldNotices_;

  std::array<std::string, kUiTextCount> texts_;
  SkinState skin_;
  FontSpec normalFont_;
  FontSpec titleFont_;
  std::optional<Size> backgroundSize_;
  MouseConfig mouseConfig_{};
  MouseConfig appliedConfig_{};
  std::uint8_t firstRunFlag_ = 0;
  Preferences preferences_;
};

}  // namespace vm31
