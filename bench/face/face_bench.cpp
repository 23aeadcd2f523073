// The main window's face in the Qt shell (offscreen platform, the rendered "Dark" skin, the
// emulated mouse): the time of one hover update and of one full page draw, each up to the
// window's repaint from the back buffer.
//
//   face_bench [runs]
// prints the medians; exits 1 when a hover update takes more than 1 ms or a page draw more than
// 5 ms (medians).

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "face_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

// Median of `runs` timings of `step`, each followed by the repaint the step asked for.
double MedianMicros(int runs, vm31::testing::FaceRig& rig, const std::function<void()>& step,
                    const std::function<void()>& reset) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    reset();
    QApplication::processEvents();
    const auto start = Clock::now();
    step();
    rig.window->repaint();  // the screen copy the present asked for, done now
    times.push_back(Micros(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  QTemporaryDir data;
  if (!data.isValid()) return 1;
  vm31::testing::FaceRig rig(data.path().toStdString(), VM31_SKINS_DIR, "Dark", 0,
                             vm31::FactoryConfig());
  rig.window->show();
  const vm31::Point onRow{300, 255};  // key row 3: picture and two texts
  const vm31::Point onOk{600, 630};   // OK: picture and caption
  const vm31::Point empty{200, 600};

  const double hoverRow = MedianMicros(
      runs, rig, [&] { rig.dlg->onHover(onRow); }, [&] { rig.dlg->onMouseMove(empty); });
  const double hoverOk = MedianMicros(
      runs, rig, [&] { rig.dlg->onHover(onOk); }, [&] { rig.dlg->onMouseMove(empty); });
  const double restore = MedianMicros(
      runs, rig, [&] { rig.dlg->onMouseMove(empty); }, [&] { rig.dlg->onHover(onRow); });
  const double basic = MedianMicros(
      runs, rig, [&] { rig.pages->rebuildPage(vm31::MainPage::kBasic); }, [] {});
  const double advanced = MedianMicros(
      runs, rig, [&] { rig.pages->rebuildPage(vm31::MainPage::kAdvanced); }, [] {});

  std::printf("hover update, key row: median %.0f us\n", hoverRow);
  std::printf("hover update, OK button: median %.0f us\n", hoverOk);
  std::printf("restore on leaving: median %.0f us\n", restore);
  std::printf("full draw, basic page: median %.0f us\n", basic);
  std::printf("full draw, advanced page: median %.0f us\n", advanced);
  const bool ok =
      std::max({hoverRow, hoverOk, restore}) <= 1000 && std::max(basic, advanced) <= 5000;
  std::printf("%s\n", ok ? "within limits (1 ms, 5 ms)" : "LIMIT MISSED");
  return ok ? 0 : 1;
}
