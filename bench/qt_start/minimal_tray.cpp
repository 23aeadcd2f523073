// The yardstick for KOR_VM31's start-up: the least a Qt6 widgets program with a tray icon does
// (an application object, a plain icon, the tray icon shown, the event loop).
// With --hidden-window it also creates a frameless tool window of a skin's size that stays
// hidden: the set-up Qt does for any top-level window, shown or not.
#include <QApplication>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
  const bool hiddenWindow = argc > 1 && std::strcmp(argv[1], "--hidden-window") == 0;
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::darkGreen);
  QSystemTrayIcon tray{QIcon(pixmap)};
  tray.setToolTip("minimal");
  tray.show();
  std::unique_ptr<QWidget> window;
  if (hiddenWindow) {
    window = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window->setFixedSize(800, 600);
  }
  return QApplication::exec();
}
