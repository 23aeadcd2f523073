// The advanced page's controls against the recording host, the emulated mouse and a scripted
// desktop: the pointer settings through the slider mapping (read, OK/Apply, "Default", failures,
// a desktop without a backend), the step-list editing, the loop count, New, Delete and Confirm
// with record.ini on disk, and the macro recorder fed with key events as the shell delivers them.

#include <gtest/gtest.h>

#include <set>

#include "core/app/tray.h"
#include "core/ui/key_dialogs.h"
#include "core/util/atomic_file.h"
#include "support/main_window_rig.h"

namespace vm31 {
namespace {

using testing::LinesStarting;
using testing::Log;
using testing::MainWindowRig;
using testing::MainWindowSetup;
using testing::RecordingWindow;

namespace id = layout::control_id;

constexpr Point kAdvancedTab{70, 60};
constexpr Point kBasicTab{20, 60};
constexpr Point kOnApply{700, 630};
constexpr Point kOnCancel{800, 630};
constexpr Point kPrecisionTick{55, 260};
constexpr Point kScrollTick{55, 410};
constexpr Point kDefault{80, 590};
constexpr Point kStart{740, 235};
constexpr Point kStop{740, 270};
constexpr Point kNew{560, 535};
constexpr Point kDelete{660, 535};
constexpr Point kConfirm{760, 535};
constexpr Point kMouseEventField{845, 408};
constexpr Point Cell(int slider, int position) {  // position 1..11
  return {52 + 24 * (position - 1) + 5, layout::kSliderTops[static_cast<std::size_t>(slider)] + 5};
}

// A desktop whose values and refusals the test sets; every write is logged as "what value".
class ScriptedDesktop : public SystemMouse {
 public:
  std::string name = "Test Desktop";
  SystemReading<bool> precision{SystemOutcome::kDone, false, {}};
  SystemReading<int> speed{SystemOutcome::kDone, 10, {}};
  SystemReading<std::uint32_t> lines{SystemOutcome::kDone, 3, {}};
  SystemReading<int> doubleClick{SystemOutcome::kDone, 500, {}};
  std::set<std::string> refused;  // "precision", "speed", "lines", "double-click"
  Log written;

  std::string desktopName() const override { return name; }
  SystemReading<bool> readPointerPrecision() override { return precision; }
  SystemReading<int> readPointerSpeed() override { return speed; }
  SystemReading<std::uint32_t> readWheelScrollLines() override { return lines; }
  SystemReading<int> readDoubleClickTime() override { return doubleClick; }
  SystemWriting writePointerPrecision(bool on) override { return write("precision", on ? 1 : 0); }
  SystemWriting writePointerSpeed(int value) override { return write("speed", value); }
  SystemWriting writeWheelScrollLines(std::uint32_t value) override {
    return write("lines", value);
  }
  SystemWriting writeDoubleClickTime(int ms) override { return write("double-click", ms); }

 private:
  SystemWriting write(const std::string& what, std::int64_t value) {
    written.push_back(what + " " + std::to_string(value));
    return {refused.count(what) != 0 ? SystemOutcome::kFailed : SystemOutcome::kDone, {}};
  }
};

constexpr std::string_view kThreeMacros =
    "[Alpha]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=A   Up\r\n"
    "[Beta]\r\nItemCount=2\r\nItem0=B   Dn\r\nItem1=B   Up\r\n"
    "[Gamma]\r\nItemCount=4\r\nItem0=L-Button   Dn\r\nItem1=50 ms\r\nItem2=L-Button   Up\r\n"
    "Item3=50 ms\r\n";

// The main-window fixture on the advanced page, with the scripted desktop (or none).
struct AdvancedRig : MainWindowRig {
  explicit AdvancedRig(MainWindowSetup setup = {}, bool withDesktop = true) : MainWindowRig(setup) {
    if (withDesktop) pages->setSystemMouse(&desktop);
  }
  // Shows the advanced page and returns what that drew.
  Log open() {
    take();
    press(kAdvancedTab);
    return take();
  }
  std::vector<std::string> items(int list) const {
    std::vector<std::string> result;
    for (int i = 0; i < window.itemCount(list); ++i) result.push_back(window.itemText(list, i));
    return result;
  }
  std::string macroFile() const {
    Result<Bytes> bytes = ReadWholeFile(bin / "record.ini");
    return bytes ? std::string(bytes.value().begin(), bytes.value().end()) : "<missing>";
  }
  // A keystroke a millisecond after the event before.
  void key(std::uint16_t usage, bool down, std::uint8_t modifiers = 0) {
    dlg->onKey(KeyEvent{.down = down, .usage = usage, .modifiers = modifiers, .time = ++clock});
  }
  // The release and press at one time that a desktop without detectable auto-repeat sends for a
  // held key.
  void repeatPair(std::uint16_t usage) {
    ++clock;
    dlg->onKey(KeyEvent{.down = false, .usage = usage, .time = clock});
    dlg->onKey(KeyEvent{.down = true, .usage = usage, .time = clock});
  }
  void edit(int field, std::string_view text) {
    window.setText(field, text);
    dlg->onControlNotify(field, ControlNotification::kEditChange);
  }

