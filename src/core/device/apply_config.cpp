#include <algorithm>
#include <string>
#include <string_view>

#include "core/device/commands.h"
#include "core/keys/key_encoding.h"

namespace vm31 {
namespace {

// A handle reports a removed device, or one whose handle is dead, as kNotFound; every other
// failure leaves the mouse there to take the next command.
bool MouseGone(const Error& error) {
  return error.code == ErrorCode::kNotFound;
}

// A read of one of several indexed blocks: the request carries the index, the reply names the
// index its data belongs to (byte 1) and announces the data's length (byte 2). The data goes to
// the block the reply names, whichever was asked for.
struct IndexedBlockRead {
  std::uint8_t opcode;
  std::uint8_t firstIndex;     // the index of the first block
  std::string_view replyName;  // for the messages: "the <replyName> reply names <indexName> N"
  std::string_view indexName;
};

constexpr IndexedBlockRead kColorBlockRead{opcode::kReadColorBlock, 0, "colour", "sub-block"};
constexpr IndexedBlockRead kMacroRead{opcode::kReadMacro, 1, "macro", "slot"};

// Runs the steps of one apply. Each transfer's failure is noted under its step and item and the
// sequence goes on, unless the mouse is gone.
class ApplyRun {
 public:
  ApplyRun(CommandTransport& transport, Clock& clock, DeviceState& state, const MouseConfig& config)
      : transport_(transport), clock_(clock), state_(state), config_(config) {}

  ApplyOutcome run();

 private:
  using Item = std::optional<int>;

  // The protocol's pause after a command, counted from the end of its transfer. A failed
  // transfer keeps it too: the mouse may still be working on the command.
  void pause() {
    if (!outcome_.mouseGone) clock_.waitUntil(clock_.now() + kCommandWait);
  }
  Status command(FeatureCommand& block) { return transport_.sendCommand(block); }

  // One transfer of the current step (with whatever checks its reply needs); false when it
  // failed or was not sent because the mouse is gone.
  template <typename Transfer>
  bool attempt(Item item, Transfer&& transfer) {
    if (outcome_.mouseGone) {
      note(ApplyStepResult::kNotSent, item);
      return false;
    }
    Status done = transfer();
    if (done) return true;
    note(ApplyStepResult::kFailed, item, done.error());
    outcome_.mouseGone = MouseGone(done.error());
    return false;
  }
  // A write of the current step left out because `missing` did not give the bytes it carries.
  void skip(Item item, ApplyStep missing) {
    if (outcome_.mouseGone) {
      note(ApplyStepResult::kNotSent, item);
    } else {
      note(ApplyStepResult::kSkipped, item, std::nullopt, missing);
    }
  }
  void note(ApplyStepResult result, Item item, std::optional<Error> error = std::nullopt,
            std::optional<ApplyStep> missing = std::nullopt);

  // Reads every block of `read`, one transfer and pause each, into `blocks`, and marks the blocks
  // the replies filled in `known`.
  template <std::size_t kSize, std::size_t kCount>
  void readIndexedBlocks(const IndexedBlockRead& read,
                         std::array<std::array<std::uint8_t, kSize>, kCount>& blocks,
                         std::array<bool, kCount>& known);
  void readLightEffect();
  void readLightTriples();
  void readColorBlocks();
  void writeColorBlocks();
  void writeLightTriples();
  void writeLightEffect();
  void writeMacros();
  void readBackMacros();
  void writeKeyMatrices();

