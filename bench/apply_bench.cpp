// The apply sequence against the emulated mouse with the real clock: how close the whole run
// comes to its mandated minimum (249 ms of protocol waits plus the transfers' own time).
//
//   apply_bench [runs]
// prints one line per run and a summary; exits 1 when a run fails or the worst ratio exceeds
// 1.02.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/device/device_link.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "platform/linux/steady_clock.h"

namespace {

using namespace vm31;
using Micros = std::chrono::duration<double, std::micro>;

// The real clock, adding up how long its waits actually took (time the protocol asks for plus
// any oversleep), so that the transfers' own time is what remains of a run.
class MeasuringClock : public Clock {
 public:
  TimePoint now() override { return inner_.now(); }
  void waitUntil(TimePoint deadline) override {
    const TimePoint start = inner_.now();
    if (deadline > start) asked_ += deadline - start;
    inner_.waitUntil(deadline);
    spent_ += inner_.now() - start;
  }
  void reset() { asked_ = spent_ = {}; }
  std::chrono::nanoseconds asked_{}, spent_{};

 private:
  linux_platform::SteadyClock inner_;
};

class NullSink : public EventSink {
 public:
  void deliver(const DeviceEvent&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  MeasuringClock clock;
  EmulatedMouse mouse(DeviceDefinition{}, clock);
  EmulatedHidBus bus(mouse);
  NullSink sink;
  DeviceLink link(bus, clock, sink, DeviceDefinition{});
  bus.plug();
  if (!link.startUp() || !link.sensorRefresh().ok()) {
    std::fprintf(stderr, "apply_bench: the emulated mouse was not detected\n");
    return 1;
  }
  const MouseConfig config = FactoryConfig();
  constexpr double kMandatedWaitsMs = 249.0;
  double worst = 0;
  double sum = 0;
  for (int run = 1; run <= runs; ++run) {
    clock.reset();
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = link.apply(config);
    const Micros total = std::chrono::steady_clock::now() - start;
    if (!outcome.ok() || !outcome.value().ok()) {
      std::fprintf(stderr, "apply_bench: run %d failed\n", run);
      return 1;
    }
    const Micros waited = clock.spent_;
    const Micros asked = clock.asked_;
    const double transfersMs = (total - waited).count() / 1000.0;
    const double minimumMs = kMandatedWaitsMs + transfersMs;
    const double ratio = total.count() / 1000.0 / minimumMs;
    worst = std::max(worst, ratio);
    sum += ratio;
    std::printf(
        "run %2d: total %.3f ms, waits asked %.3f ms, slept %.3f ms, transfers %.3f ms, "
        "ratio %.4f\n",
        run, total.count() / 1000.0, asked.count() / 1000.0, waited.count() / 1000.0, transfersMs,
        ratio);
  }
  std::printf(
      "apply sequence: mean ratio %.4f, worst %.4f (limit 1.02) over %d runs\n", sum / runs,
      worst, runs);
  return worst <= 1.02 ? 0 : 1;
}
