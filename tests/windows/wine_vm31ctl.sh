#!/usr/bin/env bash
# vm31ctl.exe under Wine without a mouse: the device commands find none and change nothing, watch
# follows until it is stopped, the per-user data folder is %APPDATA%\kor-vm31 filled from the
# factory folder beside the program, and paths beyond the ANSI code page work.
# Usage: wine_vm31ctl.sh WINE_RUNNER BIN_FOLDER
set -euo pipefail
wine=$1
bin=$2
scratch=$(mktemp -d)
watcher=
cleanup() {
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# Runs vm31ctl.exe of folder $1 with the remaining arguments; sets $out (both streams, without the
# carriage returns of the console) and $rc.
vm31ctl() {
  local folder=$1
  shift
  set +e
  out=$("$wine" "$folder/vm31ctl.exe" "$@" 2>&1 | tr -d '\r')
  rc=${PIPESTATUS[0]}
  set -e
}

# A portable copy: the program's folder holds config.bin.
portable=$scratch/portable
mkdir -p "$portable"
cp "$bin/vm31ctl.exe" "$bin/config.bin" "$bin/record.ini" "$bin/str.ini" "$portable/"

vm31ctl "$portable" status
[ "$rc" -eq 1 ] || fail "status without a mouse: exit $rc: $out"
grep -q "^mouse: absent" <<<"$out" || fail "status: $out"

before=$(sha256sum "$portable/config.bin" "$portable/str.ini")
vm31ctl "$portable" apply
[ "$rc" -eq 1 ] || fail "apply without a mouse: exit $rc: $out"
grep -q "Nothing was applied" <<<"$out" || fail "apply: $out"
[ "$(sha256sum "$portable/config.bin" "$portable/str.ini")" = "$before" ] ||
  fail "apply without a mouse changed the files"

# watch reports the absent mouse and then waits for the device notifications until stopped.
"$wine" "$portable/vm31ctl.exe" watch --json >"$scratch/watch.out" 2>&1 &
watcher=$!
for _ in $(seq 1 120); do
  grep -q '"event":"watching"' "$scratch/watch.out" && break
  kill -0 "$watcher" 2>/dev/null || fail "watch ended: $(cat "$scratch/watch.out")"
  sleep 0.5
done
grep -q '"event":"watching"' "$scratch/watch.out" || fail "watch never started"
grep -q '"event":"notDetected"' "$scratch/watch.out" || fail "watch: $(cat "$scratch/watch.out")"
if grep -q '"event":"note"' "$scratch/watch.out"; then
  fail "watch has no device notifications: $(cat "$scratch/watch.out")"
fi
kill -0 "$watcher" 2>/dev/null || fail "watch ended by itself"
kill "$watcher"
wait "$watcher" 2>/dev/null || true
watcher=

# An installed copy: no config.bin beside the program, the factory files in "factory".
installed=$scratch/installed
mkdir -p "$installed/factory"
cp "$bin/vm31ctl.exe" "$installed/"
cp "$bin/config.bin" "$bin/record.ini" "$bin/str.ini" "$installed/factory/"
appdata_windows=$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')
appdata=$("$wine" winepath -u "$appdata_windows" | tr -d '\r')
[ -d "$appdata" ] || fail "APPDATA is \"$appdata_windows\" ($appdata), not a folder"
rm -rf "$appdata/kor-vm31"
vm31ctl "$installed" config show
[ "$rc" -eq 0 ] || fail "config show of the per-user folder: exit $rc: $out"
for name in config.bin record.ini str.ini; do
  cmp -s "$installed/factory/$name" "$appdata/kor-vm31/$name" ||
    fail "$name was not filled into $appdata/kor-vm31 from the factory folder"
done
grep -qi "^file: .*AppData.*kor-vm31.config.bin" <<<"$out" || fail "config show: $(head -1 <<<"$out")"
# The user's own files are never filled over.
printf '[General]\nLan=1\n' >"$appdata/kor-vm31/str.ini"
vm31ctl "$installed" config check
[ "$rc" -eq 0 ] || fail "config check: exit $rc: $out"
[ "$(cat "$appdata/kor-vm31/str.ini")" = "$(printf '[General]\nLan=1')" ] ||
  fail "the user's str.ini was replaced"
rm -rf "$appdata/kor-vm31"

# A folder name beyond the ANSI code page: compiled and saved there, and read back.
wide="$scratch/Мышь マウス"
mkdir -p "$wide"
cp "$bin/config.bin" "$bin/record.ini" "$wide/"
vm31ctl "$portable" macro compile --macros "$wide/record.ini" --config "$wide/config.bin"
[ "$rc" -eq 0 ] || fail "macro compile in a wide folder: exit $rc: $out"
vm31ctl "$portable" config check --config "$wide/config.bin"
[ "$rc" -eq 0 ] || fail "config check in a wide folder: exit $rc: $out"
ls "$wide" | grep -q '\.tmp$' && fail "a temporary file was left in $wide"
echo "vm31ctl.exe under Wine: all checks passed"
