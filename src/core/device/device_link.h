#pragma once
// The device link: finds the mouse's two collections on the bus, opens them, runs the handshake,
// keeps the presence flag and follows arrivals and removals. Everything here runs on the
// user-interface thread; the reader thread only reads the flag and the event collection.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_definition.h"
#include "core/device/ports.h"
#include "core/device/reader.h"
#include "core/device/transport.h"

namespace vm31 {

enum class OpenOutcome {
  kOpened,        // the control collection is open (the event collection too when listed)
  kAbsent,        // no control collection of the mouse on the bus
  kAccessDenied,  // the mouse is there but this user may not open it
  kFailed,        // the bus or an open failed otherwise
};

// After an arrival whose open is refused for lack of permission, the open is tried again for
// this long (the system applies its access rule just after the device appears). Arrivals within
// this long after the retries ran out try once: they belong to the same plug-in.
inline constexpr auto kAccessRetryPeriod = std::chrono::milliseconds(2000);
inline constexpr auto kAccessRetryInterval = std::chrono::milliseconds(100);

// How long a handshake, a sensor refresh or an apply waits while another program is programming
// the mouse before it gives up with ErrorCode::kBusy.
inline constexpr auto kOwnershipPatience = std::chrono::milliseconds(3000);

class DeviceLink {
 public:
  DeviceLink(HidBus& bus, Clock& clock, EventSink& sink, DeviceDefinition definition);
  // Joins the reader thread. The reader may be blocked in EventSink::deliver, waiting for the
  // user-interface thread: the sink must stop waiting (release pending and later deliveries)
  // before the link is destroyed on that thread, or the two threads wait for each other.
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Takes the mouse through `ownership` (it must outlive the link) for every handshake, sensor
  // refresh and apply, so that no other program's transfers come in between. Null (the
  // default): no other program is guarded against.
  void setOwnership(MouseOwnership* ownership) { ownership_ = ownership; }

  // Finds and opens the mouse, replacing (and closing) the handles of an earlier open. The
  // collections may be listed in any order. The first control collection is taken with the
  // event collection of the same parent device, so that with two mice plugged in the events
  // come from the mouse that is programmed. A matching device without the control collection
  // counts as absent.
  OpenOutcome openMouseDevice();

  // Start-up: open and handshake; the detected or not-detected notice goes to the sink.
  // Returns the presence flag.
  bool startUp();

  // An arrival or removal from the hotplug source. Events of other devices change nothing
  // (false). Arrival: open, handshake, sensor refresh; removal: open again (another of the
  // mouse's interfaces may have gone) or fall back to absent. One call per interface event.
  bool handleHotplug(const HotplugEvent& event);

  bool devicePresent() const { return present_; }
  std::optional<HandshakeOutcome> lastHandshake() const { return lastHandshake_; }
  // Why the last open failed, in words for the user (empty when it did not fail that way).
  const std::optional<Error>& openProblem() const { return openProblem_; }
  // The system's own refusal behind a kAccessDenied open (it names the node); empty when the
  // last open was not refused.
  const std::string& accessRefusal() const { return accessRefusal_; }
  const HidInterfaceInfo& controlInfo() const { return controlInfo_; }
  const HidInterfaceInfo& eventInfo() const { return eventInfo_; }

  // The handshake on the open control collection; sets the presence flag and notifies. When
  // another program keeps the mouse busy the mouse counts as absent, openProblem() says who
  // holds it and the notice is kBusy.
  bool handshake();
  // Reads the sensor info, remembers the sensor type, writes it back with bit 0x40 of option 2.
  Status sensorRefresh();
  // One command through the transport (the reply replaces `command` for read opcodes), while
  // the mouse is taken; refused with kNotFound while the mouse is absent, kBusy while another
  // program keeps it.
  Status sendCommand(FeatureCommand& command);
  // The apply sequence; refused with kNotFound while the mouse is absent and with kBusy while
  // another program keeps it.
  Result<ApplyOutcome> apply(const MouseConfig& config);

  DeviceState& state() { return state_; }
  DeviceReader& reader() { return reader_; }
  CommandTransport* transport() { return transport_.get(); }
  const DeviceDefinition& definition() const { return definition_; }

  // Closes every handle and marks the mouse absent (no notice).
  void close();

 private:
  bool isMouse(const HidInterfaceInfo& info) const;
  void setPresent(bool present);
  void notify(PresenceNotice notice);
  void handleArrival();
  // The mouse for one handshake or apply: null when no ownership is guarded (or the guard itself
  // is broken: the lock is advisory and must not keep the mouse from being used); kBusy errors.
  Result<std::unique_ptr<OwnershipLock>> takeOwnership();

  HidBus& bus_;
  Clock& clock_;
  EventSink& sink_;
  MouseOwnership* ownership_ = nullptr;
  DeviceDefinition definition_;
  DeviceReader reader_;
  DeviceState state_;
  std::unique_ptr<HidHandle> control_;
  std::shared_ptr<HidHandle> events_;
  std::unique_ptr<CommandTransport> transport_;
  HidInterfaceInfo controlInfo_;
  HidInterfaceInfo eventInfo_;
  std::vector<std::string> mousePaths_;  // every path of the mouse seen by the last open
  bool present_ = false;
  std::optional<HandshakeOutcome> lastHandshake_;
  std::optional<Error> openProblem_;
  std::string accessRefusal_;
  std::optional<Clock::TimePoint> accessGaveUpAt_;  // when the last access retries ran out
};

}  // namespace vm31
