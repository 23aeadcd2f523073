# The rig the Win32 shell's tests share, sourced by them (bash): a fresh Wine prefix of the test's
# own, Xvfb, a portable copy of the program in English with the Dark skin, the emulated mouse
# with its wire trace, the program's start, and the helpers to wait, click and read windows.
# The sourcing script sets wine (the Wine runner), bin (the build's program folder) and here (its
# own folder) first, then calls rig_start_x, rig_copy_program and rig_start_emulator. A script
# that sets rig_prefix runs in that prefix, kept between runs (its wineserver ended before and
# after, so its programs use this run's display), instead of a fresh one.
decoder="$here/../cli/trace_decoder.py"
picture="$here/window_picture.py"
screenshots="$here/../../docs/screenshots"
scratch=$(mktemp -d)
export VM31_WINEPREFIX="${rig_prefix:-$scratch/prefix}"
[ -z "${rig_prefix:-}" ] || WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
xvfb_pid=
emulator_pid=
app_pid=
rig_cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  [ -z "$emulator_pid" ] || kill "$emulator_pid" 2>/dev/null
  WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  [ -n "${VM31_KEEP_SCRATCH:-}" ] || rm -rf "$scratch"
}
trap rig_cleanup EXIT
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
# Ends the script with the verdict.
rig_finish() {
  [ "$failures" -eq 0 ] && echo "$1: every check passed"
  exit $((failures > 0))
}

# Xvfb picks a free display itself (-displayfd) and listens on the abstract socket alone, as the
# Linux shell's tests run it.
rig_start_x() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix -nolock -noreset \
    3>"$scratch/display" 2>"$scratch/xvfb.log" &
  xvfb_pid=$!
  wait_until "X display" grep -q '[0-9]' "$scratch/display" || exit 1
  export DISPLAY=":$(head -n 1 "$scratch/display")"
  xdotool mousemove 0 0  # the pointer off the window: no hover feedback in the screenshots
}

# A portable copy in $app (its folder holds config.bin) in English with the Dark skin; the
# factory record beside it as config-before.bin.
rig_copy_program() {
  app="$scratch/app"
  mkdir -p "$app"
  cp -r "$bin/KOR_VM31.exe" "$bin/vm31ctl.exe" "$bin/config.bin" "$bin/record.ini" "$bin/Skins" \
    "$app/"
  printf '[Skins]\r\nRColor=0\r\nGColor=255\r\nBColor=0\r\nPath=Dark\r\nLan=EN\r\n' >"$app/str.ini"
  cp "$app/config.bin" "$scratch/config-before.bin"
}

# The emulated mouse, plugged in, its wire trace in $trace.
rig_start_emulator() {
  trace="$scratch/trace.jsonl"
  "$wine" "$app/vm31ctl.exe" emulator run --trace "$trace" >"$scratch/emulator.log" 2>&1 &
  emulator_pid=$!
  wait_until "emulated mouse" grep -q "plugged in" "$scratch/emulator.log" ||
    { cat "$scratch/emulator.log"; exit 1; }
}
emulator() { "$wine" "$app/vm31ctl.exe" emulator "$@" >/dev/null 2>&1 || fail "emulator $*"; }

# The visible windows titled as the program's main window.
shown() { xdotool search --onlyvisible --name '^Gaming Mouse Setting$'; }
hidden() { [ -z "$(shown)" ]; }
# `KOR_VM31.exe --show`; sets window (its X window) and left/top (its place on the screen).
rig_start_program() {
  "$wine" "$app/KOR_VM31.exe" --show >"$scratch/app.log" 2>&1 &
  app_pid=$!
  wait_until "window titled \"Gaming Mouse Setting\"" shown || { cat "$scratch/app.log"; exit 1; }
  window=$(shown | head -n 1)
  read -r left top < <(place_of "$window")
}
# "X Y" of an X window on the screen.
place_of() {
  xwininfo -id "$1" | awk -F: '/Absolute upper-left [XY]/ {printf "%d ", $2} END {print ""}'
}
# "X Y WIDTH HEIGHT" of an X window on the screen.
box_of() {
  xwininfo -id "$1" | awk -F: '/Absolute upper-left [XY]|Width|Height/ {printf "%d ", $2} END {print ""}'
}
# A click at X Y of the main window (as placed when last read).
click() { xdotool mousemove $((left + $1)) $((top + $2)) click 1; }
# The visible windows titled as the main window other than it: its popups.
popup() { shown | grep -vx "$window"; }
no_popup() { [ -z "$(popup)" ]; }
# The program's own visible windows without a name (menus, message boxes have theirs).
own_unnamed() {
  local id
  for id in $(xdotool search --onlyvisible --classname 'kor_vm31'); do
    xwininfo -id "$id" | grep -q '(has no name)' && echo "$id"
  done
}
# Until the number of lines of the wire trace stays the same for a second.
trace_settled() {
  local lines
  lines=$(wc -l <"$trace")
  sleep 1
  [ "$(wc -l <"$trace")" -eq "$lines" ]
}
# Waits for the end of the program (after its Exit) and checks it ended with 0.
expect_program_end() {
  ended() { ! kill -0 "$app_pid" 2>/dev/null; }
  wait_until "end of the program after $1" ended || return 1
  wait "$app_pid"
  local rc=$?
  app_pid=
  if [ "$rc" -eq 0 ]; then
    echo "$1 ended the program with 0"
  else
    fail "$1 ended the program with $rc"
  fi
}
