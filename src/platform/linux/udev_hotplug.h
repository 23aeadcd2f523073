#pragma once
// Arrival and removal of hidraw nodes, from the udev daemon's monitor ("udev" source, subsystem
// hidraw): events come after udev's rules ran, so an arrival's node already has its access
// rights (or is about to get them from the session manager). The descriptor fd() becomes
// readable when events wait; the user-interface loop watches it and calls takePending().
// Without a udev daemon (containers, CI) the monitor simply stays silent.

#include <map>
#include <memory>

#include "core/device/ports.h"

namespace vm31::linux_platform {

class UdevHotplugSource : public HotplugSource {
 public:
  static Result<std::unique_ptr<UdevHotplugSource>> create();
  ~UdevHotplugSource() override;

  int fd() const;
  // Arrivals and removals of hidraw nodes; the path is the node ("/dev/hidraw3"). Removal
  // events carry the ids the node had when it arrived or was present at creation.
  std::vector<HotplugEvent> takePending() override;

 private:
  struct State;
  explicit UdevHotplugSource(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace vm31::linux_platform
