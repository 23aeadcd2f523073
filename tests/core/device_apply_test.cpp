#include <gtest/gtest.h>

#include <sstream>

#include "core/device/commands.h"
#include "core/keys/key_encoding.h"
#include "device_rig.h"
#include "emulator/wire_trace.h"

namespace vm31 {
namespace {

using std::chrono::milliseconds;
using testing::DeviceRig;

// A record that differs from the power-on state of the mouse in every field the apply writes.
MouseConfig SampleConfig() {
  MouseConfig config = FactoryConfig();
  config.at(config_offset::kReportRateCode) = 4;
  for (int slot = 0; slot < kMacroCount; ++slot) {
    auto block = config.macroBlock(slot);
    for (std::size_t i = 0; i < block.size(); ++i) {
      block[i] = static_cast<std::uint8_t>(slot * 16 + i);
    }
  }
  for (int stage = 0; stage < kDpiStageCount; ++stage) {
    config.at(config_offset::kDpiLevel + stage) = static_cast<std::uint8_t>(stage + 1);
    for (int c = 0; c < 3; ++c) {
      config.at(config_offset::kDpiColor + 3 * stage + c) =
          static_cast<std::uint8_t>(10 * stage + c);
    }
  }
  config.at(config_offset::kDpiStageEnabled + 2) = 0;
  config.at(config_offset::kLightMode) = 2;
  config.at(config_offset::kLightLevel + 1) = 4;
  config.at(config_offset::kRgbEffect + 1) = 2;
  config.setKeyAttribute(1, KeyAttribute::kKeyFunction, 2, 4);
  return config;
}

class ApplyAgainstTheEmulator : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.mouse.setSensorType(2);
    rig.bus.plug();
    ASSERT_TRUE(rig.link.startUp());
    ASSERT_TRUE(rig.link.sensorRefresh().ok());
    rig.clock.clearWaits();
  }
  DeviceRig rig;
};

TEST_F(ApplyAgainstTheEmulator, SendsTheWholeRecordInTheMouseFormat) {
  const MouseConfig config = SampleConfig();
  const auto before = rig.link.transport()->counters();
  const FirmwareState powerOn = rig.mouse.state();

  const auto outcome = rig.link.apply(config);
  ASSERT_TRUE(outcome.ok());
  EXPECT_TRUE(outcome.value().ok()) << outcome.value().message();
  EXPECT_EQ(rig.mouse.problems(), std::vector<std::string>{});

  const auto after = rig.link.transport()->counters();
  EXPECT_EQ(after.commands - before.commands, 40);
  EXPECT_EQ(after.featureReports - before.featureReports, 57);
  EXPECT_EQ(after.chunksWritten - before.chunksWritten + after.chunksRead - before.chunksRead, 109);
  // 36 pauses of 2 ms after commands and 59 of 3 ms after written chunks.
  const auto waits = rig.clock.waits();
  EXPECT_EQ(std::count(waits.begin(), waits.end(), milliseconds(2)), 36);
  EXPECT_EQ(std::count(waits.begin(), waits.end(), milliseconds(3)), 59);
  EXPECT_EQ(rig.clock.totalWaited(), milliseconds(249));

  const FirmwareState mouse = rig.mouse.state();
  EXPECT_EQ(mouse.reportRateCode, 4);
  // Lighting: mode 2 with effect 2, level 4; the second triple goes back as read.
  EXPECT_EQ(mouse.light, (LightState{2, 5, 3, {{{2, 125, 3}, powerOn.light.triples[1]}}}));
  EXPECT_EQ(mouse.colorBlocks[0], powerOn.colorBlocks[0]);
  const std::array<std::uint8_t, kColorBlockSize> dpiColours = {0,  1,  2,  10, 11, 12,
                                                                20, 21, 22, 30, 31, 32};
  EXPECT_EQ(mouse.colorBlocks[1], dpiColours);
  // Sensor type 2, levels 1..4, stage 3 disabled.
  EXPECT_EQ(mouse.dpiStageCount, 4);
  EXPECT_EQ(mouse.dpiBlock, (DpiBlock{0x04, 0x06, 0x88, 0x0A, 0x80, 0x80, 0x80, 0x80}));
  for (int slot = 0; slot < kMacroCount; ++slot) {
    const auto block = config.macroBlock(slot);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), mouse.macros[slot].begin())) << slot;
  }
  const KeyMatrices matrices = BuildKeyMatrices(config);
  EXPECT_EQ(mouse.keyMatrices[0], matrices[0]);
  EXPECT_EQ(mouse.keyMatrices[2], matrices[2]);
  EXPECT_EQ(mouse.keyMatrices[1], KeyMatrix{});
  EXPECT_EQ(mouse.keyMatrices[3], KeyMatrix{});
  EXPECT_NE(matrices[0], KeyMatrix{});
}

