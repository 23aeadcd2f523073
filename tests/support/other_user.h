#pragma once
// Runs a piece of a test as another user (nobody), in a child process, so that a test can plant
// files the way another account on the machine would. Needs root; the tests skip otherwise.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace vm31::testing {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNoGroup = 65534;

inline bool CanActAsOtherUsers() {
  return ::geteuid() == 0;
}

// Runs `work` as uid/gid `kNobody` without supplementary groups; returns its exit status (what
// `work` returned), or -1 when the child could not be run or died.
inline int RunAsNobody(const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setgroups(0, nullptr) < 0 || ::setgid(kNoGroup) < 0 || ::setuid(kNobody) < 0) {
      ::_exit(125);
    }
    ::_exit(work());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace vm31::testing
