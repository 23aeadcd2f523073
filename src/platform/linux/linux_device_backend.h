#pragma once
// Everything the device link needs on Linux, in one place: the hidraw nodes and the emulated
// mouse as one bus, their hotplug sources behind one descriptor for the user-interface loop, the
// steady clock, and a sink that hands the reader thread's events to the loop's thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "core/device/device_definition.h"
#include "core/device/ports.h"
#include "platform/linux/emulator_socket.h"
#include "platform/linux/hidraw_bus.h"
#include "platform/linux/mouse_ownership.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/udev_hotplug.h"
#include "platform/linux/wait.h"

namespace vm31::linux_platform {

// Several buses as one: enumerate() lists them one after the other, open() goes to the bus that
// listed the path.
class CombinedBus : public HidBus {
 public:
  explicit CombinedBus(std::vector<HidBus*> buses) : buses_(std::move(buses)) {}
  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;

 private:
  std::vector<HidBus*> buses_;
  std::map<std::string, HidBus*> owners_;  // path -> bus, from the last enumerate()
};

class LinuxDeviceBackend {
 public:
  // The udev monitor is optional (no udev daemon in containers): without it only the emulated
  // mouse's plugging is followed.
  static Result<std::unique_ptr<LinuxDeviceBackend>> create(const DeviceDefinition& definition);
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

// Hands device events to the thread that created the sink (the user-interface thread) and waits
// until they were handled there. On that thread deliver() handles the event at once. The loop
// watches fd() and calls dispatch(); shutdown() releases a waiting reader for good.
class LoopEventSink : public EventSink {
 public:
  using Handler = std::function<void(const DeviceEvent&)>;
  static Result<std::unique_ptr<LoopEventSink>> create(Handler handler);

  void deliver(const DeviceEvent& event) override;
  int fd() const { return wake_.fd(); }
  void dispatch();
  void shutdown();

 private:
  LoopEventSink(Handler handler, WakeFlag wake);
  Handler handler_;
  WakeFlag wake_;
  std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable handled_;
  std::deque<DeviceEvent> queue_;
  std::uint64_t queuedCount_ = 0;
  std::uint64_t handledCount_ = 0;
  bool shutdown_ = false;
};

}  // namespace vm31::linux_platform
