#!/usr/bin/env bash
# A save by another user than the file's owner: root keeps the owner and group (the user's next
# save still works), any other user is refused by name and the file stays as it was. Acts as
# nobody and a second user (setpriv), so it needs root; skipped (77) otherwise.
set -uo pipefail
bin=$1
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to act as other users"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"
# The other users run a portable copy: the build's folder may be closed to them (a clone in
# root's home folder).
mkdir "$work/bin" && cp "$bin/vm31ctl" "$bin/config.bin" "$bin/str.ini" "$bin/record.ini" "$work/bin/"
chmod -R a+rX "$work/bin"
ctl="$work/bin/vm31ctl"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }

printf '[Dash]\r\nItemCount=2\r\nItem0=A   Dn\r\nItem1=A   Up\r\n' >"$work/record.ini"
chmod 0644 "$work/record.ini"

# nobody's settings saved by root ("sudo vm31ctl macro compile"), then by nobody again.
data="$work/nobody"
mkdir "$data" && chown nobody:nogroup "$data"
as_nobody "$ctl" config factory --output "$data/config.bin"
chmod 0640 "$data/config.bin"
"$ctl" macro compile --macros "$work/record.ini" --config "$data/config.bin" >"$work/out" 2>&1 \
  || fail "root's compile failed: $(cat "$work/out")"
owner=$(stat -c '%U:%G %a' "$data/config.bin")
[ "$owner" = "nobody:nogroup 640" ] || fail "after root's save config.bin is $owner, expected nobody:nogroup 640"
as_nobody "$ctl" macro compile --macros "$work/record.ini" --config "$data/config.bin" >"$work/out" 2>&1 \
  || fail "nobody's next save failed: $(cat "$work/out")"

# A file of nobody's that a second user may write (shared group): refused, naming the owner.
shared="$work/shared"
mkdir -m 0777 "$shared"
"$ctl" config factory --output "$shared/config.bin"
chown nobody:4242 "$shared/config.bin" && chmod 0664 "$shared/config.bin"
before=$(md5sum <"$shared/config.bin")
setpriv --reuid=4242 --regid=4242 --clear-groups \
  "$ctl" macro compile --macros "$work/record.ini" --config "$shared/config.bin" >"$work/out" 2>&1
got=$?
[ "$got" -ne 0 ] || fail "a save by uid 4242 succeeded and took the file over"
grep -q "belongs to nobody (uid 65534)" "$work/out" || fail "the refusal does not name the owner: $(cat "$work/out")"
[ "$(stat -c '%U:%g' "$shared/config.bin")" = "nobody:4242" ] || fail "the owner changed"
[ "$(md5sum <"$shared/config.bin")" = "$before" ] || fail "the refused file changed"
leftovers=$(find "$shared" -name '*.tmp' | wc -l)
[ "$leftovers" -eq 0 ] || fail "$leftovers temporary files left by the refused save"

# The saver's own file in a group the saver is not in: saved, still the saver's.
own="$work/own"
mkdir -m 0777 "$own"
"$ctl" config factory --output "$own/config.bin"
chown 4242:nogroup "$own/config.bin" && chmod 0644 "$own/config.bin"
setpriv --reuid=4242 --regid=4242 --clear-groups \
  "$ctl" macro compile --macros "$work/record.ini" --config "$own/config.bin" >"$work/out" 2>&1 \
  || fail "uid 4242 could not save its own file of another group: $(cat "$work/out")"
[ "$(stat -c '%u' "$own/config.bin")" = 4242 ] || fail "its own file changed owner"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "save owner: kept by root, refused by name for another user"
