#!/usr/bin/env bash
# Runs every libFuzzer target of fuzz/ for SECONDS each (default 20) from its committed seed
# corpus, in the ASan+UBSan build (build-asan/, built here when needed). Fails on any finding;
# the input that found it is kept in build-asan/fuzz-findings/<target>-crash-... and reproduces
# with `build-asan/fuzz/<target> FILE`. A long run: bash scripts/fuzz.sh 300
# VM31_FUZZ_SEED fixes libFuzzer's random seed (the test run uses 1, so the same commit explores
# the same inputs first on every machine); unset, each run explores anew.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
if [ ! -f build-asan/CMakeCache.txt ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVM31_SANITIZE=address,undefined -DVM31_FUZZ=ON >/dev/null
fi
cmake --build build-asan --parallel "$(nproc)" --target fuzz_targets

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
findings=build-asan/fuzz-findings
rm -rf "$findings" && mkdir -p "$findings"
failed=()
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  scratch=$(mktemp -d)
  # New inputs go to the scratch folder; the committed seeds are only read.
  if build-asan/fuzz/"$target" -max_total_time="$seconds" ${VM31_FUZZ_SEED:+-seed="$VM31_FUZZ_SEED"} \
      -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" "$scratch" "$corpus" \
      >"$findings/$target.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$findings/$target.log")
    coverage=$(grep -o 'cov: [0-9]*' "$findings/$target.log" | tail -n 1)
    echo "fuzz: $target: ${runs:-?} runs in $seconds s, ${coverage:-cov: ?} edges, no finding"
  else
    tail -n 60 "$findings/$target.log"
    failed+=("$target")
  fi
  rm -rf "$scratch"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings of ${failed[*]} in $findings" >&2
  exit 1
fi
