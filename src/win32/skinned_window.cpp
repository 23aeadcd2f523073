#include "win32/skinned_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/ui/fonts.h"
#include "win32/key_translation.h"
#include "win32/message_loop.h"
#include "win32/wide_text.h"

namespace vm31::win32 {
namespace {

constexpr UINT_PTR kHoverTimer = 1;
// Posted to a window to destroy the child controls it retired (see destroy()).
constexpr UINT kDestroyRetired = WM_APP + 1;
constexpr UINT kHoverRestMs = 10;
constexpr UINT_PTR kChildSubclass = 1;
// The smallest cell height a single-line text shrinks to before it is cut with an ellipsis.
constexpr int kSmallestFittedHeight = 7;

COLORREF ToColorRef(Rgb colour) {
  return RGB(colour.red, colour.green, colour.blue);
}

RECT ToRect(const Rect& rect) {
  return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

UINT DrawTextFlags(TextFormat format) {
  constexpr UINT single = DT_SINGLELINE | DT_NOPREFIX;
  switch (format) {
    case TextFormat::kLeft:
      return single | DT_LEFT | DT_VCENTER;
    case TextFormat::kCentre:
      return single | DT_CENTER | DT_VCENTER;
    case TextFormat::kRight:
      return single | DT_RIGHT | DT_VCENTER;
    case TextFormat::kTopCentre:
      return single | DT_CENTER | DT_TOP;
    case TextFormat::kWordWrap:
      return DT_WORDBREAK | DT_NOPREFIX | DT_LEFT | DT_TOP;
  }
  return single;
}

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  return extent.cx;
}

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, face.size());
  HDC screen = ::GetDC(nullptr);
  bool found = false;
  ::EnumFontFamiliesExW(screen, &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// Selects an object into a device context for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~Selected() { ::SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

std::wstring InstalledFace(const std::string& face) {
  static std::map<std::string, std::wstring> chosen;
  if (const auto found = chosen.find(face); found != chosen.end()) return found->second;
  std::wstring result = Wide(face);
  if (!FaceInstalled(result)) {
    for (std::string_view family : FontFamiliesFor(face)) {
      if (std::wstring candidate = Wide(family); FaceInstalled(candidate)) {
        result = std::move(candidate);
        break;
      }
    }
  }
  chosen.emplace(face, result);
  return result;
}

bool RegisterSkinnedWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &SkinnedWindow::WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClassName;
  return ::RegisterClassExW(&windowClass) != 0;
}

bool PreTranslateWindowMessage(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      break;
    default:
      return false;
  }
  SkinnedWindow* window = SkinnedWindow::FromHandle(::GetAncestor(message.hwnd, GA_ROOT));
  if (window == nullptr) return false;
  const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
  const KeyEvent key = TranslateKeyMessage(down, message.wParam, message.lParam, message.time);
  return window->model().onKey(key) == KeyDisposition::kSwallow;
}

SkinnedWindow* SkinnedWindow::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  wchar_t name[64] = {};
  if (::GetClassNameW(window, name, 64) == 0 || std::wstring_view(name) != kWindowClassName) {
    return nullptr;
  }
  return reinterpret_cast<SkinnedWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

SkinnedWindow::SkinnedWindow(WindowModel& model, const ShellContext& context, SkinnedWindow* owner)
    : model_(model), context_(context), owner_(owner) {
  const std::wstring title = Wide(context_.windowTitle);
  window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClassName, title.c_str(),
                              WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX, CW_USEDEFAULT,
                              CW_USEDEFAULT, 1, 1, owner != nullptr ? owner->window_ : nullptr,
                              nullptr, context_.instance, this);
  if (window_ != nullptr && context_.icon != nullptr) {
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(context_.icon));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(context_.icon));
  }
  bufferDc_ = ::CreateCompatibleDC(nullptr);
}

