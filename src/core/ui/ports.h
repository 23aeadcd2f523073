#pragma once
// The window-side ports: what a window model needs from a windowing toolkit, and the
// platform-neutral events a host hands to a model. Every window of the program (the main window,
// each popup dialog) is a `WindowModel` in the core; a host (the Qt shell, or the recording fake
// host of the tests) owns the real window, its back buffer and its child controls, and calls the
// model's handlers on the user-interface thread, one at a time.
//
// Drawing model: each window has one persistent back buffer holding its complete face. A model
// draws images and texts into it through `Canvas` and then calls `present()`, which copies the
// whole buffer to the screen. The host never paints anything of its own into the buffer; on an
// expose it copies the buffer again.
//
// Strings are UTF-8. Coordinates are window client pixels, origin top-left, x to the right.
// Rectangles are half-open: [left, right) x [top, bottom).
//
// The desktop-side ports live here too: the desktop's pointer settings (`SystemMouse`) and the
// names of keys by their place on the keyboard (`KeyNames`).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vm31 {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A font as the program names it. `face` is the program's own face name ("黑体", "宋体",
// "Arial", "Tahoma"); the host maps it to an installed family with `FontFamiliesFor` (fonts.h).
// `height` is the character cell height in pixels (the logical height the program has always
// used); weight 400 normal, 700 bold. Never italic, underlined or struck out.
struct FontSpec {
  std::string face;
  int height = 0;
  int weight = 400;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// How a text sits in its box. All but kWordWrap are single-line, never wrapped, clipped to the
// box. kWordWrap breaks at blanks (and between CJK characters) to the box width, left-aligned,
// starting at the box top.
enum class TextFormat {
  kLeft,       // left, vertically centred
  kCentre,     // horizontally and vertically centred
  kRight,      // right, vertically centred
  kTopCentre,  // horizontally centred, at the top of the box
  kWordWrap,
};

// Drawing into the window's persistent back buffer. Nothing reaches the screen before present().
class Canvas {
 public:
  virtual ~Canvas() = default;

  // Loads the PNG at `path` (the full path: skin folder text + file name, joined by plain
  // concatenation) and draws the whole picture at its natural size with its top-left corner at
  // `at`. A picture with alpha is premultiplied (each of blue, green, red becomes
  // floor(channel * alpha / 255)) and blended source-over with per-pixel alpha, so alpha 0
  // leaves the buffer untouched; a picture without alpha is copied opaque. Returns false and
  // draws nothing when the file is missing or cannot be decoded; never shows a message.
  // A host may cache decoded pictures by path, but must drop the cache on dropImageCache().
  virtual bool drawImage(const std::string& path, Point at) = 0;

  // The natural size of the PNG at `path`; nullopt when it cannot be loaded.
  virtual std::optional<Size> imageSize(const std::string& path) = 0;

  // Called whenever the skin folder changes (and may be called at any time).
  virtual void dropImageCache() = 0;

  // Fills `box` with an opaque colour.
  virtual void fillRect(const Rect& box, Rgb colour) = 0;

  // Draws `text` in `box` with a transparent background.
  virtual void drawText(std::string_view text, const Rect& box, const FontSpec& font, Rgb colour,
                        TextFormat format) = 0;

  // The height in pixels that `text` takes when word-wrapped to `width` in `font`.
  virtual int measureWrappedHeight(std::string_view text, int width, const FontSpec& font) = 0;

  // Copies the whole back buffer to the screen (when the window is shown; a hidden window keeps
  // the buffer and shows it when it is shown again).
  virtual void present() = 0;
};

// Child controls, addressed by the control ids the window's layout gives them.
enum class ControlKind {
  kStatic,   // a one-line text field the user cannot edit
  kEdit,     // a one-line edit field
  kListBox,  // a single-selection list
};

// Colours and font of a child control. `transparent`: the text is drawn over what lies behind
// the control (the window's back buffer) instead of over `background`.
struct ControlStyle {
  Rgb text{255, 255, 255};
  Rgb background{0, 0, 0};
  bool transparent = false;
  FontSpec font;
  bool centred = false;      // text horizontally centred (statics and edits)
  bool readOnly = false;     // edits only
  bool numbersOnly = false;  // edits only: accept digits only
  int maxLength = 0;         // edits only: characters; 0 = no limit
  bool border = false;       // list boxes only: a one-pixel frame inside the rectangle
  int columns = 1;           // list boxes only: entries flow top to bottom over this many columns
  friend bool operator==(const ControlStyle&, const ControlStyle&) = default;
};

// A list index of -1 means "none". Calls naming an id that does not exist are ignored (getters
// return the empty value). Setting a selection from code never raises a selection
// notification: hovering highlights, clicking chooses.
inline constexpr int kNoControl = -1;
// Every list box shows one entry per this many pixels of height.
inline constexpr int kListRowHeight = 16;
// A list box whose rows do not all fit shows a slim scroll bar in its own colours, never the
// platform's: this wide, its handle in the text colour and at least kListSmallestHandle high,
// its groove in ListScrollGrooveColour.
inline constexpr int kListScrollBarWidth = 10;
inline constexpr int kListSmallestHandle = 12;
// The groove: the background shaded a fifth of the way toward the text colour.
constexpr Rgb ListScrollGrooveColour(const ControlStyle& style) {
  const auto shade = [](std::uint8_t base, std::uint8_t toward) {
    return static_cast<std::uint8_t>((base * 4 + toward) / 5);
  };
  return Rgb{shade(style.background.red, style.text.red),
             shade(style.background.green, style.text.green),
             shade(style.background.blue, style.text.blue)};
}

class Controls {
 public:
  virtual ~Controls() = default;

