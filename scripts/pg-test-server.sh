#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the tests, in a temporary folder, listening only on a
# Unix socket in that folder.
#   pg-test-server.sh start DIR   creates and starts the cluster; prints its connection URI
#   pg-test-server.sh stop DIR    stops it and removes DIR
#   pg-test-server.sh pause DIR   stops the server, keeping its data (a server gone away)
#   pg-test-server.sh resume DIR  starts it again
# initdb refuses to run as root: as root the cluster belongs to the user "postgres".
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
dir=${2:?folder}
run=()
if [ "$(id -u)" -eq 0 ]; then
  run=(runuser -u postgres --)
fi
opts="-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=200"
case "$1" in
start)
  mkdir -p "$dir"
  [ "$(id -u)" -ne 0 ] || chown postgres: "$dir"
  chmod 700 "$dir"
  "${run[@]}" "$bin/initdb" -D "$dir/data" -U khgl -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
  "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o "$opts" start >/dev/null
  # Everyone may reach the socket: the tests run as the invoking user.
  chmod 755 "$dir"
  echo "postgresql://khgl@/postgres?host=$dir"
  ;;
pause)
  "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
  ;;
resume)
  "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o "$opts" start >/dev/null
  ;;
stop)
  if [ -d "$dir/data" ]; then
    "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start|stop|pause|resume DIR" >&2
  exit 2
  ;;
esac
