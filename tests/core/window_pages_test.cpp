// The main window's two pages against the recording host and the emulated mouse: what each page
// draws and in which order, the child controls each page owns and their stored values, the tabs,
// dragging, and the hover feedback of buttons and key rows.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "core/app/main_pages.h"
#include "core/app/main_window.h"
#include "core/settings/config_file.h"
#include "core/settings/preferences.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "emulator/virtual_clock.h"
#include "support/main_window_rig.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using testing::Log;
using testing::RecordingNotifier;
using testing::RecordingWindow;
using testing::TempFolder;
using testing::WritePngHeader;

using PagesSetup = testing::MainWindowSetup;

// The main-window fixture, with the window's initialisation left to the test (start()), so the
// first show of the basic page is part of what it sees.
struct PagesRig : testing::MainWindowRig {
  explicit PagesRig(PagesSetup setup = {}) : MainWindowRig(WithoutInitialisation(setup)) {}

  // Initialises the window (which shows the basic page) and returns what the page drew.
  Log start() {
    EXPECT_TRUE(dlg->onInitialise());
    return since("background /main.png 875x644");
  }
  // The log after the last line equal to `marker`; the whole log when there is none.
  Log since(const std::string& marker) const {
    auto it = std::find(log.rbegin(), log.rend(), marker);
    return Log(it.base(), log.end());
  }

 private:
  static PagesSetup WithoutInitialisation(PagesSetup setup) {
    setup.initialise = false;
    return setup;
  }
};

std::string Img(std::string_view name, int x, int y) {
  return "img " + std::string(name) + " @" + std::to_string(x) + "," + std::to_string(y);
}
std::string Text(std::string_view text, const Rect& r, std::string_view format) {
  return "text '" + std::string(text) + "' " + testing::RectText(r) + " " + std::string(format);
}
Log Only(const Log& log, std::string_view prefix) {
  return testing::LinesStarting(log, prefix);
}

// Compares two long draw lists line by line, so a failure names the first line that differs.
void ExpectSameLog(const Log& actual, const Log& expected) {
  const std::size_t common = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i) {
    ASSERT_EQ(actual[i], expected[i]) << "line " << i;
  }
  EXPECT_EQ(actual.size(), expected.size())
      << (actual.size() > common ? "first extra line: " + actual[common]
                                 : "first missing line: " + expected[common]);
}

constexpr Point kOnOk{600, 630};
constexpr Point kOnApply{700, 630};
constexpr Point kOnRow1{300, 205};
constexpr Point kOnRow2{300, 228};
constexpr Point kEmpty{200, 600};

// Factory record with a few values changed so that every part of the page shows something:
// stage 2 disabled, stage 4 at level 8 (the top of an eight-level column), 250 Hz, respiration.
void Distinct(MouseConfig& config) {
  config.at(config_offset::kReportRateCode) = 4;
  config.at(config_offset::kDpiLevel + 0) = 2;
  config.at(config_offset::kDpiLevel + 2) = 5;
  config.at(config_offset::kDpiLevel + 3) = 7;
  config.at(config_offset::kDpiStageEnabled + 1) = 0;
  config.at(config_offset::kLightMode) = 2;
  config.at(config_offset::kLightLevel + 1) = 1;  // "7S"
  config.at(config_offset::kRgbEffect + 1) = 2;   // "RGB Flash"
}

