#!/usr/bin/env bash
# KOR_VM31.exe's popups and the system's own windows under Wine on Xvfb, with real X events
# (xdotool), against vm31ctl.exe emulator run: each dialog of key row 3's function list and the
# delay dialog, screenshot over the main window and compared with the Linux shell's screenshot of
# the same dialog (docs/screenshots/dialog-*.png); a key pressed in the single-key dialog names
# the row's function; the step list's menu deletes a step; the recorder records real key
# presses into a new macro; a colour typed into the system's colour dialog from a DPI stage's
# swatch; the drag on the window's title strip moves the window; the minimise button takes it
# off the screen and the tray icon brings it back; Apply stores and sends all of it (the whole
# wire trace checked by the independent decoder). An unplug while the skins dialog has its
# colour dialog open ends both; plugged in again and shown from the tray, the close button
# drawn on the window ends the program with 0. Then a plain start in a Wine virtual desktop with
# Explorer's own taskbar: its tray icon shows the window, a DPI press its balloon with the
# notice's text. The screenshots land in OUT_FOLDER.
# Usage: wine_dialogs_e2e.sh WINE_RUNNER BIN_FOLDER OUT_FOLDER BALLOON_TEXT_EXE
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
# One macro to edit on the advanced page, as the Linux screenshots have it.
printf '[Copy-Paste]\r\nItemCount=11\r\n' >"$app/record.ini"
step=0
for line in "Ctrl   Dn" "50 ms" "C   Dn" "50 ms" "C   Up" "50 ms" "V   Dn" "50 ms" "V   Up" \
  "50 ms" "Ctrl   Up"; do
  printf 'Item%d=%s\r\n' "$step" "$line" >>"$app/record.ini"
  step=$((step + 1))
done
rig_start_emulator
rig_start_program
sleep 3  # the basic page drawn from the mouse's answers
mkdir -p "$out"

# The windows of the program with a name other than the main window's: message boxes and the
# system's dialogs.
own_named() {
  local id
  for id in $(xdotool search --onlyvisible --classname 'kor_vm31'); do
    [ "$id" = "$window" ] && continue
    case "$(xdotool getwindowname "$id")" in
      "" | "Gaming Mouse Setting") ;;
      *) echo "$id" ;;
    esac
  done
}
# Takes the screenshot of the main window with its popup over it as OUT/dialog-NAME.png and
# compares it with the Linux shell's (the pointer resting where the Linux screenshots have it).
shoot_popup() {
  local name=$1 dialog=$2 box
  xdotool mousemove $((left + 20)) $((top + 640))
  sleep 0.5
  read -r box_left box_top box_width box_height < <(box_of "$dialog")
  python3 "$picture" grab "$window" "$out/dialog-$name.png" >/dev/null ||
    { fail "no screenshot of the $name dialog"; return; }
  echo -n "dialog-$name: "
  python3 "$picture" popup "$out/dialog-$name.png" "$screenshots/dialog-$name.png" \
    $((box_left - left)) $((box_top - top)) "$box_width" "$box_height" ||
    fail "the $name dialog (above)"
}
open_popup() {
  wait_until "$1 dialog" popup || return 1
  dialog=$(popup | head -n 1)
}
cancel_popup() {
  read -r box_left box_top < <(place_of "$dialog")
  xdotool mousemove $((box_left + 300)) $((box_top + 262)) click 1
  wait_until "end of the $1 dialog after its Cancel" no_popup
}

# Key row 3's function list (its entries 16 pixels high below a 1-pixel border from y 267):
# each dialog it opens.
row3_entry() {
  click 300 255
  sleep 0.5
  click 400 $((267 + 1 + 16 * $1 + 8))
}
for pair in combo-key:12 media-key:9 windows-key:8 fire-key:10 macro-key:13 single-key:11; do
  name=${pair%%:*}
  row3_entry "${pair##*:}"
  open_popup "$name" || continue
  shoot_popup "$name" "$dialog"
  [ "$name" = single-key ] || cancel_popup "$name"
done

# The single-key dialog takes a real key press (F8) as the row's key; its OK ends it.
if [ -n "$(popup)" ]; then
  xdotool key F8
  sleep 0.5
  read -r box_left box_top < <(place_of "$dialog")
  xdotool mousemove $((box_left + 200)) $((box_top + 262)) click 1
  wait_until "end of the single-key dialog after its OK" no_popup
fi

# A message box of the program: closed with a click on its OK button, in the middle of its
# bottom (Return would do too, but the recorder that starts as the box closes would record its
# release).
answer_message() {
  local width height
  wait_until "$1" own_named || return 1
  read -r box_left box_top width height < <(box_of "$(own_named | head -n 1)")
  xdotool mousemove $((box_left + width / 2)) $((box_top + height - 20)) click 1
  no_message() { [ -z "$(own_named)" ]; }
  wait_until "end of $1 after its OK" no_message
}

