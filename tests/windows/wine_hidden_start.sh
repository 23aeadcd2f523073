#!/usr/bin/env bash
# KOR_VM31.exe started plainly under Wine on Xvfb, against vm31ctl.exe emulator run: it stays
# hidden in the tray (its main window unrealised: no picture decoded, no control created), and a
# second start with --show brings up the face the Linux shell shows in the same state
# (docs/screenshots/KOR_VM31-window.png), made at that first show. In the Wine prefix
# WINE_PREFIX, kept between runs; its wineserver is ended before and after.
# Usage: wine_hidden_start.sh WINE_RUNNER WINE_PREFIX BIN_FOLDER
set -uo pipefail
wine=$1
export VM31_WINEPREFIX=$2
bin=$3
here=$(cd "$(dirname "$0")" && pwd)
picture="$here/window_picture.py"
scratch=$(mktemp -d)
xvfb_pid=
emulator_pid=
app_pid=
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  [ -z "$emulator_pid" ] || kill "$emulator_pid" 2>/dev/null
  WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# until COMMAND succeeds, 60 s at most (a fresh prefix boots in the first program's time)
wait_until() {
  local what=$1
  shift
  for _ in $(seq 300); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  fail "no $what within 60 s"
  return 1
}

WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix -nolock -noreset \
  3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
wait_until "X display" grep -q '[0-9]' "$scratch/display" || exit 1
export DISPLAY=":$(head -n 1 "$scratch/display")"
xdotool mousemove 0 0  # the pointer off the window: no hover feedback in the screenshot

# A portable copy (its folder holds config.bin) in English with the Dark skin.
app="$scratch/app"
mkdir -p "$app"
cp -r "$bin/KOR_VM31.exe" "$bin/vm31ctl.exe" "$bin/config.bin" "$bin/record.ini" "$bin/Skins" \
  "$app/"
printf '[Skins]\r\nRColor=0\r\nGColor=255\r\nBColor=0\r\nPath=Dark\r\nLan=EN\r\n' >"$app/str.ini"

"$wine" "$app/vm31ctl.exe" emulator run >"$scratch/emulator.log" 2>&1 &
emulator_pid=$!
wait_until "emulated mouse" grep -q "plugged in" "$scratch/emulator.log" ||
  { cat "$scratch/emulator.log"; exit 1; }

# A plain start: the tray icon, no window. Its instance window tells when it is up.
"$wine" "$app/KOR_VM31.exe" >"$scratch/app.log" 2>&1 &
app_pid=$!
tray_icon() { xdotool search --onlyvisible --name '^Wine System Tray$'; }
wait_until "tray icon after a plain start" tray_icon || { cat "$scratch/app.log"; exit 1; }
sleep 3  # the mouse's handshake and the page's first drawing, all kept while hidden
shown() { xdotool search --onlyvisible --name '^Gaming Mouse Setting$'; }
[ -z "$(shown)" ] || fail "a plain start shows a window"

# --show from a second start: the window is made now and shows the whole face.
timeout 30 "$wine" "$app/KOR_VM31.exe" --show >"$scratch/second.log" 2>&1 ||
  fail "the second start with --show: $(cat "$scratch/second.log")"
if wait_until "window after --show" shown; then
  sleep 1
  python3 "$picture" grab "$(shown | head -n 1)" "$scratch/shown.png" >/dev/null ||
    fail "no screenshot of the window"
  python3 "$picture" check "$scratch/shown.png" "$app/Skins/Dark/main.png" \
    "$here/../../docs/screenshots/KOR_VM31-window.png" || fail "the face after --show (above)"
fi
kill -0 "$app_pid" 2>/dev/null || fail "KOR_VM31.exe ended"

[ "$failures" -eq 0 ] && echo "a hidden start, then --show: every check passed"
exit $((failures > 0))
