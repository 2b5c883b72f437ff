#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A throw-away PostgreSQL server for the database suites.
#   pg_server.sh start DIR PORT   initdb into DIR and start on 127.0.0.1:PORT
#   pg_server.sh stop DIR PORT    stop it and remove DIR
#   pg_server.sh restart DIR PORT   restart it (pg_ctl restart -m fast), as maintenance would
#   pg_server.sh halt DIR PORT    stop it and keep DIR, as a primary that is lost
#   pg_server.sh resume DIR PORT  start a halted server again
#   pg_server.sh standby DIR PORT PRIMARY_DIR PRIMARY_PORT
#                                 a streaming standby of the server of PRIMARY_DIR (pg_basebackup -R)
#                                 in DIR, started on 127.0.0.1:PORT with the same certificates
#   pg_server.sh promote DIR PORT   promote a standby to primary and wait until it takes writes
# The superuser postgres gets in without a password; every other role must log in over TLS
# with its password, as in a real deployment. The server's certificate is signed by a CA made
# here: DIR/tls/root.crt is that CA, DIR/tls/stranger.crt one that signed nothing of this server.
# PostgreSQL refuses to run as root, so as root the server runs as the postgres user.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop|restart|halt|resume|promote DIR PORT | standby DIR PORT PRIMARY_DIR PRIMARY_PORT" >&2
  exit 2
}
[ $# -ge 3 ] || usage
action=$1
dir=$2
port=$3
if [ "$action" = standby ]; then
  [ $# -eq 5 ] || usage
  primary_dir=$4
  primary_port=$5
else
  [ $# -eq 3 ] || usage
fi

pg_bin=${CORVAN_PG_BIN:-}
if [ -z "$pg_bin" ]; then
  for candidate in /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/pg_ctl" ] && pg_bin=$candidate
  done
fi
if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/pg_ctl" ]; then
  echo "pg_server.sh: no PostgreSQL server binaries found (set CORVAN_PG_BIN)" >&2
  exit 1
fi

as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# The data folder must be reachable by the server's user. Under root that user is postgres,
# which may not be able to enter DIR's parents (a build tree in /root, say); the data then
# lives in a folder of its own under /tmp, and DIR remembers where.
data_dir_of() {
  if [ -f "$dir/datadir" ]; then cat "$dir/datadir"; else echo "$dir/data"; fi
}

stop_server() {
  local data
  [ -d "$dir" ] || return 0
  data=$(data_dir_of)
  if [ -f "$data/postmaster.pid" ]; then
    as_server_user "$pg_bin/pg_ctl" -D "$data" -m fast -w -t 60 stop >/dev/null 2>&1 ||
      as_server_user "$pg_bin/pg_ctl" -D "$data" -m immediate -w -t 60 stop >/dev/null 2>&1 || true
  fi
  case "$data" in
    "$dir"/*) ;;
    *) rm -rf "$(dirname "$data")" ;;
  esac
  rm -rf "$dir"
}

# make_certificates TLS DATA: a CA and a stranger CA in TLS, the server's key and certificate
# (for 127.0.0.1 and localhost) in DATA.
make_certificates() {
  local tls=$1 data=$2
  mkdir -p "$tls"
  local curve=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
  openssl req -x509 "${curve[@]}" -days 7 -subj "/CN=corvan test CA" \
    -keyout "$tls/root.key" -out "$tls/root.crt" 2>/dev/null
  openssl req -x509 "${curve[@]}" -days 7 -subj "/CN=corvan stranger CA" \
    -keyout "$tls/stranger.key" -out "$tls/stranger.crt" 2>/dev/null
  openssl req -new "${curve[@]}" -subj "/CN=127.0.0.1" -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=digitalSignature,keyEncipherment" \
    "extendedKeyUsage=serverAuth" "subjectAltName=IP:127.0.0.1,DNS:localhost" >"$tls/server.ext"
  openssl x509 -req -in "$tls/server.csr" -CA "$tls/root.crt" -CAkey "$tls/root.key" -set_serial 2 \
    -days 7 -extfile "$tls/server.ext" -out "$tls/server.crt" 2>/dev/null
  # The server reads its key only when the key is its own and nobody else's.
  install -m 600 "$tls/server.key" "$data/server.key"
  install -m 644 "$tls/server.crt" "$data/server.crt"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$data/server.key" "$data/server.crt"
  fi
}

port_in_use() {
  "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$port" -t 1 >/dev/null 2>&1
}

start_server() {
  # A server left over from an earlier run of the same tree goes first.
  stop_server
  if port_in_use; then
    echo "pg_server.sh: another server already listens on 127.0.0.1:$port" >&2
    exit 1
  fi
  local data
  data=$(make_data_dir)
  local sockets
  sockets=$(dirname "$data")
  if ! as_server_user "$pg_bin/initdb" -D "$data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 \
      >"$sockets/initdb.log" 2>&1; then
    cat "$sockets/initdb.log" >&2
    exit 1
  fi
  if ! make_certificates "$dir/tls" "$data"; then
    echo "pg_server.sh: cannot make the test certificates (is openssl installed?)" >&2
    exit 1
  fi
  cat >"$data/pg_hba.conf" <<'HBA'
local   all  all                 trust
host    all  postgres  127.0.0.1/32  trust
host    replication  postgres  127.0.0.1/32  trust
hostssl all  all       127.0.0.1/32  scram-sha-256
host    all  all       127.0.0.1/32  reject
HBA
  launch "$data"
}

# launch DATA: starts the server of DATA on the port and waits until it answers.
launch() {
  local data=$1 sockets
  sockets=$(dirname "$data")
  if ! as_server_user "$pg_bin/pg_ctl" -D "$data" -l "$sockets/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $port -c fsync=off -k $sockets -c ssl=on" start >/dev/null; then
    cat "$sockets/server.log" >&2 || true
    exit 1
  fi
  for _ in $(seq 1 60); do
    if "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$port" -t 1; then
      echo "PostgreSQL ready on 127.0.0.1:$port"
      return 0
    fi
    sleep 0.5
  done
  echo "pg_server.sh: the server on port $port did not get ready" >&2
  cat "$sockets/server.log" >&2 || true
  exit 1
}

# make_data_dir: the data folder of a new server in DIR, reachable by the server's user.
make_data_dir() {
  mkdir -p "$dir"
  local data="$dir/data"
  if [ "$(id -u)" -eq 0 ]; then
    if ! getent passwd postgres >/dev/null; then
      echo "pg_server.sh: running as root needs the postgres user" >&2
      exit 1
    fi
    chown postgres: "$dir"
    if ! runuser -u postgres -- test -w "$dir"; then
      data=$(mktemp -d /tmp/corvan-pg.XXXXXX)
      chown postgres: "$data"
      data="$data/data"
      echo "$data" >"$dir/datadir"
    fi
  fi
  echo "$data"
}

start_standby() {
  stop_server
  if port_in_use; then
    echo "pg_server.sh: another server already listens on 127.0.0.1:$port" >&2
    exit 1
  fi
  local data
  data=$(make_data_dir)
  # The copy brings the primary's certificate, key and pg_hba.conf; -R makes it follow the
  # primary, streaming, as its standby.
  if ! as_server_user "$pg_bin/pg_basebackup" -h 127.0.0.1 -p "$primary_port" -U postgres -D "$data" -R \
      -X stream -c fast >"$(dirname "$data")/basebackup.log" 2>&1; then
    cat "$(dirname "$data")/basebackup.log" >&2
    exit 1
  fi
  cp -r "$primary_dir/tls" "$dir/tls"
  launch "$data"
}

promote_server() {
  as_server_user "$pg_bin/pg_ctl" -D "$(data_dir_of)" -w -t 60 promote >/dev/null
  for _ in $(seq 1 120); do
    if [ "$("$pg_bin/psql" -h 127.0.0.1 -p "$port" -U postgres -d postgres -Atc 'select pg_is_in_recovery()' \
        2>/dev/null)" = f ]; then
      echo "PostgreSQL on port $port promoted"
      return 0
    fi
    sleep 0.05
  done
  echo "pg_server.sh: the server on port $port did not leave recovery" >&2
  exit 1
}

case "$action" in
  start) start_server ;;
  stop) stop_server; echo "PostgreSQL on port $port stopped" ;;
  restart)
    # The log keeps the server off this script's output, which a test runner waits on.
    as_server_user "$pg_bin/pg_ctl" -D "$(data_dir_of)" -l "$(dirname "$(data_dir_of)")/server.log" -m fast \
      -w -t 60 restart >/dev/null
    echo "PostgreSQL on port $port restarted" ;;
  halt)
    as_server_user "$pg_bin/pg_ctl" -D "$(data_dir_of)" -m fast -w -t 60 stop >/dev/null
    echo "PostgreSQL on port $port halted" ;;
  resume) launch "$(data_dir_of)" ;;
  standby) start_standby ;;
  promote) promote_server ;;
  *) usage ;;
esac
