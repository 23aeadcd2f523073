#pragma once
// The one generic window of the Win32 shell: a frameless popup top-level window without a
// taskbar entry that hosts a core WindowModel, as the Qt shell's SkinnedWindow does. It owns the
// window's persistent back buffer (a 32-bit top-down DIB section sized to the background
// picture), copies it to the screen on WM_PAINT, keeps the model's child controls (STATIC, EDIT
// and LISTBOX windows) by control id and turns Win32 input into the model's platform-neutral
// events. It knows nothing of any particular window.
//
// A single-line text shrunk or cut to fit its box (on the canvas or in a static control) has
// its whole text as a tooltip there (a TOOLTIPS_CLASS control of the window). List boxes draw
// their own frame: the border their style asks for in the text colour and a slim scroll bar in
// the list's colours, never the system's.
//
// The main window starts unrealised, as the Qt shell's does: what the model draws and does to
// its controls is kept, in order, and done for real (realised) at its first show, or as soon as
// anything asks for what those calls made (a control's text, a picture's size, ...). A start
// hidden in the tray so decodes no pictures, builds no fonts and creates no child windows until
// the user opens the window; the answers the model gets are the same either way. Popups are
// realised from the start.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/ui/kept_calls.h"
#include "core/ui/ports.h"
#include "win32/skin_picture.h"

namespace vm31::win32 {

// What every window of the process shares.
struct ShellContext {
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;     // the program icon (the window's, the tray's)
  std::string programName;  // message box caption when the model gives none
  std::string windowTitle;  // every window's title while the model sets no caption
  // Runs before the process ends through WindowHost::endProcess (tray removal, lock release).
  std::function<void()> beforeExit;
};

// The window class every skinned window is made of; the program looks for the running
// instance's main window by it.
inline constexpr wchar_t kWindowClassName[] = L"KOR_VM31_SkinnedWindow";

// Registers the window class; false (with GetLastError set) when it cannot.
bool RegisterSkinnedWindowClass(HINSTANCE instance);

// The pre-translation of a message the loop took: key messages of a skinned window and its
// child controls go to the window's model first. True when the model swallowed the message.
bool PreTranslateWindowMessage(const MSG& message);

// The installed face that stands for one of the program's face names: the name itself where the
// system has it (Windows has every one of them), else the first of FontFamiliesFor (Wine's
// prefix may have none of Windows' fonts); the name itself when none is installed.
std::wstring InstalledFace(const std::string& face);

class SkinnedWindow : public Canvas, public Controls, public WindowHost {
 public:
  // `owner` is the window a popup is centred over and modal to; null for the main window.
  SkinnedWindow(WindowModel& model, const ShellContext& context, SkinnedWindow* owner = nullptr);
  ~SkinnedWindow() override;
  SkinnedWindow(const SkinnedWindow&) = delete;
  SkinnedWindow& operator=(const SkinnedWindow&) = delete;

  // attach() and onInitialise() of the model; returns what onInitialise returned.
  bool initialiseModel();
  WindowModel& model() { return model_; }
  HWND handle() const { return window_; }
  // The skinned window `window` is, or null.
  static SkinnedWindow* FromHandle(HWND window);
  // The whole text of a text at `at` (window coordinates) that had to be shrunk or cut to fit
  // its box, a canvas text or a static control's; empty when none. It is the tooltip there.
  std::string toolTipAt(Point at) const;
  // The tooltip control of this window.
  HWND toolTips() const { return tips_; }
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

