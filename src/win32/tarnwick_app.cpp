#include "win32/tarnwick_app.h"

#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/event_router.h"
#include "core/app/main_pages.h"
#include "core/app/main_window.h"
#include "core/app/tray.h"
#include "core/device/combined_bus.h"
#include "core/device/device_definition.h"
#include "core/device/loop_event_sink.h"
#include "core/settings/data_location.h"
#include "core/settings/preferences.h"
#include "core/ui/skin.h"
#include "core/util/atomic_file.h"
#include "platform/windows/executable_folder.h"
#include "platform/windows/file_system_edge.h"
#include "platform/windows/system_mouse.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/windows_device_backend.h"
#include "win32/message_loop.h"
#include "win32/skinned_window.h"
#include "win32/tray_notifier.h"
#include "win32/wide_text.h"

namespace vm31::win32 {
namespace {

namespace platform = vm31::windows_platform;

// The program's one instance per session.
constexpr wchar_t kInstanceMutexName[] = L"VEL_KORVM31Mutex";
// The running instance's message-only window, which later starts send their requests to.
constexpr wchar_t kInstanceWindowClass[] = L"KOR_VM31_Instance";
// Its message: wParam 1 for `--show`, 0 for a plain start, answered 1 once taken; wParam 2, posted
// by the installer and the uninstaller (res/windows/installer.nsi), ends the program as its tray
// menu's Exit. The class, the message and its values are that interface: keep them.
constexpr UINT kInstanceRequest = WM_APP + 16;
constexpr WPARAM kRequestShow = 1;
constexpr WPARAM kRequestExit = 2;
// How long a later start waits for a running instance that is still starting to take requests.
constexpr DWORD kShowRequestWaitMs = 10000;
// The resource id of the program icon (res/windows/kor_vm31.rc).
constexpr int kProgramIconId = 1;

constexpr char kProgramName[] = "KOR_VM31";
constexpr char kHelp[] =
    "Usage: KOR_VM31 [--show]\n"
    "Gaming Mouse Setting: the configuration utility of the KOR VM31 gaming mouse.\n"
    "Without an option it starts hidden in the tray; its icon opens the window.\n"
    "\n"
    "Options:\n"
    "  -h, --help  Print this help and exit.\n"
    "  --version   Print the program's version and exit.\n"
    "  --show      Show the window once started. When the program already runs, show that\n"
    "              instance's window.\n";

std::optional<std::string> Env(const char* name) {
  const std::wstring wide = Wide(name);
  const wchar_t* value = ::_wgetenv(wide.c_str());
  if (value == nullptr) return std::nullopt;
  return Utf8(value);
}

// A failure before the window exists: said on stderr and in a message box.
int FailAtStart(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgramName, message.c_str());
  const std::wstring text = Wide(message);
  const std::wstring caption = Wide(kProgramName);
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
  return 1;
}

struct CommandLine {
  bool show = false;
  std::optional<int> exitCode;  // set when the process ends here (--help, --version, errors)
};

CommandLine ParseCommandLine() {
  CommandLine result;
  const std::vector<std::string> words = platform::CommandLineWords();
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--show") {
      result.show = true;
    } else if (word == "-h" || word == "--help") {
      std::fputs(kHelp, stdout);
      result.exitCode = 0;
      return result;
    } else if (word == "--version") {
      std::printf("%s %s\n", kProgramName, VM31_VERSION);
      result.exitCode = 0;
      return result;
    } else {
      std::fprintf(stderr, "%s: unexpected argument '%s'\nTry 'KOR_VM31 --help'.\n", kProgramName,
                   word.c_str());
      result.exitCode = 2;
      return result;
    }
  }
  return result;
}

// The language of the user's locale ("zh-CN" becomes the "zh_CN" the core reads), for a str.ini
// without a "Lan" value.
UiLanguage LocaleLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return UiLanguage::kEnglish;
  std::string locale = Utf8(name);
  for (char& c : locale) {
    if (c == '-') c = '_';
  }
  return UiLanguageFromLocale(LocaleEnvironment{std::nullopt, std::nullopt, locale});
}

