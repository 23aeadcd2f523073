#pragma once
// The command transport over the control collection: eight-byte commands in feature reports,
// larger data in 32-byte chunks of output and input reports, and the start-up handshake that
// decides whether commands travel scrambled. Runs on the user-interface thread and blocks it.

#include <chrono>
#include <cstdint>
#include <span>

#include "core/device/codec.h"
#include "core/device/ports.h"
#include "core/util/result.h"

namespace vm31 {

inline constexpr std::size_t kChunkDataSize = 32;
inline constexpr std::size_t kMinChunkBufferSize = 40;
inline constexpr auto kChunkWriteWait = std::chrono::milliseconds(3);  // after each written chunk
inline constexpr auto kHandshakeWait = std::chrono::milliseconds(5);   // between set and get
// How long a bulk read waits for a chunk the reply announced. A mouse that announces data and
// never sends it fails the transfer instead of hanging the program.
inline constexpr auto kChunkReadTimeout = std::chrono::milliseconds(500);

// The handshake challenge: opcode 0 with these four parameters; the reply echoes them.
inline constexpr std::array<std::uint8_t, 4> kHandshakeChallenge = {0xAA, 0xDD, 0x3B, 0x62};

enum class HandshakeOutcome {
  kDetected,   // the scrambled challenge was answered: encoded mode on
  kPlainEcho,  // the mouse answered the plain challenge: not accepted
  kNoMatch,    // neither answer matched
  kNoAnswer,   // a transfer failed (the device is gone or does not answer)
};

struct ReportLengths {
  std::size_t feature = 0;  // the control collection's, report-id byte included (9 or more)
  std::size_t input = 0;    // 33 or more
  std::size_t output = 0;   // 33 or more
};

class CommandTransport {
 public:
  // `control` must stay open while the transport is used.
  CommandTransport(HidHandle& control, ReportLengths lengths, Clock& clock, Codec codec);

  bool encodedMode() const { return encodedMode_; }
  void setEncodedMode(bool on) { encodedMode_ = on; }

  // Sends a command (byte 7 is recomputed); for a read opcode fetches the reply into `command`.
  // The reply's checksum is not checked (the mouse's replies are taken as they come).
  Status sendCommand(FeatureCommand& command);

  // A block transfer. Write opcode: command byte 2 is the data length n; `data` holds at least
  // ceil(n / 32) * 32 bytes (missing bytes go out as zeros) and one chunk per 32 bytes is
  // written, each followed by the 3 ms wait. Read opcode: the reply lands in `command`, its byte
  // 2 announces n bytes and ceil(n / 32) chunks are read; their data is copied into `data`
  // whole chunk by whole chunk as far as it holds. A reply announcing more than `data` holds is
  // read to its end (so that no chunk is left behind) and then fails with kOutOfRange; nothing
  // is ever written past `data`.
  Status transferBlock(FeatureCommand& command, std::span<std::uint8_t> data);

  // The two-attempt handshake: plain first; if that reply does not echo the challenge the
  // scrambled challenge follows. Sets encoded mode on kDetected, off otherwise.
  HandshakeOutcome handshake();

  // Every transfer so far (feature reports and chunks), for diagnostics and tests.
  struct Counters {
    int commands = 0;
    int featureReports = 0;
    int chunksWritten = 0;
    int chunksRead = 0;
  };
  const Counters& counters() const { return counters_; }

 private:
  Status setCommandReport(const FeatureCommand& command);
  Status getReplyReport(FeatureCommand& command);

  HidHandle& control_;
  ReportLengths lengths_;
  Clock& clock_;
  Codec codec_;
  bool encodedMode_ = false;
  Counters counters_;
};

}  // namespace vm31
