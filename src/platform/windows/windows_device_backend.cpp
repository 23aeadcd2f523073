#include "platform/windows/windows_device_backend.h"

#include <windows.h>

#include "platform/windows/runtime_folder.h"
#include "platform/windows/win32_error.h"

namespace vm31::windows_platform {

WindowsDeviceBackend::~WindowsDeviceBackend() = default;

Result<std::unique_ptr<WindowsDeviceBackend>> WindowsDeviceBackend::create(
    const DeviceDefinition& /*definition*/, HotplugFollowing following) {
  std::unique_ptr<WindowsDeviceBackend> backend(new WindowsDeviceBackend());
  backend->hid_ = std::make_unique<WindowsHidBus>();
  auto folder = UserRuntimeFolder();
  if (!folder) return folder.error();
  backend->emulator_ = std::make_unique<EmulatorTcpBus>(folder.value());
  backend->combined_ = std::make_unique<CombinedBus>(
      std::vector<HidBus*>{backend->hid_.get(), backend->emulator_.get()});
  if (following == HotplugFollowing::kNone) return backend;
  if (auto notifications = DeviceNotificationSource::create()) {
    backend->notifications_ = std::move(notifications).value();
  }
  if (auto emulated = EmulatorTcpHotplugSource::create(folder.value())) {
    backend->emulatorHotplug_ = std::move(emulated).value();
  }
  return backend;
}

std::vector<void*> WindowsDeviceBackend::hotplugSignals() const {
  std::vector<void*> signals;
  if (notifications_) signals.push_back(notifications_->readyEvent());
  if (emulatorHotplug_) {
    for (void* signal : emulatorHotplug_->signals()) signals.push_back(signal);
  }
  return signals;
}

std::vector<HotplugEvent> WindowsDeviceBackend::hotplugEvents() {
  std::vector<HotplugEvent> events;
  if (notifications_) events = notifications_->takePending();
  if (emulatorHotplug_) {
    for (auto& event : emulatorHotplug_->takePending()) events.push_back(std::move(event));
  }
  return events;
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
