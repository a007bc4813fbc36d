#!/usr/bin/env bash
# Tries the README's two commands on a minimal Debian, as a new user's
# machine would be: a debootstrap --variant=minbase chroot of each release
# named (default: bookworm trixie) gets a clone of this repository and runs
# ./run.sh (Setup must still be running after 30 s, on the offscreen
# platform) and ./test.sh, then the Debian package's life cycle: install,
# reinstall of the same version, remove, purge. Needs root, debootstrap and
# the network to the Debian archive. Not part of the test command: it takes
# most of an hour. Logs go to CHROOTS/<release>.log.
# Usage: tools/check-minimal-debian.sh [release...]
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
chroots=${CHROOTS:-/var/tmp/rz4070-chroots}
releases=("$@")
[ ${#releases[@]} -gt 0 ] || releases=(bookworm trixie)
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot need it)"; exit 2; }
command -v debootstrap >/dev/null || { echo "install debootstrap first"; exit 2; }
mkdir -p "$chroots"

mounts() { # mounts ACTION DIR
  local dir=$2 m
  if [ "$1" = up ]; then
    mount -t proc proc "$dir/proc"
    mount -t sysfs sysfs "$dir/sys"
    mount --bind /dev "$dir/dev"
    mount -t devpts devpts "$dir/dev/pts" -o newinstance,ptmxmode=0666
    mount -t tmpfs tmpfs "$dir/dev/shm"
    cp /etc/resolv.conf "$dir/etc/resolv.conf"
  else
    for m in dev/shm dev/pts dev sys proc; do umount -l "$dir/$m" 2>/dev/null || true; done
  fi
}

# The steps inside the chroot, as root in a fresh clone.
inside='
set -uo pipefail
cd /root/rz4070
step() { echo; echo "=== $*"; }
result() { echo "RESULT: $1: $2"; }

step "./run.sh"
# Setup must still be running 30 s after it appeared. run.sh gets a session
# of its own, so that its programs are told apart from any others and
# stopped together (a minimal system has no pgrep).
setsid ./run.sh &
run=$!
setup_running() {
  local s pid comm state ppid pgrp rest
  for s in /proc/[0-9]*/stat; do
    read -r pid comm state ppid pgrp rest <"$s" 2>/dev/null || continue
    [ "$comm" = "(rz4070-setup)" ] && [ "$pgrp" = "$run" ] && return 0
  done
  return 1
}
for i in $(seq 900); do setup_running && break; sleep 1; done
sleep 30
if setup_running; then result run.sh pass; else result run.sh FAIL; fi
kill -- -$run 2>/dev/null
wait $run

step "./test.sh"
if ./test.sh; then result test.sh pass; else result test.sh FAIL; fi

step "package life cycle"
(cd build && cpack -G DEB >/dev/null) || { result package FAIL; exit 0; }
deb=$(ls build/rz4070-setup_*_amd64.deb)
ok=1
check() { if eval "$2"; then echo "ok: $1"; else echo "NOT OK: $1"; ok=0; fi; }
status() { dpkg-query -W -f="\${Status}" rz4070-setup 2>/dev/null; }
apt-get install -y -qq "./$deb" >/dev/null
check "installed" "status | grep -q \"install ok installed\""
check "group rz4070 exists" "getent group rz4070 >/dev/null"
check "the library where the program looks for it" "test -f /usr/lib/x86_64-linux-gnu/rz4070-setup/libtrvwdm.so.1"
gid=$(getent group rz4070 | cut -d: -f3)
apt-get install -y -qq --reinstall "./$deb" >/dev/null
check "reinstalled, same group id" "test \"\$(getent group rz4070 | cut -d: -f3)\" = $gid"
apt-get remove -y -qq rz4070-setup >/dev/null
check "removed: no program, no rule, no helper" "! test -e /usr/bin/rz4070-setup && ! test -e /usr/lib/udev/rules.d/70-rz4070.rules && ! test -e /usr/libexec/rz4070-setup"
check "removed: dpkg keeps only its config state" "status | grep -q \"deinstall ok config-files\" || ! status >/dev/null"
apt-get purge -y -qq rz4070-setup >/dev/null
check "purged: dpkg knows nothing of it" "! status | grep -q installed"
check "purged: no file of the package is left" "! ls -d /usr/share/doc/rz4070-setup /usr/lib/x86_64-linux-gnu/rz4070-setup 2>/dev/null"
check "purged: the system group stays, as Debian leaves system groups" "getent group rz4070 >/dev/null"
[ $ok -eq 1 ] && result package pass || result package FAIL
'

status=0
for release in "${releases[@]}"; do
  dir=$chroots/$release
  log=$chroots/$release.log
  echo "$release: building the chroot in $dir (log: $log)"
  mounts down "$dir"
  rm -rf "$dir"
  {
    debootstrap --variant=minbase "$release" "$dir"
    git clone -q "$repo" "$dir/root/rz4070"
    mounts up "$dir"
    chroot "$dir" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
      QT_QPA_PLATFORM=offscreen /bin/bash -c "$inside"
    mounts down "$dir"
  } >"$log" 2>&1 || { mounts down "$dir"; echo "RESULT: chroot: FAIL" >>"$log"; }
  grep '^RESULT:' "$log" | sed "s/^/$release /"
  grep -q '^RESULT: .*FAIL' "$log" && status=1
done
exit $status