# The advanced page: the macro "Copy-Paste" chosen in the macro list, a double click on its
# second step ("50 ms", the step list's entries 16 pixels high from y 221) runs the delay dialog.
click 80 74
sleep 1
click 470 225
sleep 0.5
xdotool mousemove $((left + 620)) $((top + 245)) sleep 0.2 click --repeat 2 --delay 80 1
if open_popup delay-time; then
  shoot_popup delay-time "$dialog"
  cancel_popup delay-time
fi

# The step list's menu: a right click on the second step pops it up (its one entry, Delete),
# Delete takes the step away.
xdotool mousemove $((left + 620)) $((top + 245)) sleep 0.2 click 3
menu_shown() { own_unnamed | grep -q .; }
if wait_until "the step list's menu after a right click" menu_shown; then
  read -r menu_left menu_top < <(place_of "$(own_unnamed | head -n 1)")
  xdotool mousemove $((menu_left + 15)) $((menu_top + 8)) click 1
fi
sleep 0.5
click 773 538  # Confirm: the edited macro into record.ini
sleep 0.5

# The recorder: a new macro "Dash" recorded from real key presses of A and B.
click 767 329
xdotool key End shift+Home type Dash
click 565 538  # New
click 749 243  # Start Recording
answer_message "the start-recording message"
xdotool key --delay 150 a b
click 749 279  # Stop Recording
answer_message "the stop-recording message"
click 773 538  # Confirm
sleep 0.5

# Back on the basic page: DPI stage 1's swatch runs the system's colour dialog; red, green and
# blue typed into its fields (the red one has the focus, Tab goes on to the next) and Return
# choose the colour.
click 34 74
sleep 0.5
click 562 531
colour_dialog() { own_named | grep -q .; }
if wait_until "colour dialog after a click on DPI stage 1's swatch" colour_dialog; then
  python3 "$picture" grab "$(own_named | head -n 1)" "$out/colour-dialog.png" >/dev/null
  xdotool type 12
  xdotool key Tab type 34
  xdotool key Tab type 56
  xdotool key Return
  no_colour_dialog() { ! colour_dialog; }
  wait_until "end of the colour dialog after Return" no_colour_dialog
fi

# The drag: a press on the title strip away from its buttons, moves, the release: the window
# follows the pointer.
xdotool mousemove $((left + 440)) $((top + 20)) mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove $((left + 440 - 20 * step)) $((top + 20 + 16 * step))
  sleep 0.1
done
xdotool mouseup 1
sleep 0.5
read -r moved_left moved_top < <(place_of "$window")
if [ "$moved_left" -eq $((left - 100)) ] && [ "$moved_top" -eq $((top + 80)) ]; then
  echo "the drag moved the window by -100, +80"
else
  fail "the drag by -100, +80 moved the window from $left, $top to $moved_left, $moved_top"
fi
left=$moved_left
top=$moved_top

# Minimise: the title strip's button takes the window off the screen; the tray icon brings it
# back where it was.
click 834 14
wait_until "window minimised by its button" hidden
tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' | head -n 1)
if [ -n "$tray" ]; then
  read -r tray_left tray_top < <(place_of "$tray")
  xdotool mousemove $((tray_left + 10)) $((tray_top + 10)) click 1
  wait_until "window shown from the tray icon after the minimise" shown
  [ "$(place_of "$window")" = "$left $top " ] ||
    fail "the window came back at $(place_of "$window"), not at $left, $top"
else
  fail "no tray icon: no \"Wine System Tray\" window"
fi

# Apply: the record with all of it goes to the mouse, exactly as the independent decoder reads
# the wire trace.
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
# Row 3 holds the single key F8 (usage 0x41), DPI stage 1 the colour typed, record.ini the
# edited macro without its second step and the recorded one; the captions are saved.
python3 - "$app" "$decoder" <<'PYTHON' || fail "what Apply stored (above)"
import os, sys
app, decoder = sys.argv[1:]
sys.path.insert(0, os.path.dirname(decoder))
import trace_decoder
record = open(os.path.join(app, "config.bin"), "rb").read()[1:]
problems = []
if trace_decoder.key_word(record, 0, 2) != [0x00, 0x00, 0x41, 0x00]:
    problems.append(f"row 3's key word is {trace_decoder.key_word(record, 0, 2)}")
if list(record[1935:1938]) != [12, 34, 56]:
    problems.append(f"DPI stage 1's colour is {list(record[1935:1938])}")
edited = ["Ctrl   Dn", "C   Dn", "50 ms", "C   Up", "50 ms", "V   Dn", "50 ms", "V   Up",
          "50 ms", "Ctrl   Up"]
recorded = ["A   Dn", "50 ms", "A   Up", "50 ms", "B   Dn", "50 ms", "B   Up"]
expected = []
for name, lines in (("Copy-Paste", edited), ("Dash", recorded)):
    expected += [f"[{name}]", f"ItemCount={len(lines)}"]
    expected += [f"Item{k}={line}" for k, line in enumerate(lines)]
with open(os.path.join(app, "record.ini"), encoding="utf-8") as ini:
    macros = [line.strip() for line in ini if line.strip()]
if macros != expected:
    problems.append(f"record.ini holds {macros}")
