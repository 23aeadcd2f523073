// The main window model against the recording host and the emulated mouse: the initialisation
// order, texts and fonts by language, the device-event notices, the tray clicks, hiding on
// Escape and Return, and the behaviour on a desktop without a tray.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "core/app/main_window.h"
#include "core/app/tray.h"
#include "core/settings/config_file.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "emulator/virtual_clock.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace vm31 {
namespace {

using testing::Log;
using testing::RecordingNotifier;
using testing::RecordingWindow;
using testing::TempFolder;
using testing::WritePngHeader;

// Hands device events to the window model on the test's thread, as the shell does on its
// user-interface thread: events raised on that thread are handled at once; the reader thread's
// events wait in a queue until the test pumps them, and the reader waits until they were handled.
class UiThreadSink : public EventSink {
 public:
  void setTarget(CTarnwickDlg* dlg) { dlg_ = dlg; }

  void deliver(const DeviceEvent& event) override {
    if (std::this_thread::get_id() == owner_) {
      dlg_->onDeviceEvent(event);
      return;
    }
    std::unique_lock lock(mutex_);
    const long ticket = ++queued_;
    queue_.push_back(event);
    changed_.notify_all();
    changed_.wait(lock, [&] { return handled_ >= ticket || released_; });
  }

  // Handles the next event from the reader thread; false when none came (the bound only keeps a
  // broken build from hanging).
  bool pumpOne() {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(10), [&] { return !queue_.empty(); })) {
      return false;
    }
    const DeviceEvent event = queue_.front();
    queue_.pop_front();
    lock.unlock();
    dlg_->onDeviceEvent(event);
    lock.lock();
    ++handled_;
    changed_.notify_all();
    return true;
  }

  // Lets a waiting reader go without handling its event (end of the test).
  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  const std::thread::id owner_ = std::this_thread::get_id();
  CTarnwickDlg* dlg_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<DeviceEvent> queue_;
  long queued_ = 0;
  long handled_ = 0;
  bool released_ = false;
};

class RecordingWatch : public HotplugWatch {
 public:
  explicit RecordingWatch(Log& log) : log_(log) {}
  bool fails = false;
  Status start() override {
    log_.push_back("watch start");
    if (fails) return MakeError(ErrorCode::kIo, "no udev monitor");
    return Ok{};
  }

 private:
  Log& log_;
};

// The page code's part, as far as the window and the tray use it.
class RecordingPages : public MainPages {
 public:
  explicit RecordingPages(Log& log) : log_(log) {}
  void showBasicPage() override {
    log_.push_back("basic page");
    initialised = true;
    page = MainPage::kBasic;
  }
  void rebuildPage(MainPage rebuilt) override {
    log_.push_back("rebuild page " + std::to_string(static_cast<int>(rebuilt)));
  }
  MainPage currentPage() const override { return page; }
  bool basicPageInitialised() const override { return initialised; }
  bool holdsKeyboard() const override { return recording; }

  MainPage page = MainPage::kNone;
  bool initialised = false;
  bool recording = false;  // a macro recording holds the keyboard

 private:
  Log& log_;
};

struct RigSetup {
  bool plugged = true;
  std::optional<std::string> lan{};          // the "Lan" value; nullopt leaves the key out
  std::optional<std::string> skin = "Dark";  // the "Path" value; nullopt leaves the key out
  bool configPresent = true;
  bool watchFails = false;
  bool tray = true;
  SystemVersion version{};
  UiLanguage locale = UiLanguage::kEnglish;  // the language of the user's locale
};

// DPI levels of stages 1..4 in the settings file: 200, 800, 4000 and 1600 with the twelve-level
// table the link uses before the sensor type was read.
constexpr std::array<std::uint8_t, 4> kStageLevels{0, 3, 11, 5};

