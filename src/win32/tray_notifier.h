#pragma once
// The Notifier of the Win32 shell: the notification area's icon through Shell_NotifyIconW, its
// notices as the icon's balloons (NIF_INFO), its menu through TrackPopupMenu. A hidden window
// of its own takes the icon's messages and the taskbar's "TaskbarCreated" (an Explorer that
// restarts gets the icon back).

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "core/ui/ports.h"

namespace vm31::win32 {

class TrayNotifier : public Notifier {
 public:
  using ClickHandler = std::function<void(TrayClick)>;
  using CommandHandler = std::function<void(int)>;

  TrayNotifier(HINSTANCE instance, HICON icon);
  ~TrayNotifier() override;
  TrayNotifier(const TrayNotifier&) = delete;
  TrayNotifier& operator=(const TrayNotifier&) = delete;

  // Where clicks on the icon and chosen menu items go (the main window model).
  void setHandlers(ClickHandler onClick, CommandHandler onCommand);

  // True when the desktop has a notification area (Explorer's taskbar, Wine's desktop).
  bool trayAvailable() const override;
  void addTrayIcon(std::string_view tip) override;
  void removeTrayIcon() override;
  void showBalloon(std::string_view text, std::string_view title, int timeoutMs,
                   NoticeIcon icon) override;
  void setTrayMenu(const std::vector<MenuItem>& items) override;
  void showTrayMenu(const std::vector<MenuItem>& items) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  NOTIFYICONDATAW iconData(UINT flags) const;

  HWND window_ = nullptr;
  HICON icon_;
  UINT taskbarCreated_ = 0;
  bool added_ = false;
  std::wstring tip_;
  std::vector<MenuItem> menu_;
  ClickHandler onClick_;
  CommandHandler onCommand_;
};

}  // namespace vm31::win32
