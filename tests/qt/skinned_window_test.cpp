// The generic skinned window under the offscreen platform: exact per-pixel alpha in the back
// buffer, child controls at their rectangles, input delivered at window coordinates, and the
// single-instance lock.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

#include "platform/linux/instance_lock.h"
#include "qt/single_instance.h"
#include "qt/skinned_window.h"
#include "support/temp_folder.h"

namespace vm31::qt {
namespace {

using vm31::testing::TempFolder;

// Writes a PNG of the given straight-alpha pixels (one row per vector).
std::string WritePng(const TempFolder& folder, const std::string& name,
                     const std::vector<std::vector<QRgb>>& rows, bool alpha = true) {
  QImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
               alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, rows[y][x]);
  }
  const std::string path = (folder / name).string();
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  return path;
}

// Records what the host delivers, one short line per event.
class RecordingModel : public WindowModel {
 public:
  void attach(const WindowPorts& ports) override { ports_ = ports; }
  bool onInitialise() override { return true; }
  void onClose() override { log.push_back("close"); }
  void onLeftButtonDown(Point p) override { log.push_back(At("down", p)); }
  KeyDisposition onKey(const KeyEvent& key) override {
    if (!key.down) return KeyDisposition::kPass;
    log.push_back("key " + std::to_string(key.usage) + " mods " + std::to_string(key.modifiers));
    return key.usage == kUsageEscape ? KeyDisposition::kSwallow : KeyDisposition::kPass;
  }
  void onControlRightButtonDown(int id, Point p) override {
    log.push_back(At("right on " + std::to_string(id), p));
  }
  void onControlNotify(int id, ControlNotification what) override {
    log.push_back("notify " + std::to_string(id) + " " + std::to_string(static_cast<int>(what)));
  }

  std::vector<std::string> log;
  WindowPorts ports_;

 private:
  static std::string At(const std::string& what, Point p) {
    return what + " @" + std::to_string(p.x) + "," + std::to_string(p.y);
  }
};

class SkinnedWindowTest : public ::testing::Test {
 protected:
  SkinnedWindowTest() : window(model, context) {
    context.programName = "KOR_VM31";
    window.initialiseModel();
  }

  QRgb pixel(int x, int y) const { return window.backBuffer().pixel(x, y); }

  TempFolder folder;
  RecordingModel model;
  ShellContext context;
  SkinnedWindow window;
};

TEST_F(SkinnedWindowTest, BackgroundSizesTheWindowAndMissingPicturesDrawNothing) {
  const auto background = WritePng(folder, "main.png", {std::vector<QRgb>(5, qRgb(1, 2, 3))});
  EXPECT_EQ(window.setBackgroundImage(background), (Size{5, 1}));
  EXPECT_EQ(window.size(), QSize(5, 1));

  EXPECT_EQ(window.setBackgroundImage((folder / "none.png").string()), std::nullopt);
  EXPECT_FALSE(window.drawImage((folder / "none.png").string(), {0, 0}));
  EXPECT_EQ(window.size(), QSize(5, 1));
  EXPECT_EQ(pixel(4, 0), qRgb(1, 2, 3));
}