// The system's own version (the font choice depends on it); GetVersionEx would give the
// version the program's manifest claims.
SystemVersion RunningSystemVersion() {
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return {};
  const auto function = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (function == nullptr) return {};
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (function(&version) != 0) return {};
  return SystemVersion{static_cast<int>(version.dwMajorVersion),
                       static_cast<int>(version.dwMinorVersion)};
}

// Hands a request to the running instance's window; false when none took it within the wait.
bool RequestRunningInstance(bool show) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    HWND target = ::FindWindowExW(HWND_MESSAGE, nullptr, kInstanceWindowClass, nullptr);
    if (target != nullptr) {
      DWORD process = 0;
      ::GetWindowThreadProcessId(target, &process);
      ::AllowSetForegroundWindow(process);  // the running instance may raise its window
      DWORD_PTR answer = 0;
      if (::SendMessageTimeoutW(target, kInstanceRequest, show ? kRequestShow : 0, 0,
                                SMTO_ABORTIFHUNG, kShowRequestWaitMs, &answer) != 0 &&
          answer == 1) {
        return true;
      }
    }
    if (::GetTickCount() - start >= kShowRequestWaitMs) return false;
    ::Sleep(100);
  }
}

// Arrivals and removals of the mouse's interfaces: the backend's hotplug handles join the
// loop's waits once the model starts the watch. Without a backend nothing is watched.
class LoopHotplugWatch : public HotplugWatch {
 public:
  LoopHotplugWatch(platform::WindowsDeviceBackend* backend, EventRouter& router)
      : backend_(backend), router_(router) {}

  Status start() override {
    if (started_ || backend_ == nullptr) return Ok{};
    started_ = true;
    for (void* signal : backend_->hotplugSignals()) {
      ProcessLoop().addWait(signal, [this] {
        for (const HotplugEvent& event : backend_->hotplugEvents()) router_.hotplug(event);
      });
    }
    return Ok{};
  }

 private:
  platform::WindowsDeviceBackend* backend_;
  EventRouter& router_;
  bool started_ = false;
};

// The message-only window later starts find the running instance by.
LRESULT CALLBACK InstanceWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* router = reinterpret_cast<EventRouter*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == kInstanceRequest && router != nullptr) {
    if (wParam == kRequestExit) return router->exitRequest() ? 1 : 0;
    return router->instanceRequest(wParam == kRequestShow) ? 1 : 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateInstanceWindow(HINSTANCE instance, EventRouter& router) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = InstanceWindowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kInstanceWindowClass;
  ::RegisterClassExW(&windowClass);
  return ::CreateWindowExW(0, kInstanceWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           instance, &router);
}

}  // namespace