TEST_F(ApplyAgainstTheEmulator, TheTraceShowsTheSecondLightReadCarryingTheFirstReply) {
  std::ostringstream text;
  WireTrace trace(text, rig.clock, rig.mouse.definition());
  rig.mouse.setTrace(&trace);
  ASSERT_TRUE(rig.link.apply(SampleConfig()).value().ok());
  rig.mouse.setTrace(nullptr);

  std::istringstream lines(text.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line,
            "{\"device\":{\"vendor_id\":3898,\"product_id\":31777,\"codec_key\":\"566d3331456b\","
            "\"codec_table\":\"3ca519e2478bd06f\"}}");
  std::vector<FeatureCommand> sent;
  int transfers = 0;
  const Codec codec =
      Codec::FromKeyAndTable(rig.mouse.definition().codecKey, rig.mouse.definition().codecTable);
  while (std::getline(lines, line)) {
    ++transfers;
    const auto at = line.find("\"op\":\"set_feature\",\"report\":\"");
    if (at == std::string::npos) continue;
    const std::string hex = line.substr(at + 29, 18);
    FeatureCommand block{};
    for (std::size_t i = 0; i < 8; ++i) {
      block[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 + 2 * i, 2), nullptr, 16));
    }
    DecodeBlock(block, codec);
    sent.push_back(block);
  }
  EXPECT_EQ(transfers, 57 + 109);
  ASSERT_EQ(sent.size(), 40u);
  // The first reply was 87 00 a0 b0 c0 (power-on triple 0); the second request keeps it.
  EXPECT_EQ(sent[2], MakeCommand(0x87, {0}));
  EXPECT_EQ(sent[3][0], 0x87);
  EXPECT_EQ(sent[3][1], 1);
  EXPECT_EQ(sent[3][2], 1);  // a0 of the power-on state
  EXPECT_EQ(sent[3][3], 0x20);
  EXPECT_EQ(sent[3][4], 0x30);
  EXPECT_EQ(sent[3][7], CommandChecksum(sent[3]));
}

// One command of an apply as the mouse saw it in the wire trace.
struct TracedCommand {
  std::uint8_t opcode = 0;
  std::uint8_t index = 0;  // the block, slot or matrix of an indexed command, else 0
  Bytes written;           // write opcodes: command bytes 1..6, then every chunk's data
  std::optional<std::int64_t> gapAfterUs;  // from its last transfer to the next command
};

bool IsIndexed(std::uint8_t opcode) {
  switch (opcode) {
    case 0x07:
    case 0x87:
    case 0x10:
    case 0x90:
    case 0x12:
    case 0x13:
    case 0x93:
      return true;
    default:
      return false;
  }
}

std::string Field(const std::string& line, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  const auto at = line.find(key) + key.size();
  if (line[at] == '"') return line.substr(at + 1, line.find('"', at + 1) - at - 1);
  return line.substr(at, line.find_first_of(",}", at) - at);
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The commands of a trace taken after the handshake (every command block scrambled).
std::vector<TracedCommand> TracedCommands(const std::string& text, const DeviceDefinition& device) {
  const Codec codec = Codec::FromKeyAndTable(device.codecKey, device.codecTable);
  std::vector<TracedCommand> commands;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);  // the device line
  std::int64_t last = 0;
  while (std::getline(lines, line)) {
    const std::string op = Field(line, "op");
    const std::int64_t at = std::stoll(Field(line, "t_us"));
    const Bytes report = FromHex(Field(line, "report"));
    if (op == "set_feature") {
      if (!commands.empty()) commands.back().gapAfterUs = at - last;
      FeatureCommand block{};
      std::copy_n(report.begin() + 1, kCommandSize, block.begin());
      DecodeBlock(block, codec);
      TracedCommand command{block[0], IsIndexed(block[0]) ? block[1] : std::uint8_t{0}, {}, {}};
      if ((block[0] & 0x80) == 0) command.written.assign(block.begin() + 1, block.begin() + 7);
      commands.push_back(std::move(command));
    } else if (op == "write") {
      commands.back().written.insert(commands.back().written.end(), report.begin() + 1,
                                     report.begin() + 33);
    }
    last = at;
  }
  return commands;
}

