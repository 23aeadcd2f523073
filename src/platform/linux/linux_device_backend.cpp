#include "platform/linux/linux_device_backend.h"

#include <sys/epoll.h>

#include <cerrno>

namespace vm31::linux_platform {

LinuxDeviceBackend::~LinuxDeviceBackend() = default;

Result<std::unique_ptr<LinuxDeviceBackend>> LinuxDeviceBackend::create(
    const DeviceDefinition& definition, HotplugFollowing following) {
  std::unique_ptr<LinuxDeviceBackend> backend(new LinuxDeviceBackend());
  auto hidraw = HidrawBus::create();
  if (!hidraw) return hidraw.error();
  backend->hidraw_ = std::move(hidraw).value();
  backend->hidraw_->setExaminedIds(definition.vendorId, definition.productId);
  auto folder = UserRuntimeFolder();
  if (!folder) return folder.error();
  backend->emulator_ = std::make_unique<EmulatorSocketBus>(folder.value());
  backend->ownership_ =
      std::make_unique<LockFileOwnership>(folder.value(), program_invocation_short_name);
  backend->combined_ = std::make_unique<CombinedBus>(
      std::vector<HidBus*>{backend->hidraw_.get(), backend->emulator_.get()});

  backend->epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
  if (!backend->epoll_.valid()) return ErrnoError("epoll", errno);
  const auto watch = [&](int fd) -> Status {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (::epoll_ctl(backend->epoll_.get(), EPOLL_CTL_ADD, fd, &event) < 0) {
      return ErrnoError("epoll", errno);
    }
    return Ok{};
  };
  if (following == HotplugFollowing::kNone) return backend;
  if (auto udev = UdevHotplugSource::create()) {
    backend->udev_ = std::move(udev).value();
    if (auto added = watch(backend->udev_->fd()); !added) return added.error();
  }
  // Without a watch on the runtime folder the emulated mouse is still found when present, only
  // its plugging is not followed.
  if (auto emulated = EmulatorHotplugSource::create(folder.value())) {
    backend->emulatorHotplug_ = std::move(emulated).value();
    if (auto added = watch(backend->emulatorHotplug_->fd()); !added) return added.error();
  }
  return backend;
}

std::vector<HotplugEvent> LinuxDeviceBackend::hotplugEvents() {
  // Level-triggered epoll: draining the sources is enough to make the descriptor quiet again.
  std::vector<HotplugEvent> events;
  if (udev_) events = udev_->takePending();
  if (emulatorHotplug_) {
    for (auto& event : emulatorHotplug_->takePending()) events.push_back(std::move(event));
  }
  return events;
}

Result<std::unique_ptr<EventFdWake>> EventFdWake::create() {
  auto flag = WakeFlag::create();
  if (!flag) return flag.error();
  return std::unique_ptr<EventFdWake>(new EventFdWake(std::move(flag).value()));
}

}  // namespace vm31::linux_platform
