#!/usr/bin/env bash
# A save survives a power cut: the new file's bytes are synced before the rename that makes them
# config.bin, and the folder after it. Watched with strace on a real `vm31ctl macro compile`.
set -uo pipefail
bin=$1
ctl="$bin/vm31ctl"
command -v strace >/dev/null || { echo "skipped: strace is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$ctl" config factory --output "$work/config.bin"
printf '[Dash]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=A   Up\r\n' >"$work/record.ini"
strace -o /dev/null true 2>/dev/null || { echo "skipped: strace cannot trace here (no ptrace)"; exit 77; }
# LeakSanitizer cannot run under ptrace (the sanitizer build).
if ! ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
  strace -f -qq -o "$work/trace" -e trace=openat,fsync,fdatasync,close,rename,renameat,renameat2 \
  "$ctl" macro compile --macros "$work/record.ini" --config "$work/config.bin" >"$work/out" 2>&1; then
  echo "FAIL: the save failed:"; cat "$work/out"; exit 1
fi
python3 - "$work/trace" "$work" <<'PY'
import re, sys
trace, folder = sys.argv[1], sys.argv[2]
target = folder + "/config.bin"
names = {}     # open descriptor -> path
synced = []    # (step, path)
renamed = None
step = 0
for line in open(trace):
    step += 1
    if m := re.search(r'openat\([^,]+, "([^"]+)", [^)]*\)\s*=\s*(\d+)', line):
        names[m.group(2)] = m.group(1)
    elif m := re.search(r'f(?:data)?sync\((\d+)\)\s*=\s*0', line):
        synced.append((step, names.get(m.group(1), "?")))
    elif m := re.search(r'rename(?:at2?)?\(.*"([^"]+\.tmp)", .*"([^"]+)"', line):
        if m.group(2) == target:
            renamed = (step, m.group(1))
if renamed is None:
    sys.exit("FAIL: no rename of a temporary file over config.bin")
file_synced = any(s < renamed[0] and p == renamed[1] for s, p in synced)
folder_synced = any(s > renamed[0] and p.rstrip("/") == folder for s, p in synced)
if not file_synced:
    sys.exit("FAIL: the new file was not synced before the rename; syncs: %s" % synced)
if not folder_synced:
    sys.exit("FAIL: the folder was not synced after the rename; syncs: %s" % synced)
print("save sync: file synced before the rename, folder after it")
PY
