#pragma once
// The main window as the program runs it - CTarnwickDlg with its pages in the Qt shell's skinned
// window - against the emulated mouse on an in-process bus, with its data files in `folder`
// and the rendered skins. Used by the pixel test and by the screenshot command; needs a
// QApplication (offscreen is enough).

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "core/app/main_pages.h"
#include "core/app/main_window.h"
#include "core/settings/config_file.h"
#include "core/ui/system_mouse.h"
#include "core/util/atomic_file.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "emulator/virtual_clock.h"
#include "qt/skinned_window.h"

namespace vm31::testing {

class FaceSink : public EventSink {
 public:
  void deliver(const DeviceEvent&) override {}  // notices are not part of the face
};

class FaceNotifier : public Notifier {
 public:
  bool trayAvailable() const override { return true; }
  void addTrayIcon(std::string_view) override {}
  void removeTrayIcon() override {}
  void showBalloon(std::string_view, std::string_view, int, NoticeIcon) override {}
  void setTrayMenu(const std::vector<MenuItem>&) override {}
  void showTrayMenu(const std::vector<MenuItem>&) override {}
};

// A desktop that has every pointer setting and holds the values of the settings record, so the
// advanced page shows the record's sliders and ticks as on a desktop set that way.
class FaceDesktop : public SystemMouse {
 public:
  explicit FaceDesktop(const MouseConfig& config) : config_(config) {}
  std::string desktopName() const override { return "Face"; }
  SystemReading<bool> readPointerPrecision() override {
    return {SystemOutcome::kDone, config_.at(config_offset::kEnhancePointerPrecision) != 0, {}};
  }
  SystemReading<int> readPointerSpeed() override {
    return {SystemOutcome::kDone,
            PointerSpeedFromSliderPosition(config_.at(config_offset::kPointerSpeedLevel)),
            {}};
  }
  SystemReading<std::uint32_t> readWheelScrollLines() override {
    return {SystemOutcome::kDone,
            SystemWheelLinesFromFields({config_.at(config_offset::kScrollOneScreen),
                                        config_.at(config_offset::kWheelScrollLines)}),
            {}};
  }
  SystemReading<int> readDoubleClickTime() override {
    return {SystemOutcome::kDone,
            DoubleClickTimeFromSliderPosition(config_.at(config_offset::kDoubleClickLevel)),
            {}};
  }
  SystemWriting writePointerPrecision(bool) override { return {SystemOutcome::kDone, {}}; }
  SystemWriting writePointerSpeed(int) override { return {SystemOutcome::kDone, {}}; }
  SystemWriting writeWheelScrollLines(std::uint32_t) override { return {SystemOutcome::kDone, {}}; }
  SystemWriting writeDoubleClickTime(int) override { return {SystemOutcome::kDone, {}}; }

 private:
  MouseConfig config_;
};

class FaceWatch : public HotplugWatch {
 public:
  Status start() override { return Ok{}; }
};

struct FaceRig {
  // `skinsDir` holds the rendered skins; `skin` names the one to use.
  FaceRig(const std::filesystem::path& folder, const std::filesystem::path& skinsDir,
          const std::string& skin, std::uint8_t sensorType, const MouseConfig& config)
      : desktop(config) {
    std::filesystem::create_directories(folder);
    // First-run flag 0: the first show stores the factory captions, as on a fresh installation.
    (void)WriteFileAtomically(folder / "config.bin", ConfigFileImage(0, config));
    const std::string ini =
        "[Skins]\r\nLan=EN\r\nRColor=0\r\nGColor=255\r\nBColor=0\r\nPath=" + skin + "\r\n";
    (void)WriteFileAtomically(folder / "str.ini", Bytes(ini.begin(), ini.end()));
    const std::string macros =
        "[Burst]\r\nItemCount=4\r\nItem0=A   Dn\r\nItem1=50 ms\r\nItem2=A   Up\r\nItem3=50 ms\r\n"
        "[Reload]\r\nItemCount=2\r\nItem0=R   Dn\r\nItem1=R   Up\r\n";
    (void)WriteFileAtomically(folder / "record.ini", Bytes(macros.begin(), macros.end()));
    mouse.setSensorType(sensorType);
    bus.plug();
    (void)bus.takePending();
    dlg = std::make_unique<CTarnwickDlg>(link, notifier, watch,
                                         MainWindowPaths{DataFilesIn(folder), {skinsDir}});
    pages = std::make_unique<MainWindowPages>(*dlg);
    pages->setSystemMouse(&desktop);
    dlg->setPages(pages.get());
    window = std::make_unique<qt::SkinnedWindow>(*dlg, context);
    window->initialiseModel();
  }
  ~FaceRig() {
    window.reset();
    link.close();
  }

  VirtualClock clock;
  EmulatedMouse mouse{DeviceDefinition{}, clock};
  EmulatedHidBus bus{mouse};
  FaceSink sink;
  DeviceLink link{bus, clock, sink, DeviceDefinition{}};
  FaceNotifier notifier;
  FaceWatch watch;
  FaceDesktop desktop;
  qt::ShellContext context{QStringLiteral("KOR_VM31"), {}};
  std::unique_ptr<CTarnwickDlg> dlg;
  std::unique_ptr<MainWindowPages> pages;
  std::unique_ptr<qt::SkinnedWindow> window;
};

}  // namespace vm31::testing
