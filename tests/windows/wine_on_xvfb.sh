#!/usr/bin/env bash
# Runs a Windows test program under Wine on an X display of its own (Xvfb, which picks a free
# display itself), in the Wine prefix WINE_PREFIX, kept between runs; the prefix's wineserver is
# ended before and after, so its programs use this run's display.
# Usage: wine_on_xvfb.sh WINE_RUNNER WINE_PREFIX PROGRAM [ARGUMENT...]
set -uo pipefail
wine=$1
export VM31_WINEPREFIX=$2
shift 2
scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
  WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix -nolock -noreset \
  3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  grep -q '[0-9]' "$scratch/display" && break
  sleep 0.1
done
grep -q '[0-9]' "$scratch/display" || { echo "no X display:"; cat "$scratch/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n 1 "$scratch/display")"
"$wine" "$@"
