#pragma once
// What `vm31ctl emulator run` does with what arrives, the same on every system: the answers of
// the protocol (emulator/emulator_protocol.h) over the firmware model, and the rules the
// system's server follows after each round (EmulatorEndpoints). The connections, the listening
// and the waiting are the system's (platform/*/emulator_*).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "emulator/emulated_mouse.h"
#include "emulator/emulator_protocol.h"

namespace vm31 {

// What the emulator knows of one device connection.
struct DeviceConnectionState {
  std::optional<std::uint8_t> collection;  // opened by 'O'
  bool pushEvents = false;                 // an events connection: input reports are pushed
  std::uint64_t generation = 0;            // the plug it was opened in
};

// The system's server, as the service steers it after each round.
class EmulatorEndpoints {
 public:
  virtual ~EmulatorEndpoints() = default;
  virtual bool deviceEndpointOpen() const = 0;
  // Starts serving the device endpoint: what clients see as the mouse's arrival.
  virtual Status openDeviceEndpoint() = 0;
  // Stops serving it and closes every device connection: the mouse's removal.
  virtual void closeDeviceEndpoint() = 0;
  // Closes the device connections for which `stale` holds.
  virtual void dropDeviceConnections(
      const std::function<bool(const DeviceConnectionState&)>& stale) = 0;
  // Sends the input report to every events connection; a connection that cannot take it in
  // kEmulatorClientStall is dropped.
  virtual void pushEventReport(std::span<const std::uint8_t> report) = 0;
};

// A decimal number of at most nine digits within [low, high] (request words and arguments).
std::optional<int> ParseEmulatorNumber(const std::string& text, int low, int high);

class EmulatorService {
 public:
  // `say` prints one line of the emulator's own output ("plugged in", "unplugged").
  EmulatorService(EmulatedMouse& mouse, std::function<void(const std::string&)> say);

  EmulatedMouse& mouse() { return mouse_; }

  // The answer to one frame of a device connection; none for 'P', which is only held open.
  std::optional<EmulatorFrame> answerDeviceFrame(DeviceConnectionState& connection,
                                                 EmulatorFrame frame);
  // The answer line (without the line break) to one control line.
  std::string answerControlLine(const std::string& line);

  // Follows the model: the device endpoint is served exactly while the mouse is plugged in,
  // connections of an earlier plug are closed, queued event reports go to every events
  // connection (without any the report is lost, as with the kernel), and new problems the
  // firmware found are printed on standard error as "emulated mouse: ...".
  Status follow(EmulatorEndpoints& endpoints);

 private:
  EmulatedMouse& mouse_;
  std::function<void(const std::string&)> say_;
  std::size_t reportedProblems_ = 0;
  bool announcedUnplug_ = false;
};

}  // namespace vm31
