#!/usr/bin/env bash
# Runs a native test program on the display that xvfb-session.sh started:
# xvfb-run.sh <session dir> <program> [args...]. Without a session (as when
# the build lists a program's tests) the program runs as it is.
set -euo pipefail
session=${1:?usage: xvfb-run.sh <session dir> <program> [args...]}
shift
session=$session/${QVL_XVFB_SESSION_ID:-ctest-$PPID}
if [ -f "$session/session.env" ]; then
  # shellcheck source=/dev/null
  . "$session/session.env"
fi
exec "$@"