TEST(MainPages, BasicPageDrawsEverythingInOrder) {
  PagesRig rig({.edit = Distinct});
  const Log drawn = rig.start();

  Log expected{Img("/BasicSet2.png", 0, 0),
               Img("/button-min-normal.png", 825, 5),
               Img("/button-close-normal.png", 850, 5),
               Img("/button-Skins-normal.png", 701, 5),
               Img("/button-normal.png", 562, 623),
               Img("/button-normal.png", 666, 623),
               Img("/button-normal.png", 770, 623),
               Img("/button-normal.png", 307, 549),
               Img("/button-PrePage-normal.png", 14, 54),
               Img("/button-NextPage-normal.png", 60, 54)};
  for (int y : {199, 222, 245, 268, 291, 314, 337}) {
    expected.push_back(Img("/DropdownBox-normal.png", 252, y));
  }
  for (int x : {542, 614, 686, 758}) expected.push_back(Img("/slider-RP-dark.png", x, 204));
  const Log titles{
      Text("Basic Settings", {105, 51, 320, 99}, "left"),
      Text("Key Setting", {259, 160, 364, 181}, "centre"),
      Text("Report Rate Setting", {504, 161, 609, 182}, "centre"),
      Text("DPI Setting", {504, 275, 609, 296}, "centre"),
      Text("DPI Effect", {704, 275, 809, 296}, "centre"),
      Text("OK", {562, 623, 667, 644}, "centre"),
      Text("Apply", {666, 623, 771, 644}, "centre"),
      Text("Cancel", {770, 623, 875, 644}, "centre"),
      Text("Default", {307, 549, 412, 570}, "centre"),
      Text("1", {252, 199, 272, 220}, "left"),
      Text("Shoot", {272, 199, 444, 220}, "left"),
      Text("2", {252, 222, 272, 243}, "left"),
      Text("Aim", {272, 222, 444, 243}, "left"),
  };
  expected.insert(expected.end(), titles.begin(), titles.end());
  // Captions missing from str.ini name the buttons' functions.
  const std::array<std::string_view, 5> derived{"Mid Click", "Forward", "Backward", "DPI Loop",
                                                "Triple-click"};
  for (int row = 3; row <= 7; ++row) {
    const int top = 199 + 23 * (row - 1);
    expected.push_back(Text(std::to_string(row), {252, top, 272, top + 21}, "left"));
    expected.push_back(
        Text(derived[static_cast<std::size_t>(row - 3)], {272, top, 444, top + 21}, "left"));
  }
  const Log rest{
      Img("/button-over.png", 253, 518),
      Text("Mode A", {253, 518, 358, 539}, "centre"),
      Img("/button-normal.png", 357, 518),
      Text("Mode B", {357, 518, 462, 539}, "centre"),
      Text("125", {542, 225, 612, 245}, "top-centre"),
      Text("250", {614, 225, 684, 245}, "top-centre"),
      Text("500", {686, 225, 756, 245}, "top-centre"),
      Text("1000", {758, 225, 828, 245}, "top-centre"),
      Text("Color", {494, 523, 544, 539}, "right"),
      Text("Select", {494, 541, 544, 557}, "right"),
      Text("1", {554, 562, 570, 587}, "top-centre"),
      Text("2", {581, 562, 597, 587}, "top-centre"),
      Text("3", {608, 562, 624, 587}, "top-centre"),
      Text("4", {635, 562, 651, 587}, "top-centre"),
      Text("Mode", {697, 330, 757, 344}, "right"),
      Text("Parameter", {697, 360, 757, 374}, "right"),
      Text("Effect", {697, 390, 757, 404}, "right"),
  };
  expected.insert(expected.end(), rest.begin(), rest.end());
  const char* labels[] = {"250", "500", "750", "1000", "1250", "1500", "2000", "2500"};
  for (int level = 0; level < 8; ++level) {
    expected.push_back(
        Text(labels[level], {494, 500 - 18 * level, 544, 516 - 18 * level}, "right"));
  }
  for (int c = 0; c < 4; ++c) {
    const int x = 554 + 27 * c;
    expected.push_back("create " + std::to_string(71 + c) + " " +
                       testing::RectText({x, 523, x + 16, 539}));
  }
  for (int y : {330, 360, 390}) {
    expected.push_back("create " + std::to_string(80 + (y - 330) / 30) + " " +
                       testing::RectText({767, y, 835, y + 14}));
  }
  expected.push_back(Img("/slider-RP-light.png", 614, 204));  // code 4: 250 Hz
  // Lit cells from the bottom up to the stored level; a disabled stage is dark throughout.
  const int lit[] = {3, 0, 6, 8};
  for (int c = 0; c < 4; ++c) {
    const int x = 554 + 27 * c;
    expected.push_back(Img(c == 1 ? "/Pane.png" : "/PaneMakingTick.png", x, 541));
    for (int level = 0; level < 8; ++level) {
      expected.push_back(Img(level < lit[c] ? "/slider-DPI-light.png" : "/slider-DPI-dark.png", x,
                             500 - 18 * level));
    }
  }
  expected.push_back("present");
  ExpectSameLog(drawn, expected);

  EXPECT_EQ(rig.pages->basic().dpiLevelCount(), 8);
  EXPECT_EQ(rig.pages->currentPage(), MainPage::kBasic);
  EXPECT_EQ(rig.window.text(80), "Respiration");
  EXPECT_EQ(rig.window.text(81), "7S");
  EXPECT_EQ(rig.window.text(82), "RGB Flash");
  EXPECT_FALSE(rig.window.visible);  // the window waits for the tray
}

