#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the tests.
#   pg-test-server.sh start   DIR   new cluster in DIR on a free loopback port;
#                                   writes DIR/connection (the connection string)
#   pg-test-server.sh restart DIR   stops and starts the running cluster (same port)
#   pg-test-server.sh stop    DIR   stops the cluster and removes DIR
# Trust authentication, loopback only. As root the cluster runs as the
# `postgres` system user (the server refuses to run as root). Where no server
# can be started, `start` says why and exits 0 without a connection file, so
# that the tests skip with a notice instead of failing.
set -uo pipefail

action="${1:-}"
dir="${2:-}"
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|restart|stop DIR" >&2
  exit 2
fi
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
data="$dir/data"
log="$dir/server.log"

notice() { echo "pg-test-server: $*"; }

find_bin() {
  local b
  for b in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    if [ -x "$b/initdb" ] && [ -x "$b/pg_ctl" ]; then
      echo "$b"
      return 0
    fi
  done
  return 1
}

# Runs a server program as the cluster's owner.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start() {
  local bin
  if ! bin="$(find_bin)"; then
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
      notice "installing postgresql"
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends postgresql >/dev/null 2>&1 \
        || { apt-get update -q >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive \
             apt-get install -y -q --no-install-recommends postgresql >/dev/null 2>&1; }
    fi
    bin="$(find_bin)" || { notice "no PostgreSQL server programs found; server tests will be skipped"; exit 0; }
  fi
  if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin postgres 2>/dev/null \
      || { notice "cannot create the postgres user; server tests will be skipped"; exit 0; }
  fi
  if [ -f "$dir/port" ] && as_owner "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
    notice "already running on port $(cat "$dir/port")"
    exit 0
  fi
  rm -rf "$data" "$dir/connection"
  mkdir -p "$data"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir" "$data"
  # The server user must reach the folder through every parent.
  if ! as_owner test -w "$data"; then
    notice "the postgres user cannot write $data; server tests will be skipped"
    exit 0
  fi
  if ! as_owner "$bin/initdb" -D "$data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1; then
    as_owner "$bin/initdb" -D "$data" -U postgres -A trust -E UTF8 --no-locale >"$dir/initdb.log" 2>&1 \
      || { notice "initdb failed (see $dir/initdb.log); server tests will be skipped"; exit 0; }
  fi
  local port
  for port in $(seq 55432 55532); do
    port_in_use "$port" || break
  done
  cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
max_connections = 50
EOF
  echo "$port" >"$dir/port"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/port"
  if ! as_owner "$bin/pg_ctl" -D "$data" -l "$log" -w -t 30 start >/dev/null 2>&1; then
    notice "the server did not start (see $log); server tests will be skipped"
    exit 0
  fi
  echo "Provider=PostgreSQL;Server=127.0.0.1;Port=$port;Database=postgres;UID=postgres" >"$dir/connection"
  notice "running on 127.0.0.1:$port ($dir)"
}

restart() {
  local bin
  bin="$(find_bin)" || exit 1
  as_owner "$bin/pg_ctl" -D "$data" -l "$log" -w -t 30 -m fast restart >/dev/null
}

stop() {
  local bin
  if bin="$(find_bin)" && [ -d "$data" ]; then
    as_owner "$bin/pg_ctl" -D "$data" -w -t 30 -m fast stop >/dev/null 2>&1
  fi
  rm -rf "$dir"
  notice "stopped"
}

case "$action" in
  start) start ;;
  restart) restart ;;
  stop) stop ;;
  *) echo "usage: $0 start|restart|stop DIR" >&2; exit 2 ;;
esac
