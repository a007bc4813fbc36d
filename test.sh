#!/usr/bin/env bash
# Builds everything twice, plainly and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite headless on both.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh dpkg-dev file lintian desktop-file-utils appstream xvfb openbox x11-utils xdotool poppler-utils python3 \
  qemu-system-x86 busybox-static udev systemd dbus-daemon dbus-bin at-spi2-core python3-pyatspi \
  mutter xwayland kwin-wayland kwin-style-breeze postgresql
werror=OFF
[ -n "${CI:-}" ] && werror=ON

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=ON -DSETUP_WERROR=$werror >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSETUP_SANITIZE=ON -DBUILD_TESTING=ON -DSETUP_WERROR=$werror >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2
