#!/usr/bin/env bash
# Configures and builds the Windows programs into build-windows/ with the MinGW-w64 cross
# compiler (warnings are errors): the core, the emulated mouse, vm31ctl.exe, the Win32 shell
# KOR_VM31.exe and the tests, statically linked, and the installer
# build-windows/kor-vm31-<version>-setup.exe (NSIS). `ctest --test-dir build-windows` runs the
# tests under Wine, in a Wine prefix of the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVM31_WERROR=ON \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-windows --parallel "$(nproc)"
