#!/usr/bin/env bash
# The package's udev helper on fake sysfs trees: it grants the card's I/O
# BAR file and no other, waits for a file that appears after the add event,
# refuses symbolic links anywhere in a path, hard-linked files, pipes and
# paths outside /sys/devices or with odd characters, changes only the file
# it checked, keeps the sysfs path for a card whose IOMMU group VFIO would
# refuse, and tells the IOMMU groups that hold a card from others.
# Usage: check_grant.sh HELPER
set -euo pipefail
helper=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail=0
pass() { echo "PASS: $1"; }
failed() { echo "FAIL: $1"; fail=1; }
# The group granted: one the files do not have yet where the user may give
# files away (root), else the user's own (then only the mode shows).
group=$(id -gn)
[ "$(id -u)" -eq 0 ] && group=$(getent group nogroup >/dev/null && echo nogroup || echo daemon)
grant() { RZ4070_SYSFS=$work/sys RZ4070_GROUP=$group "$helper" "$@"; }

# A card with a memory BAR 0 and an I/O BAR 1, its files root's alone.
card() {
  local d=$work/sys/devices/pci0000:00/$1
  mkdir -p "$d"
  printf '%s\n' '0x00000000fe000000 0x00000000fe0000ff 0x0000000000040200' \
    '0x000000000000e800 0x000000000000e81f 0x0000000000040101' '0x0000000000000000 0x0000000000000000 0x0000000000000000' >"$d/resource"
  for i in "${@:2}"; do
    : >"$d/resource$i"
    chmod 600 "$d/resource$i"
  done
}
state() { stat -c '%G %a' "$1"; }

card 0000:03:00.0 0 1
before0=$(state sys/devices/pci0000:00/0000:03:00.0/resource0)
if grant card /devices/pci0000:00/0000:03:00.0 && [ "$(state sys/devices/pci0000:00/0000:03:00.0/resource1)" = "$group 660" ] \
   && [ "$(state sys/devices/pci0000:00/0000:03:00.0/resource0)" = "$before0" ]; then
  pass "the I/O BAR file is granted (group $group, 660), the memory BAR's is not"
else
  failed "the I/O BAR file alone is granted: $(state sys/devices/pci0000:00/0000:03:00.0/resource1), $(state sys/devices/pci0000:00/0000:03:00.0/resource0)"
fi

# The kernel creates the file after the add event: the helper waits.
card 0000:04:00.0 0
(sleep 0.5 && : >sys/devices/pci0000:00/0000:04:00.0/resource1.new && chmod 600 sys/devices/pci0000:00/0000:04:00.0/resource1.new \
  && mv sys/devices/pci0000:00/0000:04:00.0/resource1.new sys/devices/pci0000:00/0000:04:00.0/resource1) &
if grant card /devices/pci0000:00/0000:04:00.0 && [ "$(state sys/devices/pci0000:00/0000:04:00.0/resource1)" = "$group 660" ]; then
  pass "a file created half a second after the event is waited for and granted"
else
  failed "a late file is waited for"
fi
wait
card 0000:05:00.0 0
start=$(date +%s)
if grant card /devices/pci0000:00/0000:05:00.0 2>/dev/null; then
  failed "a file that never comes fails the helper"
else
  pass "a file that never comes fails the helper after $(($(date +%s) - start)) s"
fi

# A symbolic link is not followed: its target keeps its group and mode.
card 0000:06:00.0 0
: >target && chmod 600 target
ln -s "$work/target" sys/devices/pci0000:00/0000:06:00.0/resource1
if ! grant card /devices/pci0000:00/0000:06:00.0 2>/dev/null && [ "$(state target)" = "$(id -gn) 600" ]; then
  pass "a resource file that is a symbolic link is refused, its target untouched"
else
  failed "a symbolic link is refused: target $(state target)"
fi

# A symbolic link higher up the path is not followed either, a file with
# another hard link is not changed, and a pipe as the resource table does
# not hold the helper.
mkdir -p elsewhere/0000:07:00.0 && cp sys/devices/pci0000:00/0000:03:00.0/resource elsewhere/0000:07:00.0/
: >elsewhere/0000:07:00.0/resource1 && chmod 600 elsewhere/0000:07:00.0/resource1
ln -s "$work/elsewhere" sys/devices/pci0000:00/linked
if ! grant card /devices/pci0000:00/linked/0000:07:00.0 2>/dev/null && [ "$(state elsewhere/0000:07:00.0/resource1)" = "$(id -gn) 600" ]; then
  pass "a symbolic link among the path's directories is refused, its target untouched"
else
  failed "a linked directory is refused: $(state elsewhere/0000:07:00.0/resource1)"
fi
card 0000:08:00.0 0 1
ln sys/devices/pci0000:00/0000:08:00.0/resource1 hardlink
if ! grant card /devices/pci0000:00/0000:08:00.0 2>/dev/null && [ "$(state hardlink)" = "$(id -gn) 600" ]; then
  pass "a file with another hard link is refused"
