#!/usr/bin/env bash
# The Windows installer under Wine on Xvfb, in a fresh Wine prefix of its own: a silent install
# (/S, /D= a folder of its own) puts exactly the build's install tree, the uninstaller, the
# Start-menu shortcut (KOR_VM31.exe --show, the program icon), the autostart entry (the machine's
# Run key, the plain hidden start) and the Add/Remove Programs entry in place. The installed
# program runs against vm31ctl.exe emulator run from the installed folder: the autostart's command
# starts it hidden in the tray, the shortcut's command shows its window "Gaming Mouse Setting",
# and the per-user data folder is filled from the installed factory files. A silent uninstall
# while a program file is in use ends the running KOR_VM31.exe, stops with exit code 2 and
# changes nothing; a silent install over a running KOR_VM31.exe ends it and updates the folder in
# place; the registered QuietUninstallString then removes everything but the user's data folder.
# Usage: wine_installer_e2e.sh WINE_RUNNER INSTALLER BUILD_FOLDER VERSION PRODUCT_NAME PUBLISHER
set -uo pipefail
wine=$1
installer=$2
build=$3
version=$4
product=$5
publisher=$6
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_rig.sh
. "$here/wine_rig.sh"
[ -f "$installer" ] || { echo "FAIL: no installer $installer"; exit 1; }

# Every Wine process of the test on one X display (the installer's, the program's and Wine's own
# tray window).
rig_start_x