  // Creates a visible control (replacing an existing one of the same id).
  virtual void create(int id, ControlKind kind, const Rect& rect, const ControlStyle& style) = 0;
  virtual void destroy(int id) = 0;
  virtual bool exists(int id) const = 0;
  virtual void setStyle(int id, const ControlStyle& style) = 0;
  virtual void setVisible(int id, bool visible) = 0;
  // Gives control `id` the keyboard focus; kNoControl gives it to the window itself, so that
  // none of its controls sees the keys (a window not shown yet takes it when it is shown).
  virtual void setFocus(int id) = 0;
  // The control that has the keyboard focus; kNoControl when none of this window's controls has
  // it.
  virtual int focusedControl() const { return kNoControl; }

  virtual void setText(int id, std::string_view text) = 0;
  virtual std::string text(int id) const = 0;

  // List boxes.
  virtual void clearItems(int id) = 0;
  virtual void addItem(int id, std::string_view text) = 0;
  virtual void insertItem(int id, int index, std::string_view text) = 0;  // index -1: append
  virtual void deleteItem(int id, int index) = 0;
  virtual int itemCount(int id) const = 0;
  virtual std::string itemText(int id, int index) const = 0;
  virtual void setSelection(int id, int index) = 0;
  virtual int selection(int id) const = 0;
  // The item under `at` (window coordinates); -1 when none.
  virtual int itemAt(int id, Point at) const = 0;
  virtual void setTopIndex(int id, int index) = 0;  // scrolls so that `index` is the first row
  virtual int topIndex(int id) const = 0;
};

enum class MessageBoxIcon { kNone, kWarning };

// One entry of a popup menu; `command` comes back through WindowModel::onCommand.
struct MenuItem {
  int command = 0;
  std::string text;
  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

class WindowModel;

// The window itself. Windows are frameless, have no taskbar entry and start hidden.
class WindowHost {
 public:
  virtual ~WindowHost() = default;

  virtual void show() = 0;
  virtual void hide() = 0;
  virtual bool isVisible() const = 0;
  virtual void minimise() = 0;
  // Raises the window and asks the window system to give it the input focus.
  virtual void bringToFront() = 0;
  // The window's title (task switchers show it); empty: the window's own title ("Gaming Mouse
  // Setting").
  virtual void setCaption(std::string_view caption) = 0;

  // Loads the PNG at `path` as the window's background: the back buffer becomes a copy of it and
  // the window takes its width and height, keeping its position and stacking. Returns the size,
  // or nullopt (window and buffer unchanged) when the picture cannot be loaded.
  virtual std::optional<Size> setBackgroundImage(const std::string& path) = 0;

  // Hands the window to the window system's own move while the left button is held (call from
  // onLeftButtonDown).
  virtual void startDrag() = 0;

  // A modal message box with a single OK button, owned by this window. An empty caption means
  // the program's name (the executable's file name without extension).
  virtual void messageBox(std::string_view text, std::string_view caption, MessageBoxIcon icon) = 0;

  // The system colour chooser, starting at `initial`; nullopt when cancelled.
  virtual std::optional<Rgb> chooseColour(Rgb initial) = 0;

  // Shows a popup menu at the pointer, owned by this window; the chosen item (if any) is
  // delivered through onCommand before this returns.
  virtual void popupMenu(const std::vector<MenuItem>& items) = 0;

