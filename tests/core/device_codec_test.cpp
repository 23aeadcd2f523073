#include <gtest/gtest.h>

#include <random>

#include "core/device/codec.h"
#include "core/device/device_definition.h"
#include "core/device/report_descriptor.h"
#include "core/util/atomic_file.h"
#include "emulator/emulated_mouse.h"

namespace vm31 {
namespace {

TEST(CommandChecksum, MatchesTheKnownBlocks) {
  struct Case {
    FeatureCommand block;
    std::uint8_t checksum;
  };
  const Case cases[] = {
      {{0x83, 0, 0, 0, 0, 0, 0, 0x11}, 0x7C},  // byte 7 never counts
      {{0x12, 0x01, 0x40, 0, 0, 0, 0, 0}, 0xAC},
      {{0x00, 0xAA, 0xDD, 0x3B, 0x62, 0, 0, 0}, 0xDB},  // the handshake challenge
      {{0xF0, 0x0F, 0, 0, 0, 0, 0, 0}, 0x00},           // seven bytes summing to 0xFF
      {{0, 0, 0, 0, 0, 0, 0, 0}, 0xFF},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0}, 0x06},  // the sum wraps
  };
  for (const Case& c : cases) EXPECT_EQ(CommandChecksum(c.block), c.checksum);
  EXPECT_EQ(MakeCommand(0x12, {0x01, 0x40})[7], 0xAC);
}

TEST(Codec, DecodeUndoesEncodeForAnyBlockKeyAndTable) {
  std::mt19937 random(31);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    std::array<std::uint8_t, 6> key{};
    std::array<std::uint8_t, 8> table{};
    FeatureCommand block{};
    for (auto& b : key) b = static_cast<std::uint8_t>(byte(random));
    for (auto& b : table) b = static_cast<std::uint8_t>(byte(random));
    for (auto& b : block) b = static_cast<std::uint8_t>(byte(random));
    const Codec codec = Codec::FromKeyAndTable(key, table);
    FeatureCommand scrambled = block;
    EncodeBlock(scrambled, codec);
    FeatureCommand back = scrambled;
    DecodeBlock(back, codec);
    ASSERT_EQ(back, block) << "round " << round;
  }
}

TEST(Codec, EncodesTheWorkedExample) {
  // Zero key and zero table leave only the exchange and the 3-bit rotation:
  // 01 02 03 04 05 06 07 08 -> exchange -> 06 05 08 07 02 01 04 03 -> rotate left 3.
  const Codec plain{};
  FeatureCommand block = {1, 2, 3, 4, 5, 6, 7, 8};
  EncodeBlock(block, plain);
  EXPECT_EQ(block, (FeatureCommand{0x30, 0x28, 0x40, 0x38, 0x10, 0x08, 0x20, 0x18}));
  // The table adds its nibble-swapped bytes; the key is XORed into bytes 1..6 before rotating.
  const std::array<std::uint8_t, 8> table = {0x12, 0, 0, 0, 0, 0, 0, 0x01};
  const std::array<std::uint8_t, 6> key = {0x01, 0, 0, 0, 0, 0};
  FeatureCommand keyed = {1, 2, 3, 4, 5, 6, 7, 8};
  EncodeBlock(keyed, Codec::FromKeyAndTable(key, table));
  // 06 04 08 07 ... rotated: 0x30 | 0x04 >> 5 = 0x30, 0x04 << 3 | 0x08 >> 5 = 0x20.
  EXPECT_EQ(keyed, (FeatureCommand{0x30 + 0x21, 0x20, 0x40, 0x38, 0x10, 0x08, 0x20, 0x18 + 0x10}));
}

TEST(ReportDescriptor, GivesTheEmulatedMouseCollections) {
  const auto control = ParseReportDescriptor(EmulatedMouse::ControlReportDescriptor());
  ASSERT_TRUE(control.ok());
  EXPECT_EQ(control.value(), (std::vector<HidCollectionCaps>{{0xFF00, 0xFF00, 9, 33, 33}}));
  const auto events = ParseReportDescriptor(EmulatedMouse::EventReportDescriptor());
  ASSERT_TRUE(events.ok());
  EXPECT_EQ(events.value(), (std::vector<HidCollectionCaps>{{0xFF01, 0xFF01, 0, 8, 0}}));
}

TEST(ReportDescriptor, CountsTheLongestReportPerKindWithItsIdAndNestedCollections) {
  const Bytes descriptor = {
      0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Application
      0x85, 0x01, 0x09, 0x01, 0xA1, 0x00,  //   Report ID 1, Pointer, Physical (nested)
      0x75, 0x01, 0x95, 0x05, 0x81, 0x02,  //     5 bits in
      0x75, 0x03, 0x95, 0x01, 0x81, 0x03,  //     3 bits padding
      0x75, 0x08, 0x95, 0x03, 0x81, 0x06,  //     3 bytes in: report 1 = 4 bytes
      0xC0,                                //   End
      0x85, 0x02, 0x95, 0x06, 0x81, 0x02,  //   Report ID 2: 6 bytes in (the longest)
      0x85, 0x03, 0x95, 0x02, 0xB1, 0x02,  //   Report ID 3: 2 bytes feature
      0xC0,                                // End
      0x07, 0x00, 0xFF, 0x00, 0x00,        // Usage Page as 4 bytes (0xFF00)
      0x0B, 0x34, 0x12, 0x0C, 0xFF,        // Usage as 4 bytes: page 0xFF0C, usage 0x1234
      0xA1, 0x01, 0x85, 0x04, 0x95, 0x01, 0x91, 0x02, 0xC0,  // Report ID 4: 1 byte out
  };
  const auto caps = ParseReportDescriptor(descriptor);
  ASSERT_TRUE(caps.ok()) << caps.error().message;
  EXPECT_EQ(caps.value(),
            (std::vector<HidCollectionCaps>{{0x0001, 0x0002, 3, 7, 0}, {0xFF0C, 0x1234, 0, 0, 2}}));
}