// A portable installation in a temporary folder: bin/config.bin, bin/str.ini and the "Dark" skin
// under bin/Skins, with the emulated mouse on an in-process bus.
struct WindowRig {
  explicit WindowRig(const RigSetup& setup = {}) {
    const auto bin = temp.path() / "bin";
    std::filesystem::create_directories(bin);
    if (setup.configPresent) {
      MouseConfig config = FactoryConfig();
      for (int stage = 0; stage < 4; ++stage) {
        config.at(config_offset::kDpiLevel + static_cast<std::size_t>(stage)) =
            kStageLevels[static_cast<std::size_t>(stage)];
      }
      fileConfig = config;
      EXPECT_TRUE(WriteFileAtomically(bin / "config.bin", ConfigFileImage(1, config)).ok());
    }
    std::string ini = "[Skins]\r\n";
    if (setup.lan) ini += "Lan=" + *setup.lan + "\r\n";
    ini += "RColor=10\r\nGColor=20\r\nBColor=300\r\n";
    if (setup.skin) ini += "Path=" + *setup.skin + "\r\n";
    EXPECT_TRUE(WriteFileAtomically(bin / "str.ini", Bytes(ini.begin(), ini.end())).ok());
    WritePngHeader(bin / "Skins" / "Dark" / "main.png", 884, 654);

    if (setup.plugged) bus.plug();
    (void)bus.takePending();
    watch.fails = setup.watchFails;
    notifier.tray = setup.tray;
    MainWindowPaths paths{DataFilesIn(bin),
                          {temp.path() / "user-skins", temp.path() / "share-skins", bin / "Skins"}};
    dlg = std::make_unique<CTarnwickDlg>(link, notifier, watch, paths, setup.version, setup.locale);
    pages = std::make_unique<RecordingPages>(log);
    dlg->setPages(pages.get());
    sink.setTarget(dlg.get());
    window.stripPrefix = (bin / "Skins").generic_string();
    window.model = dlg.get();
    dlg->attach(window.ports());
  }
  ~WindowRig() { sink.release(); }

  bool initialise() {
    const bool done = dlg->onInitialise();
    return done;
  }

  TempFolder temp;
  Log log;
  VirtualClock clock;
  EmulatedMouse mouse{DeviceDefinition{}, clock};
  EmulatedHidBus bus{mouse};
  UiThreadSink sink;
  DeviceLink link{bus, clock, sink, DeviceDefinition{}};
  RecordingWindow window{log};
  RecordingNotifier notifier{log};
  RecordingWatch watch{log};
  std::unique_ptr<CTarnwickDlg> dlg;
  std::unique_ptr<RecordingPages> pages;
  MouseConfig fileConfig{};
};

const std::string kTrayAdd = "tray add 'Gaming Mouse Setting'";
const std::string kEnglishMenu = "tray menu [1028 'Exit']";
const std::string kNotDetected =
    "balloon 'The system did not detect the gaming mouse!' 'Warning' 100";
const std::string kDetected = "balloon 'The system detect the gaming mouse.' 'Info' 100";
const std::string kBackground = "background /Dark/main.png 884x654";

