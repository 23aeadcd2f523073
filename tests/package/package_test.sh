#!/usr/bin/env bash
# The Debian package of this build tree, as a user gets it from scripts/package.sh: packed by
# CPack (stripped), its file list against expected-files.txt plus the rendered skins, its
# control fields, lintian, desktop-file-validate, appstreamcli, the man pages and the bash
# completion; then the installed program under Xvfb against the emulated mouse
# (installed_e2e.py), from the package unpacked into a temporary root. With
# VM31_PACKAGE_TEST_INSTALL=1 (CI, as root) it is also installed with apt-get, run from /usr,
# purged, and nothing of it may be left.
#
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
app_id=org.korvm31.KOR_VM31

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}

# The files: exactly the expected ones and every rendered skin picture.
{
  cat "$source/tests/package/expected-files.txt"
  (cd "$build/bin/Skins" && find . -type f -name '*.png' | sed 's|^\.|/usr/share/kor-vm31/Skins|')
} | sort >"$work/expected"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | sort >"$work/packed"
diff -u "$work/expected" "$work/packed" || fail "the package's files differ from the expected set"

# Control fields: dependencies from dpkg-shlibdeps, section, description, maintainer scripts.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libudev1 libstdc++6; do
  [[ $depends == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "Section is not utils"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 3 ] || fail "no long description"
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
  grep -q 'udevadm trigger --subsystem-match=hidraw' "$work/control/$script" ||
    fail "$script does not trigger udev for hidraw"
done
grep -qx "/etc/xdg/autostart/$app_id.desktop" "$work/control/conffiles" ||
  fail "the autostart entry is not a conffile"

lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"

root=$work/root
dpkg-deb -x "$deb" "$root"
for binary in KOR_VM31 vm31ctl; do
  file -b "$root/usr/bin/$binary" | grep -q ', stripped' || fail "$binary is not stripped"
done
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" \
  "$root/etc/xdg/autostart/$app_id.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=KOR_VM31 --show' "$root/usr/share/applications/$app_id.desktop" ||
  fail "the menu entry does not show the window"
grep -qx 'Exec=KOR_VM31' "$root/etc/xdg/autostart/$app_id.desktop" ||
  fail "the autostart entry does not start hidden"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" ||
  { cat "$work/as.log" >&2; fail "appstreamcli validate"; }
grep -q 'TAG+="uaccess"' "$root/usr/lib/udev/rules.d/70-kor-vm31.rules" ||
  fail "the udev rule gives the seat no access"

# The man pages name every option of their program's --help, the files and the exit status.
for program in KOR_VM31 vm31ctl; do
  page=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
  for section in '^\.SH FILES' '^\.SH "SEE ALSO"'; do
    grep -q "$section" <<<"$page" || fail "$program.1 lacks $section"
  done
  grep -qi 'exit status' <<<"$page" || fail "$program.1 says nothing of the exit status"
  for option in $("$root/usr/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$page" || fail "$program.1 does not document $option"
  done
done
zcat "$root/usr/share/man/man1/KOR_VM31.1.gz" | grep -q '^\.SH "EXIT STATUS"' ||
  fail "KOR_VM31.1 has no EXIT STATUS section"

# The bash completion, as bash runs it.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vm31ctl
           printf "%s\n" "${COMPREPLY[@]}"' _ \
    "$root/usr/share/bash-completion/completions/vm31ctl" "$@" | sort | tr '\n' ' '
}
check_completion() {
  local expected=$1
  shift
  local got
  got=$(complete_words "$@")
  [ "$got" = "$expected" ] || fail "completing '$*': '$got', not '$expected'"
}
check_completion "--help --version apply config emulator macro status watch " vm31ctl ""
check_completion "check factory show " vm31ctl config ""
check_completion "--config --json " vm31ctl config show --
check_completion "--json " vm31ctl status ""
check_completion "--json --macros " vm31ctl macro show NAME ""
check_completion "dpi " vm31ctl emulator press d
check_completion "1000 125 250 500 " vm31ctl emulator press rate ""
check_completion "off on " vm31ctl emulator fault no-reply ""

run_installed() {
  dbus-run-session -- /usr/bin/python3 "$source/tests/e2e/installed_e2e.py" --root "$1" ||
    fail "the installed program under $1"
}
run_installed "$root"

if [ "${VM31_PACKAGE_TEST_INSTALL:-0}" = 1 ]; then
  [ "$(id -u)" -eq 0 ] || fail "VM31_PACKAGE_TEST_INSTALL=1 needs root"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "$deb" >/dev/null || fail "apt-get install"
  dpkg-query -L kor-vm31 >"$work/installed"
  [ "$(command -v KOR_VM31)" = /usr/bin/KOR_VM31 ] || fail "KOR_VM31 is not on the PATH"
  run_installed /
  apt-get purge -y -qq -o DPkg::Lock::Timeout=600 kor-vm31 >/dev/null || fail "apt-get purge"
  while read -r path; do
    [ -d "$path" ] && continue # folders shared with other packages stay
    [ ! -e "$path" ] || fail "$path is left after the purge"
  done <"$work/installed"
  for folder in /usr/share/kor-vm31 /usr/share/doc/kor-vm31; do
    [ ! -e "$folder" ] || fail "$folder is left after the purge"
  done
fi
echo "passed: $(basename "$deb")"
