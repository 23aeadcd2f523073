#!/usr/bin/env bash
# vm31ctl's file commands on real files: exit statuses, messages that name the file, and the
# macro compile end to end (record.ini -> config.bin bytes).
set -uo pipefail
bin=$1
ctl="$bin/vm31ctl"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect STATUS DESCRIPTION -- COMMAND...: runs COMMAND, keeps its output in $work/out.
expect() {
  local status=$1 what=$2
  shift 3
  "$@" >"$work/out" 2>&1
  local got=$?
  if [ "$got" -ne "$status" ]; then
    echo "FAIL: $what: exit $got, expected $status"; sed 's/^/  | /' "$work/out"; failures=$((failures + 1))
  fi
}
# contains TEXT DESCRIPTION: the last command's output holds TEXT.
contains() {
  if ! grep -qF -- "$1" "$work/out"; then
    echo "FAIL: $2: output lacks '$1'"; sed 's/^/  | /' "$work/out"; failures=$((failures + 1))
  fi
}
byte_at() { od -An -tx1 -j "$2" -N "$3" "$1" | tr -s ' ' | sed 's/^ //;s/ $//'; }

cfg="$work/config.bin"
"$ctl" config factory --output "$cfg"

expect 0 "show factory" -- "$ctl" config show --config "$cfg"
contains "reportRateCode: 1 (1000 Hz)" "show factory"
contains "button  5: keyFunction  6 DPI Switch             key word 07 00 03 00" "show factory"
expect 0 "show json" -- "$ctl" config show --config "$cfg" --json
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["keyGroups"][0][3]["keyWord"]=="01 00 F4 00", d' "$work/out" \
  || { echo "FAIL: --json is not valid JSON with the key words"; failures=$((failures + 1)); }
expect 0 "check factory" -- "$ctl" config check --config "$cfg"
contains "every value is in range" "check factory"

# Sizes other than 1986 bytes would not load; the message names the file.
for size in 0 1985 1987; do
  head -c "$size" /dev/zero >"$work/sized.bin"
  expect 3 "check $size bytes" -- "$ctl" config check --config "$work/sized.bin"
  contains "$work/sized.bin" "check $size bytes"
done
expect 3 "show missing" -- "$ctl" config show --config "$work/none.bin"
contains "$work/none.bin\": file does not exist" "show missing"

# Hand-edited values out of range: keyFunction of group 0 button 2 (offset 1 + 2), lightMode
# (1 + 1947), editedKeyGroup (1 + 1960), dpiLevel of stage 1 (1 + 1927).
cp "$cfg" "$work/edited.bin"
python3 - "$work/edited.bin" <<'PY'
import sys
p = sys.argv[1]; b = bytearray(open(p, 'rb').read())
b[1 + 2] = 20; b[1 + 1947] = 7; b[1 + 1960] = 2; b[1 + 1927] = 40
open(p, 'wb').write(b)
PY
expect 3 "check edited" -- "$ctl" config check --config "$work/edited.bin"
contains "keyGroups[0] button 2 keyFunction = 20" "check edited"
contains "lightMode = 7" "check edited"
contains "editedKeyGroup = 2" "check edited"
contains "dpiLevel[0] = 40" "check edited"
# A level only the 12-level sensor has is a note, not a failure.
cp "$cfg" "$work/level10.bin"
python3 -c 'import sys; p=sys.argv[1]; b=bytearray(open(p,"rb").read()); b[1+1928]=10; open(p,"wb").write(b)' "$work/level10.bin"
expect 0 "check level 10" -- "$ctl" config check --config "$work/level10.bin"
contains "note: dpiLevel[1] = 10: only sensor type 0 has this level" "check level 10"
expect 0 "show edited" -- "$ctl" config show --config "$work/edited.bin"
contains "keyFunction 20 (no function: does nothing) key word 00 00 00 00" "show edited"
contains "dpiLevel 40 (sensor type 0:  DPI)" "show edited"

