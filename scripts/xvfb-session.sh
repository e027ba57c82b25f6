#!/usr/bin/env bash
# Starts or stops the private X display the native window tests run on: an
# Xvfb of our own with one 1920 x 1080 screen, so no test touches the user's
# display.
#   xvfb-session.sh start <dir>   start Xvfb, write <dir>/<id>/session.env
#   xvfb-session.sh stop <dir>    stop Xvfb, remove <dir>/<id>
# QVL_XVFB_NORESET=1 keeps the server from resetting when its last client
# leaves, as a desktop's display never does (the benchmarks want that).
set -euo pipefail

action=${1:?usage: xvfb-session.sh start|stop <dir>}
dir=${2:?usage: xvfb-session.sh start|stop <dir>}
# CTest starts this script and every test program directly, so the parent
# process names the test run: concurrent runs get displays of their own.
dir=$dir/${QVL_XVFB_SESSION_ID:-ctest-$PPID}

stop_quietly() {
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
  fi
  rm -rf "$dir"
}

start() {
  stop_quietly
  mkdir -p "$dir"
  # -displayfd picks a free display number and reports it once ready.
  local options=(-screen 0 1920x1080x24 -nolisten tcp)
  [ "${QVL_XVFB_NORESET:-0}" = 1 ] && options+=(-noreset)
  Xvfb -displayfd 3 "${options[@]}" 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    sleep 0.1
  done
  [ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
  echo "export DISPLAY=':$(cat "$dir/display")'" >"$dir/session.env"
  echo "Xvfb ready on display :$(cat "$dir/display")"
}

case $action in
  start) start ;;
  stop) stop_quietly; echo "Xvfb stopped" ;;
  *) echo "unknown action: $action" >&2; exit 2 ;;
esac
