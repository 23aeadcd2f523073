# Sourced by the device-command tests (they set `ctl` to the vm31ctl under test before they
# start the emulator): a scratch folder `work` removed at exit together with the emulator and
# the watch a test started, failures counted by `fail`, the emulator's start and the wait for a
# line of output.
work=$(mktemp -d)
emulator_pid=
watch_pid=
cleanup() {
  [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

start_emulator() {  # start_emulator ARGS...: runs it in the background, waits until it answers
  "$ctl" emulator run "$@" >"$work/emulator.log" 2>&1 &
  emulator_pid=$!
  for _ in $(seq 100); do
    "$ctl" emulator status >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "FAIL: the emulator did not start:"; cat "$work/emulator.log"
  exit 1  # everything else depends on it
}

# wait_for FILE TEXT: until FILE holds TEXT (5 s at most).
wait_for() {
  for _ in $(seq 100); do
    grep -qF -- "$2" "$1" && return 0
    sleep 0.05
  done
  fail "no \"$2\" in $1:"; sed -n l "$1"; return 1
}