struct ExpectedProblem {
  ApplyStep step;
  ApplyStepResult result;
  std::vector<int> items;
};

// The opcode of each write step that can be skipped.
std::uint8_t WriteOpcode(ApplyStep step) {
  switch (step) {
    case ApplyStep::kWriteColorBlocks:
      return 0x10;
    case ApplyStep::kWriteLightTriples:
      return 0x07;
    default:
      return 0x0D;
  }
}

constexpr std::array kAllSteps = {
    ApplyStep::kWriteReportRate,  ApplyStep::kReadLightEffect,  ApplyStep::kReadLightTriples,
    ApplyStep::kReadColorBlocks,  ApplyStep::kWriteColorBlocks, ApplyStep::kWriteLightTriples,
    ApplyStep::kWriteLightEffect, ApplyStep::kWriteDpiBlock,    ApplyStep::kWriteMacros,
    ApplyStep::kReadBackMacros,   ApplyStep::kWriteKeyMatrices,
};

// A trace of an apply against a fresh mouse with `faults`; the outcome goes to `outcome`.
std::string TracedApply(const MouseConfig& config, const EmulatorFaults& faults,
                        ApplyOutcome& outcome) {
  DeviceRig rig;
  rig.mouse.setSensorType(2);
  rig.bus.plug();
  EXPECT_TRUE(rig.link.startUp());
  EXPECT_TRUE(rig.link.sensorRefresh().ok());
  std::ostringstream text;
  WireTrace trace(text, rig.clock, rig.mouse.definition());
  rig.mouse.setTrace(&trace);
  rig.mouse.setFaults(faults);
  auto applied = rig.link.apply(config);
  rig.mouse.setTrace(nullptr);
  EXPECT_TRUE(applied.ok());
  if (applied) outcome = applied.value();
  EXPECT_EQ(rig.mouse.problems(), std::vector<std::string>{});
  return text.str();
}