TEST(MainWindowInit, RunsInOrderWithTheMouseAbsentOrPresent) {
  struct Case {
    const char* name;
    RigSetup setup;
    bool completes;
    Log expected;
  };
  const Case cases[] = {
      // The presence notice is raised while the mouse is opened, before the language is read;
      // it is shown once the texts are there, never empty.
      {"absent",
       {.plugged = false},
       true,
       {kTrayAdd, "watch start", kEnglishMenu, kNotDetected, kBackground}},
      {"present, traditional Chinese",
       {.lan = "CHT"},
       true,
       {kTrayAdd, "watch start", "tray menu [1028 '退出']",
        "balloon '系統檢測到遊戲滑鼠。' 'Info' 100", kBackground, "basic page"}},
      {"config.bin missing",
       {.plugged = false, .configPresent = false},
       true,
       {kTrayAdd, "watch start", "message 'Config file is not exist.'", kEnglishMenu, kNotDetected,
        kBackground}},
      // A failed hotplug watch stops the initialisation: no settings, texts or skin; the held
      // notice still reaches the user.
      {"watch fails",
       {.watchFails = true},
       false,
       {kTrayAdd, "watch start", "message 'RegisterDeviceNotification failed!!!'", kDetected}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig(c.setup);
    EXPECT_EQ(rig.initialise(), c.completes);
    EXPECT_EQ(rig.log, c.expected);
    EXPECT_FALSE(rig.window.visible);  // the window waits for the tray
    EXPECT_EQ(rig.dlg->devicePresent(), c.setup.plugged);
    EXPECT_EQ(rig.dlg->initialised(), c.completes);
    EXPECT_EQ(rig.dlg->mouseConfig(), rig.dlg->appliedConfig());
    if (!c.completes) {
      EXPECT_EQ(rig.dlg->text(UiText::kOk), "");
      EXPECT_EQ(rig.dlg->skin().currentSkinFolder, "");
      continue;
    }
    EXPECT_EQ(rig.dlg->mouseConfig(), rig.fileConfig);
    EXPECT_EQ(rig.dlg->backgroundSize(), (Size{884, 654}));
    EXPECT_EQ(rig.window.size, (Size{884, 654}));
    EXPECT_EQ(rig.dlg->skin().currentSkinFolder,
              (rig.temp.path() / "bin/Skins/Dark").generic_string());
    EXPECT_EQ(rig.dlg->skin().currentSkinName, "Dark");
    EXPECT_EQ(rig.dlg->skin().uiTextColor, (Rgb{10, 20, 44}));  // 300 keeps its lowest byte
  }
}

// A str.ini without a skin, or naming one no root holds: the window starts with the default
// skin's pictures, never a bare black window.
TEST(MainWindowInit, AnUnknownOrMissingSkinGivesWayToTheDefaultOne) {
  for (const std::optional<std::string>& skin :
       {std::optional<std::string>{}, std::optional<std::string>{""},
        std::optional<std::string>{"Gone"}}) {
    SCOPED_TRACE(skin.value_or("(no key)"));
    WindowRig rig({.plugged = false, .skin = skin});
    EXPECT_TRUE(rig.initialise());
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), kBackground), 1);
    EXPECT_EQ(rig.dlg->backgroundSize(), (Size{884, 654}));
    EXPECT_EQ(rig.dlg->skin().currentSkinFolder,
              (rig.temp.path() / "bin/Skins/Dark").generic_string());
    EXPECT_EQ(rig.dlg->skin().currentSkinName, "Dark");
  }
}