 private:
  friend bool RegisterSkinnedWindowClass(HINSTANCE instance);
  // While unrealised: keeps `call` (a call of this window's own, made again once realised) and
  // returns true; realised: false, the caller goes on to do the work now.
  bool keep(std::function<void()> call);
  // Makes the kept calls in the order they came. Const: a query realises before it answers.
  void realise() const;
  // The back buffer becomes a copy of the picture at `path` and the window takes its size;
  // false (both unchanged) when it cannot be decoded.
  bool takeBackground(const std::string& path);
  struct Child {
    ControlKind kind;
    HWND window;
    ControlStyle style;
    HBRUSH background = nullptr;  // the control's background brush (WM_CTLCOLOR*)
    std::string wholeText{};      // statics: the whole text, drawn fitted to the box
    bool cut = false;             // statics: the whole text shrunk or cut to fit (its tooltip)
    // List boxes: the slim scroll bar's handle held by the pointer, this far below its top.
    std::optional<int> dragGrab{};
    int shownTop = 0;  // list boxes: the top index and count the frame was drawn for
    int shownCount = 0;
  };
  // A single-line text fitted to a width: the face's height it is drawn in, and whether it is
  // cut with an ellipsis; `asGiven` when it fits in the height asked for.
  struct Fitted {
    FontSpec font;
    bool ellipsis = false;
    bool asGiven = true;
  };
  // A canvas text shrunk or cut to fit its box: the box and the whole text.
  struct CanvasTip {
    Rect area;
    std::string text;
  };

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ChildProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR subclass, DWORD_PTR data);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT childMessage(int id, HWND child, UINT message, WPARAM wParam, LPARAM lParam);
  // The pointer's moves and right presses over a child go to the model before the child.
  LRESULT pointerFirst(int id, HWND child, UINT message, WPARAM wParam, LPARAM lParam);
  void paint();
  void drawOwnerDrawn(const DRAWITEMSTRUCT& item);
  const Child* child(int id) const;
  const Child* childOf(HWND window) const;
  HWND listBox(int id) const;
  const SkinPicture* picture(const std::string& path);
  HFONT font(const FontSpec& spec);
  void applyStyle(Child& child, const ControlStyle& style);
  Fitted fitLine(HDC dc, const std::wstring& text, int width, const FontSpec& spec);
  // Whether a static's whole text needs its tooltip, after its text or style changed.
  void refit(Child& child);
  // A picture or fill painted over a whole text box hides that text: its tip goes too.
  void forgetTipsWithin(const Rect& painted);
  // Gives the tooltip control the tips as they are now.
  void syncTips();
  // The statics shown whose text was shrunk or cut to fit, each with its box in the window's
  // client coordinates, in control-id order (the order the tooltip control finds them).
  std::vector<std::pair<int, RECT>> cutStatics() const;
  // List boxes' own frame (WM_NCCALCSIZE, WM_NCPAINT, the scroll bar's pointer messages);
  // nullopt for the messages the list handles itself.
  std::optional<LRESULT> listFrameMessage(Child& list, UINT message, WPARAM wParam, LPARAM lParam);
  // Draws the list's border and scroll bar into its non-client area.
  void paintListFrame(const Child& list) const;
  // The frame again after the list's rows or scroll position changed.
  void followListChange(Child& list);
  Point clientPoint(LPARAM lParam) const;
  // Closes the message boxes, colour dialogs and menus this window has open.
  void closeOwnedDialogs();
  // Destroys the controls destroy() retired.
  void destroyRetired();

  WindowModel& model_;
  const ShellContext& context_;
  SkinnedWindow* owner_;
  mutable KeptCalls kept_;
  bool keptBackground_ = false;  // a kept call sets a background (there is a buffer once made)
  HWND window_ = nullptr;
  HDC bufferDc_ = nullptr;
  HBITMAP buffer_ = nullptr;
  HGDIOBJ bufferOld_ = nullptr;
  Size bufferSize_{};
  std::map<std::string, std::unique_ptr<SkinPicture>> cache_;  // decoded pictures by path
  std::map<std::tuple<std::string, int, int>, HFONT> fonts_;   // face, height, weight
  std::map<int, Child> controls_;
  // Controls destroy() took away, hidden, until the loop comes back to destroy them.
  std::vector<std::pair<HWND, HBRUSH>> retired_;
  HWND tips_ = nullptr;                // the tooltip control
  std::vector<CanvasTip> canvasTips_;  // drawing a text into a box replaces that box's entry
  bool canvasTipsChanged_ = false;     // given to the tooltip control at the next present()
  bool settingText_ = false;           // an edit's text set from code raises no change notification
  bool tracking_ = false;              // TrackMouseEvent asked for the leave
  Point hoverAt_{};
  // Where the main window shows next: unset until its first show centres it, then where it was
  // when it was last hidden.
  std::optional<POINT> placedAt_;
  // The modal run of this (popup) window.
  bool running_ = false;
  bool modalEnded_ = false;  // endModal was called: later calls change nothing
  int modalCode_ = 0;
  SkinnedWindow* runningPopup_ = nullptr;  // the popup runModal shows now
};

}  // namespace vm31::win32