  ScriptedDesktop desktop;
  std::uint64_t clock = 0;
};

std::array<std::uint8_t, 5> SystemBytes(const MouseConfig& config) {
  std::array<std::uint8_t, 5> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = config.at(config_offset::kEnhancePointerPrecision + i);
  }
  return bytes;
}

// Cells of each slider whose last drawing in `log` is lit.
std::array<int, 3> LitCells(const Log& log) {
  std::array<std::array<bool, 11>, 3> lit{};
  for (const std::string& line : log) {
    for (int slider = 0; slider < 3; ++slider) {
      for (int cell = 1; cell <= 11; ++cell) {
        const Point at{52 + 24 * (cell - 1), layout::kSliderTops[static_cast<std::size_t>(slider)]};
        const std::string place = " @" + std::to_string(at.x) + "," + std::to_string(at.y);
        if (line == "img /slider-light.png" + place) lit[slider][cell - 1] = true;
        if (line == "img /slider-dark.png" + place) lit[slider][cell - 1] = false;
      }
    }
  }
  std::array<int, 3> counts{};
  for (int slider = 0; slider < 3; ++slider) {
    counts[slider] = static_cast<int>(std::count(lit[slider].begin(), lit[slider].end(), true));
  }
  return counts;
}

// ---- the desktop's pointer settings ----

TEST(AdvancedPageSystemMouse, TheFirstDisplayReadsTheDesktopOnce) {
  struct Case {
    const char* name;
    bool precision;
    int speed;
    std::uint32_t lines;
    int doubleClick;
    std::array<std::uint8_t, 5> bytes;  // offsets 1955..1959
    std::array<int, 3> lit;
  };
  const Case cases[] = {
      {"system defaults", true, 10, 3, 500, {1, 0, 6, 3, 6}, {6, 3, 6}},
      {"slowest, page scroll, fastest click",
       false,
       1,
       kWheelPageScroll,
       200,
       {0, 1, 1, 0, 11},
       {1, 0, 11}},
      {"fastest, 11 lines, slowest click", false, 20, 11, 900, {0, 0, 11, 11, 1}, {11, 11, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AdvancedRig rig;
    rig.desktop.precision.value = c.precision;
    rig.desktop.speed.value = c.speed;
    rig.desktop.lines.value = c.lines;
    rig.desktop.doubleClick.value = c.doubleClick;
    const Log drawn = rig.open();
    EXPECT_TRUE(rig.pages->desktop().systemSettingsRead());
    EXPECT_EQ(SystemBytes(rig.config()), c.bytes);
    EXPECT_EQ(LitCells(drawn), c.lit);
    EXPECT_EQ(LinesStarting(drawn, "img /PaneMakingTick.png @51,405").size(), c.bytes[1]);
    EXPECT_EQ(LinesStarting(drawn, "message"), Log{});
  }

  // Later displays draw the record: the desktop is not asked again.
  AdvancedRig rig;
  rig.open();
  rig.desktop.speed.value = 20;
  rig.press(kBasicTab);
  rig.open();
  EXPECT_EQ(rig.config().at(config_offset::kPointerSpeedLevel), 6);
}

TEST(AdvancedPageSystemMouse, ApplyWritesTheSlidersThroughTheMapping) {
  struct Case {
    int speedCell;
    int linesCell;
    int doubleClickCell;
    bool tickPrecision;
    bool tickScroll;
    Log written;
  };
  const Case cases[] = {
      {6, 3, 6, false, false, {"precision 0", "speed 10", "lines 3", "double-click 550"}},
      {1, 11, 11, true, false, {"precision 1", "speed 1", "lines 11", "double-click 200"}},
      {2, 5, 1, false, true, {"precision 0", "speed 2", "lines 4294967295", "double-click 900"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speedCell);
    AdvancedRig rig;
    rig.open();
    rig.press(Cell(0, c.speedCell));
    rig.press(Cell(1, c.linesCell));
    rig.press(Cell(2, c.doubleClickCell));
    if (c.tickPrecision) rig.press(kPrecisionTick);
    if (c.tickScroll) rig.press(kScrollTick);
    EXPECT_EQ(rig.config().at(config_offset::kPointerSpeedLevel), c.speedCell);
    EXPECT_EQ(rig.config().at(config_offset::kWheelScrollLines), c.linesCell);
    rig.take();
    rig.press(kOnApply);
    EXPECT_EQ(rig.desktop.written, c.written);
    EXPECT_EQ(LinesStarting(rig.log, "message"), Log{});
  }
}

TEST(AdvancedPageSystemMouse, ApplyLeavesTheDesktopAloneUntilThePageReadIt) {
  // config.bin holds speed position 2 from an earlier run; the desktop has changed since.
  AdvancedRig rig({.edit = [](MouseConfig& m) { m.at(config_offset::kPointerSpeedLevel) = 2; }});
  rig.desktop.speed.value = 16;
  rig.press(kOnApply);
  EXPECT_EQ(rig.desktop.written, Log{});
  rig.open();
  EXPECT_EQ(rig.config().at(config_offset::kPointerSpeedLevel), 9);
  rig.press(kOnApply);
  EXPECT_EQ(LinesStarting(rig.desktop.written, "speed"), Log{"speed 16"});
}

TEST(AdvancedPageSystemMouse, SliderAndTickPressesDrawAtOnce) {
  AdvancedRig rig;
  rig.open();
  rig.press(Cell(1, 2));
  const Log drawn = rig.take();
  EXPECT_EQ(drawn.front(), "img /slider-light.png @52,350");
  EXPECT_EQ(drawn[2], "img /slider-dark.png @100,350");
  EXPECT_EQ(drawn.back(), "present");
  rig.press(kPrecisionTick);
  EXPECT_EQ(rig.take(), (Log{"img /PaneMakingTick.png @51,255", "present"}));
  rig.press(kPrecisionTick);
  EXPECT_EQ(rig.take(), (Log{"img /Pane.png @51,255", "present"}));
  EXPECT_TRUE(rig.desktop.written.empty());  // nothing reaches the desktop before OK or Apply
}

TEST(AdvancedPageSystemMouse, DefaultWritesTheDefaultsAtOnceAndRedraws) {
  AdvancedRig rig;
  rig.desktop.precision.value = true;
  rig.desktop.lines.value = kWheelPageScroll;
  rig.desktop.speed.value = 20;
  rig.open();
  rig.press(kDefault);
  EXPECT_EQ(rig.desktop.written, (Log{"precision 0", "speed 10", "lines 3", "double-click 500"}));
  EXPECT_EQ(SystemBytes(rig.config()), (std::array<std::uint8_t, 5>{0, 0, 6, 3, 6}));
  const Log drawn = rig.take();
  EXPECT_EQ(LinesStarting(drawn, "img /Pane"),
            (Log{"img /Pane.png @51,255", "img /Pane.png @51,405"}));
  EXPECT_EQ(LitCells(drawn), (std::array<int, 3>{6, 3, 6}));
}

TEST(AdvancedPageSystemMouse, EveryRefusalIsShownAndTheNextCallStillMade) {
  AdvancedRig rig;
  rig.desktop.speed.outcome = SystemOutcome::kFailed;
  rig.desktop.lines.outcome = SystemOutcome::kUnavailable;  // a setting the desktop lacks
  const Log drawn = rig.open();
  EXPECT_EQ(LinesStarting(drawn, "message"),
            Log{"message 'GETMOUSESPEED failed.' caption 'Warning'"});
  EXPECT_EQ(rig.config().at(config_offset::kPointerSpeedLevel), 6);  // the stored value stays

  rig.desktop.refused = {"speed", "double-click"};
  rig.press(kOnApply);
  EXPECT_EQ(LinesStarting(rig.take(), "message"),
            (Log{"message 'SETMOUSESPEED failed.' caption 'Warning'",
                 "message 'SPI_SETDOUBLECLICKTIME failed.' caption 'Warning'"}));
  EXPECT_EQ(rig.desktop.written.size(), 4u);
  rig.desktop.refused = {"precision"};
  rig.press(kDefault);
  EXPECT_EQ(LinesStarting(rig.take(), "message"),
            Log{"message 'SETMOUSE failed.' caption 'Warning'"});
  EXPECT_EQ(rig.desktop.written.size(), 8u);
}

TEST(AdvancedPageSystemMouse, CancelShowsTheDesktopsValuesAgainAtTheNextShow) {
  struct Case {
    const char* name;
    bool pressDefault;  // "Default" writes to the desktop at once, before the edits
    std::array<std::uint8_t, 5> bytes;
    std::array<int, 3> lit;
    Log written;  // by the OK after the Cancel
  };
  const Case cases[] = {
      {"read at the first display",
       false,
       {1, 0, 11, 7, 1},
       {11, 7, 1},
       {"precision 1", "speed 20", "lines 7", "double-click 900"}},
      {"written by Default",
       true,
       {0, 0, 6, 3, 6},
       {6, 3, 6},
       {"precision 0", "speed 10", "lines 3", "double-click 550"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // config.bin holds values that are neither the desktop's nor the defaults.
    AdvancedRig rig({.edit = [](MouseConfig& m) {
      const std::array<std::uint8_t, 5> stored{0, 1, 2, 5, 9};
      for (std::size_t i = 0; i < stored.size(); ++i) {
        m.at(config_offset::kEnhancePointerPrecision + i) = stored[i];
      }
    }});
    rig.desktop.precision.value = true;
    rig.desktop.speed.value = 20;
    rig.desktop.lines.value = 7;
    rig.desktop.doubleClick.value = 900;
    rig.open();
    if (c.pressDefault) rig.press(kDefault);
    rig.press(Cell(0, 2));
    rig.press(Cell(1, 9));
    rig.press(kPrecisionTick);
    rig.press(kScrollTick);
    rig.press(kOnCancel);
    EXPECT_EQ(SystemBytes(rig.config()), c.bytes);

    rig.take();
    rig.dlg->onTray(TrayClick::kLeftUp);
    const Log drawn = rig.take();
    EXPECT_EQ(LitCells(drawn), c.lit);
    EXPECT_EQ(LinesStarting(drawn, "img /PaneMakingTick.png").size(),
              static_cast<std::size_t>(c.bytes[0] + c.bytes[1]));
    EXPECT_EQ(LinesStarting(drawn, "img /Pane.png").size(),
              static_cast<std::size_t>(2 - c.bytes[0] - c.bytes[1]));

    rig.desktop.written.clear();
    rig.press(kOnApply);
    EXPECT_EQ(rig.desktop.written, c.written);
  }
}

TEST(AdvancedPageSystemMouse, WithoutADesktopBackendTheUserIsToldOnce) {
  AdvancedRig rig({}, false);
  const MouseConfig before = rig.config();
  rig.press(kOnApply);  // the advanced page was never shown: nothing to tell
  EXPECT_EQ(LinesStarting(rig.take(), "message"), Log{});
  EXPECT_EQ(LinesStarting(rig.open(), "message"), Log{});
  EXPECT_EQ(SystemBytes(rig.config()), SystemBytes(before));
  rig.press(Cell(0, 3));
  rig.press(kOnApply);
  const Log told = LinesStarting(rig.take(), "message");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("kept in config.bin only"), std::string::npos);
  rig.press(kOnApply);
  rig.press(kDefault);
  EXPECT_EQ(LinesStarting(rig.take(), "message"), Log{});
  EXPECT_EQ(SystemBytes(rig.config()), (std::array<std::uint8_t, 5>{0, 0, 6, 3, 6}));
}

TEST(AdvancedPageSystemMouse, ASettingTheDesktopLacksIsMarkedBesideItsSlider) {
  constexpr std::string_view kNote = "text '(not available on this desktop)'";
  // A GNOME-like desktop: no wheel lines. The slider keeps the record's value and still works.
  AdvancedRig gnome({.edit = [](MouseConfig& m) { m.at(config_offset::kWheelScrollLines) = 5; }});
  gnome.desktop.lines.outcome = SystemOutcome::kUnavailable;
  const Log drawn = gnome.open();
  EXPECT_EQ(LinesStarting(drawn, kNote), Log{std::string(kNote) + " [163,310,425,331] left"});
  EXPECT_EQ(LitCells(drawn)[1], 5);
  EXPECT_EQ(LinesStarting(drawn, "message"), Log{});
  gnome.press(kBasicTab);
  EXPECT_EQ(LinesStarting(gnome.open(), kNote).size(), 1u);  // every later display too

  // No desktop backend at all: every slider is marked.
  AdvancedRig none({}, false);
  EXPECT_EQ(LinesStarting(none.open(), kNote).size(), 3u);
}

// ---- the step list ----

TEST(AdvancedPageSteps, MouseEventsInsertAfterTheSelectedLine) {
  struct Case {
    int selected;  // -1: none
    int entry;     // position in the mouse-event list
    std::vector<std::string> lines;
    int selection;
  };
  const Case cases[] = {
      {2,
       1,
       {"L-Button   Dn", "50 ms", "L-Button   Up", "50 ms", "R-Button   Dn", "50 ms",
        "R-Button   Up", "50 ms"},
       4},
      {1, 7, {"L-Button   Dn", "50 ms", "M-Button   Dn", "50 ms", "L-Button   Up", "50 ms"}, 2},
      {-1, 0, {"L-Button   Dn", "50 ms", "L-Button   Up", "50 ms"}, -1},  // nothing inserted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    AdvancedRig rig({.macros = std::string(kThreeMacros)});
    rig.open();
    rig.choose(id::kMacroList, 2);
    rig.window.setSelection(id::kMacroStepList, c.selected);
    rig.press(kMouseEventField);
    EXPECT_TRUE(rig.pages->advanced().mouseEventListOpen());
    ASSERT_EQ(rig.window.itemCount(id::kMouseEventList), 9);
    EXPECT_EQ(rig.log.back(), "drag");  // the field lets the press go on to the drag
    rig.choose(id::kMouseEventList, c.entry);
    EXPECT_EQ(rig.items(id::kMacroStepList), c.lines);
    EXPECT_EQ(rig.window.selection(id::kMacroStepList), c.selection);
    EXPECT_EQ(rig.window.text(id::kMouseEventValue), kMouseEventList[c.entry]);
    EXPECT_FALSE(rig.window.exists(id::kMouseEventList));
    EXPECT_FALSE(rig.pages->advanced().mouseEventListOpen());
  }
}

TEST(AdvancedPageSteps, TheMouseEventListClosesOnAPressElsewhere) {
  AdvancedRig rig;
  rig.open();
  rig.press(kMouseEventField);
  rig.press({800, 500});  // inside the open list: it stays
  EXPECT_TRUE(rig.window.exists(id::kMouseEventList));
  rig.press(kMouseEventField);  // the field toggles it
  EXPECT_FALSE(rig.window.exists(id::kMouseEventList));
  rig.press(kMouseEventField);
  rig.press(Cell(0, 4));
  EXPECT_FALSE(rig.window.exists(id::kMouseEventList));
  EXPECT_FALSE(rig.pages->advanced().mouseEventListOpen());
}

TEST(AdvancedPageSteps, DelayEditsGoThroughTheDelayDialog) {
  struct Case {
    int line;
    const char* typed;  // nullptr: the dialog is cancelled
    std::string result;
  };
  const Case cases[] = {{1, "5", "20 ms"},
                        {1, "20000", "10000 ms"},
                        {3, "300", "300 ms"},
                        {1, nullptr, "50 ms"},
                        {0, "300", "L-Button   Dn"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed == nullptr ? "cancel" : c.typed);
    AdvancedRig rig({.macros = std::string(kThreeMacros)});
    rig.open();
    rig.choose(id::kMacroList, 2);
    rig.window.modalScript = [&](WindowModel& popup, RecordingWindow& window) {
      if (c.typed == nullptr) {
        popup.onLeftButtonDown({300, 260});  // Cancel
        return;
      }
      window.setText(CDelayTimeDialog::kDelayId, c.typed);
      popup.onControlNotify(CDelayTimeDialog::kDelayId, ControlNotification::kEditChange);
      popup.onLeftButtonDown({200, 260});  // OK
    };
    rig.window.setSelection(id::kMacroStepList, c.line);
    rig.take();
    rig.dlg->onControlNotify(id::kMacroStepList, ControlNotification::kDoubleClick);
    EXPECT_EQ(LinesStarting(rig.log, "modal").size(), c.line == 0 ? 0u : 2u);
    EXPECT_EQ(rig.window.itemText(id::kMacroStepList, c.line), c.result);
    EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 4);
    EXPECT_EQ(rig.window.selection(id::kMacroStepList), c.line);
  }
}

TEST(AdvancedPageSteps, HoverSelectsAndTheContextMenuDeletesThatLineOnly) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  rig.choose(id::kMacroList, 2);
  rig.dlg->onControlMouseMove(id::kMacroStepList,
                              {600, layout::kMacroStepList.top + 2 * RecordingWindow::kRowHeight});
  EXPECT_EQ(rig.window.selection(id::kMacroStepList), 2);
  rig.window.menuChoice = kCommandDeleteStep;
  rig.take();
  rig.dlg->onControlRightButtonDown(id::kMacroStepList, {600, 230});
  EXPECT_EQ(rig.log.front(), "menu [32772 'Delete']");
  EXPECT_EQ(rig.items(id::kMacroStepList),
            (std::vector<std::string>{"L-Button   Dn", "50 ms", "50 ms"}));
  EXPECT_EQ(rig.window.selection(id::kMacroStepList), -1);
}

TEST(AdvancedPageSteps, TheLoopCountFieldKeepsOneTo65535) {
  struct Case {
    const char* typed;
    std::string shown;
    std::uint16_t stored;
  };
  for (const Case& c : {Case{"0", "1", 1}, Case{"70000", "1", 1}, Case{"", "1", 1},
                        Case{"300", "300", 300}, Case{"65535", "65535", 65535}}) {
    SCOPED_TRACE(c.typed);
    AdvancedRig rig({.edit = [](MouseConfig& m) { m.setMacroLoopCount(1, 9); },
                     .macros = std::string(kThreeMacros)});
    rig.open();
    rig.choose(id::kMacroList, 1);
    EXPECT_EQ(rig.window.text(id::kLoopCount), "9");
    rig.edit(id::kLoopCount, c.typed);
    EXPECT_EQ(rig.window.text(id::kLoopCount), c.shown);
    EXPECT_EQ(rig.config().macroLoopCount(1), c.stored);
    EXPECT_EQ(rig.config().macroLoopCount(0), 0);
  }
}

// ---- New, Delete, Confirm ----

TEST(AdvancedPageMacros, NewRefusesWhatTheListOrTheFileCannotTake) {
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "[M" + std::to_string(i) + "]\r\nItemCount=0\r\n";
  struct Case {
    std::string file;
    std::string typed;
    std::string message;
  };
  const Case cases[] = {
      {std::string(kThreeMacros), "", "message 'Macro name is blank'"},
      {std::string(kThreeMacros), "gAMMA", "message 'Macro name already exists'"},
      {twelve, "Extra", "message 'Macro numbers up to 12.' caption 'Warning'"},
      {std::string(kThreeMacros), std::string(32, 'x'),
       "message 'Macro name is too long: a macro name holds at most 31 characters.' caption "
       "'Warning'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    AdvancedRig rig({.macros = c.file});
    rig.open();
    const auto names = rig.items(id::kMacroList);
    rig.window.setText(id::kMacroName, c.typed);
    rig.press(kNew);
    EXPECT_EQ(LinesStarting(rig.take(), "message"), Log{c.message});
    EXPECT_EQ(rig.items(id::kMacroList), names);
  }
}

TEST(AdvancedPageMacros, NewThenConfirmWritesTheSectionAndCompilesIt) {
  AdvancedRig rig({.edit = [](MouseConfig& m) { m.setMacroLoopCount(3, 40); },
                   .macros = std::string(kThreeMacros)});
  rig.open();
  rig.window.setText(id::kMacroName, "Dash");
  rig.press(kNew);
  EXPECT_EQ(rig.items(id::kMacroList).back(), "Dash");
  EXPECT_EQ(rig.window.selection(id::kMacroList), 3);
  EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 0);
  EXPECT_EQ(rig.window.text(id::kLoopCount), "1");  // not the 40 a deleted macro left
  EXPECT_EQ(rig.macroFile(), kThreeMacros);         // nothing written before Confirm

  rig.press(kMouseEventField);
  rig.choose(id::kMouseEventList, 0);  // "L-Button Click" into the empty list
  EXPECT_EQ(rig.items(id::kMacroStepList),
            (std::vector<std::string>{"L-Button   Dn", "50 ms", "L-Button   Up", "50 ms"}));
  rig.take();
  rig.press(kConfirm);
  EXPECT_EQ(LinesStarting(rig.take(), "message"), Log{});
  EXPECT_EQ(rig.macroFile(), std::string(kThreeMacros) +
                                 "[Dash]\r\nItemCount=4\r\nItem0=L-Button   Dn\r\nItem1=50 ms\r\n"
                                 "Item2=L-Button   Up\r\nItem3=50 ms\r\n");
  const auto block = rig.config().macroBlock(3);
  EXPECT_EQ((std::vector<std::uint8_t>(block.begin(), block.begin() + 7)),
            (std::vector<std::uint8_t>{0x00, 0x01, 0x05, 0xF0, 0x85, 0xF0, 0x00}));
}

TEST(AdvancedPageMacros, ConfirmingALaterNewMacroKeepsTheListsOrderInTheFile) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  for (std::string_view name : {"Dash", "Jump"}) {
    rig.window.setText(id::kMacroName, name);
    rig.press(kNew);
  }
  rig.press(kMouseEventField);
  rig.choose(id::kMouseEventList, 0);
  rig.press(kConfirm);  // "Jump", listed fifth: "Dash" before it gets its empty section
  EXPECT_EQ(rig.macroFile(), std::string(kThreeMacros) +
                                 "[Dash]\r\nItemCount=0\r\n"
                                 "[Jump]\r\nItemCount=4\r\nItem0=L-Button   Dn\r\n"
                                 "Item1=50 ms\r\nItem2=L-Button   Up\r\nItem3=50 ms\r\n");
  EXPECT_EQ(rig.config().macroBlock(4)[2], 0x05);  // Jump plays from its list position's block
  EXPECT_EQ(rig.config().macroBlock(3)[2], 0x00);
}

TEST(AdvancedPageMacros, ACancelAfterConfirmKeepsTheCompiledEventsButNotTheLoopCount) {
  AdvancedRig rig({.edit = [](MouseConfig& m) { m.setMacroLoopCount(2, 4); },
                   .macros = std::string(kThreeMacros)});
  rig.open();
  rig.choose(id::kMacroList, 2);
  rig.edit(id::kLoopCount, "5");
  rig.press(kConfirm);
  ASSERT_EQ(rig.config().macroBlock(2)[2], 0x05);
  rig.press(kOnCancel);
  // record.ini keeps Gamma, so the next OK must send it; the typed loop count was an edit.
  const auto block = rig.config().macroBlock(2);
  EXPECT_EQ((std::vector<std::uint8_t>(block.begin(), block.begin() + 7)),
            (std::vector<std::uint8_t>{0x00, 0x04, 0x05, 0xF0, 0x85, 0xF0, 0x00}));
  rig.dlg->onTray(TrayClick::kLeftUp);
  rig.choose(id::kMacroList, 2);
  EXPECT_EQ(rig.items(id::kMacroStepList),
            (std::vector<std::string>{"L-Button   Dn", "50 ms", "L-Button   Up", "50 ms"}));
  EXPECT_EQ(rig.window.text(id::kLoopCount), "4");
}

TEST(AdvancedPageMacros, DeletingTheSecondOfThreeMovesTheThirdIntoItsBlock) {
  AdvancedRig rig({.edit =
                       [](MouseConfig& m) {
                         m.setMacroLoopCount(1, 7);
                         m.setMacroLoopCount(2, 9);
                         // Beta compiled: "B   Dn", "B   Up".
                         constexpr std::array<std::uint8_t, 4> kBeta{0x00, 0x05, 0x80, 0x05};
                         std::copy(kBeta.begin(), kBeta.end(), m.macroBlock(1).begin() + 2);
                       },
                   .macros = std::string(kThreeMacros)});
  rig.open();
  rig.choose(id::kMacroList, 1);
  EXPECT_EQ(rig.items(id::kMacroStepList), (std::vector<std::string>{"B   Dn", "B   Up"}));
  rig.press(kDelete);
  EXPECT_EQ(rig.items(id::kMacroList), (std::vector<std::string>{"Alpha", "Gamma"}));
  EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 0);
  EXPECT_EQ(rig.window.text(id::kMacroName), "");
  // The file loses the section at once; the blocks wait for the next Confirm.
  EXPECT_EQ(
      rig.macroFile(),
      "[Alpha]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=A   Up\r\n"
      "[Gamma]\r\nItemCount=4\r\nItem0=L-Button   Dn\r\nItem1=50 ms\r\nItem2=L-Button   Up\r\n"
      "Item3=50 ms\r\n");
  EXPECT_EQ(rig.config().macroBlock(1)[5], 0x05);  // still Beta's B

  rig.choose(id::kMacroList, 1);
  EXPECT_EQ(rig.window.text(id::kMacroName), "Gamma");
  rig.press(kConfirm);
  const auto block = rig.config().macroBlock(1);
  EXPECT_EQ((std::vector<std::uint8_t>(block.begin(), block.begin() + 7)),
            (std::vector<std::uint8_t>{0x00, 0x07, 0x05, 0xF0, 0x85, 0xF0, 0x00}));
  EXPECT_EQ(rig.config().macroLoopCount(2), 9);  // no longer a macro's block: left as it was
}

TEST(AdvancedPageMacros, AMacroLongerThanABlockIsNeverSavedOrGrown) {
  std::string file = "[Long]\r\nItemCount=126\r\n";
  for (int i = 0; i < 63; ++i) {
    file += "Item" + std::to_string(2 * i) + "=A   Dn\r\nItem" + std::to_string(2 * i + 1) +
            "=50 ms\r\n";
  }
  AdvancedRig rig({.macros = file});
  rig.open();
  rig.window.setSelection(id::kMacroStepList, 125);
  rig.press(kMouseEventField);
  rig.choose(id::kMouseEventList, 3);  // a 64th event
  EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 126);
  ASSERT_EQ(LinesStarting(rig.take(), "message").size(), 1u);