SkinnedWindow::~SkinnedWindow() {
  destroyRetired();
  for (auto& [id, child] : controls_) {
    ::DestroyWindow(child.window);
    ::DeleteObject(child.background);
  }
  controls_.clear();
  if (window_ != nullptr) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  if (bufferOld_ != nullptr) ::SelectObject(bufferDc_, bufferOld_);
  if (buffer_ != nullptr) ::DeleteObject(buffer_);
  ::DeleteDC(bufferDc_);
  for (auto& [key, handle] : fonts_) ::DeleteObject(handle);
}

bool SkinnedWindow::initialiseModel() {
  model_.attach(WindowPorts{this, this, this});
  return model_.onInitialise();
}

// --- Canvas ----------------------------------------------------------------------------------

const SkinPicture* SkinnedWindow::picture(const std::string& path) {
  auto found = cache_.find(path);
  if (found == cache_.end()) {
    std::unique_ptr<SkinPicture> decoded = SkinPicture::Load(path);
    if (decoded == nullptr) return nullptr;  // a picture that appears later is found then
    found = cache_.emplace(path, std::move(decoded)).first;
  }
  return found->second.get();
}

bool SkinnedWindow::drawImage(const std::string& path, Point at) {
  const SkinPicture* image = picture(path);
  if (image == nullptr || buffer_ == nullptr) return false;
  HDC source = ::CreateCompatibleDC(bufferDc_);
  {
    Selected selected(source, image->bitmap());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(bufferDc_, at.x, at.y, image->size().width, image->size().height, source, 0, 0,
                    image->size().width, image->size().height, blend);
  }
  ::DeleteDC(source);
  return true;
}

std::optional<Size> SkinnedWindow::imageSize(const std::string& path) {
  const SkinPicture* image = picture(path);
  if (image == nullptr) return std::nullopt;
  return image->size();
}

void SkinnedWindow::dropImageCache() {
  cache_.clear();
}

void SkinnedWindow::fillRect(const Rect& box, Rgb colour) {
  if (buffer_ == nullptr) return;
  HBRUSH brush = ::CreateSolidBrush(ToColorRef(colour));
  const RECT area = ToRect(box);
  ::FillRect(bufferDc_, &area, brush);
  ::DeleteObject(brush);
}

HFONT SkinnedWindow::font(const FontSpec& spec) {
  const auto key = std::make_tuple(spec.face, spec.height, spec.weight);
  if (const auto found = fonts_.find(key); found != fonts_.end()) return found->second;
  // A positive height asks for the character cell height, the program's own measure.
  const std::wstring face = InstalledFace(spec.face);
  HFONT created =
      ::CreateFontW(spec.height > 0 ? spec.height : 12, 0, 0, 0, spec.weight, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                    DEFAULT_PITCH, face.c_str());
  fonts_.emplace(key, created);
  return created;
}

void SkinnedWindow::drawText(std::string_view text, const Rect& box, const FontSpec& spec,
                             Rgb colour, TextFormat format) {
  if (buffer_ == nullptr) return;
  std::wstring wide = Wide(text);
  RECT area = ToRect(box);
  ::SetBkMode(bufferDc_, TRANSPARENT);
  ::SetTextColor(bufferDc_, ToColorRef(colour));
  UINT flags = DrawTextFlags(format);
  FontSpec fitted = spec;
  if (format != TextFormat::kWordWrap) {
    // Too wide: the largest smaller height of the same face that fits, else cut with an
    // ellipsis at the smallest.
    Selected selected(bufferDc_, font(fitted));
    if (TextWidth(bufferDc_, wide) > box.width()) {
      bool fits = false;
      for (int height = spec.height - 1; height >= kSmallestFittedHeight && !fits; --height) {
        fitted.height = height;
        Selected smaller(bufferDc_, font(fitted));
        fits = TextWidth(bufferDc_, wide) <= box.width();
      }
      if (!fits) {
        fitted.height = std::min(std::max(1, spec.height), kSmallestFittedHeight);
        flags |= DT_END_ELLIPSIS;
      }
    }
  }
  Selected selected(bufferDc_, font(fitted));
  ::DrawTextW(bufferDc_, wide.data(), static_cast<int>(wide.size()), &area, flags);
  ::GdiFlush();
}