// Each channel becomes floor(channel * alpha / 255) before a source-over blend; alpha 0 leaves
// the buffer alone, alpha 255 replaces it. Over opaque black the blend leaves the premultiplied
// colour itself, so the buffer shows the premultiplication exactly.
TEST_F(SkinnedWindowTest, PicturesBlendWithPremultipliedPerPixelAlpha) {
  const QRgb grey = qRgb(10, 20, 30);
  const auto background = WritePng(
      folder, "main.png", {std::vector<QRgb>(5, qRgb(0, 0, 0)), std::vector<QRgb>(5, grey)});
  ASSERT_TRUE(window.setBackgroundImage(background));
  const auto picture = WritePng(folder, "over.png",
                                {{qRgba(50, 100, 200, 128),   // the classic example
                                  qRgba(200, 200, 200, 200),  // 156.86: truncated, not rounded
                                  qRgba(1, 1, 1, 128),        // 0.50: truncated to 0
                                  qRgba(255, 255, 255, 0),    // invisible
                                  qRgba(7, 8, 9, 255)}});     // opaque
  ASSERT_TRUE(window.drawImage(picture, {0, 0}));
  EXPECT_EQ(pixel(0, 0), qRgb(25, 50, 100));
  EXPECT_EQ(pixel(1, 0), qRgb(156, 156, 156));
  EXPECT_EQ(pixel(2, 0), qRgb(0, 0, 0));
  EXPECT_EQ(pixel(3, 0), qRgb(0, 0, 0));
  EXPECT_EQ(pixel(4, 0), qRgb(7, 8, 9));

  // Drawn one row lower at an offset: over grey the invisible pixel keeps the grey exactly.
  ASSERT_TRUE(window.drawImage(picture, {1, 1}));
  EXPECT_EQ(pixel(0, 1), grey);                               // left of the picture
  EXPECT_EQ(pixel(4, 1), grey);                               // under the invisible pixel
  EXPECT_EQ(window.backBuffer().pixel(4, 0), qRgb(7, 8, 9));  // the first row untouched
  EXPECT_EQ(qAlpha(pixel(1, 1)), 255);                        // the buffer stays opaque
}

TEST_F(SkinnedWindowTest, PicturesWithoutAlphaAreCopiedOpaque) {
  ASSERT_TRUE(window.setBackgroundImage(
      WritePng(folder, "main.png", {std::vector<QRgb>(3, qRgb(9, 9, 9))})));
  const auto plain =
      WritePng(folder, "plain.png", {{qRgb(1, 2, 3), qRgb(250, 251, 252)}}, /*alpha=*/false);
  EXPECT_EQ(window.imageSize(plain), (Size{2, 1}));
  ASSERT_TRUE(window.drawImage(plain, {1, 0}));
  EXPECT_EQ(pixel(0, 0), qRgb(9, 9, 9));
  EXPECT_EQ(pixel(1, 0), qRgb(1, 2, 3));
  EXPECT_EQ(pixel(2, 0), qRgb(250, 251, 252));
}

TEST_F(SkinnedWindowTest, ADroppedCacheRereadsTheFile) {
  ASSERT_TRUE(window.setBackgroundImage(
      WritePng(folder, "main.png", {std::vector<QRgb>(1, qRgb(0, 0, 0))})));
  const auto path = WritePng(folder, "dot.png", {{qRgb(1, 1, 1)}});
  ASSERT_TRUE(window.drawImage(path, {0, 0}));
  WritePng(folder, "dot.png", {{qRgb(2, 2, 2)}});
  window.dropImageCache();
  ASSERT_TRUE(window.drawImage(path, {0, 0}));
  EXPECT_EQ(pixel(0, 0), qRgb(2, 2, 2));
}

// The main window starts hidden and unrealised: it answers at once what the calls made will be
// (the background's size, whether a picture can be drawn) but decodes, paints and creates its
// controls only at its first show, in the order the calls came; a query realises it too.
TEST_F(SkinnedWindowTest, AHiddenMainWindowDoesItsWorkAtItsFirstShowOrFirstQuery) {
  const auto background = WritePng(folder, "main.png", {std::vector<QRgb>(4, qRgb(0, 0, 0))});
  const auto dot = WritePng(folder, "dot.png", {{qRgb(5, 6, 7)}});
  const auto fill = [&](SkinnedWindow& target) {
    EXPECT_EQ(target.setBackgroundImage(background), (Size{4, 1}));
    EXPECT_TRUE(target.drawImage(dot, {1, 0}));
    EXPECT_FALSE(target.drawImage((folder / "none.png").string(), {0, 0}));
    target.fillRect(Rect{3, 0, 4, 1}, Rgb{9, 9, 9});
    target.create(7, ControlKind::kStatic, Rect{0, 0, 4, 1}, ControlStyle{});
    target.setText(7, "first");
    target.setText(7, "second");
  };
  fill(window);
  EXPECT_FALSE(window.isRealised());
  EXPECT_EQ(window.size(), QSize(4, 1));
  EXPECT_TRUE(window.findChildren<QWidget*>().isEmpty());
  WritePng(folder, "dot.png", {{qRgb(1, 1, 1)}});  // read at the show, not before

  window.show();
  EXPECT_TRUE(window.isRealised());
  EXPECT_EQ(pixel(1, 0), qRgb(1, 1, 1));
  EXPECT_EQ(pixel(3, 0), qRgb(9, 9, 9));
  ASSERT_NE(window.control(7), nullptr);
  EXPECT_EQ(window.text(7), "second");
  EXPECT_EQ(window.size(), QSize(4, 1));

  RecordingModel otherModel;
  SkinnedWindow other(otherModel, context);
  other.initialiseModel();
  fill(other);
  EXPECT_FALSE(other.isRealised());
  EXPECT_EQ(other.text(7), "second");  // the query realised it
  EXPECT_TRUE(other.isRealised());
  EXPECT_EQ(other.backBuffer().pixel(1, 0), qRgb(1, 1, 1));
  EXPECT_FALSE(other.isVisible());
}