  rig.window.insertItem(id::kMacroStepList, -1, "A   Up");  // as a hand-edited file could
  rig.press(kConfirm);
  const Log told = LinesStarting(rig.take(), "message");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("Nothing was saved"), std::string::npos);
  EXPECT_EQ(rig.macroFile(), file);
}

TEST(AdvancedPageMacros, AnUnwritableFileIsNamedAndTheListKept) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  std::filesystem::remove(rig.bin / "record.ini");
  std::filesystem::create_directory(rig.bin / "record.ini");  // a folder cannot be read or replaced
  const MouseConfig before = rig.config();
  for (Point button : {kDelete, kConfirm}) {
    rig.take();
    rig.press(button);
    const Log told = LinesStarting(rig.take(), "message");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("record.ini"), std::string::npos);
    EXPECT_EQ(rig.window.itemCount(id::kMacroList), 3);
  }
  EXPECT_EQ(rig.config().bytes, before.bytes);  // nothing compiled from a file not written
}

// ---- the recorder ----

constexpr std::uint16_t kA = 0x04;
constexpr std::uint16_t kB = 0x05;

TEST(AdvancedPageRecorder, KeysBecomeLinesWithFiftyMillisecondsBetween) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  rig.press(kStart);
  EXPECT_EQ(rig.take(),
            (Log{"message 'Start Recording'", "caption 'Press Ctrl+Break key to stop recording'",
                 "create 155 [330,5,695,23]"}));
  // The frameless window shows no title: the hint is on the face, in the label colour.
  EXPECT_EQ(rig.window.text(id::kRecordingHint), "Press Ctrl+Break key to stop recording");
  const std::optional<ControlStyle> hintStyle = rig.window.controlStyle(id::kRecordingHint);
  ASSERT_TRUE(hintStyle.has_value());
  EXPECT_TRUE(hintStyle->transparent);
  EXPECT_EQ(hintStyle->text, rig.dlg->skin().uiTextColor);
  EXPECT_TRUE(rig.pages->holdsKeyboard());
  EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 0);
  EXPECT_EQ(rig.pages->recorder().recordingStarted(), 0);

  // Key-downs are swallowed, so the page's fields do not change; releases pass.
  EXPECT_EQ(rig.dlg->onKey({.down = true, .usage = kA}), KeyDisposition::kSwallow);
  rig.key(kA, true);  // the keyboard's repeat of a held key
  rig.repeatPair(kA);
  EXPECT_EQ(rig.dlg->onKey({.down = false, .usage = kA}), KeyDisposition::kPass);
  rig.key(kB, true);
  rig.key(kB, false);
  EXPECT_EQ(rig.items(id::kMacroStepList),
            (std::vector<std::string>{"A   Dn", "50 ms", "A   Up", "50 ms", "B   Dn", "50 ms",
                                      "B   Up"}));
  EXPECT_EQ(rig.window.selection(id::kMacroStepList), 6);
  EXPECT_EQ(rig.pages->recorder().recordingStarted(), 1);
  EXPECT_EQ(rig.pages->recorder().lastRecordedKey(), "B");

  rig.take();
  rig.press(kStop);
  EXPECT_EQ(rig.take(), (Log{"message 'Stop Recording'", "caption ''", "destroy 155"}));
  EXPECT_FALSE(rig.window.exists(id::kRecordingHint));
  EXPECT_EQ(rig.pages->recorder().recordingStarted(), 2);
  EXPECT_FALSE(rig.pages->holdsKeyboard());
  rig.key(kA, true);
  EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 7);

  // Confirm stores what was recorded.
  rig.press(kConfirm);
  EXPECT_NE(rig.macroFile().find("[Alpha]\r\nItemCount=7\r\nItem0=A   Dn\r\n"), std::string::npos);
}

