#pragma once
// The one generic window of the shell: a frameless window without a taskbar entry that hosts a
// core WindowModel. It owns the window's persistent back buffer (a premultiplied QImage sized to
// the background picture), paints it on every expose, keeps the model's child controls by id and
// turns Qt's input into the model's platform-neutral events. It knows nothing of any particular
// window.
//
// The main window starts unrealised: what the model draws and does to its controls is kept, in
// order, and done for real (realised) at its first show, or as soon as anything asks for what
// those calls made (a control's text, the back buffer, ...). A window that starts hidden in the
// tray so decodes no pictures, builds no fonts and creates no widgets until the user opens it;
// the answers the model gets are the same either way. Popups are realised from the start.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "core/ui/kept_calls.h"
#include "core/ui/ports.h"

class QEventLoop;
class QListWidget;

namespace vm31::qt {

// What every window of the process shares.
struct ShellContext {
  QString programName;  // message box caption when the model gives none
  // Runs before the process ends through WindowHost::endProcess (tray removal, lock release).
  std::function<void()> beforeExit;
  // The usage of a key by its place on the keyboard; null: by Qt's key symbol only, which does
  // not tell left from right modifiers (the program always gives it; some tests do not).
  const KeyNames* keyNames = nullptr;
  QString windowTitle{};  // every window's title while the model sets no caption
};

// Decodes a PNG for drawing: a picture with alpha becomes premultiplied with
// floor(channel * alpha / 255) per channel (Format_ARGB32_Premultiplied), one without alpha
// opaque RGB32. A null image when the file is missing or cannot be decoded.
QImage LoadSkinPicture(const QString& path);

// The HID keyboard usage of a Qt key event (0 when the key has none): by its place through
// `keyNames` when that names it, else by Qt's key symbol.
KeyEvent TranslateKey(int qtKey, quint32 nativeScanCode, Qt::KeyboardModifiers modifiers, bool down,
                      quint64 timestamp, const KeyNames* keyNames);

class SkinnedWindow : public QWidget, public Canvas, public Controls, public WindowHost {
  Q_OBJECT
 public:
  // `owner` is the window a popup is centred over and modal to; null for the main window.
  SkinnedWindow(WindowModel& model, const ShellContext& context, SkinnedWindow* owner = nullptr);
  ~SkinnedWindow() override;

  // attach() and onInitialise() of the model; returns what onInitialise returned.
  bool initialiseModel();
  WindowModel& model() { return model_; }
  // The queries below realise the window first.
  const QImage& backBuffer() const;
  QWidget* control(int id) const;
  // The whole text of a canvas text drawn at `at` that had to be shrunk or cut to fit its box;
  // empty when none. It is the tooltip there.
  QString toolTipAt(QPoint at) const;
  // Whether the calls of the model have been done for real (see above).
  bool isRealised() const { return kept_.realised(); }

  // Canvas
  bool drawImage(const std::string& path, Point at) override;
  std::optional<Size> imageSize(const std::string& path) override;
  void dropImageCache() override;
  void fillRect(const Rect& box, Rgb colour) override;
  void drawText(std::string_view text, const Rect& box, const FontSpec& font, Rgb colour,
                TextFormat format) override;
  int measureWrappedHeight(std::string_view text, int width, const FontSpec& font) override;
  void present() override;

  // Controls
  void create(int id, ControlKind kind, const Rect& rect, const ControlStyle& style) override;
  void destroy(int id) override;
  bool exists(int id) const override;
  void setStyle(int id, const ControlStyle& style) override;
  void setVisible(int id, bool visible) override;
  void setFocus(int id) override;
  int focusedControl() const override;
  void setText(int id, std::string_view text) override;
  std::string text(int id) const override;
  void clearItems(int id) override;
  void addItem(int id, std::string_view text) override;
  void insertItem(int id, int index, std::string_view text) override;
  void deleteItem(int id, int index) override;
  int itemCount(int id) const override;
  std::string itemText(int id, int index) const override;
  void setSelection(int id, int index) override;
  int selection(int id) const override;
  int itemAt(int id, Point at) const override;
  void setTopIndex(int id, int index) override;
  int topIndex(int id) const override;

  // WindowHost
  void show() override;
  void hide() override;
  bool isVisible() const override;
  void minimise() override;
  void bringToFront() override;
  void setCaption(std::string_view caption) override;
  std::optional<Size> setBackgroundImage(const std::string& path) override;
  void startDrag() override;
  void messageBox(std::string_view text, std::string_view caption, MessageBoxIcon icon) override;
  std::optional<Rgb> chooseColour(Rgb initial) override;
  void popupMenu(const std::vector<MenuItem>& items) override;
  int runModal(WindowModel& popup) override;
  void endModal(int code) override;
  void endRunningModal(int code) override;
  void endProcess(int code) override;

  // The font a FontSpec stands for on this system.
  static QFont fontFor(const FontSpec& spec);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // While unrealised: keeps `call` (a call of this window's own to be made again once realised)
  // and returns true; realised: false, the caller goes on to do the work now.
  bool keep(std::function<void()> call);
  // Makes the kept calls in the order they came. Const: a query realises before it answers.
  void realise() const;
  const QImage* picture(const std::string& path);
  // The back buffer becomes a copy of the picture at `path`; false (the buffer unchanged) when
  // it cannot be decoded.
  bool takeBackground(const std::string& path);
  void applyStyle(QWidget* widget, ControlKind kind, const ControlStyle& style);
  // A picture or fill painted over a whole text box hides that text: its tip goes too.
  void forgetTipsWithin(const QRect& painted);
  static void styleListBox(QListWidget* list, const ControlStyle& style, const QString& background);
  int controlIdOf(QObject* object) const;
  void watch(QWidget* widget);
  QListWidget* listBox(int id) const;

  WindowModel& model_;
  const ShellContext& context_;
  SkinnedWindow* owner_;
  mutable KeptCalls kept_;
  bool keptBackground_ = false;  // a kept call sets a background (buffer_ is not null once made)
  QImage buffer_;
  std::map<std::string, QImage> cache_;  // decoded pictures by path; dropped with the skin
  struct Child {
    ControlKind kind;
    QWidget* widget;
  };
  std::map<int, Child> controls_;
  // Single-line canvas texts shrunk or cut to fit their box: the box and the whole text (its
  // tooltip). Drawing a text into a box replaces that box's entry.
  struct CanvasTip {
    QRect area;
    QString text;
  };
  std::vector<CanvasTip> canvasTips_;
  QTimer hoverTimer_;
  QPoint hoverAt_;
  QEventLoop* modalLoop_ = nullptr;
  SkinnedWindow* runningPopup_ = nullptr;  // the popup window runModal shows now
  int modalCode_ = 0;
  bool endedEarly_ = false;
  bool modalEnded_ = false;  // endModal was called: later calls change nothing
  // Where the main window shows next: unset until its first show centres it, then where it was
  // when it was last hidden.
  std::optional<QPoint> placedAt_;
};

}  // namespace vm31::qt