else
  failed "a hard-linked file is refused: $(state hardlink)"
fi
card 0000:09:00.0 0 1
rm sys/devices/pci0000:00/0000:09:00.0/resource && mkfifo sys/devices/pci0000:00/0000:09:00.0/resource
status=0
timeout 20 env RZ4070_SYSFS="$work/sys" RZ4070_GROUP="$group" "$helper" card /devices/pci0000:00/0000:09:00.0 2>/dev/null || status=$?
if [ $status -ne 0 ] && [ $status -ne 124 ]; then pass "a pipe as the resource table fails at once"; else failed "a pipe as the resource table fails at once ($status)"; fi

# A name swapped for a link to another file while the helper works never
# redirects the change: the other file keeps its mode.
card 0000:0a:00.0 0 1
: >victim && chmod 600 victim
bar=sys/devices/pci0000:00/0000:0a:00.0/resource1
(while [ -e "$work/swapping" ]; do
  ln -sfn "$work/victim" "$bar.new" && mv -T "$bar.new" "$bar"
  : >"$bar.new" && chmod 600 "$bar.new" && mv -T "$bar.new" "$bar"
done) &
: >swapping
for _ in $(seq 100); do
  grant card /devices/pci0000:00/0000:0a:00.0 2>/dev/null || true
done
rm swapping
wait
[ "$(state victim)" = "$(id -gn) 600" ] && pass "100 runs beside a swapper never change the file swapped in" \
  || failed "a swapped-in link redirected the change: $(state victim)"

# A card whose IOMMU group also holds a device the system drives, on a
# kernel that is not locked down, keeps the I/O BAR file.
card 0000:0b:00.0 0 1
mkdir -p sys/kernel/iommu_groups/12/devices sys/bus/pci/drivers/e1000e sys/devices/pci0000:00/0000:0b:00.1 sys/kernel/security
echo 0x020000 >sys/devices/pci0000:00/0000:0b:00.1/class
ln -s ../../../bus/pci/drivers/e1000e sys/devices/pci0000:00/0000:0b:00.1/driver
ln -s ../../../../devices/pci0000:00/0000:0b:00.0 sys/kernel/iommu_groups/12/devices/0000:0b:00.0
ln -s ../../../../devices/pci0000:00/0000:0b:00.1 sys/kernel/iommu_groups/12/devices/0000:0b:00.1
ln -s ../../../kernel/iommu_groups/12 sys/devices/pci0000:00/0000:0b:00.0/iommu_group
echo '[none] integrity confidentiality' >sys/kernel/security/lockdown
if grant card /devices/pci0000:00/0000:0b:00.0 && [ "$(state sys/devices/pci0000:00/0000:0b:00.0/resource1)" = "$group 660" ] \
   && [ ! -e sys/devices/pci0000:00/0000:0b:00.0/driver_override ]; then
  pass "a card sharing its IOMMU group with a driven device, unlocked: off vfio-pci, its I/O BAR file granted"
else
  failed "a shared group, unlocked, keeps the sysfs path: $(state sys/devices/pci0000:00/0000:0b:00.0/resource1)"
fi

# Paths that leave /sys/devices, or that a shell would split, are refused.
mkdir -p "sys/devices/pci0000:00/a b" && card "a b" 0 1
: >b && chmod 600 b
for path in "/devices/../devices/pci0000:00/0000:03:00.0" /etc "/devices/pci0000:00/a b" '/devices/pci0000:00/$(id)' ''; do
  if grant card "$path" 2>/dev/null; then failed "refuses the path '$path'"; else pass "refuses the path '$path'"; fi
done
[ "$(state b)" = "$(id -gn) 600" ] && [ "$(state "sys/devices/pci0000:00/a b/resource1")" = "$(id -gn) 600" ] \
  && pass "nothing of a refused path was touched" || failed "nothing of a refused path was touched"

# Which IOMMU groups hold a card.
members=sys/kernel/iommu_groups/7/devices/0000:03:00.0
mkdir -p "$members" sys/kernel/iommu_groups/8/devices/0000:00:1f.0
echo 0x7a4c >"$members/vendor" && echo 0x6d22 >"$members/device"
echo 0x8086 >sys/kernel/iommu_groups/8/devices/0000:00:1f.0/vendor && echo 0x2918 >sys/kernel/iommu_groups/8/devices/0000:00:1f.0/device
grant holds-card 7 0x7a4c 0x6d21 0x6d22 && pass "group 7 holds a card" || failed "group 7 holds a card"
for args in "8 0x7a4c 0x6d21 0x6d22" "7 0x7a4c 0x6d21" "9 0x7a4c 0x6d21 0x6d22" "7/../8 0x7a4c 0x6d22"; do
  # shellcheck disable=SC2086
  if grant holds-card $args; then failed "holds-card $args fails"; else pass "holds-card $args fails"; fi
done
exit $fail
