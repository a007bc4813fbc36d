#!/usr/bin/env bash
# Builds the Debian package from a build directory and checks what it
# holds: the program, the hardware library where the program looks for it,
# the udev rule, the group, a valid desktop entry and metainfo, icons, the
# man page, and dependencies computed from the binaries.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" || { cat "$work/cpack.log"; exit 1; }
shopt -s nullglob
debs=("$work"/rz4070-setup_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one rz4070-setup_<version>_amd64.deb, found: ${debs[*]:-none}"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

fail=0
expect() { grep -qE "$1" "$work/contents" || { echo "missing from the package: $1"; fail=1; }; }
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
expect '^/usr/bin/rz4070-setup$'
expect '^/usr/lib/.*/rz4070-setup/libtrvwdm\.so\.1$'
expect '^/usr/lib/udev/rules\.d/70-rz4070\.rules$'
expect '^/usr/lib/sysusers\.d/rz4070-setup\.conf$'
expect '^/usr/share/applications/rz4070-setup\.desktop$'
expect '^/usr/share/icons/hicolor/scalable/apps/rz4070-setup\.svg$'
expect '^/usr/share/icons/hicolor/48x48/apps/rz4070-setup\.png$'
expect '^/usr/share/metainfo/.*\.metainfo\.xml$'
expect '^/usr/share/man/man1/rz4070-setup\.1'

root="$work/root"
dpkg-deb -x "$deb" "$root"
# The library path the program was built to look in, relative to itself.
relative=$( { strings -a "$root/usr/bin/rz4070-setup"; strings -a -el "$root/usr/bin/rz4070-setup"; } | grep -E '^/.*rz4070-setup/libtrvwdm\.so\.1$' | head -n1 || true)
if [ -z "$relative" ] || [ ! -f "$root/usr/bin$relative" ]; then
  echo "the program looks for its library at bin${relative:-?}, which the package does not hold"; fail=1
fi
desktop-file-validate "$root/usr/share/applications/rz4070-setup.desktop" || fail=1
grep -q '^Exec=env QT_QPA_PLATFORM=xcb rz4070-setup$' "$root/usr/share/applications/rz4070-setup.desktop" \
  || { echo "the desktop entry does not start the program on X11"; fail=1; }
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream.log" \
  || { cat "$work/appstream.log"; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for lib in libqt6widgets6 libjpeg62-turbo libc6 fonts-wine; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib"; fail=1; }
done
dpkg-deb -I "$deb" postinst >/dev/null || { echo "no postinst"; fail=1; }
# Nothing in the package is setuid or setgid.
if dpkg-deb -c "$deb" | awk '{print $1}' | grep -q '[sS]'; then echo "setuid or setgid file in the package"; fail=1; fi

[ $fail -eq 0 ] && echo "package checks passed"
exit $fail
