#!/usr/bin/env bash
# Configures and builds into build/ (warnings are errors). Used by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVM31_WERROR=ON >/dev/null
cmake --build build --parallel "$(nproc)"
