#pragma once
// HID access through SetupAPI and hid.dll. Windows gives each top-level collection of a device
// its own device interface of the HID class, so each interface is one HidInterfaceInfo: its
// interface path (what CreateFileW opens, in lower case), the ids of HidD_GetAttributes and the
// usage page, usage and report lengths of HidP_GetCaps (lengths already count the report-id byte,
// as the ports do). Feature reports go through HidD_SetFeature/HidD_GetFeature, output reports
// through WriteFile, input reports through an overlapped ReadFile that a wake event interrupts.

#include <memory>

#include "core/device/ports.h"

namespace vm31::windows_platform {

class WindowsHidBus : public HidBus {
 public:
  // Lists every HID interface present. An interface that cannot be opened even for its
  // attributes (another program holds it exclusively, as Windows does with mice and keyboards
  // for reads) is still listed with what the interface path tells: its ids, the rest 0.
  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;
};

// An interface path as HidInterfaceInfo::path and HotplugEvent::path hold it: Windows compares
// them without regard to case and spells them differently from call to call, so they are kept in
// lower case.
std::string InterfacePathKey(const std::string& path);

// The vendor and product ids written in a HID interface path ("...VID_1234&PID_ABCD..."), 0
// for those missing.
struct InterfacePathIds {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};
InterfacePathIds IdsOfInterfacePath(const std::string& path);

// The device an interface path belongs to, for HidInterfaceInfo::parent: the path up to the
// collection's "&col<nn>" or "&mi_<nn>" part (collections and interfaces of one device share it).
std::string ParentOfInterfacePath(const std::string& path);

}  // namespace vm31::windows_platform