  CommandTransport& transport_;
  Clock& clock_;
  DeviceState& state_;
  const MouseConfig& config_;
  ApplyStep step_ = ApplyStep::kWriteReportRate;
  ApplyOutcome outcome_;
  // What this apply has read or decided; only such bytes are written back.
  bool effectRead_ = false;
  std::array<bool, 2> triplesRead_{};
  LightFields fromRecord_;
  std::array<bool, 2> colorBlockKnown_{};
  std::array<bool, kMacroCount> macroReadBack_{};
};

void ApplyRun::note(ApplyStepResult result, Item item, std::optional<Error> error,
                    std::optional<ApplyStep> missing) {
  auto& problems = outcome_.problems;
  if (item && !problems.empty() && problems.back().step == step_ &&
      problems.back().result == result && !problems.back().items.empty()) {
    problems.back().items.push_back(*item);
    return;
  }
  ApplyStepProblem problem{step_, result, {}, std::move(error), missing};
  if (item) problem.items.push_back(*item);
  problems.push_back(std::move(problem));
}

Error OutOfBlock(const std::string& what) {
  return MakeError(ErrorCode::kOutOfRange, "mouse: " + what + "; the data was dropped");
}

void ApplyRun::readLightEffect() {
  FeatureCommand block = MakeCommand(opcode::kReadLightEffect, {});
  effectRead_ = attempt(std::nullopt, [&]() -> Status {
    if (Status read = command(block); !read) return read;
    state_.light.effect = block[1];
    state_.light.option1 = block[2];
    state_.light.option2 = block[3];
    return Ok{};
  });
}

void ApplyRun::readLightTriples() {
  // The second request reuses the first reply's buffer: only the opcode and index change, and
  // the checksum covers whatever the reply left in bytes 2..6 (the request's own bytes when no
  // reply came).
  FeatureCommand block = MakeCommand(opcode::kReadLightTriple, {0});
  for (std::uint8_t index = 0; index < 2; ++index) {
    block[0] = opcode::kReadLightTriple;
    block[1] = index;
    attempt(index, [&]() -> Status {
      if (Status read = command(block); !read) return read;
      const std::uint8_t named = block[1];
      if (named > 1) {
        return OutOfBlock("the lighting reply names index " + std::to_string(named));
      }
      state_.light.triples[named] = {block[2], block[3], block[4]};
      triplesRead_[named] = true;
      return Ok{};
    });
    pause();
  }
}

template <std::size_t kSize, std::size_t kCount>
void ApplyRun::readIndexedBlocks(const IndexedBlockRead& read,
                                 std::array<std::array<std::uint8_t, kSize>, kCount>& blocks,
                                 std::array<bool, kCount>& known) {
  for (std::size_t i = 0; i < kCount; ++i) {
    const auto index = static_cast<std::uint8_t>(read.firstIndex + i);
    attempt(index, [&]() -> Status {
      FeatureCommand block = MakeCommand(read.opcode, {index});
      std::array<std::uint8_t, 8 * kChunkDataSize> data{};  // the most a length byte can announce
      if (Status done = transport_.transferBlock(block, data); !done) return done;
      const std::uint8_t named = block[1];
      const std::size_t length = block[2];
      if (named < read.firstIndex || named - read.firstIndex >= static_cast<int>(kCount)) {
        return OutOfBlock("the " + std::string(read.replyName) + " reply names " +
                          std::string(read.indexName) + " " + std::to_string(named));
      }
      const auto at = static_cast<std::size_t>(named - read.firstIndex);
      std::copy_n(data.begin(), std::min(length, kSize), blocks[at].begin());
      if (length > kSize) {
        return OutOfBlock("the " + std::string(read.replyName) + " reply announces " +
                          std::to_string(length) + " bytes for a block of " +
                          std::to_string(kSize));
      }
      known[at] = true;
      return Ok{};
    });
    pause();
  }
}

void ApplyRun::readColorBlocks() {
  readIndexedBlocks(kColorBlockRead, state_.colorBlocks, colorBlockKnown_);
}

void ApplyRun::writeColorBlocks() {
  for (std::uint8_t sub = 0; sub < 2; ++sub) {
    if (!colorBlockKnown_[sub]) {
      skip(sub, ApplyStep::kReadColorBlocks);
      continue;
    }
    attempt(sub, [&] {
      FeatureCommand block =
          MakeCommand(opcode::kWriteColorBlock, {sub, static_cast<std::uint8_t>(kColorBlockSize)});
      return transport_.transferBlock(block, state_.colorBlocks[sub]);
    });
    pause();
  }
}

void ApplyRun::writeLightTriples() {
  for (std::uint8_t index = 0; index < 2; ++index) {
    const auto& decided = fromRecord_.triples[index];
    const bool known = triplesRead_[index] ||
                       std::all_of(decided.begin(), decided.end(), [](bool b) { return b; });
    if (!known) {
      skip(index, ApplyStep::kReadLightTriples);
      continue;
    }
    attempt(index, [&] {
      const auto& t = state_.light.triples[index];
      FeatureCommand block = MakeCommand(opcode::kWriteLightTriple, {index, t[0], t[1], t[2]});
      return command(block);
    });
    pause();
  }
}

void ApplyRun::writeLightEffect() {
  if (!effectRead_ && !(fromRecord_.effect && fromRecord_.option1 && fromRecord_.option2)) {
    skip(std::nullopt, ApplyStep::kReadLightEffect);
    return;
  }
  attempt(std::nullopt, [&] {
    FeatureCommand block =
        MakeCommand(opcode::kWriteLightEffect,
                    {state_.light.effect, state_.light.option1, state_.light.option2});
    return command(block);
  });
}

void ApplyRun::writeMacros() {
  for (int slot = 1; slot <= kMacroCount; ++slot) {
    attempt(slot, [&] {
      FeatureCommand block = MakeCommand(
          opcode::kWriteMacro,
          {static_cast<std::uint8_t>(slot), static_cast<std::uint8_t>(kMacroBlockSize)});
      return transport_.transferBlock(block, state_.macroBuffer[slot - 1]);
    });
    pause();
  }
}

void ApplyRun::readBackMacros() {
  readIndexedBlocks(kMacroRead, state_.macroBuffer, macroReadBack_);
}

void ApplyRun::writeKeyMatrices() {
  const KeyMatrices matrices = BuildKeyMatrices(config_);
  static_assert(std::tuple_size_v<KeyMatrix> == kKeyMatrixSize);
  for (int number = 1; number <= kKeyMatrixCount; ++number) {
    attempt(number, [&] {
      FeatureCommand block = MakeCommand(
          opcode::kWriteKeyMatrix,
          {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(kKeyMatrixSize)});
      KeyMatrix matrix = matrices[static_cast<std::size_t>(number - 1)];
      if (number == 2 || number == 4) matrix.fill(0);  // these two always go out as zeros
      return transport_.transferBlock(block, matrix);
    });
    pause();
  }
}

ApplyOutcome ApplyRun::run() {
  step_ = ApplyStep::kWriteReportRate;
  attempt(std::nullopt, [&] {
    FeatureCommand block = MakeCommand(opcode::kWriteReportRate, {config_.reportRateCode()});
    return command(block);
  });
  step_ = ApplyStep::kReadLightEffect;
  readLightEffect();
  step_ = ApplyStep::kReadLightTriples;
  readLightTriples();
  step_ = ApplyStep::kReadColorBlocks;
  readColorBlocks();

  fromRecord_ = UpdateLightState(state_.light, config_);
  auto& dpiColours = state_.colorBlocks[1];
  dpiColours.fill(0);
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    const auto rgb = config_.dpiColor(stage);
    std::copy(rgb.begin(), rgb.end(), dpiColours.begin() + 3 * stage);
  }
  colorBlockKnown_[1] = true;

