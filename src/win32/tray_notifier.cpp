#include "win32/tray_notifier.h"

#include <shellapi.h>

#include <algorithm>

#include "win32/wide_text.h"

namespace vm31::win32 {
namespace {

constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT kIconId = 1;
constexpr wchar_t kTrayClassName[] = L"KOR_VM31_Tray";

// Copies `text` into a fixed field, cut to fit with its terminator.
template <std::size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
  const std::size_t length = std::min(text.size(), N - 1);
  text.copy(field, length);
  field[length] = L'\0';
}

}  // namespace

TrayNotifier::TrayNotifier(HINSTANCE instance, HICON icon) : icon_(icon) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &TrayNotifier::WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kTrayClassName;
  ::RegisterClassExW(&windowClass);
  window_ = ::CreateWindowExW(0, kTrayClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              instance, this);
  taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
}

TrayNotifier::~TrayNotifier() {
  removeTrayIcon();
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void TrayNotifier::setHandlers(ClickHandler onClick, CommandHandler onCommand) {
  onClick_ = std::move(onClick);
  onCommand_ = std::move(onCommand);
}

NOTIFYICONDATAW TrayNotifier::iconData(UINT flags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window_;
  data.uID = kIconId;
  data.uFlags = flags;
  return data;
}

bool TrayNotifier::trayAvailable() const {
  return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

void TrayNotifier::addTrayIcon(std::string_view tip) {
  tip_ = Wide(tip);
  NOTIFYICONDATAW data = iconData(NIF_ICON | NIF_TIP | NIF_MESSAGE);
  data.uCallbackMessage = kIconMessage;
  data.hIcon = icon_;
  CopyField(data.szTip, tip_);
  added_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TrayNotifier::removeTrayIcon() {
  if (!added_) return;
  NOTIFYICONDATAW data = iconData(0);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
  added_ = false;
}

void TrayNotifier::showBalloon(std::string_view text, std::string_view title, int timeoutMs,
                               NoticeIcon) {
  NOTIFYICONDATAW data = iconData(NIF_INFO);
  CopyField(data.szInfo, Wide(text));
  CopyField(data.szInfoTitle, Wide(title));
  data.uTimeout = static_cast<UINT>(std::max(0, timeoutMs));
  data.dwInfoFlags = NIIF_INFO;  // warnings too carry the info icon
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayNotifier::setTrayMenu(const std::vector<MenuItem>& items) {
  menu_ = items;
}

void TrayNotifier::showTrayMenu(const std::vector<MenuItem>& items) {
  menu_ = items;
  HMENU menu = ::CreatePopupMenu();
  for (const MenuItem& item : menu_) {
    const std::wstring text = Wide(item.text);
    ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command), text.c_str());
  }
  POINT at{};
  ::GetCursorPos(&at);
  // The menu closes on a click elsewhere only when its window is in the foreground.
  ::SetForegroundWindow(window_);
  const int chosen = static_cast<int>(::TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
  ::PostMessageW(window_, WM_NULL, 0, 0);
  ::DestroyMenu(menu);
  if (chosen != 0 && onCommand_) onCommand_(chosen);
}

LRESULT CALLBACK TrayNotifier::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TrayNotifier*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == kIconMessage && wParam == kIconId) {
    // The icon's mouse message, as the icon's first version reports it.
    switch (static_cast<UINT>(lParam)) {
      case WM_LBUTTONUP:
        if (self->onClick_) self->onClick_(TrayClick::kLeftUp);
        break;
      case WM_LBUTTONDBLCLK:
        if (self->onClick_) self->onClick_(TrayClick::kLeftDoubleClick);
        break;
      case WM_RBUTTONUP:
        if (self->onClick_) self->onClick_(TrayClick::kRightUp);
        break;
      default:
        break;
    }
    return 0;
  }
  if (message == self->taskbarCreated_ && self->added_) {
    // A new taskbar knows no icons: the icon again, with its tip.
    self->added_ = false;
    self->addTrayIcon(Utf8(self->tip_));
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vm31::win32
