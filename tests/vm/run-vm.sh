#!/usr/bin/env bash
# The hardware path on a real Linux kernel. Boots Debian's cloud kernel in
# QEMU under TCG with a small initramfs made here: busybox,
# the real systemd-udevd and systemd-sysusers, the package's own udev rule,
# its helper and sysusers file taken from the .deb built from this tree (the rule's
# vendor and device ids swapped for QEMU's pci-testdev, nothing else), the
# package's hardware library and vm_check. tests/vm/init.sh runs inside;
# its verdict comes back on the serial console, kept in BUILD/vm/console.log.
# Usage: run-vm.sh BUILD_DIR VM_CHECK_PROGRAM
set -euo pipefail
build=$(realpath "$1")
check=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
vm=$build/vm
mkdir -p "$vm"

"$here/fetch-kernel.sh" "$vm/kernel"

# The package, built from this tree.
rm -rf "$vm/pkg" "$vm/root"
mkdir -p "$vm/pkg"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$vm/pkg" >"$vm/pkg/cpack.log" || { cat "$vm/pkg/cpack.log"; exit 1; }
deb=$(ls "$vm"/pkg/rz4070-setup_*_amd64.deb)
dpkg-deb -x "$deb" "$vm/pkg/contents"

root=$vm/root
mkdir -p "$root"/{bin,sbin,etc,proc,sys,dev,run,tmp,usr/bin,usr/lib/udev/rules.d,usr/lib/sysusers.d}

# A program and every library it loads, at their own paths.
install_with_libraries() {
  local file
  for file in "$@"; do
    mkdir -p "$root$(dirname "$file")"
    cp -L "$file" "$root$file"
    ldd "$file" | awk '/=> \// {print $3} /^\t\/lib/ {print $1}' | while read -r lib; do
      [ -e "$root$lib" ] || { mkdir -p "$root$(dirname "$lib")"; cp -L "$lib" "$root$lib"; }
    done
  done
}

cp /bin/busybox "$root/bin/busybox"
for applet in $("$root/bin/busybox" --list); do
  [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
done
install_with_libraries "$(command -v udevadm)" "$(command -v systemd-sysusers)"
mkdir -p "$root/lib/systemd"
ln -sf "$(command -v udevadm)" "$root/lib/systemd/systemd-udevd"

# The package's files, as the package lays them out.
rule=$vm/pkg/contents/usr/lib/udev/rules.d/70-rz4070.rules
sysusers=$vm/pkg/contents/usr/lib/sysusers.d/rz4070-setup.conf
library=$(cd "$vm/pkg/contents" && ls usr/lib/*/rz4070-setup/libtrvwdm.so.1)
grep -q 'ATTR{vendor}=="0x7a4c", ATTR{device}=="0x6d21|0x6d22"' "$rule" \
  || { echo "the package's udev rule no longer names the cards as this test expects"; exit 1; }
sed -e 's/ATTR{vendor}=="0x7a4c"/ATTR{vendor}=="0x1b36"/' -e 's/ATTR{device}=="0x6d21|0x6d22"/ATTR{device}=="0x0005"/' \
  "$rule" >"$root/usr/lib/udev/rules.d/70-rz4070.rules"
# Only the ids differ from the package's rule.
diff <(sed -e 's/0x7a4c/VENDOR/' -e 's/0x6d21|0x6d22/DEVICE/' "$rule") \
     <(sed -e 's/0x1b36/VENDOR/' -e 's/0x0005/DEVICE/' "$root/usr/lib/udev/rules.d/70-rz4070.rules") >/dev/null
cp "$sysusers" "$root/usr/lib/sysusers.d/rz4070-setup.conf"
mkdir -p "$root/usr/libexec/rz4070-setup"
cp -p "$vm/pkg/contents/usr/libexec/rz4070-setup/rz4070-grant" "$root/usr/libexec/rz4070-setup/"
mkdir -p "$root/$(dirname "$library")"
cp "$vm/pkg/contents/$library" "$root/$library"
# vm_check sits beside where the program is installed, so that the binding
# finds the package's library as the program does.
install_with_libraries "$check"
cp "$check" "$root/usr/bin/vm_check"
cp "$here/init.sh" "$root/init"
chmod 755 "$root/init"
printf 'root:x:0:0:root:/root:/bin/sh\nmember:x:1001:1001::/tmp:/bin/sh\noutsider:x:1002:1002::/tmp:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\nmember:x:1001:\noutsider:x:1002:\n' >"$root/etc/group"

(cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null) >"$vm/initramfs.cpio"

# TCG: KVM on these hosts aborts at start-up, and a boot takes seconds anyway.
accel=tcg
echo "booting $(cat "$vm/kernel/kernel-package") under $accel"
log=$vm/console.log
timeout 600 qemu-system-x86_64 -accel $accel -m 512 -smp 1 -nographic -no-reboot \
  -kernel "$vm/kernel/vmlinuz" -initrd "$vm/initramfs.cpio" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3" \
  -device pci-testdev >"$log" 2>&1 || true
tr -d '\r' <"$log" | grep -E '^(PASS|FAIL|VM)' || true
if grep -q '^FAIL' "$log" || ! grep -q '^VM-RESULT: done' <(tr -d '\r' <"$log"); then
  echo "the hardware path failed on the real kernel; the whole console is in $log"
  exit 1
fi
echo "$(grep -c '^PASS' <(tr -d '\r' <"$log")) checks passed on the real kernel"
