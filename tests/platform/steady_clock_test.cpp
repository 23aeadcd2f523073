// How a thread that keeps the protocol's waits is scheduled, read back from the kernel's own
// report (/proc/thread-self/sched), for an unprivileged user as the program runs.
#include "platform/linux/steady_clock.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace vm31::linux_platform {
namespace {

// The calling thread's time slice in nanoseconds, as the kernel reports it.
std::optional<long long> OwnSlice() {
  std::ifstream report("/proc/thread-self/sched");
  std::string line;
  while (std::getline(report, line)) {
    if (line.rfind("se.slice", 0) != 0) continue;
    std::istringstream fields(line.substr(line.find(':') + 1));
    long long slice = 0;
    if (fields >> slice) return slice;
  }
  return std::nullopt;
}

bool KernelTakesSlices() {
  utsname name{};
  int major = 0;
  int minor = 0;
  return ::uname(&name) == 0 && std::sscanf(name.release, "%d.%d", &major, &minor) == 2 &&
         (major > 6 || (major == 6 && minor >= 12));
}

// In a child process, as nobody when run as root: a first wait gives the thread the short
// slice; a thread it starts has the default again; a batch thread is left as its user made it.
// Exits 0 when all hold, else with the number of the first that does not.
int CheckSlicesAsAnUnprivilegedUser() {
  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
  std::optional<long long> standard, waiting, started, batch;
  std::thread([&] {
    standard = OwnSlice();
    SteadyClock clock;
    clock.waitUntil(clock.now() + std::chrono::milliseconds(1));
    waiting = OwnSlice();
    std::thread([&] { started = OwnSlice(); }).join();
  }).join();
  std::thread([&] {
    const sched_param none{};
    if (::pthread_setschedparam(::pthread_self(), SCHED_BATCH, &none) != 0) return;
    SteadyClock clock;
    clock.waitUntil(clock.now() + std::chrono::milliseconds(1));
    if (::sched_getscheduler(0) == SCHED_BATCH) batch = OwnSlice();
  }).join();
  if (!standard) return 1;
  if (waiting != 100'000) return 2;
  if (started != standard) return 3;
  if (batch != standard) return 4;
  return 0;
}

TEST(SteadyClockScheduling, AWaitingThreadRunsInShortSlicesWhatItStartsInTheDefaultOnes) {
  if (!KernelTakesSlices() || !OwnSlice()) {
    GTEST_SKIP() << "the kernel takes no time slice per thread (Linux 6.12 and later do)";
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(CheckSlicesAsAnUnprivilegedUser()), ::testing::ExitedWithCode(0), "")
      << "exit 1: no slice reported, 2: the waiting thread's slice is not 0.1 ms, 3: a thread it "
         "started kept it, 4: a batch thread was changed";
}

}  // namespace
}  // namespace vm31::linux_platform