// One reply fault at one step: every other command still reaches the mouse, byte for byte and
// with the waits of a clean apply after it; a write that would carry bytes of the failed read
// is left out; the outcome and its message name exactly the failed and the skipped steps.
TEST(ApplyWithOneFault, SendsEverythingElseAndNamesWhatDidNot) {
  using R = ApplyStepResult;
  MouseConfig lightAsRead = SampleConfig();  // lighting off: every lighting byte goes back
  lightAsRead.at(config_offset::kLightMode) = 0;
  const MouseConfig lightFromRecord = SampleConfig();  // mode 2, effect 2: all but triple 1
  struct Fault {
    bool noReply = false, overlong = false, wrongIndex = false, refuse = false;
  };
  struct Case {
    const char* name;
    Fault fault;
    std::uint8_t opcode;
    const MouseConfig& config;
    std::vector<ExpectedProblem> problems;
  };
  const std::vector<int> allSlots = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const std::vector<ExpectedProblem> tripleReads = {
      {ApplyStep::kReadLightTriples, R::kFailed, {0, 1}},
      {ApplyStep::kWriteLightTriples, R::kSkipped, {0, 1}}};
  const std::vector<ExpectedProblem> colourReads = {
      {ApplyStep::kReadColorBlocks, R::kFailed, {0, 1}},
      {ApplyStep::kWriteColorBlocks, R::kSkipped, {0}}};
  const std::vector<ExpectedProblem> macroReads = {
      {ApplyStep::kReadBackMacros, R::kFailed, allSlots}};
  const Case cases[] = {
      {"no reply, lighting effect",
       {.noReply = true},
       0x8D,
       lightAsRead,
       {{ApplyStep::kReadLightEffect, R::kFailed, {}},
        {ApplyStep::kWriteLightEffect, R::kSkipped, {}}}},
      {"no reply, lighting effect the record decides",
       {.noReply = true},
       0x8D,
       lightFromRecord,
       {{ApplyStep::kReadLightEffect, R::kFailed, {}}}},
      {"no reply, lighting triples", {.noReply = true}, 0x87, lightAsRead, tripleReads},
      {"wrong index, lighting triples", {.wrongIndex = true}, 0x87, lightAsRead, tripleReads},
      {"wrong index, the record decides triple 0",
       {.wrongIndex = true},
       0x87,
       lightFromRecord,
       {{ApplyStep::kReadLightTriples, R::kFailed, {0, 1}},
        {ApplyStep::kWriteLightTriples, R::kSkipped, {1}}}},
      {"no reply, colour blocks", {.noReply = true}, 0x90, lightAsRead, colourReads},
      {"overlong, colour blocks", {.overlong = true}, 0x90, lightAsRead, colourReads},
      {"wrong index, colour blocks", {.wrongIndex = true}, 0x90, lightAsRead, colourReads},
      {"no reply, macro read-back", {.noReply = true}, 0x93, lightAsRead, macroReads},
      {"overlong, macro read-back", {.overlong = true}, 0x93, lightAsRead, macroReads},
      {"wrong index, macro read-back", {.wrongIndex = true}, 0x93, lightAsRead, macroReads},
      {"refused, report rate",
       {.refuse = true},
       0x01,
       lightAsRead,
       {{ApplyStep::kWriteReportRate, R::kFailed, {}}}},
      {"refused, lighting triples",
       {.refuse = true},
       0x07,
       lightFromRecord,
       {{ApplyStep::kWriteLightTriples, R::kFailed, {0, 1}}}},
      {"refused, colour blocks",
       {.refuse = true},
       0x10,
       lightAsRead,
       {{ApplyStep::kWriteColorBlocks, R::kFailed, {0, 1}}}},
      {"refused, lighting effect",
       {.refuse = true},
       0x0D,
       lightFromRecord,
       {{ApplyStep::kWriteLightEffect, R::kFailed, {}}}},
      {"refused, DPI stages",
       {.refuse = true},
       0x11,
       lightAsRead,
       {{ApplyStep::kWriteDpiBlock, R::kFailed, {}}}},
      {"refused, key matrices",
       {.refuse = true},
       0x12,
       lightAsRead,
       {{ApplyStep::kWriteKeyMatrices, R::kFailed, {1, 2, 3, 4}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApplyOutcome clean, outcome;
    const auto reference = TracedCommands(TracedApply(c.config, {}, clean), DeviceDefinition{});
    ASSERT_TRUE(clean.ok()) << clean.message();
    EmulatorFaults faults;
    faults.noReply = c.fault.noReply;
    faults.overlongReply = c.fault.overlong;
    faults.wrongIndex = c.fault.wrongIndex;
    faults.refuseCommand = c.fault.refuse;
    faults.onlyOpcode = c.opcode;
    const auto sent = TracedCommands(TracedApply(c.config, faults, outcome), DeviceDefinition{});

    // The clean apply's commands without the skipped ones.
    std::vector<TracedCommand> expected;
    for (const TracedCommand& command : reference) {
      const bool skipped = std::any_of(c.problems.begin(), c.problems.end(), [&](const auto& p) {
        return p.result == R::kSkipped && WriteOpcode(p.step) == command.opcode &&
               (p.items.empty() ||
                std::find(p.items.begin(), p.items.end(), command.index) != p.items.end());
      });
      if (!skipped) expected.push_back(command);
    }
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].opcode, expected[i].opcode) << i;
      EXPECT_EQ(sent[i].index, expected[i].index) << i;
      // A refused block command is not followed by its data, nor by the waits of the data.
      if (c.fault.refuse && sent[i].opcode == c.opcode) continue;
      EXPECT_EQ(sent[i].written, expected[i].written) << i;
      if (i + 1 < sent.size()) {
        EXPECT_EQ(sent[i].gapAfterUs, expected[i].gapAfterUs) << i;
      }
    }

    ASSERT_EQ(outcome.problems.size(), c.problems.size());
    for (std::size_t i = 0; i < c.problems.size(); ++i) {
      const ApplyStepProblem& got = outcome.problems[i];
      EXPECT_EQ(got.step, c.problems[i].step) << i;
      EXPECT_EQ(got.result, c.problems[i].result) << i;
      EXPECT_EQ(got.items, c.problems[i].items) << i;
      if (got.result == R::kFailed) {
        ASSERT_TRUE(got.error.has_value());
        const bool reply = c.fault.overlong || c.fault.wrongIndex;
        EXPECT_EQ(got.error->code, reply ? ErrorCode::kOutOfRange : ErrorCode::kIo);
      }
    }
    EXPECT_FALSE(outcome.mouseGone);
    EXPECT_TRUE(outcome.mismatchedMacroSlots.empty());
    // The message: a heading and one line per problem, naming exactly the steps listed.
    const std::string message = outcome.message();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'),
              static_cast<std::ptrdiff_t>(c.problems.size()));
    for (ApplyStep step : kAllSteps) {
      const bool listed = std::any_of(c.problems.begin(), c.problems.end(),
                                      [&](const auto& p) { return p.step == step; });
      EXPECT_EQ(message.find(ApplyStepName(step)) != std::string::npos, listed)
          << ApplyStepName(step) << " in:\n"
          << message;
    }
  }
}

