#!/usr/bin/env bash
# Puts a Debian kernel image at DIR/vmlinuz and the modules of its VFIO
# path under DIR/modules/lib/modules/VERSION (once; later runs reuse them):
# the newest linux-image-*-FLAVOUR that apt knows (cloud-amd64 unless
# named; amd64 is the generic kernel), fetched with apt-get download and
# unpacked with dpkg-deb. Says why when it cannot.
# Usage: fetch-kernel.sh DIR [FLAVOUR]
set -euo pipefail
dir=$1
flavour=${2:-cloud-amd64}
[ -s "$dir/vmlinuz" ] && [ -d "$dir/modules/lib/modules" ] && exit 0
fail() {
  echo "fetch-kernel: $*" >&2
  exit 1
}
mkdir -p "$dir"
cd "$dir"
image() { apt-cache depends "linux-image-$flavour" 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}' || true; }
name=$(image)
if [ -z "$name" ]; then
  # No package lists yet (a fresh machine): read them, as root or through sudo.
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq || fail "apt-get update failed: no network, or no package source reachable"
  name=$(image)
fi
[ -n "$name" ] || fail "apt knows no package linux-image-$flavour (is Debian's main archive among the sources?)"
rm -f ./*.deb
# apt's sandbox user may not write here; the download is still checked.
apt-get download -q "$name" >download.log 2>&1 || true
deb=$(ls ./"$name"_*.deb 2>/dev/null || true)
[ -n "$deb" ] || fail "could not download $name: $(grep -v unsandboxed download.log | tail -n 3 | tr '\n' ' ')"
rm -rf unpacked modules
dpkg-deb -x "$deb" unpacked
cp unpacked/boot/vmlinuz-* vmlinuz.part
# The modules that the VFIO path loads, in the kernel package's own
# (signed) files, kept under lib/modules whether the package has them
# there (Debian 12) or under usr/lib/modules (merged /usr, Debian 13).
tree=lib/modules
[ -d unpacked/$tree ] || tree=usr/lib/modules
[ -d unpacked/$tree ] || fail "$name has neither lib/modules nor usr/lib/modules"
dest=$PWD/modules.part/lib/modules
mkdir -p "$dest"
(cd unpacked/$tree && find . -name '*.ko*' \( -path '*/drivers/vfio/*' -o -name 'irqbypass.ko*' \) -print0 \
  | xargs -0 cp --parents -t "$dest")
# Compressed modules are unpacked: the initramfs's busybox loads plain ones.
while IFS= read -r -d '' ko; do
  case $ko in
    *.xz) xz -d "$ko" || fail "cannot unpack $ko (is xz-utils installed?)" ;;
    *.zst) zstd -q -d --rm "$ko" || fail "cannot unpack $ko (is zstd installed?)" ;;
  esac
done < <(find modules.part \( -name '*.ko.xz' -o -name '*.ko.zst' \) -print0)
[ -n "$(find modules.part -name vfio-pci.ko)" ] || fail "$name has no vfio-pci module"
mv modules.part modules
mv vmlinuz.part vmlinuz
echo "$name" >kernel-package
rm -rf unpacked "$deb" download.log
