#pragma once
// Notices through the desktop's notification service (org.freedesktop.Notifications on the
// session bus): the way the program's balloons reach the user on Linux desktops, with or without
// a tray. Each notice replaces the previous one, as a tray balloon does.

#include <QObject>
#include <QString>

namespace vm31::qt {

class DesktopNotifications : public QObject {
  Q_OBJECT
 public:
  explicit DesktopNotifications(QString applicationName, QObject* parent = nullptr);

  // True when the session bus has a notification service.
  bool available() const;

  // Sends the notice without waiting for the service; `timeoutMs` is its display time.
  void show(const QString& title, const QString& text, int timeoutMs);

 private:
  QString applicationName_;
  uint lastId_ = 0;  // the service's id of the notice shown last; 0 before the first
};

}  // namespace vm31::qt