// A held key gives one press line whether the desktop repeats it with presses alone or with
// release and press pairs at one time; a release and a new press at another time are keystrokes.
TEST(AdvancedPageRecorder, AHeldKeyGivesOnePress) {
  struct Case {
    const char* name;
    void (*keys)(AdvancedRig&);
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"repeat pairs",
       [](AdvancedRig& rig) {
         rig.key(kA, true);
         for (int i = 0; i < 20; ++i) rig.repeatPair(kA);
         rig.key(kA, false);
       },
       {"A   Dn", "50 ms", "A   Up"}},
      {"repeat pairs of a key held at the start",
       [](AdvancedRig& rig) {
         rig.repeatPair(kA);
         rig.repeatPair(kA);
         rig.key(kB, true);
       },
       {"B   Dn"}},
      {"a held key while another is pressed",
       [](AdvancedRig& rig) {
         rig.key(kA, true);
         rig.key(kB, true);
         rig.key(kA, true);
         rig.key(kB, false);
         rig.key(kA, true);
         rig.key(kA, false);
       },
       {"A   Dn", "50 ms", "B   Dn", "50 ms", "B   Up", "50 ms", "A   Up"}},
      {"two keystrokes of one key",
       [](AdvancedRig& rig) {
         rig.key(kA, true);
         rig.key(kA, false);
         rig.key(kA, true);
         rig.key(kA, false);
       },
       {"A   Dn", "50 ms", "A   Up", "50 ms", "A   Dn", "50 ms", "A   Up"}},
  };
  for (const Case& c : cases) {
    AdvancedRig rig({.macros = std::string(kThreeMacros)});
    rig.open();
    rig.press(kStart);
    c.keys(rig);
    EXPECT_EQ(rig.items(id::kMacroStepList), c.lines) << c.name;
  }
}