TEST(MainPages, AdvancedPageDrawsEverythingInOrder) {
  PagesRig rig({.edit =
                    [](MouseConfig& config) {
                      config.at(config_offset::kPointerSpeedLevel) = 2;
                      config.at(config_offset::kWheelScrollLines) = 0;
                      config.at(config_offset::kDoubleClickLevel) = 11;
                      config.at(config_offset::kEnhancePointerPrecision) = 1;
                      config.at(config_offset::kScrollOneScreen) = 0;
                      config.setMacroLoopCount(0, 300);
                    },
                .macros = "[Fire]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=A   Up\r\n"
                          "[Reload]\r\nItemCount=0\r\n"});
  rig.start();
  rig.take();
  rig.pages->onLeftButtonDown({70, 60});
  const Log drawn = rig.take();

  Log expected;
  for (int id : {71, 72, 73, 74, 80, 81, 82}) expected.push_back("destroy " + std::to_string(id));
  const Log frame{Img("/AdvancedSet2.png", 0, 0),
                  Img("/button-min-normal.png", 825, 5),
                  Img("/button-close-normal.png", 850, 5),
                  Img("/button-Skins-normal.png", 701, 5),
                  Img("/button-PrePage-normal.png", 14, 54),
                  Img("/button-NextPage-normal.png", 60, 54)};
  expected.insert(expected.end(), frame.begin(), frame.end());
  for (Point at : {Point{562, 623}, Point{666, 623}, Point{770, 623}, Point{38, 584},
                   Point{513, 528}, Point{617, 528}, Point{721, 528}}) {
    expected.push_back(Img("/button-normal.png", at.x, at.y));
  }
  for (int top : {200, 350, 500}) {
    for (int cell = 0; cell < 11; ++cell)
      expected.push_back(Img("/slider-dark.png", 52 + 24 * cell, top));
  }
  expected.push_back(Text("Enhance Pointer Precision", {77, 255, 408, 271}, "left"));
  expected.push_back(Text("Scroll One Screen", {77, 405, 408, 421}, "left"));
  expected.push_back(Text("Default", {38, 584, 143, 605}, "centre"));
  for (int top : {200, 350, 500}) {
    for (int cell = 0; cell < 11; ++cell) {
      const int x = 52 + 24 * cell;
      expected.push_back(
          Text(std::to_string(cell + 1), {x, top + 21, x + 24, top + 41}, "top-centre"));
    }
  }
  // The recording host measures 7 pixels per character at height 14: "Start Recording" (15
  // characters) fits one line of 109 pixels, so the 33-pixel box shrinks to 14 around it.
  const Log texts{
      Text("Select Macro", {457, 196, 592, 220}, "centre"),
      Text("Key Press Sequence", {591, 196, 726, 220}, "centre"),
      Text("Record Option", {725, 196, 875, 220}, "centre"),
      Text("New", {513, 528, 618, 549}, "centre"),
      Text("Delete", {617, 528, 722, 549}, "centre"),
      Text("Confirm", {721, 528, 826, 549}, "centre"),
      Text("Start Recording", {765, 236, 874, 250}, "wrap"),
      Text("Stop Recording", {765, 272, 874, 286}, "wrap"),
      Text("Loop Times", {735, 342, 874, 362}, "left"),
      Text("Macro Name", {735, 302, 874, 322}, "left"),
      Text("Insert A Mouse Event", {735, 382, 874, 402}, "left"),
      Text("OK", {562, 623, 667, 644}, "centre"),
      Text("Apply", {666, 623, 771, 644}, "centre"),
      Text("Cancel", {770, 623, 875, 644}, "centre"),
      Text("Mouse Speed", {38, 160, 143, 181}, "centre"),
      Text("Scrolling Speed", {38, 310, 143, 331}, "centre"),
      Text("Double-Click Speed", {38, 460, 143, 481}, "centre"),
      Text("Macro Setting", {469, 160, 578, 181}, "centre"),
      Text("Advanced Settings", {105, 51, 320, 99}, "left"),
  };
  expected.insert(expected.end(), texts.begin(), texts.end());
  // No desktop backend here: every slider is marked, and the sliders show the record's values.
  for (int top : {160, 310, 460}) {
    expected.push_back(Text("(not available on this desktop)", {163, top, 425, top + 21}, "left"));
  }
  for (int cell = 0; cell < 2; ++cell)
    expected.push_back(Img("/slider-light.png", 52 + 24 * cell, 200));
  for (int cell = 0; cell < 11; ++cell)
    expected.push_back(Img("/slider-light.png", 52 + 24 * cell, 500));
  const Log controls{Img("/PaneMakingTick.png", 51, 255), Img("/Pane.png", 51, 405),
                     "create 119 [735,402,839,416]",      "create 150 [735,322,799,336]",
                     "create 149 [735,362,799,376]",      "create 151 [462,220,591,512]",
                     "create 152 [592,220,725,512]",      "present"};
  expected.insert(expected.end(), controls.begin(), controls.end());
  ExpectSameLog(drawn, expected);

  EXPECT_EQ(rig.pages->currentPage(), MainPage::kAdvanced);
  EXPECT_EQ(rig.window.itemCount(151), 2);
  EXPECT_EQ(rig.window.itemText(151, 1), "Reload");
  EXPECT_EQ(rig.window.selection(151), 0);
  EXPECT_EQ(rig.window.text(150), "Fire");
  EXPECT_EQ(rig.window.itemCount(152), 2);
  EXPECT_EQ(rig.window.itemText(152, 0), "A   Dn");
  EXPECT_EQ(rig.window.text(149), "300");
  EXPECT_EQ(rig.window.text(119), "");
}