  // Runs `popup` in a new modal window centred over this one: the host attaches its own ports to
  // it, calls onInitialise, dispatches events to it until it calls endModal, then destroys the
  // window and returns the code given to endModal.
  virtual int runModal(WindowModel& popup) = 0;
  // Ends the modal run of this (popup) window with `code`, closing any message box or menu the
  // popup has open. A run ends once: the first code given stands, later calls change nothing.
  virtual void endModal(int code) = 0;
  // Ends the modal run this window is running now (the popup runModal shows) as if that popup
  // called endModal(`code`); nothing when none runs.
  virtual void endRunningModal(int code) = 0;

  // Ends the process with `code` after the caller's own clean-up; does not return.
  virtual void endProcess(int code) = 0;
};

// Tray icon and notices.
enum class NoticeIcon { kInfo };  // warnings too carry the info icon, as they always have

class Notifier {
 public:
  virtual ~Notifier() = default;

  // True when the desktop offers a tray (a notification area or a StatusNotifier host) in which
  // the tray icon is visible. Without one the program must show its window itself.
  virtual bool trayAvailable() const = 0;

  // Adds the tray icon with the program's icon and `tip` as tool tip. Results are not reported:
  // a desktop without a tray leaves the program running.
  virtual void addTrayIcon(std::string_view tip) = 0;
  virtual void removeTrayIcon() = 0;

  // Shows a notice, replacing the previous one (nothing is queued): a tray balloon where the
  // tray can show one, else a notification through the desktop's notification service, with
  // the same text, title and time-out in milliseconds.
  virtual void showBalloon(std::string_view text, std::string_view title, int timeoutMs,
                           NoticeIcon icon) = 0;

  // The tray icon's menu. setTrayMenu makes `items` the menu the tray shows on its own (hosts
  // whose tray shows the menu itself); showTrayMenu also makes them the menu and pops it up at
  // the pointer where the tray leaves that to the program. A chosen item is delivered to the
  // main window model's onCommand.
  virtual void setTrayMenu(const std::vector<MenuItem>& items) = 0;
  virtual void showTrayMenu(const std::vector<MenuItem>& items) = 0;
};

// What the pointer did on the tray icon. Moves and left-button presses are not delivered.
enum class TrayClick { kLeftUp, kLeftDoubleClick, kRightUp };

// Notifications of child controls.
enum class ControlNotification {
  kSelectionChange,  // the user chose a list item (never raised by setSelection)
  kDoubleClick,      // a list item was double-clicked
  kEditChange,       // the user changed an edit field's text
  kFocusLost,
};

// A key as the keyboard reports it: the USB HID keyboard usage (page 7; 0x28 Return, 0x29
// Escape, 0xE0..0xE7 the modifiers) and the modifier bits held (HID order: 0x01 left Ctrl, 0x02
// left Shift, 0x04 left Alt, 0x08 left GUI, 0x10.. the right ones). Keys without a usage carry 0.
// `time` is the platform's event time in milliseconds: the release and press the keyboard's
// auto-repeat sends for a held key share one time, which two real keystrokes never do; 0 when
// the platform gives none.
struct KeyEvent {
  bool down = true;
  std::uint16_t usage = 0;
  std::uint8_t modifiers = 0;
  std::uint64_t time = 0;
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// Where a key sits on the keyboard, as the platform's key events give that place (X11 and
// Wayland: the native scan code), turned into the key's usage. Going by the place, not by the
// symbol the keyboard layout gives, tells the keypad's keys and the left and right modifiers
// apart whatever NumLock and the layout say; the key tables then name the usage ("Num 1",
// "Right Ctrl"). The shell asks it first and falls back to the toolkit's key symbol.
class KeyNames {
 public:
  virtual ~KeyNames() = default;
  // The usage of the key the platform calls `nativeCode`; 0 when it names none.
  virtual std::uint16_t usageOfNativeKey(std::uint32_t nativeCode) const = 0;
};

inline constexpr std::uint16_t kUsageReturn = 0x28;
inline constexpr std::uint16_t kUsageEscape = 0x29;
inline constexpr std::uint16_t kUsageKeypadEnter = 0x58;

// What the model did with a key before the window or a child control saw it.
enum class KeyDisposition { kPass, kSwallow };

// The ports a host gives a model: all three refer to the model's own window.
struct WindowPorts {
  Canvas* canvas = nullptr;
  Controls* controls = nullptr;
  WindowHost* host = nullptr;
};

// The same three ports once a window is attached, where every one is there: for code that only
// runs on an attached window and so never checks for a missing port.
struct AttachedPorts {
  Canvas& canvas;
  Controls& controls;
  WindowHost& host;
};

// A window's behaviour. The host calls attach() once, right after creating the window, then
// onInitialise(), then the event handlers, all on the user-interface thread. Handlers return
// promptly (modal runs nest inside them). Defaults ignore the event.
class WindowModel {
 public:
  virtual ~WindowModel() = default;

