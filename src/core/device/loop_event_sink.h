#pragma once
// The hand-over of device events from the reader thread to the user-interface loop.
//
// Threads: the sink belongs to the thread that created it (the user-interface thread, which runs
// the loop). deliver() may be called from any thread: on the owner's thread it handles the event
// at once, in the call; from another thread it queues the event, raises the wake and blocks until
// the loop's dispatch() has handled it (or shutdown() released it). Events are handled one at a
// time; queued events in the order they were delivered, while one delivered on the owner's
// thread is handled at once, before any still queued.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "core/device/ports.h"

namespace vm31 {

// How the loop learns that events wait. The platform gives it (on Linux an eventfd the loop
// polls); the loop calls LoopEventSink::dispatch() when it fires.
class LoopWake {
 public:
  virtual ~LoopWake() = default;
  // Any thread; never blocks. Raising it twice before it is consumed counts once.
  virtual void raise() = 0;
  // The loop's thread: clears the raised state.
  virtual void consume() = 0;
};

class LoopEventSink : public EventSink {
 public:
  using Handler = std::function<void(const DeviceEvent&)>;
  // `wake` outlives the sink. The calling thread becomes the owner.
  LoopEventSink(Handler handler, LoopWake& wake);

  void deliver(const DeviceEvent& event) override;
  // The owner's thread, when the wake fired: handles every queued event and releases the
  // threads that delivered them.
  void dispatch();
  // Any thread: drops the queue and releases every waiting and later delivery for good (before
  // the reader thread is stopped, so that it never waits on a loop that no longer runs).
  void shutdown();

 private:
  Handler handler_;
  LoopWake& wake_;
  std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable handled_;
  std::deque<DeviceEvent> queue_;
  std::uint64_t queuedCount_ = 0;
  std::uint64_t handledCount_ = 0;
  bool shutdown_ = false;
};

}  // namespace vm31