TEST_F(SkinnedWindowTest, ControlsSitAtTheirRectanglesAndTalkBack) {
  ASSERT_TRUE(window.setBackgroundImage(
      WritePng(folder, "main.png", {std::vector<QRgb>(300, qRgb(0, 0, 0))})));
  window.setFixedSize(300, 200);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  ControlStyle style;
  style.font = FontSpec{"Arial", 14, 400};
  window.create(7, ControlKind::kStatic, Rect{10, 20, 110, 40}, style);
  window.create(8, ControlKind::kEdit, Rect{10, 50, 110, 70}, style);
  window.create(9, ControlKind::kListBox, Rect{150, 10, 250, 190}, style);
  EXPECT_EQ(window.control(7)->geometry(), QRect(10, 20, 100, 20));
  EXPECT_EQ(window.control(8)->geometry(), QRect(10, 50, 100, 20));
  EXPECT_EQ(window.control(9)->geometry(), QRect(150, 10, 100, 180));
  EXPECT_NE(qobject_cast<QLabel*>(window.control(7)), nullptr);
  EXPECT_NE(qobject_cast<QLineEdit*>(window.control(8)), nullptr);

  window.setText(7, "Key Setting");
  EXPECT_EQ(window.text(7), "Key Setting");
  for (const char* item : {"one", "two", "three"}) window.addItem(9, item);
  window.insertItem(9, 0, "zero");
  window.deleteItem(9, 3);
  window.deleteItem(9, 42);  // out of range: ignored
  EXPECT_EQ(window.itemCount(9), 3);
  EXPECT_EQ(window.itemText(9, 2), "two");
  EXPECT_EQ(window.itemText(9, 3), "");

  // A selection made from code stays silent; a click on an item chooses it.
  window.setSelection(9, 1);
  EXPECT_EQ(window.selection(9), 1);
  EXPECT_TRUE(model.log.empty());
  auto* list = static_cast<QListWidget*>(window.control(9));
  const QRect third = list->visualItemRect(list->item(2));
  const QPoint inWindow = list->viewport()->mapTo(&window, third.center());
  EXPECT_EQ(window.itemAt(9, Point{inWindow.x(), inWindow.y()}), 2);
  EXPECT_EQ(window.itemAt(9, Point{5, 5}), -1);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
  EXPECT_EQ(window.selection(9), 2);
  QTest::mousePress(list->viewport(), Qt::RightButton, {}, third.center());
  EXPECT_EQ(model.log,
            (std::vector<std::string>{"notify 9 0", "right on 9 @" + std::to_string(inWindow.x()) +
                                                        "," + std::to_string(inWindow.y())}));

  // Controls that do not exist are ignored.
  window.destroy(9);
  EXPECT_FALSE(window.exists(9));
  EXPECT_EQ(window.itemCount(9), 0);
  window.setText(9, "gone");
}