TEST(MainPages, WithoutMacrosTheMacroFieldsStayEmpty) {
  PagesRig rig;
  rig.start();
  rig.pages->showAdvancedPage();
  EXPECT_EQ(rig.window.itemCount(151), 0);
  EXPECT_EQ(rig.window.itemCount(152), 0);
  EXPECT_EQ(rig.window.text(149), "");
  EXPECT_EQ(rig.window.text(150), "");
}

TEST(MainPages, ShowingTheShownPageDrawsNothing) {
  PagesRig rig;
  rig.start();
  rig.take();
  rig.pages->showBasicPage();
  rig.pages->onLeftButtonDown({20, 60});  // the basic-page tab
  EXPECT_EQ(rig.log, Log{});
  rig.pages->showAdvancedPage();
  rig.take();
  rig.pages->showAdvancedPage();
  rig.pages->onLeftButtonDown({99, 93});  // the advanced-page tab's last pixel
  EXPECT_EQ(rig.log, Log{});
}

TEST(MainPages, SwitchingBackRecreatesTheBasicControlsWithTheStoredValues) {
  PagesRig rig({.edit = Distinct});
  rig.start();
  rig.pages->showAdvancedPage();
  for (int id : {71, 72, 73, 74, 80, 81, 82}) EXPECT_FALSE(rig.window.exists(id)) << id;
  for (int id : {119, 149, 150, 151, 152}) EXPECT_TRUE(rig.window.exists(id)) << id;

  rig.dlg->mouseConfig().at(config_offset::kLightMode) = 3;
  rig.dlg->mouseConfig().at(config_offset::kLightLevel + 2) = 29;
  rig.dlg->mouseConfig().at(config_offset::kRgbEffect + 2) = 3;
  rig.take();
  rig.pages->showBasicPage();
  const Log drawn = rig.take();
  for (int id : {119, 150, 149, 151, 152}) {
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "destroy " + std::to_string(id)), drawn.end());
  }
  EXPECT_EQ(rig.window.text(80), "Neon");
  EXPECT_EQ(rig.window.text(81), "15S");
  EXPECT_EQ(rig.window.text(82), "RGB Fixed On");
  const auto stage4 = rig.dlg->mouseConfig().dpiColor(3);
  EXPECT_EQ(MainControlStyle(74, rig.dlg->mouseConfig(), {0, 255, 0}, {}).background,
            (Rgb{stage4[0], stage4[1], stage4[2]}));
  // The level labels come back with the swatches; the sensor is not asked a second time.
  EXPECT_EQ(Only(drawn, "text '2500'").size(), 1u);
  EXPECT_EQ(rig.pages->basic().dpiLevelCount(), 8);
}

