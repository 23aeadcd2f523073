#include "platform/linux/linux_device_backend.h"

#include <sys/epoll.h>

#include <cerrno>

namespace vm31::linux_platform {

Result<std::vector<HidInterfaceInfo>> CombinedBus::enumerate() {
  std::vector<HidInterfaceInfo> all;
  owners_.clear();
  std::optional<Error> firstError;
  for (HidBus* bus : buses_) {
    auto listed = bus->enumerate();
    if (!listed) {
      if (!firstError) firstError = listed.error();
      continue;  // one bus failing does not hide the others' devices
    }
    for (auto& info : listed.value()) {
      owners_[info.path] = bus;
      all.push_back(std::move(info));
    }
  }
  if (all.empty() && firstError) return *firstError;
  return all;
}

Result<std::unique_ptr<HidHandle>> CombinedBus::open(const HidInterfaceInfo& info,
                                                     HidOpenMode mode) {
  const auto owner = owners_.find(info.path);
  if (owner == owners_.end()) {
    return MakeError(ErrorCode::kNotFound, info.path + ": not listed by the last enumeration");
  }
  return owner->second->open(info, mode);
}

LinuxDeviceBackend::~LinuxDeviceBackend() = default;

Result<std::unique_ptr<LinuxDeviceBackend>> LinuxDeviceBackend::create(
    const DeviceDefinition& definition) {
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

Result<std::unique_ptr<LoopEventSink>> LoopEventSink::create(Handler handler) {
  auto wake = WakeFlag::create();
  if (!wake) return wake.error();
  return std::unique_ptr<LoopEventSink>(
      new LoopEventSink(std::move(handler), std::move(wake).value()));
}

LoopEventSink::LoopEventSink(Handler handler, WakeFlag wake)
    : handler_(std::move(handler)), wake_(std::move(wake)), owner_(std::this_thread::get_id()) {}

void LoopEventSink::deliver(const DeviceEvent& event) {
  if (std::this_thread::get_id() == owner_) {
    handler_(event);
    return;
  }
  std::unique_lock lock(mutex_);
  if (shutdown_) return;
  queue_.push_back(event);
  const std::uint64_t ticket = ++queuedCount_;
  wake_.raise();
  handled_.wait(lock, [&] { return shutdown_ || handledCount_ >= ticket; });
}

void LoopEventSink::dispatch() {
  wake_.consume();
  for (;;) {
    DeviceEvent event;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      event = queue_.front();
      queue_.pop_front();
    }
    handler_(event);
    {
      std::lock_guard lock(mutex_);
      ++handledCount_;
    }
    handled_.notify_all();
  }
}

void LoopEventSink::shutdown() {
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    queue_.clear();
  }
  handled_.notify_all();
}

}  // namespace vm31::linux_platform
