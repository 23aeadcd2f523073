#include "platform/windows/windows_device_backend.h"

#include <windows.h>

#include "platform/windows/win32_error.h"

namespace vm31::windows_platform {

WindowsDeviceBackend::~WindowsDeviceBackend() = default;

Result<std::unique_ptr<WindowsDeviceBackend>> WindowsDeviceBackend::create(
    const DeviceDefinition& /*definition*/, HotplugFollowing following) {
  std::unique_ptr<WindowsDeviceBackend> backend(new WindowsDeviceBackend());
  backend->hid_ = std::make_unique<WindowsHidBus>();
  backend->combined_ = std::make_unique<CombinedBus>(std::vector<HidBus*>{backend->hid_.get()});
  if (following == HotplugFollowing::kFollow) {
    if (auto notifications = DeviceNotificationSource::create()) {
      backend->notifications_ = std::move(notifications).value();
    }
  }
  if (!backend->notifications_) {
    backend->hotplugReady_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!backend->hotplugReady_.valid()) {
      return Win32Error("cannot create an event", ::GetLastError());
    }
  }
  return backend;
}

void* WindowsDeviceBackend::hotplugEvent() const {
  return notifications_ ? notifications_->readyEvent() : hotplugReady_.get();
}

std::vector<HotplugEvent> WindowsDeviceBackend::hotplugEvents() {
  return notifications_ ? notifications_->takePending() : std::vector<HotplugEvent>{};
}

Result<std::unique_ptr<EventWake>> EventWake::create() {
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event.valid()) return Win32Error("cannot create an event", ::GetLastError());
  return std::unique_ptr<EventWake>(new EventWake(std::move(event)));
}

void EventWake::raise() {
  ::SetEvent(event_.get());
}

void EventWake::consume() {
  ::ResetEvent(event_.get());
}

}  // namespace vm31::windows_platform
