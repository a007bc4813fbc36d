#!/usr/bin/env bash
# Runs a command on a real desktop of the given size, stopped afterwards:
#   run-desktop.sh [--wm openbox|mutter|kwin] WIDTHxHEIGHT COMMAND [ARG ...]
# openbox (the default) runs on a fresh Xvfb screen and the command on the
# xcb platform. mutter (GNOME) and kwin (KDE) run headless as Wayland
# compositors with XWayland, in a D-Bus session of their own, and the
# command as a user's session starts a program: no platform named,
# WAYLAND_DISPLAY and DISPLAY set. Where the desktop cannot start, this
# fails and says why.
set -euo pipefail
wm=openbox
if [ "${1:-}" = --wm ]; then
  wm=$2
  shift 2
fi
size=$1
shift
work=$(mktemp -d)
xvfb=
openbox_pid=
cleanup() {
  [ -n "$openbox_pid" ] && kill "$openbox_pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

on_openbox() {
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
  openbox_pid=$!
  for _ in $(seq 400); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$openbox_pid" 2>/dev/null || { cat "$work/openbox.log"; echo "openbox did not start"; exit 1; }
    sleep 0.05
  done
  xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { echo "openbox did not take the screen"; exit 1; }

  export QT_QPA_PLATFORM=xcb
  "$@"
}

# The compositor runs the session script, which runs the command with the
# compositor's environment and notes its exit status; the compositor's own
# status says only whether it ran.
on_compositor() {
  local compositor=("$@")
  unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
  export XDG_RUNTIME_DIR="$work/runtime" XDG_SESSION_TYPE=wayland
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  dbus-run-session -- "${compositor[@]}" >"$work/compositor.log" 2>&1 || true
  if [ ! -s "$work/status" ]; then
    cat "$work/compositor.log"
    echo "$wm did not start the session on this machine (its output is above)"
    exit 1
  fi
  cat "$work/command.log"
  exit "$(cat "$work/status")"
}

case "$wm" in
  openbox)
    on_openbox "$@"
    ;;
  mutter | kwin)
    {
      echo '#!/usr/bin/env bash'
      # The X server is up once XWayland answers, with a window manager.
      echo 'for _ in $(seq 400); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.05; done'
      printf '%q ' "$@"
      printf '>%q 2>&1\n' "$work/command.log"
      printf 'echo $? >%q\n' "$work/status"
    } >"$work/session.sh"
    chmod +x "$work/session.sh"
    width=${size%x*}
    height=${size#*x}
    if [ "$wm" = mutter ]; then
      command -v mutter >/dev/null || { echo "mutter is not installed (Debian package mutter)"; exit 1; }
      on_compositor mutter --wayland --headless --virtual-monitor "$size" -- "$work/session.sh"
    else
      command -v kwin_wayland >/dev/null || { echo "kwin_wayland is not installed (Debian package kwin-wayland)"; exit 1; }
      # Debian's kwin_wayland carries a file capability (cap_sys_resource)
      # that a container may refuse to execute; a copy has none. KWin takes
      # its own platform only under its own name.
      mkdir "$work/kwin"
      cp /usr/bin/kwin_wayland "$work/kwin/kwin_wayland"
      on_compositor "$work/kwin/kwin_wayland" --virtual --xwayland --width "$width" --height "$height" \
        --exit-with-session "$work/session.sh"
    fi
    ;;
  *)
    echo "unknown window manager: $wm"
    exit 2
    ;;
esac
