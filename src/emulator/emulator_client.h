#pragma once
// The client side of the emulated mouse's protocol (emulator/emulator_protocol.h), the same on
// every system: EmulatorClientBus lists and opens the running emulator's collections like a
// plugged-in mouse. Each system gives the connections (EmulatorConnection): a Unix socket on
// Linux, loopback TCP on Windows.
//
// Bounds, whatever the peer does: every request has one deadline for its whole answer
// (kEmulatorAnswerTime, not restarted per frame or byte); a handle keeps at most
// kMaxQueuedReports input reports pushed before an answer (the oldest are dropped, as a device's
// own buffer would), each cut to kMaxReportBytes; a frame is at most kMaxFramePayload.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/device/ports.h"
#include "emulator/emulator_protocol.h"

namespace vm31 {

// How EmulatorConnection::waitReadable ended.
enum class ConnectionWait { kReadable, kWoken, kTimedOut };

// One open connection to the emulator, already admitted (whatever the system's transport asks
// for before the protocol starts). Used by one thread at a time, except wake().
class EmulatorConnection {
 public:
  virtual ~EmulatorConnection() = default;
  // Sends every byte; a connection the emulator closed fails with kNotFound.
  virtual Status send(std::span<const std::uint8_t> bytes) = 0;
  // Fills `bytes`, all of them before `deadline`: a closed connection is kNotFound ("the device
  // is gone"), the deadline passing kIo ("no answer").
  virtual Status receive(std::span<std::uint8_t> bytes, EmulatorDeadline deadline) = 0;
  // Waits until data or a hang-up waits (kReadable), wake() was called (kWoken; consumed) or the
  // time-out passes (never when empty). A pending wake wins over data.
  virtual Result<ConnectionWait> waitReadable(std::optional<std::chrono::milliseconds> timeout) = 0;
  // Clears a pending wake; true when there was one.
  virtual bool consumeWake() = 0;
  // Thread-safe; never fails.
  virtual void wake() = 0;
};

Status SendFrame(EmulatorConnection& connection, char type, std::span<const std::uint8_t> payload);
Result<EmulatorFrame> ReceiveFrame(EmulatorConnection& connection, EmulatorDeadline deadline);

// One control request line and its answer line (without the line break), under one deadline.
// `where` names the control endpoint in errors.
Result<std::string> ExchangeControlLine(EmulatorConnection& connection, const std::string& line,
                                        const std::string& where);

// Opens a new connection to the device endpoint; fails (any code) while nobody serves it.
using EmulatorConnector = std::function<Result<std::unique_ptr<EmulatorConnection>>()>;

class EmulatorClientBus : public HidBus {
 public:
  // `where` names the device endpoint in the collections' paths and in errors.
  EmulatorClientBus(std::string where, EmulatorConnector connect);
  // The emulator's collections; nothing while it is not running or unplugged.
  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;

 private:
  std::string where_;
  EmulatorConnector connect_;
};

}  // namespace vm31