TEST(AdvancedPageRecorder, AReleaseFirstFollowsADelay) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  rig.press(kStart);
  rig.key(kA, false);  // A was held while the recording started
  rig.key(kB, true);
  EXPECT_EQ(rig.items(id::kMacroStepList),
            (std::vector<std::string>{"50 ms", "A   Up", "50 ms", "B   Dn"}));
}

TEST(AdvancedPageRecorder, StopBeforeStartAndStartWithoutAMacroOnlyTell) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  const auto lines = rig.items(id::kMacroStepList);
  rig.press(kStop);
  EXPECT_EQ(rig.take(),
            (Log{"message 'Stop Recording'",
                 "message 'It doesn\u2019t start recording, unnecessary to press Stop key!' "
                 "caption 'Warning'"}));
  EXPECT_EQ(rig.items(id::kMacroStepList), lines);

  AdvancedRig empty;
  empty.open();
  empty.press(kStart);
  EXPECT_EQ(empty.take(), Log{"message 'Macro name is blank' caption 'Warning'"});
  EXPECT_FALSE(empty.pages->holdsKeyboard());
  EXPECT_FALSE(empty.pages->recorder().recordingFlag());
}

TEST(AdvancedPageRecorder, CtrlBreakStopsWithoutLeavingCtrlHeld) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  rig.press(kStart);
  rig.key(kA, true);
  rig.key(kA, false);
  rig.key(0xE0, true, 0x01);
  rig.take();
  EXPECT_EQ(rig.dlg->onKey({.down = true, .usage = 0x48, .modifiers = 0x01}),
            KeyDisposition::kSwallow);
  EXPECT_EQ(rig.take(), (Log{"message 'Stop Recording'", "caption ''", "destroy 155"}));
  EXPECT_FALSE(rig.pages->holdsKeyboard());
  EXPECT_EQ(rig.items(id::kMacroStepList), (std::vector<std::string>{"A   Dn", "50 ms", "A   Up"}));
}

