#!/usr/bin/env bash
# A save survives a power cut: the new file's bytes are synced before the rename that makes them
# the file, and the folder after it. Watched with strace on a real `vm31ctl macro compile`
# (config.bin) and a real `vm31ctl apply` against the emulated mouse (config.bin and str.ini,
# both renamed before their folder is synced).
set -uo pipefail
bin=$1
ctl="$bin/vm31ctl"
command -v strace >/dev/null || { echo "skipped: strace is not installed"; exit 77; }
work=$(mktemp -d)
emulator_pid=
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
"$ctl" config factory --output "$work/config.bin"
printf '[Dash]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=A   Up\r\n' >"$work/record.ini"
strace -o /dev/null true 2>/dev/null || { echo "skipped: strace cannot trace here (no ptrace)"; exit 77; }

# Runs the command under strace into $work/trace; LeakSanitizer cannot run under ptrace (the
# sanitizer build).
traced() {
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    strace -f -qq -o "$work/trace" -e trace=openat,fsync,fdatasync,close,rename,renameat,renameat2 \
    "$@" >"$work/out" 2>&1 || { echo "FAIL: the save failed: $*"; cat "$work/out"; exit 1; }
}

# check_trace FILE...: each FILE (in $work) replaced from a synced temporary file, the folder
# synced after the last of the renames.
check_trace() {
  python3 - "$work/trace" "$work" "$@" <<'PY'
import re, sys
trace, folder, targets = sys.argv[1], sys.argv[2], [sys.argv[2] + "/" + f for f in sys.argv[3:]]
names = {}     # open descriptor -> path
synced = []    # (step, path)
renamed = {}   # target -> (step, temporary)
# With threads, strace splits a call that another thread's call interrupts into
# "PID call(args <unfinished ...>" and "PID <... call resumed>rest": each is joined here into one
# line at the place it completed.
pending = {}
lines = []
for line in open(trace):
    pid, _, call = line.rstrip("\n").partition(" ")
    if call.endswith("<unfinished ...>"):
        pending[pid] = call[: -len("<unfinished ...>")].rstrip()
    elif m := re.match(r"<\.\.\. \w+ resumed>(.*)", call.lstrip()):
        lines.append(pending.pop(pid, "") + m.group(1))
    else:
        lines.append(call)
step = 0
for line in lines:
    step += 1
    if m := re.search(r'openat\([^,]+, "([^"]+)", [^)]*\)\s*=\s*(\d+)', line):
        names[m.group(2)] = m.group(1)
    elif m := re.search(r'f(?:data)?sync\((\d+)\)\s*=\s*0', line):
        synced.append((step, names.get(m.group(1), "?")))
    elif m := re.search(r'rename(?:at2?)?\(.*"([^"]+\.tmp)", .*"([^"]+)"', line):
        renamed[m.group(2)] = (step, m.group(1))
for target in targets:
    if target not in renamed:
        sys.exit("FAIL: no rename of a temporary file over %s" % target)
    at, temporary = renamed[target]
    if not any(s < at and p == temporary for s, p in synced):
        sys.exit("FAIL: the new %s was not synced before its rename; syncs: %s" % (target, synced))
last = max(renamed[t][0] for t in targets)
if not any(s > last and p.rstrip("/") == folder for s, p in synced):
    sys.exit("FAIL: the folder was not synced after the last rename; syncs: %s" % synced)
print("save sync: %s synced before the rename, the folder after it"
      % " and ".join(t.rsplit("/", 1)[1] for t in targets))
PY
}

traced "$ctl" macro compile --macros "$work/record.ini" --config "$work/config.bin"
check_trace config.bin || exit 1

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$bin/str.ini" "$work/str.ini"
"$ctl" emulator run >/dev/null 2>&1 &
emulator_pid=$!
for _ in $(seq 200); do
  "$ctl" emulator status 2>/dev/null | grep -q '^plugged' && break
  sleep 0.05
done
traced "$ctl" apply --config "$work/config.bin" --prefs "$work/str.ini"
check_trace config.bin str.ini || exit 1
