#!/usr/bin/env bash
# Renders a screenshot of KOR_VM31's window, as a user sees it when shown from the tray:
# the program runs under Xvfb on a private session bus with a desktop stand-in (a tray host and
# a notification service) against the emulated mouse, and the window is captured once mapped.
#
#   scripts/screenshot.sh [OUT_DIR]      (default docs/screenshots; writes KOR_VM31-window.png)
#
# Builds first when build/bin/KOR_VM31 is missing. Needs the packages of scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
out_dir=${1:-docs/screenshots}
[ -x build/bin/KOR_VM31 ] || { bash scripts/setup.sh && bash scripts/build.sh; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dbus-run-session -- /usr/bin/python3 tests/e2e/tray_e2e.py --scenario tray --bin build/bin \
  --out "$work" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
mkdir -p "$out_dir"
cp "$work/tray-window.png" "$out_dir/KOR_VM31-window.png"
echo "screenshot: $out_dir/KOR_VM31-window.png"
