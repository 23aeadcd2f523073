#pragma once
// The emulated mouse as an in-process HID bus with its hotplug source, for tests and benchmarks:
// plugging and unplugging the mouse (or other devices) lists or removes their collections and
// queues one arrival or removal per collection, as a composite device does.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/ports.h"
#include "emulator/emulated_mouse.h"

namespace vm31 {

class EmulatedHidBus : public HidBus, public HotplugSource {
 public:
  static constexpr const char* kControlPath = "emulator:vm31/control";
  static constexpr const char* kEventPath = "emulator:vm31/events";
  static constexpr const char* kParent = "emulator:vm31";  // both collections' parent device

  // The mouse must outlive the bus. Its plug state is taken over: plug() and unplug() here.
  explicit EmulatedHidBus(EmulatedMouse& mouse);

  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;
  std::vector<HotplugEvent> takePending() override;

  void plug();    // queues an arrival per listed collection of the mouse
  void unplug();  // queues a removal per listed collection of the mouse
  // Another device's collection, listed before the mouse's; `announce` queues its arrival.
  void addForeign(const HidInterfaceInfo& info, bool announce = true);
  void removeForeign(const std::string& path);

  // Shapes of the listing: the control collection can be left out (a mouse offering only the
  // event collection), the event collection can come after the control one, and opening the
  // mouse can be refused for lack of permission (for the first `deniedOpens` opens; -1: always).
  void setControlListed(bool listed);
  void setEventListedFirst(bool first);
  void setDeniedOpens(int count);

  EmulatedMouse& mouse() { return mouse_; }

 private:
  std::vector<HidInterfaceInfo> mouseInterfacesLocked() const;

  EmulatedMouse& mouse_;
  mutable std::mutex mutex_;
  std::vector<HidInterfaceInfo> foreign_;
  std::vector<HotplugEvent> pending_;
  bool controlListed_ = true;
  bool eventFirst_ = true;
  int deniedOpens_ = 0;
};

}  // namespace vm31
