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
// Tooltips wider than this wrap.
constexpr int kWidestTip = 480;
// Tool ids of the tooltip control: canvas texts from 1, static controls by their control id.
constexpr UINT_PTR kStaticTipBase = 0x10000;

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

// Where a list box's parts lie in its window (origin at the window's top-left corner): the
// rows inside the border, and the scroll bar's groove and handle when the rows do not all fit
// (single-column lists only: a list over columns shows every entry).
struct ListGeometry {
  RECT rows{};
  bool scrolls = false;
  RECT groove{};
  RECT handle{};
  int visibleRows = 1;
  int lastTop = 0;  // the largest top index
};

ListGeometry MeasureList(int width, int height, const ControlStyle& style, int count, int top) {
  ListGeometry geometry;
  const int inset = style.border ? 1 : 0;
  geometry.rows =
      RECT{inset, inset, std::max(inset, width - inset), std::max(inset, height - inset)};
  const int rowsHeight = geometry.rows.bottom - geometry.rows.top;
  geometry.visibleRows = std::max(1, rowsHeight / kListRowHeight);
  geometry.scrolls = style.columns <= 1 && count * kListRowHeight > rowsHeight &&
                     geometry.rows.right - geometry.rows.left > kListScrollBarWidth;
  if (!geometry.scrolls) return geometry;
  geometry.lastTop = std::max(1, count - geometry.visibleRows);
  geometry.rows.right -= kListScrollBarWidth;
  geometry.groove = RECT{geometry.rows.right, geometry.rows.top,
                         geometry.rows.right + kListScrollBarWidth, geometry.rows.bottom};
  const int handleHeight = std::min(
      rowsHeight, std::max(kListSmallestHandle, rowsHeight * geometry.visibleRows / count));
  const int handleTop = geometry.groove.top + (rowsHeight - handleHeight) *
                                                  std::clamp(top, 0, geometry.lastTop) /
                                                  geometry.lastTop;
  geometry.handle =
      RECT{geometry.groove.left, handleTop, geometry.groove.right, handleTop + handleHeight};
  return geometry;
}

ListGeometry MeasureList(HWND list, const ControlStyle& style) {
  RECT placed{};
  ::GetWindowRect(list, &placed);
  const auto count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  const auto top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  return MeasureList(placed.right - placed.left, placed.bottom - placed.top, style,
                     std::max(0, count), std::max(0, top));
}

// A point of a list's message in its window's coordinates (see ListGeometry): from screen
// coordinates (non-client messages) or client coordinates.
POINT InListWindow(HWND list, POINT at, bool fromClient) {
  if (fromClient) ::ClientToScreen(list, &at);
  RECT placed{};
  ::GetWindowRect(list, &placed);
  return POINT{at.x - placed.left, at.y - placed.top};
}

// A control not hidden itself, whether its window is shown or not.
bool VisibleItself(HWND control) {
  return (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
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
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&classes);  // the tooltip control's class
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
    : model_(model), context_(context), owner_(owner), kept_(owner != nullptr) {
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
  if (window_ != nullptr) {
    // Always shown, also over a window that is not the active one.
    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, context_.instance,
                              nullptr);
    if (tips_ != nullptr) ::SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, kWidestTip);
  }
}

