// The Win32 shell's window host (src/win32) with real windows under Wine on a display: the key
// messages' usages where the scan-code table has none, the tooltips of texts shrunk or cut to
// fit, the list boxes' own frame (border, slim scroll bar, columns) read back as pixels, and the
// main window's unrealised start.
// Run through wine_on_xvfb.sh.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
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

// The real pointer to `at` in `window`'s client area, as a user's move gives it.
void MovePointer(HWND window, POINT at, DWORD buttons = 0) {
  ::ClientToScreen(window, &at);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = at.x * 65536 / ::GetSystemMetrics(SM_CXSCREEN) + 1;
  input.mi.dy = at.y * 65536 / ::GetSystemMetrics(SM_CYSCREEN) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
  ::SendInput(1, &input, sizeof(input));
}

// What `window` shows (its whole window, frame included), pixel by pixel.
class WindowPixels {
 public:
  explicit WindowPixels(HWND window) {
    RECT placed{};
    ::GetWindowRect(window, &placed);
    width_ = placed.right - placed.left;
    height_ = placed.bottom - placed.top;
    pixels_.resize(static_cast<std::size_t>(width_) * height_);
    HDC source = ::GetWindowDC(window);
    HDC copy = ::CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(copy, bitmap);
    ::BitBlt(copy, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
    ::GdiFlush();
    std::copy_n(static_cast<const std::uint32_t*>(bits), pixels_.size(), pixels_.begin());
    ::SelectObject(copy, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(copy);
    ::ReleaseDC(window, source);
  }
  Rgb at(int x, int y) const {
    const std::uint32_t pixel = pixels_[static_cast<std::size_t>(y) * width_ + x];
    return Rgb{static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
               static_cast<std::uint8_t>(pixel)};
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

std::string Describe(Rgb colour) {
  return std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
         std::to_string(colour.blue);
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

// ---- tooltips ----

TEST_F(Win32ShellTest, ATextCutToFitHasItsWholeTextAsTooltip) {
  const std::string whole = "The parameters of the neon lighting, every level";
  const FontSpec font{"Arial", 12, 400};
  constexpr Rect kCutBox{40, 120, 100, 136};
  constexpr Rect kFittingBox{40, 160, 400, 176};
  constexpr int kCutStatic = 7;
  constexpr int kFittingStatic = 8;
  TestModel model([&](const WindowPorts& ports) {
    ports.host->setBackgroundImage(Background());
    ports.canvas->drawText(whole, kCutBox, font, Rgb{255, 255, 255}, TextFormat::kLeft);
    ports.canvas->drawText("Neon", kFittingBox, font, Rgb{255, 255, 255}, TextFormat::kLeft);
    ControlStyle style;
    style.font = font;
    style.transparent = true;
    ports.controls->create(kCutStatic, ControlKind::kStatic, Rect{40, 200, 90, 216}, style);
    ports.controls->setText(kCutStatic, whole);
    ports.controls->create(kFittingStatic, ControlKind::kStatic, Rect{40, 240, 400, 256}, style);
    ports.controls->setText(kFittingStatic, "Neon");
    ports.canvas->present();
  });
  auto window = Open(model);
  EXPECT_EQ(window->toolTipAt(Point{50, 128}), whole);
  EXPECT_EQ(window->toolTipAt(Point{50, 168}), "");
  EXPECT_EQ(window->toolTipAt(Point{50, 208}), whole);
  EXPECT_EQ(window->toolTipAt(Point{50, 248}), "");
  EXPECT_EQ(window->text(kCutStatic), whole);
  HWND tips = window->toolTips();
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);

  // The real pointer over each cut text: the tooltip comes up with the whole text.
  for (const POINT at : {POINT{50, 128}, POINT{50, 208}}) {
    SCOPED_TRACE("pointer at " + std::to_string(at.x) + "," + std::to_string(at.y));
    MovePointer(window->handle(), POINT{300, 400});
    Pump(200);
    MovePointer(window->handle(), at);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(tips) != FALSE; }))
        << "no tooltip over the cut text";
    std::wstring shown(512, L'\0');
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.lpszText = shown.data();
    ASSERT_TRUE(::SendMessageW(tips, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(Utf8(shown.c_str()), whole);
  }

  // A fill over the cut text hides it: its tip goes too; a static's new text that fits has none.
  window->fillRect(kCutBox, Rgb{0, 0, 0});
  window->setText(kCutStatic, "Neon");
  window->present();
  EXPECT_EQ(window->toolTipAt(Point{50, 128}), "");
  EXPECT_EQ(window->toolTipAt(Point{50, 208}), "");
  EXPECT_EQ(::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 0);
}

// ---- list boxes ----

TEST_F(Win32ShellTest, ListBoxesDrawTheirBorderAndSlimScrollBarInTheirColours) {
  constexpr int kList = 5;
  constexpr int kColumns = 6;
  const Rgb text{0, 255, 0};
  const Rgb background{0, 0, 64};
  const Rgb groove{0, 51, 51};  // the background shaded a fifth toward the text colour
  TestModel model([&](const WindowPorts& ports) {
    ports.host->setBackgroundImage(Background());
    ControlStyle style;
    style.text = text;
    style.background = background;
    style.font = FontSpec{"Arial", 12, 400};
    style.border = true;
    ports.controls->create(kList, ControlKind::kListBox, Rect{100, 100, 200, 200}, style);
    for (int i = 0; i < 20; ++i) ports.controls->addItem(kList, "entry " + std::to_string(i));
    style.border = false;
    style.columns = 2;
    ports.controls->create(kColumns, ControlKind::kListBox, Rect{300, 100, 400, 180}, style);
    for (int i = 0; i < 10; ++i) ports.controls->addItem(kColumns, std::to_string(i));
  });
  auto window = Open(model);
  HWND list = ::GetDlgItem(window->handle(), kList);
  ASSERT_NE(list, nullptr);
  {
    const WindowPixels shown(list);
    ASSERT_EQ(shown.width(), 100);
    ASSERT_EQ(shown.height(), 100);
    // The border, one pixel in the text colour on every side.
    for (const POINT at : {POINT{0, 50}, POINT{99, 50}, POINT{50, 0}, POINT{50, 99}}) {
      EXPECT_EQ(shown.at(at.x, at.y), text)
          << "border at " << at.x << "," << at.y << ": " << Describe(shown.at(at.x, at.y));
    }
    // The scroll bar, 10 pixels inside the right border: the handle at the top in the text
    // colour (6 of 20 rows shown), the groove below it; the rows beside it in the background.
    EXPECT_EQ(shown.at(93, 5), text) << Describe(shown.at(93, 5));
    EXPECT_EQ(shown.at(89, 5), text) << Describe(shown.at(89, 5));
    EXPECT_EQ(shown.at(93, 90), groove) << Describe(shown.at(93, 90));
    EXPECT_EQ(shown.at(87, 90), background) << Describe(shown.at(87, 90));
  }
  // A real click on the groove below the handle scrolls a page.
  MovePointer(list, POINT{0, 0});  // client origin: inside the border
  RECT frame{};
  ::GetWindowRect(list, &frame);
  POINT groovePoint{frame.left + 93, frame.top + 90};
  ::ScreenToClient(window->handle(), &groovePoint);
  MovePointer(window->handle(), groovePoint);
  Pump(100);
  MovePointer(window->handle(), groovePoint, MOUSEEVENTF_LEFTDOWN);
  MovePointer(window->handle(), groovePoint, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(PumpUntil([&] { return window->topIndex(kList) == 6; }))
      << "top index " << window->topIndex(kList) << " after a click on the groove";
  // The handle (now rows 30..59 of the list's window) dragged down to the end: the last rows
  // shown, the handle at the bottom.
  const auto inList = [&](int x, int y) {
    POINT at{frame.left + x, frame.top + y};
    ::ScreenToClient(window->handle(), &at);
    return at;
  };
  MovePointer(window->handle(), inList(93, 40));
  Pump(100);
  MovePointer(window->handle(), inList(93, 40), MOUSEEVENTF_LEFTDOWN);
  Pump(100);
  MovePointer(window->handle(), inList(93, 95));
  Pump(100);
  MovePointer(window->handle(), inList(93, 95), MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(PumpUntil([&] { return window->topIndex(kList) == 14; }))
      << "top index " << window->topIndex(kList) << " after the handle's drag";
  {
    const WindowPixels shown(list);
    EXPECT_EQ(shown.at(93, 95), text) << Describe(shown.at(93, 95));
    EXPECT_EQ(shown.at(93, 5), groove) << Describe(shown.at(93, 5));
  }

  // Two columns: entries flow top to bottom, five rows a column, every entry shown; no scroll
  // bar; the selection inverted in the second column.
  EXPECT_EQ(window->itemAt(kColumns, Point{360, 105}), 5);
  EXPECT_EQ(window->itemAt(kColumns, Point{360, 170}), 9);
  EXPECT_EQ(window->itemAt(kColumns, Point{310, 170}), 4);
  window->setSelection(kColumns, 7);
  Pump(100);
  const WindowPixels columns(::GetDlgItem(window->handle(), kColumns));
  EXPECT_EQ(columns.at(95, 2 * 16 + 8), text) << Describe(columns.at(95, 2 * 16 + 8));
  EXPECT_EQ(columns.at(95, 3 * 16 + 8), background) << Describe(columns.at(95, 3 * 16 + 8));
  EXPECT_EQ(columns.at(45, 2 * 16 + 8), background) << Describe(columns.at(45, 2 * 16 + 8));
}

// ---- the unrealised start ----

// What a model's calls answered.
struct Answers {
  std::optional<Size> background;
  bool drawn = false;
  bool missingDrawn = true;
  friend bool operator==(const Answers&, const Answers&) = default;
};

int ChildWindowCount(HWND window) {
  int count = 0;
  ::EnumChildWindows(
      window,
      [](HWND, LPARAM counted) -> BOOL {
        ++*reinterpret_cast<int*>(counted);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

TEST_F(Win32ShellTest, AMainWindowStartedHiddenMakesNothingUntilShownThenShowsTheSameFace) {
  constexpr int kStatic = 7;
  constexpr int kList = 5;
  const auto build = [](Answers& answers) {
    return [&answers](const WindowPorts& ports) {
      answers.background = ports.host->setBackgroundImage(Background());
      answers.drawn =
          ports.canvas->drawImage(ProgramFolder() + "Skins/Dark/button-over.png", Point{30, 40});
      answers.missingDrawn =
          ports.canvas->drawImage(ProgramFolder() + "Skins/Dark/no-such.png", Point{0, 0});
      const FontSpec font{"Arial", 12, 700};
      ports.canvas->drawText("Basic setting, every button of the mouse", Rect{40, 120, 100, 136},
                             font, Rgb{255, 255, 255}, TextFormat::kLeft);
      ports.canvas->fillRect(Rect{200, 200, 260, 230}, Rgb{200, 0, 0});
      ControlStyle style;
      style.font = font;
      style.text = Rgb{0, 255, 0};
      style.background = Rgb{0, 0, 64};
      ports.controls->create(kStatic, ControlKind::kStatic, Rect{40, 300, 200, 316}, style);
      ports.controls->setText(kStatic, "Neon");
      style.border = true;
      ports.controls->create(kList, ControlKind::kListBox, Rect{300, 300, 400, 400}, style);
      for (int i = 0; i < 12; ++i) ports.controls->addItem(kList, "level " + std::to_string(i));
      ports.controls->setSelection(kList, 2);
      ports.controls->setTopIndex(kList, 1);
      ports.canvas->present();
    };
  };

  // Started hidden: the model's calls are kept; nothing is created, and the answers are the
  // ones a realised window gives (the picture's size from its header).
  Answers hiddenAnswers;
  TestModel hiddenModel(build(hiddenAnswers));
  SkinnedWindow hidden(hiddenModel, context_);
  hidden.initialiseModel();
  EXPECT_FALSE(hidden.isRealised());
  EXPECT_EQ(ChildWindowCount(hidden.handle()), 0);
  RECT placed{};
  ::GetWindowRect(hidden.handle(), &placed);
  EXPECT_EQ(placed.right - placed.left, 884);
  EXPECT_EQ(placed.bottom - placed.top, 654);
  hidden.show();
  Pump(300);
  EXPECT_TRUE(hidden.isRealised());
  EXPECT_EQ(ChildWindowCount(hidden.handle()), 2);
  const WindowPixels later(hidden.handle());
  RECT shownAt{};
  ::GetWindowRect(hidden.handle(), &shownAt);
  const std::string tip = hidden.toolTipAt(Point{50, 128});
  const int top = hidden.topIndex(kList);
  hidden.hide();

  // The same model in a window realised before its first call.
  Answers realisedAnswers;
  TestModel realisedModel(build(realisedAnswers));
  SkinnedWindow realised(realisedModel, context_);
  realised.show();
  realised.initialiseModel();
  // Where the hidden start's first show placed its window (this one was centred while 1 by 1).
  ::SetWindowPos(realised.handle(), nullptr, shownAt.left, shownAt.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  Pump(300);
  EXPECT_EQ(hiddenAnswers, realisedAnswers);
  EXPECT_TRUE(hiddenAnswers.background && hiddenAnswers.drawn && !hiddenAnswers.missingDrawn);
  EXPECT_EQ(tip, realised.toolTipAt(Point{50, 128}));
  EXPECT_FALSE(tip.empty());
  EXPECT_EQ(top, realised.topIndex(kList));
  const WindowPixels first(realised.handle());
  ASSERT_EQ(later.width(), first.width());
  ASSERT_EQ(later.height(), first.height());
  int differing = 0;
  std::string where;
  for (int y = 0; y < first.height(); ++y) {
    for (int x = 0; x < first.width(); ++x) {
      if (later.at(x, y) == first.at(x, y)) continue;
      if (++differing <= 5) {
        where += " " + std::to_string(x) + "," + std::to_string(y) + ": " +
                 Describe(later.at(x, y)) + " against " + Describe(first.at(x, y));
      }
    }
  }
  EXPECT_EQ(differing, 0) << "pixels that differ between the two windows, the first:" << where;
  realised.hide();

  // A query realises at once; so do 4096 kept calls, so a window hidden for long holds no more.
  Answers queriedAnswers;
  TestModel queriedModel(build(queriedAnswers));
  SkinnedWindow queried(queriedModel, context_);
  queried.initialiseModel();
  EXPECT_EQ(queried.text(kStatic), "Neon");
  EXPECT_TRUE(queried.isRealised());
  TestModel busyModel([](const WindowPorts& ports) {
    for (int i = 0; i < 4095; ++i) ports.canvas->fillRect(Rect{0, 0, 1, 1}, Rgb{});
  });
  SkinnedWindow busy(busyModel, context_);
  busy.initialiseModel();
  EXPECT_FALSE(busy.isRealised());
  busy.present();
  EXPECT_TRUE(busy.isRealised());
}

}  // namespace
}  // namespace vm31::win32
