#include "platform/linux/udev_util.h"

#include <cstdio>

namespace vm31::linux_platform {

std::optional<UsbIds> HidrawDeviceIds(udev_device* hidraw) {
  // The parent belongs to `hidraw` and is freed with it.
  udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
  if (!hid) return std::nullopt;
  const char* id = udev_device_get_property_value(hid, "HID_ID");
  unsigned bus = 0, vendor = 0, product = 0;
  if (!id || std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) != 3) return std::nullopt;
  if (vendor > 0xFFFF || product > 0xFFFF) return std::nullopt;
  return UsbIds{static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(product)};
}

}  // namespace vm31::linux_platform