TEST(ApplyWithOneFault, TheMessageListsEveryFailedAndSkippedStep) {
  MouseConfig config = SampleConfig();
  config.at(config_offset::kLightMode) = 0;
  EmulatorFaults faults;
  faults.overlongReply = true;  // both block reads
  ApplyOutcome outcome;
  TracedApply(config, faults, outcome);
  EXPECT_EQ(outcome.message(),
            "These steps of the apply did not go through; all others reached the mouse:\n"
            "- reading the colour blocks, sub-blocks 0, 1 failed (mouse: the colour reply "
            "announces 40 bytes for a block of 24; the data was dropped)\n"
            "- writing the colour blocks, sub-block 0 skipped: reading the colour blocks did not "
            "give the bytes it writes back\n"
            "- reading the macros back, slots 1-12 failed (mouse: the macro reply announces 160 "
            "bytes for a block of 128; the data was dropped)");
}

// Pulling the mouse mid-apply stops the sequence at that transfer: nothing more is sent or
// waited for, and everything after it is listed as not sent.
TEST(ApplyWithOneFault, RemovalStopsAtOnce) {
  using R = ApplyStepResult;
  struct Case {
    int transfer;
    ApplyStep failed;
    std::vector<int> items;
  };
  const Case cases[] = {
      {3, ApplyStep::kReadLightEffect, {}},      // the reply of 0x8D
      {14, ApplyStep::kWriteColorBlocks, {0}},   // the command of sub-block 0
      {70, ApplyStep::kWriteMacros, {10}},       // a chunk of slot 10
      {166, ApplyStep::kWriteKeyMatrices, {4}},  // the very last chunk
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.transfer);
    DeviceRig rig;
    rig.bus.plug();
    ASSERT_TRUE(rig.link.startUp());
    EmulatorFaults faults;
    faults.unplugAtTransfer = c.transfer;
    rig.mouse.setFaults(faults);
    std::optional<Clock::TimePoint> pulledAt;
    rig.mouse.setListener([&] {
      if (!pulledAt) pulledAt = rig.clock.now();
    });
    const auto before = rig.link.transport()->counters();
    const auto applied = rig.link.apply(SampleConfig());
    ASSERT_TRUE(applied.ok());
    const ApplyOutcome& outcome = applied.value();
    const auto after = rig.link.transport()->counters();
    EXPECT_EQ(after.featureReports - before.featureReports + after.chunksWritten -
                  before.chunksWritten + after.chunksRead - before.chunksRead,
              c.transfer);
    ASSERT_TRUE(pulledAt.has_value());
    EXPECT_EQ(rig.clock.now(), *pulledAt) << "no wait after the removal";
    EXPECT_TRUE(outcome.mouseGone);
    ASSERT_FALSE(outcome.problems.empty());
    EXPECT_EQ(outcome.problems[0].step, c.failed);
    EXPECT_EQ(outcome.problems[0].result, R::kFailed);
    EXPECT_EQ(outcome.problems[0].items, c.items);
    ASSERT_TRUE(outcome.problems[0].error.has_value());
    EXPECT_EQ(outcome.problems[0].error->code, ErrorCode::kNotFound);
    // Every later step and item, in order, as not sent; the key matrices end the list.
    for (std::size_t i = 1; i < outcome.problems.size(); ++i) {
      EXPECT_EQ(outcome.problems[i].result, R::kNotSent) << i;
    }
    const auto steps = std::find(kAllSteps.begin(), kAllSteps.end(), c.failed);
    const std::size_t later = static_cast<std::size_t>(kAllSteps.end() - steps - 1);
    const bool restOfStep = c.failed != ApplyStep::kReadLightEffect && c.items != std::vector{4};
    EXPECT_EQ(outcome.problems.size(), 1 + later + (restOfStep ? 1 : 0));
    if (later > 0) {
      EXPECT_EQ(outcome.problems.back().step, ApplyStep::kWriteKeyMatrices);
      EXPECT_EQ(outcome.problems.back().items, (std::vector{1, 2, 3, 4}));
    }
    EXPECT_EQ(outcome.message().rfind("The mouse went away during the apply", 0), 0u);
  }
}

