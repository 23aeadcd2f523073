#!/usr/bin/env bash
# Builds the Debian package: a Release build of the programs (no tests, no benchmarks) for the
# /usr prefix into build-release/, with Debian's compiler and linker flags (dpkg-buildflags:
# -O2, hardening), packed by CPack with stripped programs and dependencies from dpkg-shlibdeps.
# Prints the package's path (build-release/kor-vm31_<version>_<arch>.deb).
#
#   sudo apt-get install ./build-release/kor-vm31_*.deb     (or: sudo dpkg -i ...)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_INSTALL_PREFIX=/usr -DVM31_BUILD_TESTS=OFF -DVM31_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-release --parallel "$(nproc)"
rm -f build-release/*.deb
(cd build-release && cpack -G DEB >/dev/null)
ls build-release/*.deb
