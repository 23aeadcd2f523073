#pragma once
// The emulated mouse on an in-process bus with a virtual clock, and a sink that records the
// device events the link and the reader deliver.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "core/device/device_definition.h"
#include "core/device/device_link.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "emulator/virtual_clock.h"

namespace vm31::testing {

class RecordingSink : public EventSink {
 public:
  void deliver(const DeviceEvent& event) override {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  std::vector<DeviceEvent> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }
  // Waits until `count` events arrived; the bound only keeps a broken build from hanging.
  std::vector<DeviceEvent> waitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return events_.size() >= count; });
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<DeviceEvent> events_;
};

inline DeviceEvent Notice(PresenceNotice notice) {
  return notice;
}

// A switch as the mouse reports it: the code of its event report and the value.
inline DeviceEvent Switch(MouseSwitch which, int value) {
  return SwitchEvent{which, value};
}

struct DeviceRig {
  explicit DeviceRig(DeviceDefinition hostDefinition = {}, DeviceDefinition mouseDefinition = {})
      : mouse(mouseDefinition, clock), bus(mouse), link(bus, clock, sink, hostDefinition) {}

  // Hands every pending hotplug event to the link, as the user-interface loop does.
  void pumpHotplug() {
    for (const HotplugEvent& event : bus.takePending()) link.handleHotplug(event);
  }

  VirtualClock clock;
  EmulatedMouse mouse;
  EmulatedHidBus bus;
  RecordingSink sink;
  DeviceLink link;
};

}  // namespace vm31::testing