int RunTarnwickApp() {
  const CommandLine commandLine = ParseCommandLine();
  if (commandLine.exitCode) return *commandLine.exitCode;

  platform::InstallWindowsFileSystemEdge();
  // One instance per session, checked before anything is shown. A later start hands its request
  // to the running one (`--show`: show the window; plain: what a second start does, which with
  // a tray is nothing) and ends.
  HANDLE instanceMutex = ::CreateMutexW(nullptr, FALSE, kInstanceMutexName);
  if (instanceMutex == nullptr) {
    std::fprintf(
        stderr, "%s: %s\n", kProgramName,
        platform::Win32Error("the single-instance mutex", ::GetLastError()).message.c_str());
  } else if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    if (!RequestRunningInstance(commandLine.show) && commandLine.show) {
      std::fprintf(stderr, "%s: the running instance did not take the request to show its window\n",
                   kProgramName);
      return 1;
    }
    return 0;
  }

  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return FailAtStart("COM could not be initialised; the skin pictures cannot be decoded");
  }
  if (!RegisterSkinnedWindowClass(instance)) {
    return FailAtStart(platform::Win32Error("the window class", ::GetLastError()).message);
  }
  HICON icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId),
                                               IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  if (icon == nullptr) icon = ::LoadIconW(nullptr, IDI_APPLICATION);

  // Data files as vm31ctl.exe finds them: beside the executable when it holds config.bin, else
  // %APPDATA%\kor-vm31, filled from the factory folder beside the program on the first start.
  auto exeFolder = platform::ExecutableFolder();
  if (!exeFolder) return FailAtStart(exeFolder.error().message);
  const StartFolders folders = PrepareStartFolders(
      exeFolder.value(), UserEnvironment{Env("XDG_CONFIG_HOME"), Env("HOME"), Env("APPDATA")},
      Env("XDG_DATA_DIRS"));
  if (!folders.filled) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, folders.filled.error().message.c_str());
  }
  const std::filesystem::path& dataFolder = folders.data;

  auto definition = LoadDeviceDefinition(dataFolder, folders.factory);
  if (!definition) return FailAtStart(definition.error().message);
  // A backend that cannot start (no usable runtime folder) leaves the program running as with
  // the mouse absent: a bus that lists nothing, the not-detected notice.
  auto backend = platform::WindowsDeviceBackend::create(definition.value());
  platform::WindowsDeviceBackend* devices = backend ? backend.value().get() : nullptr;
  CombinedBus noDevices({});
  platform::PreciseClock preciseClock;
  if (devices == nullptr) {
    std::fprintf(stderr, "%s: %s; the mouse cannot be reached\n", kProgramName,
                 backend.error().message.c_str());
  }

  EventRouter router;
  auto sinkWake = platform::EventWake::create();
  if (!sinkWake) return FailAtStart(sinkWake.error().message);
  LoopEventSink sink([&router](const DeviceEvent& event) { router.deviceEvent(event); },
                     *sinkWake.value());
  ProcessLoop().addWait(sinkWake.value()->event(), [&sink] { sink.dispatch(); });

  DeviceLink link(devices != nullptr ? devices->bus() : noDevices,
                  devices != nullptr ? devices->clock() : preciseClock, sink, definition.value());
  if (devices != nullptr) link.setOwnership(&devices->ownership());
  LoopHotplugWatch hotplug(devices, router);
  TrayNotifier notifier(instance, icon);

  MainWindowPaths paths{DataFilesIn(dataFolder),
                        // The skins beside the program (a user's own skins folder is Linux's).
                        SkinsRoots(exeFolder.value(), SkinEnvironment{})};
  CTarnwickDlg model(link, notifier, hotplug, std::move(paths), RunningSystemVersion(),
                     LocaleLanguage());
  MainWindowPages pages(model);
  // The desktop's pointer settings through SystemParametersInfoW.
  platform::WindowsSystemMouse systemMouse;
  pages.setSystemMouse(&systemMouse);
  model.setPages(&pages);
  router.routeTo(model);
  notifier.setHandlers([&model](TrayClick click) { model.onTray(click); },
                       [&model](int command) { model.onCommand(command); });

  ShellContext context;
  context.instance = instance;
  context.icon = icon;
  context.programName = kProgramName;
  context.windowTitle = std::string(kMainTitle);
  context.beforeExit = [&] {
    sink.shutdown();  // a reader waiting for its event to be handled lets go
    if (instanceMutex != nullptr) ::CloseHandle(instanceMutex);
  };
  SkinnedWindow window(model, context);
  if (window.handle() == nullptr) {
    return FailAtStart(platform::Win32Error("the main window", ::GetLastError()).message);
  }
  window.initialiseModel();
  HWND instanceWindow = CreateInstanceWindow(instance, router);
  if (instanceWindow == nullptr) {
    std::fprintf(stderr, "%s: %s\n", kProgramName,
                 platform::Win32Error("the instance window", ::GetLastError()).message.c_str());
  }
  if (commandLine.show) model.onShowRequest();

  // The program ends through the model (its Exit), which ends the process; WM_QUIT (a session
  // ending) ends the loop.
  ProcessLoop().run([] { return false; });
  sink.shutdown();
  return 0;
}

}  // namespace vm31::win32
