#pragma once
// The emulated mouse as seen from outside its process: `vm31ctl emulator run` serves the firmware
// model on Unix sockets in the user's runtime folder, and EmulatorSocketBus lists and opens it
// like a plugged-in mouse, beside the hidraw nodes, without any flag.
//
// Files in UserRuntimeFolder() (platform/linux/runtime_folder.h):
//   kor-vm31-emulator.ctl   control socket, present while the emulator runs: one text line per
//                           connection ("plug", "unplug", "press rate 1000|500|250|125",
//                           "press dpi 1..4", "press group 1|2", "press macro N", "status"),
//                           answered by one line: "ok ...", or "error <reason>".
//   kor-vm31-emulator.sock  device socket, present only while the emulated mouse is plugged in
//                           (created under a temporary name and renamed into place once it
//                           listens, removed on unplug): its appearance and disappearance are
//                           the hotplug events.
//
// Device connections carry frames: one type byte, a 32-bit little-endian payload length, the
// payload. Client to emulator:
//   'E'                 list the collections        -> 'L' records of 7 little-endian u16:
//                                                      vendor, product, usage page, usage,
//                                                      feature, input, output lengths
//   'O' index mode      open collection `index` (mode 0 control, 1 events) -> 'R'
//   'S' report          set feature report           -> 'R'
//   'G' report          get feature report (report[0] the id, size the length asked)
//                                                    -> 'D' report, or 'R' with an error
//   'W' report          write output report          -> 'R'
//   'Q'                 read an input report (control collection) -> 'D' report, or 'N' none
//   'P'                 presence: the emulator keeps the connection open and closes it on unplug
// Emulator to client:
//   'R' i32             result: bytes transferred, or a negative errno value
//   'I' report          an input report of an events connection, pushed as it happens
// Unplugging closes every device connection, so open handles fail like a removed device.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/device/ports.h"
#include "platform/linux/fd.h"
#include "platform/linux/runtime_folder.h"

namespace vm31::linux_platform {

inline constexpr const char* kEmulatorDeviceSocketName = "kor-vm31-emulator.sock";
inline constexpr const char* kEmulatorControlSocketName = "kor-vm31-emulator.ctl";
inline constexpr const char* kEmulatorPathPrefix = "emulator:";


// --- frames -------------------------------------------------------------------------------

struct Frame {
  char type = 0;
  std::vector<std::uint8_t> payload;
};

inline constexpr std::size_t kMaxFramePayload = 1 << 20;

Status SendFrame(int fd, char type, std::span<const std::uint8_t> payload);
// Reads one whole frame; a closed connection is kNotFound. With a deadline, a frame that is
// not complete by then is kIo ("no answer").
Result<Frame> ReceiveFrame(int fd,
                           std::optional<std::chrono::steady_clock::time_point> deadline = {});
std::vector<std::uint8_t> EncodeResult(std::int32_t value);
std::optional<std::int32_t> DecodeResult(const Frame& frame);

// Connects to a Unix stream socket; kNotFound when nobody listens there, kAccessDenied when
// the process listening there runs as another user.
Result<UniqueFd> ConnectUnix(const std::filesystem::path& path);

// One request line to the control socket and its answer line (without the line break).
Result<std::string> EmulatorControlRequest(const std::string& line);

// --- the client side ----------------------------------------------------------------------

// Lists the running emulator's collections as "emulator:<socket>#<index>" and opens them.
class EmulatorSocketBus : public HidBus {
 public:
  explicit EmulatorSocketBus(std::filesystem::path folder);
  Result<std::vector<HidInterfaceInfo>> enumerate() override;
  Result<std::unique_ptr<HidHandle>> open(const HidInterfaceInfo& info, HidOpenMode mode) override;
  const std::filesystem::path& socketPath() const { return socket_; }

 private:
  std::filesystem::path socket_;
};

// Plug and unplug of the emulated mouse: an inotify watch on the runtime folder sees the device
// socket appear (arrival of each collection, in the emulator's order), and a presence connection
// sees it go (removal), even when the emulator is killed. fd() is one epoll descriptor for both.
class EmulatorHotplugSource : public HotplugSource {
 public:
  static Result<std::unique_ptr<EmulatorHotplugSource>> create(std::filesystem::path folder);
  ~EmulatorHotplugSource() override;
  int fd() const;
  std::vector<HotplugEvent> takePending() override;

 private:
  struct State;
  explicit EmulatorHotplugSource(std::unique_ptr<State> state);
  void connectPresence(std::vector<HotplugEvent>* arrivals);
  void dropPresence(std::vector<HotplugEvent>* removals);
  std::unique_ptr<State> state_;
};

}  // namespace vm31::linux_platform
