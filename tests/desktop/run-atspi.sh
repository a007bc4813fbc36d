#!/usr/bin/env bash
# Starts Setup with its accessibility bridge on and reads it over AT-SPI as
# a screen reader does; run on a desktop (run-desktop.sh) inside a D-Bus
# session (dbus-run-session), which starts the accessibility bus on demand.
#   run-atspi.sh SETUP-PROGRAM
set -euo pipefail
setup=$1
log=$(mktemp)
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$setup" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -f "$log"' EXIT
status=0
/usr/bin/python3 "$(dirname "$0")/atspi_check.py" "$(basename "$setup")" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- Setup's output:"
  cat "$log"
fi
exit "$status"