// A black list with more entries than fit: its border, scroll bar and selection follow the
// control's colours instead of the platform's light defaults, and a list of two columns holds
// all its entries without a scroll bar.
TEST_F(SkinnedWindowTest, ListBoxesFollowTheirStyle) {
  ASSERT_TRUE(window.setBackgroundImage(
      WritePng(folder, "main.png", {std::vector<QRgb>(300, qRgb(0, 0, 0))})));
  window.setFixedSize(300, 300);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  ControlStyle style;
  style.text = Rgb{255, 255, 255};
  style.background = Rgb{0, 0, 0};
  style.font = FontSpec{"Arial", 12, 400};
  style.border = true;
  window.create(9, ControlKind::kListBox, Rect{10, 10, 110, 110}, style);
  for (int i = 0; i < 30; ++i) window.addItem(9, std::to_string(i));
  window.setSelection(9, 1);
  auto* list = static_cast<QListWidget*>(window.control(9));
  QApplication::processEvents();
  EXPECT_EQ(list->visualItemRect(list->item(0)).height(), kListRowHeight);

  const QImage image = list->grab().toImage();
  const QRgb white = qRgb(255, 255, 255);
  EXPECT_EQ(image.pixel(0, 50), white);  // the border, in the text colour
  EXPECT_EQ(image.pixel(50, 0), white);
  EXPECT_EQ(image.pixel(99, 50), white);

  QScrollBar* bar = list->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  const QRect barRect(bar->mapTo(list, QPoint(0, 0)), bar->size());
  const QPoint handle(barRect.center().x(), barRect.top() + 3);  // scrolled to the top
  const QPoint groove(barRect.center().x(), barRect.bottom() - 3);
  EXPECT_EQ(image.pixel(handle), white);
  const QColor grooveColour(image.pixel(groove));
  EXPECT_LT(grooveColour.lightness(), 80) << QString::number(image.pixel(groove), 16).toStdString();

  // The selected row is inverted: the text colour behind it.
  const QRect selected = list->visualItemRect(list->item(1));
  const QPoint besideText =
      list->viewport()->mapTo(list, QPoint(selected.right() - 2, selected.center().y()));
  EXPECT_EQ(image.pixel(besideText), white);
  const QRect plain = list->visualItemRect(list->item(2));
  EXPECT_EQ(
      image.pixel(list->viewport()->mapTo(list, QPoint(plain.right() - 2, plain.center().y()))),
      qRgb(0, 0, 0));

  // Two columns of fifteen rows in room for sixteen (a wrapping list keeps one row spare):
  // no scroll bar, every entry in view.
  style.columns = 2;
  window.create(10, ControlKind::kListBox, Rect{120, 10, 204, 10 + 16 * kListRowHeight + 2}, style);
  for (int i = 0; i < 30; ++i) window.addItem(10, std::to_string(i));
  auto* columns = static_cast<QListWidget*>(window.control(10));
  QApplication::processEvents();
  EXPECT_FALSE(columns->verticalScrollBar()->isVisible());
  EXPECT_FALSE(columns->horizontalScrollBar()->isVisible());
  for (int i = 0; i < 30; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(columns->viewport()->rect().contains(columns->visualItemRect(columns->item(i))));
  }
  EXPECT_EQ(window.itemAt(10, Point{120 + 1 + 41 + 5, 10 + 1 + 5}), 15);
}

TEST_F(SkinnedWindowTest, ClicksKeysAndCloseReachTheModel) {
  ASSERT_TRUE(window.setBackgroundImage(
      WritePng(folder, "main.png", {std::vector<QRgb>(100, qRgb(0, 0, 0))})));
  window.setFixedSize(100, 80);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(30, 40));
  QTest::mousePress(&window, Qt::RightButton, {}, QPoint(31, 41));  // not a model event
  QTest::keyClick(&window, Qt::Key_Escape);
  QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
  window.close();
  EXPECT_EQ(model.log, (std::vector<std::string>{"down @30,40", "key 41 mods 0", "key 224 mods 1",
                                                 "key 6 mods 1", "close"}));
  EXPECT_TRUE(window.isVisible());  // closing is the model's decision; this one did nothing
}

// A popup that warns in a message box when clicked and then ends itself as OK (a failed save,
// say). Before the box opens it asks for `whileTheBoxIsOpen` to run from within the box's loop.
class WarningPopup : public WindowModel {
 public:
  void attach(const WindowPorts& ports) override { ports_ = ports; }
  bool onInitialise() override { return true; }
  void onLeftButtonDown(Point) override {
    QTimer::singleShot(0, whileTheBoxIsOpen);
    ports_.host->messageBox("cannot be saved", "", MessageBoxIcon::kWarning);
    boxReturned = true;
    ports_.host->endModal(kOk);
  }