# The macro compile end to end: Dash presses and releases A with 50 ms between the steps.
printf '[Dash]\r\nItemCount=4\r\nItem0=A   Dn\r\nItem1=50 ms\r\nItem2=A   Up\r\nItem3=50 ms\r\n' >"$work/record.ini"
expect 0 "macro list" -- "$ctl" macro list --macros "$work/record.ini"
contains "slot  1: Dash (4 lines)" "macro list"
expect 0 "macro show" -- "$ctl" macro show dash --macros "$work/record.ini"
contains "Item2: A   Up" "macro show"
expect 3 "macro show unknown" -- "$ctl" macro show Nope --macros "$work/record.ini"
contains 'no macro named "Nope"' "macro show unknown"
before_flag=$(byte_at "$cfg" 0 1)
expect 0 "macro compile" -- "$ctl" macro compile --macros "$work/record.ini" --config "$cfg"
got=$(byte_at "$cfg" $((1 + 384 + 2)) 4)
[ "$got" = "05 04 85 04" ] || { echo "FAIL: block 0 bytes 2..5 are '$got'"; failures=$((failures + 1)); }
[ "$(byte_at "$cfg" 0 1)" = "$before_flag" ] || { echo "FAIL: compile changed the flag byte"; failures=$((failures + 1)); }
[ "$(stat -c %s "$cfg")" = 1986 ] || { echo "FAIL: config.bin size changed"; failures=$((failures + 1)); }

# A step list needing more than 63 entries: compiled up to the block's end and reported.
{ printf '[Long]\r\nItemCount=140\r\n'; for ((i = 0; i < 140; i += 2)); do printf 'Item%d=B   Dn\r\nItem%d=20 ms\r\n' $i $((i + 1)); done; } >"$work/long.ini"
expect 3 "compile overflow" -- "$ctl" macro compile --macros "$work/long.ini" --config "$cfg"
contains "Long" "compile overflow"
[ "$(stat -c %s "$cfg")" = 1986 ] || { echo "FAIL: overflow changed config.bin's size"; failures=$((failures + 1)); }

# Text from the files reaches the terminal with its control characters shown as \xNN: a macro
# name that would colour the terminal, a bell in a step line, a path that would set the title.
# no_control DESCRIPTION: the last command's output holds no control character but line feeds.
no_control() {
  python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); sys.exit(any(b < 0x20 and b != 0x0a or b == 0x7f for b in d))' "$work/out" \
    || { echo "FAIL: $1: control characters reach the terminal"; sed -n l "$work/out"; failures=$((failures + 1)); }
}
red=$'\e[31mRED\e[0m'
printf '[%s]\r\nItemCount=1\r\nItem0=A\a   Dn\r\n' "$red" >"$work/escape.ini"
expect 0 "list escapes" -- "$ctl" macro list --macros "$work/escape.ini"
contains 'slot  1: \x1b[31mRED\x1b[0m (1 lines)' "list escapes"
no_control "list escapes"
expect 0 "show escapes" -- "$ctl" macro show "$red" --macros "$work/escape.ini"
contains 'Item0: A\x07   Dn' "show escapes"
no_control "show escapes"
expect 3 "missing path escaped" -- "$ctl" config show --config "$work/"$'\e]0;owned\a'.bin
contains '\x1b]0;owned\x07.bin' "missing path escaped"
no_control "missing path escaped"

# A step line over 1023 characters is read cut there, as the program always read it, which
# loses its "   Dn" here: the compile names the macro, the line and the limit, and fails.
printf '[Slow]\r\nItemCount=2\r\nItem0=A%1100s   Dn\r\nItem1=50 ms\r\n' '' >"$work/cut.ini"
cp "$cfg" "$work/cut.bin"
expect 3 "compile cut line" -- "$ctl" macro compile --macros "$work/cut.ini" --config "$work/cut.bin"
contains '"Slow" (slot 1): line "Item0" is longer than the 1023 characters' "compile cut line"
expect 0 "show cut line" -- "$ctl" macro show Slow --macros "$work/cut.ini"
contains 'note: macro "Slow": line "Item0" is longer than the 1023 characters' "show cut line"

