// The reader thread's cost while nothing happens, and how fast a button press on the mouse
// reaches the user-interface thread. Runs the real Linux backend (hidraw + the emulated mouse's
// socket) in a private runtime folder, with the emulated mouse served by `vm31ctl emulator run`
// in a child process.
//
//   reader_wakeups [seconds] [presses] [vm31ctl]
// Counts the reader thread's context switches (voluntary and involuntary, from
// /proc/self/task/<tid>/status) over `seconds` (default 10) with the mouse absent, then present
// and silent; then times `presses` (default 200) DPI presses from the request to the emulator to
// the event being handled on the user-interface thread. Exits 1 when the reader woke up while
// idle or the median latency exceeds 1 ms.

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/device/device_link.h"
#include "platform/linux/emulator_socket.h"
#include "platform/linux/executable_folder.h"
#include "platform/linux/linux_device_backend.h"

namespace {

using namespace vm31;
using WallClock = std::chrono::steady_clock;

std::set<int> ThreadIds() {
  std::set<int> ids;
  if (DIR* tasks = ::opendir("/proc/self/task")) {
    while (const dirent* entry = ::readdir(tasks)) {
      if (entry->d_name[0] != '.') ids.insert(std::atoi(entry->d_name));
    }
    ::closedir(tasks);
  }
  return ids;
}

long ContextSwitches(int tid) {
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  long total = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
        line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
      total += std::atol(line.substr(line.find(':') + 1).c_str());
    }
  }
  return total;
}

// Runs the user-interface loop (hotplug and event hand-off) for `seconds`, or until `until`.
template <typename Until>
void RunLoop(linux_platform::LinuxDeviceBackend& backend, LoopEventSink& sink, int sinkFd,
             DeviceLink& link, WallClock::duration length, Until until) {
  const auto end = WallClock::now() + length;
  while (WallClock::now() < end && !until()) {
    pollfd fds[2] = {{backend.hotplugFd(), POLLIN, 0}, {sinkFd, POLLIN, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - WallClock::now());
    if (::poll(fds, 2, static_cast<int>(std::max<long long>(left.count(), 0)) + 1) <= 0) continue;
    if (fds[1].revents & POLLIN) sink.dispatch();
    if (fds[0].revents & POLLIN) {
      for (const auto& event : backend.hotplugEvents()) link.handleHotplug(event);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  const int presses = argc > 2 ? std::atoi(argv[2]) : 200;
  const auto exeFolder = linux_platform::ExecutableFolder();
  const std::string ctl = argc > 3 ? argv[3] : (exeFolder.value() / "vm31ctl").string();

  char folderTemplate[] = "/tmp/vm31-bench-XXXXXX";
  if (!::mkdtemp(folderTemplate)) return 2;
  ::setenv("XDG_RUNTIME_DIR", folderTemplate, 1);

  auto backend = linux_platform::LinuxDeviceBackend::create(DeviceDefinition{});
  if (!backend) {
    std::fprintf(stderr, "%s\n", backend.error().message.c_str());
    return 2;
  }
  std::vector<WallClock::duration> latencies;
  WallClock::time_point pressedAt;
  bool handled = false;
  auto wake = linux_platform::EventFdWake::create();
  if (!wake) return 2;
  auto sink = std::make_unique<LoopEventSink>(
      [&](const DeviceEvent& event) {
        if (const auto* switched = std::get_if<SwitchEvent>(&event);
            switched != nullptr && switched->which == MouseSwitch::kDpiStage) {
          latencies.push_back(WallClock::now() - pressedAt);
          handled = true;
        }
      },
      *wake.value());
  DeviceLink link(backend.value()->bus(), backend.value()->clock(), *sink, DeviceDefinition{});
  link.startUp();
  const std::set<int> before = ThreadIds();
  link.reader().start();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it reach its wait
  int readerTid = 0;
  for (int tid : ThreadIds()) {
    if (!before.count(tid)) readerTid = tid;
  }
  if (readerTid == 0 || ContextSwitches(readerTid) == 0) {
    std::fprintf(stderr, "the reader thread was not found\n");  // it switched at least to wait
    return 2;
  }
  const auto never = [] { return false; };

  long start = ContextSwitches(readerTid);
  RunLoop(*backend.value(), *sink, wake.value()->fd(), link, std::chrono::seconds(seconds), never);
  const long absentSwitches = ContextSwitches(readerTid) - start;
  std::printf("absent:  %ld reader context switches in %d s (%.2f/s)\n", absentSwitches, seconds,
              static_cast<double>(absentSwitches) / seconds);

  std::fflush(stdout);
  const pid_t emulator = ::fork();
  if (emulator == 0) {
    std::freopen("/dev/null", "w", stdout);
    ::execl(ctl.c_str(), ctl.c_str(), "emulator", "run", static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  RunLoop(*backend.value(), *sink, wake.value()->fd(), link, std::chrono::seconds(5),
          [&] { return link.devicePresent(); });
  if (!link.devicePresent()) {
    std::fprintf(stderr, "the emulated mouse did not arrive (%s emulator run)\n", ctl.c_str());
    ::kill(emulator, SIGINT);
    ::waitpid(emulator, nullptr, 0);
    return 2;
  }
  RunLoop(*backend.value(), *sink, wake.value()->fd(), link, std::chrono::milliseconds(200), never);
  start = ContextSwitches(readerTid);
  RunLoop(*backend.value(), *sink, wake.value()->fd(), link, std::chrono::seconds(seconds), never);
  const long presentSwitches = ContextSwitches(readerTid) - start;
  std::printf("present: %ld reader context switches in %d s (%.2f/s), silent mouse\n",
              presentSwitches, seconds, static_cast<double>(presentSwitches) / seconds);

  for (int i = 0; i < presses; ++i) {
    handled = false;
    pressedAt = WallClock::now();
    if (!linux_platform::EmulatorControlRequest("press dpi 2")) break;
    RunLoop(*backend.value(), *sink, wake.value()->fd(), link, std::chrono::seconds(1),
            [&] { return handled; });
  }
  ::kill(emulator, SIGINT);
  ::waitpid(emulator, nullptr, 0);
  link.reader().stop();
  std::filesystem::remove_all(folderTemplate);

  if (latencies.empty()) {
    std::fprintf(stderr, "no event arrived\n");
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  const auto us = [](WallClock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
  };
  std::printf(
      "event latency over %zu presses (request to the emulator -> handled on the loop thread): "
      "median %.0f us, p99 %.0f us, max %.0f us\n",
      latencies.size(), us(latencies[latencies.size() / 2]),
      us(latencies[latencies.size() * 99 / 100]), us(latencies.back()));
  const bool ok = absentSwitches == 0 && presentSwitches == 0 &&
                  latencies.size() == static_cast<std::size_t>(presses) &&
                  latencies[latencies.size() / 2] <= std::chrono::milliseconds(1);
  return ok ? 0 : 1;
}
