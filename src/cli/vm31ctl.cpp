// vm31ctl: inspect and compile the mouse tool's files from the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "core/settings/config_file.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "config" && args[1] == "factory" && args[2] == "--output") {
    auto written = vm31::WriteFileAtomically(args[3], vm31::ConfigFileImage(0, vm31::FactoryConfig()));
    if (!written) {
      std::fprintf(stderr, "vm31ctl: %s\n", written.error().message.c_str());
      return 2;
    }
    return 0;
  }
  std::fprintf(stderr, "vm31ctl: usage: see vm31ctl --help\n");
  return 1;
}
