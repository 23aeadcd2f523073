#pragma once
// A portable installation (config.bin, str.ini, every picture of the "Dark" skin) in a temporary
// folder, the emulated mouse on an in-process bus, and the main window with its pages on the
// recording host: the fixture of the main-window control tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "core/app/main_pages.h"
#include "core/app/main_window.h"
#include "core/settings/config_file.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "emulator/virtual_clock.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace vm31::testing {

// Device events raised on the test's thread reach the window at once.
class DirectEventSink : public EventSink {
 public:
  void setTarget(CTarnwickDlg* dlg) { dlg_ = dlg; }
  void deliver(const DeviceEvent& event) override {
    if (std::this_thread::get_id() == owner_ && dlg_ != nullptr) dlg_->onDeviceEvent(event);
  }

 private:
  const std::thread::id owner_ = std::this_thread::get_id();
  CTarnwickDlg* dlg_ = nullptr;
};

class NoHotplugWatch : public HotplugWatch {
 public:
  Status start() override { return Ok{}; }
};

struct MainWindowSetup {
  std::uint8_t sensorType = 2;    // eight levels, "250" .. "2500"
  std::uint8_t firstRunFlag = 1;  // 0: the factory captions are stored at the first show
  std::function<void(MouseConfig&)> edit{};
  std::string macros{};                                                // record.ini; empty: no file
  std::string labels = "Item1=Shoot\r\nItem2=Aim\r\nItem13=Jump\r\n";  // [Setting-EN] lines
  bool initialise = true;  // false: the test runs the window's initialisation itself
};

struct MainWindowRig {
  explicit MainWindowRig(const MainWindowSetup& setup = {}) {
    bin = temp.path() / "bin";
    std::filesystem::create_directories(bin);
    MouseConfig config = FactoryConfig();
    if (setup.edit) setup.edit(config);
    EXPECT_TRUE(
        WriteFileAtomically(bin / "config.bin", ConfigFileImage(setup.firstRunFlag, config)).ok());
    const std::string ini =
        "[Skins]\r\nLan=EN\r\nRColor=0\r\nGColor=255\r\nBColor=0\r\nPath=Dark\r\n"
        "[Setting-EN]\r\n" +
        setup.labels;
    EXPECT_TRUE(WriteFileAtomically(bin / "str.ini", Bytes(ini.begin(), ini.end())).ok());
    if (!setup.macros.empty()) {
      EXPECT_TRUE(
          WriteFileAtomically(bin / "record.ini", Bytes(setup.macros.begin(), setup.macros.end()))
              .ok());
    }
    for (const SkinPictureRow& row : kSkinPictures) {
      const bool main = row.picture == SkinPicture::kMain;
      WritePngHeader(bin / "Skins" / "Dark" / std::string(row.fileName.substr(1)), main ? 875 : 16,
                     main ? 644 : 16);
    }
    mouse.setSensorType(setup.sensorType);
    bus.plug();
    (void)bus.takePending();
    MainWindowPaths paths{DataFilesIn(bin), {bin / "Skins"}};
    dlg = std::make_unique<CTarnwickDlg>(link, notifier, watch, paths);
    pages = std::make_unique<MainWindowPages>(*dlg);
    dlg->setPages(pages.get());
    sink.setTarget(dlg.get());
    window.stripPrefix = (bin / "Skins" / "Dark").generic_string();
    window.model = dlg.get();
    dlg->attach(window.ports());
    if (setup.initialise) {
      EXPECT_TRUE(dlg->onInitialise());
      log.clear();
    }
  }

  Log take() { return std::exchange(log, {}); }
  void press(Point at) { dlg->onLeftButtonDown(at); }
  // Chooses item `index` of list `id` as a click does: selection, then the notification.
  void choose(int id, int index) {
    window.setSelection(id, index);
    dlg->onControlNotify(id, ControlNotification::kSelectionChange);
  }
  const std::string& label(int group, int button) {
    return dlg->preferences().labels.texts[static_cast<std::size_t>(group * 12 + button)];
  }
  MouseConfig& config() { return dlg->mouseConfig(); }

  TempFolder temp;
  std::filesystem::path bin;
  Log log;
  VirtualClock clock;
  EmulatedMouse mouse{DeviceDefinition{}, clock};
  EmulatedHidBus bus{mouse};
  DirectEventSink sink;
  DeviceLink link{bus, clock, sink, DeviceDefinition{}};
  RecordingWindow window{log};
  RecordingNotifier notifier{log};
  NoHotplugWatch watch;
  std::unique_ptr<CTarnwickDlg> dlg;
  std::unique_ptr<MainWindowPages> pages;
};

// The lines of `log` that start with `prefix`.
inline Log LinesStarting(const Log& log, std::string_view prefix) {
  Log kept;
  for (const std::string& line : log) {
    if (line.rfind(prefix, 0) == 0) kept.push_back(line);
  }
  return kept;
}

}  // namespace vm31::testing
