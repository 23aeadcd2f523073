#include "platform/windows/device_notifications.h"

#include <windows.h>

// mingw-w64's HID headers lack the C linkage block of the Windows SDK's.
extern "C" {
#include <hidsdi.h>
}
#include <dbt.h>

#include <mutex>
#include <thread>

#include "platform/windows/hid_bus.h"
#include "platform/windows/win32_error.h"
#include "platform/windows/win32_handle.h"

namespace vm31::windows_platform {

struct DeviceNotificationSource::State {
  std::mutex mutex;
  std::vector<HotplugEvent> pending;
  UniqueHandle ready;
  UniqueHandle started;
  std::thread thread;
  DWORD threadId = 0;
  std::optional<Error> startError;

  void queue(HotplugEvent event) {
    std::lock_guard lock(mutex);
    pending.push_back(std::move(event));
    ::SetEvent(ready.get());
  }

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
      auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(lParam);
      auto* state = reinterpret_cast<State*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
      if (header != nullptr && state != nullptr &&
          header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        auto* device = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
        HotplugEvent event;
        event.kind = wParam == DBT_DEVICEARRIVAL ? HotplugEvent::Kind::kArrival
                                                 : HotplugEvent::Kind::kRemoval;
        event.path = InterfacePathKey(Utf8FromWide(device->dbcc_name));
        const InterfacePathIds ids = IdsOfInterfacePath(event.path);
        event.vendorId = ids.vendorId;
        event.productId = ids.productId;
        state->queue(std::move(event));
      }
      return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  void run() {
    threadId = ::GetCurrentThreadId();
    const wchar_t* className = L"kor-vm31-device-notifications";
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &State::WindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass);  // fails harmlessly when a second source registers again
    HWND window = ::CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, nullptr);
    if (window == nullptr) {
      startError = Win32Error("device notifications: cannot create a window", ::GetLastError());
      ::SetEvent(started.get());
      return;
    }
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    ::HidD_GetHidGuid(&filter.dbcc_classguid);
    HDEVNOTIFY registration =
        ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (registration == nullptr) {
      startError = Win32Error("device notifications: cannot register", ::GetLastError());
    }
    ::SetEvent(started.get());
    MSG message;
    while (registration != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::DispatchMessageW(&message);
    }
    if (registration != nullptr) ::UnregisterDeviceNotification(registration);
    ::DestroyWindow(window);
  }
};

DeviceNotificationSource::DeviceNotificationSource(std::unique_ptr<State> state)
    : state_(std::move(state)) {}

DeviceNotificationSource::~DeviceNotificationSource() {
  if (state_->thread.joinable()) {
    ::PostThreadMessageW(state_->threadId, WM_QUIT, 0, 0);
    state_->thread.join();
  }
}

Result<std::unique_ptr<DeviceNotificationSource>> DeviceNotificationSource::create() {
  auto state = std::make_unique<State>();
  state->ready.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  state->started.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!state->ready.valid() || !state->started.valid()) {
    return Win32Error("device notifications: cannot create an event", ::GetLastError());
  }
  State* raw = state.get();
  state->thread = std::thread([raw] { raw->run(); });
  ::WaitForSingleObject(raw->started.get(), INFINITE);
  std::unique_ptr<DeviceNotificationSource> source(new DeviceNotificationSource(std::move(state)));
  if (raw->startError) return *raw->startError;  // the thread has ended; the destructor joins
  return source;
}

void* DeviceNotificationSource::readyEvent() const {
  return state_->ready.get();
}

std::vector<HotplugEvent> DeviceNotificationSource::takePending() {
  std::lock_guard lock(state_->mutex);
  ::ResetEvent(state_->ready.get());
  return std::exchange(state_->pending, {});
}

}  // namespace vm31::windows_platform
