#!/bin/sh
# PID 1 of the test VM. The boot's kind comes from the kernel command line
# (rz4070.boot=, one of run-vm.sh's boots). Runs the package's postinst as
# dpkg would, checks what the udev rule granted at cold plug and after a remove
# and a bus rescan, drives the card through the hardware library as a
# member, as a second program and as an outsider, then removes the rule
# and runs the postrm, which must withdraw the grant. Each check prints a
# line PASS or FAIL; VM-RESULT: done ends the run.
export PATH=/bin:/sbin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
mount -t securityfs securityfs /sys/kernel/security 2>/dev/null

check() { # check DESCRIPTION COMMAND...
  what=$1; shift
  if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; fi
}
finish() {
  echo "VM-RESULT: done"
  sync
  reboot -f
}
# vm_check ROLE: its own checks, and its exit status, which a crash sets.
vm_check_as() {
  vm_check "$1" /tmp/sysfs "$bar"
  status=$?
  [ $status -eq 0 ] || echo "FAIL: vm_check $1 exited with status $status"
}

boot=$(sed -n 's/.*rz4070\.boot=\([a-z-]*\).*/\1/p' /proc/cmdline)
# The AMD boot takes the VFIO path as the Intel one does.
path=$boot
[ "$boot" = amd ] && path=vfio
# How many times the usual bounds the waits here allow (run-vm.sh).
patience=$(sed -n 's/.*rz4070\.patience=\([0-9]*\).*/\1/p' /proc/cmdline)
patience=${patience:-1}
depmod
dev=
devs=
for d in /sys/bus/pci/devices/*; do
  [ "$(cat "$d/vendor")" = 0x1b36 ] && [ "$(cat "$d/device")" = 0x0005 ] && dev=$d && devs="$devs $d"
done
[ -n "$dev" ] || { echo "FAIL: QEMU's pci-testdev is on the bus"; finish; }
addr=$(basename "$dev")
echo "VM: boot $boot, pci-testdev at $addr, kernel $(uname -r), lockdown $(cat /sys/kernel/security/lockdown 2>/dev/null)"
# The card's I/O BAR: where it starts, and its file (the BAR may move on a
# rescan).
locate_bar() {
  bar=
  index=0
  while read -r start end flags; do
    [ -z "$bar" ] && [ $((flags & 0x100)) -ne 0 ] && { bar=$start; iofile=$dev/resource$index; }
    index=$((index + 1))
  done <"$dev/resource"
  echo "VM: I/O BAR at $bar, $iofile"
}
locate_bar

# Owner, group and mode of every file of every PCI device, and of /dev.
snapshot() {
  for f in /sys/bus/pci/devices/*/* /dev/* /dev/vfio/*; do
    [ -f "$f" ] || [ -c "$f" ] || [ -b "$f" ] || continue
    stat -c '%n %U %G %a' "$f"
  done | sort
}
# What changed since the first snapshot, exactly as the boot expects: the
# I/O BAR file on the sysfs path, the card's group node on the VFIO path.
granted_exactly() {
  # The rule's work ends some time after the trigger: wait for it, 20 s
  # at most, times the patience, on the clock (a look at the files takes
  # a while itself under TCG).
  deadline=$(($(date +%s) + 20 * patience))
  until granted_now || [ "$(date +%s)" -ge $deadline ]; do
    sleep 0.1
  done
  granted_now verbose
}
granted_now() {
  snapshot >/tmp/after
  diff /tmp/before /tmp/after | grep '^+[^+]' | sed 's/^+//' >/tmp/changed
  if [ "$path" = vfio ]; then
    group=$(basename "$(readlink "$dev/iommu_group")")
    driver=$(basename "$(readlink "$dev/driver" 2>/dev/null)")
    # The container came with the other device's group, before the package.
    echo "/dev/vfio/$group root rz4070 660" >/tmp/expected
    [ -n "${1:-}" ] && echo "VM: bound to ${driver:-no driver}, IOMMU group $group"
    [ "$driver" = vfio-pci ] || return 1
  else
    echo "$iofile root rz4070 660" >/tmp/expected
  fi
  diff /tmp/expected /tmp/changed >/tmp/unexpected && return 0
  [ -n "${1:-}" ] && { echo "VM: expected and changed:"; cat /tmp/unexpected; diagnose; }
  return 1
}
# What a grant that did not come leaves to go on: the cards' drivers, the
# modules loaded, and what udevd said.
diagnose() {
  for d in $devs; do
    echo "VM: $(basename "$d"): driver $(basename "$(readlink "$d/driver" 2>/dev/null)"), override $(cat "$d/driver_override")"
  done
  echo "VM: modules: $(cut -d' ' -f1 /proc/modules | tr '\n' ' ')"
  tail -n 20 /tmp/udevd.log | sed 's/^/VM: udevd: /'
}
# After the postrm nothing is the group's, and the card's file or node is
# root's alone again.
withdrawn() {
  snapshot >/tmp/removed
  grep ' rz4070 ' /tmp/removed && return 1
  if [ "$path" = vfio ]; then
    grep -qx "/dev/vfio/$(basename "$(readlink "$dev/iommu_group")") root root 600" /tmp/removed
  else
    grep -qx "$iofile root root 600" /tmp/removed
  fi
}

# The card as the hardware library sees it: a mirror of the device's sysfs
# directory whose ids name a PCI-RZ4070, with the real resource files bound
# in, the names of its driver and IOMMU group, and the kernel's lockdown.
# Only the mirror's own files are opened to all; the real files keep their
# owner and mode. "mirror wide" makes the I/O BAR's line twice as long.
mirror() {
  for f in /tmp/sysfs/bus/pci/devices/*/resource[0-9]; do
    umount "$f" 2>/dev/null
  done
  rm -rf /tmp/sysfs
  mkdir -p /tmp/sysfs/kernel/security
  cat /sys/kernel/security/lockdown >/tmp/sysfs/kernel/security/lockdown 2>/dev/null
  for d in $devs; do
    m=/tmp/sysfs/bus/pci/devices/$(basename "$d")
    mkdir -p "$m"
    echo 0x7a4c >"$m/vendor"
    echo 0x6d21 >"$m/device"
    if [ "${1:-}" = wide ]; then
      # The I/O BAR's line says twice its length (the short role).
      while read -r start end flags; do
        [ "$start" = "$bar" ] && end=$(printf '0x%016x' $((2 * end - start + 1)))
        echo "$start $end $flags"
      done <"$d/resource" >"$m/resource"
    else
      cat "$d/resource" >"$m/resource"
    fi
    [ -L "$d/driver" ] && ln -s "../$(basename "$(readlink "$d/driver")")" "$m/driver"
    [ -L "$d/iommu_group" ] && ln -s "../$(basename "$(readlink "$d/iommu_group")")" "$m/iommu_group"
    for f in "$d"/resource[0-9]; do
      : >"$m/$(basename "$f")"
    done
  done
  chmod -R a+rX /tmp/sysfs
  for d in $devs; do
    for f in "$d"/resource[0-9]; do
      mount --bind "$f" "/tmp/sysfs/bus/pci/devices/$(basename "$d")/$(basename "$f")"
    done
  done
}