TEST(MainPages, ReportRateCodesLightTheirSegment) {
  const struct {
    std::uint8_t code;
    int x;
  } cases[] = {{8, 542}, {4, 614}, {2, 686}, {1, 758}, {0, 758}, {255, 758}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    PagesRig rig(
        {.edit = [&](MouseConfig& config) { config.at(config_offset::kReportRateCode) = c.code; }});
    EXPECT_EQ(Only(rig.start(), "img /slider-RP-light"),
              Log{Img("/slider-RP-light.png", c.x, 204)});
  }
}

TEST(MainPages, TheSensorTypeChoosesTheLevelColumn) {
  const struct {
    std::uint8_t sensor;
    int levels;
    const char* top;
    int labelLeft;
  } cases[] = {{0, 12, "4000", 514}, {1, 8, "3200", 494},  {2, 8, "2500", 494},
               {3, 8, "3200", 494},  {4, 12, "4000", 514}, {200, 12, "4000", 514}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.sensor));
    PagesRig rig({.sensorType = c.sensor});
    const Log drawn = rig.start();
    EXPECT_EQ(rig.pages->basic().dpiLevelCount(), c.levels);
    EXPECT_EQ(rig.link.state().sensorTypeCopy, c.sensor);
    const int top = 500 - 18 * (c.levels - 1);
    EXPECT_EQ(Only(drawn, "text '" + std::string(c.top) + "' [" + std::to_string(c.labelLeft)),
              Log{Text(c.top, {c.labelLeft, top, 544, top + 16}, "right")});
    EXPECT_EQ(Only(drawn, "img /slider-DPI").size(), static_cast<std::size_t>(4 * c.levels));
  }
}

TEST(MainPages, FirstRunStoresTheFactoryCaptions) {
  PagesRig rig({.firstRunFlag = 0});
  const Log drawn = rig.start();
  EXPECT_EQ(Only(drawn, "text 'Left Click'"),
            Log{Text("Left Click", {272, 199, 444, 220}, "left")});
  auto prefs = IniDocument::Load(rig.bin / "str.ini");
  ASSERT_TRUE(prefs.ok());
  EXPECT_EQ(prefs.value().read("Setting-EN", "Item6"), "DPI Loop");
  EXPECT_EQ(prefs.value().read("Setting-EN", "Item13"), "Left Click");
  EXPECT_EQ(prefs.value().read("Skins", "Path"), "Dark");  // the rest of the file stays
}

// Until config.bin is first saved every start is a first run: a str.ini that already holds the
// factory captions is left as it is.
TEST(MainPages, FirstRunLeavesAFileWithTheFactoryCaptionsUnwritten) {
  PagesRig rig({.firstRunFlag = 0});
  const std::filesystem::path file = rig.bin / "str.ini";
  auto prefs = IniDocument::Load(file);
  ASSERT_TRUE(prefs.ok());
  SaveLabels(prefs.value(), UiLanguage::kEnglish, FactoryButtonLabels(UiLanguage::kEnglish));
  ASSERT_TRUE(prefs.value().Save(file).ok());
  const auto longAgo = std::filesystem::last_write_time(file) - std::chrono::hours(24);
  std::filesystem::last_write_time(file, longAgo);
  rig.start();
  EXPECT_EQ(std::filesystem::last_write_time(file), longAgo);
}

TEST(MainPages, EditedGroupTwoShowsItsCaptionsAndLightsModeB) {
  PagesRig rig(
      {.edit = [](MouseConfig& config) { config.at(config_offset::kEditedKeyGroup) = 1; }});
  const Log drawn = rig.start();
  EXPECT_EQ(Only(drawn, "text 'Jump'"), Log{Text("Jump", {272, 199, 444, 220}, "left")});
  EXPECT_EQ(Only(drawn, "img /button-over"), Log{Img("/button-over.png", 357, 518)});
}

