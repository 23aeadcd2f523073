// The basic page's controls and the press dispatch against the recording host and the emulated
// mouse: which control claims a press, the key rows' lists and the DPI-switch cascade, report
// rate, DPI stages, levels and colours, the lighting lists, and OK, Apply and Cancel.

#include <gtest/gtest.h>

#include <optional>

#include "core/keys/key_encoding.h"
#include "core/settings/ini_file.h"
#include "core/util/atomic_file.h"
#include "support/main_window_rig.h"

namespace vm31 {
namespace {

using testing::LinesStarting;
using testing::Log;
using testing::MainWindowRig;

namespace id = layout::control_id;

constexpr Point kOnOk{600, 630};
constexpr Point kOnApply{700, 630};
constexpr Point kOnCancel{800, 630};
constexpr Point kOnEmpty{200, 600};
constexpr Point Row(int row) {
  return {300, 205 + 23 * row};
}
constexpr Point Segment(int segment) {
  return {560 + 72 * segment, 208};
}
constexpr Point Tick(int stage) {
  return {560 + 27 * stage, 545};
}
constexpr Point Swatch(int stage) {
  return {560 + 27 * stage, 530};
}
constexpr Point Cell(int stage, int level) {
  return {560 + 27 * stage, 505 - 18 * level};
}
constexpr Point LightField(int field) {
  return {800, 335 + 30 * field};
}

TEST(BasicPageDispatch, KeyRowListsToggleAndOpeningOneClosesTheOthers) {
  MainWindowRig rig;
  rig.press(Row(1));
  ASSERT_TRUE(rig.window.exists(42));
  EXPECT_EQ(rig.window.itemCount(42), 16);
  EXPECT_EQ(rig.window.itemText(42, 12), "Combo Key");
  EXPECT_EQ(rig.window.controlRect(42), layout::kKeyLists[1]);
  EXPECT_TRUE(rig.pages->basic().lists().keyListOpen(1));

  rig.press(Row(2));
  EXPECT_FALSE(rig.window.exists(42));
  EXPECT_TRUE(rig.window.exists(43));
  rig.press(Row(2));
  EXPECT_FALSE(rig.window.exists(43));
  EXPECT_FALSE(rig.pages->basic().lists().keyListOpen(2));

  // A press anywhere else on the page closes an open list; OK does too.
  rig.press(Row(3));
  rig.press(Segment(0));
  EXPECT_FALSE(rig.window.exists(44));
  rig.press(Row(3));
  rig.link.close();  // without the mouse OK does nothing else
  rig.take();
  rig.press(kOnOk);
  EXPECT_FALSE(rig.window.exists(44));
  EXPECT_EQ(rig.log, (Log{"destroy 44", "drag"}));
}

TEST(BasicPageDispatch, TheLeftButtonGuardKeepsOneLeftClick) {
  MainWindowRig rig;  // only button 1 is a left click
  rig.press(Row(0));
  EXPECT_EQ(rig.take(), (Log{"message 'Left key must be selected!' caption 'Warning'"}));
  EXPECT_FALSE(rig.window.exists(41));
  rig.config().setKeyAttribute(0, KeyAttribute::kKeyFunction, 3, 0);
  rig.press(Row(0));
  EXPECT_TRUE(rig.window.exists(41));
}

TEST(BasicPageDispatch, ChoosingAFunctionStoresItAndRedrawsTheRow) {
  MainWindowRig rig;
  rig.press(Row(2));
  rig.take();
  rig.choose(43, 5);
  EXPECT_EQ(rig.config().keyFunction(0, 2), 5);
  EXPECT_EQ(rig.label(0, 2), "Triple-click");
  EXPECT_EQ(rig.take(), (Log{"destroy 43", "img /DropdownBox-normal.png @252,245",
                             "text '3' [252,245,272,266] left",
                             "text 'Triple-click' [272,245,444,266] left", "present"}));
  EXPECT_FALSE(rig.pages->basic().lists().keyListOpen(2));
}

TEST(BasicPageDispatch, HoveringDpiSwitchOpensTheCascadeBesideIt) {
  MainWindowRig rig;
  rig.press(Row(2));
  const int entryTop = layout::kKeyLists[2].top + 6 * testing::RecordingWindow::kRowHeight;
  rig.dlg->onControlMouseMove(43, {300, entryTop + 5});
  EXPECT_EQ(rig.window.selection(43), 6);  // highlighted, not chosen
  EXPECT_EQ(rig.config().keyFunction(0, 2), 2);
  ASSERT_TRUE(rig.window.exists(id::kDpiSwitchList));
  EXPECT_EQ(rig.window.controlRect(id::kDpiSwitchList), (Rect{463, entryTop, 523, entryTop + 80}));
  EXPECT_EQ(rig.window.itemText(id::kDpiSwitchList, 3), "Shift DPI");

  // Clicking "DPI Switch" itself leaves the list on screen.
  rig.choose(43, 6);
  EXPECT_TRUE(rig.window.exists(43));
  rig.choose(id::kDpiSwitchList, 0);
  EXPECT_EQ(rig.config().keyFunction(0, 2), 6);
  EXPECT_EQ(rig.config().dpiSwitchStage(0, 2), 1);
  EXPECT_EQ(rig.label(0, 2), "DPI +");
  EXPECT_FALSE(rig.window.exists(43));
  EXPECT_FALSE(rig.window.exists(id::kDpiSwitchList));

  // Moving to another entry closes the cascade.
  rig.press(Row(3));
  rig.dlg->onControlMouseMove(44, {300, layout::kKeyLists[3].top + 6 * 16 + 1});
  EXPECT_TRUE(rig.window.exists(id::kDpiSwitchList));
  rig.dlg->onControlMouseMove(44, {300, layout::kKeyLists[3].top + 1});
  EXPECT_FALSE(rig.window.exists(id::kDpiSwitchList));
}

TEST(BasicPageDispatch, ShiftInOneGroupShowsInTheOther) {
  MainWindowRig rig;
  rig.press(Row(4));
  rig.choose(45, 14);
  rig.take();
  rig.press({400, 525});  // "Mode B"
  EXPECT_EQ(rig.config().editedKeyGroup(), 1);
  EXPECT_EQ(rig.config().keyFunction(1, 4), 14);
  EXPECT_EQ(rig.label(1, 4), "Shift");
  EXPECT_EQ(LinesStarting(rig.take(), "text 'Shift'"),
            (Log{"text 'Shift' [272,291,444,312] left"}));
}

TEST(BasicPageControls, DefaultKeysRestoreFunctionsAndCaptions) {
  MainWindowRig rig;
  rig.config().setKeyAttribute(1, KeyAttribute::kKeyFunction, 5, 15);
  rig.press({350, 555});
  EXPECT_EQ(rig.config().keyFunction(1, 5), 6);
  EXPECT_EQ(rig.config().dpiSwitchStage(1, 5), 3);
  EXPECT_EQ(rig.label(0, 0), "Left Click");  // was "Shoot"
  EXPECT_EQ(rig.config().keyFunction(1, 6), 5);
  EXPECT_EQ(rig.label(1, 6), "Triple-click");  // the caption names the restored function
  EXPECT_EQ(rig.label(1, 9), "Key Off");
}

TEST(BasicPageControls, ReportRateSwitchesSegments) {
  MainWindowRig rig;  // factory: 1000 Hz
  rig.press(Segment(2));
  EXPECT_EQ(rig.config().reportRateCode(), 2);
  EXPECT_EQ(rig.take(), (Log{"img /slider-RP-light.png @686,204",
                             "img /slider-RP-dark.png @758,204", "present"}));
  rig.press(Segment(2));
  EXPECT_EQ(rig.take(), Log{});
}

TEST(BasicPageControls, TheLastEnabledStageStays) {
  MainWindowRig rig({.edit = [](MouseConfig& c) {
    for (int s = 1; s < 4; ++s) c.at(config_offset::kDpiStageEnabled + s) = 0;
  }});
  rig.press(Tick(0));
  EXPECT_TRUE(rig.config().dpiStageEnabled(0));
  EXPECT_EQ(rig.take(), Log{});
  rig.press(Tick(2));
  EXPECT_TRUE(rig.config().dpiStageEnabled(2));
  EXPECT_EQ(LinesStarting(rig.take(), "img /Pane"), Log{"img /PaneMakingTick.png @608,541"});
  rig.press(Tick(0));
  EXPECT_FALSE(rig.config().dpiStageEnabled(0));
  const Log drawn = rig.take();
  EXPECT_EQ(LinesStarting(drawn, "img /Pane"), Log{"img /Pane.png @554,541"});
  EXPECT_EQ(LinesStarting(drawn, "img /slider-DPI-light").size(), 0u);
}

TEST(BasicPageControls, ColoursOnlyForEnabledStages) {
  MainWindowRig rig(
      {.edit = [](MouseConfig& c) { c.at(config_offset::kDpiStageEnabled + 1) = 0; }});
  rig.window.colourChoice = Rgb{1, 2, 3};
  rig.press(Swatch(1));
  EXPECT_EQ(rig.take(), Log{});
  rig.press(Swatch(2));
  EXPECT_EQ(rig.config().dpiColor(2), (std::array<std::uint8_t, 3>{1, 2, 3}));
  const auto before = rig.config().dpiColor(3);
  rig.window.colourChoice.reset();
  rig.press(Swatch(3));
  EXPECT_EQ(rig.config().dpiColor(3), before);
}

TEST(BasicPageControls, LevelsPastTheEightLevelTableDrag) {
  MainWindowRig rig;  // sensor 2: eight levels
  rig.press(Cell(1, 3));
  EXPECT_EQ(rig.config().dpiLevel(1), 3);
  const Log drawn = rig.take();
  EXPECT_EQ(LinesStarting(drawn, "img /slider-DPI-light").size(), 4u);
  EXPECT_EQ(LinesStarting(drawn, "img /slider-DPI-dark").size(), 4u);
  rig.press(Cell(1, 9));
  EXPECT_EQ(rig.take(), Log{"drag"});
  EXPECT_EQ(rig.config().dpiLevel(1), 3);
}

TEST(BasicPageControls, LightingListsFollowTheMode) {
  struct Case {
    int mode;
    int parameterHeight;
    int parameterCount;
    std::vector<std::string> effects;
  };
  for (const Case& c : {Case{1, 173, 10, {}}, Case{2, 93, 5, {"RGB Effect", "RGB Flash"}},
                        Case{3, 261, 30, {"RGB Flash", "RGB Fixed On"}}}) {
    SCOPED_TRACE(c.mode);
    MainWindowRig rig({.edit = [&](MouseConfig& m) { m.at(config_offset::kLightMode) = c.mode; }});
    rig.press(LightField(1));
    const Rect list = layout::LightParameterList(c.parameterHeight);
    EXPECT_EQ(rig.window.controlRect(id::kLightParameterList), list);
    EXPECT_EQ(rig.window.itemCount(id::kLightParameterList), c.parameterCount);
    // Every level shows without scrolling: its rows, one per kListRowHeight in each column,
    // fit inside the border, and the list stays on the face.
    const std::optional<ControlStyle> style = rig.window.controlStyle(id::kLightParameterList);
    ASSERT_TRUE(style.has_value());
    EXPECT_TRUE(style->border);
    const int rowsPerColumn = (c.parameterCount + style->columns - 1) / style->columns;
    EXPECT_LE(rowsPerColumn * kListRowHeight, list.height() - 2);
    EXPECT_LE(list.bottom, layout::kFaceSize.height);
    rig.press(LightField(2));  // opening the effect list closes the parameter list
    EXPECT_FALSE(rig.window.exists(id::kLightParameterList));
    EXPECT_TRUE(rig.pages->basic().lists().lightListOpen(2));
    std::vector<std::string> effects;
    for (int i = 0; i < rig.window.itemCount(id::kLightEffectList); ++i) {
      effects.push_back(rig.window.itemText(id::kLightEffectList, i));
    }
    EXPECT_EQ(effects, c.effects);
    if (c.mode == 1) {
      EXPECT_EQ(rig.window.text(id::kLightEffectValue), "RGB Effect");
    }
    rig.press(LightField(2));  // a second press closes it
    EXPECT_FALSE(rig.pages->basic().lists().lightListOpen(2));
    EXPECT_FALSE(rig.window.exists(id::kLightEffectList));
    if (c.mode == 3) {
      rig.press(LightField(2));
      rig.choose(id::kLightEffectList, 0);
      EXPECT_EQ(rig.config().rgbEffect(3), 2);
      EXPECT_EQ(rig.window.text(id::kLightEffectValue), "RGB Flash");
      EXPECT_FALSE(rig.pages->basic().lists().lightListOpen(2));
    }
  }
}

TEST(BasicPageControls, ChoosingAModeShowsItsStoredParameterAndEffect) {
  MainWindowRig rig({.edit = [](MouseConfig& m) {
    m.at(config_offset::kLightMode) = 1;
    m.at(config_offset::kLightLevel + 1) = 1;  // "7S"
    m.at(config_offset::kRgbEffect + 1) = 2;   // "RGB Flash"
  }});
  rig.press(LightField(0));
  ASSERT_EQ(rig.window.itemCount(id::kLightModeList), 3);
  rig.choose(id::kLightModeList, 1);
  EXPECT_EQ(rig.config().lightMode(), 2);
  EXPECT_EQ(rig.window.text(id::kLightModeValue), "Respiration");
  EXPECT_EQ(rig.window.text(id::kLightParameterValue), "7S");
  EXPECT_EQ(rig.window.text(id::kLightEffectValue), "RGB Flash");
  EXPECT_FALSE(rig.window.exists(id::kLightModeList));
  rig.press(LightField(1));
  rig.choose(id::kLightParameterList, 4);
  EXPECT_EQ(rig.config().lightLevel(2), 4);
  EXPECT_EQ(rig.window.text(id::kLightParameterValue), "4S");
}

TEST(BasicPageApply, ApplyProgramsTheMouseAndSavesTheFiles) {
  MainWindowRig rig;
  rig.pages->setFunctionDialog([](int function) -> std::optional<FunctionParameters> {
    if (function != 12) return std::nullopt;
    return FunctionParameters{.keyName = "C", .modifierName = "Left Ctrl"};
  });
  rig.press(Row(2));
  rig.choose(43, 12);
  rig.press(Segment(2));
  rig.take();
  rig.press(kOnApply);
  EXPECT_EQ(LinesStarting(rig.log, "message"), Log{});
  EXPECT_EQ(LinesStarting(rig.log, "hide"), Log{});
  const FirmwareState state = rig.mouse.state();
  EXPECT_EQ(state.reportRateCode, 2);
  // Slot 2 of matrix 1: the combination Left Ctrl + C.
  EXPECT_EQ((std::array<std::uint8_t, 4>{state.keyMatrices[0][8], state.keyMatrices[0][9],
                                         state.keyMatrices[0][10], state.keyMatrices[0][11]}),
            (std::array<std::uint8_t, 4>{0x00, 0x01, 0x06, 0x00}));
  EXPECT_EQ(rig.dlg->appliedConfig(), rig.config());
  MouseConfig saved;
  std::uint8_t flag = 0;
  ASSERT_EQ(LoadConfig(rig.bin / "config.bin", saved, flag).outcome, ConfigLoadOutcome::kLoaded);
  EXPECT_EQ(saved, rig.config());
  Result<IniDocument> prefs = IniDocument::Load(rig.bin / "str.ini");
  ASSERT_TRUE(prefs);
  EXPECT_EQ(LoadPreferences(prefs.value()).labels.texts[2], "Combo Key-Left Ctrl+C");

  rig.take();
  rig.press(kOnOk);  // the press then goes on to the page and the drag, as every press does
  EXPECT_EQ(LinesStarting(rig.log, "hide"), Log{"hide"});
}

TEST(BasicPageApply, AFailedApplyIsReportedAndTheFileStillSaved) {
  MainWindowRig rig;
  EmulatorFaults faults;
  faults.corruptMacroSlot = 3;
  rig.mouse.setFaults(faults);
  rig.press(Segment(1));
  rig.press(kOnOk);
  const Log messages = LinesStarting(rig.log, "message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("caption 'Warning'"), std::string::npos);
  EXPECT_EQ(LinesStarting(rig.log, "hide"), Log{"hide"});
  MouseConfig saved;
  std::uint8_t flag = 0;
  LoadConfig(rig.bin / "config.bin", saved, flag);
  EXPECT_EQ(saved.reportRateCode(), 4);
}

// A disk that fills up while str.ini is saved: its new content cannot be synced.
class DiskFullForStrIni : public FileSystemEdge {
 public:
  Status syncFile(const std::filesystem::path& file) override {
    if (file.filename().generic_string().rfind("str.ini.", 0) == 0) {
      return MakeError(ErrorCode::kIo, file.generic_string() + ": No space left on device");
    }
    return Ok{};
  }
  Status syncFolder(const std::filesystem::path&) override { return Ok{}; }
  Status keepOwner(const std::filesystem::path&, const std::filesystem::path&) override {
    return Ok{};
  }
};

class InstalledEdge {
 public:
  explicit InstalledEdge(FileSystemEdge* edge) { InstallFileSystemEdge(edge); }
  ~InstalledEdge() { InstallFileSystemEdge(nullptr); }
};

// The captions live in str.ini only: when it cannot be read or saved, OK and Apply and the
// first-run captions say so, naming the file and the problem; config.bin is saved all the same.
TEST(BasicPageApply, AStrIniThatCannotBeStoredIsNamed) {
  struct Case {
    const char* name;
    bool folderInItsPlace;  // else the disk fills up during the save
    const char* problem;
  };
  const Case cases[] = {{"a folder in its place", true, "is a folder"},
                        {"disk full", false, "No space left on device"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::uint8_t firstRunFlag : {0, 1}) {
      MainWindowRig rig({.firstRunFlag = firstRunFlag, .initialise = false});
      DiskFullForStrIni edge;
      std::optional<InstalledEdge> installed;
      const std::filesystem::path prefs = rig.bin / "str.ini";
      if (c.folderInItsPlace) {
        std::filesystem::remove(prefs);
        std::filesystem::create_directory(prefs);
      } else {
        installed.emplace(&edge);
      }
      ASSERT_TRUE(rig.dlg->onInitialise());
      // A first run stores the factory captions at the page's first show.
      Log told = LinesStarting(rig.take(), "message");
      ASSERT_EQ(told.size(), firstRunFlag == 0 ? 1u : 0u) << ::testing::PrintToString(told);
      rig.press(Segment(1));
      rig.press(kOnApply);
      for (const std::string& line : LinesStarting(rig.take(), "message")) told.push_back(line);
      ASSERT_EQ(told.size(), firstRunFlag == 0 ? 2u : 1u);
      for (const std::string& message : told) {
        EXPECT_NE(message.find(prefs.generic_string()), std::string::npos) << message;
        EXPECT_NE(message.find(c.problem), std::string::npos) << message;
      }
      MouseConfig saved;
      std::uint8_t flag = 0;
      LoadConfig(rig.bin / "config.bin", saved, flag);
      EXPECT_EQ(saved.reportRateCode(), 4);
      if (!c.folderInItsPlace) {
        Result<IniDocument> kept = IniDocument::Load(prefs);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept.value().read("Setting-EN", "Item1"), "Shoot");  // the old file unchanged
      }
    }
  }
}

TEST(BasicPageApply, AnOddReplyLeavesOutOnlyWhatDependsOnItAndTheWarningSaysWhat) {
  MainWindowRig rig;
  EmulatorFaults faults;
  faults.wrongIndex = true;
  faults.onlyOpcode = opcode::kReadColorBlock;
  rig.mouse.setFaults(faults);
  rig.press(Segment(1));
  rig.press(kOnOk);
  const Log messages = LinesStarting(rig.log, "message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("- reading the colour blocks, sub-blocks 0, 1 failed"),
            std::string::npos);
  EXPECT_NE(messages[0].find("- writing the colour blocks, sub-block 0 skipped"),
            std::string::npos);
  EXPECT_EQ(std::count(messages[0].begin(), messages[0].end(), '\n'), 2) << messages[0];
  // What came after the failed read reached the mouse.
  const FirmwareState state = rig.mouse.state();
  EXPECT_EQ(state.reportRateCode, 4);
  EXPECT_EQ(state.dpiStageCount, 4);
  EXPECT_EQ(state.keyMatrices[1], (std::array<std::uint8_t, 64>{}));
  EXPECT_EQ(LinesStarting(rig.log, "hide"), Log{"hide"});
}

TEST(BasicPageApply, CancelRestoresTheAppliedRecordAndHides) {
  MainWindowRig rig;
  const MouseConfig applied = rig.config();
  rig.press(Segment(0));
  rig.press(Tick(1));
  rig.take();
  rig.press(kOnCancel);
  EXPECT_EQ(rig.config(), applied);
  EXPECT_TRUE(rig.dlg->rebuildRequested());
  EXPECT_EQ(rig.log, (Log{"hide", "drag"}));
  EXPECT_EQ(rig.mouse.state().reportRateCode, 1);  // nothing was sent
}

TEST(BasicPageDispatch, SharedColumnsRunOneButtonAndTheWindowButtons) {
  MainWindowRig rig;
  rig.press(Segment(0));
  rig.take();
  rig.press({770, 630});  // Apply and Cancel share this column: Apply alone runs
  EXPECT_FALSE(rig.dlg->rebuildRequested());
  EXPECT_EQ(rig.mouse.state().reportRateCode, 8);
  rig.take();
  rig.press({830, 10});
  EXPECT_EQ(rig.take(), Log{"hide"});
  rig.press({855, 10});
  EXPECT_EQ(rig.window.endedWith, 0);
}

}  // namespace
}  // namespace vm31
