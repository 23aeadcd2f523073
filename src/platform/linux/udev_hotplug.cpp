#include "platform/linux/udev_hotplug.h"

#include <cstring>

#include "platform/linux/udev_util.h"

namespace vm31::linux_platform {

struct UdevHotplugSource::State {
  UdevPtr<udev> context;
  UdevPtr<udev_monitor> monitor;
  std::map<std::string, UsbIds> known;  // node -> ids, for removals (the parent is gone then)
};

UdevHotplugSource::UdevHotplugSource(std::unique_ptr<State> state) : state_(std::move(state)) {}
UdevHotplugSource::~UdevHotplugSource() = default;

Result<std::unique_ptr<UdevHotplugSource>> UdevHotplugSource::create() {
  auto state = std::make_unique<State>();
  state->context.reset(udev_new());
  if (!state->context) return MakeError(ErrorCode::kIo, "libudev: cannot create a context");
  state->monitor.reset(udev_monitor_new_from_netlink(state->context.get(), "udev"));
  if (!state->monitor ||
      udev_monitor_filter_add_match_subsystem_devtype(state->monitor.get(), "hidraw", nullptr) <
          0 ||
      udev_monitor_enable_receiving(state->monitor.get()) < 0) {
    return MakeError(ErrorCode::kIo, "libudev: cannot monitor hidraw devices");
  }
  // Remember the nodes present now, so that their removal can name the device.
  UdevPtr<udev_enumerate> scan(udev_enumerate_new(state->context.get()));
  if (scan && udev_enumerate_add_match_subsystem(scan.get(), "hidraw") >= 0 &&
      udev_enumerate_scan_devices(scan.get()) >= 0) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
      UdevPtr<udev_device> device(
          udev_device_new_from_syspath(state->context.get(), udev_list_entry_get_name(entry)));
      const char* node = device ? udev_device_get_devnode(device.get()) : nullptr;
      const auto ids = device ? HidrawDeviceIds(device.get()) : std::nullopt;
      if (node && ids) state->known[node] = *ids;
    }
  }
  return std::unique_ptr<UdevHotplugSource>(new UdevHotplugSource(std::move(state)));
}

int UdevHotplugSource::fd() const {
  return udev_monitor_get_fd(state_->monitor.get());
}

std::vector<HotplugEvent> UdevHotplugSource::takePending() {
  std::vector<HotplugEvent> events;
  // The monitor's socket is non-blocking: receive until it is empty.
  while (UdevPtr<udev_device> device{udev_monitor_receive_device(state_->monitor.get())}) {
    const char* action = udev_device_get_action(device.get());
    const char* node = udev_device_get_devnode(device.get());
    if (!action || !node) continue;
    HotplugEvent event;
    event.path = node;
    if (std::strcmp(action, "add") == 0) {
      event.kind = HotplugEvent::Kind::kArrival;
      if (const auto ids = HidrawDeviceIds(device.get())) {
        state_->known[node] = *ids;
        event.vendorId = ids->vendorId;
        event.productId = ids->productId;
      }
    } else if (std::strcmp(action, "remove") == 0) {
      event.kind = HotplugEvent::Kind::kRemoval;
      if (const auto it = state_->known.find(node); it != state_->known.end()) {
        event.vendorId = it->second.vendorId;
        event.productId = it->second.productId;
        state_->known.erase(it);
      }
    } else {
      continue;  // change, bind, unbind: the node stays what it was
    }
    events.push_back(std::move(event));
  }
  return events;
}

}  // namespace vm31::linux_platform
