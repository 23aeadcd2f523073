#include "core/device/commands.h"

#include <span>

namespace vm31 {
namespace {

// Register codes per sensor type, indexed by the stage's DPI level.
constexpr std::array<std::uint8_t, 16> kDpiCodesSensor0 = {
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x25, 0x26, 0x27, 0x28, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 8> kDpiCodesSensor1 = {0x01, 0x02, 0x03, 0x04,
                                                          0x05, 0x23, 0x24, 0x25};
constexpr std::array<std::uint8_t, 8> kDpiCodesSensor2 = {0x02, 0x04, 0x06, 0x08,
                                                          0x0A, 0x26, 0x28, 0x2A};
constexpr std::array<std::uint8_t, 8> kDpiCodesSensor3 = {0x01, 0x02, 0x03, 0x04,
                                                          0x05, 0x06, 0x07, 0x08};
constexpr std::array<std::span<const std::uint8_t>, 4> kDpiTable = {
    kDpiCodesSensor0, kDpiCodesSensor1, kDpiCodesSensor2, kDpiCodesSensor3};

}  // namespace

std::uint8_t DpiCode(std::uint8_t sensorType, std::uint8_t level) {
  if (sensorType >= kDpiTable.size()) return 0;
  const auto codes = kDpiTable[sensorType];
  return level < codes.size() ? codes[level] : 0;
}

DpiBlock BuildDpiBlock(const MouseConfig& config, std::uint8_t sensorType) {
  DpiBlock block{};
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    const std::uint8_t code = DpiCode(sensorType, config.dpiLevel(stage));
    const bool enabled = config.dpiStageEnabled(stage);
    block[static_cast<std::size_t>(stage)] =
        enabled ? static_cast<std::uint8_t>(code & 0x7F) : static_cast<std::uint8_t>(code | 0x80);
  }
  for (std::size_t i = kDpiBlockStageCount; i < kDpiBlockSize; ++i) block[i] = 0x80;
  return block;
}

LightFields UpdateLightState(LightState& light, const MouseConfig& config) {
  LightFields set;
  const std::uint8_t mode = config.lightMode();
  if (mode < 1 || mode > 3) return set;
  const std::uint8_t effect = config.rgbEffect(mode);
  auto& first = light.triples[0];
  light.effect = mode;
  light.option1 = static_cast<std::uint8_t>(config.lightLevel(mode) + 1);
  set.effect = set.option1 = true;
  const auto setOption2AndA0 = [&](std::uint8_t option2) {
    light.option2 = option2;
    first[0] = 1;
    set.option2 = set.triples[0][0] = true;
  };
  const auto setFirstTriple = [&](std::array<std::uint8_t, 3> triple) {
    first = triple;
    set.triples[0] = {true, true, true};
  };
  if (mode == 1) {
    setOption2AndA0(2);
  } else if (mode == 2) {
    if (effect == 1) {
      setOption2AndA0(2);
    } else if (effect == 2) {
      light.option2 = 3;
      set.option2 = true;
      setFirstTriple({2, 125, 3});
    }
  } else if (effect == 2) {
    setFirstTriple({2, 125, 10});
  } else if (effect == 3) {
    setFirstTriple({3, 5, 5});
  }
  return set;
}

Status SensorRefresh(CommandTransport& transport, DeviceState& state) {
  FeatureCommand command = MakeCommand(opcode::kReadSensorInfo, {});
  if (Status read = transport.sendCommand(command); !read) return read;
  state.sensorInfo = {command[1], command[2], command[3], command[4]};
  state.sensorTypeCopy = state.sensorInfo.sensorType;
  state.sensorInfo.option2 |= kSensorOption2Flag;
  const SensorInfo& info = state.sensorInfo;
  FeatureCommand write = MakeCommand(opcode::kWriteSensorInfo,
                                     {info.sensorType, info.rate, info.option1, info.option2});
  return transport.sendCommand(write);
}

const char* ApplyStepName(ApplyStep step) {
  switch (step) {
    case ApplyStep::kWriteReportRate:
      return "writing the report rate";
    case ApplyStep::kReadLightEffect:
      return "reading the lighting effect";
    case ApplyStep::kReadLightTriples:
      return "reading the lighting parameters";
    case ApplyStep::kReadColorBlocks:
      return "reading the colour blocks";
    case ApplyStep::kWriteColorBlocks:
      return "writing the colour blocks";
    case ApplyStep::kWriteLightTriples:
      return "writing the lighting parameters";
    case ApplyStep::kWriteLightEffect:
      return "writing the lighting effect";
    case ApplyStep::kWriteDpiBlock:
      return "writing the DPI stages";
    case ApplyStep::kWriteMacros:
      return "writing the macros";
    case ApplyStep::kReadBackMacros:
      return "reading the macros back";
    case ApplyStep::kWriteKeyMatrices:
      return "writing the key assignments";
  }
  return "applying the settings";
}

namespace {

// ", slots 1-12", ", sub-block 0", ", indices 0, 1": the items of a step, runs of three or more
// shortened; empty for a step of one command.
std::string ItemsText(ApplyStep step, const std::vector<int>& items) {
  if (items.empty()) return {};
  const bool several = items.size() > 1;
  std::string text = ", ";
  switch (step) {
    case ApplyStep::kReadLightTriples:
    case ApplyStep::kWriteLightTriples:
      text += several ? "indices" : "index";
      break;
    case ApplyStep::kReadColorBlocks:
    case ApplyStep::kWriteColorBlocks:
      text += several ? "sub-blocks" : "sub-block";
      break;
    case ApplyStep::kWriteKeyMatrices:
      text += several ? "matrices" : "matrix";
      break;
    default:
      text += several ? "slots" : "slot";
      break;
  }
  for (std::size_t i = 0; i < items.size();) {
    std::size_t last = i;
    while (last + 1 < items.size() && items[last + 1] == items[last] + 1) ++last;
    text += (i == 0 ? " " : ", ") + std::to_string(items[i]);
    if (last >= i + 2) {
      text += "-" + std::to_string(items[last]);
    } else if (last == i + 1) {
      text += ", " + std::to_string(items[last]);
    }
    i = last + 1;
  }
  return text;
}

}  // namespace

std::string ApplyOutcome::message() const {
  std::string text;
  if (!problems.empty()) {
    text = mouseGone ? "The mouse went away during the apply; these steps did not go through:"
                     : "These steps of the apply did not go through; all others reached the mouse:";
  }
  for (const ApplyStepProblem& problem : problems) {
    text +=
        std::string("\n- ") + ApplyStepName(problem.step) + ItemsText(problem.step, problem.items);
    switch (problem.result) {
      case ApplyStepResult::kFailed:
        text += " failed";
        if (problem.error) text += " (" + problem.error->message + ")";
        break;
      case ApplyStepResult::kSkipped:
        text += " skipped: ";
        text += problem.missing ? ApplyStepName(*problem.missing) : "a read";
        text += " did not give the bytes it writes back";
        break;
      case ApplyStepResult::kNotSent:
        text += " not sent";
        break;
    }
  }
  if (!mismatchedMacroSlots.empty()) {
    if (!text.empty()) text += "\n";
    text += "The macros read back from the mouse differ from those written (slot";
    text += mismatchedMacroSlots.size() > 1 ? "s" : "";
    for (std::size_t i = 0; i < mismatchedMacroSlots.size(); ++i) {
      text += (i == 0 ? " " : ", ") + std::to_string(mismatchedMacroSlots[i]);
    }
    text += ").";
  }
  return text;
}

}  // namespace vm31
