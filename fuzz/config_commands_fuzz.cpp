// `vm31ctl config show` (text and JSON) and `config check` over any config.bin: they never crash
// and always end with an exit status. Their messages go to /dev/null while they run (one line per
// input would flood the log); run a saved crashing input again to see its report.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/file_commands.h"
#include "fuzz_check.h"

namespace {

std::string InputPath() {
  const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm")
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
  return (folder / ("vm31-config-fuzz-" + std::to_string(::getpid()) + ".bin")).string();
}

int g_quiet = -1;   // /dev/null
int g_stderr = -1;  // the real standard error

// Standard error of the commands goes nowhere, the fuzzer's own output stays.
class Quiet {
 public:
  Quiet() {
    std::fflush(stderr);
    ::dup2(g_quiet, STDERR_FILENO);
  }
  ~Quiet() {
    std::fflush(stderr);
    ::dup2(g_stderr, STDERR_FILENO);
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The commands print every field; the run only needs their exit status.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  g_quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  g_stderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 10);
  return g_quiet >= 0 && g_stderr >= 0 ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = InputPath();
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);
  }
  int statuses[3];
  {
    Quiet quiet;
    statuses[0] = vm31::cli::RunConfigShow({"--config", path});
    statuses[1] = vm31::cli::RunConfigShow({"--config", path, "--json"});
    statuses[2] = vm31::cli::RunConfigCheck({"--config", path});
  }
  for (int status : statuses) FUZZ_CHECK(status >= 0 && status < 64);
  std::remove(path.c_str());
  return 0;
}
