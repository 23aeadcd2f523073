#pragma once
// vm31ctl emulator ...: the emulated mouse, reachable from outside the program.

#include <string>
#include <vector>

namespace vm31::cli {

// The arguments after "emulator":
//   run [--sensor-type N] [--trace FILE]   serve the emulated mouse until SIGINT/SIGTERM (exit 0)
//   plug | unplug
//   press rate 1000|500|250|125 | dpi 1..4 | group 1|2 | macro N
//   fault no-reply|overlong|wrong-index on|off | unplug-at N | latency MICROSECONDS
//   status
// Exit 0 done, 1 the emulator is not running (or gave no answer), 2 bad usage or a refused
// request, 3 the device definition, the trace file or the runtime folder is unusable, 4 the
// emulated mouse cannot be served (another one runs, a socket failed).
int RunEmulator(const std::vector<std::string>& args);

}  // namespace vm31::cli