SkinnedWindow::~SkinnedWindow() {
  destroyRetired();
  for (auto& [id, child] : controls_) {
    ::DestroyWindow(child.window);
    ::DeleteObject(child.background);
  }
  controls_.clear();
  if (tips_ != nullptr) ::DestroyWindow(tips_);
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

bool SkinnedWindow::keep(std::function<void()> call) {
  return kept_.keep(std::move(call));
}

// The calls run as this window's own (they were made on it, not on a const view of it).
void SkinnedWindow::realise() const {
  kept_.realise();
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
  if (!kept_.realised()) {
    // The answer it will have: a background to draw on and a picture that can be read.
    const bool drawable = keptBackground_ && SkinPicture::ReadSize(path).has_value();
    keep([this, path, at] { drawImage(path, at); });
    return drawable;
  }
  const SkinPicture* image = picture(path);
  if (image == nullptr || buffer_ == nullptr) return false;
  forgetTipsWithin(Rect{at.x, at.y, at.x + image->size().width, at.y + image->size().height});
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
  realise();  // the picture cache as the calls before left it
  const SkinPicture* image = picture(path);
  if (image == nullptr) return std::nullopt;
  return image->size();
}

void SkinnedWindow::dropImageCache() {
  if (keep([this] { dropImageCache(); })) return;
  cache_.clear();
}

void SkinnedWindow::fillRect(const Rect& box, Rgb colour) {
  if (keep([this, box, colour] { fillRect(box, colour); })) return;
  if (buffer_ == nullptr) return;
  HBRUSH brush = ::CreateSolidBrush(ToColorRef(colour));
  const RECT area = ToRect(box);
  ::FillRect(bufferDc_, &area, brush);
  ::DeleteObject(brush);
  forgetTipsWithin(box);
}

SkinnedWindow::Fitted SkinnedWindow::fitLine(HDC dc, const std::wstring& text, int width,
                                             const FontSpec& spec) {
  // Too wide: the largest smaller height of the same face that fits, else cut with an
  // ellipsis at the smallest.
  Fitted fitted{spec, false, true};
  Selected selected(dc, font(spec));
  if (TextWidth(dc, text) <= width) return fitted;
  fitted.asGiven = false;
  for (int height = spec.height - 1; height >= kSmallestFittedHeight; --height) {
    fitted.font.height = height;
    Selected smaller(dc, font(fitted.font));
    if (TextWidth(dc, text) <= width) return fitted;
  }
  fitted.font.height = std::min(std::max(1, spec.height), kSmallestFittedHeight);
  fitted.ellipsis = true;
  return fitted;
}

void SkinnedWindow::forgetTipsWithin(const Rect& painted) {
  const auto within = [&](const CanvasTip& tip) {
    return tip.area.left >= painted.left && tip.area.top >= painted.top &&
           tip.area.right <= painted.right && tip.area.bottom <= painted.bottom;
  };
  if (std::erase_if(canvasTips_, within) > 0) canvasTipsChanged_ = true;
}

std::string SkinnedWindow::toolTipAt(Point at) const {
  realise();
  // As the tooltip control finds them: the statics (they lie over the canvas) first.
  for (const auto& [id, placed] : cutStatics()) {
    if (::PtInRect(&placed, POINT{at.x, at.y})) return controls_.at(id).wholeText;
  }
  for (const CanvasTip& tip : canvasTips_) {
    if (tip.area.contains(at)) return tip.text;
  }
  return {};
}

std::vector<std::pair<int, RECT>> SkinnedWindow::cutStatics() const {
  std::vector<std::pair<int, RECT>> found;
  for (const auto& [id, entry] : controls_) {
    if (entry.kind != ControlKind::kStatic || !entry.cut || !VisibleItself(entry.window)) {
      continue;
    }
    RECT placed{};
    ::GetWindowRect(entry.window, &placed);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&placed), 2);
    found.emplace_back(id, placed);
  }
  return found;
}

