#include "core/keys/key_encoding.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/keys/key_functions.h"

namespace vm31 {
namespace {

constexpr int kFirstAttribute = static_cast<int>(KeyAttribute::kMediaIndex);

// The factory functions, and every other attribute byte and DPI-switch parameter of every button
// set to a value its neighbours do not hold (the same attribute and button in the other group
// always differs), so an encoder that reads the wrong attribute, button or group shows.
MouseConfig SaneConfig() {
  MouseConfig config = FactoryConfig();
  for (int group = 0; group < kKeyGroupCount; ++group) {
    for (int attribute = kFirstAttribute; attribute < kKeyAttributeCount; ++attribute) {
      for (int button = 0; button < kButtonCount; ++button) {
        config.setKeyAttribute(group, static_cast<KeyAttribute>(attribute), button,
                               static_cast<std::uint8_t>(attribute * 12 + button + 1 + group * 64));
      }
    }
    for (int button = 0; button < kButtonCount; ++button) {
      config.setDpiSwitchStage(group, button,
                               static_cast<std::uint8_t>(0x10 * (group + 1) + button));
    }
  }
  return config;
}

std::string SlotText(const KeyMatrix& matrix, int slot) {
  const auto at = [&](int i) { return matrix[static_cast<std::size_t>(slot * 4 + i)]; };
  return FormatKeyAction({at(0), at(1), at(2), at(3)});
}

TEST(KeyEncoding, FormatKeyActionGivesUpperCaseHexPairs) {
  EXPECT_EQ(FormatKeyAction({0x01, 0x00, 0xF0, 0x00}), "01 00 F0 00");
  EXPECT_EQ(FormatKeyAction({0xAB, 0x0c, 0x00, 0xff}), "AB 0C 00 FF");
  EXPECT_EQ(FormatKeyAction({}), "00 00 00 00");
}

TEST(KeyEncoding, KeyActionBytesAreInWireOrder) {
  const KeyAction action{0x0A, 0xF0, 0x22, 0x03};
  EXPECT_EQ(action.bytes(), (std::array<std::uint8_t, 4>{0x0A, 0xF0, 0x22, 0x03}));
}

// Each case changes the sane configuration at one button: its function code and the fields that
// function reads. Every case runs at two buttons in different groups.
TEST(KeyEncoding, EachFunctionCodeEncodesItsWord) {
  struct Field {
    KeyAttribute attribute;
    std::uint8_t value;
  };
  struct Case {
    const char* what;
    std::uint8_t function;
    std::vector<Field> fields;
    int dpiStage;  // -1: leave the sane value
    const char* expected;
  };
  using A = KeyAttribute;
  const Case cases[] = {
      {"left click", 0, {}, -1, "01 00 F0 00"},
      {"right click", 1, {}, -1, "01 00 F1 00"},
      {"middle click", 2, {}, -1, "01 00 F2 00"},
      {"forward is button 5", 3, {}, -1, "01 00 F4 00"},
      {"backward is button 4", 4, {}, -1, "01 00 F3 00"},
      {"triple click fires the left button", 5, {}, -1, "0A F0 22 03"},
      {"DPI +", 6, {}, 1, "07 00 01 00"},
      {"DPI Loop", 6, {}, 3, "07 00 03 00"},
      {"Shift DPI sets data3", 6, {}, 4, "07 00 04 01"},
      {"DPI stage from a hand-edited file is used as stored", 6, {}, 200, "07 00 C8 00"},
      {"DPI stage 0", 6, {}, 0, "07 00 00 00"},
      {"lighting on/off", 7, {}, -1, "08 00 03 00"},
      {"Windows: My Computer",
       8,
       {{A::kWindowsCode, 0x94}, {A::kWindowsClass, 1}},
       -1,
       "03 00 94 01"},
      {"Windows: Browser-Search",
       8,
       {{A::kWindowsCode, 0x21}, {A::kWindowsClass, 2}},
       -1,
       "03 00 21 02"},
      {"multimedia: Play/Pause", 9, {{A::kMediaCode, 0xCD}}, -1, "03 00 CD 00"},
      {"fire R-CTRL until released",
       10,
       {{A::kFireKey, 0xE4}, {A::kFireSpeed, 5}, {A::kFireCount, 0}},
       -1,
       "0A E4 05 00"},
      {"fire at the slowest speed, 255 times",
       10,
       {{A::kFireKey, 0xF6}, {A::kFireSpeed, 255}, {A::kFireCount, 255}},
       -1,
       "0A F6 FF FF"},
      {"single key Enter", 11, {{A::kSingleKey, 0x28}}, -1, "00 00 28 00"},
      {"combination Left Ctrl + C",
       12,
       {{A::kComboModifiers, 0x01}, {A::kComboKey1, 0x06}, {A::kComboKey2, 0}},
       -1,
       "00 01 06 00"},
      {"combination with two keys",
       12,
       {{A::kComboModifiers, 0x80}, {A::kComboKey1, 0xE7}, {A::kComboKey2, 0xF2}},
       -1,
       "00 80 E7 F2"},
      {"first macro, mode 3", 13, {{A::kMacroIndex, 0}, {A::kMacroMode, 2}}, -1, "09 02 01 00"},
      {"twelfth macro, mode 1", 13, {{A::kMacroIndex, 11}, {A::kMacroMode, 0}}, -1, "09 00 0C 00"},
      {"Shift", 14, {}, -1, "08 00 02 00"},
      {"Key Off", 15, {}, -1, "00 00 00 00"},
      {"function 16 from a hand-edited file", 16, {}, -1, "00 00 00 00"},
      {"function 127", 127, {}, -1, "00 00 00 00"},
      {"function 255", 255, {}, -1, "00 00 00 00"},
  };
  struct Position {
    int group;
    int button;
  };
  for (const Position position : {Position{0, 2}, Position{1, 9}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " at group " + std::to_string(position.group) +
                   ", button " + std::to_string(position.button));
      MouseConfig config = SaneConfig();
      config.setKeyAttribute(position.group, KeyAttribute::kKeyFunction, position.button,
                             c.function);
      for (const Field& field : c.fields) {
        config.setKeyAttribute(position.group, field.attribute, position.button, field.value);
      }
      if (c.dpiStage >= 0) {
        config.setDpiSwitchStage(position.group, position.button,
                                 static_cast<std::uint8_t>(c.dpiStage));
      }
      EXPECT_EQ(FormatKeyAction(EncodeKeyAction(config, position.group, position.button)),
                c.expected);
    }
  }
}

// The attribute-driven functions read the button's own bytes: with the sane pattern in place,
// each reads exactly its attribute of its button and group.
TEST(KeyEncoding, AttributesComeFromTheSameButtonAndGroup) {
  const MouseConfig sane = SaneConfig();
  for (int group = 0; group < kKeyGroupCount; ++group) {
    for (int button = 0; button < kButtonCount; ++button) {
      SCOPED_TRACE("group " + std::to_string(group) + ", button " + std::to_string(button));
      MouseConfig config = sane;
      const auto attr = [&](KeyAttribute a) { return config.keyAttribute(group, a, button); };
      const auto encode = [&](KeyFunction function) {
        config.setKeyAttribute(group, KeyAttribute::kKeyFunction, button,
                               static_cast<std::uint8_t>(function));
        return EncodeKeyAction(config, group, button);
      };
      EXPECT_EQ(encode(KeyFunction::kComboKey),
                (KeyAction{kKindKeyboard, attr(KeyAttribute::kComboModifiers),
                           attr(KeyAttribute::kComboKey1), attr(KeyAttribute::kComboKey2)}));
      EXPECT_EQ(encode(KeyFunction::kFireKey),
                (KeyAction{kKindFire, attr(KeyAttribute::kFireKey), attr(KeyAttribute::kFireSpeed),
                           attr(KeyAttribute::kFireCount)}));
      EXPECT_EQ(encode(KeyFunction::kWindows),
                (KeyAction{kKindConsumer, 0, attr(KeyAttribute::kWindowsCode),
                           attr(KeyAttribute::kWindowsClass)}));
      EXPECT_EQ(encode(KeyFunction::kMultimedia),
                (KeyAction{kKindConsumer, 0, attr(KeyAttribute::kMediaCode), 0}));
      EXPECT_EQ(encode(KeyFunction::kSingleKey),
                (KeyAction{kKindKeyboard, 0, attr(KeyAttribute::kSingleKey), 0}));
      EXPECT_EQ(encode(KeyFunction::kMacroKey),
                (KeyAction{kKindMacro, attr(KeyAttribute::kMacroMode),
                           static_cast<std::uint8_t>(attr(KeyAttribute::kMacroIndex) + 1), 0}));
      EXPECT_EQ(encode(KeyFunction::kDpiSwitch),
                (KeyAction{kKindDpi, 0, config.dpiSwitchStage(group, button), 0}));
    }
  }
}

TEST(KeyEncoding, PositionsOutsideTheRecordEncodeZero) {
  const MouseConfig config = SaneConfig();  // every button has a non-zero word here
  ASSERT_NE(EncodeKeyAction(config, 0, 0), KeyAction{});
  for (const auto& [group, button] : std::vector<std::pair<int, int>>{
           {-1, 0}, {2, 0}, {0, -1}, {0, 12}, {1, 12}, {INT32_MIN, INT32_MAX}}) {
    SCOPED_TRACE(std::to_string(group) + "/" + std::to_string(button));
    EXPECT_EQ(EncodeKeyAction(config, group, button), KeyAction{});
  }
}

TEST(KeyEncoding, MatrixSlotSwapsButtonsThreeAndFour) {
  const int expected[kButtonCount] = {0, 1, 2, 4, 3, 5, 6, 7, 8, 9, 10, 11};
  std::set<int> slots;
  for (int button = 0; button < kButtonCount; ++button) {
    EXPECT_EQ(MatrixSlot(button), expected[button]) << button;
    slots.insert(MatrixSlot(button));
  }
  EXPECT_EQ(slots.size(), static_cast<std::size_t>(kButtonCount));
  EXPECT_EQ(MatrixSlot(-1), -1);
  EXPECT_EQ(MatrixSlot(12), -1);
}

TEST(KeyMatrices, FactoryKeyFunctionsGiveTheFactoryMatrix) {
  MouseConfig config;
  ApplyDefaultKeyFunctions(config);
  const KeyMatrix expected = {
      0x01, 0x00, 0xF0, 0x00,  // slot 0: left click
      0x01, 0x00, 0xF1, 0x00,  // slot 1: right click
      0x01, 0x00, 0xF2, 0x00,  // slot 2: middle click
      0x01, 0x00, 0xF3, 0x00,  // slot 3: button 4, "Backward"
      0x01, 0x00, 0xF4, 0x00,  // slot 4: button 3, "Forward"
      0x07, 0x00, 0x03, 0x00,  // slot 5: "DPI Loop"
      0x0A, 0xF0, 0x22, 0x03,  // slot 6: triple click
      0x00, 0x00, 0x00, 0x00,  // slots 7..11: "Key Off"
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  //
      0x00, 0x00, 0x00, 0x00,  // slots 12, 13: zero
      0x00, 0x00, 0x00, 0x00,  //
      0x01, 0x00, 0xF7, 0x00,  // slots 14, 15: fixed
      0x01, 0x00, 0xF8, 0x00,  //
  };
  const KeyMatrices matrices = BuildKeyMatrices(config);
  EXPECT_EQ(matrices[0], expected);
  EXPECT_EQ(matrices[1], KeyMatrix{});
  EXPECT_EQ(matrices[2], expected);
  EXPECT_EQ(matrices[3], KeyMatrix{});
}

TEST(KeyMatrices, EachGroupFillsItsOwnMatrixAtTheButtonsSlots) {
  MouseConfig config = SaneConfig();
  // Distinct single keys in group 0 and combinations in group 1 on buttons 3 and 4.
  for (const auto& [button, key] : {std::pair{3, 0x04}, std::pair{4, 0x05}}) {
    config.setKeyAttribute(0, KeyAttribute::kKeyFunction, button, 11);
    config.setKeyAttribute(0, KeyAttribute::kSingleKey, button, static_cast<std::uint8_t>(key));
    config.setKeyAttribute(1, KeyAttribute::kKeyFunction, button, 12);
    config.setKeyAttribute(1, KeyAttribute::kComboModifiers, button, 0x02);
    config.setKeyAttribute(1, KeyAttribute::kComboKey1, button, static_cast<std::uint8_t>(key));
    config.setKeyAttribute(1, KeyAttribute::kComboKey2, button, 0);
  }
  config.setKeyAttribute(1, KeyAttribute::kKeyFunction, 0, 15);  // group 1 button 0: "Key Off"

  const KeyMatrices matrices = BuildKeyMatrices(config);
  EXPECT_EQ(SlotText(matrices[0], 3), "00 00 05 00");  // button 4
  EXPECT_EQ(SlotText(matrices[0], 4), "00 00 04 00");  // button 3
  EXPECT_EQ(SlotText(matrices[2], 3), "00 02 05 00");
  EXPECT_EQ(SlotText(matrices[2], 4), "00 02 04 00");
  EXPECT_EQ(SlotText(matrices[0], 0), "01 00 F0 00");
  EXPECT_EQ(SlotText(matrices[2], 0), "00 00 00 00");

  for (int group = 0; group < kKeyGroupCount; ++group) {
    const KeyMatrix& matrix = matrices[static_cast<std::size_t>(group * 2)];
    for (int button = 0; button < kButtonCount; ++button) {
      SCOPED_TRACE("group " + std::to_string(group) + ", button " + std::to_string(button));
      EXPECT_EQ(SlotText(matrix, MatrixSlot(button)),
                FormatKeyAction(EncodeKeyAction(config, group, button)));
    }
  }
}

TEST(KeyMatrices, FixedPartsHoldWhateverTheConfiguration) {
  std::vector<std::pair<std::string, MouseConfig>> configs;
  configs.emplace_back("zero", MouseConfig{});
  configs.emplace_back("factory", FactoryConfig());
  configs.emplace_back("sane", SaneConfig());
  MouseConfig allOnes;
  allOnes.bytes.fill(0xFF);
  configs.emplace_back("all 0xFF", allOnes);
  std::mt19937 random(20240531);  // the generator's sequence is fixed by the standard
  for (int round = 0; round < 20; ++round) {
    MouseConfig noise;
    for (auto& byte : noise.bytes) byte = static_cast<std::uint8_t>(random() & 0xFF);
    // Keep function codes in range half the time so real words fill the slots too.
    if (round % 2 == 0) {
      for (int g = 0; g < kKeyGroupCount; ++g) {
        for (int b = 0; b < kButtonCount; ++b) {
          noise.setKeyAttribute(g, KeyAttribute::kKeyFunction, b,
                                static_cast<std::uint8_t>(noise.keyFunction(g, b) % 16));
        }
      }
    }
    configs.emplace_back("noise " + std::to_string(round), noise);
  }

  for (const auto& [name, config] : configs) {
    SCOPED_TRACE(name);
    const KeyMatrices matrices = BuildKeyMatrices(config);
    EXPECT_EQ(matrices[1], KeyMatrix{});
    EXPECT_EQ(matrices[3], KeyMatrix{});
    for (const std::size_t index : {std::size_t{0}, std::size_t{2}}) {
      EXPECT_EQ(SlotText(matrices[index], 12), "00 00 00 00");
      EXPECT_EQ(SlotText(matrices[index], 13), "00 00 00 00");
      EXPECT_EQ(SlotText(matrices[index], 14), "01 00 F7 00");
      EXPECT_EQ(SlotText(matrices[index], 15), "01 00 F8 00");
    }
  }
  // A function code above 15 leaves its slot zero: the all-0xFF record has no words but the fixed.
  const KeyMatrices ones = BuildKeyMatrices(allOnes);
  for (int slot = 0; slot < 14; ++slot) EXPECT_EQ(SlotText(ones[0], slot), "00 00 00 00") << slot;
}

}  // namespace
}  // namespace vm31