// Bytes straight from a damaged or hand-edited config.bin: nothing may be drawn or created
// outside the face, and nothing may crash.
TEST(MainPages, AnyStoredBytesStayInsideTheFace) {
  for (std::uint8_t fill : {std::uint8_t{0}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
    SCOPED_TRACE(static_cast<int>(fill));
    PagesRig rig({.sensorType = 0, .edit = [&](MouseConfig& config) { config.bytes.fill(fill); }});
    rig.start();
    rig.pages->showAdvancedPage();
    rig.pages->onHover(kOnRow1);
    rig.pages->showBasicPage();
    rig.pages->onHover(kOnRow1);
    rig.pages->onMouseMove(kEmpty);
    const std::regex place(R"(@(-?\d+),(-?\d+)|\[(-?\d+),(-?\d+),(-?\d+),(-?\d+)\])");
    for (const std::string& line : rig.log) {
      std::smatch m;
      if (!std::regex_search(line, m, place)) continue;
      if (m[1].matched) {
        EXPECT_TRUE(std::stoi(m[1]) >= 0 && std::stoi(m[1]) < 875 && std::stoi(m[2]) >= 0 &&
                    std::stoi(m[2]) < 644)
            << line;
      } else {
        EXPECT_TRUE(layout::InsideFace(
            {std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[6])}))
            << line;
      }
    }
    EXPECT_EQ(rig.window.text(80), "Off");  // any mode but 1..3
  }
}

TEST(MainPages, TabsSwitchAndEmptyBackgroundDrags) {
  PagesRig rig;
  rig.start();
  rig.take();
  rig.pages->onLeftButtonDown({60, 54});  // the advanced tab's first pixel
  EXPECT_EQ(rig.pages->currentPage(), MainPage::kAdvanced);
  rig.take();
  rig.pages->onLeftButtonDown({100, 94});  // just outside both tabs
  EXPECT_EQ(rig.log, Log{"drag"});
  rig.pages->onLeftButtonDown({53, 93});
  EXPECT_EQ(rig.pages->currentPage(), MainPage::kBasic);
  // The window hands its own events on to the pages.
  rig.take();
  rig.dlg->onLeftButtonDown(kEmpty);
  EXPECT_EQ(rig.log, Log{"drag"});
}

TEST(MainPages, RebuildDrawsTheShownPageAgainInFull) {
  PagesRig rig({.edit = Distinct});
  rig.start();
  rig.take();
  rig.dlg->mouseConfig().at(config_offset::kReportRateCode) = 8;
  rig.pages->rebuildPage(MainPage::kBasic);
  const Log drawn = rig.take();
  EXPECT_EQ(drawn.front(), "destroy 71");
  EXPECT_EQ(Only(drawn, "img /BasicSet2"), Log{Img("/BasicSet2.png", 0, 0)});
  EXPECT_EQ(Only(drawn, "img /slider-RP-light"), Log{Img("/slider-RP-light.png", 542, 204)});
  EXPECT_EQ(Only(drawn, "create").size(), 7u);
  EXPECT_EQ(drawn.back(), "present");

  rig.pages->showAdvancedPage();
  rig.take();
  rig.pages->rebuildPage(MainPage::kAdvanced);
  const Log advanced = rig.take();
  EXPECT_EQ(Only(advanced, "img /AdvancedSet2"), Log{Img("/AdvancedSet2.png", 0, 0)});
  EXPECT_EQ(Only(advanced, "create").size(), 5u);
}

// ---- hover feedback ----

TEST(MainPagesHover, MovingFromOkToApplyLightsApplyAndRestoresOkInOneUpdate) {
  PagesRig rig;
  rig.start();
  rig.take();
  rig.pages->onMouseMove(kOnOk);
  EXPECT_EQ(rig.log, Log{});  // the hover does the drawing
  rig.pages->onHover(kOnOk);
  EXPECT_EQ(rig.take(), (Log{Img("/button-over.png", 562, 623),
                             Text("OK", {562, 623, 667, 644}, "centre"), "present"}));
  rig.pages->onMouseMove(kOnApply);
  rig.pages->onHover(kOnApply);
  EXPECT_EQ(rig.take(),
            (Log{Img("/button-over.png", 666, 623), Text("Apply", {666, 623, 771, 644}, "centre"),
                 Img("/button-normal.png", 562, 623), Text("OK", {562, 623, 667, 644}, "centre"),
                 "present"}));
  EXPECT_TRUE(rig.pages->frame().lit(FrameButton::kApply));
  EXPECT_FALSE(rig.pages->frame().lit(FrameButton::kOk));
  // The shared column lights both in test order; the later one wins.
  rig.pages->onHover({666, 630});
  EXPECT_TRUE(rig.pages->frame().lit(FrameButton::kApply));
  EXPECT_FALSE(rig.pages->frame().lit(FrameButton::kOk));
}

