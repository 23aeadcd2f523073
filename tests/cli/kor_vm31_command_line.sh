#!/usr/bin/env bash
# KOR_VM31's command line on a bare console (no display): --help and --version print and end
# with 0, anything else is a usage error (2) that names the problem.
#
#   kor_vm31_command_line.sh BIN_DIR
set -euo pipefail
program="$1/KOR_VM31"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
bare() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@"; }

bare --help >"$work/out" 2>"$work/err" || fail "--help ended with $?"
for option in --help --version --show; do
  grep -q -- "$option" "$work/out" || fail "--help does not list $option"
done
grep -q '^Usage: KOR_VM31 \[options\]' "$work/out" || fail "--help has no usage line: $(head -1 "$work/out")"
[ ! -s "$work/err" ] || fail "--help wrote to stderr: $(cat "$work/err")"
[ "$(bare -h)" = "$(cat "$work/out")" ] || fail "-h differs from --help"

version=$(bare --version) || fail "--version ended with $?"
[[ $version =~ ^KOR_VM31\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed '$version'"

# Qt's own options (a session manager restores with "-session ID") are the toolkit's, not errors.
for arguments in "-platform offscreen --version" "--version -session 1a2b3c" "-style=Fusion --version"; do
  # shellcheck disable=SC2086
  [ "$(bare $arguments)" = "$version" ] || fail "'$arguments' did not print the version"
done

for arguments in "--bogus" "extra" "--show extra" "-x"; do
  status=0
  # shellcheck disable=SC2086
  bare $arguments >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 2 ] || fail "'$arguments' ended with $status, not 2"
  grep -q "KOR_VM31 --help" "$work/err" || fail "'$arguments' did not point to --help"
  [ ! -s "$work/out" ] || fail "'$arguments' wrote to stdout"
done
echo "passed: KOR_VM31's command line"