  static constexpr int kOk = 1;
  std::function<void()> whileTheBoxIsOpen;
  bool boxReturned = false;
  WindowPorts ports_;
};

bool AMessageBoxIsShown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) return true;
  }
  return false;
}

// The mouse removed while a popup's message box is open: the box goes with the popup, which ends
// with the code it was ended with, whatever its handler asks once the box has returned.
TEST_F(SkinnedWindowTest, APopupEndedFromOutsideTakesItsMessageBoxAlong) {
  constexpr int kCancel = 2;
  WarningPopup popup;
  bool boxWasShown = false;
  popup.whileTheBoxIsOpen = [&] {
    boxWasShown = AMessageBoxIsShown();
    window.endRunningModal(kCancel);
  };
  // Should the box stay, it is closed after a while so that the test fails instead of hanging.
  QTimer::singleShot(10000, [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(widget)) box->reject();
    }
  });
  QTimer::singleShot(0, [&] { popup.onLeftButtonDown(Point{5, 5}); });
  const int code = window.runModal(popup);
  EXPECT_TRUE(boxWasShown);
  EXPECT_TRUE(popup.boxReturned);
  EXPECT_EQ(code, kCancel);
  EXPECT_FALSE(AMessageBoxIsShown());
}

TEST(InstanceLock, TheSecondLockFailsUntilTheFirstIsGone) {
  using linux_platform::InstanceLock;
  using linux_platform::InstanceMode;
  TempFolder folder;
  const auto channelPath = linux_platform::InstanceChannelPath(folder.path());
  auto first = InstanceLock::acquire(folder.path());
  ASSERT_TRUE(first);
  ASSERT_TRUE(first.value());
  EXPECT_TRUE(std::filesystem::exists(folder / linux_platform::kInstanceLockName));

  auto second = InstanceLock::acquire(folder.path());
  ASSERT_TRUE(second);
  EXPECT_FALSE(second.value());
  EXPECT_EQ(InstanceLock::runningMode(folder.path()), InstanceMode::kUnknown);

  // The channel opens before the mode is written, as the program does it.
  auto firstChannel = InstanceChannel::listen(channelPath);
  ASSERT_TRUE(firstChannel) << firstChannel.error().message;
  ASSERT_TRUE(first.value()->announce(InstanceMode::kWindow));
  EXPECT_EQ(InstanceLock::runningMode(folder.path()), InstanceMode::kWindow);
  std::vector<bool> requests;
  QObject::connect(firstChannel.value().get(), &InstanceChannel::showRequested,
                   [&requests](bool show) { requests.push_back(show); });
  EXPECT_TRUE(InstanceChannel::requestShow(channelPath, false));
  EXPECT_TRUE(QTest::qWaitFor([&requests] { return requests.size() == 1; }));
  EXPECT_EQ(requests, std::vector<bool>{false});

  firstChannel.value().reset();
  first.value().reset();
  auto third = InstanceLock::acquire(folder.path());
  ASSERT_TRUE(third);
  EXPECT_TRUE(third.value());
  EXPECT_EQ(InstanceLock::runningMode(folder.path()), InstanceMode::kUnknown);  // stale mode gone
  EXPECT_FALSE(InstanceChannel::requestShow(channelPath, true));                // not announced yet

  // In the tray the channel is open too: `--show` reaches it.
  auto thirdChannel = InstanceChannel::listen(channelPath);
  ASSERT_TRUE(thirdChannel) << thirdChannel.error().message;
  ASSERT_TRUE(third.value()->announce(InstanceMode::kTray));
  EXPECT_EQ(InstanceLock::runningMode(folder.path()), InstanceMode::kTray);
  requests.clear();
  QObject::connect(thirdChannel.value().get(), &InstanceChannel::showRequested,
                   [&requests](bool show) { requests.push_back(show); });
  EXPECT_TRUE(InstanceChannel::requestShow(channelPath, true));
  EXPECT_TRUE(QTest::qWaitFor([&requests] { return requests.size() == 1; }));
  EXPECT_EQ(requests, std::vector<bool>{true});
}

}  // namespace
}  // namespace vm31::qt

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");  // also while the test list is read at build time
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