int SkinnedWindow::measureWrappedHeight(std::string_view text, int width, const FontSpec& spec) {
  const std::wstring wide = Wide(text);
  RECT area{0, 0, std::max(1, width), 1 << 20};
  Selected selected(bufferDc_, font(spec));
  ::DrawTextW(bufferDc_, wide.c_str(), static_cast<int>(wide.size()), &area,
              DrawTextFlags(TextFormat::kWordWrap) | DT_CALCRECT);
  return area.bottom - area.top;
}

void SkinnedWindow::present() {
  ::InvalidateRect(window_, nullptr, FALSE);
  // Child controls lie over the buffer: the transparent statics redraw from it.
  for (const auto& [id, child] : controls_) {
    if (child.kind == ControlKind::kStatic) ::InvalidateRect(child.window, nullptr, FALSE);
  }
}

void SkinnedWindow::paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window_, &paint);
  if (buffer_ == nullptr) {
    ::FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  } else {
    ::BitBlt(dc, 0, 0, bufferSize_.width, bufferSize_.height, bufferDc_, 0, 0, SRCCOPY);
  }
  ::EndPaint(window_, &paint);
}

// --- Controls --------------------------------------------------------------------------------

const SkinnedWindow::Child* SkinnedWindow::child(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : &found->second;
}

const SkinnedWindow::Child* SkinnedWindow::childOf(HWND window) const {
  for (const auto& [id, entry] : controls_) {
    if (entry.window == window) return &entry;
  }
  return nullptr;
}

HWND SkinnedWindow::listBox(int id) const {
  const Child* found = child(id);
  return found != nullptr && found->kind == ControlKind::kListBox ? found->window : nullptr;
}

void SkinnedWindow::create(int id, ControlKind kind, const Rect& rect, const ControlStyle& style) {
  destroy(id);
  const wchar_t* className = WC_STATICW;
  DWORD windowStyle = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::kStatic:
      // Drawn here (WM_DRAWITEM): over the back buffer when transparent, the text fitted.
      windowStyle |= SS_OWNERDRAW;
      break;
    case ControlKind::kEdit:
      className = WC_EDITW;
      windowStyle |= WS_TABSTOP | ES_AUTOHSCROLL;
      if (style.centred) windowStyle |= ES_CENTER;
      if (style.readOnly) windowStyle |= ES_READONLY;
      if (style.numbersOnly) windowStyle |= ES_NUMBER;
      break;
    case ControlKind::kListBox:
      className = WC_LISTBOXW;
      // Entries drawn here in the control's colours, kListRowHeight high; only the user's own
      // clicks notify (LB_SETCURSEL never does).
      windowStyle |=
          WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
      if (style.columns > 1)
        windowStyle = (windowStyle & ~WS_VSCROLL) | LBS_MULTICOLUMN | WS_HSCROLL;
      if (style.border) windowStyle |= WS_BORDER;
      break;
  }
  HWND created = ::CreateWindowExW(
      0, className, L"", windowStyle, rect.left, rect.top, rect.width(), rect.height(), window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), context_.instance, nullptr);
  if (created == nullptr) return;
  ::SetWindowSubclass(created, &SkinnedWindow::ChildProcedure, kChildSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
  Child entry{kind, created, style, nullptr, {}};
  applyStyle(entry, style);
  controls_.emplace(id, std::move(entry));
}

