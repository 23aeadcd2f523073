// The Win32 shell's window host (src/win32) with real windows under Wine on a display: the key
// messages' usages where the scan-code table has none.
// Run through wine_on_xvfb.sh.

#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/ui/key_dialogs.h"
#include "win32/key_translation.h"
#include "win32/skinned_window.h"
#include "win32/wide_text.h"

namespace vm31::win32 {
namespace {

std::string ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return Utf8(folder);
}

// A window model that runs what the test gives it at its initialisation and keeps its keys.
class TestModel : public WindowModel {
 public:
  explicit TestModel(std::function<void(const WindowPorts&)> build) : build_(std::move(build)) {}
  void attach(const WindowPorts& ports) override { ports_ = ports; }
  bool onInitialise() override {
    build_(ports_);
    return true;
  }
  KeyDisposition onKey(const KeyEvent& key) override {
    keys.push_back(key);
    return KeyDisposition::kSwallow;
  }
  std::vector<KeyEvent> keys;

 private:
  std::function<void(const WindowPorts&)> build_;
  WindowPorts ports_;
};

// Runs the thread's messages as the shell's loop does (the model's pre-translation first)
// until `done` or 5 s.
bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < end) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (PreTranslateWindowMessage(message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

void Pump(int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  PumpUntil([&] { return std::chrono::steady_clock::now() >= end; });
}

class Win32ShellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    context_.instance = ::GetModuleHandleW(nullptr);
    context_.programName = "win32_shell_test";
    context_.windowTitle = "Gaming Mouse Setting";
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));  // WIC
    ASSERT_TRUE(RegisterSkinnedWindowClass(context_.instance));
  }
  // A shown window of the Dark skin's main picture that `build` fills.
  std::unique_ptr<SkinnedWindow> Open(TestModel& model) {
    auto window = std::make_unique<SkinnedWindow>(model, context_);
    window->initialiseModel();
    EXPECT_TRUE(window->imageSize(Background())) << "no picture " << Background();
    window->show();
    ::SetForegroundWindow(window->handle());
    Pump(300);
    return window;
  }
  static std::string Background() { return ProgramFolder() + "Skins/Dark/main.png"; }
  static ShellContext context_;
};
ShellContext Win32ShellTest::context_;

// ---- keys ----

LPARAM KeyData(int scanCode, bool extended) {
  return 1 | (scanCode << 16) | (extended ? 1 << 24 : 0);
}

TEST_F(Win32ShellTest, KeysTheScanCodeTableDoesNotPlaceAreNamedByTheKeyNameService) {
  TestModel model([](const WindowPorts& ports) {
    ports.host->setBackgroundImage(Background());
    ports.controls->setFocus(kNoControl);
  });
  auto window = Open(model);
  struct Case {
    int scanCode;
    bool extended;
    std::uint16_t tableUsage;  // what the scan-code table gives
    std::string name;          // what the key dialogs and the recorder show
  };
  const Case cases[] = {
      // Not in the table; the key-name service calls it "A", a name of the key tables.
      {0x1E, true, 0, "A"},
      // In the table: its usage stands, though the service names the key otherwise here.
      {0x47, false, 0x5F, "Num 7"},
      {0x1D, true, 0xE4, "Right Ctrl"},
      // Neither the table nor the service names it.
      {0x59, false, 0, ""},
  };
  for (const Case& key : cases) {
    SCOPED_TRACE("scan code " + std::to_string(key.scanCode) + (key.extended ? " extended" : ""));
    EXPECT_EQ(UsageOfScanCode(static_cast<std::uint8_t>(key.scanCode), key.extended),
              key.tableUsage);
    model.keys.clear();
    ::PostMessageW(window->handle(), WM_KEYDOWN, 0, KeyData(key.scanCode, key.extended));
    ASSERT_TRUE(PumpUntil([&] { return !model.keys.empty(); }));
    EXPECT_TRUE(model.keys.front().down);
    EXPECT_EQ(CapturedKeyName(model.keys.front()), key.name);
  }
}

}  // namespace
}  // namespace vm31::win32
