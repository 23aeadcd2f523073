#!/usr/bin/env bash
# Fetches the guest kit of the kernel test once and prints its folder: Debian 12's current
# kernel (vmlinuz and the hid, hid-generic and uhid modules, taken out of the package with
# dpkg-deb -x) and udevadm with the base udev rules (from the udev package; it runs as
# systemd-udevd in the guest). Kept in ${VM31_GUEST_KIT_CACHE:-~/.cache/kor-vm31/guest-kit},
# one folder per kernel version; later calls only check that it is there.
set -euo pipefail

cache=${VM31_GUEST_KIT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kor-vm31/guest-kit}
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# The kernel package that Debian's metapackage points at now.
kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1
}
package=$(kernel_package)
if [ -z "$package" ]; then
  "${sudo_cmd[@]}" apt-get update -qq
  package=$(kernel_package)
fi
[ -n "$package" ] || { echo "fetch_guest_kit: no kernel package behind linux-image-amd64" >&2; exit 1; }
version=${package#linux-image-}
kit="$cache/$version"
if [ -f "$kit/complete" ]; then
  echo "$kit"
  exit 0
fi

echo "fetch_guest_kit: fetching $package and udev into $kit" >&2
rm -rf "$kit"
mkdir -p "$kit/download" "$kit/modules"
# apt's download user must be able to write there; a private cache folder may not let it.
chmod 755 "$kit" "$kit/download"
(cd "$kit/download" && apt-get download -q "$package" udev 2>&1 | grep -v '^W: Download is performed unsandboxed' >&2 || true)
kernel_deb=$(ls "$kit/download/${package}"_*.deb 2>/dev/null | head -n 1)
udev_deb=$(ls "$kit/download"/udev_*.deb 2>/dev/null | head -n 1)
[ -n "$kernel_deb" ] && [ -n "$udev_deb" ] || { echo "fetch_guest_kit: download failed" >&2; exit 1; }

dpkg-deb -x "$kernel_deb" "$kit/kernel"
cp "$kit/kernel/boot/vmlinuz-$version" "$kit/vmlinuz"
for module in hid hid-generic uhid; do
  found=$(find "$kit/kernel/lib/modules/$version" -name "$module.ko*" | head -n 1)
  [ -n "$found" ] || { echo "fetch_guest_kit: $module is not a module of $version" >&2; exit 1; }
  case $found in
    *.ko.xz) xz -dc "$found" >"$kit/modules/$module.ko" ;;
    *.ko.zst) zstd -qdc "$found" >"$kit/modules/$module.ko" ;;
    *.ko.gz) gzip -dc "$found" >"$kit/modules/$module.ko" ;;
    *) cp "$found" "$kit/modules/$module.ko" ;;
  esac
done
dpkg-deb -x "$udev_deb" "$kit/udev"
rm -rf "$kit/kernel" "$kit/download"
touch "$kit/complete"
echo "$kit"
