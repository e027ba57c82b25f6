#!/usr/bin/env bash
# Starts or stops the private Wine session the Windows tests run in: a fresh
# WINEPREFIX and an Xvfb display of our own, so no test touches the user's
# prefix or screen.
#   wine-session.sh start <dir>   create <dir>/prefix, start Xvfb, boot the prefix
#   wine-session.sh stop <dir>    wait for Wine to finish, stop Xvfb, remove the prefix
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

action=${1:?usage: wine-session.sh start|stop <dir>}
dir=${2:?usage: wine-session.sh start|stop <dir>}
# CTest starts this script and every test program directly, so the parent
# process names the test run: concurrent runs get sessions of their own.
# QVL_WINE_SESSION_ID overrides it for runs outside CTest.
dir=$dir/${QVL_WINE_SESSION_ID:-ctest-$PPID}
env_file=$dir/session.env

start() {
  stop_quietly
  rm -rf "$dir"
  mkdir -p "$dir"

  # The session's display is a private Xvfb in <dir>/xvfb.
  QVL_XVFB_SESSION_ID=xvfb "$here/xvfb-session.sh" start "$dir" >/dev/null
  local display
  display=$(sed -n "s/^export DISPLAY=//p" "$dir/xvfb/session.env")

  cat >"$env_file" <<ENV
export WINEPREFIX='$dir/prefix'
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='
export DISPLAY=$display
ENV
  # shellcheck source=/dev/null
  . "$env_file"
  local began=$SECONDS
  wineboot -i >"$dir/wineboot.log" 2>&1
  # A program that crashes ends at once with its exception code instead of
  # waiting in Wine's crash debugger until the test times out.
  local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
  wine reg add "$aedebug" /v Debugger /d false /f >>"$dir/wineboot.log" 2>&1
  wine reg add "$aedebug" /v Auto /d 1 /f >>"$dir/wineboot.log" 2>&1
  wineserver -w
  echo "Wine prefix ready in $((SECONDS - began)) s: $WINEPREFIX on display $DISPLAY"
}

stop_quietly() {
  [ -f "$env_file" ] || return 0
  # shellcheck source=/dev/null
  . "$env_file"
  # Let Wine finish while the display still exists, then make sure it is gone.
  timeout 60 wineserver -w 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  QVL_XVFB_SESSION_ID=xvfb "$here/xvfb-session.sh" stop "$dir"
  rm -rf "$WINEPREFIX" "$env_file"
}

case $action in
  start) start ;;
  stop) stop_quietly; echo "Wine session stopped" ;;
  *) echo "unknown action: $action" >&2; exit 2 ;;
esac
