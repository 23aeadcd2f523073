// Prints the text of every balloon tool tip shown on the desktop, one line each in UTF-8: what
// the taskbar was given for its notices, however much of it the balloon window shows. For the
// Win32 shell's test under Wine, whose balloon window can be too narrow for the text. Ends with
// 1 when no balloon is shown.
//
// The tool tip belongs to the taskbar's process: its tool and text are read through memory
// allocated in that process (TTM_ENUMTOOLSW and TTM_GETTEXTW take pointers the tool tip's own
// process writes through). The title is not read: Wine 8's tool tips leave TTM_GETTITLE's
// buffer untouched.

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTextChars = 1024;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(),
                        size, nullptr, nullptr);
  return result;
}

// The block in the tool tip's process: the tool, then the text's buffer.
struct RemoteBlock {
  TTTOOLINFOW tool;
  wchar_t text[kTextChars];
};

// The text of the balloon `window`, or "" when it cannot be read.
std::string ReadBalloon(HWND window) {
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  HANDLE process = ::OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
      process_id);
  if (process == nullptr) return {};
  std::string line;
  auto* remote = static_cast<RemoteBlock*>(
      ::VirtualAllocEx(process, nullptr, sizeof(RemoteBlock), MEM_COMMIT, PAGE_READWRITE));
  if (remote != nullptr) {
    RemoteBlock local{};
    local.tool.cbSize = sizeof(TTTOOLINFOW);
    ::WriteProcessMemory(process, remote, &local, sizeof(local), nullptr);
    if (::SendMessageW(window, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&remote->tool)) &&
        ::ReadProcessMemory(process, remote, &local, sizeof(local), nullptr)) {
      local.tool.lpszText = remote->text;
      ::WriteProcessMemory(process, remote, &local, sizeof(local), nullptr);
      ::SendMessageW(window, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(&remote->tool));
      if (::ReadProcessMemory(process, remote, &local, sizeof(local), nullptr)) {
        local.text[kTextChars - 1] = L'\0';
        line = Utf8(local.text);
      }
    }
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  ::CloseHandle(process);
  return line;
}

BOOL CALLBACK FoundWindow(HWND window, LPARAM found) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (std::wstring_view(name) == TOOLTIPS_CLASSW && ::IsWindowVisible(window) &&
      (::GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON) != 0) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

}  // namespace

int main() {
  std::vector<HWND> balloons;
  ::EnumWindows(FoundWindow, reinterpret_cast<LPARAM>(&balloons));
  for (HWND balloon : balloons) std::printf("%s\n", ReadBalloon(balloon).c_str());
  return balloons.empty() ? 1 : 0;
}
