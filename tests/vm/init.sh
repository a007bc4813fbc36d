#!/bin/sh
# PID 1 of the test VM: the udev rule at cold plug and after a remove and a
# bus rescan, the group from sysusers, and the card's ports through the
# hardware library as a member and as an outsider. Each check prints a line
# PASS or FAIL; VM-RESULT: done ends the run.
export PATH=/bin:/sbin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp

check() { # check DESCRIPTION COMMAND...
  what=$1; shift
  if "$@"; then echo "PASS: $what"; else echo "FAIL: $what"; fi
}
finish() {
  echo "VM-RESULT: done"
  sync
  reboot -f
}

dev=
for d in /sys/bus/pci/devices/*; do
  [ "$(cat "$d/vendor")" = 0x1b36 ] && [ "$(cat "$d/device")" = 0x0005 ] && dev=$d
done
[ -n "$dev" ] || { echo "FAIL: QEMU's pci-testdev is on the bus"; finish; }
addr=$(basename "$dev")
echo "VM: pci-testdev at $addr, kernel $(uname -r)"

# Owner, group and mode of every file of every PCI device, and of /dev.
snapshot() {
  for f in /sys/bus/pci/devices/*/* /dev/*; do
    [ -f "$f" ] || [ -c "$f" ] || [ -b "$f" ] || continue
    stat -c '%n %U %G %a' "$f"
  done | sort
}
# What changed since the first snapshot is exactly the device's resource
# files, now group rz4070 with g+rw.
only_resources_changed() {
  snapshot >/tmp/after
  diff /tmp/before /tmp/after | grep '^+[^+]' | sed 's/^+//' >/tmp/changed
  grep -v "^$dev/resource[0-9] " /tmp/changed >/tmp/other
  stat -c 'VM: %n %U %G %a' "$dev"/resource*
  [ -s /tmp/other ] && { echo "VM: changed beyond the resource files:"; cat /tmp/other; return 1; }
  n=0
  for f in "$dev"/resource[0-9]; do
    [ -e "$f" ] || continue
    set -- $(stat -c '%G %a' "$f")
    [ "$1" = rz4070 ] || { echo "VM: $f has group $1"; return 1; }
    case $2 in 66?|67?|76?|77?) ;; *) echo "VM: $f has mode $2"; return 1;; esac
    n=$((n + 1))
  done
  [ "$n" -gt 0 ] && [ "$(stat -c '%U %G %a' "$dev/config")" = "root root 644" ]
}

check "systemd-sysusers makes the group from the package's file" \
  systemd-sysusers /usr/lib/sysusers.d/rz4070-setup.conf
grep '^rz4070:' /etc/group >/dev/null || echo "FAIL: group rz4070 exists"
sed -i 's/^\(rz4070:x:[0-9]*:\)$/\1member/' /etc/group
echo "VM: $(grep '^rz4070:' /etc/group)"

(cd /sys/bus/pci/devices && for d in *; do echo "$d"; done) >/tmp/devices-before
snapshot >/tmp/before
/lib/systemd/systemd-udevd --daemon >/tmp/udevd.log 2>&1
udevadm trigger --action=add --subsystem-match=pci
udevadm settle --timeout=60
check "cold plug: the rule gives the group the device's resource files, nothing else" only_resources_changed

echo 1 >"$dev/remove"
udevadm settle --timeout=60
[ -e "$dev" ] && echo "FAIL: the device is removed"
echo 1 >/sys/bus/pci/rescan
udevadm settle --timeout=60
check "after remove and rescan: the same, and only that" only_resources_changed
(cd /sys/bus/pci/devices && for d in *; do echo "$d"; done) >/tmp/devices-after
check "the rescan finds the same devices" diff /tmp/devices-before /tmp/devices-after

# The card as the hardware library sees it: a mirror of the device's sysfs
# directory whose ids name a PCI-RZ4070, with the real resource files.
mirror=/tmp/sysfs/bus/pci/devices/$addr
mkdir -p "$mirror"
echo 0x7a4c >"$mirror/vendor"
echo 0x6d21 >"$mirror/device"
cat "$dev/resource" >"$mirror/resource"
for f in "$dev"/resource[0-9]; do
  : >"$mirror/$(basename "$f")"
  mount --bind "$f" "$mirror/$(basename "$f")"
done
chmod -R a+rX /tmp/sysfs
bar=
while read -r start end flags; do
  [ -z "$bar" ] && [ $((flags & 0x100)) -ne 0 ] && bar=$start
done <"$dev/resource"
echo "VM: I/O BAR at $bar"

vm_check member /tmp/sysfs "$bar"
vm_check outsider /tmp/sysfs "$bar"
finish