with open(os.path.join(app, "str.ini"), encoding="utf-8", errors="replace") as ini:
    if "Item3=Single Key-F8" not in ini.read().splitlines():
        problems.append("str.ini lacks row 3's caption \"Single Key-F8\"")
print("\n".join(problems) or "stored: row 3 single key F8, stage 1 colour 12 34 56, the two macros")
sys.exit(1 if problems else 0)
PYTHON
if grep -q "^emulated mouse:" "$scratch/emulator.log"; then
  fail "the emulated mouse found faults in what it received:"; grep "^emulated mouse:" "$scratch/emulator.log"
fi

# An unplug while the skins dialog runs with its colour dialog open (from the dialog's swatch):
# the window hides, and the colour dialog and the skins dialog end with it.
click 710 14
if open_popup skins; then
  read -r box_left box_top < <(place_of "$dialog")
  xdotool mousemove $((box_left + 96)) $((box_top + 102)) click 1
  if wait_until "colour dialog from the skins dialog's swatch" colour_dialog; then
    emulator unplug
    wait_until "end of the colour dialog after the unplug" no_colour_dialog &&
      wait_until "end of the skins dialog after the unplug" no_popup &&
      wait_until "window hidden after the unplug" hidden &&
      echo "the unplug ended the colour dialog and the skins dialog, the window hid"
    kill -0 "$app_pid" 2>/dev/null || fail "KOR_VM31.exe ended on the unplug"
  fi
fi

# Plugged in again, the mouse is taken up without a restart (the window stays hidden until asked
# for, as on Linux); the tray icon shows it, and the close button drawn on the window ends the
# program with 0.
emulator plug
sleep 2  # the arrival's handshake
hidden || fail "the plug showed the window"
[ -z "$tray" ] || xdotool mousemove $((tray_left + 10)) $((tray_top + 10)) click 1
if wait_until "window from the tray icon after the plug" shown; then
  window=$(shown | head -n 1)
  read -r left top < <(place_of "$window")
  sleep 1  # the handshake with the mouse plugged in again
  click 859 14
  expect_program_end "the close button drawn on the window"
fi

# In a Wine virtual desktop with Explorer's own taskbar (the desktop named "shell"): a plain start
# stays in the tray, its icon at the right end of the taskbar; a click on it shows the window,
# and a DPI press shows the notice as the icon's balloon, there wide enough for the whole text
# (its screenshot desktop-balloon.png), the text the one the tray was given.
emulator plug
"$wine" explorer /desktop=shell,1024x768 "$app/KOR_VM31.exe" >"$scratch/desktop.log" 2>&1 &
desktop_shown() { xdotool search --onlyvisible --name '^shell - Wine desktop$'; }
if wait_until "Wine virtual desktop" desktop_shown; then
  desktop=$(desktop_shown | head -n 1)
  # Explorer's windows in the desktop without a name: the taskbar (as wide as the desktop, low)
  # and the balloons (taller than a tool tip).
  explorer_unnamed() {
    local id info
    for id in $(xdotool search --onlyvisible --classname 'explorer'); do
      info=$(xwininfo -id "$id")
      grep -q '(has no name)' <<<"$info" && echo "$id $(awk -F: '/Width|Height/ {printf "%d ", $2}' <<<"$info")"
    done
  }
  taskbar() { explorer_unnamed | awk '$2 == 1024 && $3 < 40 {print $1}' | grep .; }
  wait_until "taskbar in the virtual desktop" taskbar
  # The program's start takes a few seconds in the new desktop; it stays hidden in the tray.
  sleep 6
  [ -z "$(shown)" ] || fail "a plain start in the virtual desktop showed the window"
  read -r bar_left bar_top < <(place_of "$(taskbar | head -n 1)")
  xdotool mousemove $((bar_left + 1024 - 12)) $((bar_top + 10)) click 1
  if wait_until "window shown from the taskbar's tray icon" shown; then
    window=$(shown | head -n 1)
    xdotool mousemove 500 300
    balloons() { explorer_unnamed | awk '$3 >= 40 {print $1}'; }
    before_press=$(balloons)
    emulator press dpi 2
    new_balloon() { balloons | grep -vxF -- "${before_press:-none}" | grep .; }
    if wait_until "balloon in the virtual desktop after the DPI press" new_balloon; then
      python3 "$picture" grab "$(new_balloon | head -n 1)" "$out/desktop-balloon.png" \
        >/dev/null || fail "no screenshot of the balloon in the virtual desktop"
      # Its text as the taskbar was given it, read in the same desktop (explorer starts the
      # reader there and returns at once; the reader's output follows).
      "$wine" explorer /desktop=shell,1024x768 "$balloon_text" >"$scratch/balloon.txt" 2>&1
      expected="Switch DPI into the second stage 800"
      balloon_read() { tr -d '\r' <"$scratch/balloon.txt" | grep -qxF -- "$expected"; }
      if wait_until "the balloon's text \"$expected\" in the virtual desktop" balloon_read; then
        echo "the balloon in the virtual desktop: $expected"
      else
        sed 's/^/  | /' "$scratch/balloon.txt"
      fi
    fi
  fi
fi

rig_finish "KOR_VM31.exe's popups under Wine"
