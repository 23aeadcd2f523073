#!/usr/bin/env bash
# The device link against the real kernel: packs an initramfs (busybox, the HID modules,
# systemd-udevd with the base rules and the project's rule, vm31ctl, the uhid mouse and the
# libraries they load), boots Debian's kernel in qemu (software emulation) and reads the guest's
# verdict from its serial console; the apply's wire trace comes out on the second serial port and
# is checked byte for byte by the independent decoder.
#   run_guest.sh BIN_DIR UDEV_RULE WORK_DIR
# A guest that cannot boot, hangs or gives no verdict fails the test.
set -euo pipefail
bin=$1
rule=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
sensor_type=2  # the guest's checks expect it

kit=$(bash "$here/fetch_guest_kit.sh")
for tool in qemu-system-x86_64 /bin/busybox; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (run scripts/setup.sh)"; exit 1; }
done
rm -rf "$work"
root="$work/root"
mkdir -p "$root"/{bin,etc,proc,sys,dev,run,tmp,modules,test,opt/vm31,lib/systemd,lib/udev/rules.d}

# copy_with_libraries FILE DEST: the program and every library the dynamic loader gives it.
copy_with_libraries() {
  cp "$1" "$root$2"
  local libraries
  libraries=$(ldd "$1" 2>&1) || true
  if grep -q 'not found' <<<"$libraries"; then
    echo "FAIL: $1 needs a library that is missing:"; echo "$libraries"; exit 1
  fi
  grep -oE '/[^ ]+\.so[^ ]*' <<<"$libraries" | sort -u | while read -r library; do
    mkdir -p "$root$(dirname "$library")"
    cp -L "$library" "$root$library"
  done
}
cp /bin/busybox "$root/bin/busybox"
copy_with_libraries "$bin/vm31ctl" /opt/vm31/vm31ctl
copy_with_libraries "$bin/uhid_mouse" /bin/uhid_mouse
copy_with_libraries "$kit/udev/bin/udevadm" /bin/udevadm
ln -s /bin/udevadm "$root/lib/systemd/systemd-udevd"  # udevadm runs as the daemon by this name
cp "$kit/udev/lib/udev/rules.d/50-udev-default.rules" "$root/lib/udev/rules.d/"
cp "$rule" "$root/lib/udev/rules.d/70-kor-vm31.rules"
cp "$kit/modules/"*.ko "$root/modules/"
printf 'root:x:0:0:root:/root:/bin/sh\n' >"$root/etc/passwd"
for group in root:0 tty:5 disk:6 lp:7 kmem:15 dialout:20 cdrom:24 floppy:25 tape:26 audio:29 \
  video:44 input:101 kvm:102 render:103 sgx:104; do
  printf '%s:x:%s:\n' "${group%%:*}" "${group##*:}" >>"$root/etc/group"
done
cp "$source_dir/res/device/vm31-device.ini" "$root/test/"
# A random settings record with a report rate the mouse knows (1925 is its offset).
python3 -c "
import os, random, sys
record = bytearray(os.urandom(1985))
record[1925] = random.choice([1, 2, 4, 8])
sys.stdout.buffer.write(bytes([0]) + record)" >"$root/test/config.bin"
cp "$root/test/config.bin" "$work/config-before.bin"
printf '[Skins]\r\nLan=EN\r\n' >"$root/test/str.ini"
cp "$here/guest_init.sh" "$root/init"
chmod 755 "$root/init"
(cd "$root" && find . | /bin/busybox cpio -o -H newc 2>/dev/null) | gzip -1 >"$work/initrd.gz"

started=$(date +%s)
status=0
timeout 240 qemu-system-x86_64 -accel tcg -m 512 -smp 1 -display none -monitor none -no-reboot \
  -kernel "$kit/vmlinuz" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3" \
  -serial "file:$work/console.log" -serial "file:$work/trace.jsonl" </dev/null || status=$?
echo "guest: ran $(($(date +%s) - started)) s (qemu exit $status)"
tr -d '\r' <"$work/console.log" >"$work/console.txt"
grep '^guest: ' "$work/console.txt" || true
failures=0
if [ "$status" -ne 0 ]; then
  echo "FAIL: qemu ended with $status (124: the guest hung)"; failures=1
fi
if ! grep -qx 'guest: verdict: PASS' "$work/console.txt"; then
  echo "FAIL: the guest gave no passing verdict; its console:"
  sed 's/^/  | /' "$work/console.txt" | tail -n 60
  failures=1
fi
if ! python3 "$source_dir/tests/cli/trace_decoder.py" "$work/trace.jsonl" \
  "$work/config-before.bin" --sensor-type "$sensor_type" >"$work/decoder.out" 2>&1; then
  echo "FAIL: the apply's wire trace:"; sed 's/^/  | /' "$work/decoder.out"; failures=1
fi
[ "$failures" -eq 0 ] && echo "kernel device link: every check passed"
exit "$failures"
