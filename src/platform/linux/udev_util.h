#pragma once
// libudev helpers shared by the hidraw bus and the hotplug monitor.

#include <libudev.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace vm31::linux_platform {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

struct UsbIds {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

// The vendor and product id of a hidraw device, from its parent "hid" device's HID_ID property
// ("bus:vendor:product" in hexadecimal, e.g. "0003:00000F3A:00007C21").
std::optional<UsbIds> HidrawDeviceIds(udev_device* hidraw);

}  // namespace vm31::linux_platform
