#pragma once
// The reader of the mouse's event reports: a background thread that waits for input reports on
// the event collection and hands each recognised one to the user-interface thread. It waits in
// the kernel (or on a condition variable while the mouse is absent): no timers, no periodic
// wake-ups.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "core/device/ports.h"

namespace vm31 {

inline constexpr std::uint8_t kEventReportId = 6;
inline constexpr std::size_t kEventReportBufferSize = 40;

// Report id 6 with code 5, 7, 8 or 9 in byte 1 gives that switch with the value in byte 3; any
// other report gives nothing.
std::optional<SwitchEvent> ParseEventReport(std::span<const std::uint8_t> report);

class DeviceReader {
 public:
  explicit DeviceReader(EventSink& sink);
  ~DeviceReader();  // stops the thread
  DeviceReader(const DeviceReader&) = delete;
  DeviceReader& operator=(const DeviceReader&) = delete;

  // User-interface thread. start() creates the thread once; stop() ends and joins it (the sink
  // must no longer block a delivery by then; see ~DeviceLink).
  void start();
  void stop();
  // A freshly opened event collection (null: none) and its input report length. The reader
  // drops the one it was reading from and starts reading the new one.
  void setEventHandle(std::shared_ptr<HidHandle> handle, std::size_t inputLength);
  // The presence flag as the reader sees it: reports are read and delivered only while present.
  void setPresent(bool present);

  // One pass of the reader's loop: waits for a wake-up while absent, else reads one report and
  // delivers its event. False once stop() was requested. The thread runs this; tests may too.
  bool runOnce();

 private:
  EventSink& sink_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool wakeRequested_ = false;
  bool stopRequested_ = false;
  bool present_ = false;
  std::shared_ptr<HidHandle> handle_;
  std::size_t inputLength_ = 0;
  std::thread thread_;
};

}  // namespace vm31
