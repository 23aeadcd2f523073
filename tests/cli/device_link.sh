#!/usr/bin/env bash
# The device commands against the emulated mouse, end to end through its sockets: apply checked
# byte for byte by the independent trace decoder for random settings records and every sensor
# type, status exit codes, watch following presses, unplug and plug, injected faults ending
# with a clear failure instead of a hang, and odd replies that leave out only what depends on them. Runs with a private runtime folder.
set -uo pipefail
bin=$1
ctl=${VM31CTL:-"$bin/vm31ctl"}
files="$bin/vm31ctl"
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/emulator_rig.sh"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

stop_emulator() {
  kill -INT "$emulator_pid"
  wait "$emulator_pid"
  local status=$?
  emulator_pid=
  [ "$status" -eq 0 ] || fail "emulator run ended with $status on SIGINT"
}
# wait_count FILE TEXT N: until FILE holds N lines with TEXT (5 s at most). Presses made before
# watch has reopened the mouse are lost, as with a real mouse, so the tests wait for the reopen.
wait_count() {
  for _ in $(seq 100); do
    [ "$(grep -c -- "$2" "$1")" -ge "$3" ] && return 0
    sleep 0.05
  done
  fail "fewer than $3 \"$2\" in $1:"; sed 's/^/  | /' "$1"; return 1
}

# Absent mouse: status 1, apply 1 with a message, nothing saved.
"$files" config factory --output "$work/absent.bin"
cp "$work/absent.bin" "$work/absent-before.bin"
"$ctl" status >"$work/out" 2>&1; status=$?
[ "$status" -eq 1 ] || fail "status without a mouse: exit $status, expected 1"
"$ctl" apply --config "$work/absent.bin" --prefs "$work/absent.ini" >"$work/out" 2>&1; status=$?
[ "$status" -eq 1 ] || fail "apply without a mouse: exit $status, expected 1"
grep -q "not connected" "$work/out" || fail "apply without a mouse does not say so: $(cat "$work/out")"
cmp -s "$work/absent.bin" "$work/absent-before.bin" || fail "apply without a mouse changed config.bin"

# Apply for random records, one per sensor type (4 is outside every DPI table): the trace must
# be exactly what the record and the mouse's replies call for.
for sensor in 0 1 2 3 4; do
  # Random bytes everywhere, but a report rate the mouse knows (1925 is its offset).
  python3 -c "
import os, random, sys
record = bytearray(os.urandom(1985))
record[1925] = random.choice([1, 2, 4, 8])
sys.stdout.buffer.write(bytes([0]) + record)" >"$work/config.bin"
  cp "$work/config.bin" "$work/config-before.bin"
  printf '[Skins]\r\nLan=EN\r\n' >"$work/str.ini"
  start_emulator --sensor-type "$sensor" --trace "$work/trace.jsonl"
  "$ctl" apply --config "$work/config.bin" --prefs "$work/str.ini" >"$work/out" 2>&1; status=$?
  [ "$status" -eq 0 ] || { fail "apply (sensor $sensor): exit $status"; sed 's/^/  | /' "$work/out"; }
  stop_emulator
  if grep -q "^emulated mouse:" "$work/emulator.log"; then
    fail "the emulated mouse found faults in what it received:"; grep "^emulated mouse:" "$work/emulator.log"
  fi
  python3 "$here/trace_decoder.py" "$work/trace.jsonl" "$work/config-before.bin" \
    --sensor-type "$sensor" >"$work/out" 2>&1 || { fail "trace (sensor $sensor):"; cat "$work/out"; }
  # config.bin: the flag byte becomes 1, the record stays byte for byte.
  cmp -s <(tail -c +2 "$work/config.bin") <(tail -c +2 "$work/config-before.bin") ||
    fail "apply changed the settings record in config.bin"
  [ "$(head -c 1 "$work/config.bin" | od -An -tu1 | tr -d ' ')" = 1 ] ||
    fail "apply did not mark config.bin as written by the program"
  grep -q "^Item1=" "$work/str.ini" || fail "apply did not write the button captions"
done

# status names the sensor type the mouse reports.
start_emulator --sensor-type 3
"$ctl" status >"$work/status" 2>&1; status=$?
[ "$status" -eq 0 ] || fail "status with the mouse: exit $status"
grep -qx "sensor type: 3" "$work/status" || fail "status does not show sensor type 3: $(cat "$work/status")"
stop_emulator

