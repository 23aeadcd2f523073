#pragma once
// The emulated mouse as seen from outside its process on Windows: `vm31ctl emulator run` serves
// the firmware model on loopback TCP, and EmulatorTcpBus lists and opens it like a plugged-in
// mouse, beside the HID interfaces. Loopback TCP because Wine 8 gives Windows programs no
// AF_UNIX, and it works the same on Windows and between any two processes under Wine; named
// pipes would too, but only between Windows programs.
//
// Files in UserRuntimeFolder() (platform/windows/runtime_folder.h), each "port N",
// "client-key HEX", "emulator-key HEX" on three lines, readable and writable by this user only
// (a protected DACL naming the user alone), replaced whole (written beside, then moved over):
//   kor-vm31-emulator.ctl   the control port, present while the emulator runs
//   kor-vm31-emulator.dev   the device port, present only while the emulated mouse is plugged in
//                           (a new listener and port at each plug, the file removed on unplug)
//
// Both listen on 127.0.0.1 only, with SO_EXCLUSIVEADDRUSE. Loopback TCP is open to every local
// user, so a connection is admitted first: the client sends the 16 bytes of the client key, the
// emulator closes the connection on anything else, and answers with the 16 bytes of the emulator
// key, which the client checks before it sends anything more. Only a process that can read the
// user's runtime folder knows the keys: another user's program can neither drive this user's
// emulator nor pass for it (and so receive this user's settings). Then the connections carry
// the same protocol as on Linux (emulator/emulator_protocol.h): one text line each on the
// control port, frames on the device port.
//
// Hotplug (EmulatorTcpHotplugSource): Windows' device notifications never hear of the emulated
// mouse. A change notification on the runtime folder (FindFirstChangeNotificationW, file names)
// fires when the device file appears, and a presence connection ('P'), which the emulator closes
// on unplug and Windows closes when the emulator ends, even killed, tells the removal. Nothing
// polls: both are handles the user-interface loop waits on.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/ports.h"
#include "emulator/emulator_client.h"
#include "emulator/emulator_service.h"

namespace vm31::windows_platform {

inline constexpr const char* kEmulatorControlFileName = "kor-vm31-emulator.ctl";
inline constexpr const char* kEmulatorDeviceFileName = "kor-vm31-emulator.dev";

using EmulatorKey = std::array<std::uint8_t, 16>;

// What an address file holds.
struct EmulatorAddress {
  std::uint16_t port = 0;
  EmulatorKey clientKey{};
  EmulatorKey emulatorKey{};
  friend bool operator==(const EmulatorAddress&, const EmulatorAddress&) = default;
};

std::string FormatEmulatorAddress(const EmulatorAddress& address);
// nullopt unless the text is exactly the three lines FormatEmulatorAddress writes (line breaks
// "\n" or "\r\n"), with a port other than 0.
std::optional<EmulatorAddress> ParseEmulatorAddress(std::string_view text);

// Writes the file for this user alone, replacing what was there.
Status WriteEmulatorAddress(const std::filesystem::path& file, const EmulatorAddress& address);
// kNotFound when there is no such file, kBadFormat when it is not an address file.
Result<EmulatorAddress> ReadEmulatorAddress(const std::filesystem::path& file);

// Connects to the port named in `file` and passes the admission: kNotFound when there is no file
// or nobody listens, kAccessDenied when the peer does not answer with the emulator key.
Result<std::unique_ptr<EmulatorConnection>> ConnectEmulator(const std::filesystem::path& file);

// --- the emulator's side -------------------------------------------------------------------

// Serves `service` on the two ports, their files in `folder`, until the console's Ctrl+C,
// Ctrl+Break or close; `started` is called once the control port is served and the mouse is
// plugged in. Fails when another emulator serves the folder or a socket or file fails.
Status ServeEmulator(EmulatorService& service, const std::filesystem::path& folder,
                     const std::function<void()>& started);
// Where ServeEmulator serves, for the emulator's banner.
std::string EmulatorEndpointsInWords(const std::filesystem::path& folder);

// One request line to the control port and its answer line (without the line break).
Result<std::string> EmulatorControlRequest(const std::string& line);

// --- the client side ----------------------------------------------------------------------

// Lists the running emulator's collections as "emulator:<device file>#<index>" and opens them.
class EmulatorTcpBus : public EmulatorClientBus {
 public:
  explicit EmulatorTcpBus(const std::filesystem::path& folder);
};

// Plug and unplug of the emulated mouse (see the header comment). signals() are the handles the
// loop waits on; takePending() re-arms them.
class EmulatorTcpHotplugSource : public HotplugSource {
 public:
  static Result<std::unique_ptr<EmulatorTcpHotplugSource>> create(
      const std::filesystem::path& folder);
  ~EmulatorTcpHotplugSource() override;
  std::vector<void*> signals() const;  // HANDLEs
  std::vector<HotplugEvent> takePending() override;

 private:
  struct State;
  explicit EmulatorTcpHotplugSource(std::unique_ptr<State> state);
  void connectPresence(std::vector<HotplugEvent>* arrivals);
  void dropPresence(std::vector<HotplugEvent>* removals);
  std::unique_ptr<State> state_;
};

}  // namespace vm31::windows_platform