printf 'root:x:0:\nmember:x:1001:\noutsider:x:1002:\n' >/etc/group
/lib/systemd/systemd-udevd --daemon >/tmp/udevd.log 2>&1
udevadm settle --timeout=$((60 * patience))

# The rule unpacked as dpkg unpacks a file: written under another name,
# then renamed into place, so that udevd never reads it half written.
unpack_rule() {
  cp /pkg/70-rz4070.rules /usr/lib/udev/rules.d/70-rz4070.rules.dpkg-new
  mv /usr/lib/udev/rules.d/70-rz4070.rules.dpkg-new /usr/lib/udev/rules.d/70-rz4070.rules
}
# The package installed at once, as the boots below need it.
install_now() {
  unpack_rule
  check "postinst configure succeeds" sh /var/lib/dpkg/info/rz4070-setup.postinst configure
  sed -i 's/^\(rz4070:x:[0-9]*:\)$/\1member/' /etc/group
  udevadm settle --timeout=$((60 * patience))
}
# Waits, 20 s at most times the patience, until file $1 is the card
# group's, 660.
await_grant() {
  deadline=$(($(date +%s) + 20 * patience))
  until [ "$(stat -c '%G %a' "$1" 2>/dev/null)" = "rz4070 660" ] || [ "$(date +%s)" -ge $deadline ]; do
    sleep 0.1
  done
  [ "$(stat -c '%G %a' "$1" 2>/dev/null)" = "rz4070 660" ] || { diagnose; return 1; }
}