void SkinnedWindow::applyStyle(Child& entry, const ControlStyle& style) {
  entry.style = style;
  if (entry.background != nullptr) ::DeleteObject(entry.background);
  entry.background = ::CreateSolidBrush(ToColorRef(style.background));
  ::SendMessageW(entry.window, WM_SETFONT, reinterpret_cast<WPARAM>(font(style.font)), TRUE);
  if (entry.kind == ControlKind::kEdit) {
    ::SendMessageW(entry.window, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(0, style.maxLength)),
                   0);
    ::SendMessageW(entry.window, EM_SETREADONLY, style.readOnly ? TRUE : FALSE, 0);
  }
  if (entry.kind == ControlKind::kListBox) {
    ::SendMessageW(entry.window, LB_SETITEMHEIGHT, 0, kListRowHeight);
    if (style.columns > 1) {
      RECT client{};
      ::GetClientRect(entry.window, &client);
      ::SendMessageW(entry.window, LB_SETCOLUMNWIDTH,
                     static_cast<WPARAM>((client.right - client.left) / style.columns), 0);
    }
  }
  ::InvalidateRect(entry.window, nullptr, TRUE);
}

void SkinnedWindow::destroy(int id) {
  const auto found = controls_.find(id);
  if (found == controls_.end()) return;
  HWND window = found->second.window;
  HBRUSH brush = found->second.background;
  controls_.erase(found);
  // The model may destroy a control from inside one of its own notifications (a list that
  // closes on the user's choice), while the control's own code still runs below: it is hidden
  // and forgotten now and destroyed once the loop comes back (the posted message).
  ::RemoveWindowSubclass(window, &SkinnedWindow::ChildProcedure, kChildSubclass);
  ::ShowWindow(window, SW_HIDE);
  retired_.push_back({window, brush});
  ::PostMessageW(window_, kDestroyRetired, 0, 0);
}

void SkinnedWindow::destroyRetired() {
  for (const auto& [window, brush] : std::exchange(retired_, {})) {
    ::DestroyWindow(window);
    ::DeleteObject(brush);
  }
}

bool SkinnedWindow::exists(int id) const {
  return controls_.count(id) != 0;
}

void SkinnedWindow::setStyle(int id, const ControlStyle& style) {
  const auto found = controls_.find(id);
  if (found != controls_.end()) applyStyle(found->second, style);
}

void SkinnedWindow::setVisible(int id, bool visible) {
  if (const Child* found = child(id)) ::ShowWindow(found->window, visible ? SW_SHOWNA : SW_HIDE);
}

void SkinnedWindow::setFocus(int id) {
  if (id == kNoControl) {
    ::SetFocus(window_);
  } else if (const Child* found = child(id)) {
    ::SetFocus(found->window);
  }
}

int SkinnedWindow::focusedControl() const {
  const Child* found = childOf(::GetFocus());
  if (found == nullptr) return kNoControl;
  return ::GetDlgCtrlID(found->window);
}

void SkinnedWindow::setText(int id, std::string_view text) {
  const auto found = controls_.find(id);
  if (found == controls_.end()) return;
  Child& entry = found->second;
  if (entry.kind == ControlKind::kStatic) {
    entry.wholeText = std::string(text);
    ::InvalidateRect(entry.window, nullptr, FALSE);
  } else if (entry.kind == ControlKind::kEdit) {
    const std::wstring wide = Wide(text);
    settingText_ = true;
    ::SetWindowTextW(entry.window, wide.c_str());
    settingText_ = false;
  }
}

std::string SkinnedWindow::text(int id) const {
  const Child* found = child(id);
  if (found == nullptr) return {};
  if (found->kind == ControlKind::kStatic) return found->wholeText;
  if (found->kind != ControlKind::kEdit) return {};
  std::wstring wide(static_cast<std::size_t>(::GetWindowTextLengthW(found->window)) + 1, L'\0');
  const int length = ::GetWindowTextW(found->window, wide.data(), static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(std::max(0, length)));
  return Utf8(wide);
}