# --json: one object per line, valid UTF-8 JSON also for a path and names with a \xff byte
# (each such byte is U+FFFD), parsed strictly.
odd="$work/odd"$'\xff'"dir"
mkdir "$odd"
cp "$cfg" "$odd/config.bin"
printf '[Dash\xff]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=50 ms\r\n[%s]\r\nItemCount=1\r\nItem0=B\xff   Dn\r\n' "$red" >"$odd/record.ini"
expect 3 "odd byte escaped" -- "$ctl" config show --config "$odd/none.bin"
contains 'odd\xffdir/none.bin' "odd byte escaped"
# json_to FILE COMMAND...: runs COMMAND, its standard output into FILE; it must exit 0.
json_to() {
  local file=$1
  shift
  "$@" >"$work/$file" 2>"$work/err" || { echo "FAIL: $*: exit $?"; cat "$work/err"; failures=$((failures + 1)); }
}
json_to show.json "$ctl" config show --config "$odd/config.bin" --json
json_to list.json "$ctl" macro list --macros "$odd/record.ini" --json
json_to dash.json "$ctl" macro show $'Dash\xff' --macros "$odd/record.ini" --json
json_to cut.json "$ctl" macro show Slow --macros "$work/cut.ini" --json
python3 - "$work" <<'PY' || { echo "FAIL: --json output"; failures=$((failures + 1)); }
import json, sys
def load(name):
    lines = open(f"{sys.argv[1]}/{name}", "rb").read().decode("utf-8").splitlines()  # strict
    assert len(lines) == 1, (name, lines)
    return json.loads(lines[0])
show = load("show.json")
assert show["file"].endswith("/odd\ufffddir/config.bin"), show["file"]
assert show["keyGroups"][0][3]["keyWord"] == "01 00 F4 00", show["keyGroups"][0][3]
listed = load("list.json")
assert [(m["slot"], m["name"], m["lines"]) for m in listed["macros"]] == [
    (1, "Dash\ufffd", 2), (2, "\x1b[31mRED\x1b[0m", 1)], listed
dash = load("dash.json")
assert (dash["name"], dash["itemCount"], dash["lines"], dash["notes"]) == (
    "Dash\ufffd", 2, ["A   Dn", "50 ms"], []), dash
cut = load("cut.json")
assert cut["cutLines"] == [0] and len(cut["lines"][0]) == 1023 and "1023" in cut["notes"][0], cut
PY

# A pipe in place of a data file is refused at once, naming it: opening it would wait for a
# writer forever.
mkfifo "$work/pipe"
for command in "config show --config" "config check --config" \
               "macro compile --macros $work/record.ini --config" "macro compile --config $cfg --macros" \
               "macro list --macros" "apply --prefs $work/pipe --config" "apply --config $cfg --prefs"; do
  # shellcheck disable=SC2086 # the command's words
  timeout 20 "$ctl" $command "$work/pipe" >"$work/out" 2>&1
  got=$?
  if [ "$got" -eq 0 ] || [ "$got" -eq 124 ]; then
    echo "FAIL: $command PIPE: exit $got (124: it waited on the pipe)"; failures=$((failures + 1))
  fi
  contains "\"$work/pipe\": is not a regular file" "$command PIPE"
done

expect 2 "usage error" -- "$ctl" config show --bogus
contains "unknown option --bogus" "usage error"
expect 2 "stray word" -- "$ctl" config check extra --config "$cfg"
contains "usage: vm31ctl config check [--config FILE]" "stray word"
expect 2 "unknown command" -- "$ctl" frobnicate
expect 0 "help" -- "$ctl" --help
contains "macro compile [--macros FILE] [--config FILE]" "help"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "vm31ctl file commands: all checks passed"
