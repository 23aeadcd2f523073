#!/usr/bin/env bash
# Sets everything up, builds and runs every test; prints the seconds each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
bash scripts/setup.sh
bash scripts/build.sh
echo "test: the build took $((SECONDS - start)) s"
start=$SECONDS
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
echo "test: the suite took $((SECONDS - start)) s"
# The Windows programs, cross-built, and their tests under Wine.
start=$SECONDS
bash scripts/build-windows.sh
ctest --test-dir build-windows --output-on-failure
echo "test: the Windows build and its tests under Wine took $((SECONDS - start)) s"
# The suite again under AddressSanitizer + UndefinedBehaviorSanitizer, the fuzz targets, and the
# core's threaded tests under ThreadSanitizer.
bash scripts/test-sanitizers.sh
