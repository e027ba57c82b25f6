#!/usr/bin/env bash
# Starts or stops the local services a development build's tests talk to:
#   services.sh start <state dir> <base port> <pki dir> [python]
#   services.sh stop <state dir>
# Ports, from the preset's base port B:
#   B        nginx: the module CDN over HTTPS (docroot <state dir>/cdn-root, ETags on)
#   B + 100  analytics collector over HTTPS; records every POST in <state dir>/collector/records.jsonl
#   B + 200  nginx: the CDN tree behind a certificate for another host name
#   B + 300  nginx: the CDN tree behind a certificate of an untrusted CA
#   B + 400  tinyproxy; it alone resolves cdn-via-proxy.quarvel.invalid (to 127.0.0.1)
#   B + 500  a proxy that cuts every tunnel after 64 KiB from the server
#   B + 600  nginx: the CDN tree over plain HTTP (proxy auto-configuration scripts)
#   B + 700  nothing listens here: a closed port
#   B + 800  plain HTTP origin that nginx proxies to for a module path marked
#            "cut" (<state dir>/cdn-faults/cut/<path>); it stops mid-body. For a
#            path marked "chunked" it sends the whole module without a length.
#            A path marked "down" (<state dir>/cdn-faults/down/<path>) is
#            answered by closing the connection.
#   B + 900  nginx: the CDN tree behind a self-signed certificate
# Each service's PID is recorded in <state dir>/<service>/pid; stop ends
# exactly those processes.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
action=${1:?usage: services.sh start <state dir> <base port> <pki dir> [python] | stop <state dir>}
state=${2:?missing state dir}
services=(nginx collector tinyproxy cutting-proxy cutting-origin)

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

wait_for_port() {  # port service
  for _ in $(seq 100); do
    port_open "$1" && return 0
    sleep 0.1
  done
  echo "$2 did not open port $1" >&2
  return 1
}

# Alive and not just waiting to be reaped by whoever adopted it.
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# Ends the process recorded for a service, if it is still the one we started.
stop_service() {
  local pid_file=$state/$1/pid pid
  [ -f "$pid_file" ] || return 0
  pid=$(cat "$pid_file")
  if [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "$state"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      running "$pid" || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$pid_file"
}

stop_all() {
  for service in "${services[@]}"; do stop_service "$service"; done
}

start_nginx() {
  local dir=$state/nginx
  mkdir -p "$dir/temp" "$state/cdn-root" "$state/cdn-faults"
  sed -e "s|@STATE@|$dir|g" -e "s|@PKI@|$pki|g" -e "s|@DOCROOT@|$state/cdn-root|g" \
      -e "s|@FAULTS@|$state/cdn-faults|g" -e "s|@CUTTING_ORIGIN_PORT@|$((base + 800))|g" \
      -e "s|@CDN_PORT@|$base|g" -e "s|@WRONG_HOST_PORT@|$((base + 200))|g" \
      -e "s|@UNTRUSTED_PORT@|$((base + 300))|g" -e "s|@PLAIN_PORT@|$((base + 600))|g" \
      -e "s|@SELF_SIGNED_PORT@|$((base + 900))|g" \
      "$here/nginx.conf.in" >"$dir/nginx.conf"
  # The master binds its ports before it detaches and writes its PID file.
  nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log"
  cp "$dir/nginx.pid" "$dir/pid"
}

start_collector() {
  local dir=$state/collector
  mkdir -p "$dir"
  "$python" "$here/services.py" collector --port $((base + 100)) --cert "$pki/cdn.pem" --key "$pki/cdn.key" \
    --records "$dir/records.jsonl" --state "$state" >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
}

start_tinyproxy() {
  local dir=$state/tinyproxy
  mkdir -p "$dir"
  cat >"$dir/tinyproxy.conf" <<CONF
Port $((base + 400))
Listen 127.0.0.1
Timeout 30
LogFile "$dir/tinyproxy.log"
LogLevel Info
MaxClients 32
Allow 127.0.0.1
DisableViaHeader Yes
CONF
  printf '127.0.0.1 localhost cdn-via-proxy.quarvel.invalid\n' >"$dir/hosts"
  # A mount namespace of its own gives the proxy a hosts file in which the
  # test-only name exists: clients cannot reach that name directly.
  unshare --mount sh -c 'mount --bind "$1" /etc/hosts && exec tinyproxy -d -c "$2"' sh \
    "$dir/hosts" "$dir/tinyproxy.conf" >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
}

start_cutting_proxy() {
  local dir=$state/cutting-proxy
  mkdir -p "$dir"
  "$python" "$here/services.py" cutting-proxy --port $((base + 500)) --cut-after 65536 --state "$state" \
    >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
}

start_cutting_origin() {
  local dir=$state/cutting-origin
  mkdir -p "$dir"
  "$python" "$here/services.py" cutting-origin --port $((base + 800)) --root "$state/cdn-root" --faults "$state/cdn-faults" --state "$state" \
    >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
}

case $action in
  start)
    base=${3:?missing base port}
    pki=${4:?missing pki dir}
    python=${5:-python3}
    stop_all
    for port in $base $((base + 100)) $((base + 200)) $((base + 300)) $((base + 400)) $((base + 500)) \
                $((base + 600)) $((base + 800)) $((base + 900)); do
      if port_open "$port"; then
        echo "port $port is already in use: another build's services on the same base port?" >&2
        exit 1
      fi
    done
    start_nginx
    start_collector
    start_tinyproxy
    start_cutting_proxy
    start_cutting_origin
    wait_for_port "$base" nginx
    wait_for_port $((base + 100)) collector || { cat "$state/collector/log" >&2; exit 1; }
    wait_for_port $((base + 400)) tinyproxy || { cat "$state/tinyproxy/log" >&2; exit 1; }
    wait_for_port $((base + 500)) cutting-proxy || { cat "$state/cutting-proxy/log" >&2; exit 1; }
    wait_for_port $((base + 800)) cutting-origin || { cat "$state/cutting-origin/log" >&2; exit 1; }
    echo "Test services on 127.0.0.1, base port $base, state in $state"
    ;;
  stop)
    stop_all
    echo "Test services stopped"
    ;;
  *)
    echo "unknown action: $action" >&2
    exit 2
    ;;
esac
