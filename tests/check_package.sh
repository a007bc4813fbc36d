#!/usr/bin/env bash
# Builds the Debian package from a build directory and checks what it
# holds: the program, the hardware library where the program looks for it,
# the udev rule and its helper, the group, a valid desktop entry and
# metainfo, icons, the man page, changelog and copyright, dependencies
# computed from the binaries; and that lintian finds no error or warning.
# The package is /usr-rooted whatever prefix the build was configured with.
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
expect '^/usr/libexec/rz4070-setup/rz4070-grant$'
expect '^/usr/lib/sysusers\.d/rz4070-setup\.conf$'
expect '^/usr/share/applications/rz4070-setup\.desktop$'
expect '^/usr/share/icons/hicolor/scalable/apps/rz4070-setup\.svg$'
expect '^/usr/share/icons/hicolor/48x48/apps/rz4070-setup\.png$'
expect '^/usr/share/metainfo/.*\.metainfo\.xml$'
expect '^/usr/share/man/man1/rz4070-setup\.1\.gz$'
expect '^/usr/share/doc/rz4070-setup/changelog\.gz$'
expect '^/usr/share/doc/rz4070-setup/copyright$'
if grep -vqE '^/usr(/|$)|^/$' "$work/contents"; then
  echo "files outside /usr:"; grep -vE '^/usr(/|$)|^/$' "$work/contents"; fail=1
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"
# The library path the program was built to look in, relative to itself.
relative=$( { strings -a "$root/usr/bin/rz4070-setup"; strings -a -el "$root/usr/bin/rz4070-setup"; } | grep -E '^/.*rz4070-setup/libtrvwdm\.so\.1$' | head -n1 || true)
if [ -z "$relative" ] || [ ! -f "$root/usr/bin$relative" ]; then
  echo "the program looks for its library at bin${relative:-?}, which the package does not hold"; fail=1
fi
desktop-file-validate "$root/usr/share/applications/rz4070-setup.desktop" || fail=1
grep -q '^Exec=rz4070-setup$' "$root/usr/share/applications/rz4070-setup.desktop" \
  || { echo "the desktop entry does not start the program"; fail=1; }
grep -q '/usr/libexec/rz4070-setup/rz4070-grant card %p' "$root/usr/lib/udev/rules.d/70-rz4070.rules" \
  || { echo "the udev rule does not run the package's helper"; fail=1; }
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream.log" \
  || { cat "$work/appstream.log"; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for lib in libqt6widgets6 libjpeg62-turbo libc6 fonts-wine; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib"; fail=1; }
done
for script in postinst postrm; do
  dpkg-deb -I "$deb" $script >/dev/null || { echo "no $script"; fail=1; }
done
# lintian as Debian's archive runs it, pedantic and experimental tags too;
# an error or warning fails.
lintian_status=0
lintian -I -E --pedantic --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ $lintian_status -eq 0 ] || { echo "lintian reports errors or warnings"; fail=1; }
# Nothing in the package is setuid or setgid.
if dpkg-deb -c "$deb" | awk '{print $1}' | grep -q '[sS]'; then echo "setuid or setgid file in the package"; fail=1; fi

[ $fail -eq 0 ] && echo "package checks passed"
exit $fail
