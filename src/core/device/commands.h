#pragma once
// The mouse's configuration commands and the apply sequence that writes a whole settings record
// to it. The program never reads the user's settings back: the reads below only fetch device
// bytes that are written back unchanged or partly changed.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/device/transport.h"
#include "core/settings/mouse_config.h"

namespace vm31 {

namespace opcode {
inline constexpr std::uint8_t kHandshake = 0x00;
inline constexpr std::uint8_t kWriteReportRate = 0x01;
inline constexpr std::uint8_t kWriteSensorInfo = 0x03;
inline constexpr std::uint8_t kReadSensorInfo = 0x83;
inline constexpr std::uint8_t kWriteLightTriple = 0x07;
inline constexpr std::uint8_t kReadLightTriple = 0x87;
inline constexpr std::uint8_t kWriteLightEffect = 0x0D;
inline constexpr std::uint8_t kReadLightEffect = 0x8D;
inline constexpr std::uint8_t kWriteColorBlock = 0x10;
inline constexpr std::uint8_t kReadColorBlock = 0x90;
inline constexpr std::uint8_t kWriteDpiBlock = 0x11;
inline constexpr std::uint8_t kWriteKeyMatrix = 0x12;
inline constexpr std::uint8_t kWriteMacro = 0x13;
inline constexpr std::uint8_t kReadMacro = 0x93;
}  // namespace opcode

inline constexpr auto kCommandWait = std::chrono::milliseconds(2);  // after indexed/block commands
inline constexpr std::size_t kColorBlockSize = 24;
inline constexpr std::size_t kDpiBlockSize = 8;
inline constexpr std::size_t kKeyMatrixSize = 64;
inline constexpr std::uint8_t kDpiBlockStageCount = 4;    // travels in the DPI command
inline constexpr std::uint8_t kSensorOption2Flag = 0x40;  // set by the sensor refresh

struct SensorInfo {
  std::uint8_t sensorType = 0;
  std::uint8_t rate = 0;
  std::uint8_t option1 = 0;
  std::uint8_t option2 = 0;
  friend bool operator==(const SensorInfo&, const SensorInfo&) = default;
};

struct LightState {
  std::uint8_t effect = 0;
  std::uint8_t option1 = 0;
  std::uint8_t option2 = 0;
  std::array<std::array<std::uint8_t, 3>, 2> triples{};  // (a, b, c) of index 0 and 1
  friend bool operator==(const LightState&, const LightState&) = default;
};

using ColorBlocks = std::array<std::array<std::uint8_t, kColorBlockSize>, 2>;
using MacroBuffer = std::array<std::array<std::uint8_t, kMacroBlockSize>, kMacroCount>;
using DpiBlock = std::array<std::uint8_t, kDpiBlockSize>;

// Device-side bytes kept between a read and the following write. Zero at start.
struct DeviceState {
  SensorInfo sensorInfo;
  std::uint8_t sensorTypeCopy = 0;  // selects the DPI table and the DPI labels
  LightState light;
  ColorBlocks colorBlocks{};
  MacroBuffer macroBuffer{};
};

// The DPI register code of `level` for a sensor type; 0 for levels beyond the sensor's table
// and for unknown sensor types.
std::uint8_t DpiCode(std::uint8_t sensorType, std::uint8_t level);

// Stage bytes 1..4 (the code, bit 7 set when the stage is disabled), then 0x80 four times.
DpiBlock BuildDpiBlock(const MouseConfig& config, std::uint8_t sensorType);

// Which fields of a LightState the record decides (the others are written back as read).
struct LightFields {
  bool effect = false;
  bool option1 = false;
  bool option2 = false;
  std::array<std::array<bool, 3>, 2> triples{};
};

// The lighting fields the record decides; every other field keeps what the mouse returned.
// Returns the fields it set.
LightFields UpdateLightState(LightState& light, const MouseConfig& config);

// Reads the sensor info, remembers its sensor type, sets bit 0x40 of option 2 and writes it back.
Status SensorRefresh(CommandTransport& transport, DeviceState& state);

// The steps of the apply sequence, numbered in their order.
enum class ApplyStep {
  kWriteReportRate = 1,
  kReadLightEffect = 2,
  kReadLightTriples = 3,
  kReadColorBlocks = 4,
  kWriteColorBlocks = 7,
  kWriteLightTriples = 8,
  kWriteLightEffect = 9,
  kWriteDpiBlock = 10,
  kWriteMacros = 12,
  kReadBackMacros = 13,
  kWriteKeyMatrices = 15,
};
const char* ApplyStepName(ApplyStep step);

// What became of a step, or of some of its transfers, that did not reach the mouse.
enum class ApplyStepResult {
  kFailed,   // the transfer failed or its reply was unusable
  kSkipped,  // not sent: it would write back bytes that a read of this apply did not give
  kNotSent,  // not sent: the mouse went away earlier in the apply
};

struct ApplyStepProblem {
  ApplyStep step;
  ApplyStepResult result;
  // The lighting indices, colour sub-blocks, macro slots or key matrices concerned, in order;
  // empty for the steps of a single command.
  std::vector<int> items;
  std::optional<Error> error;        // kFailed: the first failure among `items`
  std::optional<ApplyStep> missing;  // kSkipped: the read whose bytes were not given
};

struct ApplyOutcome {
  std::vector<ApplyStepProblem> problems;  // in the sequence's order; a step appears twice
                                           // when its items ended differently
  bool mouseGone = false;                  // the sequence stopped: the mouse went away
  std::vector<int> mismatchedMacroSlots;   // slots 1..12 whose read-back differs from what was
                                           // sent (only slots that were read back)

  bool ok() const { return problems.empty() && mismatchedMacroSlots.empty(); }
  // For the user: every failed, skipped and unsent step by name, one per line; empty when ok().
  std::string message() const;
};

// The apply sequence: report rate, lighting read-modify-write, DPI colours and stages, the twelve
// macros with their read-back, the four key matrices; with the mouse's fixed waits (2 ms after
// each indexed or block command, 3 ms after each written chunk) taken as minimums from the end
// of each transfer. Every step runs, and every transfer of a step, whatever an earlier one
// returned, with its waits; a write whose bytes would come from a read that failed in this apply
// is skipped instead (a byte the record decides needs no read). When the mouse is gone (the
// device removed or its handle dead) the sequence stops at once and the rest is listed as not
// sent. Does not touch any file: the caller saves config.bin and the button labels afterwards,
// whatever the outcome, as the window's Apply always has.
ApplyOutcome ApplyConfig(CommandTransport& transport, Clock& clock, DeviceState& state,
                         const MouseConfig& config);

}  // namespace vm31