run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\kor-vm31'
# reg_value KEY NAME: prints the value's data; fails when there is none.
reg_value() {
  local out
  out=$("$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r') || return 1
  awk -v name="$2" -F '    ' '$2 == name {print $4; found = 1} END {exit !found}' <<<"$out"
}
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# The silent install into a folder of its own (beyond Program Files; without a space, as Wine
# quotes an argument with one, and /D= takes the rest of the command line as it stands).
folder_windows='C:\Apps\KOR-VM31'
"$wine" "$installer" /S "/D=$folder_windows"
rc=$?
[ "$rc" -eq 0 ] || { echo "FAIL: the silent install ended with $rc"; exit 1; }
folder=$(unix_path "$folder_windows")
exe_windows="$folder_windows\\KOR_VM31.exe"
[ -f "$folder/KOR_VM31.exe" ] || { echo "FAIL: no KOR_VM31.exe in $folder"; exit 1; }

# Exactly the programs, the licence, the uninstaller, the build's skins and its factory files;
# no config.bin beside the program, so the installed program keeps its data per user.
(cd "$folder" && find . -type f | sed 's|^\./||' | sort) >"$scratch/installed.txt"
{
  printf '%s\n' KOR_VM31.exe vm31ctl.exe LICENSE.txt uninstall.exe \
    factory/config.bin factory/record.ini factory/str.ini factory/vm31-device.ini
  (cd "$build/bin" && find Skins -type f)
} | sort >"$scratch/expected.txt"
diff "$scratch/expected.txt" "$scratch/installed.txt" >"$scratch/files.diff" ||
  { fail "the installed files differ from the build's (< missing, > extra):"; sed 's/^/  | /' "$scratch/files.diff"; }
for name in config.bin record.ini str.ini; do
  cmp -s "$build/factory/$name" "$folder/factory/$name" || fail "factory/$name is not the build's"
done
cmp -s "$here/../../res/device/vm31-device.ini" "$folder/factory/vm31-device.ini" ||
  fail "factory/vm31-device.ini is not the device definition"
while read -r skin_file; do
  cmp -s "$build/bin/$skin_file" "$folder/$skin_file" || fail "$skin_file is not the build's"
done < <(cd "$build/bin" && find Skins -type f)

# The Start-menu shortcut for every user: KOR_VM31.exe --show with the program's icon.
programs=$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')
shortcut="$programs/Gaming Mouse Setting.lnk"
if [ -f "$shortcut" ]; then
  link=$(python3 "$here/shell_link.py" "$shortcut")
  for line in "target: $exe_windows" "arguments: --show" "icon: $exe_windows,0"; do
    grep -qxF -- "$line" <<<"$link" || fail "the shortcut lacks \"$line\": $link"
  done
else
  fail "no Start-menu shortcut $shortcut: $(ls "$programs")"
fi

# The autostart entry: the plain start, which stays hidden in the tray.
autostart=$(reg_value "$run_key" KOR_VM31) || fail "no KOR_VM31 value in $run_key"
[ "${autostart:-}" = "\"$exe_windows\"" ] || fail "the autostart entry is $autostart"

# Add/Remove Programs: name, version, publisher (the version resource's), icon, uninstall strings.
check_uninstall_entry() {
  local name expected value
  while IFS='|' read -r name expected; do
    value=$(reg_value "$uninstall_key" "$name") || { fail "no $name in $uninstall_key"; continue; }
    [ "$value" = "$expected" ] || fail "$uninstall_key $name is \"$value\", not \"$expected\""
  done <<EOF
DisplayName|$product
DisplayVersion|$version
Publisher|$publisher
DisplayIcon|$exe_windows,0
InstallLocation|$folder_windows
UninstallString|"$folder_windows\\uninstall.exe"
QuietUninstallString|"$folder_windows\\uninstall.exe" /S
EOF
}
check_uninstall_entry

# The installed program against the emulated mouse of the installed vm31ctl.exe.
"$wine" "$folder/vm31ctl.exe" emulator run >"$scratch/emulator.log" 2>&1 &
emulator_pid=$!
wait_until "emulated mouse" grep -q "plugged in" "$scratch/emulator.log" ||
  { cat "$scratch/emulator.log"; exit 1; }

tray_icon() { xdotool search --onlyvisible --name '^Wine System Tray$'; }
# The autostart's command: the program comes up hidden, its icon in the tray.
"$wine" "${autostart//\"/}" >"$scratch/app.log" 2>&1 &
app_pid=$!
wait_until "tray icon after the autostart's start" tray_icon || cat "$scratch/app.log"
sleep 1
[ -z "$(shown)" ] || fail "the autostart's plain start shows the window"
kill -0 "$app_pid" 2>/dev/null || fail "the program started by the autostart entry ended: $(cat "$scratch/app.log")"
# The shortcut's command hands --show to the running instance, which shows its window.
timeout 30 "$wine" "$exe_windows" --show >"$scratch/show.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "the shortcut's command ended with $rc: $(cat "$scratch/show.log")"
wait_until "window titled \"Gaming Mouse Setting\" after the shortcut's command" shown

# The per-user data folder, filled from the installed factory files.
appdata=$(unix_path "$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')")/kor-vm31
for name in config.bin record.ini str.ini; do
  [ -f "$appdata/$name" ] || fail "no $name in the data folder $appdata"
done
cmp -s "$build/factory/config.bin" "$appdata/config.bin" ||
  fail "the data folder's config.bin is not the factory one"

# ended PID: the process has ended; its exit code in $ended_rc.
ended_rc=
ended() {
  kill -0 "$1" 2>/dev/null && return 1
  wait "$1"
  ended_rc=$?
}
installed_state() {
  (cd "$folder" && find . -type f -exec sha256sum {} + | sort)
  [ -f "$shortcut" ] && echo "shortcut"
  reg_value "$run_key" KOR_VM31
  reg_value "$uninstall_key" UninstallString
}

# The uninstaller in place (_?=, so its exit code is its own) while vm31ctl.exe of the folder
# runs: KOR_VM31.exe is asked to end and ends with 0 (its tray menu's Exit), then the uninstaller
# stops with 2 and everything stays.
installed_state >"$scratch/state-before"
timeout 60 "$wine" "$folder/uninstall.exe" /S "_?=$folder_windows"
rc=$?
[ "$rc" -eq 2 ] || fail "the uninstaller while vm31ctl.exe runs ended with $rc, not 2"
if wait_until "end of KOR_VM31.exe asked by the uninstaller" ended "$app_pid"; then
  [ "$ended_rc" -eq 0 ] || fail "KOR_VM31.exe asked to end by the uninstaller ended with $ended_rc"
  app_pid=
fi
installed_state >"$scratch/state-after"
cmp -s "$scratch/state-before" "$scratch/state-after" ||
  fail "the stopped uninstaller changed the installation: $(diff "$scratch/state-before" "$scratch/state-after")"

# Ctrl+C ends the emulator cleanly (its files in the runtime folder removed).
kill -INT "$emulator_pid"
wait "$emulator_pid"
emulator_pid=

# A silent install over the running program, without /D: the running KOR_VM31.exe ends, the
# installed folder is updated where it is.
"$wine" "$exe_windows" --show >"$scratch/app.log" 2>&1 &
app_pid=$!
wait_until "window of the program started again" shown
touch -d '2000-01-01' "$folder/KOR_VM31.exe"
"$wine" "$installer" /S
rc=$?
[ "$rc" -eq 0 ] || fail "the silent install over the running program ended with $rc"
if wait_until "end of KOR_VM31.exe asked by the installer" ended "$app_pid"; then
  [ "$ended_rc" -eq 0 ] || fail "KOR_VM31.exe asked to end by the installer ended with $ended_rc"
  app_pid=
fi
[ "$(stat -c %Y "$folder/KOR_VM31.exe")" -gt "$(date -d '2001-01-01' +%s)" ] ||
  fail "the install over the running program did not replace $folder/KOR_VM31.exe"
default_folder=$(unix_path 'C:\Program Files\KOR VM31')
[ -e "$default_folder" ] && fail "the update went to $default_folder, not to the installed folder"
check_uninstall_entry

# The registered QuietUninstallString with the program running: the uninstaller copies itself
# away and runs from there, so the folder's removal is awaited. (The program's window shows that
# it runs; Wine's tray window stays from the last one.)
"$wine" "$exe_windows" --show >"$scratch/app.log" 2>&1 &
app_pid=$!
wait_until "window of the updated program" shown
quiet=$(reg_value "$uninstall_key" QuietUninstallString)
uninstaller=${quiet%\" /S}
uninstaller=${uninstaller#\"}
[ "$quiet" = "\"$uninstaller\" /S" ] || fail "QuietUninstallString is $quiet"
"$wine" "$uninstaller" /S
gone() { [ ! -e "$folder" ] && ! reg_value "$uninstall_key" DisplayName; }
wait_until "removal of $folder and the uninstall entry" gone
if wait_until "end of KOR_VM31.exe asked by the uninstaller" ended "$app_pid"; then
  [ "$ended_rc" -eq 0 ] || fail "KOR_VM31.exe asked to end by the uninstaller ended with $ended_rc"
  app_pid=
fi
[ -e "$shortcut" ] && fail "the Start-menu shortcut stays after the uninstall"
reg_value "$run_key" KOR_VM31 >/dev/null && fail "the autostart entry stays after the uninstall"
localappdata=$(unix_path "$("$wine" cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')")
[ -e "$localappdata/kor-vm31" ] && fail "the runtime folder stays: $(find "$localappdata/kor-vm31")"
for name in config.bin record.ini str.ini; do
  [ -f "$appdata/$name" ] || fail "the uninstall removed $name from the user's data folder"
done

rig_finish "the installer under Wine"
