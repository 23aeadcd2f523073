#include "cli/emulator_commands.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>

#include "cli/cli_support.h"
#include "cli/platform_backends.h"
#include "core/settings/report_rate.h"
#include "core/util/path_text.h"
#include "emulator/emulated_mouse.h"
#include "emulator/emulator_service.h"
#include "emulator/wire_trace.h"

namespace vm31::cli {
namespace {

constexpr int kOk = kExitOk;
constexpr int kNotRunning = kExitAbsent;
constexpr int kBadUsage = kExitUsage;
// The emulated mouse could not be served (sockets, another emulator already serving).
constexpr int kServeFailed = kExitDeviceFailure;

int RunServer(const std::vector<std::string>& args) {
  std::optional<int> sensorType;
  std::optional<std::string> tracePath;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--sensor-type" && i + 1 < args.size()) {
      sensorType = ParseEmulatorNumber(args[++i], 0, 255);
      if (!sensorType) return Fail(kBadUsage, "--sensor-type takes 0..255");
    } else if (args[i] == "--trace" && i + 1 < args.size()) {
      tracePath = args[++i];
    } else {
      return Fail(kBadUsage, "usage: vm31ctl emulator run [--sensor-type N] [--trace FILE]");
    }
  }
  auto folder = platform::UserRuntimeFolder();
  if (!folder) return Fail(kExitFileError, folder.error().message);
  // The same device definition the program uses, so that both sides share the codec.
  auto definition = LoadProgramDeviceDefinition();
  if (!definition) return Fail(kExitFileError, definition.error().message);

  SystemClock clock;
  EmulatedMouse mouse(definition.value(), clock);
  if (sensorType) mouse.setSensorType(static_cast<std::uint8_t>(*sensorType));
  std::ofstream traceFile;
  std::unique_ptr<WireTrace> trace;
  if (tracePath) {
    traceFile.open(PathFromUtf8(*tracePath), std::ios::binary | std::ios::trunc);
    if (!traceFile) return Fail(kExitFileError, *tracePath + ": cannot be written");
    trace = std::make_unique<WireTrace>(traceFile, clock, definition.value());
    mouse.setTrace(trace.get());
  }
  EmulatorService service(mouse, Say);
  const std::string banner =
      "emulated mouse running (sensor type " + std::to_string(mouse.state().sensorInfo.sensorType) +
      ", " + platform::EmulatorEndpointsInWords(folder.value()) + "); Ctrl+C ends it";
  auto served = platform::ServeEmulator(service, folder.value(), [&] {
    Say(banner);
    Say("plugged in");
  });
  mouse.setTrace(nullptr);
  if (!served) return Fail(kServeFailed, served.error().message);
  Say("stopped");
  return kOk;
}

int Request(const std::string& line) {
  auto answer = platform::EmulatorControlRequest(line);
  if (!answer) return Fail(kNotRunning, answer.error().message);
  if (answer.value().rfind("ok", 0) == 0) {
    Say(answer.value().size() > 3 ? answer.value().substr(3) : answer.value());
    return kOk;
  }
  return Fail(kBadUsage,
              answer.value().rfind("error ", 0) == 0 ? answer.value().substr(6) : answer.value());
}

constexpr const char* kUsage =
    "usage: vm31ctl emulator run [--sensor-type N] [--trace FILE]\n"
    "       vm31ctl emulator plug | unplug | status\n"
    "       vm31ctl emulator press rate 1000|500|250|125 | dpi 1..4 | group 1|2 | macro N\n"
    "       vm31ctl emulator fault no-reply|overlong|wrong-index on|off | unplug-at N | "
    "latency MICROSECONDS";

// The usage text has several lines and holds no outside text, so it is printed as it stands.
int UsageError() {
  std::fprintf(stderr, "vm31ctl: %s\n", kUsage);
  return kBadUsage;
}

}  // namespace

int RunEmulator(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError();
  const std::string& verb = args[0];
  if (verb == "run") return RunServer(args);
  if ((verb == "plug" || verb == "unplug" || verb == "status") && args.size() == 1) {
    return Request(verb);
  }
  if (verb == "press" && args.size() == 3) {
    const std::string& kind = args[1];
    const std::string& value = args[2];
    const std::optional<int> number = ParseEmulatorNumber(value, 0, 100000);
    const bool valid = (kind == "rate" && number && FindReportRateByHz(*number) != nullptr) ||
                       (kind == "dpi" && ParseEmulatorNumber(value, 1, 4)) ||
                       (kind == "group" && ParseEmulatorNumber(value, 1, 2)) ||
                       (kind == "macro" && ParseEmulatorNumber(value, 1, 255));
    if (!valid) return UsageError();
    return Request("press " + kind + " " + value);
  }
  if (verb == "fault" && args.size() == 3) return Request("fault " + args[1] + " " + args[2]);
  return UsageError();
}

}  // namespace vm31::cli