void SkinnedWindow::syncTips() {
  if (tips_ == nullptr) return;
  // Every tool out, then one per tip as the tips are now. The tooltip control watches the
  // window's pointer messages itself (TTF_SUBCLASS); a transparent static passes them on to the
  // window, so its tip is a tool of the window over the static's rectangle.
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;  // the size every version of the control takes
  tool.lpszText = nullptr;            // no text copied out
  while (::SendMessageW(tips_, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE) {
    ::SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = nullptr;
  }
  const auto add = [&](UINT_PTR id, RECT area, const std::string& text) {
    std::wstring wide = Wide(text);
    TTTOOLINFOW added{};
    added.cbSize = TTTOOLINFOW_V2_SIZE;
    added.uFlags = TTF_SUBCLASS;
    added.hwnd = window_;
    added.uId = id;
    added.rect = area;
    added.lpszText = wide.data();
    ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&added));
  };
  for (const auto& [id, placed] : cutStatics()) {
    add(kStaticTipBase + static_cast<UINT_PTR>(id), placed, controls_.at(id).wholeText);
  }
  UINT_PTR next = 1;
  for (const CanvasTip& tip : canvasTips_) add(next++, ToRect(tip.area), tip.text);
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
  if (keep([this, text = std::string(text), box, spec, colour, format] {
        drawText(text, box, spec, colour, format);
      })) {
    return;
  }
  if (buffer_ == nullptr) return;
  std::wstring wide = Wide(text);
  RECT area = ToRect(box);
  ::SetBkMode(bufferDc_, TRANSPARENT);
  ::SetTextColor(bufferDc_, ToColorRef(colour));
  UINT flags = DrawTextFlags(format);
  FontSpec fitted = spec;
  if (format != TextFormat::kWordWrap) {
    const Fitted line = fitLine(bufferDc_, wide, box.width(), spec);
    fitted = line.font;
    if (line.ellipsis) flags |= DT_END_ELLIPSIS;
    // The box's tip: the whole text when this one had to be shrunk or cut.
    if (std::erase_if(canvasTips_, [&](const CanvasTip& tip) { return tip.area == box; }) > 0) {
      canvasTipsChanged_ = true;
    }
    if (!line.asGiven) {
      canvasTips_.push_back({box, std::string(text)});
      canvasTipsChanged_ = true;
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
  if (keep([this] { present(); })) return;
  if (std::exchange(canvasTipsChanged_, false)) syncTips();
  ::InvalidateRect(window_, nullptr, FALSE);
  // Child controls lie over the buffer: the transparent statics redraw from it.
  for (const auto& [id, child] : controls_) {
    if (child.kind == ControlKind::kStatic) ::InvalidateRect(child.window, nullptr, FALSE);
  }
}

void SkinnedWindow::paint() {
  realise();  // shown some other way than through show()
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
  realise();  // every query comes here: the mutators kept their call before
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
  if (keep([this, id, kind, rect, style] { create(id, kind, rect, style); })) return;
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
      // clicks notify (LB_SETCURSEL never does). No system scroll bar or border: the list's
      // own frame draws them (listFrameMessage). Over columns the entries flow top to bottom.
      windowStyle |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
      if (style.columns > 1) windowStyle |= LBS_MULTICOLUMN;
      break;
  }
  HWND created = ::CreateWindowExW(
      0, className, L"", windowStyle, rect.left, rect.top, rect.width(), rect.height(), window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), context_.instance, nullptr);
  if (created == nullptr) return;
  ::SetWindowSubclass(created, &SkinnedWindow::ChildProcedure, kChildSubclass,
                      reinterpret_cast<DWORD_PTR>(this));
  Child& entry =
      controls_.insert_or_assign(id, Child{.kind = kind, .window = created, .style = style})
          .first->second;
  applyStyle(entry, style);
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
    // The frame for this style (the border, the scroll bar): the rows' area follows it.
    ::SetWindowPos(entry.window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (style.columns > 1) {
      RECT client{};
      ::GetClientRect(entry.window, &client);
      ::SendMessageW(entry.window, LB_SETCOLUMNWIDTH,
                     static_cast<WPARAM>((client.right - client.left) / style.columns), 0);
    }
  }
  if (entry.kind == ControlKind::kStatic) refit(entry);
  ::InvalidateRect(entry.window, nullptr, TRUE);
}

void SkinnedWindow::refit(Child& entry) {
  RECT client{};
  ::GetClientRect(entry.window, &client);
  const bool cut =
      !fitLine(bufferDc_, Wide(entry.wholeText), client.right - client.left, entry.style.font)
           .asGiven;
  if (cut || entry.cut) {
    entry.cut = cut;
    syncTips();
  }
}

void SkinnedWindow::destroy(int id) {
  if (keep([this, id] { destroy(id); })) return;
  const auto found = controls_.find(id);
  if (found == controls_.end()) return;
  HWND window = found->second.window;
  HBRUSH brush = found->second.background;
  const bool hadTip = found->second.cut;
  controls_.erase(found);
  if (hadTip) syncTips();
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
  realise();
  return controls_.count(id) != 0;
}

void SkinnedWindow::setStyle(int id, const ControlStyle& style) {
  if (keep([this, id, style] { setStyle(id, style); })) return;
  const auto found = controls_.find(id);
  if (found != controls_.end()) applyStyle(found->second, style);
}

void SkinnedWindow::setVisible(int id, bool visible) {
  if (keep([this, id, visible] { setVisible(id, visible); })) return;
  const Child* found = child(id);
  if (found == nullptr) return;
  ::ShowWindow(found->window, visible ? SW_SHOWNA : SW_HIDE);
  if (found->cut) syncTips();  // a hidden static's tip goes with it
}

void SkinnedWindow::setFocus(int id) {
  if (keep([this, id] { setFocus(id); })) return;
  if (id == kNoControl) {
    ::SetFocus(window_);
  } else if (const Child* found = child(id)) {
    ::SetFocus(found->window);
  }
}

int SkinnedWindow::focusedControl() const {
  realise();
  const Child* found = childOf(::GetFocus());
  if (found == nullptr) return kNoControl;
  return ::GetDlgCtrlID(found->window);
}

