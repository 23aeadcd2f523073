#!/usr/bin/env bash
# Kills a loop of saves at random moments: config.bin, str.ini and record.ini must each hold one
# complete version afterwards, never a missing, empty or torn file.
set -euo pipefail
bin=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Start from complete files (config.bin must exist: the program never creates it).
"$bin/vm31ctl" config factory --output "$work/config.bin"
timeout 0.3 "$bin/save_loop" run "$work" || true
"$bin/save_loop" check "$work"

kills=40
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
