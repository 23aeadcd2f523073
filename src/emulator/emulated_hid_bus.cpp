#include "emulator/emulated_hid_bus.h"

#include <algorithm>

namespace vm31 {
namespace {

class EmulatedHandle : public HidHandle {
 public:
  EmulatedHandle(EmulatedMouse& mouse, bool control)
      : mouse_(mouse), control_(control), generation_(mouse.generation()) {}

  Result<std::size_t> setFeature(std::span<const std::uint8_t> report) override {
    if (!control_) return WrongCollection();
    return mouse_.setFeature(generation_, report);
  }
  Result<std::size_t> getFeature(std::span<std::uint8_t> report) override {
    if (!control_) return WrongCollection();
    return mouse_.getFeature(generation_, report);
  }
  Result<std::size_t> write(std::span<const std::uint8_t> report) override {
    if (!control_) return WrongCollection();
    return mouse_.writeOutput(generation_, report);
  }
  Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override {
    if (control_) return mouse_.readControl(generation_, buffer);
    return mouse_.readEvent(generation_, buffer, timeout, wait_);
  }
  void wake() override { mouse_.wakeEventReader(wait_); }

 private:
  static Error WrongCollection() {
    return MakeError(ErrorCode::kUsage, "emulated mouse: the event collection only reads");
  }

  EmulatedMouse& mouse_;
  const bool control_;
  const std::uint64_t generation_;
  EmulatedMouse::EventWait wait_;
};

}  // namespace

EmulatedHidBus::EmulatedHidBus(EmulatedMouse& mouse) : mouse_(mouse) {}

std::vector<HidInterfaceInfo> EmulatedHidBus::mouseInterfacesLocked() const {
  std::vector<HidInterfaceInfo> list;
  HidInterfaceInfo events = mouse_.eventInfo(kEventPath);
  HidInterfaceInfo control = mouse_.controlInfo(kControlPath);
  events.parent = control.parent = kParent;
  if (eventFirst_) list.push_back(events);
  if (controlListed_) list.push_back(control);
  if (!eventFirst_) list.push_back(events);
  return list;
}

Result<std::vector<HidInterfaceInfo>> EmulatedHidBus::enumerate() {
  std::lock_guard lock(mutex_);
  std::vector<HidInterfaceInfo> list = foreign_;
  if (mouse_.plugged()) {
    for (auto& info : mouseInterfacesLocked()) list.push_back(std::move(info));
  }
  return list;
}

Result<std::unique_ptr<HidHandle>> EmulatedHidBus::open(const HidInterfaceInfo& info,
                                                        HidOpenMode mode) {
  std::lock_guard lock(mutex_);
  const bool control = info.path == kControlPath;
  if ((!control && info.path != kEventPath) || !mouse_.plugged()) {
    return MakeError(ErrorCode::kNotFound, info.path + ": no such device");
  }
  if (deniedOpens_ != 0) {
    if (deniedOpens_ > 0) --deniedOpens_;
    return MakeError(ErrorCode::kAccessDenied, info.path + ": permission denied");
  }
  if (control != (mode == HidOpenMode::kControl)) {
    return MakeError(ErrorCode::kUsage, info.path + ": opened in the wrong mode");
  }
  return std::unique_ptr<HidHandle>(std::make_unique<EmulatedHandle>(mouse_, control));
}

std::vector<HotplugEvent> EmulatedHidBus::takePending() {
  std::lock_guard lock(mutex_);
  return std::exchange(pending_, {});
}

void EmulatedHidBus::plug() {
  mouse_.plug();
  std::lock_guard lock(mutex_);
  for (const auto& info : mouseInterfacesLocked()) {
    pending_.push_back({HotplugEvent::Kind::kArrival, info.path, info.vendorId, info.productId});
  }
}

void EmulatedHidBus::unplug() {
  mouse_.unplug();
  std::lock_guard lock(mutex_);
  for (const auto& info : mouseInterfacesLocked()) {
    pending_.push_back({HotplugEvent::Kind::kRemoval, info.path, info.vendorId, info.productId});
  }
}

void EmulatedHidBus::addForeign(const HidInterfaceInfo& info, bool announce) {
  std::lock_guard lock(mutex_);
  foreign_.push_back(info);
  if (announce) {
    pending_.push_back({HotplugEvent::Kind::kArrival, info.path, info.vendorId, info.productId});
  }
}

void EmulatedHidBus::removeForeign(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto found = std::find_if(foreign_.begin(), foreign_.end(),
                                  [&](const HidInterfaceInfo& info) { return info.path == path; });
  if (found == foreign_.end()) return;
  pending_.push_back(
      {HotplugEvent::Kind::kRemoval, found->path, found->vendorId, found->productId});
  foreign_.erase(found);
}

void EmulatedHidBus::setControlListed(bool listed) {
  std::lock_guard lock(mutex_);
  controlListed_ = listed;
}

void EmulatedHidBus::setEventListedFirst(bool first) {
  std::lock_guard lock(mutex_);
  eventFirst_ = first;
}

void EmulatedHidBus::setDeniedOpens(int count) {
  std::lock_guard lock(mutex_);
  deniedOpens_ = count;
}

}  // namespace vm31