TEST(AdvancedPageRecorder, LeavingThePageEndsTheRecordingAndKeepsItsCounters) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  rig.press(kStart);
  rig.key(kA, true);
  rig.take();
  rig.press(kBasicTab);
  EXPECT_FALSE(rig.pages->holdsKeyboard());
  const Log left = rig.take();
  EXPECT_EQ(LinesStarting(left, "caption"), Log{"caption ''"});
  EXPECT_EQ(LinesStarting(left, "destroy 155"), Log{"destroy 155"});
  EXPECT_EQ(rig.pages->recorder().recordingStarted(), 1);
  EXPECT_TRUE(rig.pages->recorder().recordingFlag());
  // Stop now only confirms: nothing is recording.
  rig.open();
  rig.press(kStop);
  EXPECT_EQ(rig.take(), Log{"message 'Stop Recording'"});
  EXPECT_EQ(rig.pages->recorder().recordingStarted(), 1);
}

TEST(AdvancedPageRecorder, AFullMacroStopsTheRecordingAndKeepsTheEvents) {
  AdvancedRig rig({.macros = std::string(kThreeMacros)});
  rig.open();
  rig.press(kStart);
  rig.take();
  for (int i = 0; i < 32; ++i) {
    rig.key(kA, true);
    rig.key(kA, false);
  }
  EXPECT_EQ(rig.window.itemCount(id::kMacroStepList), 125);  // 63 events
  EXPECT_FALSE(rig.pages->holdsKeyboard());
  EXPECT_FALSE(rig.window.exists(id::kRecordingHint));
  const Log told = LinesStarting(rig.take(), "message");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("Recording stopped"), std::string::npos);
  EXPECT_EQ(rig.window.itemText(id::kMacroStepList, 124), "A   Dn");
}

}  // namespace
}  // namespace vm31
