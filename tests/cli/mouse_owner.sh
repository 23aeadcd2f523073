#!/usr/bin/env bash
# One owner of the mouse at a time, with two vm31ctl against the emulated mouse (made slow by
# its latency fault): a status that comes while an apply programs the mouse waits, then says who
# is busy with it instead of failing the handshake; two applies at once take turns, so the mouse
# never sees their transfers interleaved. Runs with a private runtime folder.
set -uo pipefail
bin=$1
ctl="$bin/vm31ctl"
source "$(dirname "$0")/lib/emulator_rig.sh"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_slow_emulator() {  # start_slow_emulator LATENCY_US
  start_emulator
  "$ctl" emulator fault latency "$1" >/dev/null || { echo "FAIL: the emulator did not start"; exit 1; }
}
stop_emulator() {
  kill -INT "$emulator_pid"
  wait "$emulator_pid"
  emulator_pid=
  if grep -q "^emulated mouse:" "$work/emulator.log"; then
    fail "the emulated mouse found faults in what it received:"; grep "^emulated mouse:" "$work/emulator.log"
  fi
}
"$bin/vm31ctl" config factory --output "$work/config.bin"

# 40 ms a transfer: the apply's ~170 transfers keep the mouse for about 7 s, longer than a
# second client waits.
start_slow_emulator 40000
"$ctl" apply --config "$work/config.bin" --prefs "$work/str.ini" >"$work/apply.out" 2>&1 &
apply_pid=$!
sleep 1  # past the handshake and the sensor refresh: the apply itself holds the mouse now
"$ctl" status >"$work/status.out" 2>&1; status=$?
[ "$status" -eq 4 ] || fail "status while another vm31ctl applies: exit $status, expected 4 (busy)"
grep -qF "the mouse is busy: vm31ctl (pid $apply_pid) is programming it" "$work/status.out" ||
  { fail "status does not name the busy owner:"; sed 's/^/  | /' "$work/status.out"; }
if grep -qi "handshake" "$work/status.out"; then
  fail "a busy mouse is reported as a handshake failure:"; sed 's/^/  | /' "$work/status.out"
fi
wait "$apply_pid"; status=$?
[ "$status" -eq 0 ] || { fail "the apply that held the mouse: exit $status"; sed 's/^/  | /' "$work/apply.out"; }
stop_emulator

# Two applies at once, each well within the other's patience: both succeed, one after the other.
start_slow_emulator 3000
cp "$work/config.bin" "$work/second.bin"
"$ctl" apply --config "$work/config.bin" --prefs "$work/str.ini" >"$work/first.out" 2>&1 &
first_pid=$!
"$ctl" apply --config "$work/second.bin" --prefs "$work/second.ini" >"$work/second.out" 2>&1; second=$?
wait "$first_pid"; first=$?
[ "$first" -eq 0 ] || { fail "first of two applies: exit $first"; sed 's/^/  | /' "$work/first.out"; }
[ "$second" -eq 0 ] || { fail "second of two applies: exit $second"; sed 's/^/  | /' "$work/second.out"; }
stop_emulator

# The lock file is the runtime folder's, private to the user, and empty once nobody holds it.
for lock in "$XDG_RUNTIME_DIR"/kor-vm31-*.lock; do
  [ -f "$lock" ] || { fail "no lock file in the runtime folder"; continue; }
  [ "$(stat -c %a "$lock")" = 600 ] || fail "$lock has mode $(stat -c %a "$lock"), expected 600"
  [ -s "$lock" ] && fail "$lock still names an owner: $(cat "$lock")"
done

[ "$failures" -eq 0 ] && echo "mouse owner: every check passed"
exit $((failures > 0))
