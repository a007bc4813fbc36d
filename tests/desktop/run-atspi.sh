#!/usr/bin/env bash
# Starts Setup with its accessibility bridge on and reads it over AT-SPI as
# a screen reader does; run on a desktop (run-desktop.sh) inside a D-Bus
# session (dbus-run-session), which starts the accessibility bus on demand.
#   run-atspi.sh SETUP-PROGRAM HISTORY-SAVER
# The history it starts with holds two calibrations of the card A11Y-7,
# saved by HISTORY-SAVER (the tests' helper).
set -euo pipefail
setup=$1
history=${XDG_DATA_HOME:?}/rz4070-setup/history.db
rm -f "$history" "$history-wal" "$history-shm"
for n in 1 2; do "$2" "$history" --one A11Y-7 >/dev/null; done
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
