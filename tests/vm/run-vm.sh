#!/usr/bin/env bash
# The hardware path on a real Linux kernel. Boots Debian's cloud kernel in
# QEMU under TCG, seven times (the generic kernel for AMD's IOMMU), with
# a small initramfs made here: busybox,
# the real systemd-udevd and systemd-sysusers, the kernel package's VFIO
# modules, the package's own udev rule, helper, sysusers file, postinst
# and postrm taken from the .deb built from this tree (the cards' vendor
# and device ids swapped for QEMU's pci-testdev, nothing else), the
# package's hardware library and vm_check. tests/vm/init.sh runs inside;
# its verdict comes back on the serial console, kept in
# BUILD/vm/console-BOOT.log.
# Usage: run-vm.sh BUILD_DIR VM_CHECK_PROGRAM
set -euo pipefail
build=$(realpath "$1")
check=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
vm=$build/vm
mkdir -p "$vm"

"$here/fetch-kernel.sh" "$vm/kernel"
# AMD's IOMMU needs Debian's generic kernel: the cloud kernel has no
# driver for it. Without that kernel the tier fails, unless the user opts
# out of the AMD boot with SETUP_VM_WITHOUT_AMD=1.
boots=(sysfs vfio lockdown bridge shared shared-locked)
if [ "${SETUP_VM_WITHOUT_AMD:-0}" = 1 ]; then
  echo "SETUP_VM_WITHOUT_AMD=1: the boot on AMD's IOMMU is left out"
elif "$here/fetch-kernel.sh" "$vm/kernel-generic" amd64; then
  boots+=(amd)
else
  echo "the boot on AMD's IOMMU needs Debian's generic kernel (linux-image-amd64), which could not be fetched (above);"
  echo "set SETUP_VM_WITHOUT_AMD=1 to run the tier without that boot"
  exit 1
fi

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
ln -s ../bin/busybox "$root/sbin/modprobe" # where the kernel asks for a module
mkdir -p "$root/lib/systemd"
ln -sf "$(command -v udevadm)" "$root/lib/systemd/systemd-udevd"