# watch: the mouse's own buttons, unplug and plug, in words; SIGINT ends it with 0.
start_emulator
"$ctl" watch >"$work/watch.log" 2>&1 &
watch_pid=$!
wait_for "$work/watch.log" "watching"
"$ctl" emulator press dpi 2 >/dev/null
wait_for "$work/watch.log" "DPI stage 2"
"$ctl" emulator press rate 125 >/dev/null
wait_for "$work/watch.log" "report rate 125 Hz"
"$ctl" emulator unplug >/dev/null
wait_for "$work/watch.log" "mouse not detected"
"$ctl" status >/dev/null 2>&1; status=$?
[ "$status" -eq 1 ] || fail "status while unplugged: exit $status, expected 1"
"$ctl" emulator plug >/dev/null
wait_count "$work/watch.log" "mouse detected" 3  # at start, then both collections again
"$ctl" emulator press group 2 >/dev/null
wait_for "$work/watch.log" "key group 2"
stop_emulator  # the emulator going away is an unplug too
sleep 0.2
start_emulator
wait_count "$work/watch.log" "mouse detected" 5
"$ctl" emulator press macro 12 >/dev/null
wait_for "$work/watch.log" "macro key 12"
kill -INT "$watch_pid"
wait "$watch_pid"; status=$?
watch_pid=
[ "$status" -eq 0 ] || fail "watch ended with $status on SIGINT"
[ "$(grep -c "DPI stage 2" "$work/watch.log")" -eq 1 ] || fail "one press gave several DPI events"
stop_emulator

# Injected faults: each apply ends (no hang) with its status and says what failed. A mouse that
# never answers fails the handshake, so it counts as absent (1); the others fail a transfer (4).
"$files" config factory --output "$work/fault.bin"
for case in "no-reply on:1" "overlong on:4" "wrong-index on:4" "unplug-at 30:4" "unplug-at 120:4"; do
  fault=${case%:*} expected=${case##*:}
  start_emulator
  "$ctl" emulator fault $fault >/dev/null || fail "emulator fault $fault refused"
  timeout 20 "$ctl" apply --config "$work/fault.bin" --prefs "$work/fault.ini" >"$work/out" 2>&1
  status=$?
  if [ "$status" -ne "$expected" ]; then
    fail "apply with fault \"$fault\": exit $status, expected $expected"; sed 's/^/  | /' "$work/out"
  elif ! grep -q "vm31ctl: " "$work/out"; then
    fail "apply with fault \"$fault\" gave no message"
  fi
  # The saves prepared during the apply are put in place or removed, never left behind.
  if compgen -G "$work/*.tmp" >/dev/null; then
    fail "apply with fault \"$fault\" left a temporary file: $(ls "$work"/*.tmp)"
  fi
  stop_emulator
done

# An odd reply leaves out only the writes that would carry its bytes: the rest of the record
# reaches the mouse byte for byte (the decoder agrees), and the message lists exactly what did not.
check_fault_lines() {  # check_fault_lines FAULT EXPECTED-LINE...
  local fault=$1 line
  shift
  [ "$(grep -c '^- ' "$work/out")" -eq $# ] || fail "apply with $fault lists other steps than $*:"
  for line in "$@"; do
    grep -qF -- "- $line" "$work/out" || fail "apply with $fault does not list \"$line\""
  done
}
for fault in overlong wrong-index; do
  start_emulator --trace "$work/trace.jsonl"
  "$ctl" emulator fault "$fault" on >/dev/null || fail "emulator fault $fault refused"
  timeout 20 "$ctl" apply --config "$work/fault.bin" --prefs "$work/fault.ini" >"$work/out" 2>&1
  status=$?
  if [ "$status" -ne 4 ]; then
    fail "apply with $fault: exit $status, expected 4 (a device failure)"; sed 's/^/  | /' "$work/out"
  fi
  stop_emulator
  if [ "$fault" = overlong ]; then
    check_fault_lines "$fault" "reading the colour blocks, sub-blocks 0, 1 failed" \
      "writing the colour blocks, sub-block 0 skipped" "reading the macros back, slots 1-12 failed"
  else
    check_fault_lines "$fault" "reading the lighting parameters, indices 0, 1 failed" \
      "reading the colour blocks, sub-blocks 0, 1 failed" \
      "writing the colour blocks, sub-block 0 skipped" \
      "writing the lighting parameters, indices 0, 1 skipped" \
      "reading the macros back, slots 1-12 failed"
  fi
  python3 "$here/trace_decoder.py" "$work/trace.jsonl" "$work/fault.bin" >"$work/decoded" 2>&1 ||
    { fail "trace with $fault:"; cat "$work/decoded"; }
done

[ "$failures" -eq 0 ] && echo "device link: every check passed"
exit $((failures > 0))
