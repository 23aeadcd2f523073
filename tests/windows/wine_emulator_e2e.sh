#!/usr/bin/env bash
# vm31ctl.exe against vm31ctl.exe emulator run under Wine, end to end over loopback TCP: status
# finds the mouse, apply's wire trace is checked byte for byte by the independent decoder, watch
# follows a DPI press, the unplug, the plug, the emulator's clean end and a new emulator killed; a
# client without the user's keys is refused either way. Runs in a fresh Wine prefix of its own, so the runtime folder
# (%LOCALAPPDATA%\kor-vm31\run) is this test's alone.
# Usage: wine_emulator_e2e.sh WINE_RUNNER BIN_FOLDER
set -uo pipefail
wine=$1
bin=$2
here=$(cd "$(dirname "$0")" && pwd)
decoder="$here/../cli/trace_decoder.py"
scratch=$(mktemp -d)
export VM31_WINEPREFIX="$scratch/prefix"
emulator_pid=
watch_pid=
cleanup() {
  [ -z "$watch_pid" ] || kill "$watch_pid" 2>/dev/null
  [ -z "$emulator_pid" ] || kill "$emulator_pid" 2>/dev/null
  WINEPREFIX="$VM31_WINEPREFIX" wineserver -k 2>/dev/null
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A portable copy (its folder holds config.bin): the data folder is the program's own.
ctl_folder="$scratch/bin"
mkdir -p "$ctl_folder"
cp "$bin/vm31ctl.exe" "$bin/config.bin" "$bin/record.ini" "$bin/str.ini" "$ctl_folder/"
# Runs vm31ctl.exe with the arguments; sets $out (both streams, without the console's carriage
# returns) and $rc.
vm31ctl() {
  out=$("$wine" "$ctl_folder/vm31ctl.exe" "$@" 2>&1 | tr -d '\r')
  rc=${PIPESTATUS[0]}
}
# wait_for FILE TEXT [N]: until FILE holds N (1) lines with TEXT, 30 s at most (each Wine
# process takes about a second to start).
wait_for() {
  local count=${3:-1}
  for _ in $(seq 150); do
    [ "$(grep -cF -- "$2" "$1")" -ge "$count" ] && return 0
    sleep 0.2
  done
  fail "fewer than $count \"$2\" in $1:"; sed 's/^/  | /' "$1"; return 1
}

vm31ctl --help
grep -q "^  emulator run " <<<"$out" || fail "the help does not list the emulator commands: $out"
# The prefix has booted with the first program; the runtime folder is the prefix's own.
vm31ctl emulator status
[ "$rc" -eq 1 ] || fail "emulator status before it runs: exit $rc, expected 1: $out"
grep -q "not running" <<<"$out" || fail "emulator status before it runs: $out"
runtime_windows=$("$wine" cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
runtime=$("$wine" winepath -u "$runtime_windows" | tr -d '\r')/kor-vm31/run

trace="$scratch/trace.jsonl"
"$wine" "$ctl_folder/vm31ctl.exe" emulator run --sensor-type 2 --trace "$trace" \
  >"$scratch/emulator.log" 2>&1 &
emulator_pid=$!
wait_for "$scratch/emulator.log" "plugged in" || { cat "$scratch/emulator.log"; exit 1; }
grep -q "on 127.0.0.1" "$scratch/emulator.log" || fail "the banner does not say where: $(head -1 "$scratch/emulator.log")"
for name in kor-vm31-emulator.ctl kor-vm31-emulator.dev; do
  [ -f "$runtime/$name" ] || fail "no $name in $runtime while the mouse is plugged in"
done

# A second emulator refuses to serve beside the first.
vm31ctl emulator run
[ "$rc" -eq 4 ] || fail "a second emulator run: exit $rc, expected 4: $out"
grep -q "already runs" <<<"$out" || fail "a second emulator run: $out"

# The admission: a wrong client key is dropped unanswered, the file's key is answered with the
# emulator's key and then a request. From Linux: loopback TCP is the same for both.
python3 - "$runtime/kor-vm31-emulator.ctl" <<'EOF' || fail "the control port's admission (above)"
import socket, sys
fields = dict(line.split(" ", 1) for line in open(sys.argv[1]).read().splitlines())
port = int(fields["port"])
client, emulator = bytes.fromhex(fields["client-key"]), bytes.fromhex(fields["emulator-key"])

def talk(key, request):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    s.sendall(key + request)
    data = b""
    while True:
        try:
            chunk = s.recv(4096)
        except ConnectionResetError:
            break
        if not chunk:
            break
        data += chunk
    return data

wrong = bytes(b ^ 0x5A for b in client)
got = talk(wrong, b"status\n")
if got:
    sys.exit(f"a wrong client key was answered: {got!r}")
got = talk(client, b"status\n")
if not got.startswith(emulator) or not got[len(emulator):].startswith(b"ok plugged sensor-type 2"):
    sys.exit(f"the right client key was not answered with the emulator key and the status: {got!r}")
EOF
# A port that answers without the file's emulator key, or turns the file's client key down, is
# not taken for this user's emulated mouse.
cp "$runtime/kor-vm31-emulator.ctl" "$scratch/ctl.saved"
for key in emulator-key client-key; do
  sed "s/^$key .*/$key 000102030405060708090a0b0c0d0e0f/" "$scratch/ctl.saved" \
    >"$runtime/kor-vm31-emulator.ctl"
  vm31ctl emulator status
  [ "$rc" -ne 0 ] || fail "emulator status used the port with another $key: $out"
  grep -q "not served by this user's emulated mouse" <<<"$out" ||
    fail "the refusal with another $key does not say why: $out"
done
cp "$scratch/ctl.saved" "$runtime/kor-vm31-emulator.ctl"

vm31ctl status
[ "$rc" -eq 0 ] || fail "status with the emulated mouse: exit $rc: $out"
grep -q "^mouse: present" <<<"$out" || fail "status: $out"
grep -q "^path: emulator:.*kor-vm31-emulator.dev#0" <<<"$out" || fail "status path: $out"
grep -qx "sensor type: 2" <<<"$out" || fail "status does not show sensor type 2: $out"

# apply of a random settings record (a report rate the mouse knows, 1925 is its offset): its
# part of the trace is exactly what the record and the mouse's replies call for.
python3 -c "
import os, random, sys
record = bytearray(os.urandom(1985))
record[1925] = random.choice([1, 2, 4, 8])
sys.stdout.buffer.write(bytes([0]) + record)" >"$scratch/config.bin"
cp "$scratch/config.bin" "$scratch/config-before.bin"
printf '[Skins]\r\nLan=EN\r\n' >"$scratch/str.ini"
before=$(wc -l <"$trace")
vm31ctl apply --config "$scratch/config.bin" --prefs "$scratch/str.ini"
[ "$rc" -eq 0 ] || fail "apply: exit $rc: $out"
{ head -n 1 "$trace"; tail -n +$((before + 1)) "$trace"; } >"$scratch/apply-trace.jsonl"
python3 "$decoder" "$scratch/apply-trace.jsonl" "$scratch/config-before.bin" --sensor-type 2 \
  >"$scratch/decoded" 2>&1 || { fail "apply's wire trace:"; sed 's/^/  | /' "$scratch/decoded"; }
cmp -s <(tail -c +2 "$scratch/config.bin") <(tail -c +2 "$scratch/config-before.bin") ||
  fail "apply changed the settings record in config.bin"
grep -q "^Item1=" "$scratch/str.ini" || fail "apply did not write the button captions"

# watch: a press of the mouse's DPI button, the unplug, the plug, then the emulator's end.
"$wine" "$ctl_folder/vm31ctl.exe" watch --json >"$scratch/watch.log" 2>&1 &
watch_pid=$!
wait_for "$scratch/watch.log" '"event":"watching"'
grep -q '"event":"note"' "$scratch/watch.log" && fail "watch follows no plugging: $(cat "$scratch/watch.log")"
wait_for "$scratch/watch.log" '"event":"detected"'
vm31ctl emulator press dpi 2
[ "$rc" -eq 0 ] || fail "emulator press dpi 2: exit $rc: $out"
wait_for "$scratch/watch.log" '"event":"dpiStage","stage":2'
vm31ctl emulator unplug
[ "$rc" -eq 0 ] || fail "emulator unplug: exit $rc: $out"
wait_for "$scratch/watch.log" '"event":"unplugged"'
wait_for "$scratch/watch.log" '"event":"notDetected"'
[ -e "$runtime/kor-vm31-emulator.dev" ] && fail "the device file stays after the unplug"
vm31ctl status
[ "$rc" -eq 1 ] || fail "status while unplugged: exit $rc, expected 1: $out"
vm31ctl emulator plug
[ "$rc" -eq 0 ] || fail "emulator plug: exit $rc: $out"
wait_for "$scratch/watch.log" '"event":"plugged"'
wait_for "$scratch/watch.log" '"event":"detected"' 2
vm31ctl emulator press group 2
wait_for "$scratch/watch.log" '"event":"keyGroup","group":2'
# Ctrl+C (SIGINT, which Wine hands to the console's handler) ends the emulator cleanly: its
# files go, and watch sees the mouse go.
kill -INT "$emulator_pid"
wait "$emulator_pid"
status=$?
emulator_pid=
[ "$status" -eq 0 ] || fail "emulator run ended with $status on Ctrl+C"
grep -qx "stopped" <(tr -d '\r' <"$scratch/emulator.log") || fail "the emulator did not say it stopped"
for name in kor-vm31-emulator.ctl kor-vm31-emulator.dev; do
  [ -e "$runtime/$name" ] && fail "$name stays after the emulator ended"
done
wait_for "$scratch/watch.log" '"event":"unplugged"' 2
# A new emulator is found by the running watch; killed, without any clean-up, it is an unplug too.
"$wine" "$ctl_folder/vm31ctl.exe" emulator run >"$scratch/emulator2.log" 2>&1 &
emulator_pid=$!
wait_for "$scratch/watch.log" '"event":"detected"' 3
kill -KILL "$emulator_pid"
wait "$emulator_pid" 2>/dev/null
emulator_pid=
wait_for "$scratch/watch.log" '"event":"unplugged"' 3
[ "$(grep -c '"event":"dpiStage"' "$scratch/watch.log")" -eq 1 ] || fail "one press gave several DPI events"
kill -0 "$watch_pid" 2>/dev/null || fail "watch ended by itself: $(cat "$scratch/watch.log")"
if grep -q "^emulated mouse:" "$scratch/emulator.log"; then
  fail "the emulated mouse found faults in what it received:"; grep "^emulated mouse:" "$scratch/emulator.log"
fi

[ "$failures" -eq 0 ] && echo "vm31ctl.exe with the emulated mouse under Wine: every check passed"
exit $((failures > 0))
