#!/usr/bin/env bash
# Runs a command with the accessibility bus up, as a desktop session starts
# it: inside a D-Bus session (dbus-run-session), the bus is asked for its
# address, which starts it; programs then find it registered.
#   with-atspi.sh COMMAND [ARG ...]
set -euo pipefail
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { echo "no D-Bus session: run under dbus-run-session"; exit 1; }
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null \
  || { echo "the accessibility bus (at-spi2-core) did not start"; exit 1; }
exec "$@"
