#!/usr/bin/env bash
# Remakes the README's screenshots from the real program on Xvfb with
# openbox, driven with xdotool as a user would:
#   docs/screenshot.png   Setup at 1024x768 with the Channels and DAC Range
#                         windows open (Start, then Settings, DAC Range)
#   docs/calibration.png  Setup and the virtual bench at 1280x1024, step 1
#                         of the calibration running for a few seconds
#   docs/bench.png        the virtual bench alone
# Needs a build (./run.sh or ./test.sh makes one), xdotool and ImageMagick.
# Usage: tools/screenshots.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$top/build}")

if [ "${SCREENSHOT_SESSION:-}" = "" ]; then
  command -v import >/dev/null || { echo "needs ImageMagick's import (apt install imagemagick)"; exit 2; }
  command -v xdotool >/dev/null || { echo "needs xdotool"; exit 2; }
  SCREENSHOT_SESSION=board "$top/tests/desktop/run-desktop.sh" 1024x768 "$0" "$build"
  SCREENSHOT_SESSION=calibration "$top/tests/desktop/run-desktop.sh" 1280x1024 "$0" "$build"
  echo "wrote docs/screenshot.png, docs/calibration.png and docs/bench.png"
  exit 0
fi

# Inside a fresh X server with openbox (run-desktop.sh set DISPLAY).
export LD_LIBRARY_PATH=$build/driver/sim TRVWDM_SIM_SEED=7
export TRVWDM_SIM_SHM="/rz4070-screenshots-$(id -u)-$$"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -f "/dev/shm$TRVWDM_SIM_SHM"' EXIT
# The first visible window so named, once it exists (at most 30 s). A
# search can fail while windows come and go; it is tried again.
window() {
  local id tries=0
  until id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) && [ -n "$id" ]; do
    tries=$((tries + 1))
    [ $tries -lt 300 ] || { echo "no window named $1" >&2; exit 1; }
    sleep 0.1
  done
  echo "$id"
}
settle() { sleep "${1:-1}"; } # for the pictures only: what the user sees after a moment

start_setup() {
  "$build/app/rz4070-setup" & pids+=($!)
  local help
  help=$(window '^Instructions for Settings utility$')
  # Start (the help window's default button) opens the channels window.
  xdotool windowactivate --sync "$help" key Return
  window '^Channels$' >/dev/null
}

case $SCREENSHOT_SESSION in
board)
  start_setup
  xdotool key alt+s
  settle 0.5
  xdotool key d
  window '^DAC Range$' >/dev/null
  settle
  import -window root "$top/docs/screenshot.png"
  ;;
calibration)
  "$build/bench/rz4070-bench" & pids+=($!)
  bench=$(window '^Virtual bench')
  start_setup
  # Done with the channels: Alt+F4 closes the active window in openbox.
  xdotool windowactivate --sync "$(window '^Channels$')" key alt+F4
  xdotool windowactivate --sync "$(window '^Setup$')" key alt+c
  settle 0.5
  xdotool key c
  popup=$(window '^Calibration$')
  # Begin Calibration sits at 48,128 (99x25) in the popup's client area.
  eval "$(xwininfo -id "$popup" | awk '/Absolute upper-left X/ {print "x=" $4} /Absolute upper-left Y/ {print "y=" $4}')"
  xdotool mousemove $((x + 48 + 49)) $((y + 128 + 12)) click 1
  settle 5
  import -window root "$top/docs/calibration.png"
  # The record window stays on top over part of the bench: the bench is
  # pictured alone, brought up.
  xdotool windowactivate --sync "$(window '^Calibration record$')" key Escape
  xdotool windowminimize --sync "$(window '^Calibration record$')" || true
  xdotool windowactivate --sync "$bench"
  settle
  import -window "$bench" -frame "$top/docs/bench.png"
  ;;
esac
