#!/usr/bin/env bash
# Runs a command on a real X server with a real window manager: a fresh
# Xvfb screen of the given size with openbox, both stopped afterwards.
#   run-desktop.sh WIDTHxHEIGHT COMMAND [ARG ...]
set -euo pipefail
size=$1
shift
work=$(mktemp -d)
xvfb=
wm=
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number once it accepts clients.
exec {displayfd}>"$work/display"
Xvfb -displayfd "$displayfd" -screen 0 "${size}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec {displayfd}>&-
until [ -s "$work/display" ]; do
  kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log"; echo "Xvfb did not start"; exit 1; }
  sleep 0.05
done
export DISPLAY=":$(head -n1 "$work/display")"

# openbox is ready once it has claimed the screen as its window manager.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 400); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm" 2>/dev/null || { cat "$work/openbox.log"; echo "openbox did not start"; exit 1; }
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { echo "openbox did not take the screen"; exit 1; }

export QT_QPA_PLATFORM=xcb
"$@"
