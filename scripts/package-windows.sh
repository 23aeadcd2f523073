#!/usr/bin/env bash
# Builds the Windows installer: the Windows build (scripts/build-windows.sh) and its NSIS
# installer, packed from the build's `install` tree with the programs stripped (the installer
# target, res/windows). Prints the installer's path (build-windows/kor-vm31-<version>-setup.exe).
#
#   kor-vm31-<version>-setup.exe                      (asks for the folder)
#   kor-vm31-<version>-setup.exe /S [/D=C:\folder]    (silent; /D= last, without quotes)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
rm -f build-windows/*-setup.exe
bash scripts/build-windows.sh
cmake --build build-windows --target installer >/dev/null
ls build-windows/*-setup.exe
