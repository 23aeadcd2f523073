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
