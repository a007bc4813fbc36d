#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL server of its own: initdb in
# a temporary folder, listening on 127.0.0.1 on a free port, stopped and
# removed after. The command finds it in HISTORY_SERVER (a libpq conninfo)
# and stops or starts it with HISTORY_PGCTL ("stop" or "start"). PostgreSQL
# refuses to run as root: as root, the server runs as nobody.
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL's server is missing (Debian package postgresql)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/history-pg.XXXXXX")
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$work"
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
pgctl() { "${as[@]}" "$bin/pg_ctl" -D "$work/data" -l "$work/log" -o "-k $work -h 127.0.0.1 -p $port" -w "$@" >/dev/null; }
stop() { pgctl stop -m immediate 2>/dev/null || true; rm -rf "$work"; }
trap stop EXIT
"${as[@]}" "$bin/initdb" -D "$work/data" -U postgres --auth=trust --no-sync >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log"; exit 1; }
pgctl start || { cat "$work/log"; exit 1; }
"${as[@]}" "$bin/createdb" -h 127.0.0.1 -p "$port" -U postgres history
# A helper the test calls to stop and start the server under it.
{
  echo '#!/bin/sh'
  printf 'case "$1" in stop) m="-m fast" ;; *) m="" ;; esac\n'
  printf 'exec %s "%s/pg_ctl" -D "%s/data" -l "%s/log" -o "-k %s -h 127.0.0.1 -p %s" -w "$1" $m >/dev/null\n' \
    "${as[*]}" "$bin" "$work" "$work" "$work" "$port"
} >"$work/pgctl"
chmod 755 "$work/pgctl"
export HISTORY_SERVER="host=127.0.0.1 port=$port dbname=history user=postgres" HISTORY_PGCTL="$work/pgctl"
"$@"