# A card sharing its IOMMU group with a device the system drives (a
# PCI serial port behind the same bridge): unlocked, the package keeps it on
# the sysfs path and a member drives it; locked down, it is bound to
# vfio-pci and Setup's advice names the shared group.
case $boot in shared | shared-locked)
  install_now
  for m in "$dev"/iommu_group/devices/*; do
    echo "VM: group member $(basename "$m"), class $(cat "$m/class"), driver $(basename "$(readlink "$m/driver" 2>/dev/null)")"
  done
  driver=$(basename "$(readlink "$dev/driver" 2>/dev/null)")
  if [ "$boot" = shared ]; then
    check "unlocked, shared group: the card stays off vfio-pci (${driver:-no driver})" [ "$driver" != vfio-pci ]
    check "unlocked, shared group: its I/O BAR file is granted" await_grant "$iofile"
    mirror
    vm_check_as member
  else
    check "locked, shared group: the card is bound to vfio-pci ($driver)" [ "$driver" = vfio-pci ]
    mirror
    vm_check_as not-viable
  fi
  finish
  ;;
esac

# Two cards behind one bridge, in one IOMMU group: the package binds both,
# one program drives both, a second finds both busy.
if [ "$boot" = bridge ]; then
  install_now
  groups=$(for d in $devs; do basename "$(readlink "$d/iommu_group")"; done | sort -u)
  check "the two cards share one IOMMU group ($(echo $groups))" [ "$(echo $devs | wc -w)" -eq 2 ] && [ "$(echo $groups | wc -w)" -eq 1 ]
  check "the group's node is the card group's" await_grant "/dev/vfio/$groups"
  bound=0
  for d in $devs; do
    [ "$(basename "$(readlink "$d/driver")")" = vfio-pci ] && bound=$((bound + 1))
  done
  check "both cards are bound to vfio-pci ($bound)" [ $bound -eq 2 ]
  mirror
  bar=0
  vm_check_as pair
  finish
fi
snapshot >/tmp/before
(cd /sys/bus/pci/devices && for d in *; do echo "$d"; done) >/tmp/devices-before

if [ "$boot" = amd ]; then
  check "the IOMMU is AMD's ($(ls /sys/class/iommu))" [ -e /sys/class/iommu/ivhd0 ]
fi

# Another device's VFIO group, there before the package: the rule must
# leave it root's (granted_exactly sees any change to it).
if [ "$path" = vfio ]; then
  for d in /sys/bus/pci/devices/*; do
    [ "$(cat "$d/vendor")" = 0x1234 ] && [ "$(cat "$d/device")" = 0x11e8 ] && other=$d
  done
  modprobe vfio-pci
  echo vfio-pci >"$other/driver_override"
  echo "$(basename "$other")" >/sys/bus/pci/drivers_probe
  udevadm settle --timeout=$((60 * patience))
  othernode=/dev/vfio/$(basename "$(readlink "$other/iommu_group")")
  check "another device's VFIO group node is there, root's ($othernode)" test -c "$othernode"
  snapshot >/tmp/before
fi

# Before the package: nothing of the card is open to anybody.
mirror
vm_check_as ungranted

# Installation, as dpkg does it: the package's files are unpacked (the
# rule reaches udev now, after it started), then the postinst runs.
unpack_rule
check "postinst configure succeeds" sh /var/lib/dpkg/info/rz4070-setup.postinst configure
check "postinst makes the group rz4070" grep -q '^rz4070:' /etc/group
sed -i 's/^\(rz4070:x:[0-9]*:\)$/\1member/' /etc/group
echo "VM: $(grep '^rz4070:' /etc/group)"
udevadm settle --timeout=$((60 * patience))
check "install, cold plug: the rule grants exactly what the library uses" granted_exactly

echo 1 >"$dev/remove"
udevadm settle --timeout=$((60 * patience))
[ -e "$dev" ] && echo "FAIL: the device is removed"
echo 1 >/sys/bus/pci/rescan
udevadm settle --timeout=$((60 * patience))
check "after remove and rescan: the same, and only that" granted_exactly
(cd /sys/bus/pci/devices && for d in *; do echo "$d"; done) >/tmp/devices-after
check "the rescan finds the same devices" diff /tmp/devices-before /tmp/devices-after
locate_bar

# The grant undone, as when the rule never ran for the card: the commands
# that the start-up check's advice prints, run as printed (as root, for
# sudo), grant it again.
if [ "$path" = vfio ]; then
  ungrant=/dev/vfio/$(basename "$(readlink "$dev/iommu_group")")
else
  ungrant=$iofile
fi
chgrp root "$ungrant" && chmod 600 "$ungrant"
mirror
vm_check_as ungranted
# The ids swapped as in this VM's copy of the rule.
sed -n 's/^    sudo \(udevadm .*\)/\1/p' /tmp/advice | sed 's/0x7a4c/0x1b36/g' >/tmp/advised
check "the advice prints commands to run" test -s /tmp/advised
while IFS= read -r command; do
  echo "VM: advised: $command"
  sh -c "$command" </dev/null
done </tmp/advised
echo "VM: settling"
udevadm settle --timeout=$((60 * patience))
check "the advised commands grant exactly what the library uses again" granted_exactly

mirror
if [ "$boot" = lockdown ]; then
  vm_check_as lockdown
else
  vm_check_as member
fi
vm_check_as outsider
vm_check_as stale
# A device whose I/O BAR file is shorter than its table line says, so
# that the kernel cuts accesses short: QEMU's virtio RNG (32 ports, no
# driver here), its file granted as the rule would grant a card's.
if [ "$boot" = sysfs ]; then
  (
    for d in /sys/bus/pci/devices/*; do
      [ "$(cat "$d/vendor")" = 0x1af4 ] && [ "$(cat "$d/device")" = 0x1005 ] && devs=$d
    done
    dev=$devs
    locate_bar
    chgrp rz4070 "$iofile" && chmod 660 "$iofile"
    mirror wide
    vm_check_as short
    chgrp root "$iofile" && chmod 600 "$iofile"
  )
  mirror
fi

# Removal, as dpkg does it: the package's files go, then the postrm runs.
rm /usr/lib/udev/rules.d/70-rz4070.rules
check "postrm remove succeeds" sh /var/lib/dpkg/info/rz4070-setup.postrm remove
check "postrm withdraws the group's access" withdrawn
finish
