// The yardstick for KOR_VM31's start-up: the least a Qt6 widgets program with a tray icon does
// (an application object, a plain icon, the tray icon shown, the event loop).
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::darkGreen);
  QSystemTrayIcon tray{QIcon(pixmap)};
  tray.setToolTip("minimal");
  tray.show();
  return QApplication::exec();
}