TEST(MainPagesHover, KeyRowToKeyRowAndBackToTheBackground) {
  PagesRig rig;
  rig.start();
  rig.pages->onHover(kOnRow1);
  rig.take();
  rig.pages->onMouseMove(kOnRow2);
  rig.pages->onHover(kOnRow2);
  EXPECT_EQ(rig.take(),
            (Log{Img("/DropdownBox-over.png", 252, 222), Text("2", {252, 222, 272, 243}, "left"),
                 Text("Aim", {272, 222, 444, 243}, "left"),
                 Img("/DropdownBox-normal.png", 252, 199), Text("1", {252, 199, 272, 220}, "left"),
                 Text("Shoot", {272, 199, 444, 220}, "left"), "present"}));
  // Moves inside the lit row draw nothing.
  rig.pages->onMouseMove({400, 230});
  rig.pages->onMouseMove({253, 242});
  EXPECT_EQ(rig.log, Log{});
  // The first move onto the background restores it; the next draws nothing.
  rig.pages->onMouseMove(kEmpty);
  EXPECT_EQ(rig.take(),
            (Log{Img("/DropdownBox-normal.png", 252, 222), Text("2", {252, 222, 272, 243}, "left"),
                 Text("Aim", {272, 222, 444, 243}, "left"), "present"}));
  rig.pages->onMouseMove(kEmpty);
  rig.pages->onHover(kEmpty);
  EXPECT_EQ(rig.log, Log{});
}

TEST(MainPagesHover, AloneElementsKeepOtherGroupsLit) {
  PagesRig rig;
  rig.start();
  rig.pages->onHover({830, 10});  // minimise
  rig.pages->onHover({20, 60});   // basic tab
  rig.pages->onHover({70, 60});   // advanced tab: the basic tab goes out, minimise stays
  EXPECT_TRUE(rig.pages->frame().lit(FrameButton::kMinimise));
  EXPECT_TRUE(rig.pages->frame().lit(FrameButton::kAdvancedTab));
  EXPECT_FALSE(rig.pages->frame().lit(FrameButton::kBasicTab));
  rig.take();
  rig.pages->onMouseMove(kEmpty);
  EXPECT_EQ(rig.take(), (Log{Img("/button-min-normal.png", 825, 5),
                             Img("/button-NextPage-normal.png", 60, 54), "present"}));
}

TEST(MainPagesHover, AMarkLeftOnTheOtherPageLeavesNoTrace) {
  PagesRig rig;
  rig.start();
  rig.pages->onHover(kOnRow1);
  rig.pages->onLeftButtonDown({70, 60});
  rig.take();
  // The key row is not on this page: a hover there does nothing, the restore draws nothing of
  // it and clears its mark.
  rig.pages->onHover(kOnRow1);
  rig.pages->onMouseMove(kOnRow1);
  EXPECT_EQ(rig.take(), Log{"present"});
  EXPECT_FALSE(rig.pages->basic().keyRowLit(0));
  rig.pages->onMouseMove(kEmpty);
  EXPECT_EQ(rig.log, Log{});

  // Advanced-page elements light up there only.
  rig.pages->onHover({520, 530});
  EXPECT_EQ(rig.take(), (Log{Img("/button-over.png", 513, 528),
                             Text("New", {513, 528, 618, 549}, "centre"), "present"}));
}

TEST(MainPagesHover, NothingLightsBeforeAPageWasDrawn) {
  PagesRig rig;
  rig.bus.unplug();
  EXPECT_TRUE(rig.dlg->onInitialise());
  rig.take();
  rig.pages->onHover(kOnOk);
  rig.pages->onMouseMove(kEmpty);
  EXPECT_EQ(rig.log, Log{});
}

}  // namespace
}  // namespace vm31