TEST(MainWindowInit, TextsAndFontsFollowTheLanguage) {
  struct Case {
    const char* name;
    std::optional<std::string> lan;
    SystemVersion version;
    UiLanguage locale;
    const char* ok;
    const char* basicSettings;
    const char* section;
    FontSpec normal;
    FontSpec title;
    const char* exit;
  };
  const Case cases[] = {
      {"CHT",
       "CHT",
       {},
       UiLanguage::kSimplifiedChinese,
       "確定",
       "基本設置",
       "Setting-CHT",
       {"黑体", 13, 400},
       {"黑体", 18, 700},
       "退出"},
      {"CHS",
       "CHS",
       {},
       UiLanguage::kEnglish,
       "确定",
       "基本设置",
       "Setting-CHS",
       {"宋体", 13, 400},
       {"宋体", 18, 700},
       "退出"},
      {"CHS on 6.2",
       "CHS",
       {6, 2},
       UiLanguage::kEnglish,
       "确定",
       "基本设置",
       "Setting-CHS",
       {"黑体", 13, 400},
       {"黑体", 18, 700},
       "退出"},
      {"chs is not CHS",
       "chs",
       {},
       UiLanguage::kTraditionalChinese,
       "OK",
       "Basic Settings",
       "Setting-EN",
       {"Arial", 14, 400},
       {"Tahoma", 18, 700},
       "Exit"},
      {"no Lan key",
       std::nullopt,
       {},
       UiLanguage::kEnglish,
       "OK",
       "Basic Settings",
       "Setting-EN",
       {"Arial", 14, 400},
       {"Tahoma", 18, 700},
       "Exit"},
      {"no Lan key, a Traditional Chinese locale",
       std::nullopt,
       {},
       UiLanguage::kTraditionalChinese,
       "確定",
       "基本設置",
       "Setting-CHT",
       {"黑体", 13, 400},
       {"黑体", 18, 700},
       "退出"},
      {"no Lan key, a Simplified Chinese locale",
       std::nullopt,
       {},
       UiLanguage::kSimplifiedChinese,
       "确定",
       "基本设置",
       "Setting-CHS",
       {"宋体", 13, 400},
       {"宋体", 18, 700},
       "退出"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig({.lan = c.lan, .version = c.version, .locale = c.locale});
    ASSERT_TRUE(rig.initialise());
    EXPECT_EQ(rig.dlg->text(UiText::kOk), c.ok);
    EXPECT_EQ(rig.dlg->text(UiText::kBasicSettings), c.basicSettings);
    EXPECT_EQ(rig.dlg->preferenceSection(), c.section);
    EXPECT_EQ(rig.dlg->normalFont(), c.normal);
    EXPECT_EQ(rig.dlg->titleFont(), c.title);
    rig.log.clear();
    rig.dlg->onTray(TrayClick::kRightUp);
    EXPECT_EQ(rig.log, Log{"tray menu shown [1028 '" + std::string(c.exit) + "']"});
  }
}

// Switching str.ini to a language whose caption section does not exist yet: the rows name the
// buttons' functions in that language, as choosing them would have, and the file keeps them; a
// caption the user has is kept.
TEST(MainWindowInit, ALanguageWithoutCaptionsGetsThemFromTheFunctions) {
  WindowRig rig({.lan = "CHS"});
  const auto bin = rig.temp.path() / "bin";
  MouseConfig config = FactoryConfig();
  config.setKeyAttribute(0, KeyAttribute::kKeyFunction, 2, 12);  // Combo Key, C alone
  config.setKeyAttribute(0, KeyAttribute::kComboKey1, 2, 0x06);
  config.setKeyAttribute(1, KeyAttribute::kKeyFunction, 4, 13);  // Macro Key, second macro
  config.setKeyAttribute(1, KeyAttribute::kMacroIndex, 4, 1);
  ASSERT_TRUE(WriteFileAtomically(bin / "config.bin", ConfigFileImage(1, config)).ok());
  const std::string macros = "[Alpha]\r\nItemCount=0\r\n[Dash]\r\nItemCount=0\r\n";
  ASSERT_TRUE(WriteFileAtomically(bin / "record.ini", Bytes(macros.begin(), macros.end())).ok());
  const std::string ini =
      "[Skins]\r\nLan=CHS\r\nPath=Dark\r\n[Setting-EN]\r\nItem1=Shoot\r\n"
      "[Setting-CHS]\r\nItem2=开火\r\n";
  ASSERT_TRUE(WriteFileAtomically(bin / "str.ini", Bytes(ini.begin(), ini.end())).ok());

  ASSERT_TRUE(rig.initialise());
  const ButtonLabels& labels = rig.dlg->preferences().labels;
  EXPECT_EQ(labels.texts[0], "左键");
  EXPECT_EQ(labels.texts[1], "开火");  // the user's own
  EXPECT_EQ(labels.texts[2], "组合键-C");
  EXPECT_EQ(labels.texts[5], "DPI Loop");
  EXPECT_EQ(labels.texts[6], "三连发");
  EXPECT_EQ(labels.texts[12 + 4], "宏-Dash");
  EXPECT_EQ(labels.texts[12 + 11], "按键关闭");

  Result<IniDocument> saved = IniDocument::Load(bin / "str.ini");
  ASSERT_TRUE(saved.ok());
  for (int i = 0; i < 24; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(saved.value().read("Setting-CHS", LabelKey(i / 12, i % 12)),
              labels.texts[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(saved.value().read("Setting-EN", "Item1"), "Shoot");
  EXPECT_EQ(saved.value().read("Setting-EN", "Item2"), "");
}

TEST(MainWindowDeviceEvents, EveryRowOfTheNoticeTable) {
  WindowRig rig;
  ASSERT_TRUE(rig.initialise());
  struct Case {
    DeviceEvent event;
    std::string notice;  // "" = nothing shown
  };
  const Case cases[] = {
      {SwitchEvent{MouseSwitch::kReportRate, 1}, "'Switch report rate into 1000HZ' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kReportRate, 2}, "'Switch report rate into 500HZ' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kReportRate, 4}, "'Switch report rate into 250HZ' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kReportRate, 8}, "'Switch report rate into 125HZ' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kReportRate, 3}, ""},
      {SwitchEvent{MouseSwitch::kReportRate, 0}, ""},
      // The stage text ends in a blank; the DPI label of the stage's stored level follows.
      {SwitchEvent{MouseSwitch::kDpiStage, 1}, "'Switch DPI into the first stage 200' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kDpiStage, 2},
       "'Switch DPI into the second stage 800' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kDpiStage, 3},
       "'Switch DPI into the third stage 4000' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kDpiStage, 4},
       "'Switch DPI into the fourth stage 1600' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kDpiStage, 0}, ""},
      {SwitchEvent{MouseSwitch::kDpiStage, 5}, ""},
      {SwitchEvent{MouseSwitch::kKeyGroup, 1}, "'Switch to key matrix 1' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kKeyGroup, 2}, "'Switch to key matrix 2' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kKeyGroup, 3}, ""},
      {SwitchEvent{MouseSwitch::kMacroKey, 12}, "'Switch to macro key12' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kMacroKey, 255}, "'Switch to macro key255' 'Info' 5000"},
      {SwitchEvent{MouseSwitch::kMacroKey, 0}, ""},
      {PresenceNotice::kDetected, "'The system detect the gaming mouse.' 'Info' 100"},
      {PresenceNotice::kNotDetected, "'The system did not detect the gaming mouse!' 'Warning' 100"},
      {PresenceNotice::kAccessDenied,
       "'The system did not detect the gaming mouse!' 'Warning' 100"},
      // Codes the mouse does not send.
      {SwitchEvent{static_cast<MouseSwitch>(6), 1}, ""},
      {SwitchEvent{static_cast<MouseSwitch>(0), 0}, ""},
      {SwitchEvent{static_cast<MouseSwitch>(-1), 7}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.event));
    rig.log.clear();
    rig.dlg->onDeviceEvent(c.event);
    EXPECT_EQ(rig.log, c.notice.empty() ? Log{} : Log{"balloon " + c.notice});
    EXPECT_FALSE(rig.window.visible);
  }

  // The same notice end to end: a press on the mouse, its report, the reader thread.
  rig.log.clear();
  ASSERT_TRUE(rig.mouse.press(PressKind::kDpi, 2).ok());
  ASSERT_TRUE(rig.sink.pumpOne());
  EXPECT_EQ(rig.log, Log{"balloon 'Switch DPI into the second stage 800' 'Info' 5000"});
}

// The notice names the refused node and the remedy in the user's language.
TEST(MainWindowDeviceEvents, RefusedAccessSaysWhy) {
  struct Case {
    std::optional<std::string> lan;
    std::string lead;
    std::string advice;
  };
  const Case cases[] = {
      {std::nullopt, "The gaming mouse is plugged in, but this user may not open it (",
       "). Install the udev rule 70-kor-vm31.rules (see the README), then unplug and plug in "
       "the mouse again."},
      {"CHS", "游戏鼠标已插入，但当前用户无权打开它（",
       "）。请安装 udev 规则 70-kor-vm31.rules（见 README），然后拔下鼠标再重新插入。"},
      {"CHT", "遊戲滑鼠已插入，但目前使用者無權開啟它（",
       "）。請安裝 udev 規則 70-kor-vm31.rules（見 README），然後拔下滑鼠再重新插入。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lan.value_or("English"));
    WindowRig rig({.plugged = false, .lan = c.lan});
    rig.bus.setDeniedOpens(-1);
    rig.bus.plug();
    (void)rig.bus.takePending();
    ASSERT_TRUE(rig.initialise());
    const std::string refusal = rig.link.accessRefusal();
    EXPECT_NE(refusal.find("permission denied"), std::string::npos);
    EXPECT_EQ(rig.log.at(3), "balloon '" + c.lead + refusal + c.advice + "' 'Warning' 100");
    // The command-line tool reports the same refusal in English.
    ASSERT_TRUE(rig.link.openProblem().has_value());
    EXPECT_EQ(rig.link.openProblem()->message, cases[0].lead + refusal + cases[0].advice);
  }
}

// Another program holding the mouse: the notice names it, in the user's language.
TEST(MainWindowDeviceEvents, BusyMouseSaysWhoHoldsIt) {
  const std::string problem = "the mouse is busy: vm31ctl 7 is programming it";
  const std::pair<UiLanguage, std::string> cases[] = {
      {UiLanguage::kEnglish, "The gaming mouse is in use by another program (" + problem +
                                 "). Try again when it is done."},
      {UiLanguage::kSimplifiedChinese,
       "游戏鼠标正被另一个程序使用（" + problem + "）。请在该程序完成后重试。"},
      {UiLanguage::kTraditionalChinese,
       "遊戲滑鼠正被另一個程式使用（" + problem + "）。請在該程式完成後重試。"},
  };
  for (const auto& [language, text] : cases) {
    SCOPED_TRACE(text);
    const auto notice =
        DeviceEventNotice(PresenceNotice::kBusy, language, FactoryConfig(), 0, problem, "");
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->text, text);
    EXPECT_EQ(notice->title, "Warning");
  }
}

TEST(MainWindowDeviceEvents, UnplugHidesAndWarnsPlugReopens) {
  WindowRig rig;
  ASSERT_TRUE(rig.initialise());
  rig.dlg->onTray(TrayClick::kLeftUp);
  ASSERT_TRUE(rig.window.visible);

  rig.log.clear();
  rig.bus.unplug();
  for (const HotplugEvent& event : rig.bus.takePending()) rig.dlg->onHotplug(event);
  EXPECT_FALSE(rig.window.visible);
  EXPECT_FALSE(rig.dlg->devicePresent());
  ASSERT_FALSE(rig.log.empty());
  EXPECT_EQ(rig.log.front(), kNotDetected);
  EXPECT_NE(std::find(rig.log.begin(), rig.log.end(), "hide"), rig.log.end());

  rig.log.clear();
  rig.bus.plug();
  for (const HotplugEvent& event : rig.bus.takePending()) rig.dlg->onHotplug(event);
  EXPECT_TRUE(rig.dlg->devicePresent());
  ASSERT_FALSE(rig.log.empty());
  EXPECT_EQ(rig.log.back(), kDetected);
  EXPECT_FALSE(rig.window.visible);  // the tray brings it back
  rig.log.clear();
  rig.dlg->onTray(TrayClick::kLeftUp);
  EXPECT_EQ(rig.log, (Log{"show", "raise"}));
}

TEST(MainWindowTray, ClicksWithTheMouseAbsent) {
  WindowRig rig({.plugged = false});
  ASSERT_TRUE(rig.initialise());
  for (TrayClick click : {TrayClick::kLeftUp, TrayClick::kLeftDoubleClick}) {
    rig.log.clear();
    rig.dlg->onTray(click);
    EXPECT_EQ(rig.log, Log{kNotDetected});
    EXPECT_FALSE(rig.window.visible);
  }
  rig.log.clear();
  rig.dlg->onTray(TrayClick::kRightUp);
  EXPECT_EQ(rig.log, Log{"tray menu shown [1028 'Exit']"});

  // Exit from the menu ends the process although the window is hidden; nothing is saved.
  rig.log.clear();
  rig.dlg->onCommand(kCommandExit);
  EXPECT_EQ(rig.log, (Log{"tray remove", "end 0"}));
  EXPECT_EQ(rig.window.endedWith, 0);
}

TEST(MainWindowTray, ClicksWithTheMousePresent) {
  WindowRig rig;
  ASSERT_TRUE(rig.initialise());
  // The initialisation drew the basic page already; a left click shows the window.
  rig.log.clear();
  rig.dlg->onTray(TrayClick::kLeftUp);
  EXPECT_EQ(rig.log, (Log{"show", "raise"}));
  EXPECT_TRUE(rig.window.visible);

  // After a Cancel the page shown is rebuilt from the record, once.
  rig.dlg->onClose();
  rig.dlg->requestRebuild();
  rig.log.clear();
  rig.dlg->onTray(TrayClick::kLeftDoubleClick);
  EXPECT_EQ(rig.log, (Log{"rebuild page 1", "show", "raise"}));
  EXPECT_FALSE(rig.dlg->rebuildRequested());

  // A basic page not drawn yet (the mouse came after the start) is drawn first.
  rig.pages->initialised = false;
  rig.log.clear();
  rig.dlg->onTray(TrayClick::kLeftUp);
  EXPECT_EQ(rig.log, (Log{"basic page", "show", "raise"}));

  rig.log.clear();
  rig.dlg->onCommand(kCommandExit);
  EXPECT_EQ(rig.log, (Log{"tray remove", "end 0"}));
  EXPECT_FALSE(rig.link.devicePresent());  // the device was closed on the way out
}

TEST(MainWindowKeys, EscapeReturnAndCloseHide) {
  WindowRig rig;
  ASSERT_TRUE(rig.initialise());
  struct Case {
    const char* name;
    KeyEvent key;
    bool recording;
    KeyDisposition disposition;
    bool hides;
  };
  const Case cases[] = {
      {"Escape", {.usage = kUsageEscape}, false, KeyDisposition::kSwallow, true},
      {"Return", {.usage = kUsageReturn}, false, KeyDisposition::kSwallow, true},
      {"keypad Enter", {.usage = kUsageKeypadEnter}, false, KeyDisposition::kSwallow, true},
      {"Escape released",
       {.down = false, .usage = kUsageEscape},
       false,
       KeyDisposition::kPass,
       false},
      {"A", {.usage = 0x04}, false, KeyDisposition::kPass, false},
      {"A while recording", {.usage = 0x04}, true, KeyDisposition::kSwallow, false},
      {"Escape while recording", {.usage = kUsageEscape}, true, KeyDisposition::kSwallow, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.dlg->onTray(TrayClick::kLeftUp);
    rig.pages->recording = c.recording;
    rig.log.clear();
    EXPECT_EQ(rig.dlg->onKey(c.key), c.disposition);
    EXPECT_EQ(rig.window.visible, !c.hides);
    EXPECT_EQ(rig.log, c.hides ? Log{"hide"} : Log{});
  }
  rig.pages->recording = false;

  // The window manager's close only hides: the tray icon and the process stay.
  rig.dlg->onTray(TrayClick::kLeftUp);
  rig.log.clear();
  rig.dlg->onClose();
  EXPECT_EQ(rig.log, Log{"hide"});
  EXPECT_FALSE(rig.window.endedWith.has_value());
}

// A desktop without a tray: the window is shown at start, and a second start brings it forward.
// With a tray a second start changes nothing.
TEST(MainWindowWithoutTray, ShowsItselfAndComesForwardOnASecondStart) {
  for (bool plugged : {false, true}) {
    SCOPED_TRACE(plugged ? "present" : "absent");
    WindowRig rig({.plugged = plugged, .tray = false});
    ASSERT_TRUE(rig.initialise());
    EXPECT_TRUE(rig.window.visible);
    const Log tail(rig.log.end() - 2, rig.log.end());
    EXPECT_EQ(tail, (Log{"show", "raise"}));
    rig.dlg->onClose();
    rig.log.clear();
    rig.dlg->onSecondInstance();
    EXPECT_EQ(rig.log, (Log{"show", "raise"}));
  }
  WindowRig withTray;
  ASSERT_TRUE(withTray.initialise());
  withTray.log.clear();
  withTray.dlg->onSecondInstance();
  EXPECT_EQ(withTray.log, Log{});
  EXPECT_FALSE(withTray.window.visible);
}

// `--show`: the window comes up with a tray too, the mouse present or not.
TEST(MainWindowWithTray, AShowRequestShowsAndRaisesTheWindow) {
  for (bool plugged : {false, true}) {
    SCOPED_TRACE(plugged ? "present" : "absent");
    WindowRig rig({.plugged = plugged});
    ASSERT_TRUE(rig.initialise());
    EXPECT_FALSE(rig.window.visible);
    rig.log.clear();
    rig.dlg->onShowRequest();
    EXPECT_TRUE(rig.window.visible);
    const Log tail(rig.log.end() - 2, rig.log.end());
    EXPECT_EQ(tail, (Log{"show", "raise"}));
  }
}

}  // namespace
}  // namespace vm31