  step_ = ApplyStep::kWriteColorBlocks;
  writeColorBlocks();
  step_ = ApplyStep::kWriteLightTriples;
  writeLightTriples();
  step_ = ApplyStep::kWriteLightEffect;
  writeLightEffect();
  step_ = ApplyStep::kWriteDpiBlock;
  attempt(std::nullopt, [&] {
    DpiBlock dpi = BuildDpiBlock(config_, state_.sensorTypeCopy);
    FeatureCommand block = MakeCommand(
        opcode::kWriteDpiBlock, {kDpiBlockStageCount, static_cast<std::uint8_t>(kDpiBlockSize)});
    return transport_.transferBlock(block, dpi);
  });

  MacroBuffer written{};
  for (int slot = 0; slot < kMacroCount; ++slot) {
    const auto source = config_.macroBlock(slot);
    std::copy(source.begin(), source.end(), written[static_cast<std::size_t>(slot)].begin());
  }
  state_.macroBuffer = written;
  step_ = ApplyStep::kWriteMacros;
  writeMacros();
  step_ = ApplyStep::kReadBackMacros;
  readBackMacros();
  for (int slot = 0; slot < kMacroCount; ++slot) {
    const auto at = static_cast<std::size_t>(slot);
    if (macroReadBack_[at] && state_.macroBuffer[at] != written[at]) {
      outcome_.mismatchedMacroSlots.push_back(slot + 1);
    }
  }
  step_ = ApplyStep::kWriteKeyMatrices;
  writeKeyMatrices();
  return outcome_;
}

}  // namespace

ApplyOutcome ApplyConfig(CommandTransport& transport, Clock& clock, DeviceState& state,
                         const MouseConfig& config) {
  return ApplyRun(transport, clock, state, config).run();
}

}  // namespace vm31
