#pragma once
// EventRouter: where a shell's process events go, the same for every shell. The device events
// the reader thread hands over, the arrivals and removals of the hotplug watch and the requests
// of later starts reach the main window model once it exists (routeTo, before the event loop
// runs); before that there is no window to show them and they are dropped. User-interface
// thread only.

#include "core/app/main_window.h"
#include "core/device/ports.h"

namespace vm31 {

class EventRouter {
 public:
  void routeTo(CTarnwickDlg& window) { window_ = &window; }

  void deviceEvent(const DeviceEvent& event) {
    if (window_ != nullptr) window_->onDeviceEvent(event);
  }
  void hotplug(const HotplugEvent& event) {
    if (window_ != nullptr) window_->onHotplug(event);
  }
  // `show`: `--show` asked for the window; false: a plain second start. False when there is no
  // window model yet to take the request.
  bool instanceRequest(bool show) {
    if (window_ == nullptr) return false;
    if (show) {
      window_->onShowRequest();
    } else {
      window_->onSecondInstance();
    }
    return true;
  }
  // Another process asked the program to end (the Windows installer before it replaces or
  // removes the program's files): as the tray menu's Exit. False when there is no window model
  // yet to take the request; otherwise the process ends here.
  bool exitRequest() {
    if (window_ == nullptr) return false;
    window_->exitProgram();
    return true;
  }

 private:
  CTarnwickDlg* window_ = nullptr;
};

}  // namespace vm31
