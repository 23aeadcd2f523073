#pragma once
// Everything the device link needs on Windows, in one place, in the shape of the Linux backend:
// the HID interfaces and the emulated mouse as one bus (CombinedBus), their hotplug sources
// behind the handles the user-interface loop waits on, the precise clock, the owner locks, and
// the wake of the loop's event hand-over.

#include <memory>

#include "core/device/combined_bus.h"
#include "core/device/device_definition.h"
#include "core/device/loop_event_sink.h"
#include "core/device/ports.h"
#include "platform/windows/device_notifications.h"
#include "platform/windows/emulator_tcp.h"
#include "platform/windows/hid_bus.h"
#include "platform/windows/mouse_ownership.h"
#include "platform/windows/precise_clock.h"
#include "platform/windows/win32_handle.h"

namespace vm31::windows_platform {

class WindowsDeviceBackend {
 public:
  // The device notifications and the emulated mouse's watch are optional: without them the mouse
  // is still found when present, only its plugging is not followed. With HotplugFollowing::kNone
  // neither is set up. Fails only when there is no usable runtime folder.
  static Result<std::unique_ptr<WindowsDeviceBackend>> create(
      const DeviceDefinition& definition, HotplugFollowing following = HotplugFollowing::kFollow);
  ~WindowsDeviceBackend();

  HidBus& bus() { return *combined_; }
  Clock& clock() { return clock_; }
  MouseOwnership& ownership() { return ownership_; }
  // Handles of which one is set while hotplugEvents() has something; the loop waits on them all
  // (none without hotplug following).
  std::vector<void*> hotplugSignals() const;
  // Arrivals and removals from both sources, the device notifications first.
  std::vector<HotplugEvent> hotplugEvents();
  bool watchesDeviceNotifications() const { return notifications_ != nullptr; }
  bool watchesEmulator() const { return emulatorHotplug_ != nullptr; }

 private:
  WindowsDeviceBackend() = default;
  std::unique_ptr<WindowsHidBus> hid_;
  std::unique_ptr<EmulatorTcpBus> emulator_;
  std::unique_ptr<CombinedBus> combined_;
  std::unique_ptr<DeviceNotificationSource> notifications_;
  std::unique_ptr<EmulatorTcpHotplugSource> emulatorHotplug_;
  NamedMutexOwnership ownership_;
  PreciseClock clock_;
};

// The wake of the user-interface loop's event hand-over (LoopEventSink): a manual-reset event
// the loop waits on (set while raised).
class EventWake final : public LoopWake {
 public:
  static Result<std::unique_ptr<EventWake>> create();
  void raise() override;
  void consume() override;
  void* event() const { return event_.get(); }

 private:
  explicit EventWake(UniqueHandle event) : event_(std::move(event)) {}
  UniqueHandle event_;
};

}  // namespace vm31::windows_platform
