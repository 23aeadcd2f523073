#!/usr/bin/env bash
# KOR_VM31.exe, the Win32 shell, under Wine on Xvfb against vm31ctl.exe emulator run over loopback
# TCP: `--show` brings up one window titled "Gaming Mouse Setting", the size of the skin's main
# picture, showing the basic page as the Linux shell shows it in the same state
# (docs/screenshots/KOR_VM31-window.png); a second start, plain or with `--show`, ends at once
# without a second window; a real click on the advanced tab shows that page, the Skins button
# runs the skins dialog centred over the window, Escape hides the window into the tray and a
# click on the tray icon brings it back, a DPI press on the mouse shows its balloon with its
# text (read from the balloon tool tip), "Forward"
# is chosen for button 2 in its drop list and a click on Apply programs the mouse (the whole
# wire trace checked byte for byte by the independent decoder), and the tray menu's Exit ends
# the program with 0. Runs in a fresh Wine prefix of its own. The screenshots land in
# OUT_FOLDER.
# Usage: wine_shell_e2e.sh WINE_RUNNER BIN_FOLDER OUT_FOLDER BALLOON_TEXT_EXE
set -uo pipefail
wine=$1
bin=$2
out=$3
balloon_text=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_rig.sh
. "$here/wine_rig.sh"
rig_start_x
rig_copy_program

help=$("$wine" "$app/KOR_VM31.exe" --help 2>&1 | tr -d '\r')
grep -q "^Usage: KOR_VM31 \[--show\]" <<<"$help" || fail "KOR_VM31.exe --help: $help"

rig_start_emulator

rig_start_program
# The basic page is drawn once the mouse has answered: the face settles within a few seconds.
sleep 3
mkdir -p "$out"
python3 "$picture" grab "$window" "$out/main.png" || fail "no screenshot of the window"
python3 "$picture" check "$out/main.png" "$app/Skins/Dark/main.png" \
  "$screenshots/KOR_VM31-window.png" || fail "the main window's screenshot (above)"

# A second start, plain or asking for the window, hands its request over and ends: one window.
for option in "" --show; do
  timeout 30 "$wine" "$app/KOR_VM31.exe" $option >"$scratch/second.log" 2>&1
  rc=$?
  [ "$rc" -eq 0 ] || fail "a second start ${option:-without an option}: exit $rc: $(cat "$scratch/second.log")"
done
[ "$(shown | wc -l)" -eq 1 ] || fail "$(shown | wc -l) windows after the second starts"
kill -0 "$app_pid" 2>/dev/null || fail "the first instance ended"


# The advanced tab: the page changes under the real click, to one far more like the Linux
# shell's advanced page (there with two macros and "New" under the pointer) than the basic page.
click 80 74
sleep 2
python3 "$picture" grab "$window" "$out/advanced.png" >/dev/null || fail "no screenshot of the advanced page"
python3 "$picture" closer "$out/advanced.png" "$screenshots/Dark-face-advanced.png" \
  "$out/main.png" || fail "the advanced page is not shown after a click on its tab"
click 34 74  # back to the basic page

# The Skins button runs the skins dialog modal over the window, centred over it, as the Linux
# shell draws it (docs/screenshots/Dark-dialog-skins.png, the skin's preview); its Cancel ends it.
click 710 14
if wait_until "skins dialog" popup; then
  dialog=$(popup | head -n 1)
  python3 "$picture" grab "$dialog" "$out/dialog-skins.png" >"$scratch/dialog-box" ||
    fail "no screenshot of the skins dialog"
  python3 "$picture" check "$out/dialog-skins.png" "$app/Skins/Dark/skins.png" \
    "$screenshots/Dark-dialog-skins.png" || fail "the skins dialog (above)"
  read -r dialog_left dialog_top dialog_width dialog_height <"$scratch/dialog-box"
  [ $((dialog_left + dialog_width / 2)) -eq $((left + 884 / 2)) ] &&
    [ $((dialog_top + dialog_height / 2)) -eq $((top + 654 / 2)) ] ||
    fail "the skins dialog is not centred over the window: $(cat "$scratch/dialog-box")"
  xdotool mousemove $((dialog_left + 322)) $((dialog_top + 262)) click 1  # Cancel
  wait_until "end of the skins dialog after its Cancel" no_popup
fi

# The tray: Wine without a desktop shows the notification area's icons in a window of its own.
# Escape hides the window into the tray; a click on the icon shows it again.
xdotool mousemove $((left + 440)) $((top + 20)) click 1
xdotool key Escape
wait_until "window hidden by Escape" hidden
tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' | head -n 1)
if [ -z "$tray" ]; then
  fail "no tray icon: no \"Wine System Tray\" window"
