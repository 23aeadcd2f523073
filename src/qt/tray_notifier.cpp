#include "qt/tray_notifier.h"
#include "qt/qt_text.h"

#include <algorithm>

#include <QCursor>

namespace vm31::qt {
TrayNotifier::TrayNotifier(QIcon icon, QString applicationName)
    : icon_(std::move(icon)), notifications_(std::move(applicationName)) {
  tray_.setIcon(icon_);
  connect(&tray_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (!onClick_) return;
            switch (reason) {
              case QSystemTrayIcon::Trigger:
                onClick_(TrayClick::kLeftUp);
                break;
              case QSystemTrayIcon::DoubleClick:
                onClick_(TrayClick::kLeftDoubleClick);
                break;
              case QSystemTrayIcon::Context:
                onClick_(TrayClick::kRightUp);
                break;
              default:
                break;  // the middle button does nothing
            }
          });
}

TrayNotifier::~TrayNotifier() {
  tray_.hide();
}

void TrayNotifier::setHandlers(ClickHandler onClick, CommandHandler onCommand) {
  onClick_ = std::move(onClick);
  onCommand_ = std::move(onCommand);
}

bool TrayNotifier::trayAvailable() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayNotifier::addTrayIcon(std::string_view tip) {
  tray_.setToolTip(ToQString(tip));
  tray_.show();
}

void TrayNotifier::removeTrayIcon() {
  tray_.hide();
}

void TrayNotifier::showBalloon(std::string_view text, std::string_view title, int timeoutMs,
                               NoticeIcon) {
  // The presence notices ask for 100 ms. Tray balloons never honoured that (the desktop held
  // them for its own minimum of several seconds); a notification service does honour it, and
  // the notice would vanish before it can be read. So no notice is shown for less than this.
  constexpr int kMinimumNoticeMs = 5000;
  timeoutMs = std::max(timeoutMs, kMinimumNoticeMs);
  if (notifications_.available()) {
    notifications_.show(ToQString(title), ToQString(text), timeoutMs);
  } else if (tray_.isVisible() && QSystemTrayIcon::supportsMessages()) {
    tray_.showMessage(ToQString(title), ToQString(text), QSystemTrayIcon::Information, timeoutMs);
  }
}

void TrayNotifier::fillMenu(QMenu& menu, const std::vector<MenuItem>& items) {
  menu.clear();
  for (const MenuItem& item : items) {
    const int command = item.command;
    connect(menu.addAction(ToQString(item.text)), &QAction::triggered, this, [this, command] {
      if (onCommand_) onCommand_(command);
    });
  }
}

void TrayNotifier::setTrayMenu(const std::vector<MenuItem>& items) {
  if (!trayMenu_) trayMenu_ = std::make_unique<QMenu>();
  fillMenu(*trayMenu_, items);
  tray_.setContextMenu(trayMenu_.get());
}

void TrayNotifier::showTrayMenu(const std::vector<MenuItem>& items) {
  // A tray that shows its own menu (set with setTrayMenu) has already opened it for this click.
  if (trayMenu_) {
    fillMenu(*trayMenu_, items);
    return;
  }
  QMenu menu;
  fillMenu(menu, items);
  menu.exec(QCursor::pos());
}

}  // namespace vm31::qt
