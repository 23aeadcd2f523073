#!/usr/bin/env bash
# vm31ctl as installed, on a fresh account: `apply` right after the install fills the per-user
# data folder from the installed factory files and programs the emulated mouse (the trace checked
# by the independent decoder); `status --json` and `watch --json` give strict UTF-8 JSON, one
# object per line, also when the runtime folder's path holds a \xff byte; and the exit statuses
# of the device and emulator commands.
set -uo pipefail
bin=$1
build=$(dirname "$bin")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/emulator_rig.sh"

DESTDIR="$work/root" cmake --install "$build" >"$work/install.log" 2>&1 ||
  { echo "FAIL: cmake --install:"; cat "$work/install.log"; exit 1; }
ctl=$(find "$work/root" -path '*/bin/vm31ctl' | head -n 1)
factory=$(find "$work/root" -type d -path '*/share/kor-vm31/factory' | head -n 1)
[ -x "$ctl" ] && [ -f "$factory/config.bin" ] || { echo "FAIL: no installed vm31ctl or factory files"; exit 1; }

# A fresh account: nothing in HOME or the config folder; runtime folder with an odd byte.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
export XDG_RUNTIME_DIR="$work/run"$'\xff'
mkdir -p "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
data="$XDG_CONFIG_HOME/kor-vm31"

stop_emulator() {
  kill -INT "$emulator_pid"
  wait "$emulator_pid" || fail "emulator run ended with $? on SIGINT"
  emulator_pid=
}

start_emulator --sensor-type 2 --trace "$work/trace.jsonl"
"$ctl" apply >"$work/out" 2>&1; status=$?
[ "$status" -eq 0 ] || { fail "apply on a fresh account: exit $status"; sed 's/^/  | /' "$work/out"; }
for name in config.bin record.ini str.ini; do
  [ -f "$data/$name" ] || fail "apply did not fill $data/$name"
done
cmp -s <(tail -c +2 "$data/config.bin") <(tail -c +2 "$factory/config.bin") ||
  fail "the filled config.bin is not the factory record"
grep -q "^Item1=" "$data/str.ini" || fail "apply did not write the button captions"
stop_emulator
python3 "$here/trace_decoder.py" "$work/trace.jsonl" "$factory/config.bin" --sensor-type 2 \
  >"$work/out" 2>&1 || { fail "trace of the fresh-account apply:"; cat "$work/out"; }

# The mouse absent: status says so in JSON, exit 1.
"$ctl" status --json >"$work/absent.json" 2>"$work/err"; status=$?
[ "$status" -eq 1 ] || fail "status --json without a mouse: exit $status, expected 1"

# One meaning per exit status across the commands.
for case in "2:watch --bogus" "2:status extra" "2:emulator frobnicate" "2:apply --config" \
  "1:emulator status" "3:apply --config $work/none.bin" "3:emulator run --trace $work/no/trace"; do
  expected=${case%%:*}
  "$ctl" ${case#*:} >"$work/out" 2>&1; status=$?
  [ "$status" -eq "$expected" ] || { fail "vm31ctl ${case#*:}: exit $status, expected $expected"; cat "$work/out"; }
done

# watch --json: every event is a line a script reads as it comes.
start_emulator --sensor-type 2
"$ctl" status --json >"$work/present.json" 2>"$work/err" || fail "status --json with the mouse: exit $?"
"$ctl" emulator run >"$work/out" 2>&1; status=$?
[ "$status" -eq 4 ] || fail "a second emulator run: exit $status, expected 4"
"$ctl" watch --json >"$work/watch.jsonl" 2>"$work/watch.err" &
watch_pid=$!
wait_for "$work/watch.jsonl" '"event":"watching"'
"$ctl" emulator press dpi 2 >/dev/null
wait_for "$work/watch.jsonl" '"event":"dpiStage"'
"$ctl" emulator press rate 250 >/dev/null
wait_for "$work/watch.jsonl" '"event":"reportRate"'
"$ctl" emulator press group 2 >/dev/null
wait_for "$work/watch.jsonl" '"event":"keyGroup"'
"$ctl" emulator press macro 12 >/dev/null
wait_for "$work/watch.jsonl" '"event":"macroKey"'
"$ctl" emulator unplug >/dev/null
wait_for "$work/watch.jsonl" '"event":"notDetected"'
"$ctl" emulator plug >/dev/null
wait_for "$work/watch.jsonl" '"event":"plugged"'
kill -INT "$watch_pid"
wait "$watch_pid" || fail "watch --json ended with $? on SIGINT"
watch_pid=
stop_emulator

python3 - "$work" <<'PY' || fail "--json output of the device commands"
import json, sys
def objects(name):
    text = open(f"{sys.argv[1]}/{name}", "rb").read().decode("utf-8")  # strict
    return [json.loads(line) for line in text.splitlines()]
absent, = objects("absent.json")
assert absent["present"] is False and "not connected" in absent["reason"], absent
present, = objects("present.json")
assert present["present"] is True and present["sensorType"] == 2, present
assert "/run\ufffd/" in present["path"], present["path"]
events = objects("watch.jsonl")
kinds = [e["event"] for e in events]
assert kinds[-1] == "stopped", kinds
assert {"event": "dpiStage", "stage": 2, "text": "DPI stage 2"} in events, events
assert {"event": "reportRate", "code": 4, "hz": 250, "text": "report rate 250 Hz"} in events, events
assert {"event": "keyGroup", "group": 2, "text": "key group 2 (Mode B)"} in events, events
assert {"event": "macroKey", "key": 12, "text": "macro key 12"} in events, events
plugged = [e for e in events if e["event"] == "plugged"]
assert plugged and "/run\ufffd/" in plugged[0]["path"], plugged
assert kinds.index("notDetected") < kinds.index("plugged"), kinds
PY

[ "$failures" -eq 0 ] && echo "installed vm31ctl: every check passed"
exit $((failures > 0))
