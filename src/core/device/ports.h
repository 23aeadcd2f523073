#pragma once
// The device-side ports: what the device link needs from the operating system (or from the
// emulated mouse) and nothing more. Backends implement them; the core never includes an OS
// header. Every transfer reports its own result; nothing here retries or sleeps on its own.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "core/util/result.h"

namespace vm31 {

// One top-level HID collection as the bus presents it. Report lengths are in bytes and include
// the report-id byte (one byte even when the collection uses no report ids), the way the Windows
// HID capabilities count them; 0 means the collection has no report of that kind.
struct HidInterfaceInfo {
  std::string path;  // what open() takes; unique per collection among one enumerate() result
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t featureReportLength = 0;
  std::uint16_t inputReportLength = 0;
  std::uint16_t outputReportLength = 0;
  // The physical device the collection belongs to (for USB the device, not its interface):
  // collections with the same value are one mouse. Empty when the bus cannot tell; collections
  // with an empty value count as one device.
  std::string parent;

  friend bool operator==(const HidInterfaceInfo&, const HidInterfaceInfo&) = default;
};

// kControl: read and write, every call synchronous (feature reports, bulk chunks).
// kEvents: input reports only; read() may block indefinitely and is woken by wake().
enum class HidOpenMode { kControl, kEvents };

// How a read() ended when it did not fail.
enum class HidReadStatus {
  kReport,    // an input report was copied into the buffer
  kWoken,     // wake() interrupted the wait (or had been requested before it started)
  kTimedOut,  // the time-out given to read() passed without a report
};

struct HidReadResult {
  HidReadStatus status = HidReadStatus::kReport;
  std::size_t length = 0;  // bytes of the report, report-id byte included; 0 unless kReport
};

// An open collection. Buffers always carry the report-id byte first (0 when the collection
// uses no report ids), exactly as on the wire trace; a backend whose kernel interface strips or
// omits that byte restores it. The successful value of a transfer is the number of bytes
// transferred, report-id byte included. A handle may be used by one thread at a time, except
// wake(), which any thread may call at any time.
class HidHandle {
 public:
  virtual ~HidHandle() = default;

  // Sends a feature report; report[0] is the report id, report.size() the feature length.
  virtual Result<std::size_t> setFeature(std::span<const std::uint8_t> report) = 0;
  // Fetches the feature report whose id is report[0] into report (report.size() bytes asked).
  // A device that does not answer makes this fail; it never blocks indefinitely.
  virtual Result<std::size_t> getFeature(std::span<std::uint8_t> report) = 0;
  // Writes an output report (report[0] is the report id).
  virtual Result<std::size_t> write(std::span<const std::uint8_t> report) = 0;
  // Reads one input report into buffer (a report longer than the buffer is cut to it). Blocks
  // until a report arrives, the handle fails (an error: the device is gone or broken), wake() is
  // requested (kWoken), or `timeout` passes (kTimedOut; no time-out when empty). A pending
  // wake request is consumed by the read that returns kWoken. Waiting costs no processor time:
  // no timers and no periodic wake-ups.
  virtual Result<HidReadResult> read(std::span<std::uint8_t> buffer,
                                     std::optional<std::chrono::milliseconds> timeout) = 0;
  // Interrupts a read() blocked in another thread, or makes the next read() return kWoken at
  // once. Thread-safe; never fails.
  virtual void wake() = 0;
};

class HidBus {
 public:
  virtual ~HidBus() = default;

  // Every HID top-level collection present now, in the system's order. A device whose node
  // exists but cannot be examined still appears, with the ids known and the rest 0, so that the
  // caller can tell "absent" from "present but not accessible".
  virtual Result<std::vector<HidInterfaceInfo>> enumerate() = 0;
  // Opens a collection listed by enumerate(). A node without permission fails with
  // ErrorCode::kAccessDenied; a node that is gone fails with ErrorCode::kNotFound.
  virtual Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info,
                                                  HidOpenMode mode) = 0;
};

