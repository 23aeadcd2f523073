#!/usr/bin/env bash
# KOR_VM31.exe started plainly under Wine on Xvfb, against vm31ctl.exe emulator run: it stays
# hidden in the tray (its main window unrealised: no picture decoded, no control created), and a
# second start with --show brings up the face the Linux shell shows in the same state
# (docs/screenshots/KOR_VM31-window.png), made at that first show. In the Wine prefix
# WINE_PREFIX, kept between runs.
# Usage: wine_hidden_start.sh WINE_RUNNER WINE_PREFIX BIN_FOLDER
set -uo pipefail
wine=$1
rig_prefix=$2
bin=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_rig.sh
. "$here/wine_rig.sh"
rig_start_x
rig_copy_program
rig_start_emulator

# A plain start: the tray icon, no window. Its instance window tells when it is up.
"$wine" "$app/KOR_VM31.exe" >"$scratch/app.log" 2>&1 &
app_pid=$!
tray_icon() { xdotool search --onlyvisible --name '^Wine System Tray$'; }
wait_until "tray icon after a plain start" tray_icon || { cat "$scratch/app.log"; exit 1; }
sleep 3  # the mouse's handshake and the page's first drawing, all kept while hidden
hidden || fail "a plain start shows a window"

# --show from a second start: the window is made now and shows the whole face.
timeout 30 "$wine" "$app/KOR_VM31.exe" --show >"$scratch/second.log" 2>&1 ||
  fail "the second start with --show: $(cat "$scratch/second.log")"
if wait_until "window after --show" shown; then
  sleep 1
  python3 "$picture" grab "$(shown | head -n 1)" "$scratch/shown.png" >/dev/null ||
    fail "no screenshot of the window"
  python3 "$picture" check "$scratch/shown.png" "$app/Skins/Dark/main.png" \
    "$screenshots/KOR_VM31-window.png" || fail "the face after --show (above)"
fi
kill -0 "$app_pid" 2>/dev/null || fail "KOR_VM31.exe ended"

rig_finish "a hidden start, then --show"
