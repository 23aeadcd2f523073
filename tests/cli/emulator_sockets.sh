#!/usr/bin/env bash
# The emulated mouse among several users: its sockets are its user's alone whatever the umask,
# and a client never takes another user's emulator for its mouse. Runs the emulator as nobody
# (setpriv), so it needs root; skipped (77) otherwise.
set -uo pipefail
bin=$1
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to run the emulator as another user"; exit 77; }
work=$(mktemp -d)
emulator=
cleanup() {
  [ -n "$emulator" ] && kill "$emulator" 2>/dev/null && wait "$emulator" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
chmod 0755 "$work"
# The other users run a portable copy: the build's folder may be closed to them (a clone in
# root's home folder).
mkdir "$work/bin" && cp "$bin/vm31ctl" "$bin/config.bin" "$bin/str.ini" "$bin/record.ini" "$work/bin/"
chmod -R a+rX "$work/bin"
ctl="$work/bin/vm31ctl"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# nobody's own runtime folder; the emulator starts with umask 000.
theirs="$work/theirs"
mkdir "$theirs" && chown nobody:nogroup "$theirs" && chmod 0700 "$theirs"
setpriv --reuid=nobody --regid=nogroup --clear-groups \
  env XDG_RUNTIME_DIR="$theirs" sh -c 'umask 000; exec "$1" emulator run' sh "$ctl" \
  >"$work/emulator.log" 2>&1 &
emulator=$!
for _ in $(seq 100); do
  [ -S "$theirs/kor-vm31-emulator.sock" ] && break
  sleep 0.1
done
[ -S "$theirs/kor-vm31-emulator.sock" ] || { cat "$work/emulator.log"; fail "the emulator did not start"; exit 1; }

for socket in kor-vm31-emulator.ctl kor-vm31-emulator.sock; do
  mode=$(stat -c %a "$theirs/$socket")
  [ "$mode" = 600 ] || fail "$socket has mode $mode under umask 000, expected 600"
done

# Opened up, the folder still keeps a third user out of the sockets.
chmod 0755 "$theirs"
setpriv --reuid=4242 --regid=4242 --clear-groups /usr/bin/python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
try:
    s.connect(sys.argv[1])
except PermissionError:
    sys.exit(3)
' "$theirs/kor-vm31-emulator.ctl"
got=$?
[ "$got" -eq 3 ] || fail "a third user's connect to nobody's emulator: exit $got, expected 3 (refused)"

# Our own private runtime folder whose entries lead to nobody's emulator: the client refuses
# the peer instead of sending it our settings.
ours="$work/ours"
mkdir -m 0700 "$ours"
ln -s "$theirs/kor-vm31-emulator.ctl" "$ours/kor-vm31-emulator.ctl"
ln -s "$theirs/kor-vm31-emulator.sock" "$ours/kor-vm31-emulator.sock"
XDG_RUNTIME_DIR="$ours" timeout 20 "$ctl" emulator status >"$work/out" 2>&1
got=$?
[ "$got" -ne 0 ] || fail "emulator status used nobody's emulator: $(cat "$work/out")"
grep -q "served by uid 65534" "$work/out" || fail "the refusal does not name the other user: $(cat "$work/out")"
XDG_RUNTIME_DIR="$ours" timeout 20 "$ctl" status >"$work/out" 2>&1
got=$?
[ "$got" -ne 0 ] || fail "status found nobody's emulated mouse: $(cat "$work/out")"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "emulator sockets: private to their user, another user's emulator refused"