void SkinnedWindow::clearItems(int id) {
  if (HWND list = listBox(id)) ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

void SkinnedWindow::addItem(int id, std::string_view text) {
  insertItem(id, -1, text);
}

void SkinnedWindow::insertItem(int id, int index, std::string_view text) {
  HWND list = listBox(id);
  if (list == nullptr) return;
  const int count = itemCount(id);
  if (index < 0 || index > count) index = count;
  const std::wstring wide = Wide(text);
  ::SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(wide.c_str()));
}

void SkinnedWindow::deleteItem(int id, int index) {
  HWND list = listBox(id);
  if (list == nullptr || index < 0 || index >= itemCount(id)) return;
  ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

int SkinnedWindow::itemCount(int id) const {
  HWND list = listBox(id);
  if (list == nullptr) return 0;
  return std::max(0, static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0)));
}

std::string SkinnedWindow::itemText(int id, int index) const {
  HWND list = listBox(id);
  if (list == nullptr || index < 0 || index >= itemCount(id)) return {};
  const auto length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(wide.data()));
  wide.resize(static_cast<std::size_t>(length));
  return Utf8(wide);
}

void SkinnedWindow::setSelection(int id, int index) {
  HWND list = listBox(id);
  if (list == nullptr) return;
  if (index < 0 || index >= itemCount(id)) index = -1;
  ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int SkinnedWindow::selection(int id) const {
  HWND list = listBox(id);
  if (list == nullptr) return -1;
  const auto selected = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
  return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

int SkinnedWindow::itemAt(int id, Point at) const {
  HWND list = listBox(id);
  if (list == nullptr) return -1;
  POINT local{at.x, at.y};
  ::MapWindowPoints(window_, list, &local, 1);
  RECT client{};
  ::GetClientRect(list, &client);
  if (!::PtInRect(&client, local)) return -1;
  const auto found = ::SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(local.x, local.y));
  if (HIWORD(found) != 0) return -1;  // outside every item
  const int index = LOWORD(found);
  return index < itemCount(id) ? index : -1;
}

void SkinnedWindow::setTopIndex(int id, int index) {
  HWND list = listBox(id);
  if (list == nullptr || index < 0 || index >= itemCount(id)) return;
  ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

int SkinnedWindow::topIndex(int id) const {
  HWND list = listBox(id);
  if (list == nullptr) return 0;
  return std::max(0, static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0)));
}

void SkinnedWindow::drawOwnerDrawn(const DRAWITEMSTRUCT& item) {
  const Child* entry = childOf(item.hwndItem);
  if (entry == nullptr) return;
  const ControlStyle& style = entry->style;
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  ::SetBkMode(dc, TRANSPARENT);
  if (entry->kind == ControlKind::kStatic) {
    if (style.transparent && buffer_ != nullptr) {
      // What lies behind the control: the window's back buffer there.
      POINT origin{0, 0};
      ::MapWindowPoints(item.hwndItem, window_, &origin, 1);
      ::BitBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, bufferDc_,
               origin.x + box.left, origin.y + box.top, SRCCOPY);
    } else {
      ::FillRect(dc, &box, entry->background);
    }
    // The same fitting as canvas texts: a smaller height of the face, then an ellipsis.
    const std::wstring wide = Wide(entry->wholeText);
    const int width = box.right - box.left;
    FontSpec fitted = style.font;
    UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | (style.centred ? DT_CENTER : DT_LEFT);
    {
      Selected selected(dc, font(fitted));
      if (TextWidth(dc, wide) > width) {
        bool fits = false;
        for (int height = style.font.height - 1; height >= kSmallestFittedHeight && !fits;
             --height) {
          fitted.height = height;
          Selected smaller(dc, font(fitted));
          fits = TextWidth(dc, wide) <= width;
        }
        if (!fits) {
          fitted.height = std::min(std::max(1, style.font.height), kSmallestFittedHeight);
          flags |= DT_END_ELLIPSIS;
        }
      }
    }
    Selected selected(dc, font(fitted));
    ::SetTextColor(dc, ToColorRef(style.text));
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &box, flags);
    return;
  }
  // A list entry: the selection inverted (the text colour behind, the background colour on top).
  if (item.itemID == static_cast<UINT>(-1)) {
    ::FillRect(dc, &box, entry->background);
    return;
  }
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  HBRUSH back = selected ? ::CreateSolidBrush(ToColorRef(style.text)) : entry->background;
  ::FillRect(dc, &box, back);
  if (selected) ::DeleteObject(back);
  const auto length = ::SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  std::wstring wide(static_cast<std::size_t>(std::max<LRESULT>(0, length)) + 1, L'\0');
  ::SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(wide.data()));
  wide.resize(static_cast<std::size_t>(std::max<LRESULT>(0, length)));
  ::SetTextColor(dc, ToColorRef(selected ? style.background : style.text));
  Selected listFont(dc, font(style.font));
  box.left += 2;
  ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &box,
              DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
}

