#!/usr/bin/env bash
# Runs a Windows test program in the private Wine session that
# wine-session.sh started: wine-run.sh <session dir> <program.exe> [args...]
#
# The program's output goes through a file: when a program opens its first
# window, Wine starts its desktop process, which would inherit our standard
# output and hold the caller's pipe open long after the program has ended.
# QVL_WINE_RUN_STREAM=1 streams instead, for a caller that reads output live
# from a program that opens no window.
set -uo pipefail
session=${1:?usage: wine-run.sh <session dir> <program> [args...]}
shift
session=$session/${QVL_WINE_SESSION_ID:-ctest-$PPID}
if [ ! -f "$session/session.env" ]; then
  echo "no Wine session in $session: run the tests through ctest, which starts one" >&2
  exit 1
fi
# shellcheck source=/dev/null
. "$session/session.env"
# A test may add DLL overrides of its own to the session's.
if [ -n "${QVL_WINE_DLL_OVERRIDES:-}" ]; then
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$QVL_WINE_DLL_OVERRIDES"
fi
# The 64-bit loader directly: the generic wrapper complains about the
# missing 32-bit half, which our 64-bit programs do not need.
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=wine

if [ "${QVL_WINE_RUN_STREAM:-0}" = 1 ]; then
  exec "$loader" "$@"
fi
output=$(mktemp)
"$loader" "$@" >"$output" 2>&1 </dev/null
code=$?
cat "$output"
rm -f "$output"
exit $code
