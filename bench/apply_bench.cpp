// The apply sequence against the emulated mouse with the real clock: how close the whole run
// comes to its mandated minimum (249 ms of protocol waits plus the transfers' own time), and the
// CPU time it takes. Two halves in one run: the machine as it is, then with two busy processes
// beside the apply (started by the bench, one per core of a two-core machine).
//
//   apply_bench [runs per half]
// prints one line per run and a summary per half (with how much the waits overslept, and how
// much of that came from the few waits that ended well after their deadline); exits 1 when a run
// fails, when the worst ratio of either half exceeds 1.02 or when the mean CPU time of an apply
// exceeds 5 ms.

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/device/device_link.h"
#include "emulator/emulated_hid_bus.h"
#include "emulator/emulated_mouse.h"
#include "platform/linux/steady_clock.h"

namespace {

using namespace vm31;
using Micros = std::chrono::duration<double, std::micro>;

// The real clock, adding up how long its waits actually took (time the protocol asks for plus
// any oversleep), so that the transfers' own time is what remains of a run; and how the
// oversleep is made up: the waits that ended more than kLateWait after their deadline (the
// thread not run in time: its spin cannot cover that) and what they overslept.
class MeasuringClock : public Clock {
 public:
  static constexpr std::chrono::microseconds kLateWait{100};

  TimePoint now() override { return inner_.now(); }
  void waitUntil(TimePoint deadline) override {
    const TimePoint start = inner_.now();
    if (deadline > start) asked_ += deadline - start;
    inner_.waitUntil(deadline);
    const TimePoint end = inner_.now();
    spent_ += end - start;
    if (end - deadline > kLateWait) {
      ++lateWaits_;
      lateBy_ += end - deadline;
    }
  }
  void reset() {
    asked_ = spent_ = lateBy_ = {};
    lateWaits_ = 0;
  }
  std::chrono::nanoseconds asked_{}, spent_{}, lateBy_{};
  int lateWaits_ = 0;

 private:
  linux_platform::SteadyClock inner_;
};

class NullSink : public EventSink {
 public:
  void deliver(const DeviceEvent&) override {}
};

Micros ThreadCpuTime() {
  timespec at{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &at);
  return std::chrono::seconds(at.tv_sec) + std::chrono::nanoseconds(at.tv_nsec);
}

// Processes that keep a core busy until they are stopped.
class BusyProcesses {
 public:
  explicit BusyProcesses(int count) {
    for (int k = 0; k < count; ++k) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        volatile unsigned long spins = 0;
        for (;;) spins = spins + 1;
      }
      if (pid > 0) children_.push_back(pid);
    }
  }
  ~BusyProcesses() {
    for (pid_t pid : children_) ::kill(pid, SIGKILL);
    for (pid_t pid : children_) ::waitpid(pid, nullptr, 0);
  }
  int count() const { return static_cast<int>(children_.size()); }

 private:
  std::vector<pid_t> children_;
};

struct Half {
  double worstRatio = 0;
  double sumRatio = 0;
  double sumCpuMs = 0;
  double sumOversleptMs = 0;
  double sumLateMs = 0;
  int lateWaits = 0;
};

constexpr double kMandatedWaitsMs = 249.0;
constexpr double kRatioLimit = 1.02;
constexpr double kCpuLimitMs = 5.0;

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
  // One half of the bench: `runs` applies, each line printed; false when an apply failed.
  const auto measure = [&](const char* label, Half& half) {
    for (int run = 1; run <= runs; ++run) {
      clock.reset();
      const Micros cpuBefore = ThreadCpuTime();
      const auto start = std::chrono::steady_clock::now();
      const auto outcome = link.apply(config);
      const Micros total = std::chrono::steady_clock::now() - start;
      const double cpuMs = (ThreadCpuTime() - cpuBefore).count() / 1000.0;
      if (!outcome.ok() || !outcome.value().ok()) {
        std::fprintf(stderr, "apply_bench: %s run %d failed\n", label, run);
        return false;
      }
      const Micros waited = clock.spent_;
      const Micros asked = clock.asked_;
      const double transfersMs = (total - waited).count() / 1000.0;
      const double minimumMs = kMandatedWaitsMs + transfersMs;
      const double ratio = total.count() / 1000.0 / minimumMs;
      half.worstRatio = std::max(half.worstRatio, ratio);
      half.sumRatio += ratio;
      half.sumCpuMs += cpuMs;
      const double lateMs = Micros(clock.lateBy_).count() / 1000.0;
      half.sumOversleptMs += (waited - asked).count() / 1000.0;
      half.sumLateMs += lateMs;
      half.lateWaits += clock.lateWaits_;
      std::printf(
          "%s run %2d: total %.3f ms, waits asked %.3f ms, slept %.3f ms, transfers %.3f ms, "
          "ratio %.4f, CPU %.2f ms; %d waits over %lld us late, by %.3f ms in all\n",
          label, run, total.count() / 1000.0, asked.count() / 1000.0, waited.count() / 1000.0,
          transfersMs, ratio, cpuMs, clock.lateWaits_,
          static_cast<long long>(MeasuringClock::kLateWait.count()), lateMs);
    }
    return true;
  };
  Half asIs;
  Half loaded;
  if (!measure("as is", asIs)) return 1;
  {
    const BusyProcesses busy(2);
    if (busy.count() != 2) {
      std::fprintf(stderr, "apply_bench: cannot start the busy processes\n");
      return 1;
    }
    if (!measure("loaded", loaded)) return 1;
  }
  bool met = true;
  for (const auto& [label, half] : {std::pair{"as is", &asIs}, std::pair{"two busy", &loaded}}) {
    const double meanCpu = half->sumCpuMs / runs;
    std::printf(
        "apply sequence, %s: mean ratio %.4f, worst %.4f (limit %.2f); mean CPU %.2f ms (limit "
        "%.0f) over %d runs\n",
        label, half->sumRatio / runs, half->worstRatio, kRatioLimit, meanCpu, kCpuLimitMs, runs);
    std::printf(
        "  per apply: overslept %.3f ms, of which %.3f ms in %.1f waits over %lld us late\n",
        half->sumOversleptMs / runs, half->sumLateMs / runs,
        static_cast<double>(half->lateWaits) / runs,
        static_cast<long long>(MeasuringClock::kLateWait.count()));
    met = met && half->worstRatio <= kRatioLimit && meanCpu <= kCpuLimitMs;
  }
  return met ? 0 : 1;
}