# The package's files, as the package lays them out. The rule and the
# maintainer scripts name the cards' ids; for the test they name QEMU's
# pci-testdev instead (1b36:0005), and nothing else differs (checked).
contents=$vm/pkg/contents
rule=$contents/usr/lib/udev/rules.d/70-rz4070.rules
sysusers=$contents/usr/lib/sysusers.d/rz4070-setup.conf
library=$(cd "$contents" && ls usr/lib/*/rz4070-setup/libtrvwdm.so.1)
mkdir -p "$contents/DEBIAN" "$root/var/lib/dpkg/info" "$root/pkg"
dpkg-deb -e "$deb" "$contents/DEBIAN"
swap_ids() {
  sed -e 's/0x7a4c/0x1b36/g' -e 's/0x6d21|0x6d22/0x0005/g' -e 's/0x6d21 0x6d22/0x0005/g' "$1"
}
normalise() {
  sed -e 's/0x7a4c\|0x1b36/VENDOR/g' -e 's/0x6d21|0x6d22\|0x6d21 0x6d22\|0x0005/DEVICE/g' "$1"
}
grep -q 'ATTR{vendor}=="0x7a4c", ATTR{device}=="0x6d21|0x6d22"' "$rule" && grep -q 'holds-card %k 0x7a4c 0x6d21 0x6d22' "$rule" \
  || { echo "the package's udev rule no longer names the cards as this test expects"; exit 1; }
for pair in "$rule:pkg/70-rz4070.rules" "$contents/DEBIAN/postinst:var/lib/dpkg/info/rz4070-setup.postinst" \
            "$contents/DEBIAN/postrm:var/lib/dpkg/info/rz4070-setup.postrm"; do
  from=${pair%%:*} to=$root/${pair#*:}
  swap_ids "$from" >"$to"
  chmod 755 "$to"
  diff <(normalise "$from") <(normalise "$to") >/dev/null || { echo "$to differs from $from beyond the ids"; exit 1; }
  cmp -s "$from" "$to" && { echo "$from names no card id to swap"; exit 1; }
done
cp "$sysusers" "$root/usr/lib/sysusers.d/rz4070-setup.conf"
mkdir -p "$root/usr/libexec/rz4070-setup"
cp -p "$contents/usr/libexec/rz4070-setup/rz4070-grant" "$root/usr/libexec/rz4070-setup/"
mkdir -p "$root/$(dirname "$library")"
cp "$contents/$library" "$root/$library"
# The kernel packages' VFIO modules, for each kernel to load on demand.
for k in "$vm/kernel" "$vm/kernel-generic"; do
  [ -d "$k/modules/lib" ] && cp -r "$k/modules/lib" "$root/"
done
# vm_check sits beside where the program is installed, so that the binding
# finds the package's library as the program does.
install_with_libraries "$check"
cp "$check" "$root/usr/bin/vm_check"
cp "$here/init.sh" "$root/init"
chmod 755 "$root/init"
printf 'root:x:0:0:root:/root:/bin/sh\nmember:x:1001:1001::/tmp:/bin/sh\noutsider:x:1002:1002::/tmp:/bin/sh\n' >"$root/etc/passwd"

(cd "$root" && find . | busybox cpio -o -H newc 2>/dev/null) >"$vm/initramfs.cpio"

# The boots, side by side: the sysfs path; q35 with an emulated Intel
# IOMMU under lockdown, the VFIO path; lockdown with no IOMMU, where the
# kernel refuses the sysfs path's writes. Each must pass every one of its
# checks: the count is part of the verdict, so that a checker that stops
# early cannot pass. TCG: KVM on these hosts aborts at start-up, and a
# boot takes seconds anyway.
# The VFIO boot also has QEMU's edu device, bound to vfio-pci before the
# package comes: a VFIO group with no card, which must stay root's.
# The bridge boot has two cards behind one PCIe-to-PCI bridge, as a PCI
# card sits in a modern machine: they share an IOMMU group.
# The sysfs boot has QEMU's virtio RNG, left without a driver: an I/O BAR
# shorter than the library is told, where the kernel cuts accesses short.
# The AMD boot is the VFIO boot on AMD's IOMMU, with the generic kernel.
# The shared boots put a PCI serial port, which the kernel drives, behind the
# card's bridge: the card's IOMMU group is then not VFIO's to take.
bridged="-machine q35 -device intel-iommu -device pcie-root-port,id=rp,chassis=1 -device pcie-pci-bridge,id=br,bus=rp"
declare -A machine=([sysfs]="-machine pc" [vfio]="-machine q35 -device intel-iommu -device edu" [lockdown]="-machine pc"
                    [bridge]="$bridged" [shared]="$bridged" [shared-locked]="$bridged"
                    [amd]="-machine q35 -device amd-iommu -device edu")
declare -A cards=([sysfs]="-device pci-testdev -device virtio-rng-pci" [vfio]="-device pci-testdev" [lockdown]="-device pci-testdev"
                  [bridge]="-device pci-testdev,bus=br,addr=1 -device pci-testdev,bus=br,addr=2"
                  [shared]="-device pci-testdev,bus=br,addr=1 -device pci-serial,bus=br,addr=2"
                  [shared-locked]="-device pci-testdev,bus=br,addr=1 -device pci-serial,bus=br,addr=2"
                  [amd]="-device pci-testdev")
declare -A append=([sysfs]="" [vfio]="intel_iommu=on lockdown=integrity" [lockdown]="lockdown=integrity" [bridge]="intel_iommu=on"
                   [shared]="intel_iommu=on" [shared-locked]="intel_iommu=on lockdown=integrity"
                   [amd]="amd_iommu=on lockdown=integrity")
declare -A expected=([sysfs]=42 [vfio]=39 [lockdown]=26 [bridge]=13 [shared]=21 [shared-locked]=5 [amd]=40)
# A loaded machine boots slowly: SETUP_TEST_PATIENCE stretches the boot's
# bound here and the waits inside, as it does the other tiers' waits.
patience=$(awk -v f="${SETUP_TEST_PATIENCE:-1}" 'BEGIN { f += 0; print (f > 1 ? int(f + 0.999) : 1) }')
echo "booting under TCG: ${boots[*]}"
for boot in "${boots[@]}"; do
  kernel=$vm/kernel
  [ "$boot" = amd ] && kernel=$vm/kernel-generic
  echo "[$boot] $(cat "$kernel/kernel-package")"
  # shellcheck disable=SC2086
  timeout $((300 * patience)) qemu-system-x86_64 -accel tcg ${machine[$boot]} -m 512 -smp 1 -nographic -no-reboot \
    -kernel "$kernel/vmlinuz" -initrd "$vm/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet loglevel=3 no_timer_check ${append[$boot]} rz4070.boot=$boot rz4070.patience=$patience" \
    ${cards[$boot]} >"$vm/console-$boot.log" 2>&1 &
done
wait
failed=0
for boot in "${boots[@]}"; do
  log=$vm/console-$boot.log
  tr -d '\r' <"$log" | grep -E '^(PASS|FAIL|VM)' | sed "s/^/[$boot] /" || true
  passed=$(tr -d '\r' <"$log" | grep -c '^PASS' || true)
  if grep -q '^FAIL' <(tr -d '\r' <"$log") || ! grep -q '^VM-RESULT: done' <(tr -d '\r' <"$log") \
     || [ "$passed" -ne "${expected[$boot]}" ]; then
    echo "[$boot] failed: $passed of ${expected[$boot]} checks passed; the whole console is in $log"
    failed=1
  else
    echo "[$boot] all ${expected[$boot]} checks passed on the real kernel"
  fi
done
exit $failed
