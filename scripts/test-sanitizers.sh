#!/usr/bin/env bash
# The sanitizer stages of the test run (called by test.sh; runs alone as well):
#   1. one clang build with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/): the
#      whole suite and the libFuzzer targets of fuzz/;
#   2. the whole suite in that build; any report fails the test that made it;
#   3. every fuzz target for VM31_FUZZ_SECONDS (default 20) from its committed seed corpus
#      with libFuzzer's seed VM31_FUZZ_SEED (default 1: the same start on every machine;
#      scripts/fuzz.sh); any finding fails;
#   4. a ThreadSanitizer build of the core's tests (build-tsan/), which hold the reader thread,
#      the device link and the windows, run whole.
# Prints the seconds each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${VM31_FUZZ_SECONDS:-20}
jobs=$(nproc)
root=$PWD

stage_start=$SECONDS
stage_done() {
  echo "sanitizers: $1 took $((SECONDS - stage_start)) s"
  stage_start=$SECONDS
}

configure() {  # configure FOLDER SANITIZERS [OPTIONS...]
  local folder=$1 sanitizers=$2
  shift 2
  # Warnings are the gcc build's gate (-Werror); these builds look for faults at run time.
  cmake -S . -B "$folder" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVM31_SANITIZE="$sanitizers" "$@" >/dev/null
}

# Leaks of the system's libraries (GLib's type system, D-Bus) are theirs and live until exit;
# only they are suppressed (tests/sanitizers/lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0

configure build-asan address,undefined -DVM31_FUZZ=ON
cmake --build build-asan --parallel "$jobs"
stage_done "the ASan+UBSan build"

# The package test checks what is packed, not the code; the kernel guest boots the gcc build's
# programs: both run once, in the suite of test.sh.
not_again='^(package|kernel)\.'
ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --label-exclude qt -E "$not_again"
# The Qt programs (label qt) without leak detection: Qt, fontconfig and the GL and X libraries
# keep caches and plugin data until the process ends, which LSan reports as leaks of theirs.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --label-regex qt -E "$not_again"
stage_done "the suite under ASan+UBSan"

VM31_FUZZ_SEED=${VM31_FUZZ_SEED:-1} bash scripts/fuzz.sh "$fuzz_seconds"
stage_done "the fuzz targets (${fuzz_seconds} s each)"

configure build-tsan thread
cmake --build build-tsan --parallel "$jobs" --target core_tests
stage_done "the TSan build of the core's tests"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/bin/core_tests --gtest_brief=1
stage_done "the core's tests under TSan"