TEST(LightStateUpdate, FollowsTheModeAndEffectTable) {
  const LightState read{9, 8, 7, {{{6, 5, 4}, {3, 2, 1}}}};
  struct Case {
    std::uint8_t mode, level, effect;
    LightState expected;
  };
  const Case cases[] = {
      {1, 2, 7, {1, 3, 2, {{{1, 5, 4}, {3, 2, 1}}}}},
      {2, 0, 1, {2, 1, 2, {{{1, 5, 4}, {3, 2, 1}}}}},
      {2, 1, 2, {2, 2, 3, {{{2, 125, 3}, {3, 2, 1}}}}},
      {2, 1, 3, {2, 2, 7, {{{6, 5, 4}, {3, 2, 1}}}}},
      {3, 3, 2, {3, 4, 7, {{{2, 125, 10}, {3, 2, 1}}}}},
      {3, 3, 3, {3, 4, 7, {{{3, 5, 5}, {3, 2, 1}}}}},
      {3, 0, 1, {3, 1, 7, {{{6, 5, 4}, {3, 2, 1}}}}},
      {0, 5, 2, read},
      {4, 5, 2, read},
  };
  for (const Case& c : cases) {
    MouseConfig config;
    config.at(config_offset::kLightMode) = c.mode;
    if (c.mode >= 1 && c.mode <= 3) {
      config.at(config_offset::kLightLevel + c.mode - 1) = c.level;
      config.at(config_offset::kRgbEffect + c.mode - 1) = c.effect;
    }
    LightState light = read;
    UpdateLightState(light, config);
    EXPECT_EQ(light, c.expected) << "mode " << int(c.mode) << " effect " << int(c.effect);
  }
}

TEST(DpiBlock, UsesTheSensorsTableAndMarksDisabledStages) {
  MouseConfig config;
  const std::uint8_t levels[4] = {0, 4, 7, 11};
  for (int stage = 0; stage < 4; ++stage) {
    config.at(config_offset::kDpiLevel + stage) = levels[stage];
    // Any non-zero flag enables the stage, as hand-edited files may hold other values.
    const std::uint8_t flags[4] = {1, 0, 2, 0xFF};
    config.at(config_offset::kDpiStageEnabled + stage) = flags[stage];
  }
  struct Case {
    std::uint8_t sensorType;
    DpiBlock expected;
  };
  const Case cases[] = {
      {0, {0x01, 0x85, 0x08, 0x28, 0x80, 0x80, 0x80, 0x80}},
      {1, {0x01, 0x85, 0x25, 0x00, 0x80, 0x80, 0x80, 0x80}},  // level 11 lies beyond the table
      {2, {0x02, 0x8A, 0x2A, 0x00, 0x80, 0x80, 0x80, 0x80}},
      {3, {0x01, 0x85, 0x08, 0x00, 0x80, 0x80, 0x80, 0x80}},
      {4, {0x00, 0x80, 0x00, 0x00, 0x80, 0x80, 0x80, 0x80}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildDpiBlock(config, c.sensorType), c.expected) << int(c.sensorType);
  }
}

TEST(DpiBlockOnTheMouse, FollowsTheSensorTypeTheMouseReports) {
  for (std::uint8_t type = 0; type <= 4; ++type) {
    DeviceRig rig;
    rig.mouse.setSensorType(type);
    rig.bus.plug();
    rig.pumpHotplug();  // the arrival refreshes the sensor type
    ASSERT_TRUE(rig.link.devicePresent());
    MouseConfig config = SampleConfig();
    ASSERT_TRUE(rig.link.apply(config).value().ok());
    EXPECT_EQ(rig.mouse.state().dpiBlock, BuildDpiBlock(config, type)) << int(type);
    EXPECT_EQ(rig.mouse.state().sensorInfo.option2 & kSensorOption2Flag, kSensorOption2Flag);
  }
}

}  // namespace
}  // namespace vm31
