#include "core/device/reader.h"

#include <algorithm>
#include <vector>

namespace vm31 {

std::optional<SwitchEvent> ParseEventReport(std::span<const std::uint8_t> report) {
  if (report.size() < 4 || report[0] != kEventReportId) return std::nullopt;
  const auto which = static_cast<MouseSwitch>(report[1]);
  switch (which) {
    case MouseSwitch::kReportRate:
    case MouseSwitch::kDpiStage:
    case MouseSwitch::kKeyGroup:
    case MouseSwitch::kMacroKey:
      return SwitchEvent{which, report[3]};
    default:
      return std::nullopt;
  }
}

DeviceReader::DeviceReader(EventSink& sink) : sink_(sink) {}

DeviceReader::~DeviceReader() {
  stop();
}

void DeviceReader::start() {
  if (thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = false;
  }
  thread_ = std::thread([this] {
    while (runOnce()) {
    }
  });
}

void DeviceReader::stop() {
  std::shared_ptr<HidHandle> handle;
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    wakeRequested_ = true;
    handle = handle_;
  }
  wake_.notify_all();
  if (handle) handle->wake();
  if (thread_.joinable()) thread_.join();
}

void DeviceReader::setEventHandle(std::shared_ptr<HidHandle> handle, std::size_t inputLength) {
  std::shared_ptr<HidHandle> old;
  {
    std::lock_guard lock(mutex_);
    old = std::exchange(handle_, std::move(handle));
    inputLength_ = inputLength;
    wakeRequested_ = true;
  }
  wake_.notify_all();
  if (old) old->wake();  // a read blocked on the old collection gives up and comes back
}

void DeviceReader::setPresent(bool present) {
  std::shared_ptr<HidHandle> handle;
  {
    std::lock_guard lock(mutex_);
    present_ = present;
    wakeRequested_ = true;
    handle = handle_;
  }
  wake_.notify_all();
  if (handle && !present) handle->wake();
}

bool DeviceReader::runOnce() {
  std::shared_ptr<HidHandle> handle;
  std::size_t inputLength = 0;
  {
    std::unique_lock lock(mutex_);
    if (stopRequested_) return false;
    if (!present_ || !handle_) {
      wake_.wait(lock, [this] { return wakeRequested_ || stopRequested_; });
      wakeRequested_ = false;
      return !stopRequested_;
    }
    wakeRequested_ = false;
    handle = handle_;
    inputLength = inputLength_;
  }
  // The buffer holds the whole report even when the collection's reports are longer than the
  // customary 40 bytes.
  std::vector<std::uint8_t> buffer(std::max(kEventReportBufferSize, inputLength), 0);
  const std::size_t asked = inputLength == 0 ? kEventReportBufferSize : inputLength;
  Result<HidReadResult> got = handle->read(std::span(buffer.data(), asked), std::nullopt);
  if (!got) {
    // The collection failed (the mouse is going away): wait for the next handle or presence
    // change instead of retrying a dead handle.
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return wakeRequested_ || stopRequested_ || handle_ != handle; });
    return !stopRequested_;
  }
  if (got.value().status != HidReadStatus::kReport || got.value().length == 0) return true;
  const auto event = ParseEventReport(std::span(buffer.data(), got.value().length));
  if (!event) return true;
  {
    std::lock_guard lock(mutex_);
    if (!present_ || stopRequested_) return !stopRequested_;
  }
  sink_.deliver(*event);
  return true;
}

}  // namespace vm31
