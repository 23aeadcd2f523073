#include "qt/desktop_notifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QStringList>
#include <QVariantMap>

namespace vm31::qt {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// Balloons carry the information icon, warnings included.
constexpr const char* kIconName = "dialog-information";

}  // namespace

DesktopNotifications::DesktopNotifications(QString applicationName, QObject* parent)
    : QObject(parent), applicationName_(std::move(applicationName)) {}

bool DesktopNotifications::available() const {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  // A service that the bus starts on demand counts too: the first Notify starts it.
  if (bus.interface()->isServiceRegistered(kService).value()) return true;
  const QDBusReply<QStringList> activatable = bus.interface()->call("ListActivatableNames");
  return activatable.isValid() && activatable.value().contains(kService);
}

void DesktopNotifications::show(const QString& title, const QString& text, int timeoutMs) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  call << applicationName_ << lastId_ << QString(kIconName) << title << text << QStringList()
       << QVariantMap() << timeoutMs;
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* finished) {
            const QDBusPendingReply<uint> reply = *finished;
            if (reply.isValid()) lastId_ = reply.value();
            finished->deleteLater();
          });
}

}  // namespace vm31::qt
