#pragma once
// The emulated mouse: the firmware side of the configuration protocol behind both collections,
// with state, validation of everything it receives, fault injection and an optional wire trace.
// Transport-neutral: an in-process bus (tests) and the socket daemon (vm31ctl emulator run) both
// hand it transfers. Thread-safe: one thread may do control transfers while another waits for
// event reports.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_definition.h"
#include "core/device/ports.h"
#include "core/util/atomic_file.h"
#include "emulator/wire_trace.h"

namespace vm31 {

// Report lengths of the two collections, report-id byte included (they follow from the report
// descriptors below).
inline constexpr std::size_t kEmulatedFeatureLength = 9;
inline constexpr std::size_t kEmulatedControlInputLength = 33;
inline constexpr std::size_t kEmulatedControlOutputLength = 33;
inline constexpr std::size_t kEmulatedEventInputLength = 8;

// What the firmware keeps. Every field is what the host last wrote (or the power-on value).
struct FirmwareState {
  std::uint8_t reportRateCode = 1;
  SensorInfo sensorInfo{0, 1, 0x11, 0x02};
  LightState light{1, 3, 2, {{{1, 0x20, 0x30}, {0x40, 0x50, 0x60}}}};
  ColorBlocks colorBlocks{};
  std::uint8_t dpiStageCount = 0;
  DpiBlock dpiBlock{};
  MacroBuffer macros{};
  std::array<std::array<std::uint8_t, 64>, 4> keyMatrices{};
  bool encoded = false;  // the host passed the scrambled handshake
};

struct EmulatorFaults {
  bool noReply = false;         // feature replies are not given: get_feature fails
  bool plainEcho = false;       // the plain handshake challenge is echoed (an unscrambled device)
  bool overlongReply = false;   // block reads announce more data than the block holds
  bool wrongIndex = false;      // read replies name an index, sub-block or slot outside the block
  bool refuseCommand = false;   // commands are taken in but refused: set_feature fails (a stall)
  std::uint8_t onlyOpcode = 0;  // non-zero: noReply, overlongReply, wrongIndex and
                                // refuseCommand hit this command only
  int corruptMacroSlot = 0;     // > 0: that macro slot is stored with its first byte inverted
  int unplugAtTransfer = 0;     // > 0: the mouse is pulled at this transfer (1-based), counted
                                // from the plug or from setFaults(), whichever came last
  std::chrono::microseconds latency{0};  // added to every transfer
};

enum class PressKind { kRate, kDpi, kGroup, kMacro };

class EmulatedMouse {
 public:
  EmulatedMouse(DeviceDefinition definition, Clock& clock);

  static Bytes ControlReportDescriptor();
  static Bytes EventReportDescriptor();
  // The collections as a bus lists them, with the given paths; capabilities come from parsing
  // the report descriptors.
  HidInterfaceInfo controlInfo(std::string path) const;
  HidInterfaceInfo eventInfo(std::string path) const;
  const DeviceDefinition& definition() const { return definition_; }

  // Plugging. A handle opened before an unplug stays dead after the next plug: each transfer
  // names the generation it was opened in.
  void plug();
  void unplug();
  bool plugged() const;
  std::uint64_t generation() const;

  // Control collection transfers. Reads of the control collection never block: a chunk that was
  // not announced gives kTimedOut at once.
  Result<std::size_t> setFeature(std::uint64_t generation, std::span<const std::uint8_t> report);
  Result<std::size_t> getFeature(std::uint64_t generation, std::span<std::uint8_t> report);
  Result<std::size_t> writeOutput(std::uint64_t generation, std::span<const std::uint8_t> report);
  Result<HidReadResult> readControl(std::uint64_t generation, std::span<std::uint8_t> buffer);
  // The oldest announced data chunk, without waiting and without complaint when there is none
  // (for transports that push input reports, such as a kernel HID device). Counts as a read.
  std::optional<Bytes> takeControlReport(std::uint64_t generation);

  // Event collection: blocks until an event report is queued, the mouse is unplugged (error),
  // `wake` is requested or the time-out passes.
  struct EventWait {
    bool wakeRequested = false;  // guarded by the mouse's lock
  };
  Result<HidReadResult> readEvent(std::uint64_t generation, std::span<std::uint8_t> buffer,
                                  std::optional<std::chrono::milliseconds> timeout,
                                  EventWait& wait);
  void wakeEventReader(EventWait& wait);
  // The oldest queued event report, without waiting (for transports that push reports).
  std::optional<Bytes> takeEventReport(std::uint64_t generation);

  // A button pressed on the mouse: rate 1000|500|250|125, dpi 1..4, group 1|2, macro 1..255.
  // Queues event report 6; the rate also changes the firmware's report rate.
  Status press(PressKind kind, int value);
  // Queues any input report on the event collection, as it stands (for tests of the reader).
  void queueEventReport(Bytes report);

  void setSensorType(std::uint8_t type);
  void setFaults(const EmulatorFaults& faults);
  EmulatorFaults faults() const;
  // null: no trace; the trace must outlive its use. Transfers the mouse refuses (unplugged, the
  // no-reply fault) never reached it and are not traced; a refused command reached it and is.
  void setTrace(WireTrace* trace);
  // Called (outside the lock) after an event report was queued or the plug state changed.
  void setListener(std::function<void()> listener);

  FirmwareState state() const;
  // Everything the firmware found wrong in what it received, in words; cleared on request.
  std::vector<std::string> problems() const;
  void clearProblems();
  int transfersSincePlug() const;

 private:
  struct PendingWrite {
    std::uint8_t opcode = 0;
    std::uint8_t index = 0;
    std::size_t length = 0;
    std::size_t chunksExpected = 0;
    Bytes data;
  };

  // Counts a transfer, applies the latency and the unplug fault; an error when the transfer
  // cannot reach the mouse. Called with the lock held (it may release it for the latency).
  Status beginTransfer(std::unique_lock<std::mutex>& lock, std::uint64_t generation);
  void unplugLocked();
  void problem(std::string text);
  void handleCommand(const FeatureCommand& command);
  bool faultHits(std::uint8_t opcode) const;  // whether the reply faults apply to this command
  void reply(std::initializer_list<std::uint8_t> bytes);
  void queueBlock(std::span<const std::uint8_t> data, std::size_t announced);
  void storeWrite(const PendingWrite& write);
  void notifyListener(std::unique_lock<std::mutex>& lock);

  const DeviceDefinition definition_;
  const Codec codec_;
  Clock& clock_;
  mutable std::mutex mutex_;
  std::condition_variable eventArrived_;
  bool plugged_ = false;
  std::uint64_t generation_ = 1;
  int transfers_ = 0;
  FirmwareState state_;
  EmulatorFaults faults_;
  std::optional<FeatureCommand> reply_;
  std::optional<PendingWrite> pending_;
  std::deque<Bytes> controlInput_;
  std::deque<Bytes> eventInput_;
  std::vector<std::string> problems_;
  WireTrace* trace_ = nullptr;
  std::function<void()> listener_;
};

}  // namespace vm31
