#pragma once
// Arrival and removal of HID interfaces from Windows' device notifications: a message-only
// window on its own thread registers for the HID interface class (RegisterDeviceNotificationW)
// and queues each WM_DEVICECHANGE arrival and removal. readyEvent() is a manual-reset event that
// is set while events wait; the user-interface loop waits on it and calls takePending().

#include <memory>

#include "core/device/ports.h"

namespace vm31::windows_platform {

class DeviceNotificationSource : public HotplugSource {
 public:
  static Result<std::unique_ptr<DeviceNotificationSource>> create();
  ~DeviceNotificationSource() override;

  void* readyEvent() const;  // HANDLE
  // Paths in InterfacePathKey form; ids from the path (removals included).
  std::vector<HotplugEvent> takePending() override;

 private:
  struct State;
  explicit DeviceNotificationSource(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace vm31::windows_platform