else
  read -r tray_left tray_top < <(place_of "$tray")
  xdotool mousemove $((tray_left + 10)) $((tray_top + 10)) click 1
  wait_until "window shown from the tray icon" shown
  # A press of the mouse's DPI button: its notice comes up as the icon's balloon, a new window
  # (Wine's balloons are windows of their own, each time a new one) beside the tray's, with a
  # title line above the text: taller than the one-line tool tip of the icon, which the pointer
  # leaves first.
  xdotool mousemove 0 1000
  unnamed() {
    local id info
    for id in $(xdotool search --onlyvisible --name ''); do
      info=$(xwininfo -id "$id")
      grep -q '(has no name)' <<<"$info" && ! grep -q '(the root window)' <<<"$info" &&
        [ "$(awk -F: '/Height/ {print $2 + 0}' <<<"$info")" -ge 40 ] && echo "$id"
    done
  }
  before_press=$(unnamed)
  emulator press dpi 2
  balloon() { unnamed | grep -vxF -- "${before_press:-none}" | grep -q .; }
  if wait_until "balloon after the DPI press" balloon; then
    python3 "$picture" grab "$(unnamed | grep -vxF -- "${before_press:-none}" | head -n 1)" \
      "$out/balloon.png" >/dev/null || fail "no screenshot of the balloon"
    # Wine's balloon window cuts the text (the screenshot): the text the tray was given is
    # read from the balloon tool tip itself.
    given=$("$wine" "$balloon_text" 2>&1 | tr -d '\r')
    expected="Switch DPI into the second stage 800"
    if grep -qxF -- "$expected" <<<"$given"; then
      echo "the balloon: $given"
    else
      fail "the balloon was given \"$given\", not \"$expected\""
    fi
  fi
fi

# Row 2's drop list: a click on its arrow opens the function list (a list box the model
# destroys from inside its own notification when the choice is made), a click on "Forward"
# chooses it for button 2.
click 453 231
sleep 1
click 280 300
sleep 1
kill -0 "$app_pid" 2>/dev/null || { fail "KOR_VM31.exe ended on the choice in the function list"; exit 1; }

# Apply: the record of config.bin goes to the mouse. The whole session on the wire (opening, the
# handshake, the sensor refresh, the apply) is what the record and the mouse's replies call for.
before=$(wc -l <"$trace")
click 700 633
grown() { [ "$(wc -l <"$trace")" -gt "$before" ]; }
wait_until "apply on the wire" grown
wait_until "end of the apply" trace_settled
if python3 "$decoder" "$trace" "$app/config.bin" >"$scratch/decoded" 2>&1; then
  tail -n 1 "$scratch/decoded"
else
  fail "the apply's wire trace:"; sed 's/^/  | /' "$scratch/decoded"
fi
# The record is the factory one but for button 2's function (its attributes in the first key
# group: byte k * 12 + 1 for attribute k) and the desktop's pointer settings, which the advanced
# page read from the system (record bytes 1955..1959; all after the file's flag byte).
python3 - "$app/config.bin" "$scratch/config-before.bin" <<'PYTHON' ||
import sys
after, before = (open(path, "rb").read() for path in sys.argv[1:])
changed = [i - 1 for i in range(1, len(after)) if after[i] != before[i]]
button2 = {k * 12 + 1 for k in range(16)}
if len(after) != len(before) or not any(offset in button2 for offset in changed) or any(
        offset not in button2 and not 1955 <= offset <= 1959 for offset in changed):
    sys.exit(f"the record changed at {changed}")
PYTHON
  fail "Apply stored another record than the choice made (above)"
grep -q "^Item2=Forward" "$app/str.ini" || fail "Apply did not save button 2's caption: $(cat "$app/str.ini")"
if grep -q "^emulated mouse:" "$scratch/emulator.log"; then
  fail "the emulated mouse found faults in what it received:"; grep "^emulated mouse:" "$scratch/emulator.log"
fi

# The tray menu: a right click on the icon pops it up (its one entry, Exit); Exit ends the
# program with 0.
if [ -n "$tray" ]; then
  xdotool mousemove $((tray_left + 10)) $((tray_top + 10)) click 3
  # The menu is the program's own window without a name (the tool tip and the balloons are the
  # tray's, Wine's explorer.exe).
  menu_shown() { own_unnamed | grep -q .; }
  menu_left=
  if wait_until "tray menu after a right click on the icon" menu_shown; then
    read -r menu_left menu_top < <(place_of "$(own_unnamed | head -n 1)")
  fi
  if [ -z "${menu_left:-}" ]; then
    fail "no tray menu after a right click on the icon"
  else
    xdotool mousemove $((menu_left + 15)) $((menu_top + 8)) click 1
    expect_program_end "the tray menu's Exit"
  fi
fi

rig_finish "KOR_VM31.exe under Wine"
