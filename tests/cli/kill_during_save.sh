#!/usr/bin/env bash
# Kills a loop of saves at random moments: config.bin, str.ini and record.ini must each hold one
# complete version afterwards, never a missing, empty or torn file. The temporary files the
# kills leave are removed by the next start once they are old.
#   kill_during_save.sh BIN [KILLS]   (default 40; the soak run in docs/reliability.md uses 500)
set -euo pipefail
bin=$1
kills=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Start from complete files (config.bin must exist: the program never creates it).
"$bin/vm31ctl" config factory --output "$work/config.bin"
timeout 0.3 "$bin/save_loop" run "$work" || true
"$bin/save_loop" check "$work"

for ((i = 1; i <= kills; i++)); do
  "$bin/save_loop" run "$work" &
  pid=$!
  sleep "0.0$((RANDOM % 90 + 10))"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true
  if ! "$bin/save_loop" check "$work"; then
    echo "FAIL: a file was torn by the kill number $i" >&2
    exit 1
  fi
done
leftovers=$(find "$work" -name '*.tmp' | wc -l)
echo "$kills kills, every file complete; $leftovers temporary files left by the kills"

# A start of the program in this folder (a portable copy: its folder holds config.bin) removes
# the leftovers once they are old, and nothing else: not a young one (a save running now), not
# a file of another pattern.
find "$work" -name '*.tmp' -exec touch -d '-20 minutes' {} +
touch -d '-20 minutes' "$work/config.bin.00000000deadbeef.tmp" "$work/notes.tmp"
touch "$work/record.ini.0123456789abcdef.tmp"
cp "$bin/vm31ctl" "$work/vm31ctl"
"$work/vm31ctl" config check >/dev/null 2>&1 || true  # the sweep runs whatever the check says
stale=$(find "$work" -name '*.[0-9a-f]*.tmp' ! -name 'record.ini.0123456789abcdef.tmp' | wc -l)
if [ "$stale" -ne 0 ] || [ ! -e "$work/record.ini.0123456789abcdef.tmp" ] || [ ! -e "$work/notes.tmp" ]; then
  echo "FAIL: after a start $stale old temporary files are left, or a file of another kind was removed:" >&2
  ls -la "$work" >&2
  exit 1
fi
echo "the next start removed every old temporary file and kept the young one"