  virtual void attach(const WindowPorts& ports) = 0;
  // Builds the window: background, texts, controls. False when the initialisation stopped
  // early (the window still exists).
  virtual bool onInitialise() = 0;

  // The window manager's close request (close shortcut, close from a task switcher).
  virtual void onClose() {}

  // Pointer events on the window surface (not on child controls).
  virtual void onLeftButtonDown(Point) {}
  virtual void onMouseMove(Point) {}
  // The pointer rested 10 ms at `at` after a move; the host reports one hover per rest.
  virtual void onHover(Point) {}
  virtual void onMouseLeave() {}
  // `delta` in wheel units of 120 per notch, positive away from the user.
  virtual void onWheel(int /*delta*/, Point) {}

  // Pre-translation: every key event of the window and its child controls, before either
  // handles it. kSwallow stops it.
  virtual KeyDisposition onKey(const KeyEvent&) { return KeyDisposition::kPass; }
  // Pre-translation of pointer events over a child control (hover selection in drop-down
  // lists, the list's context menu). `at` is in window coordinates.
  virtual void onControlMouseMove(int /*controlId*/, Point) {}
  virtual void onControlRightButtonDown(int /*controlId*/, Point) {}

  virtual void onControlNotify(int /*controlId*/, ControlNotification) {}
  // Menu commands (popup menus, the tray menu).
  virtual void onCommand(int /*command*/) {}
};

// The desktop's own pointer settings (the `SystemMouse` port), which a desktop backend
// implements. A desktop may lack a setting altogether (GNOME has no wheel scroll lines): such a
// setting is "unavailable", which is not a failure.

// The system's pointer-speed scale, 1 (slowest) .. 20 (fastest); 10 is the system default.
inline constexpr int kMinPointerSpeed = 1;
inline constexpr int kMaxPointerSpeed = 20;
// The wheel scroll-lines value that means "scroll one screen per notch" (all bits set).
inline constexpr std::uint32_t kWheelPageScroll = 0xFFFFFFFFu;

// The outcome of one read or write of one setting.
enum class SystemOutcome {
  kDone,
  kUnavailable,  // the running desktop has no such setting (or no desktop backend applies)
  kFailed,       // the desktop has the setting but refused the read or write
};

// A read value; `value` is meaningful only when `outcome` is kDone. `detail` says what went
// wrong (a file, a schema key, the desktop's own error) for the debug output.
template <typename T>
struct SystemReading {
  SystemOutcome outcome = SystemOutcome::kUnavailable;
  T value{};
  std::string detail;
};

struct SystemWriting {
  SystemOutcome outcome = SystemOutcome::kUnavailable;
  std::string detail;
};

// The desktop's pointer settings. Writes take effect for programs already running (the backend
// tells the desktop) and persist for the user's next session.
class SystemMouse {
 public:
  virtual ~SystemMouse() = default;

  // The desktop this backend talks to ("GNOME", "KDE Plasma"); empty when none applies.
  virtual std::string desktopName() const = 0;

  // Pointer precision: adaptive acceleration on (true) or off.
  virtual SystemReading<bool> readPointerPrecision() = 0;
  // 1..20, see kMinPointerSpeed.
  virtual SystemReading<int> readPointerSpeed() = 0;
  // Lines per wheel notch, or kWheelPageScroll.
  virtual SystemReading<std::uint32_t> readWheelScrollLines() = 0;
  // Milliseconds.
  virtual SystemReading<int> readDoubleClickTime() = 0;

  virtual SystemWriting writePointerPrecision(bool on) = 0;
  virtual SystemWriting writePointerSpeed(int speed) = 0;
  virtual SystemWriting writeWheelScrollLines(std::uint32_t lines) = 0;
  virtual SystemWriting writeDoubleClickTime(int milliseconds) = 0;
};

// Where no desktop backend applies: every setting is unavailable.
class NoDesktopSystemMouse final : public SystemMouse {
 public:
  std::string desktopName() const override { return {}; }
  SystemReading<bool> readPointerPrecision() override { return {}; }
  SystemReading<int> readPointerSpeed() override { return {}; }
  SystemReading<std::uint32_t> readWheelScrollLines() override { return {}; }
  SystemReading<int> readDoubleClickTime() override { return {}; }
  SystemWriting writePointerPrecision(bool) override { return {}; }
  SystemWriting writePointerSpeed(int) override { return {}; }
  SystemWriting writeWheelScrollLines(std::uint32_t) override { return {}; }
  SystemWriting writeDoubleClickTime(int) override { return {}; }
};

}  // namespace vm31
