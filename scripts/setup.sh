#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running the program need.
# Quick and silent when everything is already there.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  libudev-dev qt6-base-dev
  # vm31ctl --json
  nlohmann-json3-dev
  # the desktop's mouse settings: GIO (GSettings, GDBus) and GNOME's mouse schema
  libglib2.0-dev gsettings-desktop-schemas
  # skins and icon are rendered from SVG at build time
  librsvg2-bin
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev python3
  # the window's font faces and their stand-ins (CJK sans and serif, Arial, Tahoma)
  fonts-wqy-microhei fonts-arphic-uming fonts-liberation fonts-dejavu-core
  # end-to-end tests: X server, pointer and keys, screenshots, a private session bus and the
  # desktop stand-in (Python GObject bindings); gsettings reads the desktop's pointer speed
  xvfb xdotool x11-apps dbus-daemon python3-gi libglib2.0-bin
  # the sanitizer builds and the fuzz targets (clang, libFuzzer and the sanitizer runtimes); the
  # save-sync test watches the system calls; the other-user tests switch users
  clang libclang-rt-14-dev strace util-linux
  # the kernel test: a qemu guest booted from an initramfs built with busybox; the libraries
  # that the guest's udevadm (from the udev package, see tests/kernel) loads
  qemu-system-x86 busybox-static xz-utils zstd libkmod2 libacl1 libblkid1 libcap2 libselinux1
  # the Debian package: man pages from --help, CPack's dependency list, its checks
  help2man dpkg-dev fakeroot file lintian desktop-file-utils appstream
  # the Windows build (MinGW-w64 cross compiler, POSIX threads) and Wine to run its tests;
  # xwininfo finds the Win32 shell's windows under Xvfb; the Windows installer (NSIS)
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64 wine x11-utils nsis
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The kernel test's guest kit: Debian's kernel and udev, fetched once into a cache.
bash "$(dirname "$0")/../tests/kernel/fetch_guest_kit.sh" >/dev/null
