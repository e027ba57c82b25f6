#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds the bootstrapper for
# Windows and Linux, and runs it: the Windows build under Wine (default) or
# the native build (--native).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

native=false
for argument in "$@"; do
  case $argument in
    --native) native=true ;;
    *) echo "usage: scripts/demo.sh [--native]" >&2; exit 2 ;;
  esac
done

prepare_machine
if $native; then
  build_preset linux bootstrapper qvl_data
  program=build/linux/bin/quarvel-bootstrapper
  set +e
  "$program" -v
  code=$?
  set -e
else
  build_preset windows bootstrapper qvl_data
  session=build/windows/demo-wine
  export QVL_WINE_SESSION_ID=demo
  step build/logs/demo-wine.log "Wine session" scripts/wine-session.sh start "$PWD/$session"
  trap 'scripts/wine-session.sh stop "$PWD/$session" >/dev/null' EXIT
  program=build/windows/bin/QuarvelBootstrapper.exe
  set +e
  scripts/wine-run.sh "$PWD/$session" "$program" -v
  code=$?
  set -e
fi
echo "$program exited with $code"
