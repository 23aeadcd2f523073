#pragma once
// Everything the device link needs on Linux, in one place: the hidraw nodes and the emulated
// mouse as one bus, their hotplug sources behind one descriptor for the user-interface loop, the
// steady clock, and the wake of the loop's event hand-over.

#include <memory>

#include "core/device/combined_bus.h"
#include "core/device/device_definition.h"
#include "core/device/loop_event_sink.h"
#include "core/device/ports.h"
#include "platform/linux/emulator_socket.h"
#include "platform/linux/hidraw_bus.h"
#include "platform/linux/mouse_ownership.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/udev_hotplug.h"
#include "platform/linux/wait.h"

namespace vm31::linux_platform {

class LinuxDeviceBackend {
 public:
  // The udev monitor is optional (no udev daemon in containers): without it only the emulated
  // mouse's plugging is followed. With HotplugFollowing::kNone hotplugFd() watches nothing.
  static Result<std::unique_ptr<LinuxDeviceBackend>> create(
      const DeviceDefinition& definition, HotplugFollowing following = HotplugFollowing::kFollow);
  ~LinuxDeviceBackend();

  HidBus& bus() { return *combined_; }
  Clock& clock() { return clock_; }
  // Lock files in the user's runtime folder, named after the running program.
  MouseOwnership& ownership() { return *ownership_; }
  // Readable when hotplugEvents() has something; the loop watches it.
  int hotplugFd() const { return epoll_.get(); }
  // Arrivals and removals from both sources, udev first.
  std::vector<HotplugEvent> hotplugEvents();
  bool watchesUdev() const { return udev_ != nullptr; }

 private:
  LinuxDeviceBackend() = default;
  std::unique_ptr<HidrawBus> hidraw_;
  std::unique_ptr<EmulatorSocketBus> emulator_;
  std::unique_ptr<CombinedBus> combined_;
  std::unique_ptr<UdevHotplugSource> udev_;
  std::unique_ptr<EmulatorHotplugSource> emulatorHotplug_;
  std::unique_ptr<LockFileOwnership> ownership_;
  UniqueFd epoll_;
  SteadyClock clock_;
};

// The wake of the user-interface loop's event hand-over (LoopEventSink): an eventfd the loop
// watches (readable while raised).
class EventFdWake final : public LoopWake {
 public:
  static Result<std::unique_ptr<EventFdWake>> create();
  void raise() override { flag_.raise(); }
  void consume() override { flag_.consume(); }
  int fd() const { return flag_.fd(); }

 private:
  explicit EventFdWake(WakeFlag flag) : flag_(std::move(flag)) {}
  WakeFlag flag_;
};

}  // namespace vm31::linux_platform