// --- WindowHost ------------------------------------------------------------------------------

void SkinnedWindow::show() {
  // The main window: centred in the work area at its first show, then where the user left it.
  if (owner_ == nullptr && !isVisible()) {
    if (!placedAt_) {
      RECT work{};
      ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      placedAt_ = POINT{work.left + (work.right - work.left - bufferSize_.width) / 2,
                        work.top + (work.bottom - work.top - bufferSize_.height) / 2};
    }
    ::SetWindowPos(window_, nullptr, placedAt_->x, placedAt_->y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::ShowWindow(window_, ::IsIconic(window_) ? SW_RESTORE : SW_SHOW);
}

void SkinnedWindow::hide() {
  ::KillTimer(window_, kHoverTimer);
  if (owner_ == nullptr && isVisible()) {
    RECT placed{};
    ::GetWindowRect(window_, &placed);
    placedAt_ = POINT{placed.left, placed.top};
  }
  ::ShowWindow(window_, SW_HIDE);
}

bool SkinnedWindow::isVisible() const {
  return ::IsWindowVisible(window_) != FALSE;
}

void SkinnedWindow::minimise() {
  ::ShowWindow(window_, SW_MINIMIZE);
}

void SkinnedWindow::bringToFront() {
  ::BringWindowToTop(window_);
  ::SetForegroundWindow(window_);
}

void SkinnedWindow::setCaption(std::string_view caption) {
  // An empty caption gives the window back its own title.
  const std::wstring title =
      Wide(caption.empty() ? std::string_view(context_.windowTitle) : caption);
  ::SetWindowTextW(window_, title.c_str());
}

std::optional<Size> SkinnedWindow::setBackgroundImage(const std::string& path) {
  const SkinPicture* image = picture(path);
  if (image == nullptr) return std::nullopt;
  std::uint32_t* pixels = nullptr;
  HBITMAP copy = CreateTopDownDib(image->size(), &pixels);
  if (copy == nullptr) return std::nullopt;
  std::copy_n(image->pixels(), static_cast<std::size_t>(image->size().width) * image->size().height,
              pixels);
  if (bufferOld_ != nullptr) ::SelectObject(bufferDc_, bufferOld_);
  if (buffer_ != nullptr) ::DeleteObject(buffer_);
  buffer_ = copy;
  bufferOld_ = ::SelectObject(bufferDc_, buffer_);
  bufferSize_ = image->size();
  ::SetWindowPos(window_, nullptr, 0, 0, bufferSize_.width, bufferSize_.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(window_, nullptr, FALSE);
  return bufferSize_;
}

void SkinnedWindow::startDrag() {
  // The system's own move, as a press on a caption would start it.
  ::ReleaseCapture();
  ::SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void SkinnedWindow::messageBox(std::string_view text, std::string_view caption,
                               MessageBoxIcon icon) {
  const std::wstring wideText = Wide(text);
  const std::wstring wideCaption =
      Wide(caption.empty() ? std::string_view(context_.programName) : caption);
  ::MessageBoxW(window_, wideText.c_str(), wideCaption.c_str(),
                MB_OK | (icon == MessageBoxIcon::kWarning ? MB_ICONWARNING : 0));
}

std::optional<Rgb> SkinnedWindow::chooseColour(Rgb initial) {
  static COLORREF customColours[16] = {};
  CHOOSECOLORW choice{};
  choice.lStructSize = sizeof(choice);
  choice.hwndOwner = window_;
  choice.rgbResult = ToColorRef(initial);
  choice.lpCustColors = customColours;
  choice.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!::ChooseColorW(&choice)) return std::nullopt;
  return Rgb{GetRValue(choice.rgbResult), GetGValue(choice.rgbResult), GetBValue(choice.rgbResult)};
}

void SkinnedWindow::popupMenu(const std::vector<MenuItem>& items) {
  HMENU menu = ::CreatePopupMenu();
  for (const MenuItem& item : items) {
    const std::wstring text = Wide(item.text);
    ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command), text.c_str());
  }
  POINT at{};
  ::GetCursorPos(&at);
  ::SetForegroundWindow(window_);  // else the menu does not close on a click elsewhere
  const int chosen = static_cast<int>(::TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
  ::DestroyMenu(menu);
  if (chosen != 0) model_.onCommand(chosen);
}

int SkinnedWindow::runModal(WindowModel& popup) {
  SkinnedWindow window(popup, context_, this);
  window.running_ = true;
  window.initialiseModel();
  // Centred over this window, as dialogs open over their owner.
  RECT owner{};
  ::GetWindowRect(window_, &owner);
  const int left = (owner.left + owner.right - window.bufferSize_.width) / 2;
  const int top = (owner.top + owner.bottom - window.bufferSize_.height) / 2;
  ::SetWindowPos(window.window_, HWND_TOP, left, top, 0, 0, SWP_NOSIZE);
  if (!window.modalEnded_) {  // not ended from inside onInitialise
    SkinnedWindow* const outerPopup = std::exchange(runningPopup_, &window);
    ::EnableWindow(window_, FALSE);
    ::ShowWindow(window.window_, SW_SHOW);
    ::SetForegroundWindow(window.window_);
    ProcessLoop().run([&window] { return window.modalEnded_; });
    ::EnableWindow(window_, TRUE);
    runningPopup_ = outerPopup;
  }
  ::ShowWindow(window.window_, SW_HIDE);
  if (isVisible()) ::SetForegroundWindow(window_);
  return window.modalCode_;
}

void SkinnedWindow::closeOwnedDialogs() {
  // A message box or colour dialog of this window runs a loop inside the popup's: it is closed
  // (as its Cancel), and an open menu is ended, so the popup's run can end now.
  ::EndMenu();
  struct Search {
    HWND owner;
    std::vector<HWND> dialogs;
  } search{window_, {}};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* found = reinterpret_cast<Search*>(data);
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (::GetWindow(window, GW_OWNER) == found->owner && std::wstring_view(name) == L"#32770") {
          found->dialogs.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  for (HWND dialog : search.dialogs) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
}

void SkinnedWindow::endModal(int code) {
  if (modalEnded_) return;  // a run ends once: the first code given stands
  modalEnded_ = true;
  modalCode_ = code;
  closeOwnedDialogs();
  ::PostMessageW(window_, WM_NULL, 0, 0);  // the run's loop looks again
}

void SkinnedWindow::endRunningModal(int code) {
  if (runningPopup_ != nullptr) runningPopup_->endModal(code);
}

void SkinnedWindow::endProcess(int code) {
  if (context_.beforeExit) context_.beforeExit();
  // Ends at once, without static destructors or atexit handlers: they would run while the
  // reader thread is still live.
  std::fflush(nullptr);
  std::_Exit(code);
}

// --- messages --------------------------------------------------------------------------------

Point SkinnedWindow::clientPoint(LPARAM lParam) const {
  return Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

LRESULT CALLBACK SkinnedWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<SkinnedWindow*>(create->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<SkinnedWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->handle(message, wParam, lParam);
}

LRESULT SkinnedWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint();
      return 0;
    case kDestroyRetired:
      destroyRetired();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the buffer covers the whole window
    case WM_ENTERIDLE:
      // A message box or colour dialog of this window has an empty queue: the device events
      // are served meanwhile (an unplug closes the dialog through endModal).
      ProcessLoop().waitWhileIdle();
      return 0;
    case WM_CLOSE:
      model_.onClose();  // the model decides (the main window only hides)
      return 0;
    case WM_LBUTTONDOWN:
      model_.onLeftButtonDown(clientPoint(lParam));
      return 0;
    case WM_MOUSEMOVE: {
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window_, 0};
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
      }
      hoverAt_ = clientPoint(lParam);
      model_.onMouseMove(hoverAt_);
      ::SetTimer(window_, kHoverTimer, kHoverRestMs, nullptr);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kHoverTimer) {
        ::KillTimer(window_, kHoverTimer);
        model_.onHover(hoverAt_);
      }
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      ::KillTimer(window_, kHoverTimer);
      model_.onMouseLeave();
      return 0;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
      ::ScreenToClient(window_, &at);
      model_.onWheel(GET_WHEEL_DELTA_WPARAM(wParam), Point{at.x, at.y});
      return 0;
    }
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->CtlType == ODT_LISTBOX) measure->itemHeight = kListRowHeight;
      return TRUE;
    }
    case WM_DRAWITEM:
      drawOwnerDrawn(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:  // read-only edits
    case WM_CTLCOLORLISTBOX: {
      const Child* entry = childOf(reinterpret_cast<HWND>(lParam));
      if (entry == nullptr) break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, ToColorRef(entry->style.text));
      ::SetBkColor(dc, ToColorRef(entry->style.background));
      return reinterpret_cast<LRESULT>(entry->background);
    }
    case WM_COMMAND: {
      if (lParam == 0) break;  // menus and accelerators: none here
      const int id = LOWORD(wParam);
      const Child* entry = child(id);
      if (entry == nullptr || entry->window != reinterpret_cast<HWND>(lParam)) break;
      const UINT code = HIWORD(wParam);
      if (entry->kind == ControlKind::kEdit) {
        if (code == EN_CHANGE && !settingText_) {
          model_.onControlNotify(id, ControlNotification::kEditChange);
        } else if (code == EN_KILLFOCUS) {
          model_.onControlNotify(id, ControlNotification::kFocusLost);
        }
      } else if (entry->kind == ControlKind::kListBox) {
        if (code == LBN_SELCHANGE) {
          model_.onControlNotify(id, ControlNotification::kSelectionChange);
        } else if (code == LBN_DBLCLK) {
          model_.onControlNotify(id, ControlNotification::kDoubleClick);
        } else if (code == LBN_KILLFOCUS) {
          model_.onControlNotify(id, ControlNotification::kFocusLost);
        }
      }
      return 0;
    }
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK SkinnedWindow::ChildProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<SkinnedWindow*>(data);
  return self->childMessage(::GetDlgCtrlID(window), window, message, wParam, lParam);
}

LRESULT SkinnedWindow::childMessage(int id, HWND child, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
  // Pointer events over a child control, in window coordinates, before the control's own
  // handling (hover selection in drop-down lists, the step list's menu).
  if (message == WM_MOUSEMOVE || message == WM_RBUTTONDOWN) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::MapWindowPoints(child, window_, &at, 1);
    if (message == WM_MOUSEMOVE) {
      model_.onControlMouseMove(id, Point{at.x, at.y});
    } else {
      model_.onControlRightButtonDown(id, Point{at.x, at.y});
      return 0;
    }
  }
  return ::DefSubclassProc(child, message, wParam, lParam);
}

}  // namespace vm31::win32
