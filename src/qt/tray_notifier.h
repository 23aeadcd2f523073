#pragma once
// The Notifier of the Qt shell: the tray icon (a StatusNotifier item or an XEmbed icon, as Qt
// finds the desktop) and the notices, sent through the desktop's notification service where
// there is one and shown as the tray's own balloons otherwise.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "core/ui/ports.h"
#include "qt/desktop_notifications.h"

namespace vm31::qt {

class TrayNotifier : public QObject, public Notifier {
  Q_OBJECT
 public:
  using ClickHandler = std::function<void(TrayClick)>;
  using CommandHandler = std::function<void(int)>;

  TrayNotifier(QIcon icon, QString applicationName);
  ~TrayNotifier() override;

  // Where clicks on the icon and chosen menu items go (the main window model).
  void setHandlers(ClickHandler onClick, CommandHandler onCommand);

  bool trayAvailable() const override;
  void addTrayIcon(std::string_view tip) override;
  void removeTrayIcon() override;
  void showBalloon(std::string_view text, std::string_view title, int timeoutMs,
                   NoticeIcon icon) override;
  void setTrayMenu(const std::vector<MenuItem>& items) override;
  void showTrayMenu(const std::vector<MenuItem>& items) override;

 private:
  void fillMenu(QMenu& menu, const std::vector<MenuItem>& items);

  QIcon icon_;
  QSystemTrayIcon tray_;
  DesktopNotifications notifications_;
  std::unique_ptr<QMenu> trayMenu_;  // the menu the tray shows on its own, once set
  ClickHandler onClick_;
  CommandHandler onCommand_;
};

}  // namespace vm31::qt
