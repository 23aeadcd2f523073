#include "core/device/loop_event_sink.h"

#include <utility>

namespace vm31 {

LoopEventSink::LoopEventSink(Handler handler, LoopWake& wake)
    : handler_(std::move(handler)), wake_(wake), owner_(std::this_thread::get_id()) {}

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

}  // namespace vm31
