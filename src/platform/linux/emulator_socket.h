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
// Both carry the protocol of emulator/emulator_protocol.h; the client is the shared
// EmulatorClientBus over Unix socket connections. Unplugging closes every device connection, so
// open handles fail like a removed device.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/device/ports.h"
#include "emulator/emulator_client.h"
#include "emulator/emulator_protocol.h"
#include "emulator/emulator_service.h"
#include "platform/linux/fd.h"
#include "platform/linux/runtime_folder.h"

namespace vm31::linux_platform {

inline constexpr const char* kEmulatorDeviceSocketName = "kor-vm31-emulator.sock";
inline constexpr const char* kEmulatorControlSocketName = "kor-vm31-emulator.ctl";

// --- frames on a socket -------------------------------------------------------------------

Status SendFrame(int fd, char type, std::span<const std::uint8_t> payload);
// Reads one whole frame; a closed connection is kNotFound. With a deadline, a frame that is
// not complete by then is kIo ("no answer").
Result<EmulatorFrame> ReceiveFrame(int fd, std::optional<EmulatorDeadline> deadline = {});

// Connects to a Unix stream socket; kNotFound when nobody listens there, kAccessDenied when
// the process listening there runs as another user.
Result<UniqueFd> ConnectUnix(const std::filesystem::path& path);

// One request line to the control socket and its answer line (without the line break).
Result<std::string> EmulatorControlRequest(const std::string& line);

// --- the emulator's side -------------------------------------------------------------------

// Serves `service` on the two sockets in `folder` (each made 0600 before it listens, whatever
// the umask) until SIGINT or SIGTERM; `started` is called once the control socket listens and
// the mouse is plugged in. Fails when another emulator serves the folder or a socket fails.
Status ServeEmulator(EmulatorService& service, const std::filesystem::path& folder,
                     const std::function<void()>& started);
// Where ServeEmulator serves, for the emulator's banner: "sockets in <folder>".
std::string EmulatorEndpointsInWords(const std::filesystem::path& folder);

// --- the client side ----------------------------------------------------------------------

// Lists the running emulator's collections as "emulator:<socket>#<index>" and opens them.
class EmulatorSocketBus : public EmulatorClientBus {
 public:
  explicit EmulatorSocketBus(std::filesystem::path folder);
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