TEST(ReportDescriptor, RejectsWhatItCannotRead) {
  Bytes deep;
  for (int i = 0; i <= kMaxReportDescriptorNesting; ++i) deep.insert(deep.end(), {0xA1, 0x01});
  const Bytes cases[] = {
      {0x06, 0x00},              // a two-byte item cut short
      {0xFE, 0x05, 0x01, 0x00},  // a long item cut short
      {0xA1, 0x01, 0xC0, 0xC0},  // End Collection without a Collection
      deep,
      {0xA1, 0x01, 0x75, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02, 0xC0},  // 2^31 fields
  };
  for (const Bytes& descriptor : cases) {
    const auto caps = ParseReportDescriptor(descriptor);
    EXPECT_FALSE(caps.ok());
    if (!caps.ok()) {
      EXPECT_EQ(caps.error().code, ErrorCode::kBadFormat);
    }
  }
}

TEST(ReportDescriptor, SurvivesAnyBytes) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  const Bytes valid = EmulatedMouse::ControlReportDescriptor();
  for (int round = 0; round < 5000; ++round) {
    Bytes input = round % 2 == 0 ? valid : Bytes(static_cast<std::size_t>(byte(random)) % 64);
    if (round % 2 == 0) {
      for (int flips = 0; flips < 3; ++flips) {
        input[static_cast<std::size_t>(byte(random)) % input.size()] =
            static_cast<std::uint8_t>(byte(random));
      }
      input.resize(static_cast<std::size_t>(byte(random)) % (input.size() + 1));
    } else {
      for (auto& b : input) b = static_cast<std::uint8_t>(byte(random));
    }
    // Only exact-size buffers, so a sanitizer sees any read past the end.
    const auto caps = ParseReportDescriptor(std::span<const std::uint8_t>(input));
    if (caps.ok()) {
      EXPECT_LE(caps.value().size(), input.size());
    }
  }
}

Bytes Text(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(DeviceDefinition, ReadsTheFileOverTheBuiltInValues) {
  const auto full = ParseDeviceDefinition(
      Text("[Device]\r\nVendorId=4660\r\nproductid=0x00ff\r\nCodecKey=414243444546\r\n"
           "CodecTable=0001020304050607\r\nEventUsage=0xFF02\r\n"),
      "test.ini");
  ASSERT_TRUE(full.ok()) << full.error().message;
  DeviceDefinition expected;
  expected.vendorId = 0x1234;
  expected.productId = 0x00FF;
  expected.eventUsage = 0xFF02;
  expected.codecKey = {'A', 'B', 'C', 'D', 'E', 'F'};
  expected.codecTable = {0, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(full.value(), expected);

  const auto empty = ParseDeviceDefinition(Text(""), "empty.ini");
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(empty.value(), DeviceDefinition{});
}

TEST(DeviceDefinition, NamesTheFileAndKeyOfABadValue) {
  const char* cases[] = {"[Device]\nVendorId=0x10000\n", "[Device]\nProductId=12ab\n",
                         "[Device]\nCodecKey=4142434445\n",
                         "[Device]\nCodecTable=00010203040506zz\n"};
  const char* keys[] = {"VendorId", "ProductId", "CodecKey", "CodecTable"};
  for (int i = 0; i < 4; ++i) {
    const auto parsed = ParseDeviceDefinition(Text(cases[i]), "my/vm31-device.ini");
    ASSERT_FALSE(parsed.ok()) << cases[i];
    EXPECT_NE(parsed.error().message.find("my/vm31-device.ini"), std::string::npos);
    EXPECT_NE(parsed.error().message.find(keys[i]), std::string::npos);
  }
}

TEST(DeviceDefinition, TheShippedFileHoldsTheBuiltInValues) {
  const auto bytes = ReadWholeFile(std::filesystem::path(VM31_SOURCE_DIR) / "res" / "device" /
                                   std::string(kDeviceDefinitionFileName));
  ASSERT_TRUE(bytes.ok());
  const auto shipped = ParseDeviceDefinition(bytes.value(), "vm31-device.ini");
  ASSERT_TRUE(shipped.ok());
  EXPECT_EQ(shipped.value(), DeviceDefinition{});
}

TEST(DeviceDefinition, TheDataFolderCopyWinsOverTheFactoryOne) {
  const auto root = std::filesystem::temp_directory_path() /
                    ("vm31-definition-" + std::to_string(std::random_device{}()));
  const auto data = root / "data";
  const auto factory = root / "factory";
  std::filesystem::create_directories(data);
  std::filesystem::create_directories(factory);
  const auto write = [](const std::filesystem::path& path, std::string_view text) {
    ASSERT_TRUE(WriteFileAtomically(path, Text(text)).ok());
  };
  EXPECT_EQ(LoadDeviceDefinition(data, factory).value(), DeviceDefinition{});
  write(factory / "vm31-device.ini", "[Device]\nProductId=2\n");
  EXPECT_EQ(LoadDeviceDefinition(data, factory).value().productId, 2);
  write(data / "vm31-device.ini", "[Device]\nProductId=3\n");
  EXPECT_EQ(LoadDeviceDefinition(data, factory).value().productId, 3);
  write(data / "vm31-device.ini", "[Device]\nProductId=x\n");
  EXPECT_FALSE(LoadDeviceDefinition(data, factory).ok());
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace vm31