void SkinnedWindow::setText(int id, std::string_view text) {
  if (keep([this, id, text = std::string(text)] { setText(id, text); })) return;
  const auto found = controls_.find(id);
  if (found == controls_.end()) return;
  Child& entry = found->second;
  if (entry.kind == ControlKind::kStatic) {
    entry.wholeText = std::string(text);
    refit(entry);
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
  if (keep([this, id] { clearItems(id); })) return;
  if (HWND list = listBox(id)) ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

void SkinnedWindow::addItem(int id, std::string_view text) {
  insertItem(id, -1, text);
}

void SkinnedWindow::insertItem(int id, int index, std::string_view text) {
  if (keep([this, id, index, text = std::string(text)] { insertItem(id, index, text); })) return;
  HWND list = listBox(id);
  if (list == nullptr) return;
  const int count = itemCount(id);
  if (index < 0 || index > count) index = count;
  const std::wstring wide = Wide(text);
  ::SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(wide.c_str()));
}

void SkinnedWindow::deleteItem(int id, int index) {
  if (keep([this, id, index] { deleteItem(id, index); })) return;
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
  if (keep([this, id, index] { setSelection(id, index); })) return;
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
  if (keep([this, id, index] { setTopIndex(id, index); })) return;
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
    const Fitted fitted = fitLine(dc, wide, box.right - box.left, style.font);
    UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | (style.centred ? DT_CENTER : DT_LEFT);
    if (fitted.ellipsis) flags |= DT_END_ELLIPSIS;
    Selected selected(dc, font(fitted.font));
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
  realise();
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
  realise();
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
  if (!kept_.realised()) {
    // The size from the picture's header now; the picture is decoded once realised.
    const std::optional<Size> size = SkinPicture::ReadSize(path);
    if (!size) return std::nullopt;
    keep([this, path] { takeBackground(path); });
    keptBackground_ = true;
    bufferSize_ = *size;  // where the first show centres the window
    ::SetWindowPos(window_, nullptr, 0, 0, size->width, size->height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return size;
  }
  if (!takeBackground(path)) return std::nullopt;
  return bufferSize_;
}

bool SkinnedWindow::takeBackground(const std::string& path) {
  const SkinPicture* image = picture(path);
  if (image == nullptr) return false;
  std::uint32_t* pixels = nullptr;
  HBITMAP copy = CreateTopDownDib(image->size(), &pixels);
  if (copy == nullptr) return false;
  std::copy_n(image->pixels(), static_cast<std::size_t>(image->size().width) * image->size().height,
              pixels);
  if (bufferOld_ != nullptr) ::SelectObject(bufferDc_, bufferOld_);
  if (buffer_ != nullptr) ::DeleteObject(buffer_);
  buffer_ = copy;
  bufferOld_ = ::SelectObject(bufferDc_, buffer_);
  bufferSize_ = image->size();
  forgetTipsWithin(Rect{0, 0, bufferSize_.width, bufferSize_.height});  // the texts went with it
  ::SetWindowPos(window_, nullptr, 0, 0, bufferSize_.width, bufferSize_.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(window_, nullptr, FALSE);
  return true;
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
  const auto found = controls_.find(id);
  if (found != controls_.end() && found->second.window == child &&
      found->second.kind == ControlKind::kListBox) {
    Child& list = found->second;
    if (const std::optional<LRESULT> handled = listFrameMessage(list, message, wParam, lParam)) {
      return *handled;
    }
    switch (message) {
      // What can change the list's rows or where it is scrolled to: the frame follows.
      case LB_ADDSTRING:
      case LB_INSERTSTRING:
      case LB_DELETESTRING:
      case LB_RESETCONTENT:
      case LB_SETTOPINDEX:
      case LB_SETCURSEL:
      case WM_MOUSEWHEEL:
      case WM_KEYDOWN:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_MOUSEMOVE:
      case WM_TIMER:
      case WM_SIZE: {
        const LRESULT result = pointerFirst(id, child, message, wParam, lParam);
        if (controls_.count(id) != 0 && controls_.at(id).window == child) {
          followListChange(controls_.at(id));
        }
        return result;
      }
      default:
        break;
    }
  }
  return pointerFirst(id, child, message, wParam, lParam);
}

std::optional<LRESULT> SkinnedWindow::listFrameMessage(Child& list, UINT message, WPARAM wParam,
                                                       LPARAM lParam) {
  switch (message) {
    case WM_NCCALCSIZE: {
      // The rows inside the border, beside the scroll bar when they do not all fit (the first
      // rectangle is the window's for either form of the message).
      RECT& area = *reinterpret_cast<RECT*>(lParam);
      const auto count = static_cast<int>(::SendMessageW(list.window, LB_GETCOUNT, 0, 0));
      const ListGeometry geometry = MeasureList(area.right - area.left, area.bottom - area.top,
                                                list.style, std::max(0, count), 0);
      area = RECT{area.left + geometry.rows.left, area.top + geometry.rows.top,
                  area.left + geometry.rows.right, area.top + geometry.rows.bottom};
      return 0;
    }
    case WM_NCPAINT:
      paintListFrame(list);
      return 0;
    case WM_NCHITTEST: {
      const ListGeometry geometry = MeasureList(list.window, list.style);
      const POINT at =
          InListWindow(list.window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, false);
      if (geometry.scrolls && ::PtInRect(&geometry.groove, at)) return HTVSCROLL;
      return std::nullopt;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      if (wParam != HTVSCROLL) return std::nullopt;
      // The system's own scroll tracking would draw its scroll bar: the pointer is handled here.
      const ListGeometry geometry = MeasureList(list.window, list.style);
      const POINT at =
          InListWindow(list.window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, false);
      if (!geometry.scrolls) return 0;
      if (at.y >= geometry.handle.top && at.y < geometry.handle.bottom) {
        list.dragGrab = at.y - geometry.handle.top;  // the handle follows the pointer
        ::SetCapture(list.window);
        return 0;
      }
      // A press on the groove scrolls a page toward it.
      const auto top = static_cast<int>(::SendMessageW(list.window, LB_GETTOPINDEX, 0, 0));
      const int page = at.y < geometry.handle.top ? -geometry.visibleRows : geometry.visibleRows;
      ::SendMessageW(list.window, LB_SETTOPINDEX,
                     static_cast<WPARAM>(std::clamp(top + page, 0, geometry.lastTop)), 0);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!list.dragGrab) return std::nullopt;
      const ListGeometry geometry = MeasureList(list.window, list.style);
      const POINT at =
          InListWindow(list.window, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, true);
      const int travel = (geometry.groove.bottom - geometry.groove.top) -
                         (geometry.handle.bottom - geometry.handle.top);
      if (geometry.scrolls && travel > 0) {
        const int offset = at.y - *list.dragGrab - geometry.groove.top;
        const int top = (offset * geometry.lastTop + travel / 2) / travel;
        ::SendMessageW(list.window, LB_SETTOPINDEX,
                       static_cast<WPARAM>(std::clamp(top, 0, geometry.lastTop)), 0);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (!list.dragGrab) return std::nullopt;
      list.dragGrab.reset();
      ::ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      list.dragGrab.reset();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

void SkinnedWindow::paintListFrame(const Child& list) const {
  RECT placed{};
  ::GetWindowRect(list.window, &placed);
  const ListGeometry geometry = MeasureList(list.window, list.style);
  HDC dc = ::GetWindowDC(list.window);
  if (dc == nullptr) return;
  const ControlStyle& style = list.style;
  HBRUSH text = ::CreateSolidBrush(ToColorRef(style.text));
  if (style.border) {
    const RECT whole{0, 0, placed.right - placed.left, placed.bottom - placed.top};
    ::FrameRect(dc, &whole, text);
  }
  if (geometry.scrolls) {
    HBRUSH groove = ::CreateSolidBrush(ToColorRef(ListScrollGrooveColour(style)));
    ::FillRect(dc, &geometry.groove, groove);
    ::DeleteObject(groove);
    ::FillRect(dc, &geometry.handle, text);
  }
  ::DeleteObject(text);
  ::ReleaseDC(list.window, dc);
}

void SkinnedWindow::followListChange(Child& list) {
  const auto count = static_cast<int>(::SendMessageW(list.window, LB_GETCOUNT, 0, 0));
  const auto top = static_cast<int>(::SendMessageW(list.window, LB_GETTOPINDEX, 0, 0));
  if (count == list.shownCount && top == list.shownTop) return;
  RECT placed{};
  ::GetWindowRect(list.window, &placed);
  const int width = placed.right - placed.left;
  const int height = placed.bottom - placed.top;
  const bool scrolled = MeasureList(width, height, list.style, list.shownCount, 0).scrolls;
  const bool scrolls = MeasureList(width, height, list.style, count, 0).scrolls;
  list.shownCount = count;
  list.shownTop = top;
  if (scrolls != scrolled) {
    // The scroll bar comes or goes: the rows' area changes with it (and the frame is drawn).
    ::SetWindowPos(list.window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    paintListFrame(list);
  }
}

LRESULT SkinnedWindow::pointerFirst(int id, HWND child, UINT message, WPARAM wParam,
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