struct HotplugEvent {
  enum class Kind { kArrival, kRemoval };
  Kind kind = Kind::kArrival;
  std::string path;  // as in HidInterfaceInfo::path
  // The device's ids. A source fills them on removal too (it remembers what it announced); 0
  // when they cannot be known.
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;

  friend bool operator==(const HotplugEvent&, const HotplugEvent&) = default;
};

// Arrival and removal of HID interfaces, one event per interface (a composite device produces
// several). Driven from the user-interface loop: when the backend's readiness signal fires (for
// example a descriptor the loop watches), the loop calls takePending() and hands the events to
// the device link. Never blocks.
class HotplugSource {
 public:
  virtual ~HotplugSource() = default;
  virtual std::vector<HotplugEvent> takePending() = 0;
};

// Whether a device backend follows plugging: a program that runs for a while does; a one-shot
// command looks at the bus once and never sets up the watches (whose descriptors cost time to
// set up and close).
enum class HotplugFollowing { kFollow, kNone };

// Starts following arrivals and removals for the user-interface loop: once started, the host
// hands each HotplugSource event to the main window on the user-interface thread. Starting twice
// is harmless; a failure says why the watch could not be set up.
class HotplugWatch {
 public:
  virtual ~HotplugWatch() = default;
  virtual Status start() = 0;
};

// Monotonic time. Protocol waits are minimums: callers compute an absolute deadline from the end
// of the transfer they follow and wait until it, so the time spent between two waits is not
// added on top. A virtual clock for tests records the waits and advances without sleeping.
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint now() = 0;
  // Returns at or after `deadline`, never before; at once when the deadline has passed.
  virtual void waitUntil(TimePoint deadline) = 0;
};

// Held while this program is the mouse's only user; released when destroyed.
class OwnershipLock {
 public:
  virtual ~OwnershipLock() = default;
};

// Keeps two programs (the window and vm31ctl, or two vm31ctl) from interleaving transfers with
// one mouse: each takes the mouse for the length of a handshake or an apply.
class MouseOwnership {
 public:
  virtual ~MouseOwnership() = default;
  // Takes the mouse whose control collection is `control`, waiting at most `patience` while
  // another program holds it. Then fails with ErrorCode::kBusy and a message naming the holder
  // ("the mouse is busy: vm31ctl (pid 123) is programming it"). Not re-entrant: one holder per
  // process and mouse at a time.
  virtual Result<std::unique_ptr<OwnershipLock>> acquire(const HidInterfaceInfo& control,
                                                         std::chrono::milliseconds patience) = 0;
};

// The switches made with the mouse's own buttons: the code of the mouse's event report (byte 1),
// with the value it sends (byte 3).
enum class MouseSwitch : int {
  kReportRate = 5,  // value 1 = 1000 Hz, 2 = 500 Hz, 4 = 250 Hz, 8 = 125 Hz
  kDpiStage = 7,    // value: stage 1..4
  kKeyGroup = 8,    // value: group 1 or 2
  kMacroKey = 9,    // value: a non-zero number
};

struct SwitchEvent {
  MouseSwitch which = MouseSwitch::kDpiStage;
  int value = 0;  // as the mouse sends it; values outside the ranges above show nothing

  friend bool operator==(const SwitchEvent&, const SwitchEvent&) = default;
};

// The device link's notices about the mouse's presence.
enum class PresenceNotice {
  kDetected,
  kNotDetected,
  // The mouse is plugged in but this user may not open it; DeviceLink::openProblem() says why and
  // how to fix it. Sent instead of kNotDetected once the retries after an arrival ran out.
  kAccessDenied,
  // Another program is programming the mouse; DeviceLink::openProblem() names it.
  kBusy,
};

// What reaches the user-interface thread from the device side: a switch the reader thread read
// from the mouse, or a presence notice of the device link.
using DeviceEvent = std::variant<SwitchEvent, PresenceNotice>;

// Hands a device event to the user-interface thread and returns only after it has been handled
// there, one event at a time. Called from the reader thread for the mouse's switches and from the
// user-interface thread itself for the presence notices (then the event is handled at once, in
// the call).
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void deliver(const DeviceEvent& event) = 0;
};

}  // namespace vm31
