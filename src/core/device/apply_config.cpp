#include <algorithm>
#include <string>

#include "core/device/commands.h"
#include "core/keys/key_encoding.h"

namespace vm31 {
namespace {

// Runs the steps of one apply; the first failure ends it.
class ApplyRun {
 public:
  ApplyRun(CommandTransport& transport, Clock& clock, DeviceState& state, const MouseConfig& config)
      : transport_(transport), clock_(clock), state_(state), config_(config) {}

  ApplyOutcome run();

 private:
  // The protocol's pause after a command, counted from the end of its transfer.
  void pause() { clock_.waitUntil(clock_.now() + kCommandWait); }
  Status command(FeatureCommand& block) { return transport_.sendCommand(block); }
  Status readLightTriples();
  Status readColorBlocks();
  Status writeColorBlocks();
  Status writeLightTriples();
  Status writeMacros();
  Status readBackMacros();
  Status writeKeyMatrices();

  CommandTransport& transport_;
  Clock& clock_;
  DeviceState& state_;
  const MouseConfig& config_;
  ApplyOutcome outcome_;
};

Error OutOfBlock(const std::string& what) {
  return MakeError(ErrorCode::kOutOfRange, "mouse: " + what + "; the data was dropped");
}

Status ApplyRun::readLightTriples() {
  // The second request reuses the first reply's buffer: only the opcode and index change, and
  // the checksum covers whatever the reply left in bytes 2..6.
  FeatureCommand block = MakeCommand(opcode::kReadLightTriple, {0});
  for (std::uint8_t index = 0; index < 2; ++index) {
    block[0] = opcode::kReadLightTriple;
    block[1] = index;
    if (Status read = command(block); !read) return read;
    const std::uint8_t named = block[1];
    if (named > 1) {
      return OutOfBlock("the lighting reply names index " + std::to_string(named));
    }
    state_.light.triples[named] = {block[2], block[3], block[4]};
    pause();
  }
  return Ok{};
}

Status ApplyRun::readColorBlocks() {
  for (std::uint8_t sub = 0; sub < 2; ++sub) {
    FeatureCommand block = MakeCommand(opcode::kReadColorBlock, {sub});
    std::array<std::uint8_t, 8 * kChunkDataSize> data{};  // the most a length byte can announce
    if (Status read = transport_.transferBlock(block, data); !read) return read;
    const std::uint8_t named = block[1];
    const std::size_t length = block[2];
    if (named > 1) {
      return OutOfBlock("the colour reply names sub-block " + std::to_string(named));
    }
    std::copy_n(data.begin(), std::min(length, kColorBlockSize), state_.colorBlocks[named].begin());
    if (length > kColorBlockSize) {
      return OutOfBlock("the colour reply announces " + std::to_string(length) +
                        " bytes for a block of 24");
    }
    pause();
  }
  return Ok{};
}

Status ApplyRun::writeColorBlocks() {
  for (std::uint8_t sub = 0; sub < 2; ++sub) {
    FeatureCommand block =
        MakeCommand(opcode::kWriteColorBlock, {sub, static_cast<std::uint8_t>(kColorBlockSize)});
    if (Status write = transport_.transferBlock(block, state_.colorBlocks[sub]); !write) {
      return write;
    }
    pause();
  }
  return Ok{};
}

Status ApplyRun::writeLightTriples() {
  for (std::uint8_t index = 0; index < 2; ++index) {
    const auto& t = state_.light.triples[index];
    FeatureCommand block = MakeCommand(opcode::kWriteLightTriple, {index, t[0], t[1], t[2]});
    if (Status write = command(block); !write) return write;
    pause();
  }
  return Ok{};
}

Status ApplyRun::writeMacros() {
  for (int slot = 1; slot <= kMacroCount; ++slot) {
    FeatureCommand block =
        MakeCommand(opcode::kWriteMacro,
                    {static_cast<std::uint8_t>(slot), static_cast<std::uint8_t>(kMacroBlockSize)});
    if (Status write = transport_.transferBlock(block, state_.macroBuffer[slot - 1]); !write) {
      return write;
    }
    pause();
  }
  return Ok{};
}

Status ApplyRun::readBackMacros() {
  for (int slot = 1; slot <= kMacroCount; ++slot) {
    FeatureCommand block = MakeCommand(opcode::kReadMacro, {static_cast<std::uint8_t>(slot)});
    std::array<std::uint8_t, 8 * kChunkDataSize> data{};
    if (Status read = transport_.transferBlock(block, data); !read) return read;
    const std::uint8_t named = block[1];
    const std::size_t length = block[2];
    if (named < 1 || named > kMacroCount) {
      return OutOfBlock("the macro reply names slot " + std::to_string(named));
    }
    std::copy_n(data.begin(), std::min(length, kMacroBlockSize),
                state_.macroBuffer[named - 1].begin());
    if (length > kMacroBlockSize) {
      return OutOfBlock("the macro reply announces " + std::to_string(length) +
                        " bytes for a block of 128");
    }
    pause();
  }
  return Ok{};
}

Status ApplyRun::writeKeyMatrices() {
  const KeyMatrices matrices = BuildKeyMatrices(config_);
  static_assert(std::tuple_size_v<KeyMatrix> == kKeyMatrixSize);
  for (int number = 1; number <= kKeyMatrixCount; ++number) {
    FeatureCommand block =
        MakeCommand(opcode::kWriteKeyMatrix,
                    {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(kKeyMatrixSize)});
    KeyMatrix matrix = matrices[static_cast<std::size_t>(number - 1)];
    if (number == 2 || number == 4) matrix.fill(0);  // these two always go out as zeros
    if (Status write = transport_.transferBlock(block, matrix); !write) return write;
    pause();
  }
  return Ok{};
}

ApplyOutcome ApplyRun::run() {
  const auto step = [&](ApplyStep name, auto&& body) {
    if (outcome_.failedStep) return;
    Status done = body();
    if (!done) {
      outcome_.failedStep = name;
      outcome_.error = done.error();
    }
  };
  step(ApplyStep::kWriteReportRate, [&] {
    FeatureCommand block = MakeCommand(opcode::kWriteReportRate, {config_.reportRateCode()});
    return command(block);
  });
  step(ApplyStep::kReadLightEffect, [&]() -> Status {
    FeatureCommand block = MakeCommand(opcode::kReadLightEffect, {});
    if (Status read = command(block); !read) return read;
    state_.light.effect = block[1];
    state_.light.option1 = block[2];
    state_.light.option2 = block[3];
    return Ok{};
  });
  step(ApplyStep::kReadLightTriples, [&] { return readLightTriples(); });
  step(ApplyStep::kReadColorBlocks, [&] { return readColorBlocks(); });
  if (!outcome_.failedStep) {
    UpdateLightState(state_.light, config_);
    auto& dpiColours = state_.colorBlocks[1];
    dpiColours.fill(0);
    for (int stage = 0; stage < kDpiStageCount; ++stage) {
      const auto rgb = config_.dpiColor(stage);
      std::copy(rgb.begin(), rgb.end(), dpiColours.begin() + 3 * stage);
    }
  }
  step(ApplyStep::kWriteColorBlocks, [&] { return writeColorBlocks(); });
  step(ApplyStep::kWriteLightTriples, [&] { return writeLightTriples(); });
  step(ApplyStep::kWriteLightEffect, [&] {
    FeatureCommand block =
        MakeCommand(opcode::kWriteLightEffect,
                    {state_.light.effect, state_.light.option1, state_.light.option2});
    return command(block);
  });
  step(ApplyStep::kWriteDpiBlock, [&] {
    DpiBlock dpi = BuildDpiBlock(config_, state_.sensorTypeCopy);
    FeatureCommand block = MakeCommand(
        opcode::kWriteDpiBlock, {kDpiBlockStageCount, static_cast<std::uint8_t>(kDpiBlockSize)});
    return transport_.transferBlock(block, dpi);
  });
  MacroBuffer written{};
  if (!outcome_.failedStep) {
    for (int slot = 0; slot < kMacroCount; ++slot) {
      const auto source = config_.macroBlock(slot);
      std::copy(source.begin(), source.end(), written[static_cast<std::size_t>(slot)].begin());
    }
    state_.macroBuffer = written;
  }
  step(ApplyStep::kWriteMacros, [&] { return writeMacros(); });
  step(ApplyStep::kReadBackMacros, [&] { return readBackMacros(); });
  if (!outcome_.failedStep) {
    for (int slot = 0; slot < kMacroCount; ++slot) {
      if (state_.macroBuffer[static_cast<std::size_t>(slot)] !=
          written[static_cast<std::size_t>(slot)]) {
        outcome_.mismatchedMacroSlots.push_back(slot + 1);
      }
    }
  }
  step(ApplyStep::kWriteKeyMatrices, [&] { return writeKeyMatrices(); });
  return outcome_;
}

}  // namespace

ApplyOutcome ApplyConfig(CommandTransport& transport, Clock& clock, DeviceState& state,
                         const MouseConfig& config) {
  return ApplyRun(transport, clock, state, config).run();
}

}  // namespace vm31
