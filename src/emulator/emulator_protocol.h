#pragma once
// The emulated mouse between processes, the same on every system: `vm31ctl emulator run` serves
// the firmware model, and the program's bus lists and opens it like a plugged-in mouse. Each
// system carries it on its own kind of connection (Unix sockets on Linux, loopback TCP on
// Windows: platform/*/emulator_*.h); what travels on a connection is this.
//
// Control connections carry one text line per connection ("plug", "unplug", "press rate
// 1000|500|250|125", "press dpi 1..4", "press group 1|2", "press macro N", "fault ...",
// "status"), answered by one line: "ok ...", or "error <reason>".
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
//   'R' i32             result: bytes transferred, or a negative error number (the Linux errno
//                       values of kWire*)
//   'I' report          an input report of an events connection, pushed as it happens
// Unplugging closes every device connection, so open handles fail like a removed device.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/device/ports.h"
#include "core/util/result.h"

namespace vm31 {

// A device connection's collection path: kEmulatorPathPrefix, where the device is reached,
// '#', the collection's index.
inline constexpr const char* kEmulatorPathPrefix = "emulator:";

inline constexpr std::uint8_t kEmulatedControlCollection = 0;
inline constexpr std::uint8_t kEmulatedEventCollection = 1;

inline constexpr std::size_t kFrameHeaderBytes = 5;
inline constexpr std::size_t kMaxFramePayload = 1 << 20;
inline constexpr std::size_t kCollectionRecordBytes = 14;
// Upper bound for one answer: the emulator answers at once (plus its injected latency), so only a
// wedged emulator ever reaches it.
inline constexpr std::chrono::seconds kEmulatorAnswerTime{5};
// The emulator drops a client that starts a frame or a line and stops sending, or that stops
// reading its event reports, after this long.
inline constexpr std::chrono::seconds kEmulatorClientStall{1};
// What a client's control handle keeps of the input reports that arrive while it waits for an
// answer: the newest kMaxQueuedReports, each cut to kMaxReportBytes.
inline constexpr std::size_t kMaxQueuedReports = 64;
inline constexpr std::size_t kMaxReportBytes = 4096;
// The longest control line the emulator reads, and the longest answer line a client reads.
inline constexpr std::size_t kMaxControlLine = 256;
inline constexpr std::size_t kMaxControlAnswer = 4096;

// The error numbers a result frame carries (negated), the same on every system.
inline constexpr std::int32_t kWireIoError = 5;           // EIO
inline constexpr std::int32_t kWireBadHandle = 9;         // EBADF: no collection opened
inline constexpr std::int32_t kWireNoDevice = 19;         // ENODEV: unplugged
inline constexpr std::int32_t kWireInvalid = 22;          // EINVAL
inline constexpr std::int32_t kWireWrongCollection = 32;  // EPIPE: not on this collection

struct EmulatorFrame {
  char type = 0;
  std::vector<std::uint8_t> payload;
};

using EmulatorDeadline = std::chrono::steady_clock::time_point;

// The deadline of one answer, from now.
EmulatorDeadline EmulatorAnswerDeadline();

// The frame's bytes: header and payload.
std::vector<std::uint8_t> EncodeFrame(char type, std::span<const std::uint8_t> payload);
// Reads one frame through `readExactly`, which fills its whole buffer or fails; an announced
// payload beyond kMaxFramePayload is kBadFormat ("oversized frame") and is never read.
Result<EmulatorFrame> ReadFrame(const std::function<Status(std::span<std::uint8_t>)>& readExactly);

std::vector<std::uint8_t> EncodeResult(std::int32_t value);
std::optional<std::int32_t> DecodeResult(const EmulatorFrame& frame);
// A negative result as the error of `what`: unplugged and wrong-collection results are
// kNotFound (the device is gone for this handle), the rest kIo.
Error WireResultError(const std::string& what, std::int32_t result);

// The 'L' records of the collections, and back: a decoded collection's path is
// kEmulatorPathPrefix + `where` + "#" + its index; a trailing partial record is ignored.
std::vector<std::uint8_t> EncodeCollections(const std::vector<HidInterfaceInfo>& collections);
std::vector<HidInterfaceInfo> DecodeCollections(std::span<const std::uint8_t> records,
                                                const std::string& where);
// The collection index of such a path; nullopt for any other path.
std::optional<std::uint8_t> CollectionIndexOfPath(const std::string& path);

}  // namespace vm31
